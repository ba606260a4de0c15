// Spreadsheets read directly: the reader as the window's list uses it (rows, cells as shown,
// sheets, stopping), then ean13 with XLSX and ODS inputs end to end, and the files it refuses.
// The workbooks are made by openpyxl and odfpy (tests/make_sheets.py), as offices make them.
#include "child.h"
#include "process.h"
#include "sheets.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;
using ean13::sheets::CellKind;
using ean13::sheets::ErrorKind;

namespace {

const QString LengthError = u"ОШИБКА! Длинна введенного кода отличается от 12-13!"_s;
const QString LostZero = u"Число из 11 цифр: таблица могла отбросить ведущий 0 (с ним: 036000291452)"_s;

// A text record: "[SOURCE:LINE\t]CODE\tSTATUS\tCHECK\tTEXT[\tNOTE]\n".
QByteArray rec(const QString &origin, const QString &code, const QString &status, const QString &check,
               const QString &text, const QString &note = {})
{
    return ((origin.isEmpty() ? QString() : origin + u'\t') + code + u'\t' + status + u'\t' + check + u'\t' + text
            + (note.isEmpty() ? QString() : u'\t' + note) + u'\n').toUtf8();
}

// The records of the first sheet's column "ean" (B), from its second row on.
QByteArray productRecords(const QString &file)
{
    const QString at = file + u':';
    return rec(at + u'2', u"4820000000000"_s, u"ok"_s, u"0"_s, u"Украина"_s)
         + rec(at + u'3', u"4820000000001"_s, u"bad-check-digit"_s, u"0"_s, u"Украина"_s)
         + rec(at + u'4', u"36000291452"_s, u"bad-length"_s, u"-"_s, LengthError, LostZero)
         + rec(at + u'5', u"0123456789012"_s, u"ok"_s, u"2"_s, u"США (Канада)"_s)   // 1.23456789012E+11 in the file
         + rec(at + u'6', u"2024-01-05"_s, u"bad-length"_s, u"-"_s, LengthError)
         + rec(at + u'8', QString(), u"bad-length"_s, u"-"_s, LengthError)           // row 7 is empty: no record
         + rec(at + u'9', u"0036000291452"_s, u"ok"_s, u"2"_s, u"США (Канада)"_s);   // text keeps its 0: no note
}

struct Row
{
    long long number;
    QList<QPair<CellKind, QString>> cells;
};

} // namespace

class TestSheets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void cellsAsTheSheetShowsThem_data();
    void cellsAsTheSheetShowsThem();
    void sheetsByNameAndStoppingEarly_data();
    void sheetsByNameAndStoppingEarly();
    void numbersWithoutExponent_data();
    void numbersWithoutExponent();

    void records_data();
    void records();
    void jsonCarriesLineSourceAndNote();
    void refusals_data();
    void refusals();
    void plainCheckNeedsNoSpreadsheetLibraries();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QList<Row> rowsOf(const QString &file, const std::string &sheet = {});

    QTemporaryDir m_dir;
};

void TestSheets::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const Run made = runProgram(u"/usr/bin/python3"_s, {QStringLiteral(MAKE_SHEETS_PY), m_dir.path()}, {}, {}, 120000);
    QVERIFY2(made.exitCode == 0, made.err.constData());
    QFile csv(path(u"products.csv"_s));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("name;ean\r\nХлеб;4820000000000\r\n");
    QFile text(path(u"codes.txt"_s));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("4820000000000\n");
}

QList<Row> TestSheets::rowsOf(const QString &file, const std::string &sheet)
{
    QList<Row> rows;
    ean13::sheets::Error error;
    const auto workbook = ean13::sheets::Workbook::open(path(file).toStdString(), error);
    if (!workbook) {
        qWarning() << error.message.c_str();
        return rows;
    }
    error = workbook->readSheet(sheet, [&](long long number, const std::vector<ean13::sheets::Cell> &cells) {
        Row row{number, {}};
        for (const auto &cell : cells)
            row.cells.append({cell.kind, QString::fromStdString(cell.text)});
        rows.append(row);
        return true;
    });
    if (error)
        qWarning() << error.message.c_str();
    return rows;
}

