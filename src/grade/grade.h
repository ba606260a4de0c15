// Print quality of an EAN-13 or UPC-A symbol from a scan, graded as a bar code verifier grades it
// (ISO/IEC 15416, with the aperture, inspection band and quiet zones that GS1 sets for retail
// symbols): ten scan reflectance profiles across the bars, each graded on eight
// parameters, the symbol grade the mean of the ten. No toolkit: the scan comes in as grey levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace grade {

// Eight bits a pixel, rows one after another with no padding.
struct GreyImage
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    [[nodiscard]] std::uint8_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// The reflectances of the darkest and the lightest patch scanned with the symbol, as a reflectance
// meter gave them (fractions, 0 to 1).
struct Calibration
{
    double low = 0;
    double high = 1;
};

struct Options
{
    double dpiX = 0;                        // scan resolution across and along the bars
    double dpiY = 0;
    double apertureMm = 0.150;              // GS1's aperture for X from 0.264 to 0.660 mm
    std::optional<Calibration> calibration; // none: a grey level of 255 is taken as reflectance 1
    double bwrMm = 0;                       // the bar width reduction this print was made with
};

// The parameters of one scan line. Of two with the same grade the first is named as the one that
// limits it: a quiet zone that something dark cuts short spoils the decode too, and is what to mend.
enum class Parameter { QuietZone, Decode, Rmin, SymbolContrast, EdgeContrast, Modulation, Defects, Decodability };
inline constexpr int ParameterCount = 8;
[[nodiscard]] std::string_view parameterName(Parameter p) noexcept;   // "decode", "quiet zone", ...

struct ScanLine
{
    double y = 0;                 // the pixel row
    bool decoded = false;
    std::string code;             // what this line decoded to, if anything
    double rmin = 0, rmax = 0;    // reflectances, 0 to 1
    double sc = 0;                // symbol contrast: rmax - rmin
    double ecmin = 0;             // the lowest edge contrast between neighbouring elements
    double mod = 0;               // modulation: ecmin / sc
    double defects = 0;           // the largest element reflectance non-uniformity / sc
    double decodability = 0;      // 0 when the line does not decode
    double quietLeftMm = 0, quietRightMm = 0;   // light margin beside the symbol on this line
    int grades[ParameterCount] = {};            // 4 (A) to 0 (F), indexed by Parameter
    int grade = 0;                // the lowest of them
    Parameter limit = Parameter::Decode;   // the parameter of that grade, where it is < 4

    // For a picture of the profile: reflectance at x0, x0 + 1, ... (pixel columns).
    double x0 = 0;
    std::vector<double> profile;
    std::vector<double> edges;    // element edges as pixel columns, quiet zones' edges included
    double threshold = 0;         // the global threshold, rmin + sc / 2
    // Where the parameter that limits this line's grade is worst (pixel columns), where it has a
    // place: the element of the largest non-uniformity, the two elements of the lowest edge
    // contrast, the character of the least decodability, a quiet zone too short. Else equal.
    double markFrom = 0, markTo = 0;
};

enum class Outcome {
    Graded,
    NoSymbol,      // no EAN-13 or UPC-A symbol with straight bars was found
    TooCoarse,     // the modules are too few pixels wide for the aperture
    NoResolution,  // options.dpiX or dpiY is not a positive number
};

struct Result
{
    Outcome outcome = Outcome::NoSymbol;
    std::string message;          // why it was not graded (English)
    std::string code;             // 13 digits (a UPC-A code with 0 in front)
    std::string symbology;        // "EAN-13" or "UPC-A"
    std::vector<ScanLine> scans;  // ten, top to bottom
    double gradeValue = 0;        // mean of the scan grades, 0.0 to 4.0
    char grade = 'F';
    std::size_t limitingScan = 0; // the scan line with the lowest grade (the first of equals)
    Parameter limit = Parameter::Decode;   // what limits that scan line, where its grade < 4
    double xDimMm = 0;            // module width
    double modulePixels = 0;
    double barGainMm = 0;         // mean bar width minus nominal; negative for a loss
    double quietLeftMm = 0, quietRightMm = 0;        // the narrowest over the scan lines
    double quietLeftMinMm = 0, quietRightMinMm = 0;  // what the symbology asks for at this X
    double barHeightMm = 0;       // the data bars, without the guard bars' extension
    double apertureMm = 0;
    bool calibrated = false;
};

// A module narrower than this many pixels is refused: the aperture cannot be simulated on it.
inline constexpr double MinModulePixels = 4.0;

[[nodiscard]] Result gradeSymbol(const GreyImage &image, const Options &options);

// 4 -> 'A' ... 0 -> 'F', for a grade value 0.0 to 4.0 (A from 3.5, B from 2.5, C from 1.5, D from 0.5).
[[nodiscard]] char letterOfValue(double value) noexcept;

// The bar width reduction to print with next time, and a sentence in Russian on what limits the
// grade and what to change.
[[nodiscard]] double nextBwrMm(const Result &result, const Options &options) noexcept;
[[nodiscard]] std::string verdict(const Result &result, const Options &options);

// The EAN-13 reference decode over the 60 edges of the symbol's 59 elements, from the leading edge
// of the first guard bar. Characters are told apart by edge-to-similar-edge distances, so an even
// gain of every bar changes nothing but the bar sums that part 1 from 7 and 2 from 8.
struct Decoded
{
    std::string digits;       // 13 digits with a correct check digit
    double decodability = 0;  // the least margin of any character, as a fraction of its most
    int worstCharacter = 0;   // where that is: 0 to 11, left to right
};
[[nodiscard]] std::optional<Decoded> decodeEdges(const double *edges);

} // namespace grade
