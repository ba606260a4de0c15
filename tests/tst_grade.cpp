// Print quality grading on scans made here, where every reflectance and every edge is known by
// construction: each expected parameter is worked out in the test from its definition (ISO/IEC
// 15416 with the GS1 aperture and quiet zones), not from the grading code.
#include "grade.h"

#include "ean13.h"
#include "process.h"
#include "symbol.h"
#include "symbolwriter.h"

#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double MmPerInch = 25.4;

// A scan drawn pixel by pixel: bars of grey `bar` on a ground of grey `space`, `module` pixels to
// a module and X = 0.330 mm (so the resolution follows from `module`).
struct Scan
{
    std::string code = "5901234123457";
    int module = 8;
    int bar = 13, space = 230;        // grey levels, reflectance = grey / 255
    int quietLeft = 15, quietRight = 15;   // light modules to the image's edge
    int darkLeft = 0;                 // dark modules beyond the left one
    int barHeight = 200;
    int above = 20, below = 20;
    int gainLeft = 0, gainRight = 0;  // pixels added to each side of every bar (negative: taken off)
    int shiftEdge = -1, shiftBy = 0;  // one edge moved (index among the symbol's 60 edges), in pixels
    int blur = 0;                     // a horizontal box blur of this many pixels
    int narrowSpace = -1;             // the grey of every one-module space (ink filling them in)
    // A spot painted over one space: its grey, its width in pixels, centred on the space, over the
    // top `spotRows` rows of the bars.
    int spotGrey = -1, spotWidth = 0, spotRows = 0;

    [[nodiscard]] double dpi() const { return module * MmPerInch / 0.330; }
    [[nodiscard]] double xMm() const { return 0.330; }
};

// The element widths of the symbol in modules, bar first.
std::vector<int> elementModules(const std::string &code)
{
    const std::string m = ean13::symbolModules(ean13::asciiCode(code));
    std::vector<int> w;
    for (std::size_t i = 0; i < m.size(); ++i) {
        if (i == 0 || m[i] != m[i - 1])
            w.push_back(0);
        ++w.back();
    }
    return w;
}

grade::GreyImage draw(const Scan &s)
{
    const std::vector<int> widths = elementModules(s.code);
    std::vector<int> edges{(s.darkLeft + s.quietLeft) * s.module};
    for (int w : widths)
        edges.push_back(edges.back() + w * s.module);
    if (s.shiftEdge >= 0)
        edges[std::size_t(s.shiftEdge)] += s.shiftBy;
    const int width = edges.back() + s.quietRight * s.module;
    std::vector<int> row(std::size_t(width), s.space);
    std::fill_n(row.begin(), s.darkLeft * s.module, s.bar);
    for (std::size_t k = 0; k + 1 < edges.size(); k += 2)
        for (int x = edges[k] - s.gainLeft; x < edges[k + 1] + s.gainRight; ++x)
            row[std::size_t(x)] = s.bar;
    if (s.narrowSpace >= 0)
        for (std::size_t k = 1; k + 1 < edges.size(); k += 2)
            if (widths[k] == 1)
                std::fill(row.begin() + edges[k], row.begin() + edges[k + 1], s.narrowSpace);
    if (s.blur > 0) {
        std::vector<int> blurred(row.size());
        for (int x = 0; x < width; ++x) {
            int sum = 0;
            for (int i = 0; i < s.blur; ++i)
                sum += row[std::size_t(std::clamp(x - s.blur / 2 + i, 0, width - 1))];
            if (sum % s.blur != 0)
                qFatal("the blurred grey levels must be whole numbers");
            blurred[std::size_t(x)] = sum / s.blur;
        }
        row = blurred;
    }
    grade::GreyImage image;
    image.width = width;
    image.height = s.above + s.barHeight + s.below;
    image.pixels.assign(std::size_t(image.width) * std::size_t(image.height), std::uint8_t(s.space));
    for (int y = s.above; y < s.above + s.barHeight; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels[std::size_t(y * width + x)] = std::uint8_t(row[std::size_t(x)]);
    if (s.spotGrey >= 0) {
        // The first space of three modules or more.
        std::size_t k = 1;
        while (widths[k] < 3)
            k += 2;
        const int centre = (edges[k] + edges[k + 1]) / 2;
        for (int y = s.above; y < s.above + s.spotRows; ++y)
            for (int x = centre - s.spotWidth / 2; x < centre - s.spotWidth / 2 + s.spotWidth; ++x)
                image.pixels[std::size_t(y * width + x)] = std::uint8_t(s.spotGrey);
    }
    return image;
}

grade::Result gradeScan(const Scan &s, double apertureMm = 0.150)
{
    grade::Options o;
    o.dpiX = o.dpiY = s.dpi();
    o.apertureMm = apertureMm;
    return grade::gradeSymbol(draw(s), o);
}

// Grades by the published thresholds.
int contrastGrade(double sc) { return sc >= 0.70 ? 4 : sc >= 0.55 ? 3 : sc >= 0.40 ? 2 : sc >= 0.20 ? 1 : 0; }
int modulationGrade(double m) { return m >= 0.70 ? 4 : m >= 0.60 ? 3 : m >= 0.50 ? 2 : m >= 0.40 ? 1 : 0; }
int defectsGrade(double d) { return d <= 0.15 ? 4 : d <= 0.20 ? 3 : d <= 0.25 ? 2 : d <= 0.30 ? 1 : 0; }
int decodabilityGrade(double v) { return v >= 0.62 ? 4 : v >= 0.50 ? 3 : v >= 0.37 ? 2 : v >= 0.25 ? 1 : 0; }

// The decodability of a symbol whose every bar is `gain` modules wider: the edge-to-similar-edge
// widths stay whole, so only the bar sums of 1, 2, 7 and 8, one module either side of the
// threshold that parts 1 from 7 and 2 from 8, lose margin.
double decodabilityWithGain(const std::string &code, double gain)
{
    const std::string_view sets = ean13::parity(code[0] - '0');
    double v = 1;
    for (int c = 0; c < 12; ++c) {
        const int digit = code[std::size_t(c) + 1] - '0';
        if (digit != 1 && digit != 2 && digit != 7 && digit != 8)
            continue;
        const auto set = c < 6 ? ean13::NumberSet(sets[std::size_t(c)]) : ean13::NumberSet::C;
        auto barModules = [&](int d) {
            const std::string_view p = ean13::pattern(set, d);
            return int(std::count(p.begin(), p.end(), '1'));
        };
        const int partner = digit == 1 ? 7 : digit == 7 ? 1 : digit == 2 ? 8 : 2;
        const double threshold = (barModules(digit) + barModules(partner)) / 2.0;
        v = std::min(v, std::min(1.0, std::abs(barModules(digit) + 2 * gain - threshold)));
    }
    return v;
}

QImage toImage(const grade::GreyImage &g, double dpi)
{
    QImage image(g.width, g.height, QImage::Format_Grayscale8);
    for (int y = 0; y < g.height; ++y)
        std::copy_n(g.pixels.data() + std::size_t(y * g.width), g.width, image.scanLine(y));
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    return image;
}

grade::GreyImage fromImage(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_Grayscale8);
    grade::GreyImage g;
    g.width = image.width();
    g.height = image.height();
    for (int y = 0; y < g.height; ++y)
        g.pixels.insert(g.pixels.end(), image.constScanLine(y), image.constScanLine(y) + g.width);
    return g;
}