void TestSheets::cellsAsTheSheetShowsThem_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &file : {u"products.xlsx"_s, u"products.ods"_s})
        QTest::newRow(file.toUtf8().constData()) << file;
}

void TestSheets::cellsAsTheSheetShowsThem()
{
    QFETCH(QString, file);
    const QList<Row> rows = rowsOf(file);
    QList<long long> numbers;
    for (const Row &row : rows)
        numbers << row.number;
    QCOMPARE(numbers, (QList<long long>{1, 2, 3, 4, 5, 6, 8, 9}));   // row 7 holds nothing

    using Cells = QList<QPair<CellKind, QString>>;
    QCOMPARE(rows[0].cells, (Cells{{CellKind::Text, u"Товар"_s}, {CellKind::Text, u"ean"_s}, {CellKind::Text, u"Цена"_s}}));
    QCOMPARE(rows[1].cells[1], qMakePair(CellKind::Text, u"4820000000000"_s));
    QCOMPARE(rows[1].cells[2], qMakePair(CellKind::Number, u"25"_s));
    QCOMPARE(rows[2].cells[1], qMakePair(CellKind::Number, u"4820000000001"_s));
    QCOMPARE(rows[2].cells[2], qMakePair(CellKind::Number, u"1.5"_s));
    QCOMPARE(rows[3].cells, (Cells{{CellKind::Text, u"Кола"_s}, {CellKind::Number, u"36000291452"_s}}));   // none after the last
    QCOMPARE(rows[4].cells[1], qMakePair(CellKind::Number, u"123456789012"_s));
    QCOMPARE(rows[5].cells[1], qMakePair(CellKind::Date, u"2024-01-05"_s));
    QCOMPARE(rows[5].cells[2], qMakePair(CellKind::Boolean, u"TRUE"_s));
    QCOMPARE(rows[6].cells, (Cells{{CellKind::Text, u"Без кода"_s}, {CellKind::Empty, QString()}, {CellKind::Number, u"3"_s}}));
    QCOMPARE(rows[7].cells[1], qMakePair(CellKind::Text, u"036000291452"_s));
}

void TestSheets::sheetsByNameAndStoppingEarly_data()
{
    cellsAsTheSheetShowsThem_data();
}

void TestSheets::sheetsByNameAndStoppingEarly()
{
    QFETCH(QString, file);
    ean13::sheets::Error error;
    const auto workbook = ean13::sheets::Workbook::open(path(file).toStdString(), error);
    QVERIFY2(workbook, error.message.c_str());
    std::vector<std::string> names;
    QVERIFY(!workbook->sheetNames(names));
    QCOMPARE(names, (std::vector<std::string>{"Товары", "Второй лист"}));

    const QList<Row> second = rowsOf(file, "Второй лист");
    QCOMPARE(second.size(), 2);
    QCOMPARE(second[1].number, 2);
    QCOMPARE(second[1].cells.value(2).second, u"4006381333932"_s);   // column C

    int seen = 0;
    error = workbook->readSheet({}, [&](long long, const std::vector<ean13::sheets::Cell> &) { return ++seen < 2; });
    QVERIFY(!error);   // the handler's own stop is no error
    QCOMPARE(seen, 2);

    // A worker thread's reading, ended from outside.
    std::atomic<bool> stop{true};
    seen = 0;
    error = workbook->readSheet({}, [&](long long, const std::vector<ean13::sheets::Cell> &) { return ++seen > 0; }, &stop);
    QCOMPARE(error.kind, ErrorKind::Stopped);
    QCOMPARE(seen, 0);

    error = workbook->readSheet("Нет такого", [](long long, const std::vector<ean13::sheets::Cell> &) { return true; });
    QCOMPARE(error.kind, ErrorKind::NoSuchSheet);
    QCOMPARE(error.sheets, names);
}

