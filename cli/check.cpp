#include "check.h"

#include "delimiter.h"
#include "input.h"
#include "records.h"
#include "status.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ean13::cli {

using namespace ean13::lists;

namespace {

constexpr std::string_view Program = "ean13";
constexpr std::string_view ArgumentsSource = "(command line)";
// What is read of an input before its delimiter is judged: its first line, or this much of it.
constexpr std::size_t DelimiterSample = 1 << 16;
// An unknown column's message lists this many of the fields found, no more.
constexpr std::size_t FieldsListed = 20;

// A code has 8 to 14 digits (GTIN-8 to GTIN-14), or with --upce from 6, spaces and hyphens aside.
bool couldBeACode(std::string_view arg, std::size_t fewestDigits)
{
    std::size_t digits = 0;
    for (char c : arg) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c != ' ' && c != '-')
            return false;
    }
    return digits >= fewestDigits && digits <= 14;
}

bool namesAFile(const std::string &arg)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::u8path(arg), error);
}

bool isDirectory(const std::string &name)
{
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::u8path(name), error);
}

bool isTerminal(int fd)
{
#ifdef _WIN32
    return _isatty(fd) != 0;
#else
    return isatty(fd) != 0;
#endif
}

// Codes that name files or directories were meant as inputs: a usage error that says how to read
// them. A code with a slash is checked as given, with a word that it names no file.
std::optional<int> refuseFilesGivenAsCodes(const std::vector<std::string> &codes, bool upce)
{
    for (const std::string &code : codes) {
        if (couldBeACode(code, upce ? 6 : 8))
            continue;
        if (isDirectory(code))
            return usageError(Program, "'" + code + "' is a directory, not a code; to check a file in it, say -i FILE");
        if (namesAFile(code))
            return usageError(Program, "'" + code + "' is a file, not a code; to check the entries it holds, say -i '" + code + "'");
    }
    for (const std::string &code : codes) {
        if (code.find_first_of("/\\") != std::string::npos)
            message(Program, "'" + code + "' is checked as a code: there is no such file (to read a file, say -i FILE)");
    }
    return std::nullopt;
}

// The first fields of a header, as the message about an unknown column shows them.
std::string listOfFields(const std::vector<std::string_view> &names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < FieldsListed; ++i)
        list += (i ? ", '" : "'") + excerpt(names[i]) + "'";
    if (names.size() > FieldsListed)
        list += ", …";
    return list;
}

// The column that the options ask for, given the names in an input's header: 0 for the whole
// line, or -1 with the reason in `error`.
int columnInHeader(const std::vector<std::string_view> &names, const CheckOptions &options, char delimiter,
                   const std::string &input, std::string &error)
{
    if (names.empty()) {
        error = input + ": the first line is too long to be a header";
        return -1;
    }
    if (options.column.empty() || options.columnNumber > 0)
        return options.columnNumber;
    const auto found = std::find(names.begin(), names.end(), options.column);
    if (found != names.end())
        return static_cast<int>(found - names.begin()) + 1;
    // Not a name in the header: the letters of one of its columns, as a spreadsheet shows them.
    if (options.columnLetters > 0 && static_cast<std::size_t>(options.columnLetters) <= names.size())
        return options.columnLetters;
    error = input + " has no column named '" + options.column + "'; its first line, split at the delimiter '"
          + delimiterName(delimiter) + (options.delimiterGiven ? "'" : "' (detected)") + ", has "
          + (names.size() == 1 ? "the one field " : "the fields ") + listOfFields(names)
          + "; if another character separates them, say --delimiter C";
    return -1;
}

// XLSX and ODS files are zip files; so are others that are no list either. Their first bytes are
// ASCII, and so the same whatever the encoding.
bool isZipFile(std::string_view start)
{
    return start.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

// The compound file of Excel 97-2003 (XLS), and of an XLSX workbook with a password.
bool isCompoundFile(std::string_view start)
{
    return start.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
}

bool isRegularFile(const std::string &name)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::u8path(name), error);
}

// One run of the check: its output, its records and the buffer every input is read through.
class CheckRun
{
public:
    explicit CheckRun(const CheckOptions &options)
        : m_options(options), m_out([this](std::string_view bytes) { return m_stdout.write(bytes); }),
          m_records(m_out, {options.format, options.rules, options.column, options.lineNumbers || severalInputs(options)})
    {
    }

