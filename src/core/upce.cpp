#include "upce.h"

namespace ean13 {

namespace {

bool allDigits(std::string_view s) noexcept
{
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::optional<std::string> expandUpcE(std::string_view ns)
{
    if (ns.size() != 7 || !allDigits(ns) || (ns[0] != '0' && ns[0] != '1'))
        return std::nullopt;
    const std::string_view d = ns.substr(1);   // d[0..5] are d1..d6
    std::string upcA(1, ns[0]);
    switch (d[5]) {
    case '0': case '1': case '2':
        upcA.append(d.substr(0, 2)).append(1, d[5]).append("0000").append(d.substr(2, 3));
        break;
    case '3':
        upcA.append(d.substr(0, 3)).append("00000").append(d.substr(3, 2));
        break;
    case '4':
        upcA.append(d.substr(0, 4)).append("00000").append(1, d[4]);
        break;
    default:
        upcA.append(d.substr(0, 5)).append("0000").append(1, d[5]);
        break;
    }
    return upcA;
}

std::optional<std::string> suppressUpcA(std::string_view a)
{
    if (a.size() != 11 || !allDigits(a) || (a[0] != '0' && a[0] != '1'))
        return std::nullopt;
    const std::string_view m = a.substr(1, 5);   // manufacturer
    const std::string_view p = a.substr(6, 5);   // product
    std::string e(1, a[0]);
    if (m[2] <= '2' && m.substr(3) == "00" && p.substr(0, 2) == "00")
        e.append(m.substr(0, 2)).append(p.substr(2)).append(1, m[2]);
    else if (m.substr(3) == "00" && p.substr(0, 3) == "000")
        e.append(m.substr(0, 3)).append(p.substr(3)).append("3");
    else if (m[4] == '0' && p.substr(0, 4) == "0000")
        e.append(m.substr(0, 4)).append(1, p[4]).append("4");
    else if (p.substr(0, 4) == "0000" && p[4] >= '5')
        e.append(m).append(1, p[4]);
    else
        return std::nullopt;
    return e;
}

UpcEEntry readUpcE(std::u32string_view entry)
{
    UpcEEntry r;
    if (entry.size() < 6 || entry.size() > 8)
        return r;
    std::string digits;
    for (char32_t c : entry) {
        if (!isDigit(c)) {
            r.status = Status::NonDigit;
            return r;
        }
        digits += static_cast<char>(c);
    }
    if (digits.size() == 6)
        digits.insert(0, 1, '0');
    const std::optional<std::string> a = expandUpcE(std::string_view(digits).substr(0, 7));
    if (!a) {
        r.status = Status::BadNumberSystem;
        return r;
    }
    if (suppressUpcA(*a) != std::string_view(digits).substr(0, 7)) {
        r.status = Status::BadUpcE;
        return r;
    }
    r.status = Status::Ok;
    r.checkDigitGiven = digits.size() == 8;
    r.upcA = *a;
    r.upcA += r.checkDigitGiven ? digits[7] : static_cast<char>('0' + gtinCheckDigit(*a + '0'));
    return r;
}

std::optional<std::string> upcEOfGtin13(std::string_view d)
{
    if (d.size() != static_cast<std::size_t>(CodeLength) || d[0] != '0')
        return std::nullopt;
    std::optional<std::string> e = suppressUpcA(d.substr(1, 11));
    if (e)
        *e += d[12];
    return e;
}

} // namespace ean13
