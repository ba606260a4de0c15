#include "input.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ean13::cli {

// ---- Files --------------------------------------------------------------------------------

// The platform's own calls, not stdio: a read must hand over what a pipe or a terminal has
// now instead of waiting to fill the buffer, so that slow input is answered line by line.
std::optional<InputFile> InputFile::open(const std::string &name, int &error)
{
    if (name == "-") {
#ifdef _WIN32
        _setmode(0, _O_BINARY);
#endif
        return InputFile(0);
    }
#ifdef _WIN32
    const int fd = _open(name.c_str(), _O_RDONLY | _O_BINARY);
#else
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    return InputFile(fd);
}

InputFile::~InputFile()
{
    if (m_fd > 0) {
#ifdef _WIN32
        _close(m_fd);
#else
        ::close(m_fd);
#endif
    }
}

long long InputFile::read(char *buffer, std::size_t size)
{
    for (;;) {
#ifdef _WIN32
        const long long n = _read(m_fd, buffer, static_cast<unsigned>(size));
#else
        const long long n = ::read(m_fd, buffer, size);
#endif
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// ---- Lines and their fields ---------------------------------------------------------------

std::vector<std::string_view> splitFields(std::string_view line, char delimiter)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = line.find(delimiter);
        fields.push_back(line.substr(0, at));
        if (at == std::string_view::npos)
            return fields;
        line.remove_prefix(at + 1);
    }
}

void LineReader::feed(std::string_view bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    while (p < end && !m_stopped) {
        if (!m_inLine) {
            // The usual case: the whole line is in this piece, and it is handled in one go.
            const auto *nl = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            ++m_line;
            if (nl) {
                std::string_view line(p, static_cast<std::size_t>(nl - p));
                if (!line.empty() && line.back() == '\r')
                    line.remove_suffix(1);
                wholeLine(line);
                p = nl + 1;
                continue;
            }
            // A line that goes on past this piece: from here on in runs of bytes.
            m_inLine = true;
            m_pendingCr = false;
            m_field = 1;
            m_inHeader = m_columns.header && m_line == 1;
            m_inEntry = !m_inHeader && m_columns.column <= 1;
            if (m_inEntry)
                m_sink.beginEntry(m_line);
        }
        // A run up to the next byte that may end the line or the field.
        const bool fields = m_columns.column > 0 || m_inHeader;
        const char *q = p;
        while (q < end && *q != '\n' && *q != '\r' && !(fields && *q == m_columns.delimiter))
            ++q;
        if (q > p) {
            content(std::string_view(p, static_cast<std::size_t>(q - p)));
            p = q;
        } else {
            byte(*p++);
        }
    }
}

// One byte that may end the line or the field.
void LineReader::byte(char c)
{
    if (c == '\n') {
        m_pendingCr = false;   // a CR right before LF belongs to the line end
        endLine();
        return;
    }
    if (c == '\r') {
        if (m_pendingCr)
            content({});   // the CR before this one was no line end
        m_pendingCr = true;
        return;
    }
    if (m_pendingCr)
        content({});
    ++m_field;   // the delimiter
    if (m_inHeader) {
        m_headerText += c;
    } else if (m_inEntry) {
        m_sink.endEntry();
        m_inEntry = false;
    } else if (m_field == m_columns.column) {
        m_sink.beginEntry(m_line);
        m_inEntry = true;
    }
}

// Bytes of the line itself, no line end among them.
void LineReader::content(std::string_view bytes)
{
    if (m_pendingCr) {   // the CR before them was no line end: it is a character
        m_pendingCr = false;
        content("\r");
    }
    if (m_inHeader) {
        m_headerText.append(bytes);
        if (m_headerText.size() > MaxHeaderBytes)
            m_stopped = m_columns.header({}) < 0;
    } else if (m_inEntry && !bytes.empty()) {
        m_sink.entryBytes(bytes);
    }
}

void LineReader::endLine()
{
    m_inLine = false;
    if (m_inHeader) {
        m_inHeader = false;
        header(m_headerText);
        m_headerText.clear();
    } else if (m_inEntry) {
        m_sink.endEntry();
        m_inEntry = false;
    } else if (m_field < m_columns.column) {
        m_sink.missingColumn(m_line);
    }
}

void LineReader::finish()
{
    if (!m_inLine || m_stopped)
        return;
    if (m_pendingCr) {   // a CR at the very end is no line end: it stays in the entry
        m_pendingCr = false;
        content("\r");
    }
    endLine();
}

void LineReader::header(std::string_view line)
{
    const int column = m_columns.header(splitFields(line, m_columns.delimiter));
    if (column < 0)
        m_stopped = true;
    else
        m_columns.column = column;
}

void LineReader::wholeLine(std::string_view line)
{
    if (m_columns.header && m_line == 1) {
        header(line);
        return;
    }
    if (m_columns.column == 0) {
        m_sink.entry(line, m_line);
        return;
    }
    for (int field = 1; field < m_columns.column; ++field) {
        const std::size_t at = line.find(m_columns.delimiter);
        if (at == std::string_view::npos) {
            m_sink.missingColumn(m_line);
            return;
        }
        line.remove_prefix(at + 1);
    }
    m_sink.entry(line.substr(0, line.find(m_columns.delimiter)), m_line);
}

} // namespace ean13::cli