Run ean13Program(const QStringList &args)
{
    return runProgram(QStringLiteral(EAN13_EXE), args);
}

struct Expected
{
    double rmin, rmax, ecmin, defects, decodability;
    int grade;                                          // every scan line's
};

} // namespace

Q_DECLARE_METATYPE(Scan)
Q_DECLARE_METATYPE(Expected)

class TestGrade : public QObject
{
    Q_OBJECT

private slots:
    void parameters_data();
    void parameters();
    void barGain_data();
    void barGain();
    void spotInTopHalf();
    void quietZones_data();
    void quietZones();
    void calibration();
    void turnedScans_data();
    void turnedScans();
    void tooCoarse();
    void noSymbol();
    void printedSymbolsGradeA_data();
    void printedSymbolsGradeA();
    void commandLine();
    void commandLineErrors_data();
    void commandLineErrors();
    void profilePicture();

private:
    QTemporaryDir m_dir;
};

void TestGrade::parameters_data()
{
    QTest::addColumn<Scan>("scan");
    QTest::addColumn<double>("aperture");
    QTest::addColumn<Expected>("expected");

    const double none = 0.001;   // smaller than a pixel: the profile is the pixel row itself
    {
        Scan s;
        const double rb = 13 / 255.0, rs = 230 / 255.0;
        QTest::newRow("black on white, sharp") << s << 0.150 << Expected{rb, rs, rs - rb, 0, 1.0, 4};
    }
    {
        // Rmin 110 / 255 is under half of Rmax; SC = 120 / 255 = 47 %: C.
        Scan s;
        s.bar = 110;
        const double rb = 110 / 255.0, rs = 230 / 255.0;
        QTest::newRow("grey bars: contrast C") << s << 0.150 << Expected{rb, rs, rs - rb, 0, 1.0, contrastGrade(rs - rb)};
    }
    {
        // Rmin 125 / 255 is over half of Rmax 240 / 255: F, whatever the contrast (45 %, C).
        Scan s;
        s.bar = 125;
        s.space = 240;
        const double rb = 125 / 255.0, rs = 240 / 255.0;
        QTest::newRow("bars too light: Rmin F") << s << 0.150 << Expected{rb, rs, rs - rb, 0, 1.0, 0};
    }
    {
        // SC = 97 / 255 = 38 %: D.
        Scan s;
        s.space = 110;
        const double rb = 13 / 255.0, rs = 110 / 255.0;
        QTest::newRow("dark ground: contrast D") << s << 0.150 << Expected{rb, rs, rs - rb, 0, 1.0, contrastGrade(rs - rb)};
    }
    {
        // A box blur of 12 pixels over modules of 10: a lone narrow space keeps 10 of 12 pixels of
        // its light, a lone narrow bar 10 of 12 of its dark, so where they meet (the guards) the
        // edge contrast is (20 / 12 - 1) of the symbol contrast: MOD 0.67, B. Edges taken midway
        // between neighbours' extremes make narrow elements look wider: decodability 0.4648 (C), as
        // grade_oracle.py's numpy computation of the same row gives.
        Scan s;
        s.module = 10;
        s.bar = 10;
        s.space = 226;   // 216 = 12 * 18: exact grey levels
        s.blur = 12;
        const double rb = 10 / 255.0, rs = 226 / 255.0;
        const double mod = 20.0 / 12 - 1;
        QTest::newRow("blur 12 px on 10 px modules: modulation B, decodability C")
            << s << none << Expected{rb, rs, mod * (rs - rb), 0, 0.464788732394366, std::min(modulationGrade(mod), decodabilityGrade(0.4648))};
    }
    {
        // Black on a dark ground (SC 60 / 255 = 24 %, D), blurred by 15 pixels over modules of
        // 12: MOD = 24 / 15 - 1 = 0.6 (B), but that leaves an edge contrast of 0.6 * 24 % = 14 %,
        // under the 15 % every edge needs: F. Decodability 1/3 (D), as grade_oracle.py computes it.
        Scan s;
        s.module = 12;
        s.bar = 0;
        s.space = 60;   // 60 = 15 * 4: exact grey levels
        s.blur = 15;
        const double rb = 0, rs = 60 / 255.0;
        QTest::newRow("dark ground and blur: edge contrast F")
            << s << none << Expected{rb, rs, 0.6 * (rs - rb), 0, 1.0 / 3, 0};
    }
    {
        // Every narrow space filled in to grey 132: their edges keep 119 of the 217 grey levels of
        // contrast, MOD = 119 / 217 = 0.55 (C), while edges and widths stay where they were.
        Scan s;
        s.narrowSpace = 132;
        const double rb = 13 / 255.0, rs = 230 / 255.0;
        QTest::newRow("narrow spaces filled in: modulation C")
            << s << 0.150 << Expected{rb, rs, 119 / 255.0, 0, 1.0, modulationGrade(119.0 / 217)};
    }
    {
        // The edge between elements 2 and 3 of the first character (the symbol's 6th edge) moved
        // 3 pixels of 10: its first edge-to-similar-edge width is 0.3 module off, and the margin
        // left to the decision threshold is 0.2 of the 0.5 a perfect width has.
        Scan s;
        s.code = "4006381333931";   // the first character is a 0 (set A): no bar sum to tell it
        s.module = 10;
        s.shiftEdge = 5;
        s.shiftBy = 3;
        const double rb = 13 / 255.0, rs = 230 / 255.0;
        QTest::newRow("one edge 0.3 X off: decodability C")
            << s << 0.150 << Expected{rb, rs, rs - rb, 0, 0.4, decodabilityGrade(0.4)};
    }
    {
        // A spot in a space over the whole bar height: its non-uniformity is its depth.
        Scan s;
        s.spotGrey = 230 - 70;
        s.spotWidth = 6;
        s.spotRows = s.barHeight;
        const double rb = 13 / 255.0, rs = 230 / 255.0, defects = (70 / 255.0) / (rs - rb);
        QTest::newRow("spot of 70 grey levels: defects F")
            << s << 0.150 << Expected{rb, rs, rs - rb, defects, 1.0, defectsGrade(defects)};
    }
}

