// The rules without any window: what an entry becomes, the check digit, the prefix rules,
// the number sets and the module string.
#include "booktrade.h"
#include "ean13.h"
#include "upce.h"
#include "utf8.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

ean13::Code code(const QString &text)
{
    return ean13::Code::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                                      static_cast<std::size_t>(text.size())));
}

QString text(const ean13::Code &c)
{
    return QString::fromUcs4(c.begin(), c.size());
}

QString fromView(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QStringList lines(const ean13::Analysis &a)
{
    QStringList out;
    ean13::forEachLine(a, [&](std::string_view line) { out << fromView(line); });
    return out;
}

const QString LengthError = u"ОШИБКА! Длинна введенного кода отличается от 12-13!"_s;
const QString NonDigitError = u"ОШИБКА! В коде присутствуют символы отличные от цифр!"_s;
const QString Correct = u"Контрольная сумма в коде корректна!"_s;
const QString Wrong = u"ВНИМАНИЕ! В коде некорректна контрольная сумма!"_s;
const QString Separator = u"----------------------------------------------------------"_s;

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void normalise_data();
    void normalise();
    void cutCountsCharactersNotBytes_data();
    void cutCountsCharactersNotBytes();
    void checkDigit_data();
    void checkDigit();
    void changingOnlyTheCheckDigitChangesOnlyTheVerdict();
    void country_data();
    void country();
    void everyPrefixHasOneOfTheTexts();
    void defaultPrefixesAreExactlyTheListedOnes();
    void analysisLinesAndColour_data();
    void analysisLinesAndColour();
    void numberSetsAreRelated();
    void parity_data();
    void parity();
    void encode_data();
    void encode();
    void digitOfGroup();
    void bytePathAgreesWithAnalysis();
    void textsNeedNoEscaping();
    void gtinCheckDigit_data();
    void gtinCheckDigit();
    void issuer_data();
    void issuer();
    void issuerOfEveryPrefix();
    void gtinVerdictAndLines_data();
    void gtinVerdictAndLines();
    void correctedCode_data();
    void correctedCode();
    void upcE_data();
    void upcE();
    void upcERoundTrip();
    void upcEEntry_data();
    void upcEEntry();
    void upcEOfGtin13_data();
    void upcEOfGtin13();
    void bookTradeNumbers_data();
    void bookTradeNumbers();
};

void TestCore::normalise_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("padded");
    QTest::addColumn<QString>("status");
    QTest::newRow("empty") << u""_s << u""_s << false << u"bad-length"_s;
    QTest::newRow("11 digits") << u"12345678901"_s << u"12345678901"_s << false << u"bad-length"_s;
    QTest::newRow("12 digits get one zero") << u"100000000007"_s << u"0100000000007"_s << true << u"ok"_s;
    QTest::newRow("12 with a letter: padded, then rejected") << u"12345678901x"_s << u"012345678901x"_s << true
                                                             << u"non-digit"_s;
    QTest::newRow("13 digits") << u"4820000000000"_s << u"4820000000000"_s << false << u"ok"_s;
    QTest::newRow("14 are cut to 13, not padded") << u"48200000000001"_s << u"4820000000000"_s << false << u"ok"_s;
    QTest::newRow("space inside") << u"482000 000000"_s << u"482000 000000"_s << false << u"non-digit"_s;
    QTest::newRow("leading space is kept") << u" 482000000000"_s << u" 482000000000"_s << false << u"non-digit"_s;
    QTest::newRow("12 spaces") << u"            "_s << u"0            "_s << true << u"non-digit"_s;
    QTest::newRow("wrong check digit is accepted") << u"4820000000001"_s << u"4820000000001"_s << false
                                                   << u"bad-check-digit"_s;
    QTest::newRow("Arabic-Indic digits are no digits") << u"٤٨٢٠٠٠٠٠٠٠٠٠٠"_s << u"٤٨٢٠٠٠٠٠٠٠٠٠٠"_s << false
                                                       << u"non-digit"_s;
}

void TestCore::normalise()
{
    QFETCH(QString, entry);
    QFETCH(QString, code);
    QFETCH(bool, padded);
    QFETCH(QString, status);
    const ean13::Analysis a = ean13::analyse(::code(entry));
    QCOMPARE(text(a.entry.code), code);
    QCOMPARE(a.entry.padded, padded);
    QCOMPARE(fromView(ean13::statusName(a.status)), status);
    QCOMPARE(a.pictureOffered(), a.accepted() && !padded);
}

void TestCore::cutCountsCharactersNotBytes_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("status");
    QTest::newRow("ten digits and a Cyrillic letter: 11") << u"4820000000Ж"_s.toUtf8() << 11 << u"bad-length"_s;
    QTest::newRow("six Cyrillic letters: 6, not 12") << u"ЖЖЖЖЖЖ"_s.toUtf8() << 6 << u"bad-length"_s;
    QTest::newRow("twelve Cyrillic letters: padded") << u"ЖЖЖЖЖЖЖЖЖЖЖЖ"_s.toUtf8() << 13 << u"non-digit"_s;
    QTest::newRow("an emoji is one character") << (u"😀"_s + u"000000000000"_s).toUtf8() << 13 << u"non-digit"_s;
    QTest::newRow("a stray byte is one character") << QByteArray("\xff" "000000000000", 13) << 13 << u"non-digit"_s;
    QTest::newRow("a broken sequence: each byte one character") << QByteArray("\xe2\x82" "0000000000", 12) << 13
                                                                << u"non-digit"_s;
    QTest::newRow("an overlong form is no digit") << QByteArray("\xc0\xb0" "00000000000", 13) << 13 << u"non-digit"_s;
    QTest::newRow("NUL is a character") << QByteArray("\0" "000000000000", 13) << 13 << u"non-digit"_s;
}

