// The code column of a list found without being told: by its header's name or by its cells.
#include "codecolumn.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using Records = std::vector<std::vector<std::string>>;
Q_DECLARE_METATYPE(Records)

class TestLists : public QObject
{
    Q_OBJECT

private slots:
    void codeLike_data();
    void codeLike();
    void columnName_data();
    void columnName();
    void codeColumn_data();
    void codeColumn();
    void sample();
};

void TestLists::codeLike_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("code");
    QTest::newRow("13 digits") << u"4820000000000"_s << true;
    QTest::newRow("8 digits") << u"96385074"_s << true;
    QTest::newRow("14 digits") << u"14820000000001"_s << true;
    QTest::newRow("7 digits") << u"1234567"_s << false;
    QTest::newRow("15 digits") << u"123456789012345"_s << false;
    QTest::newRow("spaced and hyphenated") << u"482 0000-000000"_s << true;
    QTest::newRow("a price") << u"1234,50"_s << false;
    QTest::newRow("a letter") << u"482000000000O"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestLists::codeLike()
{
    QFETCH(QString, field);
    QFETCH(bool, code);
    QCOMPARE(ean13::lists::looksLikeACode(field.toStdString()), code);
}

void TestLists::columnName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("code");
    QTest::newRow("EAN") << u"EAN"_s << true;
    QTest::newRow("EAN-13") << u"EAN-13"_s << true;
    QTest::newRow("ean13 in lower case") << u"ean13"_s << true;
    QTest::newRow("GTIN") << u"GTIN"_s << true;
    QTest::newRow("Штрихкод") << u"Штрихкод"_s << true;
    QTest::newRow("Штрих-код in capitals") << u"ШТРИХ-КОД"_s << true;
    QTest::newRow("ШК") << u"ШК"_s << true;
    QTest::newRow("Код товара") << u"Код товара"_s << true;
    QTest::newRow("quoted, with spaces") << u"  \"Штрихкод\" "_s << true;
    QTest::newRow("Кодировка is another word") << u"Кодировка"_s << false;
    QTest::newRow("Наименование") << u"Наименование"_s << false;
    QTest::newRow("Цена") << u"Цена"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestLists::columnName()
{
    QFETCH(QString, name);
    QFETCH(bool, code);
    QCOMPARE(ean13::lists::namesACodeColumn(name.toStdString()), code);
}

void TestLists::codeColumn_data()
{
    QTest::addColumn<Records>("records");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("header");
    QTest::newRow("one column of codes")
        << Records{{"4820000000000"}, {"4600000000008"}} << 1 << false;
    QTest::newRow("codes in the third column, a header of other names")
        << Records{{"N", "Name", "Barcode no", "Price"},
                   {"1", "Хлеб", "4820000000000", "25,50"},
                   {"2", "Молоко", "4600000000008", "60"},
                   {"3", "Соль", "", "12"}}
        << 3 << true;
    QTest::newRow("named column wins among two of digits")
        << Records{{"Артикул", "ШК"}, {"12345678", "4820000000000"}, {"87654321", "4600000000008"}} << 2 << true;
    QTest::newRow("named column of bad codes, none better")
        << Records{{"Наименование", "Штрихкод"}, {"Хлеб", "48200"}, {"Соль", "abc"}} << 2 << true;
    QTest::newRow("a column of codes beats a named column of words")
        << Records{{"Код", "Товар", "EAN"}, {"А-1", "Хлеб", "4820000000000"}, {"А-2", "Соль", "4600000000008"}} << 3 << true;
    QTest::newRow("no header: the first record is a code")
        << Records{{"Хлеб", "4820000000000"}, {"Соль", "4600000000008"}} << 2 << false;
    QTest::newRow("mostly codes, one bad entry first is still an entry")
        << Records{{"Хлеб", "482000000000"}, {"Соль", "4600000000008"}} << 2 << false;
    QTest::newRow("nothing like codes: the first column")
        << Records{{"a", "b"}, {"c", "d"}} << 1 << false;
    QTest::newRow("ragged records")
        << Records{{"x"}, {"y", "4820000000000", "z"}, {"q", "4600000000008"}} << 2 << true;
    QTest::newRow("empty") << Records{} << 1 << false;
}

void TestLists::codeColumn()
{
    QFETCH(Records, records);
    QFETCH(int, column);
    QFETCH(bool, header);
    const ean13::lists::CodeColumn found = ean13::lists::findCodeColumn(records);
    QCOMPARE(found.column, column);
    QCOMPARE(found.header, header);
}

void TestLists::sample()
{
    using ean13::lists::sampleRecords;
    QCOMPARE(sampleRecords("\"EAN\";Имя\r\n4820000000000;\"Хлеб\"\r\n46000", ';'),
             (Records{{"EAN", "Имя"}, {"4820000000000", "Хлеб"}}));
    QCOMPARE(sampleRecords("4820000000000", ';'), (Records{{"4820000000000"}}));
    QCOMPARE(sampleRecords("a\nb\nc\n", ';', 2), (Records{{"a"}, {"b"}}));
}

QTEST_APPLESS_MAIN(TestLists)
#include "tst_lists.moc"
