// ean13 render end to end, and the writers beneath it: every format read back by zxing-cpp from the
// written file (SVG through rsvg-convert, PDF through pdftoppm), the geometry measured on rasters,
// the physical sizes, and every refusal leaving no file behind.
#include "child.h"
#include "process.h"
#include "symbolwriter.h"

#include <QPainter>
#include <QtTest>

#include <climits>

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

Run render(const QStringList &args)
{
    return runProgram(QStringLiteral(RENDER_EXE), args, {}, {}, 120000);
}

bool tool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// The file as a raster at a known resolution, through a program that knows nothing of ours.
QImage rasterOfFile(const QString &file, const QString &work)
{
    const QString png = work + u"/raster.png"_s;
    QFile::remove(png);
    if (file.endsWith(u".svg"_s))
        QProcess::execute(u"rsvg-convert"_s, {u"-d"_s, u"200"_s, u"-p"_s, u"200"_s, u"-o"_s, png, file});
    else if (file.endsWith(u".pdf"_s))
        QProcess::execute(u"pdftoppm"_s, {u"-r"_s, u"200"_s, u"-png"_s, u"-singlefile"_s, file, work + u"/raster"_s});
    else
        return QImage(file);
    return QImage(png);
}

QString readBack(const QImage &image)
{
    return QString::fromStdString(ean13::readEan13(image));
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// Every first digit, its check digit right (as python-stdnum has it); the first is a UPC-A number's.
const QStringList Codes = {u"0036000291452"_s, u"1234567890128"_s, u"2000000000008"_s, u"3014260115531"_s,
                           u"4820000000000"_s, u"5901234123457"_s, u"6291041500213"_s, u"7622210449283"_s,
                           u"8711000000007"_s, u"9780306406157"_s};
const QString UpcA = u"036000291452"_s;

bool dark(const QImage &img, int x, int y)
{
    return qGray(img.pixel(x, y)) < 128;
}

} // namespace

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyFirstDigitInEveryFormatReadsBack_data();
    void everyFirstDigitInEveryFormatReadsBack();
    void pngGeometry_data();
    void pngGeometry();
    void familyGeometry_data();
    void familyGeometry();
    void physicalSize_data();
    void physicalSize();
    void svgNeedsNoFont();
    void outputRules_data();
    void outputRules();
    void aBatchWritesTheGoodOnes();
    void ean13HandsRenderOn();
    void aSpoiledRasterIsNeverWritten_data();
    void aSpoiledRasterIsNeverWritten();
    void aFullDiskKeepsWhatWasThere_data();
    void aFullDiskKeepsWhatWasThere();
    void aSmallFileSystemFillsUp();
    void nodesAreWrittenIntoNeverReplaced_data();
    void nodesAreWrittenIntoNeverReplaced();
    void linksInADirectoryAreNeverFollowed();
    void aNamedLinkIsFollowedAsCpFollowsIt();
    void standardOutput_data();
    void standardOutput();
    void inputIsReadInBoundedMemory_data();
    void inputIsReadInBoundedMemory();
    void theRangesReadBackAtPrintersResolutions_data();
    void theRangesReadBackAtPrintersResolutions();
    void svgBarsAsRsvgDrawsThem_data();
    void svgBarsAsRsvgDrawsThem();
    void svgReaderTakesOnlyItsOwn_data();
    void svgReaderTakesOnlyItsOwn();

private:
    QTemporaryDir m_dir;
};

void TestRender::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestRender::everyFirstDigitInEveryFormatReadsBack_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("svg") << u"svg"_s;
    QTest::newRow("png") << u"png"_s;
    QTest::newRow("pdf") << u"pdf"_s;
}

void TestRender::everyFirstDigitInEveryFormatReadsBack()
{
    QFETCH(QString, format);
    if (format != u"png"_s && !tool(format == u"svg"_s ? u"rsvg-convert"_s : u"pdftoppm"_s))
        QSKIP("rsvg-convert (librsvg2-bin) or pdftoppm (poppler-utils) is not installed");
    const QString dir = m_dir.filePath(u"all-"_s + format);
    QStringList args = {u"--format"_s, format, u"-o"_s, dir};
    args << Codes.mid(1) << UpcA;
    const Run r = render(args);
    QCOMPARE(r.exitCode, 0);
    QStringList expected;
    for (const QString &c : Codes)
        expected << (c == Codes.front() ? UpcA : c) + u'.' + format;
    QCOMPARE(filesIn(dir), expected);   // the UPC-A number as UPC-A, under its 12 digits
    // UPC-A's bars are EAN-13's with a 0 in front: read as EAN-13, its 13 digits.
    for (const QString &c : Codes)
        QCOMPARE(readBack(rasterOfFile(dir + u'/' + (c == Codes.front() ? UpcA : c) + u'.' + format, m_dir.path())), c);
}

void TestRender::pngGeometry_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("indicator");
    QTest::newRow("digits") << QStringList() << true << false;
    QTest::newRow("no digits") << QStringList{u"--no-text"_s} << false << false;
    QTest::newRow("margin indicator") << QStringList{u"--margin-indicator"_s} << true << true;
}

void TestRender::pngGeometry()
{
    QFETCH(QStringList, options);
    QFETCH(bool, text);
    QFETCH(bool, indicator);
    // 0.3 mm at 254 dpi: exactly 3 pixels a module.
    const QString file = m_dir.filePath(u"geometry.png"_s);
    const Run r = render(QStringList{u"--x-dim"_s, u"0.3"_s, u"--dpi"_s, u"254"_s, u"--height"_s, u"21"_s}
                         << options << u"-o"_s << file << u"5901234123457"_s);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());   // nothing to report: the X-dimension was kept
    const QImage img(file);
    constexpr int P = 3;
    QCOMPARE(img.width(), 113 * P);
    QCOMPARE(qRound(img.dotsPerMeterX() * 0.0254), 254);

    const int barBottom = 21 * 10;             // 21 mm at 10 pixels a millimetre
    const int guardBottom = barBottom + 5 * P; // guards 5X lower
    // 95 modules, sampled in the middle of each, after 11 light modules and before 7.
    QString modules;
    for (int m = 0; m < 113; ++m)
        modules += dark(img, m * P + 1, 20) ? u'1' : u'0';
    QCOMPARE(modules, QString(11, u'0') + QString::fromStdString(ean13::symbolModules(ean13::asciiCode("5901234123457")))
                          + QString(7, u'0'));
    // The start guard reaches below the data bars; the first data bar (module 11 + 3 + 1) does not.
    const int guardX = 11 * P + 1;
    const int dataX = static_cast<int>(modules.indexOf(u'1', 11 + 3)) * P + 1;   // the first data bar
    QVERIFY(dark(img, guardX, guardBottom - 1));
    QVERIFY(dark(img, dataX, barBottom - 1));
    QVERIFY(!dark(img, dataX, barBottom + 1));
    if (!text && !indicator) {
        QCOMPARE(img.height(), guardBottom);
        return;
    }
    QVERIFY(!dark(img, guardX, guardBottom + 1));
    QVERIFY(img.height() > guardBottom);

    auto inkBetween = [&](int fromModule, int toModule) {
        int n = 0;
        for (int y = barBottom + 2; y < img.height(); ++y)
            for (int x = fromModule * P; x < toModule * P; ++x)
                n += dark(img, x, y);
        return n;
    };
    QCOMPARE(inkBetween(0, 11) > 0, text);        // the first digit, in the left quiet zone
    QCOMPARE(inkBetween(14, 21) > 0, text);       // the second, under its own seven modules
    QCOMPARE(inkBetween(106, 113) > 0, indicator);
}

