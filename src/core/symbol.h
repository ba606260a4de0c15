// The standard EAN-13 symbol as a printer or a scanner knows it, free of any window: the 95
// modules, the quiet zones, the guard bars that reach below the data bars, where the
// human-readable digits go, and the sizes in millimetres.
#pragma once

#include "ean13.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ean13 {

// Sizes from ISO/IEC 15420 and GS1's published rules for EAN-13 symbol dimensions (at
// magnification 100%: X 0.330 mm, data bars 22.85 mm, the whole symbol 37.29 by 25.93 mm).
inline constexpr double NominalXmm = 0.330;
inline constexpr double MinXmm = 0.264;   // magnification 80%
inline constexpr double MaxXmm = 0.660;   // magnification 200%
inline constexpr double NominalBarHeightMm = 22.85;   // data bars at 100%; scaled with X

inline constexpr int SymbolModules = 95;        // 3 + 6 x 7 + 5 + 6 x 7 + 3
inline constexpr int LeftQuietZone = 11;        // at least 11X left of the start guard
inline constexpr int RightQuietZone = 7;        // at least 7X right of the end guard
inline constexpr int SymbolWidth = LeftQuietZone + SymbolModules + RightQuietZone;   // 113
inline constexpr double GuardDescent = 5;       // guard bars end 5X below the data bars

// The text row under the data bars: of the 25.93 mm of the 100% symbol, 22.85 mm are bars and
// 3.08 mm (9.33X) hold the digits, which leave half a module above and below them.
inline constexpr double TextGap = 0.5;
inline constexpr double DigitHeight = 25.93 / NominalXmm - NominalBarHeightMm / NominalXmm - 2 * TextGap;   // 8.33X
inline constexpr double NominalBarHeight = NominalBarHeightMm / NominalXmm;   // 69.24X

// Where the human-readable characters stand, as the centre of each, in modules from the symbol's
// left edge (quiet zone included). The first digit stands in the left quiet zone, clear of the
// start guard; each other digit is centred under its own seven modules; the light margin
// indicator '>' fills the right quiet zone.
inline constexpr double FirstDigitCentre = 7.0;
inline constexpr double MarginIndicatorCentre = SymbolWidth - RightQuietZone / 2.0;   // 109.5

// What a user may choose about the symbol, in millimetres.
struct SymbolOptions
{
    double xMm = NominalXmm;
    std::optional<double> barHeightMm;   // data bars; the nominal height scaled with X when unset
    double bwrMm = 0;                    // bar width reduction: every bar this much narrower
    bool text = true;                    // the human-readable digits
    bool marginIndicator = false;        // '>' in the right quiet zone
};

// Empty when the options make a valid symbol, or what is wrong with them (English, for ean13 render).
[[nodiscard]] std::string checkOptions(const SymbolOptions &options);
inline constexpr double MinBarHeightFactor = 0.5;   // of the nominal height at that X
inline constexpr double MaxBarHeightFactor = 2.0;
// Of X. Measured at 300, 600 and 1200 dpi with zbar and zxing-cpp: half a module made an SVG that
// zbar could not read at 300 and 1200 dpi, and 0.35 a PNG at X 0.66 mm that zxing-cpp could not;
// 0.3 still read everywhere, and a quarter leaves a margin below it.
inline constexpr double MaxBwrFactor = 0.25;

struct Bar
{
    int left;    // module from the symbol's left edge, quiet zone included
    int width;   // modules
    bool guard;  // reaches GuardDescent below the data bars
};

struct Glyph
{
    char character;   // '0'..'9' or '>'
    double centre;    // modules from the symbol's left edge
};

// The symbol laid out in modules: X = 1 across and down.
struct Symbol
{
    std::string digits;     // the 13 digits
    std::string modules;    // 95 modules, '1' a bar, guards included
    std::vector<Bar> bars;  // 30 for every EAN-13 symbol
    std::vector<Glyph> glyphs;
    double barHeight = NominalBarHeight;
    double textTop = 0;     // top of the digits' row
    double height = 0;      // the whole symbol, the text row included
    int width = SymbolWidth;

    [[nodiscard]] double guardHeight() const { return barHeight + GuardDescent; }
};

// Plain ASCII text and a code: a byte is a character. Enough for entries that are to be digits
// (anything else is refused all the same) and for writing the digits of a code.
[[nodiscard]] Code asciiCode(std::string_view text) noexcept;
[[nodiscard]] std::string asciiText(const Code &code);

// The 95 modules of 13 digits; empty for anything but 13 digits.
[[nodiscard]] std::string symbolModules(const Code &code);

// The symbol of 13 digits, or nothing for anything else. The check digit is not judged here: a
// symbol is only what the digits say.
[[nodiscard]] std::optional<Symbol> layoutSymbol(const Code &code, const SymbolOptions &options = {});

} // namespace ean13
