// ean13: checks article numbers in bulk, with the same rules and texts as the window program.
#include "report.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr std::string_view Usage =
    "usage: ean13 [--json] [--] [CODE ...]\n"
    "\n"
    "Checks EAN-13 article numbers (and 12-digit UPC-A numbers) exactly as Barcode Analyser does.\n"
    "Each CODE is one entry; with none, every line of standard input is one (LF or CRLF ends a\n"
    "line; nothing else is trimmed).\n"
    "\n"
    "Output, one line per entry, fields separated by tabs:\n"
    "  CODE    the code as analysed: the first 13 characters, with 0 put in front of a\n"
    "          12-character entry; control characters, stray bytes and \\ as \\xHH and \\\\\n"
    "  STATUS  ok, bad-check-digit, bad-length or non-digit\n"
    "  CHECK   the check digit the code should have, or - for a rejected entry\n"
    "  TEXT    the country of origin, or the error message for a rejected entry\n"
    "\n"
    "  --json  JSON Lines instead: entry, code, status, colour, lines, picture, and for accepted\n"
    "          codes expected_check_digit, country, first_digit and modules; bytes that are\n"
    "          not UTF-8 count as characters and show as U+FFFD\n"
    "  --help  this text\n"
    "\n"
    "Exit status: 0 every entry accepted with a correct check digit, 1 some entry rejected or\n"
    "with a wrong check digit, 2 a usage error or unreadable input.\n";

bool writeAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t n = std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        if (n == 0)
            return false;
        bytes.remove_prefix(n);
    }
    return true;
}

int usageError(const std::string &what)
{
    std::fprintf(stderr, "ean13: %s (see ean13 --help)\n", what.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);   // a reader that goes away shows up as a write error instead
#endif
    std::setvbuf(stdout, nullptr, _IONBF, 0);   // Output already hands over large pieces

    using ean13::cli::Format;
    Format format = Format::Text;
    std::vector<std::string_view> codes;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--json") {
            format = Format::Json;
        } else if (options && (arg == "--help" || arg == "-h")) {
            return writeAll(Usage) ? 0 : 2;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + std::string(arg) + "'; put -- before a code that begins with -");
        } else {
            codes.push_back(arg);
        }
    }

    int writeErrno = 0;
    ean13::cli::Output out([&writeErrno](std::string_view bytes) {
        errno = 0;
        if (writeAll(bytes))
            return true;
        writeErrno = errno;
        return false;
    });
    ean13::cli::Reporter reporter(out, format);

    if (!codes.empty()) {
        for (std::string_view code : codes) {
            reporter.entry(code);
            if (out.failed())
                break;
        }
    } else {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), stdin);
            reporter.feed(std::string_view(buffer.data(), n));
            if (out.failed())
                break;
            if (n < buffer.size()) {
                if (std::ferror(stdin)) {
                    const int readErrno = errno;
                    out.flush();
                    std::fprintf(stderr, "ean13: cannot read standard input: %s\n", std::strerror(readErrno));
                    return 2;
                }
                if (std::feof(stdin))
                    break;
            }
        }
        if (!out.failed())
            reporter.finish();   // a last line without LF; not a line cut off by stopping early
    }
    out.flush();

    if (out.failed() && writeErrno != EPIPE) {
        std::fprintf(stderr, "ean13: cannot write standard output: %s\n", std::strerror(writeErrno));
        return 2;
    }
    // A reader that stopped early (head, grep -m) is no error of ours: stop quietly.
    return reporter.allCorrect() ? 0 : 1;
}
