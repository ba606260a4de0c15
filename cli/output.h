// Standard output for a program that writes millions of short records: collected in large pieces,
// handed on at once when input pauses, and a failed write never taken for success.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace ean13::cli {

// Collects output and hands it on in large pieces. Once the sink refuses a piece, everything
// after it is dropped and failed() says so.
class Output
{
public:
    using Sink = std::function<bool(std::string_view)>;
    // The buffer is left uninitialised: a single short record touches one page of it, not 17.
    explicit Output(Sink sink) : m_sink(std::move(sink)), m_buffer(new char[Capacity + Slack]), m_size(Capacity + Slack) {}

    void put(char c)
    {
        room(1);
        m_buffer[m_used++] = c;
    }
    void put(std::string_view s)
    {
        room(s.size());
        std::memcpy(m_buffer.get() + m_used, s.data(), s.size());
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
        if (m_used + n <= m_size)
            return;
        const std::size_t size = std::max(2 * m_size, m_used + n);
        std::unique_ptr<char[]> bigger(new char[size]);
        std::memcpy(bigger.get(), m_buffer.get(), m_used);
        m_buffer = std::move(bigger);
        m_size = size;
    }

    Sink m_sink;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_size;
    std::size_t m_used = 0;
    bool m_failed = false;
};

// Writes a character as part of a JSON string (no quotes); escaped bytes become U+FFFD.
void appendJsonChar(Output &out, char32_t c);
void appendJsonString(Output &out, std::string_view utf8);
// Writes a character for a terminal or a line-based reader: C0 and C1 controls, DEL, the line and
// paragraph separators, stray bytes and the backslash as \xHH, \u{HHHH} or \\, so that nothing
// in a field can move the cursor, change colours or break a line.
void appendTextChar(Output &out, char32_t c);
void appendTextString(Output &out, std::string_view utf8);

// Standard output as a sink: every byte written, or false with the error kept for the message.
class StandardOutput
{
public:
    StandardOutput();   // binary mode where the platform has a text mode
    bool write(std::string_view bytes);
    [[nodiscard]] int error() const noexcept { return m_errno; }
    // After a failed write: ends the process the way a writer to a closed pipe ends (killed by
    // SIGPIPE where there is one), or writes "ean13: cannot write standard output: ..." and
    // gives 2 for any other error.
    [[nodiscard]] int failure(std::string_view program) const;

private:
    int m_errno = 0;
};

} // namespace ean13::cli
