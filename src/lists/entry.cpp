#include "entry.h"

#include "booktrade.h"
#include "upce.h"
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

std::string_view digitsOf(const Checked &c, char (&digits)[EntryChars::Kept])
{
    std::copy(c.code.begin(), c.code.begin() + c.codeSize, digits);   // accepted: all ASCII digits
    return std::string_view(digits, static_cast<std::size_t>(c.codeSize));
}

// --upce: 6 to 8 digits are a UPC-E number and stand for the UPC-A number they expand to; 12 and
// 13 digits are analysed as usual, and refused if they have no UPC-E form.
Checked checkAsUpcE(const EntryChars &e)
{
    const long long length = e.length();
    if (length >= 6 && length <= 8) {
        std::u32string entry;
        for (int i = 0; i < e.kept(); ++i)
            entry += e[i];
        const UpcEEntry upcE = readUpcE(entry);
        if (upcE.status == Status::Ok) {
            Code upcA;
            for (char d : upcE.upcA)
                upcA.append(static_cast<unsigned char>(d));
            return byTheWindowsRules(upcA);
        }
        Checked c;
        c.status = upcE.status;
        std::copy(entry.begin(), entry.end(), c.code.begin());
        c.codeSize = static_cast<int>(entry.size());
        return c;
    }
    Checked c;
    if (length == UpcLength || length == CodeLength) {
        c = byTheWindowsRules(codeOf(e, static_cast<int>(length)));
        char digits[EntryChars::Kept];
        if (c.accepted() && !upcEOfGtin13(digitsOf(c, digits))) {
            const Checked refused = c;
            c = Checked{};
            c.status = Status::NotUpcE;
            c.code = refused.code;
            c.codeSize = refused.codeSize;
            c.padded = refused.padded;
        }
        return c;
    }
    c.codeSize = std::min(e.kept(), CodeLength);
    for (int i = 0; i < c.codeSize; ++i)
        c.code[static_cast<std::size_t>(i)] = e[i];
    c.cut = length > c.codeSize;
    c.lengthError = UpcELengthError;   // the window's message names 12 and 13 only
    return c;
}

} // namespace

Checked checkEntry(const EntryChars &e, const Rules &rules)
{
    if (rules.upce)
        return checkAsUpcE(e);
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
