// UPC-E: a UPC-A number of number system 0 or 1 with runs of zeros left out, so that it fits in
// six digits (a symbol of 51 modules for small packs). Which zeros are left out is told by the
// last of the six digits.
#pragma once

#include "ean13.h"

#include <optional>
#include <string>
#include <string_view>

namespace ean13 {

// The first 11 digits of the UPC-A number (number system, manufacturer, product; no check
// digit) that a UPC-E number stands for: `numberSystemAndBody` is the number system ('0' or '1')
// and the six digits of the symbol. Nothing for anything else.
//   body d1..d6, d6 in 0-2: manufacturer d1 d2 d6 0 0, product 0 0 d3 d4 d5
//   d6 = 3:                  manufacturer d1 d2 d3 0 0, product 0 0 0 d4 d5
//   d6 = 4:                  manufacturer d1 d2 d3 d4 0, product 0 0 0 0 d5
//   d6 in 5-9:               manufacturer d1 d2 d3 d4 d5, product 0 0 0 0 d6
[[nodiscard]] std::optional<std::string> expandUpcE(std::string_view numberSystemAndBody);

// The other way: the number system and six digits of the UPC-E number for the first 11 digits of
// a UPC-A number, when they can be suppressed (the rules above, tried in that order, so that
// each UPC-A number has one UPC-E form). Nothing when they cannot.
[[nodiscard]] std::optional<std::string> suppressUpcA(std::string_view firstElevenDigits);

// An entry read as a UPC-E number, as zint and GS1 write them: 8 digits are the number system,
// the six digits of the symbol and the check digit; 7 digits the number system and the six,
// without a check digit; 6 digits the six alone, number system 0, no check digit. Where there is
// no check digit it is worked out, so the UPC-A number is always complete. Six digits that the
// rules would not have written (a UPC-A number has one UPC-E form: 0120003 is 0120000 written
// with the wrong rule) are refused, as zint refuses to draw them.
struct UpcEEntry
{
    Status status = Status::BadLength;   // Ok, BadLength, NonDigit, BadNumberSystem or BadUpcE
    std::string upcA;                    // 12 digits, when Ok: the expansion and the check digit
    bool checkDigitGiven = false;        // 8 digits: the check digit was typed, and is still to be verified
};
[[nodiscard]] UpcEEntry readUpcE(std::u32string_view entry);

// The 8-digit UPC-E form (number system, six digits, check digit) of a 13-digit GTIN whose first
// digit is 0 (the UPC-A number with a 0 in front), when it can be zero-suppressed; its check digit
// is the GTIN's own, right or wrong.
[[nodiscard]] std::optional<std::string> upcEOfGtin13(std::string_view thirteenDigits);

} // namespace ean13
