#include "ean13.h"

#include <algorithm>
#include <cstring>

namespace ean13 {

// ---- Code ---------------------------------------------------------------------------------

Code Code::fromUtf8(std::string_view text) noexcept
{
    Code code;
    if (text.size() >= static_cast<std::size_t>(CodeLength)) {
        // The bulk case, thirteen ASCII characters or more: fixed-length loops without branches,
        // which the compiler turns into a few vector instructions.
        unsigned high = 0;
        for (int i = 0; i < CodeLength; ++i)
            high |= static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        if (high < 0x80) {
            for (int i = 0; i < CodeLength; ++i)
                code.m_chars[static_cast<std::size_t>(i)] = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
            code.m_size = CodeLength;
            return code;
        }
    }
    const std::size_t ascii = std::min<std::size_t>(text.size(), CodeLength);
    std::size_t i = 0;
    for (; i < ascii; ++i) {   // ASCII needs no decoder
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80)
            break;
        code.m_chars[i] = byte;
    }
    code.m_size = static_cast<int>(i);
    Utf8Decoder decoder;
    auto add = [&code](char32_t c) { code.append(c); };
    for (; i < text.size(); ++i) {
        if (code.full())
            return code;   // nothing past the 13th character matters
        decoder.feed(static_cast<unsigned char>(text[i]), add);
    }
    decoder.flush(add);
    return code;
}

