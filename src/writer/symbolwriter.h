// The standard symbol as a file: SVG, PNG or PDF, each read back by a barcode decoder before it may
// be written, and written whole or not at all.
#pragma once

#include "symbol.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

class QPainter;

namespace ean13 {

enum class SymbolFormat { Svg, Png, Pdf };
[[nodiscard]] std::optional<SymbolFormat> symbolFormat(QStringView name);   // "svg", "PNG", ...
[[nodiscard]] QString suffix(SymbolFormat format);                          // "svg", "png", "pdf"

inline constexpr int DefaultDpi = 600;
inline constexpr int MinDpi = 50;
inline constexpr int MaxDpi = 2400;

struct RenderSettings
{
    SymbolOptions symbol;
    int dpi = DefaultDpi;   // PNG only
};

// A PNG has a whole number of pixels to a module, so that every edge is sharp; the X-dimension it
// really has follows from the resolution.
struct PixelGrid
{
    int pixelsPerModule = 0;
    double xMm = 0;
    int bwrPixels = 0;
    // The options as the pixels make them: X as above, a bar height and a bar width reduction
    // that were in range for the X asked for brought into range for this one.
    SymbolOptions options;
};
[[nodiscard]] PixelGrid pixelGrid(const SymbolOptions &options, int dpi);

// Empty when the settings make a valid symbol in that format, or what is wrong (English).
[[nodiscard]] std::string checkSettings(const RenderSettings &settings, SymbolFormat format);

enum class RenderError {
    None,
    NotThirteenDigits,
    NotReadBack,   // the decoder did not read the same 13 digits from the rendered symbol
};

struct Rendered
{
    RenderError error = RenderError::None;
    QByteArray bytes;   // the whole file; empty on error
    QImage image;       // the raster that was read back
};

// Renders and verifies; settings must have passed checkSettings().
[[nodiscard]] Rendered renderSymbol(const Code &code, SymbolFormat format, const RenderSettings &settings);

// Any symbol of the family, with or without an add-on.
struct SymbolRequest
{
    Symbology symbology = Symbology::Ean13;
    std::string digits;   // as many as the symbology carries
    std::string addOn;    // none, 2 or 5 digits
};
// NotThirteenDigits stands for any request whose digits do not make its symbol.
[[nodiscard]] Rendered renderSymbol(const SymbolRequest &request, SymbolFormat format, const RenderSettings &settings);
[[nodiscard]] Rendered renderImage(const SymbolRequest &request, const RenderSettings &settings);

// The symbol on a raster of whole pixels per module, read back before it is returned; a null image
// when it does not read back. For the clipboard and for PNG.
[[nodiscard]] Rendered renderImage(const Code &code, const RenderSettings &settings);

// Paints the symbol, white background included, with one module as one unit of the painter's
// coordinates and its top-left corner at the origin. Bars narrowed by `bwr` modules.
void paintSymbol(QPainter &painter, const Symbol &symbol, double bwr);

// The bars of an SVG file that renderSymbol() wrote, drawn on a raster of `pixelsPerModule` pixels
// a module: the tallest band of its rows that no character reaches into (from the top, down to where
// the digits begin; below an add-on's digits); a null image for any other file, or one whose
// characters reach into the bars or stand beside them.
[[nodiscard]] QImage readSvgBars(const QByteArray &svg, int pixelsPerModule);

// The 13 digits that the decoder reads from an image as EAN-13, or an empty string.
[[nodiscard]] std::string readEan13(const QImage &image);
// The digits that the decoder reads from an image as that symbology, and '+' and the add-on's
// when `addOn` (then a symbol without one reads as nothing); or an empty string.
[[nodiscard]] std::string readSymbol(const QImage &image, Symbology symbology, bool addOn);

// For tests: called with every raster before it is read back, so that a test can spoil it.
void setRasterFaultForTesting(std::function<void(QImage &)> fault);

} // namespace ean13