void TestCore::cutCountsCharactersNotBytes()
{
    QFETCH(QByteArray, utf8);
    QFETCH(int, size);
    QFETCH(QString, status);
    const ean13::Analysis a = ean13::analyse(ean13::lists::codeFromUtf8(std::string_view(utf8.constData(), utf8.size())));
    QCOMPARE(a.entry.code.size(), size);
    QCOMPARE(fromView(ean13::statusName(a.status)), status);
    // What came in goes out unchanged, stray bytes included.
    const QByteArray back = QByteArray::fromStdString(ean13::lists::toUtf8(ean13::lists::codeFromUtf8(std::string_view(utf8.constData(), utf8.size()))));
    QVERIFY(utf8.startsWith(back));
}

void TestCore::checkDigit_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("ok");
    QTest::newRow("thirteen zeros") << u"0000000000000"_s << 0 << true;
    QTest::newRow("482 and ten zeros: remainder 0") << u"4820000000000"_s << 0 << true;
    QTest::newRow("482 ending in 1") << u"4820000000001"_s << 0 << false;
    QTest::newRow("482 ending in 9") << u"4820000000009"_s << 0 << false;
    QTest::newRow("1, eleven zeros, 9") << u"1000000000009"_s << 9 << true;
    QTest::newRow("1 and twelve zeros") << u"1000000000000"_s << 9 << false;
    QTest::newRow("weight 3 on the second digit") << u"0100000000007"_s << 7 << true;
    QTest::newRow("weight 1 would accept this") << u"0100000000009"_s << 7 << false;
    QTest::newRow("weight 3 on the twelfth digit") << u"0000000000017"_s << 7 << true;
    QTest::newRow("weight 1 on the twelfth would accept this") << u"0000000000019"_s << 7 << false;
    QTest::newRow("largest sum, 216") << u"9999999999994"_s << 4 << true;
    QTest::newRow("largest sum ending in 0") << u"9999999999990"_s << 4 << false;
    QTest::newRow("a real article number") << u"4006381333931"_s << 1 << true;
}

void TestCore::checkDigit()
{
    QFETCH(QString, code);
    QFETCH(int, expected);
    QFETCH(bool, ok);
    QCOMPARE(ean13::expectedCheckDigit(::code(code)), std::optional<int>(expected));
    QCOMPARE(ean13::checkDigitOk(::code(code)), ok);
}

void TestCore::changingOnlyTheCheckDigitChangesOnlyTheVerdict()
{
    const QString stem = u"590123412345"_s;
    int correct = 0;
    for (char last = '0'; last <= '9'; ++last) {
        const ean13::Code c = code(stem + QChar::fromLatin1(last));
        QCOMPARE(ean13::expectedCheckDigit(c), std::optional<int>(7));
        correct += ean13::checkDigitOk(c) ? 1 : 0;
        QCOMPARE(fromView(ean13::country(c)), u"Польша"_s);
    }
    QCOMPARE(correct, 1);
    QVERIFY(!ean13::expectedCheckDigit(code(u"482000000000"_s)));   // 12 characters: no verdict
    QVERIFY(!ean13::expectedCheckDigit(code(u"48200000000x0"_s)));
}

void TestCore::country_data()
{
    QTest::addColumn<int>("prefix");
    QTest::addColumn<QString>("country");
    const QString unknown = u"Не могу распознать!"_s;
    QTest::newRow("000") << 0 << u"США (Канада)"_s;
    QTest::newRow("099") << 99 << u"США (Канада)"_s;
    QTest::newRow("100") << 100 << unknown;
    QTest::newRow("299") << 299 << unknown;
    QTest::newRow("300") << 300 << u"Франция"_s;
    QTest::newRow("379: the range beats nothing else here") << 379 << u"Франция"_s;
    QTest::newRow("380") << 380 << u"Болгария"_s;
    QTest::newRow("381") << 381 << unknown;
    QTest::newRow("385") << 385 << u"Хорватия"_s;
    QTest::newRow("400") << 400 << u"Германия"_s;
    QTest::newRow("440") << 440 << u"Германия"_s;
    QTest::newRow("441") << 441 << unknown;
    QTest::newRow("459") << 459 << unknown;
    QTest::newRow("460") << 460 << u"Страны СНГ"_s;
    QTest::newRow("469") << 469 << u"Страны СНГ"_s;
    QTest::newRow("470") << 470 << unknown;
    QTest::newRow("471") << 471 << u"Тайвань"_s;
    QTest::newRow("482") << 482 << u"Украина"_s;
    QTest::newRow("489") << 489 << u"Гонконг"_s;
    QTest::newRow("490") << 490 << u"Япония"_s;
    QTest::newRow("500") << 500 << u"Великобритания"_s;
    QTest::newRow("568") << 568 << u"Португалия"_s;
    QTest::newRow("569: exact three digits before exact two") << 569 << u"Исландия"_s;
    QTest::newRow("590") << 590 << u"Польша"_s;
    QTest::newRow("601") << 601 << u"ЮАР"_s;
    QTest::newRow("602") << 602 << unknown;
    QTest::newRow("691") << 691 << u"Китай"_s;
    QTest::newRow("692") << 692 << unknown;
    QTest::newRow("729") << 729 << u"Израиль"_s;
    QTest::newRow("730") << 730 << u"Швеция"_s;
    QTest::newRow("740") << 740 << u"Центральная Америка"_s;
    QTest::newRow("745") << 745 << u"Центральная Америка"_s;
    QTest::newRow("746") << 746 << unknown;
    QTest::newRow("800") << 800 << u"Италия"_s;
    QTest::newRow("839") << 839 << u"Италия"_s;
    QTest::newRow("840") << 840 << u"Испания"_s;
    QTest::newRow("900") << 900 << u"Австрия"_s;
    QTest::newRow("919") << 919 << u"Австрия"_s;
    QTest::newRow("920") << 920 << unknown;
    QTest::newRow("940") << 940 << u"Новая Зеландия"_s;
    QTest::newRow("959") << 959 << u"Папуа-Новая Гвинея"_s;
    QTest::newRow("977") << 977 << unknown;
    QTest::newRow("978: tried last") << 978 << u"Россия (точно не уверен!)"_s;
    QTest::newRow("979") << 979 << unknown;
    QTest::newRow("999") << 999 << unknown;
}

