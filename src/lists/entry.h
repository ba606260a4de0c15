// One entry of a list checked as ean13 check checks it: the characters as they stream past,
// the rules that turn them into a code, and what the analysis made of it. The window program's
// list window checks its rows through the same functions.
#pragma once

#include "ean13.h"

#include <array>
#include <optional>
#include <string_view>

namespace ean13::lists {

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

} // namespace ean13::lists
