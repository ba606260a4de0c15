// Pictures of EAN-13 and UPC-A codes, made afresh from a seed: symbols of zint (an independent
// generator) and symbols drawn here from the core's module string, clean or put through what
// photos and scans do to them. The reader's tests and the reading benchmark share them.
// Needs a QGuiApplication (the busy backgrounds carry text).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

namespace scanimages {

struct Sample
{
    QString kind;        // clean-1px, rotated-90, jpeg, two-codes, none, ...
    QString name;        // kind and number, unique: a file name without its suffix
    QString suffix;      // "png" or "jpg"
    QByteArray file;     // the image file's bytes
    QStringList codes;   // what a reader must find, 13 digits each, in reading order (for "several",
                         // in the order drawn)
};

[[nodiscard]] QStringList kinds();
// What photographs of packs do to a symbol: perspective, motion blur, defocus, glare, curved
// surfaces, low light with sensor noise, a thumb over it, a small symbol in a large busy photo,
// several symbols, a blurred and turned JPEG.
[[nodiscard]] QStringList photoKinds();

// zint's standard symbol of a 13-digit code (a UPC-A symbol for one that starts with 0), `module`
// pixels a module, with its quiet zones; grey.
[[nodiscard]] QImage zintSymbol(const QString &code, int module = 2, const QString &zintProgram = QStringLiteral("zint"));
// Any symbol of the family as zint draws it, with its quiet zones: `barcode` is zint's name for the
// symbology (EANX: EAN-13 or EAN-8 by the length, UPCA, UPCE) and `data` the digits as zint takes
// them, without the check digit, an add-on after a "+" ("978014300723+51299").
[[nodiscard]] QImage zintFamilySymbol(const QString &barcode, const QString &data, int module = 2,
                                      const QString &zintProgram = QStringLiteral("zint"));

// `perKind` samples of every kind, the same for the same seed. Symbols alternate between zint's
// and our own drawing; without zint this stops the program.
[[nodiscard]] std::vector<Sample> makeSamples(int perKind, unsigned seed, const QString &zintProgram = QStringLiteral("zint"));
// The same for the kinds given.
[[nodiscard]] std::vector<Sample> makeSamples(const QStringList &kinds, int perKind, unsigned seed,
                                              const QString &zintProgram = QStringLiteral("zint"));

// A well-formed PNG file that declares the size given, with hardly any data: 100,000 by 100,000
// pixels would take 40 GB once decoded.
[[nodiscard]] QByteArray pngDeclaring(int width, int height);

// A whole, well-formed white PNG of the size given: a few kilobytes for a very large picture.
[[nodiscard]] QByteArray whitePng(int width, int height);

// An SVG drawing of `bytes` bytes (mostly white space), gzip-compressed: about a thousandth of
// that on disk.
[[nodiscard]] QByteArray gzipDrawing(qint64 bytes);

} // namespace scanimages
