#include "record.h"

#include "booktrade.h"
#include "upce.h"
#include "utf8.h"

#include <algorithm>
#include <charconv>

namespace ean13::cli {

using namespace ean13::lists;

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

// ---- Writing ------------------------------------------------------------------------------

namespace {

void putNumber(Output &out, long long n)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.put(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void writeTextOrigin(Output &out, const Origin *origin)
{
    if (!origin)
        return;
    appendTextString(out, origin->source);
    if (origin->line > 0) {
        out.put(':');
        putNumber(out, origin->line);
    }
    out.put('\t');
}

void writeJsonOrigin(Output &out, const Origin *origin)
{
    if (!origin)
        return;
    if (!origin->source.empty()) {
        out.put("\"source\":\"");
        appendJsonString(out, origin->source);
        out.put("\",");
    }
    if (origin->line > 0) {
        out.put("\"line\":");
        putNumber(out, origin->line);
        out.put(',');
    }
}

constexpr std::string_view Ellipsis = "…";

template <class Visit>
void forEachLineOf(const Checked &c, Visit &&visit)
{
    if (c.status == Status::BadLength && !c.lengthError.empty())
        visit(c.lengthError);
    else
        forEachLine(c.status, c.country, std::forward<Visit>(visit));
}

void putField(Output &out, std::string_view name, std::string_view value)
{
    out.put(",\"");
    out.put(name);
    out.put("\":\"");
    out.put(value);
    out.put('"');
}

// The same number in the other forms it is known by: a UPC-A number (a 13-digit code beginning
// with 0) and its zero-suppressed UPC-E form, and for a correct code of the book trade its ISBN-10,
// ISSN or ISMN. The book numbers have check digits of their own, so a wrong EAN check digit,
// which says some digit is wrong, gives none.
void writeOtherForms(Output &out, const Checked &c)
{
    if (c.codeSize != CodeLength)
        return;
    char buffer[EntryChars::Kept];
    const std::string_view digits = digitsOf(c, buffer);
    if (digits[0] == '0') {
        putField(out, "upc_a", digits.substr(1));
        if (const auto e = upcEOfGtin13(digits))
            putField(out, "upc_e", *e);
    }
    if (c.status != Status::Ok)
        return;
    if (const auto isbn = isbn10Of(digits))
        putField(out, "isbn10", *isbn);
    else if (const auto issn = issnOf(digits))
        putField(out, "issn", *issn);
    else if (const auto ismn = ismnOf(digits))
        putField(out, "ismn", *ismn);
}

} // namespace

void writeTextRecord(Output &out, const Checked &c, const Origin *origin, std::string_view note, const Symbol *symbol)
{
    writeTextOrigin(out, origin);
    for (int i = 0; i < c.codeSize; ++i) {
        const char32_t ch = c.code[static_cast<std::size_t>(i)];
        if (isDigit(ch))
            out.put(static_cast<char>(ch));
        else
            appendTextChar(out, ch);
    }
    if (c.cut)
        out.put(Ellipsis);
    if (symbol && !symbol->addon.empty()) {
        out.put('+');
        out.put(symbol->addon);   // digits, from the reader
    }
    out.put('\t');
    out.put(statusName(c.status));
    out.put('\t');
    if (c.accepted()) {
        out.put(static_cast<char>('0' + *c.expectedCheckDigit));
        out.put('\t');
        out.put(c.country.empty() ? c.issuer : c.country);
    } else {
        out.put("-\t");
        forEachLineOf(c, [&out](std::string_view line) { out.put(line); });   // the one error line
    }
    if (!note.empty()) {
        out.put('\t');
        appendTextString(out, note);
    }
    out.put('\n');
    out.flushIfFull();
}

void writeTextRecord(Output &out, std::string_view digits, const Verdict &v, const Origin *origin)
{
    writeTextOrigin(out, origin);
    // The whole record in one piece: 13 digits, status, check digit and country, under 100 bytes.
    char record[128];
    char *p = std::copy(digits.begin(), digits.end(), record);
    *p++ = '\t';
    const std::string_view status = statusName(v.status);
    p = std::copy(status.begin(), status.end(), p);
    *p++ = '\t';
    *p++ = static_cast<char>('0' + v.expectedCheckDigit);
    *p++ = '\t';
    p = std::copy(v.country.begin(), v.country.end(), p);
    *p++ = '\n';
    out.put(std::string_view(record, static_cast<std::size_t>(p - record)));
    out.flushIfFull();
}

void beginJsonRecord(Output &out, const Origin *origin)
{
    out.put('{');
    writeJsonOrigin(out, origin);
    out.put("\"entry\":\"");
}

void endJsonRecord(Output &out, const Checked &c, std::string_view note, const Symbol *symbol)
{
    out.put("\",\"code\":\"");
    for (int i = 0; i < c.codeSize; ++i)
        appendJsonChar(out, c.code[static_cast<std::size_t>(i)]);
    out.put("\",\"status\":\"");
    out.put(statusName(c.status));
    out.put("\",\"colour\":\"");
    out.put(c.accepted() ? "blue" : "red");
    out.put("\",\"lines\":[");
    bool first = true;
    // What the window's results list would show, one line at a time.
    forEachLineOf(c, [&](std::string_view line) {
        if (!first)
            out.put(',');
        first = false;
        out.put('"');
        out.put(line);   // the program's own texts: UTF-8 with nothing to escape
        out.put('"');
    });
    out.put("],\"picture\":");
    out.put(c.pictureOffered() ? "true" : "false");
    if (c.kind) {
        out.put(",\"kind\":\"");
        out.put(kindName(*c.kind));
        out.put('"');
    }
    if (c.accepted()) {
        out.put(",\"expected_check_digit\":");
        out.put(static_cast<char>('0' + *c.expectedCheckDigit));
        if (!c.country.empty()) {
            out.put(",\"country\":\"");
            out.put(c.country);
            out.put('"');
        }
        out.put(",\"issuer\":\"");
        out.put(c.issuer);
        out.put('"');
        writeOtherForms(out, c);
        if (c.codeSize == CodeLength) {
            Code code;
            for (int i = 0; i < c.codeSize; ++i)
                code.append(c.code[static_cast<std::size_t>(i)]);
            const Encoding e = encodeModules(code);
            out.put(",\"first_digit\":\"");
            out.put(static_cast<char>(*e.firstDigit));
            out.put("\",\"modules\":\"");
            out.put(e.modules);
            out.put('"');
        }
    }
    if (!note.empty()) {
        out.put(",\"note\":\"");
        appendJsonString(out, note);
        out.put('"');
    }
    if (symbol) {
        out.put(",\"symbology\":\"");
        out.put(symbol->symbology);
        out.put('"');
        if (!symbol->addon.empty()) {
            out.put(",\"addon\":\"");
            out.put(symbol->addon);
            out.put('"');
        }
    }
    out.put("}\n");
    out.flushIfFull();
}

void writeJsonRecord(Output &out, const Checked &c, std::string_view entry, const Origin *origin, std::string_view note,
                     const Symbol *symbol)
{
    beginJsonRecord(out, origin);
    appendJsonString(out, entry);
    endJsonRecord(out, c, note, symbol);
}

void writeMissingColumn(Output &out, Format format, std::string_view column, const Origin *origin)
{
    if (format == Format::Text) {
        writeTextOrigin(out, origin);
        out.put('\t');
        out.put(MissingColumnStatus);
        out.put("\t-\t");
        out.put("В записи нет столбца «");
        appendTextString(out, column);
        out.put("».\n");
    } else {
        out.put('{');
        writeJsonOrigin(out, origin);
        out.put("\"status\":\"");
        out.put(MissingColumnStatus);
        out.put("\",\"column\":\"");
        appendJsonString(out, column);
        out.put("\"}\n");
    }
    out.flushIfFull();
}

} // namespace ean13::cli
