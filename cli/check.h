// ean13 check: analyses every entry it is given and writes one record for each.
#pragma once

#include "record.h"

#include <string>
#include <vector>

namespace ean13::cli {

struct CheckOptions
{
    Format format = Format::Text;
    Rules rules;
    std::vector<std::string> codes;    // CODE arguments, checked first
    std::vector<std::string> inputs;   // then these, in order; "-" is standard input
    std::string column;                // a number from 1, or a header's name; empty: the whole line
    char delimiter = '\t';
    bool delimiterGiven = false;
    bool csv = false;
    bool header = false;
};

// Runs the check and gives the exit status: 0 every entry read and correct, 1 some entry not,
// 2 a usage error or an input or output that failed.
int runCheck(const CheckOptions &options);

} // namespace ean13::cli
