// The picture window, pixel by pixel on rendered images.
#include "gui.h"

#include "ean13.h"

#include <QPainter>

using namespace Qt::Literals::StringLiterals;

namespace {

const QList<int> GuardColumns = {13, 15, 61, 63, 109, 111};
const QList<int> DigitColumns = {5, 17, 24, 31, 38, 45, 52, 65, 72, 79, 86, 93, 100};

QImage renderPicture()
{
    QImage img(123, 76, QImage::Format_RGB32);
    img.fill(Qt::magenta);   // anything the window does not paint would show
    Form1->render(&img);
    return img;
}

bool dark(const QImage &img, int x, int y)
{
    return qGray(img.pixel(x, y)) < 128;
}

bool white(const QImage &img, int x, int y)
{
    return img.pixelColor(x, y) == QColor(Qt::white);
}

// Column of module k (from 1): the start guard and its extra space come before the left half,
// the six-column centre guard between the halves.
int columnOfModule(int k)
{
    return k <= 42 ? 16 + k : 22 + k;
}

// Does the cell of a digit, 7 columns from x and rows 52..64, hold the same ink as `digit` drawn alone?
bool cellShows(const QImage &img, int x, QChar digit)
{
    QImage alone(123, 76, QImage::Format_RGB32);
    alone.fill(Qt::white);
    {
        QPainter p(&alone);
        p.setFont(Form1->font());
        p.setPen(Qt::black);
        p.drawText(QPoint(x, 52 + p.fontMetrics().ascent()), QString(digit));
    }
    for (int y = 52; y <= 64; ++y)
        for (int cx = x; cx < x + 7; ++cx)
            if (img.pixel(cx, y) != alone.pixel(cx, y))
                return false;
    return true;
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    void init() { started = std::make_unique<Started>(); }
    void cleanup() { started.reset(); }

    void barsGuardsAndDigits_data();
    void barsGuardsAndDigits();
    void firstGroupsOfUkraine();
    void repaintAfterCoveringIsIdentical();
    void anyModuleStringStaysInside_data();
    void anyModuleStringStaysInside();

private:
    std::unique_ptr<Started> started;
};

void TestPicture::barsGuardsAndDigits_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("Ukraine") << u"4820000000000"_s;
    QTest::newRow("thirteen zeros") << u"0000000000000"_s;
    QTest::newRow("1234567890128") << u"1234567890128"_s;
    QTest::newRow("wrong check digit drawn as typed") << u"5901234123450"_s;
}

void TestPicture::barsGuardsAndDigits()
{
    QFETCH(QString, code);
    showPictureOf(code);
    const QImage img = renderPicture();
    const QString modules = QString::fromStdString(ean13::encodeModules(ean13::Code::fromUtf16(code.toStdU16String())).modules);
    QCOMPARE(modules.size(), 84);

    QSet<int> barColumns(GuardColumns.begin(), GuardColumns.end());
    for (int x : GuardColumns) {
        QVERIFY(white(img, x, 9));
        for (int y = 10; y <= 57; ++y)
            QVERIFY2(img.pixelColor(x, y) == QColor(Qt::black), qPrintable(u"guard %1,%2"_s.arg(x).arg(y)));
        QVERIFY(white(img, x, 58));
    }
    for (int k = 1; k <= 84; ++k) {
        const int x = columnOfModule(k);
        const bool bar = modules[k - 1] == u'1';
        if (bar)
            barColumns.insert(x);
        for (int y = 10; y <= 49; ++y)
            QVERIFY2((img.pixelColor(x, y) == QColor(Qt::black)) == bar, qPrintable(u"module %1 row %2"_s.arg(k).arg(y)));
        QVERIFY(white(img, x, 9));
        QVERIFY2(white(img, x, 50) && white(img, x, 51), qPrintable(u"data bar below row 49 at %1"_s.arg(x)));
    }
    // Nothing above the bars, nothing below the digits, and between the bars only white.
    for (int y = 0; y < 76; ++y) {
        for (int x = 0; x < 123; ++x) {
            const bool inText = y >= 52 && y <= 64;
            if (barColumns.contains(x) && y >= 10 && y <= 57)
                continue;
            if (inText && x >= 5 && x <= 106)
                continue;
            QVERIFY2(white(img, x, y), qPrintable(u"stray pixel at %1,%2"_s.arg(x).arg(y)));
        }
    }
    // Each digit under its group, on an opaque cell, as the font draws it.
    for (int i = 0; i < 13; ++i)
        QVERIFY2(cellShows(img, DigitColumns[i], code[i]), qPrintable(u"digit %1"_s.arg(i + 1)));
}

void TestPicture::firstGroupsOfUkraine()
{
    showPictureOf(u"4820000000000"_s);
    const QImage img = renderPicture();
    auto barsIn = [&img](int from, int to) {
        QList<int> bars;
        for (int x = from; x <= to; ++x)
            if (dark(img, x, 30))
                bars << x;
        return bars;
    };
    QCOMPARE(barsIn(17, 23), (QList<int>{18, 19, 21, 22, 23}));   // "0110111"
    QCOMPARE(barsIn(65, 71), (QList<int>{65, 66, 67, 70}));       // "1110010"
    QCOMPARE(barsIn(59, 64), (QList<int>{61, 63}));               // the centre guard
    QCOMPARE(barsIn(107, 122), (QList<int>{109, 111}));           // two spaces, then the end guard
}

void TestPicture::repaintAfterCoveringIsIdentical()
{
    showPictureOf(u"1234567890128"_s);
    const QImage whole = renderPicture();
    // Repaint only the part that was covered, as the desktop asks after uncovering it.
    const QRect covered(20, 5, 60, 55);
    QImage part(123, 76, QImage::Format_RGB32);
    part.fill(Qt::magenta);
    Form1->render(&part, covered.topLeft(), QRegion(covered));
    for (int y = covered.top(); y <= covered.bottom(); ++y)
        for (int x = covered.left(); x <= covered.right(); ++x)
            QCOMPARE(part.pixel(x, y), whole.pixel(x, y));
    QCOMPARE(renderPicture(), whole);
}

void TestPicture::anyModuleStringStaysInside_data()
{
    QTest::addColumn<QString>("modules");
    QTest::addColumn<QString>("firstDigit");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one module") << u"1"_s << u"4"_s;
    QTest::newRow("a broken group") << u"0110111" "01"_s << u"x"_s;
    QTest::newRow("no pattern") << u"1111111"_s.repeated(12) << u"4"_s;
    QTest::newRow("other characters") << u"1x2y0Ж1"_s.repeated(12) << u"Ж"_s;
    QTest::newRow("far too long") << u"1"_s.repeated(100000) << u"4"_s;
}

void TestPicture::anyModuleStringStaysInside()
{
    QFETCH(QString, modules);
    QFETCH(QString, firstDigit);
    QImage img(200, 76, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.setFont(Form1->font());
        drawBarcode(p, firstDigit, modules, 123);
    }
    for (int y = 0; y < 76; ++y)
        for (int x = 123; x < 200; ++x)
            QVERIFY2(white(img, x, y), qPrintable(u"drawn outside at %1,%2"_s.arg(x).arg(y)));
    // A group that is no pattern gets no digit: nothing in the text rows right of the first digit.
    if (modules.startsWith(u"1111111"_s)) {
        for (int y = 52; y <= 64; ++y)
            for (int x = 17; x < 123; ++x)
                if (!GuardColumns.contains(x) || y > 57)
                    QVERIFY(white(img, x, y));
    }
}

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