    static bool severalInputs(const CheckOptions &options)
    {
        const std::size_t inputs = std::max<std::size_t>(options.inputs.size(), options.codes.empty() ? 1 : 0);
        return inputs + (options.codes.empty() ? 0 : 1) > 1;
    }

    void checkCodes();
    [[nodiscard]] int readInput(const std::string &name);   // 0, or the exit status of a failure
    [[nodiscard]] bool outputFailed() const { return m_out.failed(); }
    [[nodiscard]] int finish();

private:
    [[nodiscard]] bool needsDelimiter() const { return !m_options.delimiterGiven && (m_options.csv || !m_options.column.empty()); }
    std::string readStart(InputFile &file, Transcoder &text, const std::string &name, std::string &start, bool &ended);
    template <class Reader>
    std::string readRest(Reader &reader, InputFile &file, Transcoder &text, const std::string &name, bool ended);
    template <class Reader>
    std::string read(Reader &reader, InputFile &file, Transcoder &text, const std::string &name, std::string_view start,
                     bool ended);

    const CheckOptions &m_options;
    StandardOutput m_stdout;
    Output m_out;
    Records m_records;
    std::vector<char> m_buffer;   // made for the first input: `ean13 CODE` needs none
    std::string m_rawStart;       // the first bytes of the input being read
};

void CheckRun::checkCodes()
{
    m_records.setSource(ArgumentsSource, severalInputs(m_options));
    long long position = 0;
    for (const std::string &code : m_options.codes) {
        m_records.entry(code, ++position);
        if (m_out.failed())
            return;
    }
}

// Reads the start of an input, up to its first line end, to judge what it is and its delimiter by.
std::string CheckRun::readStart(InputFile &file, Transcoder &text, const std::string &name, std::string &start, bool &ended)
{
    while (start.find('\n') == std::string::npos && start.size() < DelimiterSample) {
        const long long n = file.read(m_buffer.data(), m_buffer.size());
        if (n < 0)
            return "cannot read " + name + ": " + std::strerror(errno);
        if (m_rawStart.size() < 8)   // as it is in the file, before any decoding
            m_rawStart.append(m_buffer.data(), std::min<std::size_t>(8 - m_rawStart.size(), static_cast<std::size_t>(n)));
        if (n == 0) {
            start.append(text.finish());
            ended = true;
            break;
        }
        start.append(text.convert(std::string_view(m_buffer.data(), static_cast<std::size_t>(n))));
    }
    return {};
}

// Reads the input to its end, or until the output or the reader fails; says why, if it failed.
template <class Reader>
std::string CheckRun::readRest(Reader &reader, InputFile &file, Transcoder &text, const std::string &name, bool ended)
{
    while (!ended) {
        const long long n = file.read(m_buffer.data(), m_buffer.size());
        if (n < 0) {
            const int error = errno;
            reader.finish();   // what was read is reported
            return "cannot read " + name + ": " + std::strerror(error);
        }
        if (n == 0) {
            reader.feed(text.finish());
            break;
        }
        reader.feed(text.convert(std::string_view(m_buffer.data(), static_cast<std::size_t>(n))));
        if (m_out.failed() || reader.stopped())
            return {};
        // Input that comes slowly (a terminal, tail -f) is answered as it comes; a file or a
        // busy pipe fills the buffer and keeps its output for one large write.
        if (static_cast<std::size_t>(n) < m_buffer.size())
            m_out.flush();
    }
    reader.finish();
    return {};
}

template <class Reader>
std::string CheckRun::read(Reader &reader, InputFile &file, Transcoder &text, const std::string &name,
                           std::string_view start, bool ended)
{
    reader.feed(start);
    if (m_out.failed() || reader.stopped())
        return {};
    if (!start.empty())
        m_out.flush();   // the first line may be all a terminal has given so far
    return readRest(reader, file, text, name, ended);
}

