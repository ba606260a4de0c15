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

// Lines longer than this are shown in pieces of this length. The viewer lays out only the lines in
// sight, but each of them whole, and one that cannot be broken at spaces (a binary file, say) costs
// time that grows with the square of its length: 400,000 characters took 18 s.
inline constexpr qsizetype ShownLineLength = 2000;
[[nodiscard]] QString foldLongLines(const QString &text, qsizetype maxLength = ShownLineLength);

// More than this is not shown: a viewer holding tens of megabytes, or millions of lines (each
// costs it about two microseconds), freezes the program.
inline constexpr qint64 ShownBytes = 4 * 1024 * 1024;
inline constexpr qsizetype ShownLines = 100'000;

struct ShownText
{
    QString text;       // the lines read, joined by LF
    QString error;      // why reading stopped early; empty when it did not
    bool cut = false;   // the file goes on past what is shown
};

// The text shown for the bytes read: decoded, line ends made one, long lines folded, at most
// `lineLimit` lines. `more` says that the bytes were cut off by a limit, maybe inside a character.
[[nodiscard]] ShownText textOf(QByteArray bytes, bool more, qsizetype lineLimit = ShownLines);

// Reads an open device to its end, or as far as ShownBytes and ShownLines allow, stopping at a
// read error.
[[nodiscard]] ShownText read(QIODevice &device, qint64 byteLimit = ShownBytes, qsizetype lineLimit = ShownLines);

} // namespace helptext
