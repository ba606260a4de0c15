// ean13: checks article numbers in bulk, with the same rules and texts as the window program.
// Parses the command line and hands it to its subcommand: check here, render, scan and grade in
// programs of their own, and so is a check with a spreadsheet among its inputs.
#include "check.h"
#include "checkargs.h"
#include "forward.h"
#include "status.h"

#include <algorithm>
#include <array>
#include <vector>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view Program = "ean13";

// The number of typing mistakes between two words (optimal string alignment: a swap of two
// neighbours counts as one), case aside.
std::size_t typingDistance(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The subcommand that a first argument was probably meant to be: one within two typing
// mistakes (a letter left out, added, changed, or two swapped) of its name.
std::optional<std::string_view> subcommandMeant(std::string_view arg)
{
    constexpr std::array<std::string_view, 4> Names = {"check", "render", "scan", "grade"};
    const bool word = !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    if (!word || std::find(Names.begin(), Names.end(), arg) != Names.end())
        return std::nullopt;
    for (std::string_view name : Names) {
        if (typingDistance(arg, name) <= 2)
            return name;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "render" || first == "scan" || first == "grade")
        return ean13::cli::forward(argv[0], first, argc - 2, argv + 2);
    if (const auto meant = subcommandMeant(first)) {
        return ean13::cli::usageError(Program, "'" + std::string(first) + "' is no subcommand; did you mean 'ean13 "
                                                   + std::string(*meant) + "'?");
    }
    return ean13::cli::runParsed(ean13::cli::parseCheckArguments(argc, argv), [&](const ean13::cli::CheckOptions &options) {
        // Spreadsheets are read by a program of its own, which links the zip and XML libraries
        // that a plain `ean13 CODE` would otherwise map at every start.
        if (ean13::cli::hasSpreadsheetInput(options))
            return ean13::cli::forward(argv[0], "sheets", argc - 1, argv + 1);
        if (!options.sheet.empty())
            return ean13::cli::usageError(Program, "--sheet names a sheet of an XLSX or ODS input, and no input is one");
        return ean13::cli::runCheck(options);
    });
}
