// The standard symbol's geometry, without any drawing: modules, bars, quiet zones, heights, where
// the human-readable characters stand, and which sizes are allowed.
#include "symbol.h"
#include "upce.h"

#include <QProcess>
#include <QStandardPaths>
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
    void familyModules_data();
    void familyModules();
    void familyModulesAsZintWritesThem_data();
    void familyModulesAsZintWritesThem();
    void familyRefusals_data();
    void familyRefusals();
    void familyLayout_data();
    void familyLayout();
    void addOnLayout();
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

using ean13::Symbology;
Q_DECLARE_METATYPE(ean13::Symbology)

void TestSymbol::familyModules_data()
{
    QTest::addColumn<Symbology>("symbology");
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<QByteArray>("modules");
    // By hand from the number sets, as above; the add-ons' sets from their own tables.
    QTest::newRow("EAN-8: A A A A | C C C C")
        << Symbology::Ean8 << "96385074"_ba
        << "101" "0001011" "0101111" "0111101" "0110111" "01010" "1001110" "1110010" "1000100" "1011100" "101"_ba;
    QTest::newRow("UPC-A: EAN-13's bars of 0 and the 12 digits")
        << Symbology::UpcA << "036000291452"_ba
        << "101" "0001101" "0111101" "0101111" "0001101" "0001101" "0001101" "01010"
           "1101100" "1110100" "1100110" "1011100" "1001110" "1101100" "101"_ba;
    QTest::newRow("UPC-E, number system 0, check digit 5: B A A B B A")
        << Symbology::UpcE << "01234565"_ba
        << "101" "0110011" "0010011" "0111101" "0011101" "0111001" "0101111" "010101"_ba;
    QTest::newRow("UPC-E, number system 1, check digit 2: A A B B A B (0's sets swapped)")
        << Symbology::UpcE << "11234562"_ba
        << "101" "0011001" "0010011" "0100001" "0011101" "0110001" "0000101" "010101"_ba;
    QTest::newRow("UPC-E, check digit 0: B B B A A A")
        << Symbology::UpcE << "04252410"_ba   // its UPC-A 042100005240
        << "101" "0011101" "0011011" "0111001" "0010011" "0100011" "0011001" "010101"_ba;
}

void TestSymbol::familyModules()
{
    QFETCH(Symbology, symbology);
    QFETCH(QByteArray, digits);
    QFETCH(QByteArray, modules);
    QCOMPARE(QByteArray::fromStdString(ean13::familyModules(symbology, digits.toStdString())), modules);
    const int expectedLength = symbology == Symbology::Ean8 ? 67 : symbology == Symbology::UpcE ? 51 : 95;
    QCOMPARE(modules.size(), expectedLength);
}

void TestSymbol::familyModulesAsZintWritesThem_data()
{
    QTest::addColumn<QStringList>("zint");     // its symbology and data; it adds the check digit
    QTest::addColumn<int>("symbology");        // -1: an add-on alone
    QTest::addColumn<QByteArray>("digits");
    QTest::newRow("EAN-13") << QStringList{u"-b"_s, u"13"_s, u"-d"_s, u"590123412345"_s} << int(Symbology::Ean13) << "5901234123457"_ba;
    QTest::newRow("EAN-8") << QStringList{u"-b"_s, u"13"_s, u"-d"_s, u"9638507"_s} << int(Symbology::Ean8) << "96385074"_ba;
    QTest::newRow("EAN-8, another") << QStringList{u"-b"_s, u"13"_s, u"-d"_s, u"5512345"_s} << int(Symbology::Ean8) << "55123457"_ba;
    QTest::newRow("UPC-A") << QStringList{u"-b"_s, u"34"_s, u"-d"_s, u"03600029145"_s} << int(Symbology::UpcA) << "036000291452"_ba;
    for (const char *upcE : {"0123456", "1123456", "0425261", "0123453", "0654321", "1987650", "0111114"}) {
        const std::string upcA = *ean13::expandUpcE(upcE);
        const std::string digits = upcE + std::to_string(ean13::gtinCheckDigit(upcA + "0"));
        QTest::addRow("UPC-E %s", digits.c_str()) << QStringList{u"-b"_s, u"37"_s, u"-d"_s, QString::fromLatin1(upcE)}
                                                 << int(Symbology::UpcE) << QByteArray::fromStdString(digits);
    }
    for (const char *addOn : {"00", "01", "02", "03", "12", "99", "00000", "51295", "12345", "90000", "54321", "99999"})
        QTest::addRow("add-on %s", addOn) << QStringList{u"-b"_s, u"13"_s, u"-d"_s, QString::fromLatin1(addOn)} << -1
                                          << QByteArray(addOn);
}