// Each symbology's layout measured on a PNG at exactly 3 pixels a module: the modules and quiet
// zones along a row, which bars reach down as far as the guards, the add-on's bars below its
// digits, and where the characters stand and how tall they are.
void TestRender::familyGeometry_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("symbology");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("addOn");
    QTest::addColumn<int>("leftQuiet");
    QTest::addColumn<int>("modules");
    QTest::addColumn<int>("rightQuiet");   // after the main symbol, or the add-on's own
    QTest::addColumn<int>("longBars");     // of the main symbol
    QTest::addColumn<QString>("outside");  // 'l'/'s': a large or small character left and right of the bars, '-' none
    using S = ean13::Symbology;
    QTest::newRow("EAN-13") << QStringList{u"5901234123457"_s} << int(S::Ean13) << u"5901234123457"_s << QString() << 11 << 95 << 7
                            << 6 << u"l-"_s;
    QTest::newRow("UPC-A") << QStringList{u"036000291452"_s} << int(S::UpcA) << u"036000291452"_s << QString() << 9 << 95 << 9
                           << 10 << u"ss"_s;
    QTest::newRow("EAN-8") << QStringList{u"96385074"_s} << int(S::Ean8) << u"96385074"_s << QString() << 7 << 67 << 7 << 6
                           << u"--"_s;
    QTest::newRow("UPC-E") << QStringList{u"--symbology"_s, u"upce"_s, u"01234565"_s} << int(S::UpcE) << u"01234565"_s << QString()
                           << 9 << 51 << 7 << 5 << u"ss"_s;
    QTest::newRow("EAN-13+2") << QStringList{u"9771234567003+05"_s} << int(S::Ean13) << u"9771234567003"_s << u"05"_s << 11 << 95
                              << 5 << 6 << u"l-"_s;
    QTest::newRow("UPC-A+5") << QStringList{u"036000291452+51295"_s} << int(S::UpcA) << u"036000291452"_s << u"51295"_s << 9 << 95
                             << 5 << 10 << u"ss"_s;
    QTest::newRow("EAN-8+5") << QStringList{u"96385074+12345"_s} << int(S::Ean8) << u"96385074"_s << u"12345"_s << 7 << 67 << 5
                             << 6 << u"--"_s;
    QTest::newRow("UPC-E+2") << QStringList{u"--symbology"_s, u"upce"_s, u"012345000065+12"_s} << int(S::UpcE) << u"01234565"_s
                             << u"12"_s << 9 << 51 << 5 << 5 << u"ss"_s;
}

void TestRender::familyGeometry()
{
    QFETCH(QStringList, args);
    QFETCH(int, symbology);
    QFETCH(QString, digits);
    QFETCH(QString, addOn);
    QFETCH(int, leftQuiet);
    QFETCH(int, modules);
    QFETCH(int, rightQuiet);
    QFETCH(int, longBars);
    QFETCH(QString, outside);
    using S = ean13::Symbology;
    const QString file = m_dir.filePath(u"family.png"_s);
    QFile::remove(file);
    const Run r = render(QStringList{u"--x-dim"_s, u"0.3"_s, u"--dpi"_s, u"254"_s, u"--height"_s, u"21"_s, u"-o"_s, file} << args);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    const QImage img(file);
    constexpr int P = 3;
    const int gap = addOn.isEmpty() ? 0 : 9;
    const int addOnModules = addOn.isEmpty() ? 0 : addOn.size() == 2 ? 20 : 47;
    const int width = leftQuiet + modules + gap + addOnModules + rightQuiet;
    QCOMPARE(img.width(), width * P);

    const int barBottom = 21 * 10;               // 21 mm at 10 pixels a millimetre
    const int guardBottom = barBottom + 5 * P;   // guards 5X lower
    const int addOnTop = 28;                     // a digit's 8.33X and half a module above and below it: 9.33X
    // Along a row that crosses every bar: the quiet zones, the main symbol, the gap, the add-on.
    const int row = addOnTop + 10;
    QString seen;
    for (int m = 0; m < width; ++m)
        seen += dark(img, m * P + 1, row) ? u'1' : u'0';
    const std::string main = ean13::familyModules(ean13::Symbology(symbology), digits.toStdString());
    QCOMPARE(static_cast<int>(main.size()), modules);
    QString expected = QString(leftQuiet, u'0') + QString::fromStdString(main) + QString(gap, u'0')
                       + QString::fromStdString(ean13::addOnModules(addOn.toStdString())) + QString(rightQuiet, u'0');
    QCOMPARE(seen, expected);

    // Which bars reach below the data bars: the main symbol's long ones, and every bar of the add-on.
    int longOnes = 0, addOnBars = 0;
    for (int m = 0; m < width; ++m) {
        if (seen[m] != u'1' || (m > 0 && seen[m - 1] == u'1'))
            continue;   // one test a bar, at its first module
        const int x = m * P + 1;
        const bool inAddOn = m >= leftQuiet + modules;
        QVERIFY(dark(img, x, barBottom - 1));
        // A data bar ends with its row barBottom - 1 (the digits' ink begins rows lower); a long one
        // goes on, whole, to guardBottom - 1.
        const bool isLong = dark(img, x, barBottom);
        if (isLong) {
            for (int y = barBottom; y < guardBottom; ++y)
                QVERIFY(dark(img, x, y));
            QVERIFY(!dark(img, x, guardBottom));
        }
        if (inAddOn) {
            ++addOnBars;
            QVERIFY(isLong);   // down to where the guards end
            QVERIFY(!dark(img, x, addOnTop - 2));   // below the add-on's digits
            QVERIFY(dark(img, x, addOnTop + 1));
        } else {
            longOnes += isLong;
            QVERIFY(dark(img, x, 0));   // every bar of the main symbol from the top
        }
    }
    QCOMPARE(longOnes, longBars);
    QCOMPARE(addOnBars, addOn.isEmpty() ? 0 : addOn.size() == 2 ? 7 : 16);

    // The ink of the characters: its rows and whether there is any, in a range of modules.
    struct Ink
    {
        int top = INT_MAX, bottom = -1;
        bool any() const { return bottom >= 0; }
    };
    auto inkIn = [&](int fromModule, int toModule, int fromRow, int toRow) {
        Ink ink;
        for (int y = fromRow; y < toRow; ++y)
            for (int x = fromModule * P; x < toModule * P; ++x)
                if (dark(img, x, y)) {
                    ink.top = std::min(ink.top, y);
                    ink.bottom = std::max(ink.bottom, y);
                }
        return ink;
    };
    // Under the bars: the first data character beside the start guard's modules (UPC-A's first is
    // outside), between the guards' ends; its ink height is a full digit's.
    const int firstGroup = leftQuiet + 3 + (symbology == int(S::UpcA) ? 7 : 0);
    const Ink under = inkIn(firstGroup + 1, firstGroup + 6, barBottom + 1, img.height());
    QVERIFY(under.any());
    QVERIFY(under.top > barBottom);
    const Ink left = inkIn(0, leftQuiet - 1, barBottom + 1, img.height());
    const Ink right = inkIn(leftQuiet + modules + 1, leftQuiet + modules + (addOn.isEmpty() ? rightQuiet : gap) - 1, barBottom + 1,
                            img.height());
    const auto kind = [&](const Ink &i) {
        if (!i.any())
            return u'-';
        if (qAbs(i.bottom - under.bottom) > 1)
            return u'^';   // not on the line of the digits under the bars
        const int height = i.bottom - i.top, full = under.bottom - under.top;
        return height >= full - 1 ? u'l' : height < full * 0.85 ? u's' : u'?';
    };
    QCOMPARE(QString(kind(left)) + kind(right), outside);
    // The add-on's digits above its bars, within its width, and nothing else up there.
    const Ink above = inkIn(leftQuiet + modules + gap, leftQuiet + modules + gap + addOnModules, 0, addOnTop);
    QCOMPARE(above.any(), !addOn.isEmpty());
    if (above.any()) {
        QVERIFY(above.top >= 1);
        QVERIFY(above.bottom < addOnTop - 1);
        QCOMPARE(inkIn(leftQuiet + modules, width, 0, addOnTop).bottom, above.bottom);
    }
}