void TestSheets::numbersWithoutExponent_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("shown");
    QTest::newRow("an exponent, as Excel writes large numbers") << u"1.23456789012E+11"_s << u"123456789012"_s;
    QTest::newRow("the double nearest a 13-digit code") << u"4.8200000000000002E+12"_s << u"4820000000000"_s;
    QTest::newRow("a whole number with a decimal point") << u"36000291452.0"_s << u"36000291452"_s;
    QTest::newRow("as written") << u"4820000000000"_s << u"4820000000000"_s;
    QTest::newRow("a fraction") << u"1.5"_s << u"1.5"_s;
    QTest::newRow("a small fraction with an exponent") << u"1E-3"_s << u"0.001"_s;
    QTest::newRow("negative") << u"-25"_s << u"-25"_s;
    QTest::newRow("zero") << u"0.0"_s << u"0"_s;
    QTest::newRow("too large to write out") << u"1E+300"_s << u"1e+300"_s;
    QTest::newRow("no number") << u"12abc"_s << QString();
    QTest::newRow("past the largest double") << u"1E+400"_s << QString();
}

void TestSheets::numbersWithoutExponent()
{
    QFETCH(QString, xml);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(ean13::sheets::numberText(xml.toStdString())), shown);
}

void TestSheets::records_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("exitCode");

    for (const QString &file : {u"products.xlsx"_s, u"products.ods"_s}) {
        const QByteArray records = productRecords(file);
        const QStringList common{u"-n"_s, u"-i"_s, file};
        QTest::addRow("%s: a header's name", qPrintable(file)) << common + QStringList{u"--header"_s, u"--column"_s, u"ean"_s} << records << 1;
        QTest::addRow("%s: a letter", qPrintable(file)) << common + QStringList{u"--header"_s, u"--column"_s, u"B"_s} << records << 1;
        QTest::addRow("%s: a number", qPrintable(file)) << common + QStringList{u"--header"_s, u"--column"_s, u"2"_s} << records << 1;
        QTest::addRow("%s: a letter without a header", qPrintable(file))
            << common + QStringList{u"--column"_s, u"b"_s}
            << rec(file + u":1"_s, u"ean"_s, u"bad-length"_s, u"-"_s, LengthError) + records << 1;
        QTest::addRow("%s: --sheet", qPrintable(file))
            << QStringList{u"--sheet"_s, u"Второй лист"_s, u"--column"_s, u"C"_s, u"-i"_s, file}
            << rec({}, u"4006381333931"_s, u"ok"_s, u"1"_s, u"Германия"_s)
                   + rec({}, u"4006381333932"_s, u"bad-check-digit"_s, u"1"_s, u"Германия"_s)
            << 1;
    }
    QTest::newRow("a spreadsheet among other inputs")
        << QStringList{u"4820000000000"_s, u"--column"_s, u"C"_s, u"--sheet"_s, u"Второй лист"_s, u"-i"_s, u"products.xlsx"_s,
                       u"-i"_s, u"codes.txt"_s}
        << rec(u"(command line):1"_s, u"4820000000000"_s, u"ok"_s, u"0"_s, u"Украина"_s)
               + rec(u"products.xlsx:1"_s, u"4006381333931"_s, u"ok"_s, u"1"_s, u"Германия"_s)
               + rec(u"products.xlsx:2"_s, u"4006381333932"_s, u"bad-check-digit"_s, u"1"_s, u"Германия"_s)
               + QByteArray("codes.txt:1\t\tmissing-column\t-\t") + u"В записи нет столбца «C»."_s.toUtf8() + '\n'
        << 1;
    QTest::newRow("a CSV header's column by its letter")
        << QStringList{u"--csv"_s, u"--header"_s, u"--column"_s, u"B"_s, u"-i"_s, u"products.csv"_s}
        << rec({}, u"4820000000000"_s, u"ok"_s, u"0"_s, u"Украина"_s) << 0;
}

