// Reading EAN-13 and UPC-A codes from pictures: photos and scans of packs, screenshots, the
// program's own symbols. No window here: QImage and QImageReader only, so the command line and
// the window program read alike.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace reader {

// Every different code in the image as its 13 digits (a UPC-A code with its 0 in front), in
// reading order: top to bottom, and left to right within a row. Light bars on a dark ground are
// not read. An image without a code gives an empty list.
[[nodiscard]] QStringList findCodes(const QImage &image);

// Why a file gave no image.
enum class LoadError {
    None,
    Missing,       // no such file
    Empty,         // zero bytes
    NotAnImage,    // no format that the toolkit reads
    TooLarge,      // decoding it would take more memory than MaxImageBytes
    Damaged,       // an image format, but its data is cut short or broken
};

// A decoded image may take at most this much memory; larger ones are refused before decoding.
inline constexpr qint64 MaxImageBytes = qint64(256) << 20;

struct Loaded
{
    QImage image;                  // turned upright as its metadata says; null on failure
    LoadError error = LoadError::None;
    QSize size;                    // the size the file declares, where it says (for TooLarge)
    QString detail;                // the toolkit's own words, for Damaged and NotAnImage
};
[[nodiscard]] Loaded loadImage(const QString &path);

struct FileCodes
{
    Loaded loaded;       // loaded.image is dropped once the codes are read
    QStringList codes;
};
[[nodiscard]] FileCodes readFile(const QString &path);

} // namespace reader