void TestGrade::parameters()
{
    QFETCH(Scan, scan);
    QFETCH(double, aperture);
    QFETCH(Expected, expected);
    const grade::Result r = gradeScan(scan, aperture);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    QCOMPARE(r.code, scan.code);
    QCOMPARE(r.scans.size(), std::size_t(10));
    for (const grade::ScanLine &line : r.scans) {
        QVERIFY(line.decoded);
        QVERIFY(qAbs(line.rmin - expected.rmin) < 1e-9);
        QVERIFY(qAbs(line.rmax - expected.rmax) < 1e-9);
        QVERIFY(qAbs(line.sc - (expected.rmax - expected.rmin)) < 1e-9);
        QVERIFY2(qAbs(line.ecmin - expected.ecmin) < 1e-9, qPrintable(QString::number(line.ecmin)));
        QVERIFY(qAbs(line.mod - expected.ecmin / (expected.rmax - expected.rmin)) < 1e-9);
        QVERIFY2(qAbs(line.defects - expected.defects) < 1e-9, qPrintable(QString::number(line.defects)));
        QVERIFY2(qAbs(line.decodability - expected.decodability) < 1e-9, qPrintable(QString::number(line.decodability)));
        QCOMPARE(line.grade, expected.grade);
    }
    QCOMPARE(r.gradeValue, double(expected.grade));
    QCOMPARE(r.grade, "FDCBA"[expected.grade]);
    QVERIFY(qAbs(r.xDimMm - scan.xMm()) < 0.001);
    QVERIFY(qAbs(r.barHeightMm - scan.barHeight / scan.dpi() * MmPerInch) < 1e-9);
}

