// ean13 scan end to end: the real executables, reached as a user reaches them (through ean13),
// on images drawn by zint; every record is ean13 check's record of the code, with the image first.
#include "child.h"
#include "process.h"
#include "scanimages.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

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

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#ifdef Q_OS_UNIX
// A run of ean13 with the most memory it held at any time, as the kernel counted it.
struct Measured
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 peakMegabytes = -1;
};

Measured measured(const QStringList &args, const QTemporaryDir &dir)
{
    const QByteArray outPath = QFile::encodeName(dir.filePath(u"measured.out"_s));
    const QByteArray errPath = QFile::encodeName(dir.filePath(u"measured.err"_s));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<QByteArray> bytes{QByteArrayLiteral(EAN13_EXE)};
    for (const QString &arg : args)
        bytes.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    Measured run;
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMegabytes = usage.ru_maxrss / 1024;   // Linux counts in kilobytes
    QFile out(QFile::decodeName(outPath)), err(QFile::decodeName(errPath));
    if (out.open(QIODevice::ReadOnly))
        run.out = out.readAll();
    if (err.open(QIODevice::ReadOnly))
        run.err = err.readAll();
    return run;
}
#endif

} // namespace

class TestScan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textRecordsAreCheckRecords();
    void jsonRecordsAreCheckRecords();
    void familyRecordsAreCheckRecords_data();
    void familyRecordsAreCheckRecords();
    void imageWithoutCode();
    void exitStatus_data();
    void exitStatus();
    void unreadableImagesNamed();
    void hostileFiles_data();
    void hostileFiles();
    void drawingsWithText_data();
    void drawingsWithText();
    void slowDrawings_data();
    void slowDrawings();
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
        expected.insert(u"symbology"_s, i == 0 ? u"upca"_s : u"ean13"_s);
        QCOMPARE(got[i], expected);
        QCOMPARE(got[i].value(u"code"_s).toString(), codes[i]);
    }
    // Keys in the order of check's records, with the source first.
    QVERIFY(scan.out.startsWith("{\"source\":\"" + m_two.toUtf8() + "\",\"entry\":\"0036000291452\",\"code\":"));
}

// Each symbology's record is ean13 check's record of what the symbol holds, as check is asked for
// it, with the symbology and the add-on after it; the text form shows the add-on after a "+".
void TestScan::familyRecordsAreCheckRecords_data()
{
    QTest::addColumn<QString>("barcode");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QStringList>("check");   // ean13 check's arguments for the same record
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("symbology");
    QTest::addColumn<QString>("addon");
    QTest::newRow("ean-8") << u"EANX"_s << u"9638507"_s << QStringList{u"--gtin"_s, u"96385074"_s} << u"96385074"_s
                           << u"ean8"_s << QString();
    QTest::newRow("upc-e") << u"UPCE"_s << u"0123456"_s << QStringList{u"--upce"_s, u"01234565"_s} << u"01234565"_s << u"upce"_s
                           << QString();
    QTest::newRow("ean-13 + 5") << u"EANX"_s << u"978014300723+51299"_s << QStringList{u"9780143007234"_s}
                                << u"9780143007234"_s << u"ean13"_s << u"51299"_s;
    QTest::newRow("ean-13 + 2") << u"EANX"_s << u"977123456700+05"_s << QStringList{u"9771234567003"_s}
                                << u"9771234567003"_s << u"ean13"_s << u"05"_s;
    QTest::newRow("upc-a + 2") << u"UPCA"_s << u"03600029145+12"_s << QStringList{u"0036000291452"_s}
                               << u"0036000291452"_s << u"upca"_s << u"12"_s;
}

void TestScan::familyRecordsAreCheckRecords()
{
    QFETCH(QString, barcode);
    QFETCH(QString, data);
    QFETCH(QStringList, check);
    QFETCH(QString, entry);
    QFETCH(QString, symbology);
    QFETCH(QString, addon);
    const QString image = m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + u".png"_s);
    QVERIFY(scanimages::zintFamilySymbol(barcode, data, 3).save(image));

    const Run json = ean13({u"scan"_s, u"--json"_s, image});
    QCOMPARE(json.exitCode, 0);
    const QList<QJsonObject> got = records(json.out);
    QCOMPARE(got.size(), 1);
    QJsonObject expected = records(ean13(QStringList{u"check"_s, u"--json"_s} + check).out).value(0);
    expected.remove(u"line"_s);
    expected.insert(u"source"_s, image);
    expected.insert(u"entry"_s, entry);
    expected.insert(u"symbology"_s, symbology);
    if (!addon.isEmpty())
        expected.insert(u"addon"_s, addon);
    QCOMPARE(got.front(), expected);

    const Run text = ean13({u"scan"_s, image});
    QCOMPARE(text.exitCode, 0);
    QByteArray checkText = ean13(QStringList{u"check"_s} + check).out;
    if (!addon.isEmpty())
        checkText.insert(checkText.indexOf('\t'), '+' + addon.toUtf8());
    QCOMPARE(text.out, image.toUtf8() + '\t' + checkText);
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

