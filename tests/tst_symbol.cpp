// The standard symbol's geometry, without any drawing: modules, bars, quiet zones, heights, where
// the human-readable characters stand, and which sizes are allowed.
#include "symbol.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

ean13::Code code(const char *digits)
{
    return ean13::asciiCode(digits);
}

} // namespace

class TestSymbol : public QObject
{
    Q_OBJECT

private slots:
    void modules_data();
    void modules();
    void onlyThirteenDigitsMakeASymbol_data();
    void onlyThirteenDigitsMakeASymbol();
    void barsAndQuietZones();
    void nominalSizeIsTheStandardOne();
    void textRow_data();
    void textRow();
    void options_data();
    void options();
};

void TestSymbol::modules_data()
{
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<QByteArray>("modules");
    // Derived by hand from the number sets (B is C mirrored, C is A inverted), not from the program's tables.
    QTest::newRow("first digit 0 (UPC-A): A A A A A A")
        << "0036000291452"_ba
        << "101" "0001101" "0111101" "0101111" "0001101" "0001101" "0001101" "01010"
           "1101100" "1110100" "1100110" "1011100" "1001110" "1101100" "101"_ba;
    QTest::newRow("first digit 4: A B A A B B")
        << "4820000000000"_ba
        << "101" "0110111" "0011011" "0001101" "0001101" "0100111" "0100111" "01010"
           "1110010" "1110010" "1110010" "1110010" "1110010" "1110010" "101"_ba;
    QTest::newRow("first digit 9: A B B A B A")
        << "9780306406157"_ba
        << "101" "0111011" "0001001" "0100111" "0111101" "0100111" "0101111" "01010"
           "1011100" "1110010" "1010000" "1100110" "1001110" "1000100" "101"_ba;
}

void TestSymbol::modules()
{
    QFETCH(QByteArray, digits);
    QFETCH(QByteArray, modules);
    QCOMPARE(QByteArray::fromStdString(ean13::symbolModules(code(digits.constData()))), modules);
}

void TestSymbol::onlyThirteenDigitsMakeASymbol_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("symbol");
    QTest::newRow("13 digits, check digit right") << "4820000000000"_ba << true;
    QTest::newRow("13 digits, check digit wrong: still a symbol of those digits") << "4820000000001"_ba << true;
    QTest::newRow("12 digits") << "036000291452"_ba << false;
    QTest::newRow("a letter") << "48200000x0000"_ba << false;
    QTest::newRow("empty") << ""_ba << false;
}

void TestSymbol::onlyThirteenDigitsMakeASymbol()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, symbol);
    QCOMPARE(ean13::layoutSymbol(code(entry.constData())).has_value(), symbol);
}

void TestSymbol::barsAndQuietZones()
{
    // Every first digit: the bars always come to 30, the six guard bars among them.
    for (char first = '0'; first <= '9'; ++first) {
        const QByteArray digits = QByteArray(1, first) + "123456789012";
        const auto s = ean13::layoutSymbol(code(digits.constData()));
        QVERIFY(s);
        QCOMPARE(s->width, 113);
        QCOMPARE(s->bars.size(), std::size_t{30});
        QCOMPARE(s->bars.front().left, 11);                                  // quiet zone of 11X on the left
        QCOMPARE(s->bars.back().left + s->bars.back().width, 113 - 7);       // and of 7X on the right
        QString drawn(95, u'0');
        int guards = 0;
        for (const ean13::Bar &b : s->bars) {
            for (int m = b.left; m < b.left + b.width; ++m)
                drawn[m - 11] = u'1';
            if (b.guard) {
                ++guards;
                QCOMPARE(b.width, 1);
                QVERIFY2(b.left - 11 < 3 || b.left - 11 >= 92 || (b.left - 11 >= 45 && b.left - 11 < 50), digits);
            }
        }
        QCOMPARE(guards, 6);
        QCOMPARE(drawn, QString::fromStdString(s->modules));
    }
}

void TestSymbol::nominalSizeIsTheStandardOne()
{
    const auto s = ean13::layoutSymbol(code("4820000000000"));
    QVERIFY(s);
    const double x = ean13::NominalXmm;
    QCOMPARE(qRound(s->width * x * 100), 3729);           // 37.29 mm wide
    QCOMPARE(qRound(s->height * x * 100), 2593);          // 25.93 mm high
    QCOMPARE(qRound(s->barHeight * x * 100), 2285);       // data bars 22.85 mm
    QCOMPARE(qRound(s->guardHeight() * x * 1000), 24500);   // guards 5X lower: 24.50 mm

    ean13::SymbolOptions o;
    o.xMm = 0.660;
    o.barHeightMm = 30.0;
    const auto big = ean13::layoutSymbol(code("4820000000000"), o);
    QCOMPARE(qRound(big->barHeight * o.xMm * 1000), 30000);
    QCOMPARE(big->guardHeight() - big->barHeight, 5.0);
}