void TestGrade::barGain_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    // Modules of 10 pixels; the gain is the sum of both sides.
    QTest::newRow("gain 0.3 X") << 1 << 2;
    QTest::newRow("gain 0.2 X") << 1 << 1;
    QTest::newRow("loss 0.2 X") << -1 << -1;
    QTest::newRow("loss 0.3 X") << -2 << -1;
}

void TestGrade::barGain()
{
    QFETCH(int, left);
    QFETCH(int, right);
    Scan s;
    s.module = 10;
    s.gainLeft = left;
    s.gainRight = right;
    const double gainModules = (left + right) / 10.0;
    const grade::Result r = gradeScan(s);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    const double gainMm = (left + right) / s.dpi() * MmPerInch;
    QVERIFY2(qAbs(r.barGainMm - gainMm) < 1e-9, qPrintable(QString::number(r.barGainMm)));
    QVERIFY(qAbs(r.xDimMm - s.xMm()) < 1e-9);   // edge to similar edge: no gain in it
    const double v = decodabilityWithGain(s.code, gainModules);
    for (const grade::ScanLine &line : r.scans) {
        QVERIFY2(qAbs(line.decodability - v) < 1e-9, qPrintable(QString::number(line.decodability)));
        QCOMPARE(line.grade, decodabilityGrade(v));
    }
    // The reduction to print with next time takes the gain away.
    grade::Options o;
    o.bwrMm = 0.02;
    QVERIFY(qAbs(grade::nextBwrMm(r, o) - (0.02 + gainMm)) < 1e-9);
    auto mm = [](double v) { return QString::asprintf("%.3f", v).replace(u'.', u','); };
    const QString advice = gainMm > 0
        ? u"Штрихи шире нормы на %1 мм: печатайте с уменьшением ширины штрихов %2 мм."_s.arg(mm(gainMm), mm(0.02 + gainMm))
        : 0.02 + gainMm >= 0
        ? u"Штрихи уже нормы на %1 мм: печатайте с уменьшением ширины штрихов %2 мм."_s.arg(mm(-gainMm), mm(0.02 + gainMm))
        : u"Штрихи уже нормы на %1 мм: печатайте без уменьшения ширины штрихов, а штрихи сделайте шире на %2 мм."_s.arg(
            mm(-gainMm), mm(-(0.02 + gainMm)));
    const QString verdict = QString::fromStdString(grade::verdict(r, o));
    QVERIFY2(verdict.contains(advice), qPrintable(verdict));
}

void TestGrade::spotInTopHalf()
{
    // A spot 48 grey levels deep (defects 48 / 217 = 0.22, C) over the top half of the bars only:
    // the five upper scan lines (10 % to 46 % of the height) grade C, the five lower ones A, and
    // the symbol the mean, 3.0 (B).
    Scan s;
    s.spotGrey = 230 - 48;
    s.spotWidth = 4;
    s.spotRows = s.barHeight / 2;
    const double defects = 48.0 / 217;
    const grade::Result r = gradeScan(s);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    for (int i = 0; i < 10; ++i) {
        const grade::ScanLine &line = r.scans[std::size_t(i)];
        QVERIFY(qAbs(line.defects - (i < 5 ? defects : 0.0)) < 1e-9);
        QCOMPARE(line.grade, i < 5 ? defectsGrade(defects) : 4);
    }
    QCOMPARE(r.gradeValue, 3.0);
    QCOMPARE(r.grade, 'B');
    QCOMPARE(r.limit, grade::Parameter::Defects);
    QCOMPARE(r.limitingScan, std::size_t(0));
    // The profile marks the spoilt space: pixel columns x to x + width - 1, edges half a pixel out.
    const std::vector<int> widths = elementModules(s.code);
    int x = s.quietLeft * s.module;
    std::size_t k = 0;
    for (; k % 2 == 0 || widths[k] < 3; ++k)
        x += widths[k] * s.module;
    QCOMPARE(r.scans[0].markFrom, x - 0.5);
    QCOMPARE(r.scans[0].markTo, x + widths[k] * s.module - 0.5);
}

