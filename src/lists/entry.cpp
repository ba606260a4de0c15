#include "entry.h"

#include "utf8.h"

#include <algorithm>

namespace ean13::lists {

namespace {

Code codeOf(const EntryChars &e, int n)
{
    Code code;
    for (int i = 0; i < n; ++i)
        code.append(e[i]);
    return code;
}

// The window's analysis of a code of at most 13 characters.
Checked byTheWindowsRules(const Code &cut)
{
    const Analysis a = analyse(cut);
    Checked c;
    c.status = a.status;
    std::copy(a.entry.code.begin(), a.entry.code.end(), c.code.begin());
    c.codeSize = a.entry.code.size();
    c.padded = a.entry.padded;
    if (a.accepted()) {
        c.expectedCheckDigit = a.expectedCheckDigit;
        c.country = a.country;
        char digits[CodeLength];
        std::copy(a.entry.code.begin(), a.entry.code.end(), digits);   // all ASCII digits here
        c.issuer = issuer(std::string_view(digits, CodeLength));
    }
    return c;
}

} // namespace

Checked checkEntry(const EntryChars &e, const Rules &rules)
{
    if (rules.asTyped)   // the cut is part of the window's rule, not a fault of the entry
        return byTheWindowsRules(codeOf(e, std::min(e.kept(), CodeLength)));

    const long long length = e.length();
    if (length <= CodeLength && (!rules.gtin || length == UpcLength || length == CodeLength)) {
        Checked c = byTheWindowsRules(codeOf(e, static_cast<int>(length)));
        if (rules.gtin && c.accepted())
            c.kind = length == UpcLength ? Kind::Gtin12 : Kind::Gtin13;
        return c;
    }

    Checked c;
    const int shown = rules.gtin ? EntryChars::Kept : CodeLength;
    c.codeSize = std::min(e.kept(), shown);
    for (int i = 0; i < c.codeSize; ++i)
        c.code[static_cast<std::size_t>(i)] = e[i];
    c.cut = length > c.codeSize;
    if (!rules.gtin || c.cut) {
        c.status = Status::BadLength;
        return c;
    }
    const GtinVerdict v = gtinVerdict(std::u32string_view(c.code.data(), static_cast<std::size_t>(c.codeSize)));
    c.status = v.status;
    c.kind = v.kind;
    c.expectedCheckDigit = v.expectedCheckDigit;
    c.issuer = v.issuer;
    return c;
}

Checked checkEntry(std::string_view utf8, const Rules &rules)
{
    EntryChars e(rules.clean);
    forEachChar(utf8, [&e](char32_t ch) { e.add(ch); });
    return checkEntry(e, rules);
}

std::optional<Checked> checkThirteenDigits(std::string_view entry)
{
    const auto v = verdictOfThirteenDigits(entry);
    if (!v)
        return std::nullopt;
    Checked c;
    c.status = v->status;
    std::copy(entry.begin(), entry.end(), c.code.begin());
    c.codeSize = CodeLength;
    c.expectedCheckDigit = v->expectedCheckDigit;
    c.country = v->country;
    c.issuer = issuer(entry);
    return c;
}

} // namespace ean13::lists
