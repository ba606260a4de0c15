// The rules of the EAN-13 family, free of any window: what an entry becomes, whether its
// check digit holds, which country its prefix stands for, and how its bars are laid out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace ean13 {

inline constexpr int CodeLength = 13;
inline constexpr int UpcLength = 12;
inline constexpr int GroupWidth = 7;
inline constexpr int HalfGroups = 6;
inline constexpr int ModuleCount = 2 * HalfGroups * GroupWidth;   // 84: data modules only

[[nodiscard]] constexpr bool isDigit(char32_t c) noexcept { return c >= U'0' && c <= U'9'; }
[[nodiscard]] constexpr int digitValue(char32_t c) noexcept { return static_cast<int>(c - U'0'); }

// At most the first 13 characters of an entry: all that the analysis ever looks at.
class Code
{
public:
    constexpr Code() = default;
    [[nodiscard]] static Code fromUtf16(std::u16string_view text) noexcept;

    [[nodiscard]] constexpr int size() const noexcept { return m_size; }
    [[nodiscard]] constexpr bool empty() const noexcept { return m_size == 0; }
    [[nodiscard]] constexpr bool full() const noexcept { return m_size == CodeLength; }
    [[nodiscard]] constexpr char32_t operator[](int i) const noexcept { return m_chars[static_cast<std::size_t>(i)]; }
    [[nodiscard]] constexpr const char32_t *begin() const noexcept { return m_chars.data(); }
    [[nodiscard]] constexpr const char32_t *end() const noexcept { return m_chars.data() + m_size; }

    // Characters past the 13th are dropped: the cut is part of the rule, not an error.
    constexpr void append(char32_t c) noexcept
    {
        if (m_size < CodeLength)
            m_chars[static_cast<std::size_t>(m_size++)] = c;
    }
    void prependZero() noexcept;

    [[nodiscard]] bool allDigits() const noexcept;

private:
    std::array<char32_t, CodeLength> m_chars{};
    int m_size = 0;
};

// The entry as the analysis takes it: cut to 13 characters, and a 12-character entry (a UPC-A
// number) given a "0" in front so that it reads as the equal EAN-13 number.
struct Normalised
{
    Code code;
    bool padded = false;
};
[[nodiscard]] Normalised normalise(Code cut) noexcept;

// Check digit: weight 1 on positions 1, 3, ..., 11 and 3 on positions 2, 4, ..., 12.
// Both need 13 digits; for anything else there is no expected digit and the check fails.
[[nodiscard]] std::optional<int> expectedCheckDigit(const Code &code) noexcept;
[[nodiscard]] bool checkDigitOk(const Code &code) noexcept;

// Country of origin by the ordered prefix rules; the default when no rule holds.
inline constexpr std::string_view UnknownCountry = "Не могу распознать!";
[[nodiscard]] std::string_view countryForPrefix(int threeDigitPrefix) noexcept;   // 0..999
[[nodiscard]] std::string_view country(const Code &code) noexcept;   // default unless 3 leading digits

// BadNumberSystem, BadUpcE and NotUpcE come only from an entry read as UPC-E (see upce.h).
enum class Status { Ok, BadCheckDigit, BadLength, NonDigit, BadNumberSystem, BadUpcE, NotUpcE };
[[nodiscard]] std::string_view statusName(Status s) noexcept;   // "ok", "bad-check-digit", ...

struct Analysis
{
    Normalised entry;
    Status status = Status::BadLength;
    std::optional<int> expectedCheckDigit;   // for accepted codes only
    std::string_view country;                // for accepted codes only

    [[nodiscard]] bool accepted() const noexcept { return status == Status::Ok || status == Status::BadCheckDigit; }
    // The picture is offered only for a code that was typed with all 13 digits.
    [[nodiscard]] bool pictureOffered() const noexcept { return accepted() && !entry.padded; }
};
[[nodiscard]] Analysis analyse(const Code &cut) noexcept;
// An accepted code with the check digit it calls for in place of its last digit.
[[nodiscard]] std::optional<Code> correctedCode(const Analysis &a) noexcept;

// The verdict on an accepted code. For an entry of exactly 13 ASCII digits, the bulk case, it can be
// had straight from the bytes, with the same rules and without building a Code; anything else
// gets no answer here and goes through analyse().
struct Verdict
{
    Status status;
    int expectedCheckDigit;
    std::string_view country;
};
[[nodiscard]] std::optional<Verdict> verdictOfThirteenDigits(std::string_view entry) noexcept;

// GTINs, the GS1 family of article numbers: 8, 12, 13 or 14 digits, the last of which checks
// the others with weight 3 on the digit next to it and 1 and 3 in turn leftwards from there
// (for 13 digits, the rule above).
enum class Kind { Gtin8, Gtin12, Gtin13, Gtin14 };
[[nodiscard]] std::optional<Kind> kindOfLength(std::size_t digits) noexcept;
[[nodiscard]] std::string_view kindName(Kind kind) noexcept;   // "gtin-8", "gtin-12", ...
// The check digit that all but the last of `digits` (ASCII digits only) call for.
[[nodiscard]] int gtinCheckDigit(std::string_view digits) noexcept;