void TestGrade::quietZones_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("darkBeyond");
    QTest::addColumn<bool>("ok");
    // EAN-13 needs 11 modules on the left and 7 on the right; UPC-A 9 on either side. A margin
    // cut by the scan's edge, or ended by something dark, which then also spoils the decode.
    QTest::newRow("EAN-13, 11 and 7") << u"5901234123457"_s << 11 << 7 << 0 << true;
    QTest::newRow("EAN-13, 8 on the left") << u"5901234123457"_s << 8 << 7 << 0 << false;
    QTest::newRow("EAN-13, 8 on the left, dark beyond") << u"5901234123457"_s << 8 << 7 << 6 << false;
    QTest::newRow("EAN-13, 11 on the left, dark beyond") << u"5901234123457"_s << 11 << 7 << 6 << true;
    QTest::newRow("EAN-13, 5 on the right") << u"5901234123457"_s << 11 << 5 << 0 << false;
    QTest::newRow("UPC-A, 9 and 9") << u"0012345678905"_s << 9 << 9 << 0 << true;
    QTest::newRow("UPC-A, 7 on the right") << u"0012345678905"_s << 9 << 7 << 0 << false;
}

void TestGrade::quietZones()
{
    QFETCH(QString, code);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, darkBeyond);
    QFETCH(bool, ok);
    Scan s;
    s.code = code.toStdString();
    s.quietLeft = left;
    s.quietRight = right;
    s.darkLeft = darkBeyond;
    const grade::Result r = gradeScan(s);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    QCOMPARE(QString::fromStdString(r.symbology), code.startsWith(u'0') ? u"UPC-A"_s : u"EAN-13"_s);
    QVERIFY(qAbs(r.quietLeftMm - left * s.xMm()) < 1e-9);
    QVERIFY(qAbs(r.quietRightMm - right * s.xMm()) < 1e-9);
    QVERIFY(qAbs(r.quietLeftMinMm - (code.startsWith(u'0') ? 9 : 11) * s.xMm()) < 1e-9);
    QVERIFY(qAbs(r.quietRightMinMm - (code.startsWith(u'0') ? 9 : 7) * s.xMm()) < 1e-9);
    for (const grade::ScanLine &line : r.scans) {
        QCOMPARE(line.decoded, ok || !darkBeyond);
        QCOMPARE(line.grades[int(grade::Parameter::QuietZone)], ok ? 4 : 0);
    }
    QCOMPARE(r.grade, ok ? 'A' : 'F');
    if (!ok) {
        QCOMPARE(r.limit, grade::Parameter::QuietZone);
        // The profile marks the quiet zone the symbol should have had on the short side.
        const grade::ScanLine &line = r.scans[r.limitingScan];
        const bool upc = code.startsWith(u'0');
        const int minLeft = upc ? 9 : 11, minRight = upc ? 9 : 7;
        const int needed = left < minLeft ? minLeft : minRight;
        QVERIFY(qAbs(line.markTo - line.markFrom - needed * s.module) < 1e-9);
        QVERIFY(left < needed ? line.markTo == line.edges.front() : line.markFrom == line.edges.back());
        QVERIFY(grade::verdict(r, {}).find("Свободное поле") != std::string::npos);
    }
}

void TestGrade::calibration()
{
    // Grey 60 and 200 measured as 5 % and 85 %: the darkest and the lightest patch of the scan.
    Scan s;
    s.bar = 60;
    s.space = 200;
    grade::Options o;
    o.dpiX = o.dpiY = s.dpi();
    o.calibration = grade::Calibration{0.05, 0.85};
    const grade::Result r = grade::gradeSymbol(draw(s), o);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    QVERIFY(r.calibrated);
    for (const grade::ScanLine &line : r.scans) {
        QVERIFY(qAbs(line.rmin - 0.05) < 1e-9);
        QVERIFY(qAbs(line.rmax - 0.85) < 1e-9);
    }
    QCOMPARE(r.grade, 'A');
    QVERIFY(grade::verdict(r, o).find("ориентировочная") == std::string::npos);
    const grade::Result uncalibrated = gradeScan(s);
    QVERIFY(qAbs(uncalibrated.scans[0].sc - 140 / 255.0) < 1e-9);
    QVERIFY(grade::verdict(uncalibrated, {}).find("Оценка ориентировочная: сканер не откалиброван.") != std::string::npos);
}

void TestGrade::turnedScans_data()
{
    QTest::addColumn<int>("turns");
    QTest::newRow("upside down") << 2;
    QTest::newRow("bars across, turned right") << 1;
    QTest::newRow("bars across, turned left") << 3;
}

