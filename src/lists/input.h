// Reading entries: from standard input or files, in pieces as they arrive, one entry a line or
// one field of each line or CSV record.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct csv_parser;

namespace ean13::lists {

// An input opened for reading: a named file, or standard input for "-".
class InputFile
{
public:
    // nullopt with `error` set (an errno value) when the file cannot be opened.
    static std::optional<InputFile> open(const std::string &name, int &error);
    InputFile(InputFile &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;
    ~InputFile();

    // What is there now, at most `size` bytes, waiting only when nothing is: 0 at the end,
    // -1 on an error (errno says which).
    long long read(char *buffer, std::size_t size);

private:
    explicit InputFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// Where the entries go. A whole entry comes in one call; an entry whose line goes on past
// what has been read so far comes in pieces between begin and end, so that no line, however
// long, is ever held whole.
class EntrySink
{
public:
    virtual ~EntrySink() = default;
    virtual void entry(std::string_view bytes, long long line) = 0;
    virtual void beginEntry(long long line) = 0;
    virtual void entryBytes(std::string_view bytes) = 0;
    virtual void endEntry() = 0;
    virtual void missingColumn(long long line) = 0;
};

// Which part of each record is the entry.
struct Columns
{
    int column = 0;          // counted from 1; 0: the whole line
    char delimiter = '\t';
    // With a header, the first record names the columns and is no entry: given its fields, this
    // says which column is the entry (0: the whole line), or -1 to read no further. It is given
    // no fields for a first line too long to be a header, and must say -1 then.
    std::function<int(const std::vector<std::string_view> &names)> header;
};

// A header longer than this is no header: a file of something else, read no further.
inline constexpr std::size_t MaxHeaderBytes = 1 << 20;
// A CSV field is held whole while it is read: one longer than this stops the reading.
inline constexpr std::size_t MaxCsvFieldBytes = std::size_t{64} << 20;

// Splits a stream into lines (LF or CRLF ends one; nothing else is trimmed) and hands the entry
// of each line, or its column, to the sink.
class LineReader
{
public:
    LineReader(EntrySink &sink, Columns columns) : m_sink(sink), m_columns(columns) {}

    void feed(std::string_view bytes);
    void finish();   // the end of the input: a last line without LF counts too
    [[nodiscard]] long long lines() const noexcept { return m_line; }
    [[nodiscard]] bool stopped() const noexcept { return m_stopped; }   // the header said so

private:
    void wholeLine(std::string_view line);
    void header(std::string_view line);
    void headerGrew();
    void byte(char c);
    void content(std::string_view bytes);
    void endLine();

    EntrySink &m_sink;
    Columns m_columns;
    long long m_line = 0;      // lines begun so far
    bool m_inLine = false;     // a line began in an earlier piece and goes on
    bool m_pendingCr = false;  // a CR that ends the line if LF follows
    int m_field = 1;           // of the line going on
    bool m_inEntry = false;
    bool m_inHeader = false;
    bool m_stopped = false;
    std::string m_headerText;
};

// Reads RFC 4180 CSV: fields between delimiters, quoted fields that may hold the delimiter,
// doubled quotes and line breaks. A CR, LF or CRLF ends a record. Each record gives the field of
// the column asked for (the first if none was) to the sink.
class CsvReader
{
public:
    CsvReader(EntrySink &sink, Columns columns);
    ~CsvReader();
    CsvReader(const CsvReader &) = delete;
    CsvReader &operator=(const CsvReader &) = delete;

    void feed(std::string_view bytes);
    void finish();   // the end of the input: a last record without a line end counts too
    [[nodiscard]] bool stopped() const noexcept { return m_stopped; }
    [[nodiscard]] const std::string &error() const noexcept { return m_error; }   // why it stopped, if not the header

    // libcsv's callbacks.
    void field(std::string_view bytes);
    void recordEnd();

private:
    void line(std::string_view bytes, bool ended);
    void parse(std::string_view bytes);
    void fail(std::string message);
    void tooLongForAHeader();

    EntrySink &m_sink;
    Columns m_columns;
    ::csv_parser *m_parser;
    bool m_inParser = false;    // a record that the parser has begun and not yet ended
    bool m_atLineStart = true;
    long long m_line = 0;       // lines begun so far
    long long m_recordLine = 0;
    std::string m_carry;        // a line begun in an earlier piece
    int m_field = 0;            // fields of the record so far
    bool m_gotEntry = false;
    bool m_inHeader = false;
    std::vector<std::string> m_names;
    std::size_t m_headerBytes = 0;   // of the names so far
    bool m_stopped = false;
    std::string m_error;
};

// The field `column` (from 1) of a line, if it has one.
[[nodiscard]] std::optional<std::string_view> fieldOf(std::string_view line, int column, char delimiter);
// Splits one line (no line end) into its fields at `delimiter`.
[[nodiscard]] std::vector<std::string_view> splitFields(std::string_view line, char delimiter);

} // namespace ean13::lists
