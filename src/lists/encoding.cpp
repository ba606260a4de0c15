#include "encoding.h"

#include "utf8.h"

#include <algorithm>
#include <array>

namespace ean13::lists {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Windows-1251, 0x80 to 0xBF (from 0xC0 on, the letters А to я follow in order from U+0410).
// Taken from the Unicode Consortium's mapping table CP1251.TXT; 0 is the one undefined byte.
constexpr std::array<char16_t, 64> Cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

enum class Utf8Verdict { Valid, Invalid, Unfinished };

// Whether bytes are well-formed UTF-8; Unfinished when all is well but the last character is cut.
Utf8Verdict judgeUtf8(std::string_view bytes)
{
    Utf8Decoder decoder;
    bool stray = false;
    for (char b : bytes) {
        decoder.feed(static_cast<unsigned char>(b), [&stray](char32_t c) {
            if (isEscapedByte(c))
                stray = true;
        });
        if (stray)
            return Utf8Verdict::Invalid;
    }
    bool unfinished = false;
    decoder.flush([&unfinished](char32_t) { unfinished = true; });
    return unfinished ? Utf8Verdict::Unfinished : Utf8Verdict::Valid;
}

} // namespace

void appendCp1251(std::string &out, std::string_view bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        // Digits, delimiters and line ends are ASCII, the same in both: copied in runs.
        const char *high = std::find_if(p, end, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        out.append(p, static_cast<std::size_t>(high - p));
        if (high == end)
            break;
        const auto b = static_cast<unsigned char>(*high);
        const char32_t c = b >= 0xC0 ? char32_t{0x0410} + (b - 0xC0) : char32_t{Cp1251High[b - 0x80]};
        if (c == 0) {
            out += *high;
        } else {
            char utf8[4];
            out.append(utf8, static_cast<std::size_t>(encodeUtf8(c, utf8)));
        }
        p = high + 1;
    }
}

std::string_view Transcoder::convert(std::string_view bytes)
{
    if (m_atStart || !m_held.empty()) {
        m_held.append(bytes);
        std::string_view all = m_held;
        if (m_atStart) {
            if (all.size() < ByteOrderMark.size() && ByteOrderMark.substr(0, all.size()) == all)
                return {};   // perhaps a mark: wait for more
            m_atStart = false;
            if (all.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
                all.remove_prefix(ByteOrderMark.size());
                if (m_encoding == Encoding::Auto)
                    m_encoding = Encoding::Utf8;   // the mark says so
            }
        }
        std::string held(all);
        m_held.clear();
        m_out = std::string(convertDecided(held));
        return m_out;
    }
    return convertDecided(bytes);
}

std::string_view Transcoder::convertDecided(std::string_view bytes)
{
    if (m_encoding == Encoding::Auto) {
        const auto firstHigh = std::find_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (firstHigh == bytes.end())
            return bytes;
        const std::size_t ascii = static_cast<std::size_t>(firstHigh - bytes.begin());
        switch (judgeUtf8(bytes.substr(ascii))) {
        case Utf8Verdict::Valid: m_encoding = Encoding::Utf8; break;
        case Utf8Verdict::Invalid: m_encoding = Encoding::Cp1251; break;
        case Utf8Verdict::Unfinished:
            if (bytes.size() - ascii > 3) {
                m_encoding = Encoding::Utf8;   // whole characters before the cut one
                break;
            }
            m_held.assign(bytes.substr(ascii));   // too little to judge: the next piece decides
            return bytes.substr(0, ascii);
        }
    }
    if (m_encoding == Encoding::Utf8)
        return bytes;
    std::string converted;
    converted.reserve(bytes.size() * 2);
    appendCp1251(converted, bytes);
    m_out = std::move(converted);
    return m_out;
}

std::string_view Transcoder::finish()
{
    m_atStart = false;
    if (m_held.empty())
        return {};
    std::string held = std::move(m_held);
    m_held.clear();
    if (m_encoding == Encoding::Auto)
        m_encoding = judgeUtf8(held) == Utf8Verdict::Valid ? Encoding::Utf8 : Encoding::Cp1251;
    m_out = std::string(convertDecided(held));
    return m_out;
}

} // namespace ean13::lists