// Files made to hurt: each is answered in a few seconds with no code, too large, damaged or not a
// file, within the memory given, and never with an abort. Each would be drawn as a whole image by
// a reader that trusted what it declares.
void TestScan::hostileFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");       // on standard output or standard error
    QTest::addColumn<int>("mostMegabytes");   // with room for a sanitizer build's own

    auto file = [this](const QString &name, const QByteArray &bytes) {
        const QString path = m_dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    };
    const QString noCode = u"\t\tno-code\t-\t"_s + NoCode;
    // A turned copy of these held 6 billion pixels; 154000 x 435 is just within the limit.
    QTest::newRow("white 110000 x 290 png") << file(u"wide.png"_s, scanimages::whitePng(110000, 290)) << 1 << noCode << 450;
    QTest::newRow("white 290 x 110000 png") << file(u"tall.png"_s, scanimages::whitePng(290, 110000)) << 1 << noCode << 450;
    QTest::newRow("white 154000 x 435 png") << file(u"wider.png"_s, scanimages::whitePng(154000, 435)) << 1 << noCode << 700;
    QTest::newRow("white 154000 x 436 png") << file(u"widest.png"_s, scanimages::whitePng(154000, 436)) << 2
                                            << u"too large to decode (154000 x 436 pixels)"_s << 150;
    // Any gzip stream was taken for a compressed drawing and inflated whole.
    QTest::newRow("gzip inflating to 256 MB") << file(u"bomb.svgz"_s, scanimages::gzipDrawing(qint64(256) << 20)) << 2
                                              << u"too large to decode"_s << 150;
    QTest::newRow("gzip named .png") << file(u"bomb.png"_s, scanimages::gzipDrawing(qint64(64) << 20)) << 2
                                     << u"too large to decode"_s << 150;
    QTest::newRow("svg declaring 100000 x 100000")
        << file(u"huge.svg"_s, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100000\" height=\"100000\"/>") << 2
        << u"too large to decode (100000 x 100000 pixels)"_s << 150;
    QTest::newRow("pgm declaring 100000 x 100000") << file(u"huge.pgm"_s, "P5\n# made to hurt\n100000 100000\n255\n" + QByteArray(1000, '\0'))
                                                   << 2 << u"too large to decode (100000 x 100000 pixels)"_s << 150;
    QImage noise(1200, 900, QImage::Format_Grayscale8);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.scanLine(y)[x] = static_cast<uchar>(QRandomGenerator::global()->bounded(256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "JPG", 90);
    QTest::newRow("jpeg cut short") << file(u"cut.jpg"_s, jpeg.left(jpeg.size() / 3)) << 2 << u"damaged or cut short ("_s << 150;
    QTest::newRow("a directory") << m_dir.path() << 2 << u"a directory, not an image"_s << 150;
#ifdef Q_OS_UNIX
    const QString fifo = m_dir.filePath(u"fifo.png"_s);
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);   // no writer: opening it would wait for ever
    QTest::newRow("a fifo") << fifo << 2 << u"not a regular file"_s << 150;
    QTest::newRow("a device") << u"/dev/zero"_s << 2 << u"not a regular file"_s << 150;
    const QString link = m_dir.filePath(u"photo.jpg"_s);
    QVERIFY(QFile::link(u"/dev/urandom"_s, link));
    QTest::newRow("a link to a device") << link << 2 << u"not a regular file"_s << 150;
#endif
}

void TestScan::hostileFiles()
{
#ifdef Q_OS_UNIX
    QFETCH(QString, path);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QFETCH(int, mostMegabytes);
    QVERIFY(!path.isEmpty());
    const Measured scan = measured({u"scan"_s, path}, m_dir);
    QCOMPARE(scan.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(scan.out + scan.err).contains(says), (scan.out + scan.err).constData());
    QVERIFY2(scan.peakMegabytes <= mostMegabytes * SanitizerMemoryFactor,
             qPrintable(u"%1 MB"_s.arg(scan.peakMegabytes)));
#else
    QSKIP("the peak memory of a child process is measured with wait4");
#endif
}

// The digits under an SVG symbol are text, and text needs the toolkit's fonts: a drawing that
// holds any is read like any other image, with no screen at hand.
void TestScan::drawingsWithText_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("record");
    const QString zint = QStandardPaths::findExecutable(u"zint"_s);
    if (!zint.isEmpty()) {
        const QString svg = m_dir.filePath(u"zint.svg"_s);
        QCOMPARE(runProgram(zint, {u"-b"_s, u"EANX"_s, u"--filetype=svg"_s, u"-o"_s, svg, u"-d"_s, u"400638133393"_s}).exitCode, 0);
        QTest::newRow("zint's SVG symbol") << svg << 0 << svg + u"\t4006381333931\tok\t1\tГермания\n"_s;
    }
    const QString words = m_dir.filePath(u"words.svg"_s);
    QVERIFY(writeFile(words, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"60\">"
                             "<text x=\"10\" y=\"30\" font-size=\"20\">4006381333931</text></svg>\n"));
    QTest::newRow("digits as text, no bars") << words << 1 << words + u"\t\tno-code\t-\t"_s + NoCode + u'\n';
}