void TestGrade::turnedScans()
{
    QFETCH(int, turns);
    Scan s;
    QImage image = toImage(draw(s), s.dpi());
    image = image.transformed(QTransform().rotate(90 * turns));
    grade::Options o;
    o.dpiX = o.dpiY = s.dpi();
    const grade::Result r = grade::gradeSymbol(fromImage(image), o);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    QCOMPARE(r.code, s.code);
    QCOMPARE(r.grade, 'A');
    QVERIFY(qAbs(r.barHeightMm - s.barHeight / s.dpi() * MmPerInch) < 1e-9);
}

void TestGrade::tooCoarse()
{
    Scan s;
    s.module = 3;
    const grade::Result r = gradeScan(s);
    QCOMPARE(r.outcome, grade::Outcome::TooCoarse);
    QVERIFY2(r.message.find("3.0 pixels wide, too few to grade") != std::string::npos, r.message.c_str());
}

void TestGrade::noSymbol()
{
    grade::GreyImage blank;
    blank.width = 300;
    blank.height = 200;
    blank.pixels.assign(300 * 200, 255);
    grade::Options o;
    o.dpiX = o.dpiY = 600;
    QCOMPARE(grade::gradeSymbol(blank, o).outcome, grade::Outcome::NoSymbol);
    grade::GreyImage empty;
    QCOMPARE(grade::gradeSymbol(empty, o).outcome, grade::Outcome::NoSymbol);
    o.dpiX = 0;
    QCOMPARE(grade::gradeSymbol(draw(Scan{}), o).outcome, grade::Outcome::NoResolution);
}

void TestGrade::printedSymbolsGradeA_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<int>("dpi");
    for (int dpi : {600, 1200}) {
        QTest::addRow("ours at %d dpi", dpi) << u"ours"_s << dpi;
        QTest::addRow("zint at %d dpi", dpi) << u"zint"_s << dpi;
    }
}

