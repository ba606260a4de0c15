// The rules of the EAN-13 family, free of any window: what an entry becomes, whether its
// check digit holds, which country its prefix stands for, and how its bars are laid out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ean13 {

inline constexpr int CodeLength = 13;
inline constexpr int UpcLength = 12;
inline constexpr int GroupWidth = 7;
inline constexpr int HalfGroups = 6;
inline constexpr int ModuleCount = 2 * HalfGroups * GroupWidth;   // 84: data modules only

// A byte that is not part of well-formed UTF-8 counts as one character of its own. It is held
// as U+DC00 + byte (U+DC80..U+DCFF), a value that no character decoded from UTF-8 can take, so
// the byte can be written back as it came.
inline constexpr char32_t EscapedByteBase = 0xDC00;
[[nodiscard]] constexpr bool isEscapedByte(char32_t c) noexcept { return c >= 0xDC80 && c <= 0xDCFF; }

// Writes a character as UTF-8 into `out` (room for 4 bytes) and says how many bytes it took.
// An escaped byte comes back as the byte it was.
int encodeUtf8(char32_t c, char *out) noexcept;

[[nodiscard]] constexpr bool isDigit(char32_t c) noexcept { return c >= U'0' && c <= U'9'; }
[[nodiscard]] constexpr int digitValue(char32_t c) noexcept { return static_cast<int>(c - U'0'); }

// At most the first 13 characters of an entry: all that the analysis ever looks at.
class Code
{
public:
    constexpr Code() = default;
    [[nodiscard]] static Code fromUtf8(std::string_view text) noexcept;
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
    [[nodiscard]] std::string toUtf8() const;   // escaped bytes come back as they were

private:
    std::array<char32_t, CodeLength> m_chars{};
    int m_size = 0;
};

// Decodes UTF-8 a byte at a time, so that an entry can arrive in pieces of any size.
// Every byte of an ill-formed sequence comes out as an escaped byte.
class Utf8Decoder
{
public:
    template <class Emit>
    void feed(unsigned char byte, Emit &&out)
    {
        if (m_need == 0) {
            start(byte, out);
            return;
        }
        if (byte < m_low || byte > m_high) {   // the sequence broke off: its bytes stand alone
            flush(out);
            start(byte, out);
            return;
        }
        m_pending[m_have++] = byte;
        m_value = (m_value << 6) | (byte & 0x3Fu);
        m_low = 0x80;
        m_high = 0xBF;
        if (--m_need == 0) {
            m_have = 0;
            out(m_value);
        }
    }

    // Ends the input: an unfinished sequence is given back byte by byte.
    template <class Emit>
    void flush(Emit &&out)
    {
        for (int i = 0; i < m_have; ++i)
            out(EscapedByteBase + m_pending[i]);
        m_have = 0;
        m_need = 0;
    }

private:
    template <class Emit>
    void start(unsigned char byte, Emit &&out)
    {
        m_low = 0x80;
        m_high = 0xBF;
        if (byte < 0x80) {
            out(char32_t{byte});
            return;
        }
        // The narrowed second-byte ranges rule out overlong forms, surrogates and values past U+10FFFF.
        if (byte >= 0xC2 && byte <= 0xDF) {
            m_need = 1;
            m_value = byte & 0x1Fu;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            m_need = 2;
            m_value = byte & 0x0Fu;
            if (byte == 0xE0) m_low = 0xA0;
            if (byte == 0xED) m_high = 0x9F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            m_need = 3;
            m_value = byte & 0x07u;
            if (byte == 0xF0) m_low = 0x90;
            if (byte == 0xF4) m_high = 0x8F;
        } else {
            out(EscapedByteBase + byte);
            return;
        }
        m_pending[0] = byte;
        m_have = 1;
    }

    std::array<unsigned char, 4> m_pending{};
    int m_have = 0;
    int m_need = 0;
    char32_t m_value = 0;
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
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

enum class Status { Ok, BadCheckDigit, BadLength, NonDigit };
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
[[nodiscard]] std::string_view checkDigitVerdict(bool ok) noexcept;
inline constexpr std::string_view Separator = "----------------------------------------------------------";
[[nodiscard]] std::string countryLine(std::string_view countryText);

[[nodiscard]] Rgb listColour(const Analysis &a) noexcept;
// Visits the lines in the order the list shows them; one for a rejected entry, three otherwise.
template <class Visit>
void forEachLine(const Analysis &a, Visit &&visit)
{
    switch (a.status) {
    case Status::BadLength:
        visit(std::string_view(errorMessage(static_cast<int>(ErrorKind::Length))));
        return;
    case Status::NonDigit:
        visit(std::string_view(errorMessage(static_cast<int>(ErrorKind::NonDigit))));
        return;
    case Status::Ok:
    case Status::BadCheckDigit:
        visit(checkDigitVerdict(a.status == Status::Ok));
        visit(Separator);
        visit(std::string_view(countryLine(a.country)));
        return;
    }
}

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