void TestSymbol::textRow_data()
{
    QTest::addColumn<bool>("text");
    QTest::addColumn<bool>("indicator");
    QTest::addColumn<QString>("characters");
    QTest::newRow("digits") << true << false << u"4820000000000"_s;
    QTest::newRow("digits and margin indicator") << true << true << u"4820000000000>"_s;
    QTest::newRow("no text") << false << false << QString();
    QTest::newRow("no text, margin indicator") << false << true << u">"_s;
}

void TestSymbol::textRow()
{
    QFETCH(bool, text);
    QFETCH(bool, indicator);
    QFETCH(QString, characters);
    ean13::SymbolOptions o;
    o.text = text;
    o.marginIndicator = indicator;
    const auto s = ean13::layoutSymbol(code("4820000000000"), o);
    QVERIFY(s);
    QString seen;
    for (const ean13::Glyph &g : s->glyphs)
        seen += QChar::fromLatin1(g.character);
    QCOMPARE(seen, characters);
    if (characters.isEmpty()) {
        QCOMPARE(s->height, s->guardHeight());   // nothing below the guards' ends
        return;
    }
    QVERIFY(s->textTop > s->barHeight);
    QVERIFY(s->height > s->guardHeight());
    for (const ean13::Glyph &g : s->glyphs) {
        if (g.character == '>') {
            QVERIFY(g.centre > 106 && g.centre < 113);   // in the right quiet zone
            continue;
        }
        const int index = static_cast<int>(&g - s->glyphs.data());
        if (index == 0) {
            QVERIFY(g.centre + 3 < 11);   // left of the start guard
            continue;
        }
        // Under its own seven modules, clear of every guard.
        const int group = index - 1;
        const double left = 11 + 3 + group * 7 + (group >= 6 ? 5 : 0);
        QCOMPARE(g.centre, left + 3.5);
    }
}

void TestSymbol::options_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("height");   // 0: the nominal one
    QTest::addColumn<double>("bwr");
    QTest::addColumn<QString>("error");
    QTest::newRow("nominal") << 0.330 << 0.0 << 0.0 << QString();
    QTest::newRow("80%") << 0.264 << 0.0 << 0.0 << QString();
    QTest::newRow("200%") << 0.660 << 0.0 << 0.0 << QString();
    QTest::newRow("X too small") << 0.263 << 0.0 << 0.0
                                 << u"X-dimension 0.263 mm is out of range: 0.264 mm to 0.660 mm (80% to 200% of 0.330 mm)"_s;
    QTest::newRow("X too large") << 0.661 << 0.0 << 0.0
                                 << u"X-dimension 0.661 mm is out of range: 0.264 mm to 0.660 mm (80% to 200% of 0.330 mm)"_s;
    QTest::newRow("height half the nominal") << 0.330 << 11.425 << 0.0 << QString();
    QTest::newRow("height too low") << 0.330 << 11.0 << 0.0
                                    << u"bar height 11.000 mm is out of range for X 0.330 mm: 11.425 mm to 45.700 mm"_s;
    QTest::newRow("height too high") << 0.330 << 46.0 << 0.0
                                     << u"bar height 46.000 mm is out of range for X 0.330 mm: 11.425 mm to 45.700 mm"_s;
    QTest::newRow("bwr") << 0.330 << 0.0 << 0.030 << QString();
    QTest::newRow("bwr too large") << 0.330 << 0.0 << 0.2
                                   << u"bar width reduction 0.200 mm is out of range for X 0.330 mm: 0 to 0.083 mm"_s;
    QTest::newRow("bwr of half a module: too thin for readers at some resolutions") << 0.330 << 0.0 << 0.165
                                   << u"bar width reduction 0.165 mm is out of range for X 0.330 mm: 0 to 0.083 mm"_s;
    QTest::newRow("bwr negative") << 0.330 << 0.0 << -0.01
                                  << u"bar width reduction -0.010 mm is out of range for X 0.330 mm: 0 to 0.083 mm"_s;
    QTest::newRow("not a number") << qQNaN() << 0.0 << 0.0
                                  << u"X-dimension nan mm is out of range: 0.264 mm to 0.660 mm (80% to 200% of 0.330 mm)"_s;
}

void TestSymbol::options()
{
    QFETCH(double, x);
    QFETCH(double, height);
    QFETCH(double, bwr);
    QFETCH(QString, error);
    ean13::SymbolOptions o;
    o.xMm = x;
    if (height > 0)
        o.barHeightMm = height;
    o.bwrMm = bwr;
    QCOMPARE(QString::fromStdString(ean13::checkOptions(o)), error);
}

QTEST_APPLESS_MAIN(TestSymbol)
#include "tst_symbol.moc"
