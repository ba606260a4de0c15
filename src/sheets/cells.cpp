// Cell values as a spreadsheet shows them: numbers, dates and column names.
#include "cells.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace ean13::sheets {

bool looksLikeZip(std::string_view start) noexcept
{
    return start.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

int columnFromLetters(std::string_view letters) noexcept
{
    if (letters.empty() || letters.size() > 3)
        return 0;
    int column = 0;
    for (char c : letters) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            return 0;
        column = column * 26 + (c - 'A' + 1);
    }
    return column;
}

std::string numberText(std::string_view xml)
{
    while (!xml.empty() && (xml.front() == ' ' || xml.front() == '+'))
        xml.remove_prefix(1);
    while (!xml.empty() && xml.back() == ' ')
        xml.remove_suffix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(xml.data(), xml.data() + xml.size(), value);
    if (ec != std::errc() || end != xml.data() + xml.size() || !std::isfinite(value))
        return {};
    if (value == 0)
        return "0";
    // The shortest digits that give the same number back, then written out without exponent.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view sci(buffer, static_cast<std::size_t>(written.ptr - buffer));
    const std::size_t e = sci.find('e');
    std::string digits;
    bool negative = false;
    for (char c : sci.substr(0, e)) {
        if (c == '-')
            negative = true;
        else if (c != '.')
            digits += c;
    }
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    // Beyond these a spreadsheet writes an exponent too.
    if (exponent > 30 || exponent < -20)
        return std::string(sci);
    std::string text = negative ? "-" : "";
    const int pointAfter = exponent + 1;   // digits before the decimal point
    if (pointAfter <= 0) {
        text += "0." + std::string(static_cast<std::size_t>(-pointAfter), '0') + digits;
    } else if (static_cast<std::size_t>(pointAfter) >= digits.size()) {
        text += digits + std::string(static_cast<std::size_t>(pointAfter) - digits.size(), '0');
    } else {
        text += digits.substr(0, static_cast<std::size_t>(pointAfter)) + "." + digits.substr(static_cast<std::size_t>(pointAfter));
    }
    return text;
}

namespace {

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
void civilFromDays(long long z, long long &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

} // namespace

std::string dateFromSerial(std::string_view xml, bool date1904)
{
    double serial = 0;
    const auto [end, ec] = std::from_chars(xml.data(), xml.data() + xml.size(), serial);
    if (ec != std::errc() || end != xml.data() + xml.size() || !std::isfinite(serial) || serial < 0 || serial > 2958466)
        return numberText(xml);   // no date a spreadsheet shows
    long long seconds = std::llround(serial * 86400.0);
    long long days = seconds / 86400;
    seconds %= 86400;
    // Day 0 is 1899-12-30 (25569 days before 1970), 1904-01-01 in the 1904 system; in the 1900
    // system the days before 1 March 1900 count a 29 February that was never there.
    long long fromEpoch = date1904 ? days - 24107 : days - 25569;
    if (!date1904 && days < 61)
        fromEpoch += 1;
    char text[48];
    const int h = static_cast<int>(seconds / 3600), mi = static_cast<int>(seconds / 60 % 60), s = static_cast<int>(seconds % 60);
    if (days == 0 && !date1904) {   // a time of day alone
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", h, mi, s);
        return text;
    }
    long long y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(fromEpoch, y, m, d);
    if (!date1904 && days == 60) {
        m = 2;
        d = 29;
    }
    if (seconds == 0)
        std::snprintf(text, sizeof text, "%04lld-%02u-%02u", y, m, d);
    else
        std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02d:%02d:%02d", y, m, d, h, mi, s);
    return text;
}

bool isDateFormat(int id, std::string_view code)
{
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
        return true;
    if (id < 164)
        return false;
    // A code is a date's when it has a letter of a date or a time outside quoted text, escapes
    // and [colour] or [$-locale] sections.
    bool quoted = false;
    int bracket = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            ++bracket;
        } else if (c == ']') {
            bracket = bracket > 0 ? bracket - 1 : 0;
        } else if (bracket == 0 && (c == 'd' || c == 'D' || c == 'm' || c == 'M' || c == 'y' || c == 'Y' || c == 'h'
                                    || c == 'H' || c == 's' || c == 'S')) {
            return true;
        }
    }
    return false;
}

std::string isoDateTime(std::string_view value)
{
    std::string text(value.substr(0, 19));
    if (text.size() > 10 && text[10] == 'T')
        text[10] = ' ';
    if (text.size() == 19 && text.compare(10, 9, " 00:00:00") == 0)
        text.resize(10);
    return text;
}

} // namespace ean13::sheets
