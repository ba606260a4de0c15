// Which column of a list holds the codes, for a list that does not say: the one whose header reads
// like a code's name (EAN, GTIN, Штрихкод, ШК, Код), or whose cells are mostly 8 to 14 digits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ean13::lists {

// 8 to 14 digits, and nothing else but spaces and hyphens between them.
[[nodiscard]] bool looksLikeACode(std::string_view field) noexcept;
// A column's name that people give codes: "EAN", "EAN-13", "GTIN", "Штрих-код", "ШК", "Код товара"...
// (its first word, in any case, hyphens and dots left out).
[[nodiscard]] bool namesACodeColumn(std::string_view name);

struct CodeColumn
{
    int column = 1;        // counted from 1
    bool header = false;   // the first record names the columns and is no entry
    int columns = 1;       // the fields of the widest record seen
};

// Judged from the first records of a list, each split into its fields (UTF-8, quotes removed).
[[nodiscard]] CodeColumn findCodeColumn(const std::vector<std::vector<std::string>> &records);

// The first lines of `start` (what has been read of a list) split at `delimiter`, a field's
// enclosing quotes removed; a last line cut off by the end of `start` is left out unless it is
// the only one. For judging the column only: a quoted line break is not followed.
[[nodiscard]] std::vector<std::vector<std::string>> sampleRecords(std::string_view start, char delimiter,
                                                                  std::size_t maxRecords = 50);

} // namespace ean13::lists