void TestRender::physicalSize_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("x");
    QTest::addColumn<double>("width");   // mm
    QTest::addColumn<double>("height");
    QTest::newRow("svg at 100%") << u"svg"_s << u"0.33"_s << 37.29 << 25.93;
    QTest::newRow("svg at 200%") << u"svg"_s << u"0.66"_s << 74.58 << 51.86;
    QTest::newRow("pdf at 100%") << u"pdf"_s << u"0.33"_s << 37.29 << 25.93;
    QTest::newRow("pdf at 80%") << u"pdf"_s << u"0.264"_s << 29.832 << 20.744;
}

void TestRender::physicalSize()
{
    QFETCH(QString, format);
    QFETCH(QString, x);
    QFETCH(double, width);
    QFETCH(double, height);
    const QString file = m_dir.filePath(u"size."_s + format);
    QCOMPARE(render({u"--x-dim"_s, x, u"-o"_s, file, u"4820000000000"_s}).exitCode, 0);
    if (format == u"svg"_s) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString head = QString::fromUtf8(f.read(400));
        const QRegularExpressionMatch m =
            QRegularExpression(u"<svg width=\"([0-9.]+)mm\" height=\"([0-9.]+)mm\""_s).match(head);
        QVERIFY2(m.hasMatch(), qPrintable(head));
        QCOMPARE(qRound(m.captured(1).toDouble() * 1000), qRound(width * 1000));
        QCOMPARE(qRound(m.captured(2).toDouble() * 1000), qRound(height * 1000));
        return;
    }
    if (!tool(u"pdfinfo"_s))
        QSKIP("pdfinfo (poppler-utils) is not installed");
    QProcess info;
    info.start(u"pdfinfo"_s, {file});
    QVERIFY(info.waitForFinished());
    const QRegularExpressionMatch m =
        QRegularExpression(u"Page size: +([0-9.]+) x ([0-9.]+) pts"_s).match(QString::fromUtf8(info.readAllStandardOutput()));
    QVERIFY(m.hasMatch());
    // A page counts whole points: the symbol's size, rounded up to the next point.
    const double wmm = m.captured(1).toDouble() * 25.4 / 72;
    const double hmm = m.captured(2).toDouble() * 25.4 / 72;
    QVERIFY2(wmm >= width && wmm < width + 25.4 / 72, qPrintable(QString::number(wmm)));
    QVERIFY2(hmm >= height && hmm < height + 25.4 / 72, qPrintable(QString::number(hmm)));
}

