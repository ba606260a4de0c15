#include "utf8.h"

namespace ean13::lists {

int encodeUtf8(char32_t c, char *out) noexcept
{
    if (isEscapedByte(c)) {
        out[0] = static_cast<char>(c - EscapedByteBase);
        return 1;
    }
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

Code codeFromUtf8(std::string_view text) noexcept
{
    Code code;
    Utf8Decoder decoder;
    auto add = [&code](char32_t c) { code.append(c); };
    for (char ch : text) {
        if (code.full())
            return code;   // nothing past the 13th character matters
        decoder.feed(static_cast<unsigned char>(ch), add);
    }
    decoder.flush(add);
    return code;
}

std::string toUtf8(const Code &code)
{
    std::string out;
    char bytes[4];
    for (char32_t c : code)
        out.append(bytes, static_cast<std::size_t>(encodeUtf8(c, bytes)));
    return out;
}

} // namespace ean13::lists