// zint, an independent writer, prints the modules of a symbol as hexadecimal digits, four modules
// each, the last one filled up with zeros.
void TestSymbol::familyModulesAsZintWritesThem()
{
    QFETCH(QStringList, zint);
    QFETCH(int, symbology);
    QFETCH(QByteArray, digits);
    if (QStandardPaths::findExecutable(u"zint"_s).isEmpty())
        QSKIP("zint is not installed");
    QProcess p;
    p.start(u"zint"_s, zint << u"--dump"_s);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QByteArray bits;
    for (const char c : p.readAllStandardOutput().trimmed())
        if (c != ' ')
            bits += QByteArray::number(QByteArray(1, c).toInt(nullptr, 16) | 16, 2).mid(1);
    const std::string ours = symbology < 0 ? ean13::addOnModules(digits.toStdString())
                                           : ean13::familyModules(Symbology(symbology), digits.toStdString());
    QVERIFY(!ours.empty());
    QCOMPARE(bits.left(static_cast<qsizetype>(ours.size())), QByteArray::fromStdString(ours));
    QCOMPARE(bits.mid(static_cast<qsizetype>(ours.size())), QByteArray(bits.size() - static_cast<qsizetype>(ours.size()), '0'));
    QVERIFY(bits.size() - static_cast<qsizetype>(ours.size()) < 4);
}

void TestSymbol::familyRefusals_data()
{
    QTest::addColumn<Symbology>("symbology");
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<QByteArray>("addOn");
    QTest::newRow("EAN-8 of 7 digits") << Symbology::Ean8 << "9638507"_ba << ""_ba;
    QTest::newRow("EAN-8 of 13 digits") << Symbology::Ean8 << "5901234123457"_ba << ""_ba;
    QTest::newRow("UPC-A of 13 digits") << Symbology::UpcA << "0036000291452"_ba << ""_ba;
    QTest::newRow("UPC-E of number system 2") << Symbology::UpcE << "21234565"_ba << ""_ba;
    QTest::newRow("UPC-E of 12 digits") << Symbology::UpcE << "012345000065"_ba << ""_ba;
    QTest::newRow("a letter") << Symbology::Ean8 << "9638507x"_ba << ""_ba;
    QTest::newRow("add-on of 1 digit") << Symbology::Ean13 << "5901234123457"_ba << "1"_ba;
    QTest::newRow("add-on of 3 digits") << Symbology::Ean13 << "5901234123457"_ba << "123"_ba;
    QTest::newRow("add-on of 6 digits") << Symbology::Ean13 << "5901234123457"_ba << "123456"_ba;
    QTest::newRow("add-on with a letter") << Symbology::Ean13 << "5901234123457"_ba << "1a"_ba;
}

void TestSymbol::familyRefusals()
{
    QFETCH(Symbology, symbology);
    QFETCH(QByteArray, digits);
    QFETCH(QByteArray, addOn);
    QVERIFY(!ean13::layoutSymbol(symbology, digits.toStdString(), addOn.toStdString()));
}

void TestSymbol::familyLayout_data()
{
    QTest::addColumn<Symbology>("symbology");
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<int>("leftQuiet");
    QTest::addColumn<int>("modules");
    QTest::addColumn<int>("rightQuiet");
    QTest::addColumn<int>("longBars");      // as long as the guards
    QTest::addColumn<QByteArray>("under");  // the characters under the bars, left to right
    QTest::addColumn<QByteArray>("small");  // in smaller type beside the guards
    QTest::addColumn<double>("barHeightMm");
    QTest::newRow("EAN-13") << Symbology::Ean13 << "5901234123457"_ba << 11 << 95 << 7 << 6 << "5901234123457"_ba << ""_ba << 22.85;
    // UPC-A: the guards' 6 and the bars of the first and last characters (0: 2 bars, 2: 2 bars).
    QTest::newRow("UPC-A") << Symbology::UpcA << "036000291452"_ba << 9 << 95 << 9 << 10 << "3600029145"_ba << "02"_ba << 22.85;
    QTest::newRow("EAN-8") << Symbology::Ean8 << "96385074"_ba << 7 << 67 << 7 << 6 << "96385074"_ba << ""_ba << 18.23;
    QTest::newRow("UPC-E") << Symbology::UpcE << "01234565"_ba << 9 << 51 << 7 << 5 << "123456"_ba << "05"_ba << 22.85;
}

