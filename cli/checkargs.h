// The command line of ean13 [check]: read alike by ean13 and by ean13-sheets, to which ean13
// hands a command line that has a spreadsheet among its inputs.
#pragma once

#include "check.h"
#include "status.h"

namespace ean13::cli {

// argv as main() has it; "check" as the first argument is passed over.
[[nodiscard]] Parsed<CheckOptions> parseCheckArguments(int argc, char **argv);

} // namespace ean13::cli