// Who issued a GTIN of 8, 12, 13 or 14 ASCII digits, by GS1's list of prefixes: a GS1 member
// organisation, or a range set aside (restricted circulation, books, coupons, ...). It says
// where the number was issued, not where the product was made; the window's own country table
// above is another thing and stays as it is.
[[nodiscard]] std::string_view issuer(std::string_view gtin) noexcept;
inline constexpr std::string_view UnassignedPrefix = "префикс не выдан GS1";

// The verdict on an entry taken as a GTIN: BadLength unless it has 8, 12, 13 or 14 characters,
// NonDigit unless all are digits, else Ok or BadCheckDigit by GS1's rule, with the kind, the check
// digit called for and the issuer.
struct GtinVerdict
{
    Status status = Status::BadLength;
    std::optional<Kind> kind;                // accepted GTINs only
    std::optional<int> expectedCheckDigit;   // accepted GTINs only
    std::string_view issuer;                 // accepted GTINs only

    [[nodiscard]] bool accepted() const noexcept { return status == Status::Ok || status == Status::BadCheckDigit; }
};
[[nodiscard]] GtinVerdict gtinVerdict(std::u32string_view chars) noexcept;

// What the results list shows.
struct Rgb
{
    int red, green, blue;
    friend constexpr bool operator==(Rgb a, Rgb b) noexcept { return a.red == b.red && a.green == b.green && a.blue == b.blue; }
};
inline constexpr Rgb ErrorRed{255, 0, 0};       // colour value 0x0000FF in blue-green-red order
inline constexpr Rgb FindingsBlue{0, 0, 255};   // colour value 0xFF0000 in blue-green-red order

enum class ErrorKind { Length = 1, NonDigit = 2 };
[[nodiscard]] std::string_view errorMessage(int kind) noexcept;   // empty for an unknown kind
// The refusals of an entry read as UPC-E, which the window never reads.
inline constexpr std::string_view NumberSystemError = "ОШИБКА! Номер UPC-E начинается с системы нумерации 0 или 1!";
inline constexpr std::string_view UpcELengthError = "ОШИБКА! Номер UPC-E состоит из 6, 7 или 8 цифр, номер UPC-A — из 12 или 13!";
inline constexpr std::string_view BadUpcEError =
    "ОШИБКА! Неверный номер UPC-E: по правилам сокращения нулей его номер UPC-A записывается в UPC-E иначе!";
inline constexpr std::string_view NotUpcEError =
    "ОШИБКА! Этот номер нельзя сократить до UPC-E: нужен номер UPC-A с системой нумерации 0 или 1 и нулями на сокращаемых местах!";
[[nodiscard]] std::string_view checkDigitVerdict(bool ok) noexcept;
inline constexpr std::string_view Separator = "----------------------------------------------------------";
[[nodiscard]] std::string countryLine(std::string_view countryText);

[[nodiscard]] Rgb listColour(const Analysis &a) noexcept;
// Visits the lines in the order the list shows them: one for a rejected entry, the verdict on the
// check digit for an accepted one, and after it the separator and the country where there is one
// (the window always names one; a GTIN-8 or GTIN-14 has none).
template <class Visit>
void forEachLine(Status status, std::string_view country, Visit &&visit)
{
    switch (status) {
    case Status::BadLength:
        visit(std::string_view(errorMessage(static_cast<int>(ErrorKind::Length))));
        return;
    case Status::NonDigit:
        visit(std::string_view(errorMessage(static_cast<int>(ErrorKind::NonDigit))));
        return;
    case Status::BadNumberSystem:
        visit(NumberSystemError);
        return;
    case Status::BadUpcE:
        visit(BadUpcEError);
        return;
    case Status::NotUpcE:
        visit(NotUpcEError);
        return;
    case Status::Ok:
    case Status::BadCheckDigit:
        visit(checkDigitVerdict(status == Status::Ok));
        if (!country.empty()) {
            visit(Separator);
            visit(std::string_view(countryLine(country)));
        }
        return;
    }
}
template <class Visit>
void forEachLine(const Analysis &a, Visit &&visit)
{
    forEachLine(a.status, a.country, std::forward<Visit>(visit));
}

// What a search of a picture for codes says when it finds none.
inline constexpr std::string_view NoCodeInImage = "В изображении не найден код EAN-13 или UPC-A.";

// Number sets: A and B for the left half (the mix of the two carries the first digit), C for the right.
enum class NumberSet : char { A = 'a', B = 'b', C = 'c' };
[[nodiscard]] std::string_view pattern(NumberSet set, int digit) noexcept;
[[nodiscard]] std::string_view parity(int firstDigit) noexcept;   // six letters 'a'/'b' for positions 2..7
// The digit whose pattern (of any set) the seven modules equal, if any.
[[nodiscard]] std::optional<int> digitOfGroup(std::string_view group) noexcept;

struct Encoding
{
    std::optional<char32_t> firstDigit;   // the first character, digit or not; none for an empty code
    std::string modules;                  // '1' bar, '0' space; 84 for 13 digits, no guards
};
// A non-digit adds no group; a first character that is no digit selects no parity, so the
// whole left half is left out.
[[nodiscard]] Encoding encodeModules(const Code &code);

} // namespace ean13
