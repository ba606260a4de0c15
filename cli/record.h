// One record for each entry: what the analysis made of it, written as a line of text or of JSON.
// ean13 check writes one for every entry it reads, ean13 scan one for every code it finds.
#pragma once

#include "ean13.h"
#include "entry.h"
#include "output.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ean13::cli {

enum class Format { Text, Json };

// How an entry becomes a code, and what the analysis makes of it: shared with the window
// program's list window, so they live with the lists.
using lists::Checked;
using lists::EntryChars;
using lists::Rules;
using lists::checkEntry;
using lists::checkThirteenDigits;

// Where a record came from: an input's name and the line its entry starts on (0: no line).
struct Origin
{
    std::string_view source;
    long long line = 0;
};

// What a reader saw of a code read from a symbol: the symbology ("ean13", "upca", "ean8", "upce")
// and the digits of its add-on (none, 2 or 5).
struct Symbol
{
    std::string_view symbology;
    std::string_view addon;
};

// Text: one line of tab-separated fields, [SOURCE[:LINE]] CODE STATUS CHECK TEXT [NOTE]; CODE+ADDON
// for a symbol with an add-on.
void writeTextRecord(Output &out, const Checked &c, const Origin *origin = nullptr, std::string_view note = {},
                     const Symbol *symbol = nullptr);
// The same for the bulk case, 13 ASCII digits and their verdict, with no Checked to build.
void writeTextRecord(Output &out, std::string_view thirteenDigits, const Verdict &v, const Origin *origin = nullptr);
// JSON: one object on one line. The entry can be given whole, or streamed between the two halves.
// A symbol's record ends with "symbology" and, where there is one, "addon".
void writeJsonRecord(Output &out, const Checked &c, std::string_view entry, const Origin *origin = nullptr,
                     std::string_view note = {}, const Symbol *symbol = nullptr);
void beginJsonRecord(Output &out, const Origin *origin);   // up to the entry's opening quote
// From the entry's closing quote on.
void endJsonRecord(Output &out, const Checked &c, std::string_view note = {}, const Symbol *symbol = nullptr);

// A record of a file that lacks the column asked for.
inline constexpr std::string_view MissingColumnStatus = "missing-column";
void writeMissingColumn(Output &out, Format format, std::string_view column, const Origin *origin = nullptr);

} // namespace ean13::cli