void TestCore::country()
{
    QFETCH(int, prefix);
    QFETCH(QString, country);
    QCOMPARE(fromView(ean13::countryForPrefix(prefix)), country);
    // Only the first three characters count, whatever the rest and the verdict.
    const QString p = u"%1"_s.arg(prefix, 3, 10, QChar(u'0'));
    QCOMPARE(fromView(ean13::country(code(p + u"0000000000"_s))), country);
    QCOMPARE(fromView(ean13::country(code(p + u"9876543219"_s))), country);
}

void TestCore::everyPrefixHasOneOfTheTexts()
{
    QSet<QString> texts;
    for (int p = 0; p < 1000; ++p) {
        const QString t = fromView(ean13::countryForPrefix(p));
        QVERIFY(!t.isEmpty());
        texts.insert(t);
    }
    QCOMPARE(texts.size(), 66);   // 65 rules, each reachable, and the default
}

void TestCore::defaultPrefixesAreExactlyTheListedOnes()
{
    const QList<QPair<int, int>> unknownRanges = {
        {100, 299}, {381, 384}, {386, 399}, {441, 459}, {470, 470}, {472, 473}, {476, 476}, {478, 479},
        {481, 481}, {483, 488}, {510, 519}, {521, 528}, {530, 530}, {532, 534}, {536, 538}, {550, 559},
        {580, 589}, {591, 593}, {595, 598}, {602, 610}, {612, 618}, {620, 639}, {650, 689}, {692, 699},
        {710, 728}, {746, 749}, {751, 758}, {771, 772}, {774, 774}, {776, 776}, {778, 778}, {781, 783},
        {785, 785}, {787, 788}, {790, 799}, {851, 857}, {860, 868}, {881, 884}, {886, 887}, {889, 898},
        {920, 929}, {950, 954}, {956, 958}, {960, 977}, {979, 999}};
    QSet<int> expected;
    for (const auto &[low, high] : unknownRanges)
        for (int p = low; p <= high; ++p)
            expected.insert(p);
    QCOMPARE(expected.size(), 527);
    for (int p = 0; p < 1000; ++p)
        QVERIFY2((ean13::countryForPrefix(p) == ean13::UnknownCountry) == expected.contains(p), qPrintable(QString::number(p)));
}

void TestCore::analysisLinesAndColour_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("blue");
    QTest::newRow("empty") << u""_s << QStringList{LengthError} << false;
    QTest::newRow("non-digit") << u"48200000000x0"_s << QStringList{NonDigitError} << false;
    QTest::newRow("Ukraine") << u"4820000000000"_s
                             << QStringList{Correct, Separator, u"Страна-производитель: Украина."_s} << true;
    QTest::newRow("wrong check digit, still blue")
        << u"4820000000007"_s << QStringList{Wrong, Separator, u"Страна-производитель: Украина."_s} << true;
    QTest::newRow("UPC-A is always USA") << u"036000291452"_s
                                         << QStringList{Correct, Separator, u"Страна-производитель: США (Канада)."_s}
                                         << true;
    QTest::newRow("unknown ends in !.") << u"2000000000008"_s
                                        << QStringList{Correct, Separator, u"Страна-производитель: Не могу распознать!."_s}
                                        << true;
}

void TestCore::analysisLinesAndColour()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, lines);
    QFETCH(bool, blue);
    const ean13::Analysis a = ean13::analyse(code(entry));
    QCOMPARE(::lines(a), lines);
    QVERIFY(ean13::listColour(a) == (blue ? ean13::FindingsBlue : ean13::ErrorRed));
    QCOMPARE(Separator.size(), 58);
    QVERIFY(ean13::errorMessage(0).empty());
    QVERIFY(ean13::errorMessage(3).empty());
}

void TestCore::numberSetsAreRelated()
{
    QSet<QString> all;
    for (int d = 0; d < 10; ++d) {
        const QString a = fromView(ean13::pattern(ean13::NumberSet::A, d));
        const QString b = fromView(ean13::pattern(ean13::NumberSet::B, d));
        const QString c = fromView(ean13::pattern(ean13::NumberSet::C, d));
        QString inverted = a;
        for (QChar &ch : inverted)
            ch = ch == u'0' ? u'1' : u'0';
        QCOMPARE(c, inverted);                                         // C is A inverted
        QString backwards = c;
        std::reverse(backwards.begin(), backwards.end());
        QCOMPARE(b, backwards);                                        // B is C backwards
        QCOMPARE(a.count(u'1') % 2, 1);                                // A odd, B even
        QCOMPARE(b.count(u'1') % 2, 0);
        all << a << b << c;
    }
    QCOMPARE(all.size(), 30);
}

void TestCore::parity_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<QString>("sets");
    const char *const rows[] = {"aaaaaa", "aababb", "aabbab", "aabbba", "abaabb",
                                "abbaab", "abbbaa", "ababab", "ababba", "abbaba"};
    for (int d = 0; d < 10; ++d)
        QTest::addRow("first digit %d", d) << d << QString::fromLatin1(rows[d]);
}

