// ean13 render end to end, and the writers beneath it: every format read back by zxing-cpp from the
// written file (SVG through rsvg-convert, PDF through pdftoppm), the geometry measured on rasters,
// the physical sizes, and every refusal leaving no file behind.
#include "process.h"
#include "symbolwriter.h"

#include <QPainter>
#include <QtTest>

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
    void physicalSize_data();
    void physicalSize();
    void svgNeedsNoFont();
    void outputRules_data();
    void outputRules();
    void aBatchWritesTheGoodOnes();
    void ean13HandsRenderOn();
    void aSpoiledRasterIsNeverWritten_data();
    void aSpoiledRasterIsNeverWritten();
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
        expected << c + u'.' + format;
    QCOMPARE(filesIn(dir), expected);   // the UPC-A number under its 13 digits
    for (const QString &c : Codes)
        QCOMPARE(readBack(rasterOfFile(dir + u'/' + c + u'.' + format, m_dir.path())), c);
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
        << u"ean13 render: X-dimension 0.339 mm (8 pixels a module at 600 dpi) in place of 0.330 mm\n"_s
        << QStringList{u"out.svg"_s};
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
        << u"ean13 render: 036000291453: wrong check digit, it should be 2 (0036000291452); no file written\n"_s
        << QStringList();
    QTest::newRow("a letter")
        << QStringList{u"-o"_s, u"out.svg"_s, u"48200000x0000"_s} << 1
        << u"ean13 render: 48200000x0000: not a 12- or 13-digit code\n"_s << QStringList();
    QTest::newRow("14 digits are not cut to 13")
        << QStringList{u"-o"_s, u"out.svg"_s, u"48200000000001"_s} << 1
        << u"ean13 render: 48200000000001: not a 12- or 13-digit code\n"_s << QStringList();
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
    QTest::newRow("a resolution whose whole pixels make X too small")
        << QStringList{u"--dpi"_s, u"100"_s, u"--x-dim"_s, u"0.264"_s, u"-o"_s, u"out.png"_s, u"4820000000000"_s} << 2
        << u"ean13 render: at 100 dpi a module is 1 pixel, an X-dimension of 0.254 mm: X-dimension 0.254 mm is out of range:"
           u" 0.264 mm to 0.660 mm (80% to 200% of 0.330 mm)\n"_s
        << QStringList();
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
    QDirIterator it(work.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        seen << QDir(work.path()).relativeFilePath(it.next());
    seen.removeOne(u"file"_s);
    seen.sort();
    QCOMPARE(seen, written);   // a refusal leaves nothing, not even a temporary file
}

void TestRender::aBatchWritesTheGoodOnes()
{
    QTemporaryDir work;
    QFile list(work.filePath(u"codes.txt"_s));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("4820000000000\r\n4820000000001\n\nabc\n036000291452\n");
    list.close();
    const Run r = render({u"--format"_s, u"png"_s, u"--dpi"_s, u"300"_s, u"-i"_s, list.fileName(), u"-o"_s,
                          work.filePath(u"out"_s)});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(filesIn(work.filePath(u"out"_s)), (QStringList{u"0036000291452.png"_s, u"4820000000000.png"_s}));
    QVERIFY(r.err.contains("4820000000001: wrong check digit, it should be 0"));
    QVERIFY(r.err.contains("abc: not a 12- or 13-digit code"));
    // 0.33 mm at 300 dpi is 3.9 pixels: 4 pixels, and the X-dimension they make is reported.
    QVERIFY(r.err.startsWith("ean13 render: X-dimension 0.339 mm (4 pixels a module at 300 dpi) in place of 0.330 mm\n"));
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
    QTest::newRow("as written") << QByteArray() << QByteArray() << true;
    QTest::newRow("a digit moved up into the bars") << QByteArrayLiteral("translate(7,") << QByteArrayLiteral("translate(7,3") << false;
    QTest::newRow("a digit's outline changed") << QByteArrayLiteral("d=\"M") << QByteArrayLiteral("d=\"M1") << false;
    QTest::newRow("an element it does not know") << QByteArrayLiteral("<g ") << QByteArrayLiteral("<circle r=\"9\"/>\n<g ") << false;
    QTest::newRow("a bar wider than the symbol") << QByteArrayLiteral("width=\"1\"") << QByteArrayLiteral("width=\"500\"") << false;
    QTest::newRow("cut short") << QByteArrayLiteral("</g>\n</svg>\n") << QByteArrayLiteral("</g>\n") << false;
    QTest::newRow("a second svg after the end") << QByteArrayLiteral("</svg>\n") << QByteArrayLiteral("</svg>\n<svg/>\n") << false;
    QTest::newRow("a size the view box does not have") << QByteArrayLiteral("37.29mm") << QByteArrayLiteral("74.58mm") << false;
    QTest::newRow("a bar moved: read, but not as the code")
        << QByteArrayLiteral("<rect x=\"17\"") << QByteArrayLiteral("<rect x=\"18\"") << true;
}

void TestRender::svgReaderTakesOnlyItsOwn()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, readable);
    const ean13::Rendered r = ean13::renderSymbol(ean13::asciiCode("4006381333931"), ean13::SymbolFormat::Svg, {});
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
        QCOMPARE(readBack(bars) == u"4006381333931"_s, from.isEmpty());
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