void TestGrade::printedSymbolsGradeA()
{
    QFETCH(QString, maker);
    QFETCH(int, dpi);
    const std::string code = "4006381333931";
    QImage image;
    if (maker == u"ours") {
        ean13::RenderSettings settings;
        settings.dpi = dpi;
        const ean13::Rendered rendered = ean13::renderImage(ean13::asciiCode(code), settings);
        QVERIFY(!rendered.image.isNull());
        image = rendered.image;
    } else {
        const QString zint = QStandardPaths::findExecutable(u"zint"_s);
        if (zint.isEmpty())
            QSKIP("zint is not installed");
        // zint's scale is half a module a unit: 8 pixels to a module at 600 dpi is X = 0.339 mm.
        const QString png = m_dir.filePath(u"zint-%1.png"_s.arg(dpi));
        const Run run = runProgram(zint, {u"-b"_s, u"13"_s, u"--scale"_s, QString::number(dpi / 150), u"-o"_s, png,
                                          u"-d"_s, QString::fromStdString(code.substr(0, 12))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(image.load(png));
    }
    grade::Options o;
    o.dpiX = o.dpiY = dpi;
    const grade::Result r = grade::gradeSymbol(fromImage(image), o);
    QCOMPARE(r.outcome, grade::Outcome::Graded);
    QCOMPARE(r.code, code);
    QCOMPARE(r.grade, 'A');
    QCOMPARE(r.gradeValue, 4.0);
    QVERIFY2(qAbs(r.barGainMm) < 0.5 / dpi * MmPerInch, qPrintable(QString::number(r.barGainMm)));
}

void TestGrade::commandLine()
{
    QVERIFY(m_dir.isValid());
    Scan good;
    const QString goodPng = m_dir.filePath(u"good.png"_s);
    QVERIFY(toImage(draw(good), good.dpi()).save(goodPng));
    Scan cropped;
    cropped.quietLeft = 8;
    const QString croppedPng = m_dir.filePath(u"cropped.png"_s);
    QVERIFY(toImage(draw(cropped), cropped.dpi()).save(croppedPng));

    // The resolution comes from the file; a grade of A passes.
    Run run = ean13Program({u"grade"_s, u"--json"_s, goodPng});
    QCOMPARE(run.exitCode, 0);
    QList<QJsonObject> records = jsonRecords(run.out);
    QCOMPARE(records.size(), 1);
    const QJsonObject o = records[0];
    QCOMPARE(o[u"source"_s].toString(), goodPng);
    QCOMPARE(o[u"code"_s].toString(), u"5901234123457"_s);
    QCOMPARE(o[u"symbology"_s].toString(), u"EAN-13"_s);
    QCOMPARE(o[u"grade"_s].toString(), u"A"_s);
    QCOMPARE(o[u"grade_value"_s].toDouble(), 4.0);
    QCOMPARE(o[u"limit"_s].toString(), QString());   // nothing limits an A
    QCOMPARE(o[u"calibrated"_s].toBool(), false);
    QVERIFY(qAbs(o[u"x_dim_mm"_s].toDouble() - 0.330) < 0.001);
    QVERIFY(qAbs(o[u"quiet_zone_left_mm"_s].toDouble() - 15 * 0.330) < 0.01);
    const QJsonArray scans = o[u"scans"_s].toArray();
    QCOMPARE(scans.size(), 10);
    for (const QJsonValue &v : scans) {
        const QJsonObject scan = v.toObject();
        QCOMPARE(scan[u"decode"_s].toBool(), true);
        QVERIFY(qAbs(scan[u"rmin"_s].toDouble() - 13 / 255.0) < 1e-5);
        QVERIFY(qAbs(scan[u"sc"_s].toDouble() - 217 / 255.0) < 1e-5);
        QCOMPARE(scan[u"mod"_s].toDouble(), 1.0);
        QCOMPARE(scan[u"decodability"_s].toDouble(), 1.0);
        QCOMPARE(scan[u"grade"_s].toString(), u"A"_s);
    }
    QCOMPARE(o[u"verdict"_s].toString(), u"Класс A (4,0): печать годится. Оценка ориентировочная: сканер не откалиброван."_s);

    // Text: the grade line first, then the table of ten lines.
    run = ean13Program({u"grade"_s, croppedPng, goodPng});
    QCOMPARE(run.exitCode, 1);   // the cropped one grades F
    const QStringList lines = QString::fromUtf8(run.out).split(u'\n');
    QCOMPARE(lines[0], croppedPng + u": grade F (0.0) EAN-13 5901234123457, limited by quiet zone on scan line 1; "
                                    "indicative: the scanner is not calibrated (see --calibrate)"_s);
    QVERIFY(lines[1].startsWith(u"line  decode"_s));
    QVERIFY(lines[2].startsWith(u"   1  yes A "_s));
    QVERIFY(lines[13].startsWith(u"verdict: Класс F (0,0); оценку ограничивает параметр «свободные поля». Свободное поле слева 2,6 мм при нужных 3,6 мм"_s));
    QVERIFY(lines[14].startsWith(goodPng + u": grade A (4.0)"_s));
    run = ean13Program({u"grade"_s, u"--json"_s, croppedPng});
    QCOMPARE(jsonRecords(run.out)[0][u"limit"_s].toString(), u"quiet zone"_s);
    QCOMPARE(jsonRecords(run.out)[0][u"scans"_s].toArray()[0].toObject()[u"limit"_s].toString(), u"quiet zone"_s);

    // --dpi for a file that says nothing of its resolution, and over one that says something wrong.
    const QString barePng = m_dir.filePath(u"bare.pgm"_s);   // a format with no resolution in it
    QVERIFY(toImage(draw(good), good.dpi()).save(barePng));
    run = ean13Program({u"grade"_s, barePng});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err, QByteArray("ean13 grade: " + barePng.toLocal8Bit() + ": the file does not say its resolution; give it with --dpi\n"));
    run = ean13Program({u"grade"_s, u"--json"_s, u"--dpi"_s, QString::number(good.dpi() * 2), goodPng});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(qAbs(jsonRecords(run.out)[0][u"x_dim_mm"_s].toDouble() - 0.165) < 0.001);

    // Too coarse: refused, with the reason.
    Scan coarse;
    coarse.module = 3;
    const QString coarsePng = m_dir.filePath(u"coarse.png"_s);
    QVERIFY(toImage(draw(coarse), coarse.dpi()).save(coarsePng));
    run = ean13Program({u"grade"_s, coarsePng});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.contains("3.0 pixels wide, too few to grade (at least 4 are needed"));
    QVERIFY(run.out.isEmpty());

    // No symbol at all.
    QImage white(400, 300, QImage::Format_Grayscale8);
    white.fill(255);
    white.setDotsPerMeterX(23622);
    white.setDotsPerMeterY(23622);
    const QString whitePng = m_dir.filePath(u"white.png"_s);
    QVERIFY(white.save(whitePng));
    run = ean13Program({u"grade"_s, u"--json"_s, whitePng});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(jsonRecords(run.out)[0][u"status"_s].toString(), u"no-symbol"_s);

    run = ean13Program({u"grade"_s, u"--version"_s});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.startsWith("ean13 grade (Barcode Analyser) "));

    // A code the reader finds, turned too far to be graded.
    const QString turnedPng = m_dir.filePath(u"turned.png"_s);
    QImage turned = toImage(draw(good), good.dpi()).convertToFormat(QImage::Format_RGB32);
    turned = turned.transformed(QTransform().rotate(40), Qt::SmoothTransformation);
    QImage framed(turned.size(), QImage::Format_RGB32);
    framed.fill(Qt::white);
    QPainter(&framed).drawImage(0, 0, turned);
    framed.setDotsPerMeterX(qRound(good.dpi() / 0.0254));
    framed.setDotsPerMeterY(qRound(good.dpi() / 0.0254));
    QVERIFY(framed.save(turnedPng));
    run = ean13Program({u"grade"_s, turnedPng});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.out), turnedPng + u": the code 5901234123457 is there, but not as a symbol with straight "
                                                     "bars and quiet zones to grade: scan it with the bars upright\n"_s);

    // Calibrated: no word of an indicative grade.
    run = ean13Program({u"grade"_s, u"--calibrate"_s, u"4%,89%"_s, goodPng});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.out.contains("indicative"));
    QVERIFY(!run.out.contains("ориентировочная"));
}