void TestCore::parity()
{
    QFETCH(int, first);
    QFETCH(QString, sets);
    QCOMPARE(fromView(ean13::parity(first)), sets);
    // The encoder follows it: position 2..7 of first-digit d, each digit 0, in the named set.
    const ean13::Encoding e = ean13::encodeModules(code(QString::number(first) + u"000000000000"_s));
    for (int p = 0; p < 6; ++p) {
        const auto set = static_cast<ean13::NumberSet>(sets[p].toLatin1());
        QCOMPARE(QString::fromStdString(e.modules.substr(static_cast<std::size_t>(p * 7), 7)),
                 fromView(ean13::pattern(set, 0)));
    }
}

void TestCore::encode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("firstDigit");
    QTest::addColumn<QStringList>("groups");
    QTest::newRow("482 and ten zeros")
        << u"4820000000000"_s << u"4"_s
        << QStringList{u"0110111"_s, u"0011011"_s, u"0001101"_s, u"0001101"_s, u"0100111"_s, u"0100111"_s,
                       u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s};
    QTest::newRow("1234567890128")
        << u"1234567890128"_s << u"1"_s
        << QStringList{u"0010011"_s, u"0111101"_s, u"0011101"_s, u"0110001"_s, u"0000101"_s, u"0010001"_s,
                       u"1001000"_s, u"1110100"_s, u"1110010"_s, u"1100110"_s, u"1101100"_s, u"1001000"_s};
    QTest::newRow("thirteen zeros")
        << u"0000000000000"_s << u"0"_s
        << QStringList{u"0001101"_s, u"0001101"_s, u"0001101"_s, u"0001101"_s, u"0001101"_s, u"0001101"_s,
                       u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s};
    QTest::newRow("wrong check digit changes only the last group")
        << u"4820000000005"_s << u"4"_s
        << QStringList{u"0110111"_s, u"0011011"_s, u"0001101"_s, u"0001101"_s, u"0100111"_s, u"0100111"_s,
                       u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1001110"_s};
    QTest::newRow("empty") << u""_s << u""_s << QStringList{};
    QTest::newRow("letter at position 9: one group fewer")
        << u"48200000x0000"_s << u"4"_s
        << QStringList{u"0110111"_s, u"0011011"_s, u"0001101"_s, u"0001101"_s, u"0100111"_s, u"0100111"_s,
                       u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s};
    QTest::newRow("first a letter: the right half only")
        << u"x820000000000"_s << u"x"_s
        << QStringList{u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s, u"1110010"_s};
    QTest::newRow("short code: what there is") << u"482"_s << u"4"_s << QStringList{u"0110111"_s, u"0011011"_s};
}

void TestCore::encode()
{
    QFETCH(QString, code);
    QFETCH(QString, firstDigit);
    QFETCH(QStringList, groups);
    const ean13::Encoding e = ean13::encodeModules(::code(code));
    QCOMPARE(e.firstDigit ? QString::fromUcs4(&*e.firstDigit, 1) : QString(), firstDigit);
    QCOMPARE(QString::fromStdString(e.modules), groups.join(QString()));
    QVERIFY(!e.modules.empty() || groups.isEmpty());
}

void TestCore::digitOfGroup()
{
    for (int d = 0; d < 10; ++d)
        for (auto set : {ean13::NumberSet::A, ean13::NumberSet::B, ean13::NumberSet::C})
            QCOMPARE(ean13::digitOfGroup(ean13::pattern(set, d)), std::optional<int>(d));
    for (const char *junk : {"", "000000", "00000000", "1111111", "0000000", "000110x", "101"})
        QCOMPARE(ean13::digitOfGroup(junk), std::nullopt);
}

void TestCore::bytePathAgreesWithAnalysis()
{
    // The bulk path reads 13 bytes as words; near-digits on either side of '0'..'9' and every
    // position must come out as the character-by-character analysis says.
    QRandomGenerator rng(13);
    const char near[] = {'/', ':', '\x00', '\x7f', '\xb0', '\xb9', '\xf0', ' ', 'O', '9', '0'};
    for (int round = 0; round < 20000; ++round) {
        std::string entry(13, '0');
        for (char &c : entry)
            c = static_cast<char>('0' + rng.bounded(10));
        if (round % 2)
            entry[rng.bounded(13)] = near[rng.bounded(static_cast<int>(sizeof near))];
        const auto quick = ean13::verdictOfThirteenDigits(entry);
        const ean13::Analysis full = ean13::analyse(ean13::lists::codeFromUtf8(entry));
        QCOMPARE(quick.has_value(), full.accepted());
        if (quick) {
            QCOMPARE(quick->status, full.status);
            QCOMPARE(std::optional<int>(quick->expectedCheckDigit), full.expectedCheckDigit);
            QCOMPARE(quick->country, full.country);
        }
    }
    QVERIFY(!ean13::verdictOfThirteenDigits("482000000000"));     // 12 digits: padded, not here
    QVERIFY(!ean13::verdictOfThirteenDigits("48200000000000"));   // 14: cut, not here
}

void TestCore::textsNeedNoEscaping()
{
    // ean13 writes the program's texts into JSON as they are: they must stay free of quotes,
    // backslashes and control characters, and be valid UTF-8.
    QStringList texts;
    for (int p = 0; p < 1000; ++p) {
        texts << fromView(ean13::countryForPrefix(p));
        const std::string digits = QString::number(p).rightJustified(3, u'0').toStdString();
        texts << fromView(ean13::issuer(digits + "0000000000")) << fromView(ean13::issuer(digits + "00000"));
    }
    for (const QString &e : {u""_s, u"48200000x0000"_s, u"4820000000000"_s, u"4820000000001"_s})
        texts << lines(ean13::analyse(code(e)));
    for (std::string_view t : {ean13::NumberSystemError, ean13::BadUpcEError, ean13::NotUpcEError, ean13::UpcELengthError})
        texts << fromView(t);
    for (const QString &t : texts) {
        QVERIFY(!t.contains(u'"') && !t.contains(u'\\'));
        for (QChar c : t)
            QVERIFY(c.unicode() >= 0x20 && !c.isSurrogate());
        QCOMPARE(QString::fromUtf8(t.toUtf8()), t);
    }
}

