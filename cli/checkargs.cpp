#include "checkargs.h"

#include "status.h"
#include "version.h"

#include <CLI/App.hpp>
#include <CLI/Config.hpp>
#include <CLI/Formatter.hpp>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace ean13::cli {

namespace {

constexpr std::string_view Subcommands =
    "usage: ean13 [check] [OPTIONS] [CODE...]\n"
    "       ean13 render [OPTIONS] ...     (see ean13 render --help)\n"
    "       ean13 scan [OPTIONS] IMAGE...  (see ean13 scan --help)\n"
    "       ean13 grade [OPTIONS] IMAGE... (see ean13 grade --help)\n"
    "\n"
    "Subcommands:\n"
    "  check   checks article numbers (the default: the word may be left out)\n"
    "  render  draws the standard barcode symbol of a code into a file\n"
    "  scan    finds barcodes in images and checks each code found\n"
    "  grade   grades the print quality of a symbol from a scan of the print\n"
    "\n";

constexpr std::string_view CheckUsage = "usage: ean13 [check] [OPTIONS] [CODE...]\n\n";

constexpr std::string_view CheckHelp =
    "Checks EAN-13 article numbers (and 12-digit UPC-A numbers) exactly as Barcode Analyser does.\n"
    "Each CODE is one entry; then every line of each input is one (LF or CRLF ends a line;\n"
    "nothing else is trimmed). With no CODE and no -i, standard input is read.\n"
    "An XLSX or ODS spreadsheet given with -i is read directly: every row of its first sheet\n"
    "(or of --sheet NAME) that holds anything is one entry, the cell of --column (A without\n"
    "it) as the spreadsheet shows it, numbers without exponent; its line is the row's number.\n"
    "\n"
    "Inputs:\n"
    "  -i, --input FILE    read entries from FILE, - for standard input; may be repeated\n"
    "  --column N|L|NAME   the entry is field N (from 1) of each line, the column that a\n"
    "                      spreadsheet shows as L (A, B, ..., ZZ), or the field that the\n"
    "                      header names NAME (with --header); a line without it is reported\n"
    "                      as missing-column\n"
    "  --delimiter C       the character between fields (tab for a tab); without it, each\n"
    "                      input's first lines decide among comma, semicolon and tab (its\n"
    "                      header alone, with --header); if none is there: tab, or comma\n"
    "                      with --csv\n"
    "  --csv               read CSV files (RFC 4180): quoted fields may hold the delimiter,\n"
    "                      doubled quotes and line breaks; the entry is the first field\n"
    "                      unless --column says which\n"
    "  --header            the first line (record) of each input names the columns and is\n"
    "                      not checked\n"
    "  --sheet NAME        the sheet of XLSX and ODS inputs to read (the first by default)\n"
    "  --encoding E        utf-8, cp1251 (Windows-1251) or auto, the default: valid UTF-8 is\n"
    "                      UTF-8, anything else Windows-1251, judged by the first piece of\n"
    "                      each input that is not plain ASCII; a UTF-8 byte-order mark at the\n"
    "                      start of an input is dropped; the output is always UTF-8\n"
    "\n"
    "Entries:\n"
    "  --clean             drop spaces and hyphens anywhere in an entry first\n"
    "                      (\"4 820000 000000\", \"978-5-...\")\n"
    "  --gtin              accept GTIN-8, GTIN-12, GTIN-13 and GTIN-14 (8, 12, 13 or 14 digits)\n"
    "                      and check each by the GS1 rule\n"
    "  --upce              read 6, 7 or 8 digits as a UPC-E number (the zero-suppressed UPC-A\n"
    "                      of small packs): 8 digits are the number system (0 or 1), the six\n"
    "                      digits of the symbol and the check digit, which is verified; 7 the\n"
    "                      number system and the six, 6 the six alone (number system 0): the\n"
    "                      check digit is worked out. Each is analysed as the UPC-A number it\n"
    "                      stands for. 12 and 13 digits are analysed as usual and must have a\n"
    "                      UPC-E form. Refused: bad-number-system (7 or 8 digits beginning\n"
    "                      with 2-9), bad-upc-e (six digits the zero-suppression rules would\n"
    "                      have written otherwise, as 0120003 for 0120000), not-upc-e (12 or\n"
    "                      13 digits without a UPC-E form)\n"
    "  --as-typed          take an entry as the window's field does: its first 13 characters\n"
    "                      (by default an entry longer than 13 characters is bad-length)\n"
    "\n"
    "Output, one line per entry, fields separated by tabs:\n"
    "  SOURCE:LINE  with several inputs (CODE arguments count as one, \"(command line)\"), or\n"
    "               with -n: the input's name, - for standard input, and the line the entry\n"
    "               starts on (for CODE arguments, the place among them)\n"
    "  CODE    the code as analysed, with 0 put in front of a 12-character entry; … after the\n"
    "          first characters of one too long; control characters, stray bytes, invisible\n"
    "          characters (a byte-order mark, a zero-width space) and \\ as \\xHH, \\uHHHH and \\\\\n"
    "  STATUS  ok, bad-check-digit, bad-length, non-digit or missing-column (and with\n"
    "          --upce bad-number-system, bad-upc-e or not-upc-e)\n"
    "  CHECK   the check digit the code should have, or -\n"
    "  TEXT    the country of origin (for 8 and 14 digits: who issued the number), or the\n"
    "          error message\n"
    "  NOTE    only for a spreadsheet's number cell of 11 digits (with --gtin, or 7): that\n"
    "          the spreadsheet may have dropped a leading 0, and the code with it\n"
    "\n"
    "  -n, --line-number  SOURCE:LINE in front of every record, even with one input\n"
    "  --json  JSON Lines instead: line (always), source (for a named input, and with several\n"
    "          inputs), entry (as read), code, status, colour, lines, picture, and for accepted\n"
    "          codes kind (with --gtin), expected_check_digit, country (13 digits), issuer (who\n"
    "          issued the number: a GS1 member organisation or what the range is for; not where\n"
    "          the product was made), upc_a and upc_e (13 digits beginning with 0: the UPC-A\n"
    "          number and its UPC-E form, where it has one), isbn10, issn or ismn (correct\n"
    "          codes beginning with 978, 977 or 9790: the book, periodical or music number),\n"
    "          first_digit and modules (13 digits), note (as NOTE); bytes that are not UTF-8\n"
    "          show as U+FFFD\n"
    "\n"
    "  -h, --help   this text\n"
    "  --version    the version\n"
    "\n"
    "Examples:\n"
    "  ean13 4820000000000 036000291452\n"
    "  ean13 -i codes.txt -i more.txt > report.tsv\n"
    "  ean13 --csv --header --column EAN -i products.csv\n"
    "  ean13 --csv --header --column 2 -n -i excel.csv\n"
    "  ean13 --header --column EAN -n -i products.xlsx\n"
    "  ean13 --sheet Prices --column B -i products.ods\n"
    "  ean13 --clean --gtin --json < codes.txt\n"
    "  ean13 --upce --json 04252614   (upc_a 042100005264, code 0042100005264)\n"
    "  ean13 --json 9780306406157     (isbn10 0306406152)\n"
    "\n"
    "Exit status: 0 every entry read and accepted with a correct check digit; 1 some entry\n"
    "rejected, with a wrong check digit or without the column; 2 a usage error, or an input or\n"
    "output that failed (with a message). When the reader of the output goes away early\n"
    "(| head), ean13 ends as a writer to a closed pipe does: killed by SIGPIPE.\n";

constexpr std::string_view Program = "ean13";
constexpr std::string_view Version = "ean13 (Barcode Analyser) " BARCODE_ANALYSER_VERSION "\n";

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A column as a spreadsheet names it: A is 1, Z 26, AA 27, up to ZZ. Longer words are names
// only (EAN, SKU), whatever the header.
int columnLetters(std::string_view text)
{
    if (text.empty() || text.size() > 2)
        return 0;
    int column = 0;
    for (char c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            return 0;
        column = column * 26 + (c - 'A' + 1);
    }
    return column;
}

std::optional<ean13::cli::Encoding> encodingNamed(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    if (name == "auto")
        return ean13::cli::Encoding::Auto;
    if (name == "utf-8" || name == "utf8")
        return ean13::cli::Encoding::Utf8;
    if (name == "cp1251" || name == "windows-1251" || name == "1251")
        return ean13::cli::Encoding::Cp1251;
    return std::nullopt;
}

// The command line of ean13 [check]; the subcommands that are programs of their own never come here.
} // namespace