void TestSheets::records()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, out);
    QFETCH(int, exitCode);
    const Run r = runProgram(QStringLiteral(EAN13_EXE), args, {}, m_dir.path());
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.out, out);
    QCOMPARE(r.exitCode, exitCode);
}

void TestSheets::jsonCarriesLineSourceAndNote()
{
    for (const QString &file : {u"products.xlsx"_s, u"products.ods"_s}) {
        const Run r = runProgram(QStringLiteral(EAN13_EXE), {u"--json"_s, u"--header"_s, u"--column"_s, u"ean"_s, u"-i"_s, file},
                                 {}, m_dir.path());
        const QList<QJsonObject> recs = jsonRecords(r.out);
        QCOMPARE(recs.size(), 7);
        QCOMPARE(recs[2][u"source"_s].toString(), file);
        QCOMPARE(recs[2][u"line"_s].toInt(), 4);
        QCOMPARE(recs[2][u"entry"_s].toString(), u"36000291452"_s);
        QCOMPARE(recs[2][u"note"_s].toString(), LostZero);
        QCOMPARE(recs[3][u"entry"_s].toString(), u"123456789012"_s);
        QCOMPARE(recs[3][u"code"_s].toString(), u"0123456789012"_s);
        QCOMPARE(recs[5][u"line"_s].toInt(), 8);   // the empty row 7 is passed over
        for (int i : {0, 1, 3, 4, 5, 6})
            QVERIFY2(!recs[i].contains(u"note"_s), qPrintable(QString::number(i)));
    }
}

void TestSheets::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("stdinFile");
    QTest::addColumn<QByteArray>("message");

    const auto in = [](const QString &file) { return QStringList{u"-i"_s, file}; };
    QTest::newRow("an unknown sheet: the sheets there are") << in(u"products.xlsx"_s) + QStringList{u"--sheet"_s, u"Цены"_s} << QString()
        << u"ean13: products.xlsx has no sheet named 'Цены'; its sheets are 'Товары', 'Второй лист' (see ean13 --help)\n"_s.toUtf8();
    QTest::newRow("an unknown sheet of an ODS file") << in(u"products.ods"_s) + QStringList{u"--sheet"_s, u"Цены"_s} << QString()
        << u"ean13: products.ods has no sheet named 'Цены'; its sheets are 'Товары', 'Второй лист' (see ean13 --help)\n"_s.toUtf8();
    QTest::newRow("an unknown column: the first row's cells")
        << in(u"products.xlsx"_s) + QStringList{u"--header"_s, u"--column"_s, u"EAN13"_s} << QString()
        << u"ean13: products.xlsx has no column named 'EAN13'; the first row of its sheet has 'Товар', 'ean', 'Цена'; "
           "a column can also be given by its letter (--column B) or number (see ean13 --help)\n"_s.toUtf8();
    QTest::newRow("--sheet without a spreadsheet") << in(u"codes.txt"_s) + QStringList{u"--sheet"_s, u"Лист1"_s} << QString()
        << QByteArray("ean13: --sheet names a sheet of an XLSX or ODS input, and no input is one (see ean13 --help)\n");
    QTest::newRow("a spreadsheet on standard input") << QStringList() << u"products.xlsx"_s
        << QByteArray("ean13: standard input is a zip file (an XLSX or ODS spreadsheet?): a spreadsheet is read from a file, "
                      "named with -i FILE, not from a pipe or standard input\n");
    QTest::newRow("a file cut short") << in(u"truncated.xlsx"_s) << QString()
        << QByteArray("ean13: cannot read truncated.xlsx: it is a broken zip file: the directory at its end is missing or "
                      "damaged (was the file cut short?)\n");
    QTest::newRow("a zip of something else") << in(u"other.zip"_s) << QString()
        << QByteArray("ean13: cannot read other.zip: it is a zip file, but neither an XLSX nor an ODS workbook; save its "
                      "list as CSV and read that with --csv\n");
    QTest::newRow("another OpenDocument") << in(u"letter.odt"_s) << QString()
        << QByteArray("ean13: cannot read letter.odt: it is an OpenDocument file of another kind "
                      "(application/vnd.oasis.opendocument.text), not a spreadsheet; save its list as CSV and read that with --csv\n");
    QTest::newRow("Excel 97-2003") << in(u"old.xls"_s) << QString()
        << QByteArray("ean13: old.xls is an Excel 97-2003 workbook (XLS) or one with a password, which ean13 cannot read: "
                      "save it as XLSX without a password, or its sheet as CSV\n");
    QTest::newRow("a sheet that is no XML") << in(u"notxml.xlsx"_s) << QString()
        << QByteArray("ean13: cannot read notxml.xlsx: the part xl/worksheets/sheet1.xml is no well-formed XML (line 1: mismatched tag)\n");
    QTest::newRow("entities that expand to gigabytes") << in(u"laughs.xlsx"_s) << QString()
        << QByteArray("ean13: cannot read laughs.xlsx: it holds a document type declaration (DTD), which no workbook has\n");
    QTest::newRow("a tag of megabytes") << in(u"longtag.xlsx"_s) << QString()
        << QByteArray("ean13: cannot read longtag.xlsx: the part xl/worksheets/sheet1.xml holds a tag or text longer than "
                      "1 MiB, too large to be read safely\n");
    QTest::newRow("a cell repeated a billion times") << in(u"columns.ods"_s) << QString()
        << QByteArray("ean13: cannot read columns.ods: a row has a cell past column 16384, more columns than a sheet has\n");
    QTest::newRow("a row after a billion empty ones") << in(u"rows.ods"_s) << QString()
        << QByteArray("ean13: cannot read rows.ods: the sheet has rows past row 1048576, more than a sheet has\n");
    QTest::newRow("70,000 files in the zip") << in(u"entries.xlsx"_s) << QString()
        << QByteArray("ean13: cannot read entries.xlsx: its zip directory lists 70001 files, more than a workbook has "
                      "(at most 65536 are read)\n");
}

