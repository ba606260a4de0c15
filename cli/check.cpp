#include "check.h"

#include "input.h"
#include "records.h"
#include "status.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

namespace ean13::cli {

namespace {

constexpr std::string_view Program = "ean13";
constexpr std::string_view ArgumentsSource = "(command line)";

// A code has 8 to 14 digits (GTIN-8 to GTIN-14), spaces and hyphens aside.
bool couldBeACode(std::string_view arg)
{
    std::size_t digits = 0;
    for (char c : arg) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c != ' ' && c != '-')
            return false;
    }
    return digits >= 8 && digits <= 14;
}

bool namesAFile(const std::string &arg)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::u8path(arg), error);
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The column that the options ask for, given the names in an input's header: 0 for the whole
// line, or -1 with the reason in `error`.
int columnInHeader(const std::vector<std::string_view> &names, const CheckOptions &options, int number,
                   const std::string &input, std::string &error)
{
    if (names.empty()) {
        error = input + ": the first line is too long to be a header";
        return -1;
    }
    if (options.column.empty())
        return 0;
    if (allDigits(options.column))
        return number;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view name = names[i];
        if (i == 0 && name.substr(0, 3) == "\xEF\xBB\xBF")
            name.remove_prefix(3);   // the byte-order mark that spreadsheets put first
        if (name == options.column)
            return static_cast<int>(i) + 1;
    }
    error = input + " has no column named '" + options.column + "' in its first line";
    return -1;
}

// Reads the input to its end, or until the output or the reader fails; says why, if it failed.
template <class Reader>
std::string readAll(Reader &reader, InputFile &file, const std::string &name, Output &out, std::vector<char> &buffer)
{
    for (;;) {
        const long long n = file.read(buffer.data(), buffer.size());
        if (n < 0) {
            const int error = errno;
            reader.finish();   // what was read is reported
            return "cannot read " + name + ": " + std::strerror(error);
        }
        if (n == 0)
            break;
        reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        if (out.failed() || reader.stopped())
            return {};
        // Input that comes slowly (a terminal, tail -f) is answered as it comes; a file or a
        // busy pipe fills the buffer and keeps its output for one large write.
        if (static_cast<std::size_t>(n) < buffer.size())
            out.flush();
    }
    reader.finish();
    return {};
}

} // namespace

int runCheck(const CheckOptions &options)
{
    for (const std::string &code : options.codes) {
        if (!couldBeACode(code) && namesAFile(code))
            return usageError(Program, "'" + code + "' is a file, not a code; to check the entries it holds, say -i '" + code + "'");
    }
    for (const std::string &code : options.codes) {
        // No code holds a slash: this was meant as a file. It is checked as the code it was
        // given as, but not without a word.
        if (code.find_first_of("/\\") != std::string::npos)
            message(Program, "'" + code + "' is checked as a code: there is no such file (to read a file, say -i FILE)");
    }
    Columns columns;
    columns.delimiter = options.delimiter;
    if (!options.column.empty()) {
        if (allDigits(options.column)) {
            columns.column = std::stoi(options.column.substr(0, std::min<std::size_t>(options.column.size(), 9)));
            if (columns.column < 1)
                return usageError(Program, "--column counts from 1");
        } else if (!options.header) {
            return usageError(Program, "--column " + options.column + " names a column: say --header too, so that the first line names them");
        }
    }

    std::vector<std::string> inputs = options.inputs;
    if (options.codes.empty() && inputs.empty())
        inputs.emplace_back("-");
    const bool showOrigin = inputs.size() + (options.codes.empty() ? 0 : 1) > 1;

    StandardOutput stdoutSink;
    Output out([&stdoutSink](std::string_view bytes) { return stdoutSink.write(bytes); });
    Records records(out, {options.format, options.rules, options.column, showOrigin});

    records.setSource(ArgumentsSource);
    long long position = 0;
    for (const std::string &code : options.codes) {
        records.entry(code, ++position);
        if (out.failed())
            break;
    }

    std::vector<char> buffer(inputs.empty() ? 0 : 1 << 16);
    for (const std::string &name : inputs) {
        if (out.failed())
            break;
        int error = 0;
        std::optional<InputFile> file = InputFile::open(name, error);
        if (!file) {
            out.flush();
            return failure(Program, "cannot open " + name + ": " + std::strerror(error));
        }
        records.setSource(name);
        const std::string shownName = name == "-" ? std::string("standard input") : name;
        std::string headerError;
        Columns these = columns;
        if (options.header) {
            these.header = [&](const std::vector<std::string_view> &names) {
                return columnInHeader(names, options, columns.column, shownName, headerError);
            };
        }
        std::string readError;
        if (options.csv) {
            CsvReader reader(records, these);
            readError = readAll(reader, *file, shownName, out, buffer);
            if (readError.empty() && !reader.error().empty())
                readError = shownName + ": " + reader.error();
        } else {
            LineReader reader(records, these);
            readError = readAll(reader, *file, shownName, out, buffer);
        }
        if (!headerError.empty()) {
            out.flush();
            return usageError(Program, headerError);
        }
        if (!readError.empty()) {
            out.flush();
            return failure(Program, readError);
        }
    }
    out.flush();
    if (out.failed())
        return stdoutSink.failure(Program);
    return records.allCorrect() ? ExitSuccess : ExitFindings;
}

} // namespace ean13::cli
