// ean13 check: analyses every entry it is given and writes one record for each.
#pragma once

#include "encoding.h"
#include "record.h"

#include <string>
#include <vector>

namespace ean13::cli {

using namespace ean13::lists;
using lists::Encoding;   // not the core's module encoding

struct CheckOptions
{
    Format format = Format::Text;
    Rules rules;
    std::vector<std::string> codes;    // CODE arguments, checked first
    std::vector<std::string> inputs;   // then these, in order; "-" is standard input
    std::string column;                // as given: a number from 1, or a header's name; empty: the whole line
    int columnNumber = 0;              // the column given as a number; 0: by name, or the whole line
    char delimiter = '\t';             // with delimiterGiven false, only what is used where no other is found
    bool delimiterGiven = false;
    bool csv = false;
    bool header = false;
    Encoding encoding = Encoding::Auto;
    bool lineNumbers = false;          // SOURCE:LINE before every text record, even of one input
};

// Runs the check and gives the exit status: 0 every entry read and correct, 1 some entry not,
// 2 an input or output that failed. The options come checked from the command line.
int runCheck(const CheckOptions &options);

} // namespace ean13::cli
