// UTF-8 as the command line reads and writes it: entries arrive as bytes in pieces of any size,
// and whatever is not well-formed UTF-8 must come back out exactly as it came.
#pragma once

#include "ean13.h"

#include <array>
#include <string>
#include <string_view>

namespace ean13::lists {

// A byte that is not part of well-formed UTF-8 counts as one character of its own. It is held
// as U+DC00 + byte (U+DC80..U+DCFF), a value that no character decoded from UTF-8 can take, so
// the byte can be written back as it came.
inline constexpr char32_t EscapedByteBase = 0xDC00;
[[nodiscard]] constexpr bool isEscapedByte(char32_t c) noexcept { return c >= 0xDC80 && c <= 0xDCFF; }

// Writes a character as UTF-8 into `out` (room for 4 bytes) and says how many bytes it took.
// An escaped byte comes back as the byte it was.
int encodeUtf8(char32_t c, char *out) noexcept;

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

// Calls `visit` for every character of `text`, stray bytes as escaped bytes.
template <class Visit>
void forEachChar(std::string_view text, Visit &&visit)
{
    Utf8Decoder decoder;
    for (char ch : text)
        decoder.feed(static_cast<unsigned char>(ch), visit);
    decoder.flush(visit);
}

// An entry as the window's field would hold it: its first 13 characters.
[[nodiscard]] Code codeFromUtf8(std::string_view text) noexcept;
[[nodiscard]] std::string toUtf8(const Code &code);   // escaped bytes come back as they were

} // namespace ean13::lists
