// The standard EAN-13 symbol as a printer or a scanner knows it, free of any window: the 95
// modules, the quiet zones, the guard bars that reach below the data bars, where the
// human-readable digits go, and the sizes in millimetres.
#pragma once

#include "ean13.h"
#include "family.h"

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
    int left;            // module from the symbol's left edge, quiet zone included
    int width;           // modules
    bool guard;          // reaches GuardDescent below the data bars
    bool addOn = false;  // a bar of the add-on: from Symbol::addOnTop down to where guards end
};

struct Glyph
{
    char character;   // '0'..'9', '<' or '>'
    double centre;    // modules from the symbol's left edge
    double top = 0;   // of the digits' ink, modules from the symbol's top
    double height = DigitHeight;
};

// The symbol laid out in modules: X = 1 across and down.
struct Symbol
{
    Symbology symbology = Symbology::Ean13;
    std::string digits;     // the 13 digits (12 of UPC-A, 8 of EAN-8 and of UPC-E)
    std::string addOn;      // none, or the 2 or 5 digits of the add-on
    std::string modules;    // of the main symbol: 95 modules (67, 51), '1' a bar, guards included
    std::vector<Bar> bars;  // 30 for every EAN-13 symbol
    std::vector<Glyph> glyphs;
    double barHeight = NominalBarHeight;
    double textTop = 0;     // top of the digits' row under the bars
    double addOnTop = 0;    // where the add-on's bars begin, below its digits
    double height = 0;      // the whole symbol, the text row included
    int width = SymbolWidth;
    int leftQuietZone = LeftQuietZone;

    [[nodiscard]] double guardHeight() const { return barHeight + GuardDescent; }
    [[nodiscard]] double top(const Bar &b) const { return b.addOn ? addOnTop : 0; }
    [[nodiscard]] double bottom(const Bar &b) const { return b.guard || b.addOn ? guardHeight() : barHeight; }
    // What a decoder reads from it: the digits, and '+' and the add-on's where there is one.
    [[nodiscard]] std::string text() const { return addOn.empty() ? digits : digits + '+' + addOn; }
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

// The rest of the family, by the same rules of size (X, bar height, bar width reduction).
//   EAN-8: 67 modules, quiet zones of 7 and 7, its data bars 18.23 mm at 100%; four digits
//     under each half; the margin indicators '<' and '>' in the quiet zones.
//   UPC-A: EAN-13's 95 modules, quiet zones of 9 and 9; the number system and the check digit
//     in smaller type outside the guards, their bars as long as the guards'; ten digits under
//     the bars. No margin indicator.
//   UPC-E: 51 modules (the end guard 010101), quiet zones of 9 and 7; the number system and the
//     check digit in smaller type outside the guards, six digits under the bars. No margin
//     indicator.
//   An add-on (2 or 5 digits) AddOnGap modules after the main symbol's end guard, with
//   AddOnQuietZone after it (a margin indicator '>' there takes RightQuietZone); its digits
//   stand above its bars, which end where the guards end (as zint draws them for EAN-13).
// Nothing unless the digits are those of the symbology and the add-on none, 2 or 5 digits.
[[nodiscard]] std::optional<Symbol> layoutSymbol(Symbology symbology, std::string_view digits, std::string_view addOn,
                                                 const SymbolOptions &options = {});

inline constexpr double Ean8NominalBarHeight = 18.23 / NominalXmm;   // 55.24X
inline constexpr double SmallDigitHeight = 0.75 * DigitHeight;       // UPC's number system and check digit
inline constexpr int AddOnGap = 9;         // 7 to 12 for EAN, 9 to 12 for UPC: 9 suits both
inline constexpr int AddOnQuietZone = 5;
[[nodiscard]] int leftQuietZone(Symbology s) noexcept;
[[nodiscard]] int rightQuietZone(Symbology s) noexcept;
[[nodiscard]] double nominalBarHeight(Symbology s) noexcept;

} // namespace ean13
