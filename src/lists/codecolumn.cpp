#include "codecolumn.h"

#include "input.h"
#include "utf8.h"

#include <algorithm>

namespace ean13::lists {

namespace {

// The first word's name, as the list of code names spells it: lower case (Latin and Cyrillic),
// hyphens, dots and underscores left out, so that "Штрих-код" reads "штрихкод" and "EAN-13" "ean13".
std::u32string firstWord(std::string_view name)
{
    std::u32string word;
    bool begun = false;
    bool ended = false;
    forEachChar(name, [&](char32_t c) {
        if (ended)
            return;
        if (c == U' ' || c == U'\t' || c == 0xA0 || c == U'(' || c == U',' || c == U'/' || c == U'"') {
            ended = begun;
            return;
        }
        if (c == U'-' || c == U'.' || c == U'_' || c == U'№' || c == 0xFEFF)
            return;
        if (c >= U'A' && c <= U'Z')
            c += U'a' - U'A';
        else if (c >= 0x410 && c <= 0x42F)   // А..Я
            c += 0x20;
        else if (c == 0x401)   // Ё
            c = 0x451;
        word += c;
        begun = true;
    });
    return word;
}

constexpr double MostCells = 0.5;   // more than this share of a column's cells looks like codes

} // namespace

bool looksLikeACode(std::string_view field) noexcept
{
    std::size_t digits = 0;
    for (char c : field) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c != ' ' && c != '-')
            return false;
    }
    return digits >= 8 && digits <= 14;
}

bool namesACodeColumn(std::string_view name)
{
    static const std::u32string Names[] = {U"ean",  U"ean13", U"ean8",     U"gtin",     U"gtin13", U"gtin14",
                                           U"gtin8", U"gtin12", U"upc",    U"upca",    U"barcode", U"штрихкод",
                                           U"шк",   U"код"};
    const std::u32string word = firstWord(name);
    return std::find(std::begin(Names), std::end(Names), word) != std::end(Names);
}

CodeColumn findCodeColumn(const std::vector<std::vector<std::string>> &records)
{
    CodeColumn found;
    if (records.empty())
        return found;
    std::size_t columns = 1;
    for (const auto &record : records)
        columns = std::max(columns, record.size());
    found.columns = static_cast<int>(columns);

    const auto &first = records.front();
    std::vector<bool> named(columns, false);
    for (std::size_t i = 0; i < first.size(); ++i)
        named[i] = namesACodeColumn(first[i]);
    const bool anyNamed = std::find(named.begin(), named.end(), true) != named.end();

    // The share of code-like cells below the first record, or in all where there is no other.
    const std::size_t from = records.size() > 1 ? 1 : 0;
    std::vector<double> share(columns, 0.0);
    for (std::size_t c = 0; c < columns; ++c) {
        std::size_t codes = 0;
        for (std::size_t r = from; r < records.size(); ++r)
            codes += c < records[r].size() && looksLikeACode(records[r][c]) ? 1 : 0;
        share[c] = static_cast<double>(codes) / static_cast<double>(records.size() - from);
    }

    // A column of codes that is named so first, then any column of codes, then a named one.
    int best = -1;
    const auto better = [&](std::size_t c) {
        if (best < 0)
            return true;
        const auto b = static_cast<std::size_t>(best);
        const bool codes = share[c] > MostCells, bestCodes = share[b] > MostCells;
        if (codes != bestCodes)
            return codes;
        if (named[c] != named[b])
            return static_cast<bool>(named[c]);
        return share[c] > share[b];
    };
    for (std::size_t c = 0; c < columns; ++c)
        if (better(c))
            best = static_cast<int>(c);
    const auto chosen = static_cast<std::size_t>(best);
    found.column = best + 1;
    if (share[chosen] <= MostCells && !named[chosen] && anyNamed)
        found.column = static_cast<int>(std::find(named.begin(), named.end(), true) - named.begin()) + 1;

    const auto col = static_cast<std::size_t>(found.column - 1);
    const bool firstIsCode = col < first.size() && looksLikeACode(first[col]);
    found.header = anyNamed || (records.size() > 1 && !firstIsCode && share[col] > MostCells);
    return found;
}

std::vector<std::vector<std::string>> sampleRecords(std::string_view start, char delimiter, std::size_t maxRecords)
{
    std::vector<std::vector<std::string>> records;
    while (!start.empty() && records.size() < maxRecords) {
        const std::size_t nl = start.find('\n');
        if (nl == std::string_view::npos && !records.empty())
            break;
        std::string_view line = start.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::vector<std::string> fields;
        for (std::string_view f : splitFields(line, delimiter)) {
            if (f.size() >= 2 && f.front() == '"' && f.back() == '"')
                f = f.substr(1, f.size() - 2);
            fields.emplace_back(f);
        }
        records.push_back(std::move(fields));
        if (nl == std::string_view::npos)
            break;
        start.remove_prefix(nl + 1);
    }
    return records;
}

} // namespace ean13::lists