Code Code::fromUtf16(std::u16string_view text) noexcept
{
    Code code;
    for (std::size_t i = 0; i < text.size() && !code.full(); ++i) {
        const char32_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code.append(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else {
            code.append(unit);   // a lone surrogate is a character too, and no digit
        }
    }
    return code;
}

void Code::prependZero() noexcept
{
    if (full())
        return;
    for (int i = m_size; i > 0; --i)
        m_chars[static_cast<std::size_t>(i)] = m_chars[static_cast<std::size_t>(i - 1)];
    m_chars[0] = U'0';
    ++m_size;
}

bool Code::allDigits() const noexcept
{
    bool all = true;
    for (char32_t c : *this)
        all &= isDigit(c);   // no early exit: the loop stays branch-free
    return all;
}

int encodeUtf8(char32_t c, char *out) noexcept
{
    if (isEscapedByte(c)) {
        out[0] = static_cast<char>(c - EscapedByteBase);
        return 1;
    }
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

std::string Code::toUtf8() const
{
    std::string out;
    char bytes[4];
    for (char32_t c : *this)
        out.append(bytes, static_cast<std::size_t>(encodeUtf8(c, bytes)));
    return out;
}

// ---- Normalising and the check digit ------------------------------------------------------

Normalised normalise(Code cut) noexcept
{
    Normalised n{cut, false};
    if (cut.size() == UpcLength) {
        n.code.prependZero();
        n.padded = true;
    }
    return n;
}

namespace {

// The rules below read a code as thirteen characters, held either in a Code or, for the bulk case
// of the command-line analyser, still in the bytes of its line.
char32_t charAt(const Code &code, int i) noexcept { return code[i]; }
char32_t charAt(std::string_view text, int i) noexcept { return static_cast<unsigned char>(text[static_cast<std::size_t>(i)]); }

// allDigits() for thirteen characters: a fixed count with no early exit, which the compiler
// turns into a few vector instructions.
template <class Chars>
bool allThirteenDigits(const Chars &code) noexcept
{
    unsigned bad = 0;
    for (int i = 0; i < CodeLength; ++i)
        bad |= static_cast<unsigned>(static_cast<std::uint32_t>(charAt(code, i) - U'0') > 9);
    return bad == 0;
}

// The same for bytes, eight at a time: every byte 0x30..0x39 when its high nibble is 3 and adding 6
// does not carry out of its low nibble. (Where the first test fails the second may carry across
// bytes; it does not matter, the answer is no either way.)
bool eightDigits(std::uint64_t v) noexcept
{
    constexpr std::uint64_t High = 0xF0F0F0F0F0F0F0F0u;
    constexpr std::uint64_t Threes = 0x3030303030303030u;
    return (v & High) == Threes && ((v + 0x0606060606060606u) & High) == Threes;
}

bool allThirteenDigits(std::string_view text) noexcept
{
    std::uint64_t first;
    std::uint64_t last;
    std::memcpy(&first, text.data(), 8);
    std::memcpy(&last, text.data() + CodeLength - 8, 8);   // overlaps the first: 13 bytes in two loads
    return eightDigits(first) && eightDigits(last);
}

// For thirteen digits only.
template <class Chars>
int checkDigitOf(const Chars &code) noexcept
{
    int weightOne = 0;
    int weightThree = 0;
    for (int i = 0; i < UpcLength; i += 2) {
        weightOne += digitValue(charAt(code, i));
        weightThree += digitValue(charAt(code, i + 1));
    }
    return (10 - (weightOne + 3 * weightThree) % 10) % 10;
}

// The same for thirteen ASCII digits, with the digits of odd and of even positions summed as
// 16-bit lanes of two 64-bit words instead of one by one.
int checkDigitOf(std::string_view digits) noexcept
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return checkDigitOf<std::string_view>(digits);   // the lanes below assume little-endian words
#else
    constexpr std::uint64_t Threes = 0x3030303030303030u;
    constexpr std::uint64_t Lanes = 0x00FF00FF00FF00FFu;
    constexpr std::uint64_t SumLanes = 0x0001000100010001u;   // the top lane collects all four
    std::uint64_t first;   // positions 1..8
    std::uint64_t rest;    // positions 9..12, and 13 shifted out
    std::memcpy(&first, digits.data(), 8);
    std::memcpy(&rest, digits.data() + 5, 8);
    first -= Threes;
    rest = ((rest - Threes) >> 24) & 0xFFFFFFFFu;
    // Little-endian bytes: the lowest byte is position 1, so even bytes hold the odd positions.
    std::uint64_t odd = (first & Lanes) + (rest & Lanes);
    std::uint64_t even = ((first >> 8) & Lanes) + ((rest >> 8) & Lanes);
    const int weightOne = static_cast<int>((odd * SumLanes) >> 48);
    const int weightThree = static_cast<int>((even * SumLanes) >> 48);
    return (10 - (weightOne + 3 * weightThree) % 10) % 10;
#endif
}

template <class Chars>
int prefixOf(const Chars &code) noexcept
{
    return digitValue(charAt(code, 0)) * 100 + digitValue(charAt(code, 1)) * 10 + digitValue(charAt(code, 2));
}

} // namespace

std::optional<int> expectedCheckDigit(const Code &code) noexcept
{
    if (!code.full() || !code.allDigits())
        return std::nullopt;
    return checkDigitOf(code);
}

bool checkDigitOk(const Code &code) noexcept
{
    const auto expected = expectedCheckDigit(code);
    return expected && *expected == digitValue(code[CodeLength - 1]);
}

// ---- Country of origin --------------------------------------------------------------------

namespace {

struct PrefixRule
{
    int digits;   // 2 or 3: which prefix the rule reads
    int low, high;
    std::string_view text;
};

// Tried in this order; the first that holds decides. The two-digit ranges come first and
// beat every three-digit row; the exact three-digit rows come before the exact two-digit
// ones (569 is Iceland, 560..568 Portugal); 978 is tried last of all.
constexpr PrefixRule Rules[] = {
    {2, 0, 9, "США (Канада)"},
    {2, 30, 37, "Франция"},
    {2, 80, 83, "Италия"},
    {2, 90, 91, "Австрия"},
    {3, 400, 440, "Германия"},
    {3, 460, 469, "Страны СНГ"},
    {3, 600, 601, "ЮАР"},
    {3, 690, 691, "Китай"},
    {3, 740, 745, "Центральная Америка"},
    {3, 380, 380, "Болгария"},
    {3, 385, 385, "Хорватия"},
    {3, 482, 482, "Украина"},
    {3, 471, 471, "Тайвань"},
    {3, 474, 474, "Эстония"},
    {3, 475, 475, "Латвия"},
    {3, 477, 477, "Литва"},
    {3, 480, 480, "Филиппины"},
    {3, 489, 489, "Гонконг"},
    {3, 520, 520, "Греция"},
    {3, 529, 529, "Кипр"},
    {3, 531, 531, "Македония"},
    {3, 535, 535, "Мальта"},
    {3, 539, 539, "Ирландия"},
    {3, 569, 569, "Исландия"},
    {3, 590, 590, "Польша"},
    {3, 594, 594, "Румыния"},
    {3, 599, 599, "Венгрия"},
    {3, 611, 611, "Марокко"},
    {3, 619, 619, "Тунис"},
    {3, 729, 729, "Израиль"},
    {3, 750, 750, "Мексика"},
    {3, 759, 759, "Венесуэла"},
    {3, 770, 770, "Колумбия"},
    {3, 773, 773, "Уругвай"},
    {3, 775, 775, "Перу"},
    {3, 777, 777, "Боливия"},
    {3, 779, 779, "Аргентина"},
    {3, 780, 780, "Чили"},
    {3, 784, 784, "Парагвай"},
    {3, 786, 786, "Эквадор"},
    {3, 789, 789, "Бразилия"},
    {3, 850, 850, "Куба"},
    {3, 858, 858, "Словакия"},
    {3, 859, 859, "Чехия"},
    {3, 869, 869, "Турция"},
    {3, 880, 880, "Южная Корея"},
    {3, 885, 885, "Таиланд"},
    {3, 888, 888, "Сингапур"},
    {3, 899, 899, "Индонезия"},
    {3, 955, 955, "Малайзия"},
    {3, 959, 959, "Папуа-Новая Гвинея"},
    {2, 49, 49, "Япония"},
    {2, 50, 50, "Великобритания"},
    {2, 54, 54, "Бельгия"},
    {2, 56, 56, "Португалия"},
    {2, 57, 57, "Дания"},
    {2, 64, 64, "Финляндия"},
    {2, 70, 70, "Норвегия"},
    {2, 73, 73, "Швеция"},
    {2, 76, 76, "Швейцария"},
    {2, 84, 84, "Испания"},
    {2, 87, 87, "Голландия"},
    {2, 93, 93, "Австралия"},
    {2, 94, 94, "Новая Зеландия"},
    {3, 978, 978, "Россия (точно не уверен!)"},
};
static_assert(std::size(Rules) == 65);

constexpr std::string_view byRules(int prefix3) noexcept
{
    for (const PrefixRule &rule : Rules) {
        const int prefix = rule.digits == 2 ? prefix3 / 10 : prefix3;
        if (prefix >= rule.low && prefix <= rule.high)
            return rule.text;
    }
    return UnknownCountry;
}

// The answer depends on the first three digits alone, so the rules are run once per prefix,
// at compile time, and a lookup is one index.
struct CountryTable
{
    std::string_view byPrefix[1000];
};
constexpr CountryTable makeCountryTable() noexcept
{
    CountryTable t{};
    for (int p = 0; p < 1000; ++p)
        t.byPrefix[p] = byRules(p);
    return t;
}
constexpr CountryTable Countries = makeCountryTable();

} // namespace

std::string_view countryForPrefix(int threeDigitPrefix) noexcept
{
    if (threeDigitPrefix < 0 || threeDigitPrefix > 999)
        return UnknownCountry;
    return Countries.byPrefix[threeDigitPrefix];
}

std::string_view country(const Code &code) noexcept
{
    if (code.size() < 3 || !isDigit(code[0]) || !isDigit(code[1]) || !isDigit(code[2]))
        return UnknownCountry;
    return countryForPrefix(prefixOf(code));
}

// ---- The analysis and what the list shows -------------------------------------------------

std::string_view statusName(Status s) noexcept
{
    switch (s) {
    case Status::Ok: return "ok";
    case Status::BadCheckDigit: return "bad-check-digit";
    case Status::BadLength: return "bad-length";
    case Status::NonDigit: return "non-digit";
    }
    return {};
}

namespace {

template <class Chars>
Verdict verdictOf(const Chars &digits) noexcept
{
    const int expected = checkDigitOf(digits);
    const bool ok = expected == digitValue(charAt(digits, CodeLength - 1));
    return {ok ? Status::Ok : Status::BadCheckDigit, expected, Countries.byPrefix[prefixOf(digits)]};
}

} // namespace

Analysis analyse(const Code &cut) noexcept
{
    Analysis a;
    a.entry = normalise(cut);
    const Code &code = a.entry.code;
    if (!code.full()) {
        a.status = Status::BadLength;
    } else if (!allThirteenDigits(code)) {
        a.status = Status::NonDigit;
    } else {
        const Verdict v = verdictOf(code);
        a.status = v.status;
        a.expectedCheckDigit = v.expectedCheckDigit;
        a.country = v.country;
    }
    return a;
}

std::optional<Verdict> verdictOfThirteenDigits(std::string_view entry) noexcept
{
    if (entry.size() != static_cast<std::size_t>(CodeLength) || !allThirteenDigits(entry))
        return std::nullopt;
    return verdictOf(entry);
}

std::string_view errorMessage(int kind) noexcept
{
    switch (kind) {
    case static_cast<int>(ErrorKind::Length): return "ОШИБКА! Длинна введенного кода отличается от 12-13!";
    case static_cast<int>(ErrorKind::NonDigit): return "ОШИБКА! В коде присутствуют символы отличные от цифр!";
    default: return {};
    }
}

std::string_view checkDigitVerdict(bool ok) noexcept
{
    return ok ? "Контрольная сумма в коде корректна!" : "ВНИМАНИЕ! В коде некорректна контрольная сумма!";
}

std::string countryLine(std::string_view countryText)
{
    constexpr std::string_view prefix = "Страна-производитель: ";
    std::string line;
    line.reserve(prefix.size() + countryText.size() + 1);
    line.append(prefix).append(countryText).append(".");
    return line;
}

Rgb listColour(const Analysis &a) noexcept
{
    return a.accepted() ? FindingsBlue : ErrorRed;
}

// ---- Number sets, parity and the module string --------------------------------------------

namespace {

constexpr std::string_view SetA[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                       "0110001", "0101111", "0111011", "0110111", "0001011"};
constexpr std::string_view SetB[10] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                                       "0111001", "0000101", "0010001", "0001001", "0010111"};
constexpr std::string_view SetC[10] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                                       "1001110", "1010000", "1000100", "1001000", "1110100"};
constexpr std::string_view Parity[10] = {"aaaaaa", "aababb", "aabbab", "aabbba", "abaabb",
                                         "abbaab", "abbbaa", "ababab", "ababba", "abbaba"};

} // namespace