void TestCore::gtinCheckDigit_data()
{
    QTest::addColumn<QByteArray>("gtin");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("kind");
    QTest::newRow("GTIN-8: weight 3 on the seventh digit") << QByteArray("96385074") << 4 << u"gtin-8"_s;
    QTest::newRow("GTIN-8, one in the seventh place") << QByteArray("00000017") << 7 << u"gtin-8"_s;
    QTest::newRow("GTIN-12: UPC-A") << QByteArray("036000291452") << 2 << u"gtin-12"_s;
    QTest::newRow("GTIN-13: the EAN-13 rule") << QByteArray("4820000000000") << 0 << u"gtin-13"_s;
    QTest::newRow("GTIN-13, all nines") << QByteArray("9999999999994") << 4 << u"gtin-13"_s;
    QTest::newRow("GTIN-14: the indicator weighs 3") << QByteArray("14820000000007") << 7 << u"gtin-14"_s;
    QTest::newRow("GTIN-14 with indicator 0: the GTIN-13's digit") << QByteArray("04820000000000") << 0 << u"gtin-14"_s;
}

void TestCore::gtinCheckDigit()
{
    QFETCH(QByteArray, gtin);
    QFETCH(int, expected);
    QFETCH(QString, kind);
    const std::string_view digits(gtin.constData(), static_cast<std::size_t>(gtin.size()));
    QCOMPARE(ean13::gtinCheckDigit(digits), expected);
    QCOMPARE(fromView(ean13::kindName(*ean13::kindOfLength(digits.size()))), kind);
    // For 13 digits the GS1 rule is the window's rule.
    if (gtin.size() == 13)
        QCOMPARE(std::optional<int>(expected), ean13::expectedCheckDigit(code(QString::fromLatin1(gtin))));
}

void TestCore::issuer_data()
{
    QTest::addColumn<QByteArray>("gtin");
    QTest::addColumn<QString>("issuer");
    const QString restrictedRegion = u"номер ограниченного обращения внутри региона"_s;
    const QString coupon = u"купон"_s;
    QTest::newRow("460: GS1 Russia") << QByteArray("4600000000008") << u"GS1 Россия"_s;
    QTest::newRow("469: GS1 Russia") << QByteArray("4690000000002") << u"GS1 Россия"_s;
    QTest::newRow("470: not Russia") << QByteArray("4700000000005") << u"GS1 Киргизия"_s;
    QTest::newRow("482: GS1 Ukraine") << QByteArray("4820000000000") << u"GS1 Украина"_s;
    QTest::newRow("978: Bookland") << QByteArray("9785000000007") << u"Bookland: ISBN (979-0: ISMN, ноты)"_s;
    QTest::newRow("979: Bookland") << QByteArray("9790000000001") << u"Bookland: ISBN (979-0: ISMN, ноты)"_s;
    QTest::newRow("977: ISSN") << QByteArray("9771234567898") << u"ISSN: периодические издания"_s;
    QTest::newRow("020: restricted") << QByteArray("0200000000004") << restrictedRegion;
    QTest::newRow("299: restricted") << QByteArray("2990000000004") << restrictedRegion;
    QTest::newRow("040: in-store") << QByteArray("0400000000008") << u"номер ограниченного обращения внутри компании (внутримагазинный)"_s;
    QTest::newRow("952: demonstrations") << QByteArray("9520000000004") << u"Глобальный офис GS1: номера для демонстраций и примеров"_s;
    QTest::newRow("980: refund receipts") << QByteArray("9800000000007") << u"квитанция возврата (тары)"_s;
    QTest::newRow("981: coupons, common currency") << QByteArray("9810000000003") << u"купон в общей валюте"_s;
    QTest::newRow("999: coupons") << QByteArray("9990000000009") << coupon;
    QTest::newRow("140: not issued") << QByteArray("1400000000004") << u"префикс не выдан GS1"_s;
    QTest::newRow("569: Iceland, as in the window's table") << QByteArray("5690000000003") << u"GS1 Исландия"_s;
    QTest::newRow("UPC-A: read with its 0") << QByteArray("036000291452") << u"GS1 США"_s;
    QTest::newRow("UPC-A 2...: restricted, as 02") << QByteArray("212345678903") << restrictedRegion;
    QTest::newRow("GTIN-14: after the indicator") << QByteArray("14820000000007") << u"GS1 Украина"_s;
    QTest::newRow("GTIN-8 0: inside a company") << QByteArray("01234565") << u"номер ограниченного обращения внутри компании (RCN-8)"_s;
    QTest::newRow("GTIN-8 2: inside a company") << QByteArray("21234569") << u"номер ограниченного обращения внутри компании (RCN-8)"_s;
    QTest::newRow("GTIN-8 460: GS1 Russia") << QByteArray("46012344") << u"GS1 Россия"_s;
    QTest::newRow("GTIN-8 960: the Global Office's GTIN-8") << QByteArray("96385074") << u"Глобальный офис GS1 (GTIN-8)"_s;
    QTest::newRow("GTIN-8 978: not for GTIN-8") << QByteArray("97812344") << u"префикс не выдан GS1"_s;
    // Where GS1's list of March 2025 differs from older lists.
    const QString reserve = u"Глобальный офис GS1: резерв для будущей организации GS1"_s;
    QTest::newRow("050: GS1 US's reserve, no longer coupons") << QByteArray("0500000000005") << u"GS1 США: резерв на будущее"_s;
    QTest::newRow("0000000: inside a company") << QByteArray("0000000123457") << u"номер ограниченного обращения внутри компании"_s;
    QTest::newRow("UPC-A 000000: the same") << QByteArray("000000123457") << u"номер ограниченного обращения внутри компании"_s;
    QTest::newRow("0000001-0000099: a GTIN-8's place") << QByteArray("0000009638501") << u"не используется: совпал бы с GTIN-8"_s;
    QTest::newRow("00001: GS1 US again") << QByteArray("0000100000009") << u"GS1 США"_s;
    QTest::newRow("984: no coupon prefix") << QByteArray("9840000000003") << u"префикс не выдан GS1"_s;
    QTest::newRow("390: no member yet") << QByteArray("3900000000000") << u"префикс не выдан GS1"_s;
    QTest::newRow("612: no member yet") << QByteArray("6120000000009") << u"префикс не выдан GS1"_s;
    QTest::newRow("894: kept for a future member") << QByteArray("8940000000001") << reserve;
    QTest::newRow("GTIN-8 960: GS1 UK") << QByteArray("96000007") << u"GS1 Великобритания (GTIN-8)"_s;
    QTest::newRow("GTIN-8 9625: GS1 Poland") << QByteArray("96250006") << u"GS1 Польша (GTIN-8)"_s;
    QTest::newRow("GTIN-8 9627: the Global Office") << QByteArray("96270004") << u"Глобальный офис GS1 (GTIN-8)"_s;
}

