// The delimiter of a list that does not say which it uses: Excel writes commas, or semicolons
// where the decimal mark is a comma (as in Russia); other programs write tabs.
#pragma once

#include <string>
#include <string_view>

namespace ean13::lists {

// The delimiter of a list, judged from its first lines (`start`: what has been read of it, at
// least its first line where the input has one). With a header, its first line alone decides.
// Comma, semicolon and tab are the candidates; with `csv`, what lies between quotes does not
// count. `fallback` is the answer when no candidate appears at all.
[[nodiscard]] char detectDelimiter(std::string_view start, bool header, bool csv, char fallback);

// How a delimiter is named in messages and options: "tab" for a tab, else the character.
[[nodiscard]] std::string delimiterName(char delimiter);

} // namespace ean13::lists
