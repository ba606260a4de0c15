#include "input.h"

#include <csv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ean13::lists {

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
        headerGrew();
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
        headerGrew();
    } else if (m_inEntry && !bytes.empty()) {
        m_sink.entryBytes(bytes);
    }
}

// A first line of delimiters alone counts as much as one of other bytes.
void LineReader::headerGrew()
{
    if (m_headerText.size() <= MaxHeaderBytes)
        return;
    m_inHeader = false;
    m_headerText.clear();
    m_headerText.shrink_to_fit();
    m_stopped = m_columns.header({}) < 0;
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

std::optional<std::string_view> fieldOf(std::string_view line, int column, char delimiter)
{
    for (int field = 1; field < column; ++field) {
        const std::size_t at = line.find(delimiter);
        if (at == std::string_view::npos)
            return std::nullopt;
        line.remove_prefix(at + 1);
    }
    return line.substr(0, line.find(delimiter));
}

void LineReader::wholeLine(std::string_view line)
{
    if (m_columns.header && m_line == 1) {
        header(line);
        return;
    }
    if (m_columns.column == 0) {
        m_sink.entry(line, m_line);
    } else if (const auto field = fieldOf(line, m_columns.column, m_columns.delimiter)) {
        m_sink.entry(*field, m_line);
    } else {
        m_sink.missingColumn(m_line);
    }
}

// ---- CSV ----------------------------------------------------------------------------------

// libcsv (a small C library in Debian, with no dependencies) does the quoting: it reads in pieces
// of any size, holds only the field being read, and takes any delimiter. Most lines of a real file
// hold no quote at all, and for those RFC 4180 says the fields are what lies between the
// delimiters, so they are split here directly, which is several times faster; every line with a
// quote, or with a CR that is not its line end, goes through libcsv.

namespace {

void onField(void *bytes, std::size_t size, void *reader)
{
    static_cast<CsvReader *>(reader)->field(std::string_view(static_cast<const char *>(bytes), size));
}

void onRecordEnd(int, void *reader)
{
    static_cast<CsvReader *>(reader)->recordEnd();
}

int noSpaces(unsigned char) { return 0; }   // spaces around a field are part of it (RFC 4180)

void *boundedRealloc(void *p, std::size_t size)
{
    return size > MaxCsvFieldBytes + 1024 ? nullptr : std::realloc(p, size);
}

bool isPlainLine(std::string_view line)
{
    // Not find_first_of, which calls memchr for every byte of the line.
    return std::none_of(line.begin(), line.end(), [](char c) { return c == '"' || c == '\r'; });
}

} // namespace

CsvReader::CsvReader(EntrySink &sink, Columns columns) : m_sink(sink), m_columns(std::move(columns)), m_parser(new csv_parser)
{
    if (m_columns.column == 0)
        m_columns.column = 1;
    csv_init(m_parser, 0);
    csv_set_delim(m_parser, static_cast<unsigned char>(m_columns.delimiter));
    csv_set_space_func(m_parser, noSpaces);
    csv_set_realloc_func(m_parser, boundedRealloc);
    m_inHeader = static_cast<bool>(m_columns.header);
}

CsvReader::~CsvReader()
{
    csv_free(m_parser);
    delete m_parser;
}

void CsvReader::fail(std::string message)
{
    m_error = std::move(message);
    m_stopped = true;
}

void CsvReader::tooLongForAHeader()
{
    m_inHeader = false;
    m_names.clear();
    m_names.shrink_to_fit();
    m_carry.clear();
    m_carry.shrink_to_fit();
    const int column = m_columns.header({});
    if (column < 0)
        m_stopped = true;
    else if (column > 0)
        m_columns.column = column;
}

void CsvReader::feed(std::string_view bytes)
{
    while (!bytes.empty() && !m_stopped) {
        if (m_atLineStart) {
            ++m_line;
            m_atLineStart = false;
        }
        const std::size_t nl = bytes.find('\n');
        if (m_inParser) {
            // Inside a record that went on past a line end: the parser reads on, a line at a time.
            const std::size_t n = nl == std::string_view::npos ? bytes.size() : nl + 1;
            parse(bytes.substr(0, n));
            bytes.remove_prefix(n);
            m_atLineStart = nl != std::string_view::npos;
            if (m_atLineStart && m_parser->pstate == 0)   // libcsv 3: no record begun
                m_inParser = false;
            continue;
        }
        if (nl == std::string_view::npos) {
            m_carry.append(bytes);
            if (m_inHeader && m_carry.size() > MaxHeaderBytes) {   // no header: its fields are not gathered
                tooLongForAHeader();
                return;
            }
            if (m_carry.size() > MaxHeaderBytes) {   // a huge line: read on in the parser, not held here
                m_recordLine = m_line;
                m_inParser = true;
                parse(m_carry);
                m_carry.clear();
            }
            return;
        }
        if (m_carry.empty()) {
            line(bytes.substr(0, nl + 1), true);
        } else {
            m_carry.append(bytes.substr(0, nl + 1));
            line(m_carry, true);
            m_carry.clear();
        }
        bytes.remove_prefix(nl + 1);
        m_atLineStart = true;
    }
}

// A whole line, its LF included if it has one.
void CsvReader::line(std::string_view bytes, bool ended)
{
    std::string_view content = bytes;
    if (ended) {
        content.remove_suffix(1);
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
    }
    if (m_inHeader && content.size() > MaxHeaderBytes) {
        tooLongForAHeader();
        return;
    }
    if (!isPlainLine(content)) {
        m_recordLine = m_line;
        m_inParser = true;
        parse(bytes);
        if (ended && m_parser->pstate == 0)
            m_inParser = false;
        return;
    }
    if (m_inHeader) {
        m_inHeader = false;
        std::vector<std::string_view> names = splitFields(content, m_columns.delimiter);
        const int column = m_columns.header(names);
        if (column < 0)
            m_stopped = true;
        else if (column > 0)
            m_columns.column = column;
    } else if (const auto field = fieldOf(content, m_columns.column, m_columns.delimiter)) {
        m_sink.entry(*field, m_line);
    } else {
        m_sink.missingColumn(m_line);
    }
}

void CsvReader::parse(std::string_view bytes)
{
    if (csv_parse(m_parser, bytes.data(), bytes.size(), onField, onRecordEnd, this) != bytes.size()) {
        fail(csv_error(m_parser) == CSV_ENOMEM ? "line " + std::to_string(m_recordLine) + ": a field longer than 64 MiB"
                                              : "line " + std::to_string(m_recordLine) + ": " + csv_strerror(csv_error(m_parser)));
    }
}

void CsvReader::field(std::string_view bytes)
{
    if (m_stopped)
        return;
    ++m_field;
    if (m_inHeader) {
        // A quoted first line is gathered field by field: as much as the plain one, and no more.
        m_headerBytes += bytes.size() + 1;
        if (m_headerBytes > MaxHeaderBytes) {
            tooLongForAHeader();
            return;
        }
        m_names.emplace_back(bytes);
    } else if (m_field == m_columns.column) {
        m_sink.entry(bytes, m_recordLine);
        m_gotEntry = true;
    }
}

void CsvReader::recordEnd()
{
    if (m_stopped)
        return;
    if (m_inHeader) {
        m_inHeader = false;
        const std::vector<std::string_view> names(m_names.begin(), m_names.end());
        const int column = m_columns.header(names);
        if (column < 0)
            m_stopped = true;
        else if (column > 0)
            m_columns.column = column;
        m_names.clear();
    } else if (!m_gotEntry) {
        m_sink.missingColumn(m_recordLine);
    }
    m_field = 0;
    m_gotEntry = false;
    m_recordLine = m_line;   // a record that a lone CR ended: the next begins on the same line
}

void CsvReader::finish()
{
    if (m_stopped)
        return;
    if (!m_carry.empty() && !m_inParser) {
        line(m_carry, false);
        m_carry.clear();
    }
    if (m_stopped || !m_inParser)
        return;
    // libcsv would end an open quoted field quietly (its strict end needs strict quoting too):
    // all that followed the quote would be one field, and the records in it lost unsaid.
    if (m_parser->pstate == 2 /* a field begun */ && m_parser->quoted) {
        fail("line " + std::to_string(m_recordLine) + ": a quoted field is not closed by the end of the input");
        return;
    }
    csv_fini(m_parser, onField, onRecordEnd, this);
}

} // namespace ean13::lists
