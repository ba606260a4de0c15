// ean13 check's spreadsheet inputs: the entries of one column of a sheet of an XLSX or ODS file.
#pragma once

#include "check.h"

namespace ean13::cli {

// Reads the sheet that options.sheet names (the first if none) of the workbook `name`: the cell
// of the column asked for (the first if none) of every row is an entry, its record's line the
// row's number. A number cell one digit short of a code's length gets a note that the spreadsheet
// may have dropped a leading 0.
[[nodiscard]] SheetRead readSheetInput(const std::string &name, const CheckOptions &options, Records &records);

// The note for a cell of the spreadsheet, or "" if it needs none.
[[nodiscard]] std::string lostZeroNote(std::string_view number, const Rules &rules);

} // namespace ean13::cli
