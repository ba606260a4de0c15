#include "report.h"

#include <algorithm>
#include <cstring>

namespace ean13::cli {

bool Output::flush()
{
    if (!m_failed && m_used > 0 && !m_sink(std::string_view(m_buffer.data(), m_used)))
        m_failed = true;
    m_used = 0;
    return !m_failed;
}

namespace {

void appendUtf8(Output &out, char32_t c)
{
    char bytes[4];
    out.put(std::string_view(bytes, static_cast<std::size_t>(encodeUtf8(c, bytes))));
}

constexpr char Hex[] = "0123456789abcdef";

} // namespace

void appendJsonChar(Output &out, char32_t c)
{
    switch (c) {
    case U'"': out.put("\\\""); return;
    case U'\\': out.put("\\\\"); return;
    case U'\n': out.put("\\n"); return;
    case U'\r': out.put("\\r"); return;
    case U'\t': out.put("\\t"); return;
    default: break;
    }
    if (c < 0x20) {
        out.put("\\u00");
        out.put(Hex[c >> 4]);
        out.put(Hex[c & 0xF]);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
        appendUtf8(out, 0xFFFD);   // a stray byte, or a lone surrogate: not representable as UTF-8
    } else {
        appendUtf8(out, c);
    }
}

void appendJsonString(Output &out, std::string_view utf8)
{
    // Printable ASCII needs no decoding: put it as it is up to the first byte that may.
    std::size_t plain = 0;
    while (plain < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[plain]);
        if (b < 0x20 || b >= 0x80 || b == '"' || b == '\\')
            break;
        ++plain;
    }
    out.put(utf8.substr(0, plain));
    utf8.remove_prefix(plain);
    Utf8Decoder decoder;
    auto put = [&out](char32_t c) { appendJsonChar(out, c); };
    for (char ch : utf8)
        decoder.feed(static_cast<unsigned char>(ch), put);
    decoder.flush(put);
}

void appendTextChar(Output &out, char32_t c)
{
    if (c == U'\\') {
        out.put("\\\\");
    } else if (c < 0x20 || c == 0x7F || isEscapedByte(c)) {
        const unsigned byte = isEscapedByte(c) ? static_cast<unsigned>(c - EscapedByteBase) : static_cast<unsigned>(c);
        out.put("\\x");
        out.put(Hex[byte >> 4]);
        out.put(Hex[byte & 0xF]);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
        appendUtf8(out, 0xFFFD);
    } else {
        appendUtf8(out, c);
    }
}

// ---- Reading ------------------------------------------------------------------------------

void Reporter::beginEntry()
{
    m_inEntry = true;
    m_pendingCr = false;
    m_decoder = Utf8Decoder{};
    m_code = Code{};
    if (m_format == Format::Json)
        m_out.put("{\"entry\":\"");
}

void Reporter::addChar(char32_t c)
{
    m_code.append(c);
    if (m_format == Format::Json) {
        appendJsonChar(m_out, c);
        m_out.flushIfFull();
    }
}

void Reporter::addByte(unsigned char byte)
{
    m_decoder.feed(byte, [this](char32_t c) { addChar(c); });
}

void Reporter::feed(std::string_view bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end) {
        if (!m_inEntry) {
            // The usual case: the whole line is in this piece, and it is handled in one go.
            const auto *nl = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            if (nl) {
                wholeLine(std::string_view(p, static_cast<std::size_t>(nl - p)));
                p = nl + 1;
                continue;
            }
            beginEntry();
        }
        // A line that goes on past this piece, byte by byte.
        if (m_format == Format::Text && m_code.full()) {
            // Nothing more of it matters but where it ends.
            const auto *nl = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            if (!nl)
                return;
            p = nl;
            m_pendingCr = false;
        }
        const auto byte = static_cast<unsigned char>(*p++);
        if (byte == '\n') {
            m_pendingCr = false;   // a CR right before LF belongs to the line end
            endEntry();
            continue;
        }
        if (m_pendingCr) {
            m_pendingCr = false;
            addByte('\r');
        }
        if (byte == '\r')
            m_pendingCr = true;
        else
            addByte(byte);
    }
}

