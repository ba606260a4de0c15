// ean13 scan end to end: the real executables, reached as a user reaches them (through ean13),
// on images drawn by zint; every record is ean13 check's record of the code, with the image first.
#include "process.h"
#include "scanimages.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

Run ean13(const QStringList &args)
{
    return runProgram(QStringLiteral(EAN13_EXE), args);
}

QList<QJsonObject> records(const QByteArray &out)
{
    return jsonRecords(out);
}

const QString NoCode = u"В изображении не найден код EAN-13 или UPC-A."_s;

} // namespace

class TestScan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textRecordsAreCheckRecords();
    void jsonRecordsAreCheckRecords();
    void imageWithoutCode();
    void exitStatus_data();
    void exitStatus();
    void unreadableImagesNamed();
    void usage();

private:
    QString m_ukraine, m_two, m_none, m_text;
    QTemporaryDir m_dir;
};

void TestScan::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QImage ukraine = scanimages::zintSymbol(u"4820000000000"_s);
    const QImage upc = scanimages::zintSymbol(u"0036000291452"_s);
    m_ukraine = m_dir.filePath(u"ukraine.png"_s);
    QVERIFY(ukraine.save(m_ukraine));

    // One above the other: the upper one is read first.
    QImage two(std::max(ukraine.width(), upc.width()) + 40, ukraine.height() + upc.height() + 60, QImage::Format_Grayscale8);
    two.fill(255);
    {
        QPainter painter(&two);
        painter.drawImage(20, 20, upc);
        painter.drawImage(20, upc.height() + 40, ukraine);
    }
    m_two = m_dir.filePath(u"two codes.jpg"_s);
    QVERIFY(two.save(m_two, "JPG", 90));

    QImage none(300, 200, QImage::Format_Grayscale8);
    none.fill(255);
    m_none = m_dir.filePath(u"blank.png"_s);
    QVERIFY(none.save(m_none));

    m_text = m_dir.filePath(u"notes.png"_s);
    QFile text(m_text);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("4820000000000\n");
}

void TestScan::textRecordsAreCheckRecords()
{
    const Run scan = ean13({u"scan"_s, m_two, m_ukraine});
    QCOMPARE(scan.exitCode, 0);
    QVERIFY2(scan.err.isEmpty(), scan.err.constData());
    const Run check = ean13({u"check"_s, u"0036000291452"_s});
    const Run checkUkraine = ean13({u"check"_s, u"4820000000000"_s});
    QCOMPARE(QString::fromUtf8(scan.out), m_two + u'\t' + QString::fromUtf8(check.out) + m_two + u'\t'
                                              + QString::fromUtf8(checkUkraine.out) + m_ukraine + u'\t'
                                              + QString::fromUtf8(checkUkraine.out));
    QCOMPARE(scan.out.split('\n').value(0), (m_two + u"\t0036000291452\tok\t2\tСША (Канада)"_s).toUtf8());
}

void TestScan::jsonRecordsAreCheckRecords()
{
    const Run scan = ean13({u"scan"_s, u"--json"_s, m_two});
    QCOMPARE(scan.exitCode, 0);
    const QList<QJsonObject> got = records(scan.out);
    QCOMPARE(got.size(), 2);
    const QStringList codes{u"0036000291452"_s, u"4820000000000"_s};
    for (int i = 0; i < 2; ++i) {
        QJsonObject expected = records(ean13({u"check"_s, u"--json"_s, codes[i]}).out).value(0);
        expected.insert(u"source"_s, m_two);
        expected.remove(u"line"_s);   // a code argument's place among the arguments; an image has no lines
        QCOMPARE(got[i], expected);
        QCOMPARE(got[i].value(u"code"_s).toString(), codes[i]);
    }
    // Keys in the order of check's records, with the source first.
    QVERIFY(scan.out.startsWith("{\"source\":\"" + m_two.toUtf8() + "\",\"entry\":\"0036000291452\",\"code\":"));
}

void TestScan::imageWithoutCode()
{
    const Run text = ean13({u"scan"_s, m_none, m_ukraine});
    QCOMPARE(text.exitCode, 1);
    QCOMPARE(QString::fromUtf8(text.out).split(u'\n').value(0), m_none + u"\t\tno-code\t-\t"_s + NoCode);
    QCOMPARE(text.out.count('\n'), 2);   // and the record of the image that held one

    const Run json = ean13({u"scan"_s, u"--json"_s, m_none});
    QCOMPARE(json.exitCode, 1);
    const QJsonObject record = records(json.out).value(0);
    QCOMPARE(record.value(u"source"_s).toString(), m_none);
    QCOMPARE(record.value(u"status"_s).toString(), u"no-code"_s);
    QCOMPARE(record.value(u"lines"_s).toArray(), QJsonArray{NoCode});
}

void TestScan::exitStatus_data()
{
    QTest::addColumn<QStringList>("images");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("every image a code") << QStringList{m_ukraine, m_two} << 0;
    QTest::newRow("an image without one") << QStringList{m_ukraine, m_none} << 1;
    QTest::newRow("a missing image") << QStringList{m_ukraine, m_dir.filePath(u"gone.png"_s)} << 2;
    QTest::newRow("unreadable beats no code") << QStringList{m_text, m_none} << 2;
}

void TestScan::exitStatus()
{
    QFETCH(QStringList, images);
    QFETCH(int, exitCode);
    QCOMPARE(ean13(QStringList{u"scan"_s} + images).exitCode, exitCode);
}

// Each bad image is named with the reason on standard error; the others are still read.
void TestScan::unreadableImagesNamed()
{
    const QString huge = m_dir.filePath(u"huge.png"_s);
    QFile file(huge);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(scanimages::pngDeclaring(100000, 100000));
    file.close();
    const QString empty = m_dir.filePath(u"empty.png"_s);
    QVERIFY(QFile(empty).open(QIODevice::WriteOnly));

    const Run scan = ean13({u"scan"_s, m_text, empty, huge, m_ukraine, m_dir.filePath(u"gone.png"_s)});
    QCOMPARE(scan.exitCode, 2);
    QCOMPARE(QString::fromUtf8(scan.err).split(u'\n'),
             (QStringList{u"ean13 scan: %1: not an image, or in a format that cannot be read"_s.arg(m_text),
                          u"ean13 scan: %1: the file is empty"_s.arg(empty),
                          u"ean13 scan: %1: too large to decode (100000 x 100000 pixels)"_s.arg(huge),
                          u"ean13 scan: %1: no such file"_s.arg(m_dir.filePath(u"gone.png"_s)), QString()}));
    QVERIFY(scan.out.startsWith(m_ukraine.toUtf8() + "\t4820000000000\tok\t"));
}

void TestScan::usage()
{
    const Run none = ean13({u"scan"_s});
    QCOMPARE(none.exitCode, 2);
    QVERIFY(none.err.startsWith("ean13 scan: "));
    QCOMPARE(ean13({u"scan"_s, u"--frobnicate"_s, m_ukraine}).exitCode, 2);
    const Run help = ean13({u"scan"_s, u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("usage: ean13 scan [--json] IMAGE..."));
}

QTEST_GUILESS_MAIN(TestScan)
#include "tst_scan.moc"
