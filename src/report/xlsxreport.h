// A table of text as an Excel workbook (XLSX) of one sheet: the first row a bold header, every cell
// text (so that Excel shows a 13-digit code as it is, not as 4.82E+12, and never takes a cell
// for a formula), written whole or not at all.
#pragma once

#include "wholefile.h"

#include <QString>

#include <functional>

namespace ean13 {

struct TextTable
{
    int rows = 0;      // the header included
    int columns = 0;
    std::function<QString(int row, int column)> cell;
    std::function<int(int column)> width;   // in characters; none: Excel's own
};

// Rows a sheet holds at most, the header included.
inline constexpr int MaxXlsxRows = 1048576;

// Writes the table as the workbook `path`, with saveWhole's rules. More rows than a sheet holds
// are refused (WriteProblem::System with the reason in systemText), before anything is written.
[[nodiscard]] WriteError saveXlsx(const QString &path, const TextTable &table, const QString &sheetName);

} // namespace ean13