void TestRender::svgNeedsNoFont()
{
    const QString file = m_dir.filePath(u"outlines.svg"_s);
    QCOMPARE(render({u"-o"_s, file, u"4820000000000"_s}).exitCode, 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray svg = f.readAll();
    QVERIFY(!svg.contains("<text"));
    QCOMPARE(svg.count("<rect"), 1 + 30);   // the light background and the 30 bars
    QVERIFY(svg.count("<path") >= 13);      // the digits as outlines
}

void TestRender::outputRules_data()
{
    QTest::addColumn<QStringList>("args");   // OUT is "out" in the work directory; "file" an existing file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("written");   // files in the work directory afterwards, "file" aside

    QTest::newRow("one code to a file of its name")
        << QStringList{u"-o"_s, u"out.pdf"_s, u"4820000000000"_s} << 0 << QString() << QStringList{u"out.pdf"_s};
    QTest::newRow("--format wins over the name")
        << QStringList{u"--format"_s, u"png"_s, u"-o"_s, u"out.svg"_s, u"4820000000000"_s} << 0
        << QString() << QStringList{u"out.svg"_s};   // no --x-dim asked for: nothing to say about it
    QTest::newRow("an X-dimension asked for, and changed by the pixels")
        << QStringList{u"--format"_s, u"png"_s, u"--x-dim"_s, u"0.33"_s, u"-o"_s, u"out.png"_s, u"4820000000000"_s} << 0
        << u"ean13 render: X-dimension 0.339 mm (8 pixels a module at 600 dpi) in place of 0.330 mm\n"_s
        << QStringList{u"out.png"_s};
    QTest::newRow("the smallest X at the default resolution: 7 pixels, not 6 that make it too small")
        << QStringList{u"--x-dim"_s, u"0.264"_s, u"-o"_s, u"out.png"_s, u"4820000000000"_s} << 0
        << u"ean13 render: X-dimension 0.296 mm (7 pixels a module at 600 dpi) in place of 0.264 mm\n"_s
        << QStringList{u"out.png"_s};
    QTest::newRow("the largest X at the default resolution: 15 pixels, not 16 that make it too large")
        << QStringList{u"--x-dim"_s, u"0.66"_s, u"-o"_s, u"out.png"_s, u"4820000000000"_s} << 0
        << u"ean13 render: X-dimension 0.635 mm (15 pixels a module at 600 dpi) in place of 0.660 mm\n"_s
        << QStringList{u"out.png"_s};
    QTest::newRow("a name without an extension is SVG")
        << QStringList{u"-o"_s, u"label"_s, u"4820000000000"_s} << 0 << QString() << QStringList{u"label"_s};
    QTest::newRow("a trailing slash makes a directory, for one code too")
        << QStringList{u"-o"_s, u"labels/"_s, u"4820000000000"_s} << 0 << QString()
        << QStringList{u"labels/4820000000000.svg"_s};
    QTest::newRow("the same file name twice in a batch: said, written once")
        << QStringList{u"--symbology"_s, u"upce"_s, u"-o"_s, u"out"_s, u"012345000065"_s, u"01234565"_s} << 0
        << u"ean13 render: 01234565: the same file as an earlier code of this run, 01234565.svg; written once\n"_s
        << QStringList{u"out/01234565.svg"_s};
    QTest::newRow("a UPC-A number and its EAN-13 form: two symbols, two files")
        << QStringList{u"-o"_s, u"out"_s, u"036000291452"_s, u"0036000291452"_s} << 0 << QString()
        << QStringList{u"out/0036000291452.svg"_s, u"out/036000291452.svg"_s};
    QTest::newRow("a batch that wrote nothing leaves no directory")
        << QStringList{u"-o"_s, u"new/out"_s, u"4820000000001"_s, u"x"_s} << 1
        << u"ean13 render: 4820000000001: wrong check digit, it should be 0 (4820000000000); no file written\n"
           u"ean13 render: x: not an 8-, 12- or 13-digit code\n"_s
        << QStringList();
    QTest::newRow("several codes to standard output")
        << QStringList{u"-o"_s, u"-"_s, u"4820000000000"_s, u"5901234123457"_s} << 2
        << u"ean13 render: standard output takes one symbol: give one CODE, or a directory for several (see ean13 render --help)\n"_s
        << QStringList();
    QTest::newRow("a UPC-A number")
        << QStringList{u"-o"_s, u"out.svg"_s, u"036000291452"_s} << 0 << QString() << QStringList{u"out.svg"_s};
    QTest::newRow("several codes make the directory")
        << QStringList{u"-o"_s, u"out"_s, u"4820000000000"_s, u"5901234123457"_s} << 0 << QString()
        << QStringList{u"out/4820000000000.svg"_s, u"out/5901234123457.svg"_s};
    QTest::newRow("wrong check digit: the right one named")
        << QStringList{u"-o"_s, u"out.svg"_s, u"4820000000001"_s} << 1
        << u"ean13 render: 4820000000001: wrong check digit, it should be 0 (4820000000000); no file written\n"_s
        << QStringList();
    QTest::newRow("wrong check digit of a UPC-A number")
        << QStringList{u"-o"_s, u"out.svg"_s, u"036000291453"_s} << 1
        << u"ean13 render: 036000291453: wrong check digit, it should be 2 (036000291452); no file written\n"_s
        << QStringList();
    QTest::newRow("a letter")
        << QStringList{u"-o"_s, u"out.svg"_s, u"48200000x0000"_s} << 1
        << u"ean13 render: 48200000x0000: not an 8-, 12- or 13-digit code\n"_s << QStringList();
    QTest::newRow("a terminal's title sequence is shown, not obeyed")
        << QStringList{u"-o"_s, u"out.svg"_s, u"\x1b]0;owned\x07"_s} << 1
        << u"ean13 render: \\x1b]0;owned\\x07: not an 8-, 12- or 13-digit code\n"_s << QStringList();
    QTest::newRow("14 digits are not cut to 13")
        << QStringList{u"-o"_s, u"out.svg"_s, u"48200000000001"_s} << 1
        << u"ean13 render: 48200000000001: not an 8-, 12- or 13-digit code\n"_s << QStringList();
    // The family: a refusal in any symbology writes nothing, and leaves an existing file as it was.
    const auto refused = [](const char *name, QStringList args, const QString &message) {
        QTest::newRow(name) << (QStringList{u"-o"_s, u"file"_s} << args) << 1 << u"ean13 render: "_s + message + u'\n'
                            << QStringList();
    };
    refused("EAN-8, wrong check digit", {u"96385075"_s}, u"96385075: wrong check digit, it should be 4 (96385074); no file written"_s);
    refused("UPC-A with an add-on, wrong check digit", {u"036000291453+12"_s},
            u"036000291453+12: wrong check digit, it should be 2 (036000291452); no file written"_s);
    refused("EAN-13 with an add-on, wrong check digit", {u"9780306406158+51295"_s},
            u"9780306406158+51295: wrong check digit, it should be 7 (9780306406157); no file written"_s);
    refused("UPC-E, wrong check digit (its UPC-A number's)", {u"--symbology"_s, u"upce"_s, u"01234566"_s},
            u"01234566: wrong check digit, it should be 5 (01234565); no file written"_s);
    refused("UPC-E from a UPC-A number, wrong check digit", {u"--symbology"_s, u"upce"_s, u"012345000066"_s},
            u"012345000066: wrong check digit, it should be 5 (01234565); no file written"_s);
    refused("UPC-E from a UPC-A number that cannot be suppressed", {u"--symbology"_s, u"upce"_s, u"036000291452"_s},
            u"036000291452: the UPC-A number 036000291452 cannot be zero-suppressed into UPC-E; no file written"_s);
    refused("UPC-E of number system 2", {u"--symbology"_s, u"upce"_s, u"21234565"_s},
            u"21234565: not a UPC-E number: 8 digits beginning with 0 or 1, or a UPC-A number of 12 digits (13 beginning with 0)"_s);
    refused("UPC-A of 13 digits not beginning with 0", {u"--symbology"_s, u"upca"_s, u"5901234123457"_s},
            u"5901234123457: not a UPC-A number: 12 digits, or 13 beginning with 0"_s);
    refused("EAN-8 asked for 13 digits", {u"--symbology"_s, u"ean8"_s, u"5901234123457"_s}, u"5901234123457: not an 8-digit code"_s);
    refused("EAN-13 asked for 8 digits", {u"--symbology"_s, u"ean13"_s, u"96385074"_s}, u"96385074: not a 12- or 13-digit code"_s);
    refused("7 digits", {u"9638507"_s}, u"9638507: not an 8-, 12- or 13-digit code"_s);
    refused("an add-on of 3 digits", {u"5901234123457+123"_s}, u"5901234123457+123: the add-on after '+' must be 2 or 5 digits"_s);
    refused("an empty add-on", {u"5901234123457+"_s}, u"5901234123457+: the add-on after '+' must be 2 or 5 digits"_s);
    refused("two add-ons", {u"5901234123457+12+34"_s}, u"5901234123457+12+34: the add-on after '+' must be 2 or 5 digits"_s);
    refused("an add-on alone", {u"+12"_s}, u"+12: not an 8-, 12- or 13-digit code"_s);
    QTest::newRow("unknown symbology")
        << QStringList{u"--symbology"_s, u"upc"_s, u"-o"_s, u"file"_s, u"036000291452"_s} << 2
        << u"ean13 render: unknown symbology 'upc': ean13, upca, ean8 or upce (see ean13 render --help)\n"_s << QStringList();
    QTest::newRow("UPC-A asked for 13 digits beginning with 0: the 12")
        << QStringList{u"--symbology"_s, u"upca"_s, u"-o"_s, u"out/"_s, u"0036000291452"_s} << 0 << QString()
        << QStringList{u"out/036000291452.svg"_s};
    QTest::newRow("EAN-13 asked for 12 digits: the equal EAN-13 symbol")
        << QStringList{u"--symbology"_s, u"ean13"_s, u"-o"_s, u"out/"_s, u"036000291452"_s} << 0 << QString()
        << QStringList{u"out/0036000291452.svg"_s};
    QTest::newRow("add-ons name their files")
        << QStringList{u"-o"_s, u"out"_s, u"9780306406157+51295"_s, u"9780306406157+12"_s, u"9780306406157"_s} << 0 << QString()
        << QStringList{u"out/9780306406157+12.svg"_s, u"out/9780306406157+51295.svg"_s, u"out/9780306406157.svg"_s};
    QTest::newRow("unknown format")
        << QStringList{u"--format"_s, u"gif"_s, u"-o"_s, u"out.gif"_s, u"4820000000000"_s} << 2
        << u"ean13 render: unknown format 'gif': svg, png or pdf (see ean13 render --help)\n"_s << QStringList();
    QTest::newRow("no format from the name")
        << QStringList{u"-o"_s, u"out.jpg"_s, u"4820000000000"_s} << 2
        << u"ean13 render: cannot tell the format from the name out.jpg: give --format svg, png or pdf (see ean13 render --help)\n"_s
        << QStringList();
    QTest::newRow("X out of range")
        << QStringList{u"--x-dim"_s, u"0.7"_s, u"-o"_s, u"out.svg"_s, u"4820000000000"_s} << 2
        << u"ean13 render: X-dimension 0.700 mm is out of range: 0.264 mm to 0.660 mm (80% to 200% of 0.330 mm)\n"_s
        << QStringList();
    QTest::newRow("resolution out of range")
        << QStringList{u"--dpi"_s, u"30"_s, u"-o"_s, u"out.png"_s, u"4820000000000"_s} << 2
        << u"ean13 render: resolution 30 dpi is out of range: 50 to 2400\n"_s << QStringList();
    QTest::newRow("a resolution whose nearest whole pixels would make X too small")
        << QStringList{u"--dpi"_s, u"100"_s, u"--x-dim"_s, u"0.264"_s, u"-o"_s, u"out.png"_s, u"4820000000000"_s} << 0
        << u"ean13 render: X-dimension 0.508 mm (2 pixels a module at 100 dpi) in place of 0.264 mm\n"_s
        << QStringList{u"out.png"_s};
    QTest::newRow("the file's directory is missing")
        << QStringList{u"-o"_s, u"missing/out.svg"_s, u"4820000000000"_s} << 2
        << u"ean13 render: cannot write missing/out.svg: its directory does not exist\n"_s << QStringList();
    QTest::newRow("several codes, OUT an existing file")
        << QStringList{u"-o"_s, u"file"_s, u"4820000000000"_s, u"5901234123457"_s} << 2
        << u"ean13 render: file is not a directory, and several codes need one (see ean13 render --help)\n"_s
        << QStringList();
}

void TestRender::outputRules()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QStringList, written);
    QTemporaryDir work;
    QFile existing(work.filePath(u"file"_s));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();

    QProcess p;
    p.setWorkingDirectory(work.path());
    p.start(QStringLiteral(RENDER_EXE), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), message);
    QCOMPARE(p.exitCode(), exitCode);
    QStringList seen;
    QDirIterator it(work.path(), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        seen << QDir(work.path()).relativeFilePath(it.next());
    seen.removeOne(u"file"_s);
    for (const QString &f : std::as_const(written))   // the directories that hold them
        for (qsizetype slash = f.indexOf(u'/'); slash > 0; slash = f.indexOf(u'/', slash + 1))
            seen.removeAll(f.left(slash));
    seen.sort();
    QCOMPARE(seen, written);   // a refusal leaves nothing, not even a temporary file
    QCOMPARE(QFileInfo(existing).size(), 0);   // nor anything in a file that was there
}

