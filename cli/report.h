// Turns a stream of entries, one per line, into one record per entry: the same analysis
// as the window's, written as text for the terminal or as JSON Lines.
#pragma once

#include "ean13.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace ean13::cli {

enum class Format { Text, Json };

// Collects output and hands it on in large pieces. Once the sink refuses a piece, everything
// after it is dropped and failed() says so.
class Output
{
public:
    using Sink = std::function<bool(std::string_view)>;
    explicit Output(Sink sink) : m_sink(std::move(sink)), m_buffer(Capacity + Slack, '\0') {}

    void put(char c)
    {
        room(1);
        m_buffer[m_used++] = c;
    }
    void put(std::string_view s)
    {
        room(s.size());
        std::memcpy(m_buffer.data() + m_used, s.data(), s.size());
        m_used += s.size();
    }
    // Called between records and inside long ones, so that a huge line is never held whole.
    void flushIfFull()
    {
        if (m_used >= Capacity)
            flush();
    }
    bool flush();
    [[nodiscard]] bool failed() const noexcept { return m_failed; }

private:
    static constexpr std::size_t Capacity = 1 << 16;
    static constexpr std::size_t Slack = 1 << 12;
    void room(std::size_t n)
    {
        if (m_used + n > m_buffer.size())
            m_buffer.resize(std::max(2 * m_buffer.size(), m_used + n));
    }

    Sink m_sink;
    std::string m_buffer;
    std::size_t m_used = 0;
    bool m_failed = false;
};

// Reads the entries in pieces of any size: LF and CRLF end a line and are not part of the entry;
// nothing else is trimmed. However long a line is, only its first 13 characters are kept (and, for
// JSON, the entry itself is written out as it streams past).
class Reporter
{
public:
    Reporter(Output &out, Format format) : m_out(out), m_format(format) {}

    void feed(std::string_view bytes);
    void finish();                       // end of input: a last line without LF is an entry too
    void entry(std::string_view bytes);  // one whole entry, line ends and all, e.g. an argument

    [[nodiscard]] bool allCorrect() const noexcept { return m_allCorrect; }
    [[nodiscard]] long long records() const noexcept { return m_records; }

private:
    void beginEntry();
    void addChar(char32_t c);
    void addByte(unsigned char byte);
    void endEntry();
    void wholeLine(std::string_view line);
    void writeTextRecord(std::string_view digits, const Verdict &verdict);

    Output &m_out;
    Format m_format;
    bool m_inEntry = false;
    bool m_pendingCr = false;
    Utf8Decoder m_decoder;
    Code m_code;
    bool m_allCorrect = true;
    long long m_records = 0;
};

// Writes text as a JSON string body (no quotes); escaped bytes become U+FFFD.
void appendJsonChar(Output &out, char32_t c);
void appendJsonString(Output &out, std::string_view utf8);
// Writes a character for the terminal: controls, backslash and stray bytes as \xHH or \\.
void appendTextChar(Output &out, char32_t c);

} // namespace ean13::cli