void TestCore::issuer()
{
    QFETCH(QByteArray, gtin);
    QFETCH(QString, issuer);
    QCOMPARE(fromView(ean13::issuer(std::string_view(gtin.constData(), static_cast<std::size_t>(gtin.size())))), issuer);
}

// Every prefix against GS1's list of March 2025 (tests/data/gs1-prefixes.tsv: first and last
// prefix, GS1's words, our text), and every three-digit prefix the list leaves out is not issued.
void TestCore::issuerOfEveryPrefix()
{
    QFile file(QStringLiteral(GS1_PREFIXES));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QSet<int> listed;   // three-digit prefixes, or those that longer ones begin with
    int ranges = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (line.startsWith(u'#'))
            continue;
        const QStringList f = line.split(u'\t');
        QCOMPARE(f.size(), 4);
        QCOMPARE(f[0].size(), f[1].size());
        ++ranges;
        for (qlonglong p = f[0].toLongLong(); p <= f[1].toLongLong(); ++p) {
            const QByteArray prefix = QByteArray::number(p).rightJustified(f[0].size(), '0');
            const QByteArray gtin = (prefix + QByteArray(13, '0')).left(13);
            QVERIFY2(fromView(ean13::issuer(std::string_view(gtin.constData(), 13))) == f[3],
                     qPrintable(u"%1 (%2): %3"_s.arg(QString::fromLatin1(prefix), f[2], fromView(ean13::issuer(gtin.toStdString())))));
            if (prefix.size() >= 3)
                listed.insert(prefix.left(3).toInt());
            else   // 99: 990 to 999
                for (int d = 0; d < 10; ++d)
                    listed.insert(prefix.toInt() * 10 + d);
        }
    }
    QCOMPARE(ranges, 149);
    for (int p = 0; p < 1000; ++p) {
        if (listed.contains(p))
            continue;
        const std::string gtin = QByteArray::number(p).rightJustified(3, '0').toStdString() + "0000000000";
        QVERIFY2(ean13::issuer(gtin) == ean13::UnassignedPrefix, gtin.c_str());
    }
}

void TestCore::gtinVerdictAndLines_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("kind");     // empty: none
    QTest::addColumn<int>("expected");     // -1: none
    QTest::addColumn<QString>("issuer");   // empty: none
    QTest::addColumn<QStringList>("lines");   // as the list would show them: no country for a GTIN
    const QString none;
    QTest::newRow("GTIN-8") << u"96385074"_s << u"ok"_s << u"gtin-8"_s << 4 << u"Глобальный офис GS1 (GTIN-8)"_s
                            << QStringList{Correct};
    QTest::newRow("GTIN-8, wrong check digit") << u"96385075"_s << u"bad-check-digit"_s << u"gtin-8"_s << 4
                                               << u"Глобальный офис GS1 (GTIN-8)"_s << QStringList{Wrong};
    QTest::newRow("GTIN-12") << u"036000291452"_s << u"ok"_s << u"gtin-12"_s << 2 << u"GS1 США"_s << QStringList{Correct};
    QTest::newRow("GTIN-13, wrong check digit") << u"4820000000001"_s << u"bad-check-digit"_s << u"gtin-13"_s << 0
                                                << u"GS1 Украина"_s << QStringList{Wrong};
    QTest::newRow("GTIN-14") << u"14820000000007"_s << u"ok"_s << u"gtin-14"_s << 7 << u"GS1 Украина"_s
                             << QStringList{Correct};
    QTest::newRow("a letter among 14") << u"1482000000000x"_s << u"non-digit"_s << none << -1 << none
                                       << QStringList{NonDigitError};
    QTest::newRow("full-width digits are no digits") << u"９６３８５０７４"_s << u"non-digit"_s << none << -1 << none
                                                     << QStringList{NonDigitError};
    QTest::newRow("9 digits: no GTIN has them") << u"123456789"_s << u"bad-length"_s << none << -1 << none
                                                << QStringList{LengthError};
    QTest::newRow("15 digits") << u"148200000000070"_s << u"bad-length"_s << none << -1 << none << QStringList{LengthError};
    QTest::newRow("empty") << u""_s << u"bad-length"_s << none << -1 << none << QStringList{LengthError};
}