void TestRender::aBatchWritesTheGoodOnes()
{
    QTemporaryDir work;
    QFile list(work.filePath(u"codes.txt"_s));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("4820000000000\r\n4820000000001\n\nabc\n\x1b]0;owned\x07\x1b[2J\n036000291452\n");
    list.close();
    const Run r = render({u"--format"_s, u"png"_s, u"--dpi"_s, u"300"_s, u"-i"_s, list.fileName(), u"-o"_s,
                          work.filePath(u"out"_s)});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(filesIn(work.filePath(u"out"_s)), (QStringList{u"036000291452.png"_s, u"4820000000000.png"_s}));
    QVERIFY(r.err.contains("4820000000001: wrong check digit, it should be 0"));
    QVERIFY(r.err.contains("abc: not an 8-, 12- or 13-digit code"));
    QVERIFY(r.err.contains("ean13 render: \\x1b]0;owned\\x07\\x1b[2J: not an 8-, 12- or 13-digit code\n"));
    QVERIFY(!r.err.contains('\x1b'));
    // No --x-dim: the 4 pixels that the nominal 0.33 mm comes nearest to at 300 dpi, without a word.
    QVERIFY(!r.err.contains("X-dimension"));
    QCOMPARE(QImage(work.filePath(u"out/4820000000000.png"_s)).width(), 113 * 4);
}

void TestRender::ean13HandsRenderOn()
{
    const QString file = m_dir.filePath(u"through-ean13.png"_s);
    QProcess p;
    p.start(QStringLiteral(EAN13_EXE), {u"render"_s, u"--dpi"_s, u"254"_s, u"--x-dim"_s, u"0.3"_s, u"-o"_s, file, u"4820000000000"_s});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(readBack(QImage(file)), u"4820000000000"_s);
    p.start(QStringLiteral(EAN13_EXE), {u"render"_s, u"-o"_s, file, u"4820000000001"_s});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 1);   // the status comes back through ean13
}

void TestRender::aSpoiledRasterIsNeverWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("svg") << u"svg"_s;
    QTest::newRow("png") << u"png"_s;
    QTest::newRow("pdf") << u"pdf"_s;
}

void TestRender::aSpoiledRasterIsNeverWritten()
{
    QFETCH(QString, name);
    const ean13::SymbolFormat format = *ean13::symbolFormat(name);
    const ean13::Code code = ean13::asciiCode("4820000000000");
    const ean13::RenderSettings settings;
    QVERIFY(!ean13::renderSymbol(code, format, settings).bytes.isEmpty());

    // A bar of the right half turned into a space: the decoder reads nothing, or another code.
    ean13::setRasterFaultForTesting([](QImage &img) {
        QPainter p(&img);
        const int module = img.width() / 113;
        p.fillRect(QRect((11 + 60) * module, 0, 3 * module, img.height()), Qt::white);
    });
    const ean13::Rendered r = ean13::renderSymbol(code, format, settings);
    ean13::setRasterFaultForTesting({});
    QCOMPARE(r.error, ean13::RenderError::NotReadBack);
    QVERIFY(r.bytes.isEmpty());
}

// The reader of our own SVG subset, which every SVG passes before it is written, against a renderer
// that knows nothing of ours: the same bars in the same pixels, and zxing-cpp reads rsvg-convert's
// raster too.
void TestRender::svgBarsAsRsvgDrawsThem_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("xMm");
    QTest::addColumn<double>("bwrMm");
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("marginIndicator");
    QTest::addColumn<double>("barHeightMm");   // 0: the nominal height
    QTest::newRow("nominal") << u"4006381333931"_s << 0.33 << 0.0 << true << false << 0.0;
    QTest::newRow("UPC-A, 200%") << u"0036000291452"_s << 0.66 << 0.0 << true << false << 0.0;
    QTest::newRow("bar width reduction") << u"5901234123457"_s << 0.33 << 0.05 << true << false << 0.0;
    QTest::newRow("no digits") << u"9780306406157"_s << 0.30 << 0.0 << false << false << 0.0;
    QTest::newRow("margin indicator, short bars") << u"4820000000000"_s << 0.33 << 0.0 << true << true << 12.0;
}

