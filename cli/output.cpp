#include "output.h"

#include "status.h"
#include "utf8.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace ean13::cli {

using namespace ean13::lists;

bool Output::flush()
{
    if (!m_failed && m_used > 0 && !m_sink(std::string_view(m_buffer.get(), m_used)))
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

void appendHex(Output &out, unsigned value, int digits)
{
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.put(Hex[(value >> shift) & 0xF]);
}

// Characters that act rather than show: they move the cursor, start escape sequences (C1's CSI
// is U+009B), end lines for some readers (U+2028, U+2029) or reorder what is shown around them
// (the bidirectional embeddings, overrides and isolates).
constexpr bool actsOnTheTerminal(char32_t c) noexcept
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

// Characters that show as nothing: an entry that holds one looks like a code and is none, so it
// is shown escaped (a byte-order mark inside a line, a zero-width space, a soft hyphen).
constexpr bool isInvisible(char32_t c) noexcept
{
    return c == 0x00AD || c == 0x034F || c == 0x061C || c == 0x180E || (c >= 0x200B && c <= 0x200D)
        || (c >= 0x2060 && c <= 0x2065) || (c >= 0x206A && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

constexpr bool shownEscaped(char32_t c) noexcept
{
    return actsOnTheTerminal(c) || isInvisible(c);
}

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
    if (c < 0x20 || c == 0x7F || shownEscaped(c)) {
        out.put("\\u");   // valid JSON either way; escaped, a line of JSON is safe to print too
        appendHex(out, static_cast<unsigned>(c), 4);
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
        if (b < 0x20 || b >= 0x7F || b == '"' || b == '\\')
            break;
        ++plain;
    }
    out.put(utf8.substr(0, plain));
    forEachChar(utf8.substr(plain), [&out](char32_t c) { appendJsonChar(out, c); });
}

void appendTextChar(Output &out, char32_t c)
{
    if (c == U'\\') {
        out.put("\\\\");
    } else if (c < 0x20 || c == 0x7F || isEscapedByte(c)) {
        out.put("\\x");
        appendHex(out, isEscapedByte(c) ? static_cast<unsigned>(c - EscapedByteBase) : static_cast<unsigned>(c), 2);
    } else if (shownEscaped(c)) {
        out.put("\\u");
        appendHex(out, static_cast<unsigned>(c), 4);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
        appendUtf8(out, 0xFFFD);
    } else {
        appendUtf8(out, c);
    }
}

void appendTextString(Output &out, std::string_view utf8)
{
    forEachChar(utf8, [&out](char32_t c) { appendTextChar(out, c); });
}

StandardOutput::StandardOutput()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::setvbuf(stdout, nullptr, _IONBF, 0);   // Output already hands over large pieces
}

bool StandardOutput::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        errno = 0;
        const std::size_t n = std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        if (n == 0) {
            m_errno = errno ? errno : EIO;
            return false;
        }
        bytes.remove_prefix(n);
    }
    return true;
}

int StandardOutput::failure(std::string_view program) const
{
#if defined(SIGPIPE) && defined(EPIPE)
    if (m_errno == EPIPE) {
        // SIGPIPE was ignored (by whoever started us), so the write failed instead of ending us:
        // end as the reader's going away would have ended us, so that the status says "cut short".
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
#endif
    return cli::failure(program, std::string("cannot write standard output: ") + std::strerror(m_errno));
}

} // namespace ean13::cli