Parsed<CheckOptions> parseCheckArguments(int argc, char **argv)
{
    using ean13::cli::Answered;
    const bool named = argc > 1 && std::string_view(argv[1]) == "check";   // the word may be left out

    ean13::cli::CheckOptions o;
    bool json = false;
    std::string delimiter;
    std::string encoding = "auto";
    CLI::App app("", named ? "ean13 check" : "ean13");
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version");
    app.add_flag("--json", json);
    app.add_option("-i,--input", o.inputs)->type_name("FILE")->allow_extra_args(false);   // one FILE each
    app.add_option("--column", o.column);
    app.add_option("--delimiter", delimiter);
    app.add_flag("--csv", o.csv);
    app.add_flag("--header", o.header);
    app.add_option("--encoding", encoding)->type_name("E");
    app.add_option("--sheet", o.sheet)->type_name("NAME");
    app.add_flag("-n,--line-number", o.lineNumbers);
    app.add_flag("--clean", o.rules.clean);
    auto *gtin = app.add_flag("--gtin", o.rules.gtin);
    auto *upce = app.add_flag("--upce", o.rules.upce)->excludes(gtin);
    app.add_flag("--as-typed", o.rules.asTyped)->excludes(gtin)->excludes(upce);
    app.add_option("CODE", o.codes);
    try {
        // With "check" first, it stands where the program's name would, and is passed over.
        app.parse(argc - (named ? 1 : 0), argv + (named ? 1 : 0));
    } catch (const CLI::CallForHelp &) {
        return Answered{ean13::cli::writeText(Program, std::string(named ? CheckUsage : Subcommands) + std::string(CheckHelp))};
    } catch (const CLI::CallForVersion &) {
        return Answered{ean13::cli::writeText(Program, Version)};
    } catch (const CLI::ParseError &e) {
        return Answered{ean13::cli::usageError(Program, e.what())};
    }

    o.format = json ? ean13::cli::Format::Json : ean13::cli::Format::Text;
    o.delimiter = o.csv ? ',' : '\t';
    if (!delimiter.empty()) {
        if (delimiter == "tab" || delimiter == "\\t")
            delimiter = "\t";
        if (delimiter.size() != 1 || delimiter[0] == '\n' || delimiter[0] == '\r' || (o.csv && delimiter[0] == '"'))
            return Answered{ean13::cli::usageError(Program, "--delimiter takes one character (or tab), not '" + delimiter + "'")};
        o.delimiter = delimiter[0];
        o.delimiterGiven = true;
    }
    if (const auto e = encodingNamed(encoding))
        o.encoding = *e;
    else
        return Answered{ean13::cli::usageError(Program, "--encoding takes utf-8, cp1251 or auto, not '" + encoding + "'")};
    o.columnLetters = columnLetters(o.column);
    if (allDigits(o.column)) {
        o.columnNumber = std::stoi(o.column.substr(0, std::min<std::size_t>(o.column.size(), 9)));
        if (o.columnNumber < 1)
            return Answered{ean13::cli::usageError(Program, "--column counts from 1")};
    } else if (o.columnLetters > 0 && !o.header) {
        o.columnNumber = o.columnLetters;
    } else if (!o.column.empty() && !o.header) {
        return Answered{ean13::cli::usageError(Program, "--column " + o.column + " names a column: say --header too, so that the first line names them")};
    }
    return o;
}


} // namespace ean13::cli