void TestScan::drawingsWithText()
{
    QFETCH(QString, path);
    QFETCH(int, exitCode);
    QFETCH(QString, record);
    const Run scan = ean13({u"scan"_s, path});
    QCOMPARE(scan.exitCode, exitCode);
    QCOMPARE(QString::fromUtf8(scan.out), record);
    QVERIFY2(scan.err.isEmpty(), scan.err.constData());
}

// Drawings are weighed before they are drawn: megabytes of shapes or text took minutes to draw
// (and a few big shapes on a large picture seconds), while real symbols weigh little.
void TestScan::slowDrawings_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");

    auto drawing = [this](const QString &name, const QByteArray &size, const QByteArray &piece, int copies) {
        QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" " + size + ">";
        for (int i = 0; i < copies; ++i)
            svg += piece;
        svg += "</svg>\n";
        const QString path = m_dir.filePath(name);
        return writeFile(path, svg) ? path : QString();
    };
    const QByteArray small = "width=\"400\" height=\"300\"";
    const QString refused = u"a drawing too complex to draw (too many shapes or too much text)"_s;
    QTest::newRow("3.7 MB of rectangles")
        << drawing(u"rects.svg"_s, small, "<rect x=\"10\" y=\"10\" width=\"3\" height=\"200\" fill=\"#000\"/>", 70000) << 2 << refused;
    QTest::newRow("300 KB of text elements")
        << drawing(u"texts.svg"_s, small, "<text x=\"10\" y=\"30\" font-size=\"20\">4006381333931</text>", 5500) << 2 << refused;
    QTest::newRow("one text of 100000 characters")
        << drawing(u"long-text.svg"_s, small, "<text x=\"10\" y=\"30\">" + QByteArray(100000, 'x') + "</text>", 1) << 2 << refused;
    QTest::newRow("a path of 400000 segments")
        << drawing(u"path.svg"_s, small, "<path d=\"M0 0" + QByteArray(" L399 299 L0 0").repeated(200000) + "\" stroke=\"#000\"/>", 1)
        << 2 << refused;
    QTest::newRow("400 whole-picture shapes on 4000 x 4000")
        << drawing(u"wide-shapes.svg"_s, "width=\"4000\" height=\"4000\"", "<rect width=\"4000\" height=\"4000\" fill=\"#000\"/>", 400)
        << 2 << refused;
    QByteArray rules;
    for (int i = 0; i < 40000; ++i)
        rules += ".c" + QByteArray::number(i) + "{fill:#000;stroke:#fff}";
    QTest::newRow("2000 rectangles under 40000 style rules")
        << drawing(u"styled.svg"_s, small, "<style>" + rules + "</style>" + QByteArray("<rect class=\"c5\" width=\"9\" height=\"9\"/>").repeated(2000), 1)
        << 2 << refused;
    QTest::newRow("2000 rectangles") << drawing(u"some-rects.svg"_s, small, "<rect x=\"10\" y=\"10\" width=\"3\" height=\"200\"/>", 2000)
                                     << 1 << u"\t\tno-code\t-\t"_s + NoCode;

    // Our own symbol is drawn at its printed size, too small to be read, but it is drawn.
    const QString ours = m_dir.filePath(u"ours.svg"_s);
    QCOMPARE(ean13({u"render"_s, u"4006381333931"_s, u"-o"_s, ours}).exitCode, 0);
    QTest::newRow("our own symbol") << ours << 1 << u"\t\tno-code\t-\t"_s + NoCode;
    const QString zint = QStandardPaths::findExecutable(u"zint"_s);
    if (zint.isEmpty())
        return;
    const QString zintUpc = m_dir.filePath(u"zint-upca.svg"_s);
    QCOMPARE(runProgram(zint, {u"-b"_s, u"UPCA"_s, u"--filetype=svg"_s, u"-o"_s, zintUpc, u"-d"_s, u"03600029145"_s}).exitCode, 0);
    QTest::newRow("zint's UPC-A symbol") << zintUpc << 0 << u"\t0036000291452\tok\t"_s;
    // 4520 x 2328 pixels: the largest zint draws without being asked for more than --scale=20.
    const QString zintLarge = m_dir.filePath(u"zint-large.svg"_s);
    QCOMPARE(runProgram(zint, {u"-b"_s, u"EANX"_s, u"--filetype=svg"_s, u"--scale=20"_s, u"-o"_s, zintLarge, u"-d"_s, u"400638133393"_s})
                 .exitCode,
             0);
    QTest::newRow("zint's symbol at scale 20") << zintLarge << 0 << u"\t4006381333931\tok\t"_s;
}

void TestScan::slowDrawings()
{
    QFETCH(QString, path);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QVERIFY(!path.isEmpty());
    const Run scan = ean13({u"scan"_s, path});
    QCOMPARE(scan.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(scan.out + scan.err).contains(says), (scan.out + scan.err).constData());
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
