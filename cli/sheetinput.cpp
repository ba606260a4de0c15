#include "sheetinput.h"

#include "sheets.h"
#include "status.h"

#include <algorithm>

namespace ean13::cli {

namespace {

// A header's names as the message about an unknown column lists them.
std::string listOfNames(const std::vector<sheets::Cell> &cells)
{
    constexpr std::size_t Listed = 20;
    std::string list;
    for (std::size_t i = 0; i < cells.size() && i < Listed; ++i)
        list += (i ? ", '" : "'") + excerpt(cells[i].text) + "'";
    if (cells.size() > Listed)
        list += ", …";
    return list;
}

// The column the options ask for, given the header row's cells: from 1, or 0 with `error` set.
int columnInHeader(const std::vector<sheets::Cell> &cells, const CheckOptions &options, const std::string &name,
                   std::string &error)
{
    if (options.columnNumber > 0)
        return options.columnNumber;
    if (options.column.empty())
        return 1;
    const auto found = std::find_if(cells.begin(), cells.end(), [&](const sheets::Cell &c) { return c.text == options.column; });
    if (found != cells.end())
        return static_cast<int>(found - cells.begin()) + 1;
    if (options.columnLetters > 0 && static_cast<std::size_t>(options.columnLetters) <= cells.size())
        return options.columnLetters;
    error = name + " has no column named '" + options.column + "'; the first row of its sheet has "
          + (cells.empty() ? std::string("no cells") : listOfNames(cells)) + "; a column can also be given by its letter (--column B) or number";
    return 0;
}

std::string errorText(const std::string &name, const sheets::Error &e, const std::string &sheet)
{
    switch (e.kind) {
    case sheets::ErrorKind::CannotOpen:
        return "cannot open " + name + ": " + e.message;
    case sheets::ErrorKind::NoSuchSheet: {
        std::string list;
        for (std::size_t i = 0; i < e.sheets.size() && i < 50; ++i)
            list += (i ? ", '" : "'") + excerpt(e.sheets[i]) + "'";
        if (e.sheets.size() > 50)
            list += ", …";
        return name + " has no sheet named '" + sheet + "'; its sheets are " + list;
    }
    case sheets::ErrorKind::NotASpreadsheet:
        return "cannot read " + name + ": " + e.message + "; save its list as CSV and read that with --csv";
    case sheets::ErrorKind::Encrypted:
        return "cannot read " + name + ": " + e.message + "; save it without a password";
    default:
        return "cannot read " + name + ": " + e.message;
    }
}

} // namespace

std::string lostZeroNote(std::string_view number, const Rules &rules)
{
    if (number.empty() || !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    // One digit short of a length that is checked: UPC-A's 12 (and, with --gtin, GTIN-8's 8). A
    // number of 12 or 13 digits with its 0 lost is a code still (the 0 in front means nothing).
    const std::size_t n = number.size();
    if (n != static_cast<std::size_t>(UpcLength - 1) && !(rules.gtin && n == 7))
        return {};
    return "Число из " + std::to_string(n) + " цифр: таблица могла отбросить ведущий 0 (с ним: 0" + std::string(number) + ")";
}

SheetRead readSheetInput(const std::string &name, const CheckOptions &options, Records &records)
{
    sheets::Error error;
    const std::unique_ptr<sheets::Workbook> workbook = sheets::Workbook::open(name, error);
    if (!workbook)
        return {ExitFailure, errorText(name, error, options.sheet), false};
    bool headerPending = options.header;
    int column = options.columnNumber > 0 ? options.columnNumber : 1;
    std::string headerError;
    error = workbook->readSheet(options.sheet, [&](long long row, const std::vector<sheets::Cell> &cells) {
        if (headerPending) {
            headerPending = false;
            column = columnInHeader(cells, options, name, headerError);
            return column > 0;
        }
        const auto c = static_cast<std::size_t>(column - 1);
        if (c >= cells.size()) {
            records.entry({}, row);   // an empty cell, as an empty field of a CSV line is
        } else if (cells[c].kind == sheets::CellKind::Number) {
            records.entry(cells[c].text, row, lostZeroNote(cells[c].text, options.rules));
        } else {
            records.entry(cells[c].text, row);
        }
        return !records.outputFailed();
    });
    if (!headerError.empty())
        return {ExitUsage, headerError, true};
    if (error)
        return {ExitFailure, errorText(name, error, options.sheet), error.kind == sheets::ErrorKind::NoSuchSheet};
    if (headerPending && !options.column.empty() && options.columnNumber == 0)
        return {ExitUsage, name + ": its sheet is empty, so no row names the column '" + options.column + "'", true};
    return {};
}

} // namespace ean13::cli