std::string_view pattern(NumberSet set, int digit) noexcept
{
    if (digit < 0 || digit > 9)
        return {};
    switch (set) {
    case NumberSet::A: return SetA[digit];
    case NumberSet::B: return SetB[digit];
    case NumberSet::C: return SetC[digit];
    }
    return {};
}

std::string_view parity(int firstDigit) noexcept
{
    return firstDigit >= 0 && firstDigit <= 9 ? Parity[firstDigit] : std::string_view{};
}

std::optional<int> digitOfGroup(std::string_view group) noexcept
{
    for (int d = 0; d < 10; ++d)
        if (group == SetA[d] || group == SetB[d] || group == SetC[d])
            return d;
    return std::nullopt;
}

Encoding encodeModules(const Code &code)
{
    Encoding e;
    e.modules.reserve(ModuleCount);
    if (code.empty())
        return e;
    e.firstDigit = code[0];
    const std::string_view sets = isDigit(code[0]) ? parity(digitValue(code[0])) : std::string_view{};
    for (int p = 1; p <= HalfGroups && p < code.size(); ++p)
        if (!sets.empty() && isDigit(code[p]))
            e.modules.append(pattern(static_cast<NumberSet>(sets[static_cast<std::size_t>(p - 1)]), digitValue(code[p])));
    for (int p = HalfGroups + 1; p < code.size(); ++p)
        if (isDigit(code[p]))
            e.modules.append(pattern(NumberSet::C, digitValue(code[p])));
    return e;
}

} // namespace ean13
