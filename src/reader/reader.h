// Reading the codes of the EAN/UPC family from pictures (EAN-13, UPC-A, EAN-8 and UPC-E, with the
// 2- and 5-digit add-ons): photos and scans of packs, screenshots, the program's own symbols. No window here: QImage and QImageReader only, so the command line and
// the window program read alike.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

namespace reader {

// Asked between the passes of a reading; true gives it up (the window's Escape). Called on the
// reading's own thread.
using GiveUp = std::function<bool()>;

enum class Symbology { Ean13, UpcA, Ean8, UpcE };

// One code as read from a symbol.
struct Code
{
    Symbology symbology = Symbology::Ean13;
    // EAN-13 and UPC-A: 13 digits (a UPC-A code with its 0 in front); EAN-8: 8; UPC-E: 8 (the
    // number system, the six digits of the symbol and the check digit).
    QString digits;
    QString addon;   // the 2 or 5 digits of an add-on symbol beside it, or empty

    // As a person writes it: the digits, and "+" and the add-on where there is one.
    [[nodiscard]] QString text() const { return addon.isEmpty() ? digits : digits + u'+' + addon; }
    friend bool operator==(const Code &a, const Code &b)
    {
        return a.symbology == b.symbology && a.digits == b.digits && a.addon == b.addon;
    }
    friend bool operator!=(const Code &a, const Code &b) { return !(a == b); }
};
using Codes = QList<Code>;

// "ean13", "upca", "ean8", "upce".
[[nodiscard]] const char *symbologyName(Symbology symbology);

// Every different code in the image, in reading order: top to bottom, and left to right within a
// row. A code is reported only where two independent readings agree on it, an add-on only where
// they agree on it too; an EAN-8 or UPC-E code only where both engines read it and no longer code
// lies under it (a piece of an EAN-13 symbol reads as one now and then). Light bars on a dark
// ground are not read. An image without a code gives an empty list, as does one given up on. A
// reading takes a few seconds at most, whatever the image: the passes that would take longer are
// not begun.
[[nodiscard]] Codes findCodes(const QImage &image, const GiveUp &giveUp = {});

// Why a file gave no image.
enum class LoadError {
    None,
    Missing,       // no such file
    Directory,     // a folder, not a file
    NotAFile,      // a device, a pipe or a socket: nothing that holds a picture for certain
    Empty,         // zero bytes
    NotAnImage,    // no format that the toolkit reads
    TooLarge,      // decoding it would take more memory than MaxImageBytes, or the file is larger
    Damaged,       // an image format, but its data is cut short or broken
    TooComplex,    // an SVG drawing with so many shapes or so much text that drawing it would take
                   // too long (more than MaxDrawingWork)
};

// A decoded image may take at most this much memory (four bytes a pixel); larger ones are refused
// before decoding. No image file may be larger either.
inline constexpr qint64 MaxImageBytes = qint64(256) << 20;
// An SVG drawing, gzip-compressed or not, may be at most this long once inflated: its parser holds
// it whole, and the time to draw it grows with it.
inline constexpr qint64 MaxDrawingBytes = qint64(16) << 20;

struct LoadedImage
{
    QImage image;                  // turned upright as its metadata says; null on failure
    LoadError error = LoadError::None;
    QSize size;                    // the size the file declares, where it says (for TooLarge)
    QString detail;                // the decoder's own words, for Damaged and NotAnImage
};
[[nodiscard]] LoadedImage loadImage(const QString &path);
// The same for an image file's bytes in memory (a picture on the clipboard, dragged from a
// program as PNG or JPEG data): decoded within the same limits.
[[nodiscard]] LoadedImage loadImageData(const QByteArray &bytes);

struct FileCodes
{
    LoadedImage loaded;       // loaded.image is dropped once the codes are read
    Codes codes;
};
[[nodiscard]] FileCodes readCodes(const QString &path, const GiveUp &giveUp = {});

} // namespace reader
