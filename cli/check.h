// ean13 check: analyses every entry it is given and writes one record for each.
#pragma once

#include "encoding.h"
#include "record.h"
#include "records.h"

#include <string>
#include <vector>

namespace ean13::cli {

using namespace ean13::lists;
using lists::Encoding;   // not the core's module encoding

struct CheckOptions;

// What reading a spreadsheet input came to: 0, or the exit status of a failure with its message
// (a usage error's, with `usage`).
struct SheetRead
{
    int status = 0;
    std::string message;
    bool usage = false;
};
// Reads the spreadsheet `name` into the records. Only ean13-sheets has one: ean13 hands a command
// line with a spreadsheet input on to it, so that a plain `ean13 CODE` maps no zip or XML library.
using SheetReader = SheetRead (*)(const std::string &name, const CheckOptions &options, Records &records);

struct CheckOptions
{
    Format format = Format::Text;
    Rules rules;
    std::vector<std::string> codes;    // CODE arguments, checked first
    std::vector<std::string> inputs;   // then these, in order; "-" is standard input
    std::string column;                // as given: a number from 1, letters, or a header's name; empty: the whole line
    int columnNumber = 0;              // the column given as a number (or letters, without a header); 0: by name, or the whole line
    int columnLetters = 0;             // the column the letters name (A is 1, up to ZZ), if they are letters
    char delimiter = '\t';             // with delimiterGiven false, only what is used where no other is found
    bool delimiterGiven = false;
    bool csv = false;
    bool header = false;
    Encoding encoding = Encoding::Auto;
    bool lineNumbers = false;          // SOURCE:LINE before every text record, even of one input
    std::string sheet;                 // of spreadsheet inputs; empty: the first
    SheetReader readSheet = nullptr;
};

// Whether an input is a zip file, as XLSX and ODS spreadsheets are: only its first bytes are read.
[[nodiscard]] bool hasSpreadsheetInput(const CheckOptions &options);

// Runs the check and gives the exit status: 0 every entry read and correct, 1 some entry not,
// 2 an input or output that failed. The options come checked from the command line.
int runCheck(const CheckOptions &options);

} // namespace ean13::cli
