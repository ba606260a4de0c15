// How ean13, ean13 render and ean13 scan end: one set of exit statuses and one shape for every
// message they write on standard error.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace ean13::cli {

// 0: everything asked for was done and found in order. 1: it was done, and some entry, code or
// image was found wanting (a wrong check digit, a refused code, an image without a code).
// 2: a usage error, or something that could not be done (an input, an output, a file).
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFindings = 1;
inline constexpr int ExitFailure = 2;
inline constexpr int ExitUsage = 2;

// "PROGRAM: WHAT" as one line on standard error. Everything in it is escaped as the fields of a
// text record are, since it may echo an entry or a file name: nothing in it can move the cursor,
// set a terminal's title or break the line.
void message(std::string_view program, std::string_view what);
// The same line, escaped as message() writes it, for a program that gathers many into one write.
[[nodiscard]] std::string messageLine(std::string_view program, std::string_view what);
// What a message repeats of an entry: all of it up to 64 bytes, else its start, cut where a
// character ends, and "…", so that a line of megabytes gives a message of one line's length.
[[nodiscard]] std::string excerpt(std::string_view entry);
// "PROGRAM: WHAT (see PROGRAM --help)"; gives ExitUsage.
[[nodiscard]] int usageError(std::string_view program, std::string_view what);
// "PROGRAM: WHAT"; gives ExitFailure.
[[nodiscard]] int failure(std::string_view program, std::string_view what);
// Writes the --help or --version text on standard output: ExitSuccess, or what a failed write of
// standard output gives (see StandardOutput::failure).
[[nodiscard]] int writeText(std::string_view program, std::string_view text);

// The command line read: the options to run with, or the exit status of a command line that was
// answered already (--help, --version, a usage error).
struct Answered
{
    int status;
};
template <class Options>
using Parsed = std::variant<Options, Answered>;

template <class Options, class Run>
int runParsed(const Parsed<Options> &parsed, Run &&run)
{
    if (const auto *answered = std::get_if<Answered>(&parsed))
        return answered->status;
    return run(std::get<Options>(parsed));
}

} // namespace ean13::cli