void TestGrade::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no image") << QStringList{} << u"name at least one IMAGE"_s;
    QTest::newRow("dpi zero") << QStringList{u"--dpi"_s, u"0"_s, u"x.png"_s} << u"--dpi takes a resolution"_s;
    QTest::newRow("dpi absurd") << QStringList{u"--dpi"_s, u"1e300"_s, u"x.png"_s} << u"--dpi takes a resolution"_s;
    QTest::newRow("aperture negative") << QStringList{u"--aperture"_s, u"-1"_s, u"x.png"_s} << u"--aperture takes"_s;
    QTest::newRow("calibrate one value") << QStringList{u"--calibrate"_s, u"0.05"_s, u"x.png"_s} << u"--calibrate takes"_s;
    QTest::newRow("calibrate reversed") << QStringList{u"--calibrate"_s, u"0.9,0.05"_s, u"x.png"_s} << u"--calibrate takes"_s;
    QTest::newRow("calibrate over 100 %") << QStringList{u"--calibrate"_s, u"5,90"_s, u"x.png"_s} << u"--calibrate takes"_s;
    QTest::newRow("profile as pdf") << QStringList{u"--profile"_s, u"p.pdf"_s, u"x.png"_s} << u"--profile writes"_s;
    QTest::newRow("profile of two") << QStringList{u"--profile"_s, u"p.svg"_s, u"x.png"_s, u"y.png"_s}
                                    << u"--profile draws the profile of one IMAGE only"_s;
    QTest::newRow("missing file") << QStringList{u"/nonexistent/scan.png"_s} << u"/nonexistent/scan.png: no such file"_s;
    QTest::newRow("a directory") << QStringList{u"/"_s} << u"ean13 grade: /: "_s;
    QTest::newRow("escapes in a name") << QStringList{u"bad\x1b[31m.png"_s} << u"ean13 grade: bad\\x1b[31m.png: no such file\n"_s;
    // A drawing with text in it is drawn with the toolkit's fonts; it says nothing of a resolution.
    const QString drawing = m_dir.filePath(u"words.svg"_s);
    QFile file(drawing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"60\">"
               "<text x=\"10\" y=\"30\" font-size=\"20\">4006381333931</text></svg>\n");
    file.close();
    QTest::newRow("an SVG with text") << QStringList{drawing} << u"the file does not say its resolution"_s;
}

void TestGrade::commandLineErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run run = ean13Program(QStringList{u"grade"_s} + args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(QString::fromLocal8Bit(run.err).contains(message), run.err.constData());
    QVERIFY(run.out.isEmpty());
}

void TestGrade::profilePicture()
{
    Scan s;
    s.spotGrey = 230 - 48;
    s.spotWidth = 4;
    s.spotRows = s.barHeight / 2;
    const QString png = m_dir.filePath(u"spot.png"_s);
    QVERIFY(toImage(draw(s), s.dpi()).save(png));
    const QString svg = m_dir.filePath(u"profile.svg"_s);
    Run run = ean13Program({u"grade"_s, u"--profile"_s, svg, png});
    QCOMPARE(run.exitCode, 0);
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("<svg"));
    QVERIFY(text.contains("scan line 1 of 10, grade C (defects)"));
    QVERIFY(text.contains("Rmin 5.1 %"));
    QVERIFY(text.contains("Rmax 90.2 %"));
    QVERIFY(text.contains("global threshold 47.6 %"));
    QCOMPARE(text.count("stroke=\"#b0b0b0\""), 60);   // one line for each edge

    const QString picture = m_dir.filePath(u"profile.png"_s);
    run = ean13Program({u"grade"_s, u"--profile"_s, picture, png});
    QCOMPARE(run.exitCode, 0);
    QImage drawn;
    QVERIFY(drawn.load(picture));
    QCOMPARE(drawn.size(), QSize(2000, 640));

    // A profile that cannot be written leaves nothing behind and says why.
    run = ean13Program({u"grade"_s, u"--profile"_s, u"/nonexistent/p.svg"_s, png});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.startsWith("ean13 grade: cannot write /nonexistent/p.svg: "));
}

QTEST_MAIN(TestGrade)
#include "tst_grade.moc"