int CheckRun::readInput(const std::string &name)
{
    const std::string shownName = name == "-" ? std::string("standard input") : name;
    m_out.flush();   // the records so far come before any message
    if (name != "-" && isDirectory(name))
        return failure(Program, "cannot read " + name + ": it is a directory, not a file");
    int error = 0;
    std::optional<InputFile> file = InputFile::open(name, error);
    if (!file)
        return failure(Program, "cannot open " + name + ": " + std::strerror(error));
    if (name == "-" && isTerminal(0)) {
#ifdef _WIN32
        message(Program, "reading entries from the terminal, one a line; Ctrl+Z and Enter on a line of its own end them");
#else
        message(Program, "reading entries from the terminal, one a line; Ctrl+D on a line of its own ends them");
#endif
    }
    m_records.setSource(name, name != "-" || severalInputs(m_options));
    m_buffer.resize(1 << 16);

    Transcoder text(m_options.encoding);
    m_rawStart.clear();
    std::string start;
    bool ended = false;
    Columns columns;
    columns.column = m_options.columnNumber;
    columns.delimiter = m_options.delimiter;
    if (std::string readError = readStart(*file, text, shownName, start, ended); !readError.empty()) {
        m_out.flush();
        return failure(Program, readError);
    }
    if (isZipFile(m_rawStart)) {
        m_out.flush();
        if (name == "-" || !isRegularFile(name))
            return failure(Program, shownName + " is a zip file (an XLSX or ODS spreadsheet?): a spreadsheet is read "
                                                "from a file, named with -i FILE, not from a pipe or standard input");
        if (!m_options.readSheet)
            return failure(Program, shownName + " is a zip file (an XLSX or ODS spreadsheet?), and ean13-sheets, "
                                                "which reads them, was not run for it");
        file.reset();
        const SheetRead sheet = m_options.readSheet(name, m_options, m_records);
        m_out.flush();
        if (sheet.status != 0 && sheet.usage)
            return usageError(Program, sheet.message);
        if (sheet.status != 0)
            return failure(Program, sheet.message);
        return 0;
    }
    if (isCompoundFile(m_rawStart)) {
        m_out.flush();
        return failure(Program, shownName + " is an Excel 97-2003 workbook (XLS) or one with a password, which ean13 "
                                            "cannot read: save it as XLSX without a password, or its sheet as CSV");
    }
    if (needsDelimiter())
        columns.delimiter = detectDelimiter(start, m_options.header, m_options.csv, m_options.delimiter);
    std::string headerError;
    if (m_options.header) {
        columns.header = [&, delimiter = columns.delimiter](const std::vector<std::string_view> &names) {
            return columnInHeader(names, m_options, delimiter, shownName, headerError);
        };
    }
    std::string readError;
    if (m_options.csv) {
        CsvReader reader(m_records, columns);
        readError = read(reader, *file, text, shownName, start, ended);
        if (readError.empty() && !reader.error().empty())
            readError = shownName + ": " + reader.error();
    } else {
        LineReader reader(m_records, columns);
        readError = read(reader, *file, text, shownName, start, ended);
    }
    if (!headerError.empty() || !readError.empty())
        m_out.flush();
    if (!headerError.empty())
        return usageError(Program, headerError);
    if (!readError.empty())
        return failure(Program, readError);
    return 0;
}

int CheckRun::finish()
{
    m_out.flush();
    if (m_out.failed())
        return m_stdout.failure(Program);
    return m_records.allCorrect() ? ExitSuccess : ExitFindings;
}

} // namespace

bool hasSpreadsheetInput(const CheckOptions &options)
{
    for (const std::string &name : options.inputs) {
        if (name == "-" || !isRegularFile(name))
            continue;   // a pipe is not read ahead: what is read of it would be lost
        int error = 0;
        std::optional<InputFile> file = InputFile::open(name, error);
        char start[4];
        if (file && file->read(start, sizeof start) == sizeof start && isZipFile(std::string_view(start, sizeof start)))
            return true;
    }
    return false;
}

int runCheck(const CheckOptions &options)
{
    if (const auto refused = refuseFilesGivenAsCodes(options.codes, options.rules.upce))
        return *refused;
    std::vector<std::string> inputs = options.inputs;
    if (options.codes.empty() && inputs.empty())
        inputs.emplace_back("-");

    CheckRun run(options);
    run.checkCodes();
    for (const std::string &name : inputs) {
        if (run.outputFailed())
            break;
        if (const int status = run.readInput(name); status != 0)
            return status;   // after the records of everything before it
    }
    return run.finish();
}

} // namespace ean13::cli
