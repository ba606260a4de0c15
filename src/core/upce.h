// UPC-E: a UPC-A number of number system 0 or 1 with runs of zeros left out, so that it fits in
// six digits (a symbol of 51 modules for small packs). Which zeros are left out is told by the
// last of the six digits.
#pragma once

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

} // namespace ean13
