// Reading the help file: a plain text file in UTF-8 or in the single-byte Windows-1251 code page.
#pragma once

#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace helptext {

// Valid UTF-8 (a byte-order mark dropped) is read as UTF-8, anything else as Windows-1251,
// every byte of which stands for one character. A NUL byte shows as U+FFFD.
[[nodiscard]] QString decode(QByteArrayView bytes);

// CRLF, LF and a lone CR each end a line; the lines come back joined by LF, without a trailing one.
[[nodiscard]] QString normaliseLineEnds(QStringView text);

// More than this is not shown: a viewer holding tens of megabytes freezes the program.
inline constexpr qint64 ShownBytes = 4 * 1024 * 1024;

struct Loaded
{
    QString text;       // the lines read, joined by LF
    QString error;      // why reading stopped early; empty when it did not
    bool cut = false;   // the file goes on past ShownBytes
};

// Reads an open device to its end or to ShownBytes, whichever comes first, stopping at a read error.
[[nodiscard]] Loaded read(QIODevice &device, qint64 limit = ShownBytes);

} // namespace helptext