void TestCore::gtinVerdictAndLines()
{
    QFETCH(QString, entry);
    QFETCH(QString, status);
    QFETCH(QString, kind);
    QFETCH(int, expected);
    QFETCH(QString, issuer);
    QFETCH(QStringList, lines);
    const std::u32string chars = entry.toStdU32String();
    const ean13::GtinVerdict v = ean13::gtinVerdict(chars);
    QCOMPARE(fromView(ean13::statusName(v.status)), status);
    QCOMPARE(v.kind ? fromView(ean13::kindName(*v.kind)) : QString(), kind);
    QCOMPARE(v.expectedCheckDigit.value_or(-1), expected);
    QCOMPARE(fromView(v.issuer), issuer);
    QStringList shown;
    ean13::forEachLine(v.status, {}, [&](std::string_view line) { shown << fromView(line); });
    QCOMPARE(shown, lines);
}

void TestCore::correctedCode_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("corrected");   // empty: none
    QTest::newRow("wrong check digit") << u"4820000000001"_s << u"4820000000000"_s;
    QTest::newRow("right already") << u"4006381333931"_s << u"4006381333931"_s;
    QTest::newRow("UPC-A: with its 0") << u"036000291450"_s << u"0036000291452"_s;
    QTest::newRow("non-digit: none") << u"48200000000x0"_s << QString();
    QTest::newRow("too short: none") << u"48200000000"_s << QString();
}

void TestCore::correctedCode()
{
    QFETCH(QString, entry);
    QFETCH(QString, corrected);
    const std::optional<ean13::Code> c = ean13::correctedCode(ean13::analyse(code(entry)));
    QCOMPARE(c ? text(*c) : QString(), corrected);
    if (c)
        QVERIFY(ean13::checkDigitOk(*c));
}

// Examples worked by hand from the zero-suppression rules, one or more for each last digit, and
// what cannot be suppressed.
void TestCore::upcE_data()
{
    QTest::addColumn<QString>("upcE");   // number system and six digits
    QTest::addColumn<QString>("upcA");   // the first eleven digits; empty: cannot be suppressed
    QTest::newRow("last 0: manufacturer xx000") << u"0123450"_s << u"01200000345"_s;
    QTest::newRow("last 1: manufacturer xx100") << u"0123451"_s << u"01210000345"_s;
    QTest::newRow("last 2: manufacturer xx200") << u"1123452"_s << u"11220000345"_s;
    QTest::newRow("last 3: manufacturer xxx00") << u"0123453"_s << u"01230000045"_s;
    QTest::newRow("last 4: manufacturer xxxx0") << u"0123454"_s << u"01234000005"_s;
    QTest::newRow("last 5") << u"0123455"_s << u"01234500005"_s;
    QTest::newRow("last 9") << u"0654329"_s << u"06543200009"_s;
    QTest::newRow("manufacturer 12000: rule 0 before 3") << u"1120050"_s << u"11200000005"_s;
}

void TestCore::upcE()
{
    QFETCH(QString, upcE);
    QFETCH(QString, upcA);
    QCOMPARE(QString::fromStdString(ean13::expandUpcE(upcE.toStdString()).value_or("")), upcA);
    QCOMPARE(QString::fromStdString(ean13::suppressUpcA(upcA.toStdString()).value_or("")), upcE);
}

// Every UPC-E number expands to a UPC-A number that suppresses to a UPC-E number expanding to the
// same UPC-A number; it comes back unchanged unless an earlier rule takes its UPC-A number (a last
// digit 3 after a third digit 0-2, 4 after a fourth digit 0, 5-9 after a fifth digit 0). Number systems other than 0 and 1
// and UPC-A numbers with the zeros elsewhere have no UPC-E form.
void TestCore::upcERoundTrip()
{
    for (int n = 0; n < 2000000; ++n) {
        const std::string e = QString::number(n).rightJustified(7, u'0').toStdString();
        const std::optional<std::string> a = ean13::expandUpcE(e);
        QVERIFY(a && a->size() == 11);
        const std::optional<std::string> back = ean13::suppressUpcA(*a);
        QVERIFY(back);
        QCOMPARE(ean13::expandUpcE(*back), a);
        const char last = e[6];
        const bool earlierRule = (last == '3' && e[3] <= '2') || (last == '4' && e[4] == '0')
                                 || (last >= '5' && e[5] == '0');
        if ((*back == e) == earlierRule)
            QFAIL(qPrintable(u"%1 comes back as %2"_s.arg(QString::fromStdString(e), QString::fromStdString(*back))));
    }
    QVERIFY(!ean13::expandUpcE("2123450"));
    QVERIFY(!ean13::expandUpcE("012345"));
    QVERIFY(!ean13::expandUpcE("01234x0"));
    QVERIFY(!ean13::suppressUpcA("01234512345"));
    QVERIFY(!ean13::suppressUpcA("21200000345"));
    QVERIFY(!ean13::suppressUpcA("0120000034"));
}

