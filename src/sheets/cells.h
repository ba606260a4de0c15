// What the workbook readers share about values: dates and formats.
#pragma once

#include "sheets.h"

#include <string>
#include <string_view>

namespace ean13::sheets {

// An XLSX date serial (days since 1899-12-30, or 1904-01-01) as YYYY-MM-DD[ HH:MM:SS], a time
// alone as HH:MM:SS.
[[nodiscard]] std::string dateFromSerial(std::string_view xml, bool date1904);
// Whether XLSX's number format `id` (with its code, for ids of the workbook's own) shows a date.
[[nodiscard]] bool isDateFormat(int id, std::string_view code);
// An ODS date value (2024-01-05 or 2024-01-05T13:45:00[.5]) as YYYY-MM-DD[ HH:MM:SS].
[[nodiscard]] std::string isoDateTime(std::string_view value);

} // namespace ean13::sheets