void TestSymbol::familyLayout()
{
    QFETCH(Symbology, symbology);
    QFETCH(QByteArray, digits);
    QFETCH(int, leftQuiet);
    QFETCH(int, modules);
    QFETCH(int, rightQuiet);
    QFETCH(int, longBars);
    QFETCH(QByteArray, under);
    QFETCH(QByteArray, small);
    QFETCH(double, barHeightMm);
    const auto s = ean13::layoutSymbol(symbology, digits.toStdString(), {});
    QVERIFY(s);
    QCOMPARE(s->width, leftQuiet + modules + rightQuiet);
    QCOMPARE(s->bars.front().left, leftQuiet);
    QCOMPARE(s->bars.back().left + s->bars.back().width, leftQuiet + modules);
    QCOMPARE(qRound(s->barHeight * ean13::NominalXmm * 100), qRound(barHeightMm * 100));
    int longOnes = 0;
    for (const ean13::Bar &b : s->bars)
        longOnes += b.guard;
    QCOMPARE(longOnes, longBars);
    if (symbology == Symbology::UpcA) {   // the first character's bars are long, the second's not
        QVERIFY(s->bars[2].guard && s->bars[3].guard && !s->bars[4].guard);
        QVERIFY(s->bars[s->bars.size() - 3].guard && s->bars[s->bars.size() - 4].guard && !s->bars[s->bars.size() - 5].guard);
    }
    QByteArray seenUnder, seenSmall;
    for (const ean13::Glyph &g : s->glyphs) {
        QVERIFY(g.top > s->barHeight);   // all below the data bars
        if (g.height < ean13::DigitHeight) {
            seenSmall += g.character;
            QCOMPARE(g.height, ean13::SmallDigitHeight);
            QCOMPARE(g.top + g.height, s->textTop + ean13::DigitHeight);   // on the others' line
            // Outside the guards, in a quiet zone.
            QVERIFY(g.centre < leftQuiet || g.centre > leftQuiet + modules);
        } else {
            seenUnder += g.character;
            if (symbology != Symbology::Ean13 || &g != &s->glyphs.front())
                QVERIFY(g.centre > leftQuiet && g.centre < leftQuiet + modules);
        }
    }
    QCOMPARE(seenUnder, under);
    QCOMPARE(seenSmall, small);
    // A digit under the bars stands clear of every long bar beside it: no long bar within half
    // the width of a group of its centre.
    for (const ean13::Glyph &g : s->glyphs)
        for (const ean13::Bar &b : s->bars)
            if (b.guard)
                QVERIFY2(b.left >= g.centre + 3 || b.left + b.width <= g.centre - 3, qPrintable(QString(QChar::fromLatin1(g.character))));

    ean13::SymbolOptions indicator;
    indicator.marginIndicator = true;
    QByteArray indicators;
    const auto withIndicator = ean13::layoutSymbol(symbology, digits.toStdString(), {}, indicator);
    for (const ean13::Glyph &g : withIndicator->glyphs)
        if (g.character == '<' || g.character == '>')
            indicators += g.character;
    QCOMPARE(indicators, symbology == Symbology::Ean13 ? ">"_ba : symbology == Symbology::Ean8 ? "<>"_ba : ""_ba);
}

void TestSymbol::addOnLayout()
{
    for (const QByteArray &addOn : {"12"_ba, "51295"_ba}) {
        for (const Symbology sy : {Symbology::Ean13, Symbology::UpcA, Symbology::Ean8, Symbology::UpcE}) {
            const QByteArray digits = sy == Symbology::Ean13  ? "9780306406157"_ba
                                      : sy == Symbology::UpcA ? "036000291452"_ba
                                      : sy == Symbology::Ean8 ? "96385074"_ba
                                                              : "01234565"_ba;
            const auto plain = ean13::layoutSymbol(sy, digits.toStdString(), {});
            const auto s = ean13::layoutSymbol(sy, digits.toStdString(), addOn.toStdString());
            QVERIFY(s);
            const int mainEnd = ean13::leftQuietZone(sy) + static_cast<int>(s->modules.size());
            const int addOnModules = addOn.size() == 2 ? 20 : 47;
            QCOMPARE(s->width, mainEnd + 9 + addOnModules + 5);   // a gap of 9, a quiet zone of 5
            // The add-on's bars after the gap, its digits above them, near the main bars' top.
            int first = s->width, last = 0;
            for (const ean13::Bar &b : s->bars) {
                if (!b.addOn)
                    continue;
                first = std::min(first, b.left);
                last = std::max(last, b.left + b.width);
                QCOMPARE(s->top(b), s->addOnTop);
                QCOMPARE(s->bottom(b), s->guardHeight());
            }
            QCOMPARE(first, mainEnd + 9);
            QCOMPARE(last, mainEnd + 9 + addOnModules);
            QCOMPARE(s->bars.size(), plain->bars.size() + (addOn.size() == 2 ? 7 : 16));   // 2 a character, 2 the start, 1 a separator
            QByteArray above;
            for (const ean13::Glyph &g : s->glyphs) {
                if (g.top + g.height > s->addOnTop)
                    continue;
                above += g.character;
                QCOMPARE(g.top, ean13::TextGap);
                QVERIFY(g.centre > first && g.centre < last);
            }
            QCOMPARE(above, addOn);
            QCOMPARE(s->glyphs.size(), plain->glyphs.size() + static_cast<std::size_t>(addOn.size()));
            QCOMPARE(s->text(), digits.toStdString() + "+" + addOn.toStdString());
        }
    }
}

QTEST_APPLESS_MAIN(TestSymbol)
#include "tst_symbol.moc"
