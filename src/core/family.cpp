#include "family.h"

#include "ean13.h"
#include "symbol.h"

#include <array>

namespace ean13 {

namespace {

bool allDigits(std::string_view s) noexcept
{
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int value(char c) noexcept
{
    return c - '0';
}

// UPC-E: which of the six digits are in number set A and which in B, by the check digit, for
// number system 0; number system 1 takes the other set throughout (ISO/IEC 15420, the UPC-E
// table of number set combinations).
constexpr std::array<std::string_view, 10> UpcEParity = {"bbbaaa", "bbabaa", "bbaaba", "bbaaab", "babbaa",
                                                         "baabba", "baaabb", "bababa", "babaab", "baabab"};

// EAN-5 add-on: the sets by its checksum (ISO/IEC 15420, the 5-digit add-on's table).
constexpr std::array<std::string_view, 10> AddOn5Parity = {"bbaaa", "babaa", "baaba", "baaab", "abbaa",
                                                           "aabba", "aaabb", "ababa", "abaab", "aabab"};

// EAN-2 add-on: the sets by the value of its two digits modulo 4.
constexpr std::array<std::string_view, 4> AddOn2Parity = {"aa", "ab", "ba", "bb"};

NumberSet setOf(char letter) noexcept
{
    return letter == 'a' ? NumberSet::A : NumberSet::B;
}

std::string ean8Modules(std::string_view d)
{
    std::string m(NormalGuard);
    for (int i = 0; i < 4; ++i)
        m.append(pattern(NumberSet::A, value(d[static_cast<std::size_t>(i)])));
    m.append(CentreGuardPattern);
    for (int i = 4; i < 8; ++i)
        m.append(pattern(NumberSet::C, value(d[static_cast<std::size_t>(i)])));
    m.append(NormalGuard);
    return m;
}

std::string upcEModules(std::string_view d)
{
    if (d[0] != '0' && d[0] != '1')
        return {};
    const std::string_view parity = UpcEParity[static_cast<std::size_t>(value(d[7]))];
    std::string m(NormalGuard);
    for (std::size_t i = 0; i < 6; ++i) {
        const bool a = (parity[i] == 'a') == (d[0] == '0');
        m.append(pattern(a ? NumberSet::A : NumberSet::B, value(d[i + 1])));
    }
    m.append(UpcEEndGuard);
    return m;
}

} // namespace

std::string_view symbologyName(Symbology s) noexcept
{
    switch (s) {
    case Symbology::Ean13: return "ean13";
    case Symbology::UpcA: return "upca";
    case Symbology::Ean8: return "ean8";
    case Symbology::UpcE: return "upce";
    }
    return {};
}

std::optional<Symbology> symbologyOfName(std::string_view name) noexcept
{
    for (const Symbology s : {Symbology::Ean13, Symbology::UpcA, Symbology::Ean8, Symbology::UpcE})
        if (symbologyName(s) == name)
            return s;
    return std::nullopt;
}

int digitCount(Symbology s) noexcept
{
    switch (s) {
    case Symbology::Ean13: return 13;
    case Symbology::UpcA: return 12;
    case Symbology::Ean8: return 8;
    case Symbology::UpcE: return 8;
    }
    return 0;
}

std::string familyModules(Symbology s, std::string_view digits)
{
    if (digits.size() != static_cast<std::size_t>(digitCount(s)) || !allDigits(digits))
        return {};
    switch (s) {
    case Symbology::Ean13: return symbolModules(asciiCode(digits));
    case Symbology::UpcA: return symbolModules(asciiCode("0" + std::string(digits)));
    case Symbology::Ean8: return ean8Modules(digits);
    case Symbology::UpcE: return upcEModules(digits);
    }
    return {};
}

std::string addOnModules(std::string_view d)
{
    if ((d.size() != 2 && d.size() != 5) || !allDigits(d))
        return {};
    std::string_view parity;
    if (d.size() == 2) {
        parity = AddOn2Parity[static_cast<std::size_t>((value(d[0]) * 10 + value(d[1])) % 4)];
    } else {
        const int sum = 3 * (value(d[0]) + value(d[2]) + value(d[4])) + 9 * (value(d[1]) + value(d[3]));
        parity = AddOn5Parity[static_cast<std::size_t>(sum % 10)];
    }
    std::string m(AddOnStart);
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (i > 0)
            m.append(AddOnSeparator);
        m.append(pattern(setOf(parity[i]), value(d[i])));
    }
    return m;
}

} // namespace ean13
