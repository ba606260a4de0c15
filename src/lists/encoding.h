// Text as offices save it: UTF-8 with or without a byte-order mark, or Windows-1251 (what Russian
// Excel and Notepad write as "ANSI"). Every input is turned into UTF-8 before it is read.
#pragma once

#include <string>
#include <string_view>

namespace ean13::lists {

enum class Encoding {
    Auto,     // valid UTF-8 is UTF-8, anything else Windows-1251
    Utf8,     // bytes that are no UTF-8 stay stray bytes
    Cp1251,
};

// Turns the pieces of one input, as they are read, into UTF-8, and drops a UTF-8 byte-order mark
// at its start. With Encoding::Auto, the first piece that holds a byte beyond ASCII decides for the
// rest of the input (ASCII reads the same in both).
class Transcoder
{
public:
    explicit Transcoder(Encoding encoding) : m_encoding(encoding) {}

    // The piece in UTF-8. The view lasts until the next call.
    [[nodiscard]] std::string_view convert(std::string_view bytes);
    // The end of the input: whatever was held back, in UTF-8.
    [[nodiscard]] std::string_view finish();
    [[nodiscard]] Encoding decided() const noexcept { return m_encoding; }

private:
    std::string_view convertDecided(std::string_view bytes);

    Encoding m_encoding;
    bool m_atStart = true;
    std::string m_held;   // a piece's last bytes, not yet enough to decide on
    std::string m_out;
};

// Appends the UTF-8 of Windows-1251 bytes. The one byte that code page leaves undefined (0x98)
// stays as it is: a stray byte.
void appendCp1251(std::string &out, std::string_view bytes);

} // namespace ean13::lists