void Reporter::finish()
{
    if (!m_inEntry)
        return;
    if (m_pendingCr) {   // a CR at the very end is no line end: it stays in the entry
        m_pendingCr = false;
        addByte('\r');
    }
    endEntry();
}

void Reporter::wholeLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (m_format == Format::Text) {
        if (const auto verdict = verdictOfThirteenDigits(line)) {
            writeTextRecord(line, *verdict);
            return;
        }
    }
    entry(line);
}

void Reporter::writeTextRecord(std::string_view digits, const Verdict &v)
{
    if (v.status != Status::Ok)
        m_allCorrect = false;
    ++m_records;
    // The whole record in one piece: 13 digits, status, check digit and country, under 100 bytes.
    char record[128];
    char *p = std::copy(digits.begin(), digits.end(), record);
    *p++ = '\t';
    const std::string_view status = statusName(v.status);
    p = std::copy(status.begin(), status.end(), p);
    *p++ = '\t';
    *p++ = static_cast<char>('0' + v.expectedCheckDigit);
    *p++ = '\t';
    p = std::copy(v.country.begin(), v.country.end(), p);
    *p++ = '\n';
    m_out.put(std::string_view(record, static_cast<std::size_t>(p - record)));
    m_out.flushIfFull();
}

void Reporter::entry(std::string_view bytes)
{
    m_inEntry = true;
    m_pendingCr = false;
    m_decoder = Utf8Decoder{};
    m_code = Code::fromUtf8(bytes);
    if (m_format == Format::Json) {
        m_out.put("{\"entry\":\"");
        appendJsonString(m_out, bytes);
    }
    endEntry();
}

void Reporter::endEntry()
{
    m_decoder.flush([this](char32_t c) { addChar(c); });
    m_inEntry = false;
    const Analysis a = analyse(m_code);
    if (a.accepted() && m_format == Format::Text) {   // thirteen digits: nothing to escape
        char digits[CodeLength];
        for (int i = 0; i < CodeLength; ++i)
            digits[i] = static_cast<char>(a.entry.code[i]);
        writeTextRecord(std::string_view(digits, CodeLength), {a.status, *a.expectedCheckDigit, a.country});
        return;
    }
    if (a.status != Status::Ok)
        m_allCorrect = false;
    ++m_records;

    if (m_format == Format::Text) {
        for (char32_t c : a.entry.code)
            appendTextChar(m_out, c);
        m_out.put('\t');
        m_out.put(statusName(a.status));
        m_out.put("\t-\t");
        forEachLine(a, [this](std::string_view line) { m_out.put(line); });   // the one error line
        m_out.put('\n');
    } else {
        m_out.put("\",\"code\":\"");
        for (char32_t c : a.entry.code)
            appendJsonChar(m_out, c);
        m_out.put("\",\"status\":\"");
        m_out.put(statusName(a.status));
        m_out.put("\",\"colour\":\"");
        m_out.put(listColour(a) == FindingsBlue ? "blue" : "red");
        m_out.put("\",\"lines\":[");
        bool first = true;
        forEachLine(a, [&](std::string_view line) {
            if (!first)
                m_out.put(',');
            first = false;
            m_out.put('"');
            m_out.put(line);   // the program's own texts: UTF-8 with nothing to escape
            m_out.put('"');
        });
        m_out.put("],\"picture\":");
        m_out.put(a.pictureOffered() ? "true" : "false");
        if (a.accepted()) {
            const Encoding e = encodeModules(a.entry.code);
            m_out.put(",\"expected_check_digit\":");
            m_out.put(static_cast<char>('0' + *a.expectedCheckDigit));
            m_out.put(",\"country\":\"");
            m_out.put(a.country);
            m_out.put("\",\"first_digit\":\"");
            appendJsonChar(m_out, *e.firstDigit);
            m_out.put("\",\"modules\":\"");
            m_out.put(e.modules);
            m_out.put('"');
        }
        m_out.put("}\n");
    }
    m_out.flushIfFull();
}

} // namespace ean13::cli
