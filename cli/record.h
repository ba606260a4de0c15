// One record for each entry: what the analysis made of it, written as a line of text or of JSON.
// ean13 check writes one for every entry it reads, ean13 scan one for every code it finds.
#pragma once

#include "ean13.h"
#include "output.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ean13::cli {

enum class Format { Text, Json };

// How an entry becomes a code.
struct Rules
{
    bool asTyped = false;   // as the window's field takes it: the first 13 characters
    bool clean = false;     // spaces and hyphens anywhere are dropped first
    bool gtin = false;      // 8, 12, 13 and 14 digits, each its own kind of GTIN
    bool upce = false;      // 6 to 8 digits a UPC-E number; 12 and 13 digits must have a UPC-E form
};

// The characters of one entry as they stream past: the first few are kept, all are counted.
class EntryChars
{
public:
    static constexpr int Kept = 14;   // the longest code there is: a GTIN-14

    explicit EntryChars(bool clean = false) : m_clean(clean) {}
    void add(char32_t c) noexcept
    {
        if (m_clean && (c == U' ' || c == U'-'))
            return;
        if (m_length < Kept)
            m_chars[static_cast<std::size_t>(m_length)] = c;
        ++m_length;
    }
    [[nodiscard]] long long length() const noexcept { return m_length; }
    [[nodiscard]] int kept() const noexcept { return m_length < Kept ? static_cast<int>(m_length) : Kept; }
    [[nodiscard]] char32_t operator[](int i) const noexcept { return m_chars[static_cast<std::size_t>(i)]; }

private:
    std::array<char32_t, Kept> m_chars{};
    long long m_length = 0;
    bool m_clean = false;
};

// What the analysis made of one entry.
struct Checked
{
    Status status = Status::BadLength;
    std::array<char32_t, EntryChars::Kept> code{};   // as analysed: a 12-digit entry has its 0 in front
    int codeSize = 0;
    bool cut = false;                  // the entry went on past what code holds
    bool padded = false;               // 0 put in front of a 12-character entry
    std::optional<Kind> kind;          // with Rules::gtin, for accepted codes
    std::optional<int> expectedCheckDigit;   // accepted codes only
    std::string_view country;          // accepted 13-digit codes: the window's country text
    std::string_view issuer;           // accepted codes: who issued the number, by GS1's list
    std::string_view lengthError;      // where the window's does not fit the lengths asked for

    [[nodiscard]] bool accepted() const noexcept { return status == Status::Ok || status == Status::BadCheckDigit; }
    // The window draws 13-digit codes only, and only those typed with all 13 digits.
    [[nodiscard]] bool pictureOffered() const noexcept { return accepted() && codeSize == CodeLength && !padded; }
};

[[nodiscard]] Checked checkEntry(const EntryChars &entry, const Rules &rules);
[[nodiscard]] Checked checkEntry(std::string_view utf8, const Rules &rules);
// The bulk case: an entry of exactly 13 ASCII digits, the same result as checkEntry() gives.
[[nodiscard]] std::optional<Checked> checkThirteenDigits(std::string_view entry);

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
