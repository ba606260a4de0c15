// The book trade's own numbers inside an EAN-13 code: books (ISBN), periodicals (ISSN) and printed
// music (ISMN) carry an EAN-13 code made from their number, and the number can be read back from
// it. Each of the three has a check digit of its own, worked out modulo 11 (ISBN-10, ISSN) or by
// the EAN rule (ISMN), so only a code with a correct check digit should be read back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ean13 {

// 978 and nine digits (the check digit aside): the ISBN-10 made of those nine and its check digit,
// 0-9 or X. Codes beginning with 979 are ISBNs of 13 digits only and have none.
[[nodiscard]] std::optional<std::string> isbn10Of(std::string_view thirteenDigits);
// 977, seven digits, two of the variant and the check digit: the ISSN made of the seven
// and its check digit, 0-9 or X, without the hyphen in the middle.
[[nodiscard]] std::optional<std::string> issnOf(std::string_view thirteenDigits);
// 9790 and nine digits, the check digit included: the ISMN in its earlier form, M and the nine
// (its check digit is the code's own: the M counts as 3).
[[nodiscard]] std::optional<std::string> ismnOf(std::string_view thirteenDigits);

} // namespace ean13