void TestRender::svgBarsAsRsvgDrawsThem()
{
    if (!tool(u"rsvg-convert"_s))
        QSKIP("rsvg-convert (librsvg2-bin) is not installed");
    QFETCH(QString, code);
    QFETCH(double, xMm);
    QFETCH(double, bwrMm);
    QFETCH(bool, text);
    QFETCH(bool, marginIndicator);
    QFETCH(double, barHeightMm);
    ean13::RenderSettings settings;
    settings.symbol.xMm = xMm;
    settings.symbol.bwrMm = bwrMm;
    settings.symbol.text = text;
    settings.symbol.marginIndicator = marginIndicator;
    if (barHeightMm > 0)
        settings.symbol.barHeightMm = barHeightMm;
    QVERIFY(ean13::checkSettings(settings, ean13::SymbolFormat::Svg).empty());
    const ean13::Rendered r = ean13::renderSymbol(ean13::asciiCode(code.toStdString()), ean13::SymbolFormat::Svg, settings);
    QCOMPARE(r.error, ean13::RenderError::None);

    constexpr int PixelsPerModule = 4;
    const QImage ours = ean13::readSvgBars(r.bytes, PixelsPerModule);
    QVERIFY(!ours.isNull());
    const QString file = m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + u".svg"_s);
    const QString png = m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + u".png"_s);
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(r.bytes);
    }
    QCOMPARE(QProcess::execute(u"rsvg-convert"_s, {u"-w"_s, QString::number(113 * PixelsPerModule), u"-b"_s, u"white"_s,
                                                   u"-o"_s, png, file}),
             0);
    const QImage theirs = QImage(png).convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(theirs.width(), ours.width());
    QVERIFY(theirs.height() > ours.height());
    QCOMPARE(readBack(theirs), code);

    // Every row the reader gives: the same dark pixels, but for an edge that falls inside a pixel
    // (bar width reduction), which each rounds its own way.
    const int edgesAllowed = bwrMm > 0 ? 60 : 0;
    for (int y = 0; y < ours.height(); ++y) {
        int differ = 0;
        for (int x = 0; x < ours.width(); ++x)
            differ += dark(ours, x, y) != dark(theirs, x, y);
        QVERIFY2(differ <= edgesAllowed, qPrintable(u"row %1: %2 pixels differ"_s.arg(y).arg(differ)));
    }
    // The rows below are where the digits begin: ink that is not a guard bar.
    if (text) {
        bool ink = false;
        const int y = ours.height() + 2 * PixelsPerModule;
        for (int x = 0; x < 11 * PixelsPerModule && !ink; ++x)
            ink = dark(theirs, x, y);   // the first digit, in the quiet zone
        QVERIFY(ink);
    }
}

void TestRender::svgReaderTakesOnlyItsOwn_data()
{
    QTest::addColumn<QByteArray>("from");   // replaced in the file, first occurrence
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<bool>("readable");     // the reader still takes it (and the decoder judges)
    QTest::addColumn<QByteArray>("addOn");  // of the symbol written
    QTest::newRow("as written") << QByteArray() << QByteArray() << true << QByteArray();
    QTest::newRow("a digit moved up into the bars") << QByteArrayLiteral("translate(7,") << QByteArrayLiteral("translate(7,3") << false << QByteArray();
    QTest::newRow("a digit's outline changed") << QByteArrayLiteral("d=\"M") << QByteArrayLiteral("d=\"M1") << false << QByteArray();
    QTest::newRow("an element it does not know") << QByteArrayLiteral("<g ") << QByteArrayLiteral("<circle r=\"9\"/>\n<g ") << false << QByteArray();
    QTest::newRow("a bar wider than the symbol") << QByteArrayLiteral("width=\"1\"") << QByteArrayLiteral("width=\"500\"") << false << QByteArray();
    QTest::newRow("cut short") << QByteArrayLiteral("</g>\n</svg>\n") << QByteArrayLiteral("</g>\n") << false << QByteArray();
    QTest::newRow("a second svg after the end") << QByteArrayLiteral("</svg>\n") << QByteArrayLiteral("</svg>\n<svg/>\n") << false << QByteArray();
    QTest::newRow("a size the view box does not have") << QByteArrayLiteral("37.29mm") << QByteArrayLiteral("74.58mm") << false << QByteArray();
    QTest::newRow("a bar moved: read, but not as the code")
        << QByteArrayLiteral("<rect x=\"17\"") << QByteArrayLiteral("<rect x=\"18\"") << true << QByteArray();
    // With an add-on: its first digit stands at 11 + 95 + 9 + 4 + 3.5 modules, half a module down.
    QTest::newRow("add-on, as written") << QByteArray() << QByteArray() << true << "12"_ba;
    QTest::newRow("add-on, its digit moved down into its bars")
        << "translate(122.5,0.5)"_ba << "translate(122.5,5)"_ba << false << "12"_ba;
    QTest::newRow("add-on, its digit moved beside the main symbol's bars")
        << "translate(122.5,0.5)"_ba << "translate(5,0.5)"_ba << false << "12"_ba;
    QTest::newRow("add-on of 3 digits in the title") << "+12<"_ba << "+123<"_ba << false << "12"_ba;
    QTest::newRow("add-on, a bar of it moved: read, but not as the code") << "<rect x=\"125\""_ba << "<rect x=\"126\""_ba
                                                                           << true << "12"_ba;
}

void TestRender::svgReaderTakesOnlyItsOwn()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, readable);
    QFETCH(QByteArray, addOn);
    const ean13::SymbolRequest request{ean13::Symbology::Ean13, "4006381333931", addOn.toStdString()};
    const ean13::Rendered r = ean13::renderSymbol(request, ean13::SymbolFormat::Svg, {});
    QCOMPARE(r.error, ean13::RenderError::None);
    QByteArray bytes = r.bytes;
    if (!from.isEmpty()) {
        const qsizetype at = bytes.indexOf(from);
        QVERIFY(at >= 0);
        bytes.replace(at, from.size(), to);
    }
    const QImage bars = ean13::readSvgBars(bytes, 2);
    QCOMPARE(!bars.isNull(), readable);
    if (readable)
        QCOMPARE(ean13::readSymbol(bars, request.symbology, !addOn.isEmpty()) == "4006381333931" + (addOn.isEmpty() ? "" : "+" + request.addOn),
                 from.isEmpty());
}

namespace {

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every name in a directory, hidden ones (temporaries) included.
QStringList everythingIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t typeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace

void TestRender::aFullDiskKeepsWhatWasThere_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("batch");   // a directory of several codes, or one file
    for (const QString &format : {u"svg"_s, u"png"_s, u"pdf"_s}) {
        QTest::newRow(qPrintable(format + u", one file"_s)) << format << false;
        QTest::newRow(qPrintable(format + u", a batch"_s)) << format << true;
    }
}

// A limit on the size of a file (ulimit -f) makes every write past it fail, as a full disk does.
void TestRender::aFullDiskKeepsWhatWasThere()
{
    QFETCH(QString, format);
    QFETCH(bool, batch);
    QTemporaryDir work;
    const QString dir = work.filePath(u"out"_s);
    QVERIFY(QDir().mkpath(dir));
    const QString old = dir + u"/4820000000000."_s + format;
    QVERIFY(writeFile(old, "the old symbol"));
    ChildSetup setup;
    setup.fileSizeLimit = 1000;   // less than any symbol
    const QStringList args = batch ? QStringList{u"--format"_s, format, u"-o"_s, dir, u"4820000000000"_s, u"5901234123457"_s}
                                   : QStringList{u"-o"_s, old, u"4820000000000"_s};
    const ChildRun r = runChild(QStringLiteral(RENDER_EXE), args, setup);
    QCOMPARE(r.signal, 0);   // not killed by SIGXFSZ half way
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("cannot write " + QFile::encodeName(old) + ": File too large\n"), r.err.constData());
    if (batch)
        QVERIFY2(r.err.contains("5901234123457." + format.toUtf8() + ": File too large\n"), r.err.constData());
    QCOMPARE(contents(old), QByteArray("the old symbol"));
    QCOMPARE(everythingIn(dir), QStringList{u"4820000000000."_s + format});   // no empty file, no temporary
}

