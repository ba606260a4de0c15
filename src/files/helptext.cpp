#include "helptext.h"

#include "fileaccess.h"

#include <QIODevice>
#include <QStringDecoder>

#include <array>

namespace helptext {

namespace {

// 0x80..0xFF of Windows-1251. 0x98 stands for nothing there and keeps its own value, as Windows does.
constexpr std::array<char16_t, 128> Cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr char16_t Replacement = 0xFFFD;

QString fromCp1251(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *out++ = QChar(b == 0 ? Replacement : b < 0x80 ? char16_t{b} : Cp1251High[b - 0x80u]);
    }
    return text;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);   // drops a BOM
    QString text = utf8(bytes);
    if (utf8.hasError())
        return fromCp1251(bytes);
    text.replace(QChar(u'\0'), QChar(Replacement));
    return text;
}

QString normaliseLineEnds(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += u'\n';
        } else {
            out += c;
        }
    }
    if (out.endsWith(u'\n'))   // a line break ends the last line; it starts no empty one
        out.chop(1);
    return out;
}

QString foldLongLines(const QString &text, qsizetype maxLength)
{
    qsizetype longest = 0;
    for (qsizetype i = 0, run = 0; i < text.size(); ++i) {
        run = text[i] == u'\n' ? 0 : run + 1;
        longest = qMax(longest, run);
    }
    if (longest <= maxLength)
        return text;   // the usual case: nothing to fold, no copy
    QString out;
    out.reserve(text.size() + text.size() / maxLength);
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c == u'\n') {
            run = 0;
        } else {
            if (run >= maxLength && !c.isLowSurrogate()) {   // never between the halves of a pair
                out += u'\n';
                run = 0;
            }
            ++run;
        }
        out += c;
    }
    return out;
}

namespace {

// How many bytes at the end of the text belong to a UTF-8 sequence that the cut broke off.
qsizetype brokenTail(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= size; ++back) {
        const auto b = static_cast<unsigned char>(bytes[size - back]);
        if ((b & 0xC0) == 0x80)
            continue;   // a continuation byte: look further back for its lead
        const qsizetype length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

ShownText textOf(QByteArray bytes, bool more, qsizetype lineLimit)
{
    ShownText loaded;
    loaded.cut = more;
    if (more)
        bytes.chop(brokenTail(bytes));
    loaded.text = foldLongLines(normaliseLineEnds(decode(bytes)));
    qsizetype lineEnd = -1;
    for (qsizetype lines = 0; lines < lineLimit; ++lines) {
        lineEnd = loaded.text.indexOf(u'\n', lineEnd + 1);
        if (lineEnd < 0)
            break;
    }
    if (lineEnd >= 0) {
        loaded.text.truncate(lineEnd);
        loaded.cut = true;
    }
    return loaded;
}

ShownText read(QIODevice &device, qint64 byteLimit, qsizetype lineLimit)
{
    const fileaccess::Contents contents = fileaccess::readAll(device, byteLimit);
    ShownText loaded = textOf(contents.bytes, contents.more, lineLimit);
    loaded.error = contents.outcome.systemText;
    return loaded;
}

} // namespace helptext