QTEST_APPLESS_MAIN(TestCore)
// An entry read as UPC-E: 8 digits carry their check digit, 7 and 6 have it worked out; the
// number system is 0 or 1, and 6 digits mean 0. Check digits from python-stdnum's ean module.
void TestCore::upcEEntry_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("upcA");   // empty: none
    QTest::addColumn<bool>("checkDigitGiven");
    QTest::newRow("8 digits, last 1") << u"04252614"_s << u"ok"_s << u"042100005264"_s << true;
    QTest::newRow("8 digits, wrong check digit kept") << u"04252619"_s << u"ok"_s << u"042100005269"_s << true;
    QTest::newRow("8 digits, last 3") << u"01234531"_s << u"ok"_s << u"012300000451"_s << true;
    QTest::newRow("8 digits, last 4") << u"01234543"_s << u"ok"_s << u"012340000053"_s << true;
    QTest::newRow("8 digits, last 9, number system 0") << u"06543297"_s << u"ok"_s << u"065432000097"_s << true;
    QTest::newRow("8 digits, number system 1") << u"11234520"_s << u"ok"_s << u"112200003450"_s << true;
    QTest::newRow("7 digits: number system and six") << u"0123455"_s << u"ok"_s << u"012345000058"_s << false;
    QTest::newRow("7 digits, number system 1") << u"1120050"_s << u"ok"_s << u"112000000055"_s << false;
    QTest::newRow("6 digits: number system 0") << u"425261"_s << u"ok"_s << u"042100005264"_s << false;
    QTest::newRow("6 digits beginning with 2: still 0") << u"212345"_s << u"ok"_s << u"021234000055"_s << false;
    QTest::newRow("8 digits, number system 2") << u"21234565"_s << u"bad-number-system"_s << QString() << false;
    QTest::newRow("7 digits, number system 9") << u"9123455"_s << u"bad-number-system"_s << QString() << false;
    QTest::newRow("last 3 after a third digit 0-2: the rule of 0") << u"0120003"_s << u"bad-upc-e"_s << QString() << false;
    QTest::newRow("last 4 after a fourth digit 0: the rule of 3") << u"01230047"_s << u"bad-upc-e"_s << QString() << false;
    QTest::newRow("last 5 after a fifth digit 0: the rule of 4") << u"612305"_s << u"bad-upc-e"_s << QString() << false;
    QTest::newRow("the same numbers, the right rule") << u"0120000"_s << u"ok"_s << u"012000000003"_s << false;
    QTest::newRow("5 digits") << u"12345"_s << u"bad-length"_s << QString() << false;
    QTest::newRow("9 digits") << u"012345678"_s << u"bad-length"_s << QString() << false;
    QTest::newRow("a letter") << u"0123x565"_s << u"non-digit"_s << QString() << false;
    QTest::newRow("full-width digits") << u"０１２３４５"_s << u"non-digit"_s << QString() << false;
}

void TestCore::upcEEntry()
{
    QFETCH(QString, entry);
    QFETCH(QString, status);
    QFETCH(QString, upcA);
    QFETCH(bool, checkDigitGiven);
    const ean13::UpcEEntry e = ean13::readUpcE(entry.toStdU32String());
    QCOMPARE(fromView(ean13::statusName(e.status)), status);
    QCOMPARE(QString::fromStdString(e.upcA), upcA);
    QCOMPARE(e.checkDigitGiven, checkDigitGiven);
    if (e.status == ean13::Status::Ok && !checkDigitGiven)   // a check digit worked out is right
        QCOMPARE(ean13::gtinCheckDigit(e.upcA), e.upcA.back() - '0');
}

void TestCore::upcEOfGtin13_data()
{
    QTest::addColumn<QString>("gtin");
    QTest::addColumn<QString>("upcE");   // empty: none
    QTest::newRow("last 1") << u"0042100005264"_s << u"04252614"_s;
    QTest::newRow("a wrong check digit goes along") << u"0042100005260"_s << u"04252610"_s;
    QTest::newRow("number system 1") << u"0112200003450"_s << u"11234520"_s;
    QTest::newRow("zeros in the wrong places") << u"0036000291452"_s << QString();
    QTest::newRow("number system 2") << u"0212200003450"_s << QString();
    QTest::newRow("not a UPC-A number") << u"4042100005264"_s << QString();
    QTest::newRow("12 digits") << u"042100005264"_s << QString();
}

void TestCore::upcEOfGtin13()
{
    QFETCH(QString, gtin);
    QFETCH(QString, upcE);
    QCOMPARE(QString::fromStdString(ean13::upcEOfGtin13(gtin.toStdString()).value_or("")), upcE);
}

// Worked with python-stdnum (isbn.to_isbn10, issn.calc_check_digit, ismn.to_ismn13).
void TestCore::bookTradeNumbers_data()
{
    QTest::addColumn<QString>("gtin");
    QTest::addColumn<QString>("isbn10");   // empty: none
    QTest::addColumn<QString>("issn");
    QTest::addColumn<QString>("ismn");
    const QString none;
    QTest::newRow("ISBN-10") << u"9780306406157"_s << u"0306406152"_s << none << none;
    QTest::newRow("ISBN-10 with X") << u"9780804429573"_s << u"080442957X"_s << none << none;
    QTest::newRow("ISBN-10, check digit 0") << u"9780000000002"_s << u"0000000000"_s << none << none;
    QTest::newRow("979 books: ISBN-13 only") << u"9791234567896"_s << none << none << none;
    QTest::newRow("ISSN, issue variant 00") << u"9770317847100"_s << none << u"03178471"_s << none;
    QTest::newRow("ISSN, issue variant 06") << u"9771443583061"_s << none << u"14435837"_s << none;
    QTest::newRow("ISSN with X") << u"9771000002004"_s << none << u"1000002X"_s << none;
    QTest::newRow("ISMN") << u"9790230671187"_s << none << none << u"M230671187"_s;
    QTest::newRow("ISMN, all zeros") << u"9790000000001"_s << none << none << u"M000000001"_s;
    QTest::newRow("another prefix") << u"4820000000000"_s << none << none << none;
    QTest::newRow("12 digits") << u"978030640615"_s << none << none << none;
    QTest::newRow("a letter") << u"978030640615X"_s << none << none << none;
}

void TestCore::bookTradeNumbers()
{
    QFETCH(QString, gtin);
    QFETCH(QString, isbn10);
    QFETCH(QString, issn);
    QFETCH(QString, ismn);
    const std::string g = gtin.toStdString();
    QCOMPARE(QString::fromStdString(ean13::isbn10Of(g).value_or("")), isbn10);
    QCOMPARE(QString::fromStdString(ean13::issnOf(g).value_or("")), issn);
    QCOMPARE(QString::fromStdString(ean13::ismnOf(g).value_or("")), ismn);
}

#include "tst_core.moc"