// A real file system that fills up part way through a batch, where the machine lets a test mount one.
void TestRender::aSmallFileSystemFillsUp()
{
    if (!tool(u"unshare"_s))
        QSKIP("unshare (util-linux) is not installed");
    QTemporaryDir work;
    const QString mount = work.filePath(u"disk"_s);
    QVERIFY(QDir().mkpath(mount));
    QStringList codes;
    for (int i = 0; i < 400; ++i) {
        QString c = u"4820000%1"_s.arg(i, 5, 10, QChar(u'0'));
        c += QString::number(ean13::analyse(ean13::asciiCode((c + u'0').toStdString())).expectedCheckDigit.value_or(0));
        codes << c;
    }
    QVERIFY(writeFile(work.filePath(u"codes.txt"_s), codes.join(u'\n').toUtf8() + '\n'));
    const QString script = u"mount -t tmpfs -o size=200k none \"$1\" || exit 77; "
                           u"echo old > \"$1/keep.png\"; mkdir \"$1/tiny\"; cp \"$1/keep.png\" \"$1/tiny/%1.png\"; "
                           u"\"$2\" --format png -o \"$1/tiny\" -i \"$3\"; echo \"status $?\"; "
                           u"\"$2\" -o \"$1/keep.png\" 4820000000000; echo \"status $?\"; "
                           u"cat \"$1/keep.png\"; cat \"$1/tiny/%1.png\"; "
                           u"find \"$1/tiny\" -type f -size 0 | wc -l; find \"$1\" -name '.*' | wc -l; "
                           u"for f in \"$1\"/tiny/*.png; do [ \"$(head -c 4 \"$f\" | od -An -c | tr -d ' ')\" = '211PNG' ] || "
                           u"[ \"$f\" = \"$1/tiny/%1.png\" ] || echo \"cut: $f\"; done"_s.arg(codes.last());
    QProcess p;
    p.start(u"unshare"_s, {u"-m"_s, u"--propagation"_s, u"private"_s, u"sh"_s, u"-c"_s, script, u"sh"_s, mount,
                           QStringLiteral(RENDER_EXE), work.filePath(u"codes.txt"_s)});
    QVERIFY(p.waitForFinished(240000));
    if (p.exitCode() == 77 || p.exitStatus() != QProcess::NormalExit)
        QSKIP("this machine lets no test mount a small file system");
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(lines.value(0), u"status 2"_s);   // some files did not fit: said
    QVERIFY2(err.contains(": No space left on device\n"), err.left(2000).constData());
    QCOMPARE(lines.value(1), u"status 2"_s);   // and one over an existing file
    QCOMPARE(lines.value(2), u"old"_s);        // that keeps its old bytes
    QCOMPARE(lines.value(3), u"old"_s);        // so does the batch's
    QCOMPARE(lines.value(4), u"0"_s);          // no empty file
    QCOMPARE(lines.value(5), u"0"_s);          // no temporary
    QCOMPARE(lines.value(6), QString());       // no file cut short
}

void TestRender::nodesAreWrittenIntoNeverReplaced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("a full device") << u"full"_s << 2 << QByteArray("ean13 render: cannot write node: No space left on device\n");
    QTest::newRow("the null device") << u"null"_s << 0 << QByteArray();
    QTest::newRow("a pipe with a reader") << u"fifo"_s << 0 << QByteArray();
    QTest::newRow("a socket") << u"socket"_s << 2 << QByteArray("ean13 render: cannot write node: No such device or address\n");
}

