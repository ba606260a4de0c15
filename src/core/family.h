// The other symbols of the EAN/UPC family beside EAN-13: UPC-A (EAN-13's bars with a leading zero
// left unsaid), EAN-8, UPC-E, and the 2- and 5-digit add-ons that follow a main symbol. Their
// module strings only; symbol.h lays them out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ean13 {

enum class Symbology { Ean13, UpcA, Ean8, UpcE };

[[nodiscard]] std::string_view symbologyName(Symbology s) noexcept;   // "ean13", "upca", "ean8", "upce"
[[nodiscard]] std::optional<Symbology> symbologyOfName(std::string_view name) noexcept;

// How many digits the symbol carries: 13, 12, 8, and 8 for UPC-E (the number system, the six
// digits in the bars and the check digit of the UPC-A number it stands for).
[[nodiscard]] int digitCount(Symbology s) noexcept;

// The modules of the main symbol, guards included, '1' a bar: 95 for EAN-13 and UPC-A, 67 for
// EAN-8, 51 for UPC-E. Empty unless `digits` are exactly the digits that symbology carries (a
// UPC-E number system other than 0 or 1 included). The check digit is not judged here.
[[nodiscard]] std::string familyModules(Symbology s, std::string_view digits);

// The modules of a 2- or 5-digit add-on, from its start pattern to its last bar (20 or 47);
// empty for anything else.
[[nodiscard]] std::string addOnModules(std::string_view digits);

// The modules of each of the family's guard patterns.
inline constexpr std::string_view NormalGuard = "101";
inline constexpr std::string_view CentreGuardPattern = "01010";
inline constexpr std::string_view UpcEEndGuard = "010101";
inline constexpr std::string_view AddOnStart = "1011";
inline constexpr std::string_view AddOnSeparator = "01";

} // namespace ean13