void TestSheets::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, stdinFile);
    QFETCH(QByteArray, message);
    ChildSetup setup;
    setup.workingDirectory = m_dir.path();
    setup.stdinFile = stdinFile.isEmpty() ? QString() : path(stdinFile);
    const ChildRun r = runChild(QStringLiteral(EAN13_EXE), args, setup);
    QCOMPARE(r.err, message);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.peakRssKiB < 32 * 1024 * SanitizerMemoryFactor, qPrintable(QString::number(r.peakRssKiB)));
}

void TestSheets::plainCheckNeedsNoSpreadsheetLibraries()
{
    // ean13 alone, without ean13-sheets beside it: codes are checked, spreadsheets are not.
    QTemporaryDir alone;
    QVERIFY(QFile::copy(QStringLiteral(EAN13_EXE), alone.filePath(u"ean13"_s)));
    const Run codes = runProgram(alone.filePath(u"ean13"_s), {u"4820000000000"_s});
    QCOMPARE(codes.exitCode, 0);
    const Run sheet = runProgram(alone.filePath(u"ean13"_s), {u"-i"_s, path(u"products.xlsx"_s)});
    QCOMPARE(sheet.exitCode, 2);
    QVERIFY2(sheet.err.startsWith("ean13: reading a spreadsheet needs the program ean13-sheets, which is missing"), sheet.err);
#ifdef Q_OS_LINUX
    const Run ldd = runProgram(u"ldd"_s, {QStringLiteral(EAN13_EXE)});
    QVERIFY(!ldd.out.isEmpty());
    QVERIFY2(!ldd.out.contains("minizip") && !ldd.out.contains("expat"), ldd.out);
#endif
}

QTEST_GUILESS_MAIN(TestSheets)
#include "tst_sheets.moc"