// Made in a directory of the test's own, never the machine's /dev.
void TestRender::nodesAreWrittenIntoNeverReplaced()
{
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    QTemporaryDir work;
    const QString node = work.filePath(u"node"_s);
    const QByteArray name = QFile::encodeName(node);
    mode_t type = 0;
    int socketFd = -1;
    if (kind == u"full"_s || kind == u"null"_s) {
        type = S_IFCHR;
        if (::mknod(name.constData(), S_IFCHR | 0600, makedev(1, kind == u"full"_s ? 7 : 3)) != 0)
            QSKIP("mknod needs root");
    } else if (kind == u"fifo"_s) {
        type = S_IFIFO;
        QVERIFY(::mkfifo(name.constData(), 0600) == 0);
    } else {
        type = S_IFSOCK;
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(static_cast<std::size_t>(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
        QVERIFY(::bind(socketFd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
    }
    QProcess reader;   // the pipe's other end, as `cat node > got` would be
    if (kind == u"fifo"_s) {
        reader.start(u"sh"_s, {u"-c"_s, u"cat \"$0\" > \"$1\""_s, node, work.filePath(u"got.svg"_s)});
        QVERIFY(reader.waitForStarted());
    }
    QProcess p;
    p.setWorkingDirectory(work.path());
    p.start(QStringLiteral(RENDER_EXE), {u"-o"_s, u"node"_s, u"4820000000000"_s});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.readAllStandardError(), err);
    QCOMPARE(p.exitCode(), exitCode);
    QCOMPARE(typeOf(node), type);
    if (kind == u"fifo"_s) {
        QVERIFY(reader.waitForFinished(60000));
        QCOMPARE(readBack(rasterOfFile(work.filePath(u"got.svg"_s), work.path())), u"4820000000000"_s);
    }
    QCOMPARE(everythingIn(work.path()).filter(u".part"_s), QStringList());
    if (socketFd >= 0)
        ::close(socketFd);
}

// In a shared directory another user may plant links with the names that a batch will write.
void TestRender::linksInADirectoryAreNeverFollowed()
{
    QTemporaryDir work;
    const QString dir = work.filePath(u"shared"_s);
    QVERIFY(QDir().mkpath(dir));
    const QString victim = work.filePath(u"victim"_s);
    QVERIFY(writeFile(victim, "not yours"));
    QVERIFY(QFile::link(victim, dir + u"/4820000000000.svg"_s));
    QVERIFY(QFile::link(work.filePath(u"created"_s), dir + u"/5901234123457.svg"_s));   // to nothing yet
    const Run r = render({u"-o"_s, dir, u"4820000000000"_s, u"5901234123457"_s, u"2000000000008"_s});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err, "ean13 render: cannot write " + QFile::encodeName(dir) + "/4820000000000.svg: a symbolic link; not written "
                    "through, left as it is\n" + "ean13 render: cannot write " + QFile::encodeName(dir)
                    + "/5901234123457.svg: a symbolic link; not written through, left as it is\n");
    QCOMPARE(contents(victim), QByteArray("not yours"));
    QVERIFY(!QFile::exists(work.filePath(u"created"_s)));
    QCOMPARE(QFileInfo(dir + u"/4820000000000.svg"_s).symLinkTarget(), victim);
    QCOMPARE(QFileInfo(dir + u"/5901234123457.svg"_s).symLinkTarget(), work.filePath(u"created"_s));
    QCOMPARE(everythingIn(dir), (QStringList{u"2000000000008.svg"_s, u"4820000000000.svg"_s, u"5901234123457.svg"_s}));
}

// One OUT that the user named: as cp does, a link to a file is followed and one to nothing refused.
void TestRender::aNamedLinkIsFollowedAsCpFollowsIt()
{
    QTemporaryDir work;
    const QString file = work.filePath(u"real.svg"_s);
    QVERIFY(writeFile(file, "old"));
    QVERIFY(QFile::link(file, work.filePath(u"link.svg"_s)));
    QCOMPARE(render({u"-o"_s, work.filePath(u"link.svg"_s), u"4820000000000"_s}).exitCode, 0);
    QCOMPARE(QFileInfo(work.filePath(u"link.svg"_s)).symLinkTarget(), file);
    QCOMPARE(readBack(rasterOfFile(file, work.path())), u"4820000000000"_s);

    QVERIFY(QFile::link(work.filePath(u"nowhere.svg"_s), work.filePath(u"dangling.svg"_s)));
    const Run r = render({u"-o"_s, work.filePath(u"dangling.svg"_s), u"4820000000000"_s});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err, "ean13 render: cannot write " + QFile::encodeName(work.filePath(u"dangling.svg"_s))
                        + ": a symbolic link to nothing; not written through\n");
    QVERIFY(!QFile::exists(work.filePath(u"nowhere.svg"_s)));
}

void TestRender::standardOutput_data()
{
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("append");   // standard output opened as >> opens it
    QTest::newRow("-") << u"-"_s << false;
    QTest::newRow("- appended") << u"-"_s << true;
    QTest::newRow("/dev/stdout appended") << u"/dev/stdout"_s << true;
    QTest::newRow("/dev/fd/1 appended") << u"/dev/fd/1"_s << true;
}

void TestRender::standardOutput()
{
    QFETCH(QString, out);
    QFETCH(bool, append);
    QTemporaryDir work;
    const QString log = work.filePath(u"log.txt"_s);
    QVERIFY(writeFile(log, "what the log held\n"));
    ChildSetup setup;
    setup.stdoutFile = log;
    setup.appendStdout = append;
    const ChildRun r = runChild(QStringLiteral(RENDER_EXE), {u"-o"_s, out, u"4820000000000"_s}, setup);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
    const QByteArray written = contents(log);
    const QByteArray svg = append ? written.mid(18) : written;
    QCOMPARE(written.startsWith("what the log held\n"), append);
    QVERIFY(svg.startsWith("<?xml"));
    QVERIFY(writeFile(work.filePath(u"symbol.svg"_s), svg));
    QCOMPARE(readBack(rasterOfFile(work.filePath(u"symbol.svg"_s), work.path())), u"4820000000000"_s);
    QCOMPARE(typeOf(log), mode_t(S_IFREG));
    QCOMPARE(everythingIn(work.path()), (QStringList{u"log.txt"_s, u"raster.png"_s, u"symbol.svg"_s}));
}

void TestRender::inputIsReadInBoundedMemory_data()
{
    QTest::addColumn<QByteArray>("line");   // repeated to 64 MB
    QTest::addColumn<bool>("lineEnds");
    QTest::addColumn<QByteArray>("err");    // the end of the first message
    QTest::newRow("one endless line of NUL bytes, as /dev/zero gives")
        << QByteArray(1, '\0') << false
        << QByteArray("ean13 render: ") + QByteArray("\\x00").repeated(64) + "\xe2\x80\xa6: not an 8-, 12- or 13-digit code\n";
    QTest::newRow("millions of short lines") << QByteArray("4820000000001\n") << true
        << QByteArray(" 4820000000001: wrong check digit, it should be 0 (4820000000000); no file written\n");
}

// Measured on the program itself: its peak memory after reading 64 MB, then a last good code.
void TestRender::inputIsReadInBoundedMemory()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, lineEnds);
    QFETCH(QByteArray, err);
    QTemporaryDir work;
    QFile input(work.filePath(u"input"_s));
    QVERIFY(input.open(QIODevice::WriteOnly));
    const QByteArray block = line.repeated((1 << 20) / line.size());
    qint64 total = 0;
    while (total + block.size() <= 64 << 20)
        total += input.write(block);
    QVERIFY(input.write(lineEnds ? "036000291452\n" : "\n036000291452\n") > 0);
    input.close();

    ChildSetup setup;
    setup.stdinFile = input.fileName();
    setup.workingDirectory = work.path();
    const ChildRun r = runChild(QStringLiteral(RENDER_EXE), {u"-i"_s, u"-"_s, u"-o"_s, u"out"_s}, setup);
    QCOMPARE(r.signal, 0);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.left(r.err.indexOf('\n') + 1).endsWith(err), r.err.left(200).constData());
    QCOMPARE(filesIn(work.filePath(u"out"_s)), QStringList{u"036000291452.svg"_s});
    // A single code takes about 25 MB; the input, held whole, would take 64 MB more at the least.
    QVERIFY2(r.peakRssKiB < 64 * 1024 * SanitizerMemoryFactor, qPrintable(QString::number(r.peakRssKiB)));
}

void TestRender::theRangesReadBackAtPrintersResolutions_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("options");
    // The corners of the documented ranges, each with the widest bar width reduction: the lowest
    // bars with digits, the tallest without.
    for (const QString &format : {u"svg"_s, u"pdf"_s, u"png"_s}) {
        QTest::newRow(qPrintable(format + u", X 0.264, lowest, digits"_s))
            << format << QStringList{u"--x-dim"_s, u"0.264"_s, u"--height"_s, u"9.141"_s, u"--bwr"_s, u"0.066"_s};
        QTest::newRow(qPrintable(format + u", X 0.264, tallest, no digits"_s))
            << format << QStringList{u"--x-dim"_s, u"0.264"_s, u"--height"_s, u"36.56"_s, u"--bwr"_s, u"0.066"_s, u"--no-text"_s};
        QTest::newRow(qPrintable(format + u", X 0.660, lowest, no digits"_s))
            << format << QStringList{u"--x-dim"_s, u"0.66"_s, u"--height"_s, u"22.85"_s, u"--bwr"_s, u"0.165"_s, u"--no-text"_s};
        QTest::newRow(qPrintable(format + u", X 0.660, tallest, digits"_s))
            << format << QStringList{u"--x-dim"_s, u"0.66"_s, u"--height"_s, u"91.4"_s, u"--bwr"_s, u"0.165"_s};
    }
}

// What a printer makes of the file at its resolution, read by zbar and by zxing-cpp.
void TestRender::theRangesReadBackAtPrintersResolutions()
{
    QFETCH(QString, format);
    QFETCH(QStringList, options);
    if (!tool(u"zbarimg"_s) || !tool(u"rsvg-convert"_s) || !tool(u"pdftoppm"_s))
        QSKIP("zbarimg (zbar-tools), rsvg-convert (librsvg2-bin) or pdftoppm (poppler-utils) is not installed");
    QTemporaryDir work;
    const QString file = work.filePath(u"symbol."_s + format);
    for (const int dpi : {300, 600, 1200}) {
        const Run r = render(QStringList(options) << u"--dpi"_s << QString::number(dpi) << u"-o"_s << file << u"5901234123457"_s);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const QString png = work.filePath(u"printed.png"_s);
        QFile::remove(png);
        if (format == u"svg"_s)
            QProcess::execute(u"rsvg-convert"_s, {u"-d"_s, QString::number(dpi), u"-p"_s, QString::number(dpi), u"-b"_s, u"white"_s, u"-o"_s, png, file});
        else if (format == u"pdf"_s)
            QProcess::execute(u"pdftoppm"_s, {u"-r"_s, QString::number(dpi), u"-png"_s, u"-singlefile"_s, file, work.filePath(u"printed"_s)});
        else
            QFile::copy(file, png);
        QProcess zbar;
        zbar.start(u"zbarimg"_s, {u"-q"_s, u"--raw"_s, png});
        QVERIFY(zbar.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), u"5901234123457"_s);
        QCOMPARE(readBack(QImage(png)), u"5901234123457"_s);
    }
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
