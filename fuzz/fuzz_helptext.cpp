// Any bytes as the help file: decoding must never fail, lose a line break, or leave a CR or a NUL.
#include "helptext.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = helptext::normaliseLineEnds(helptext::decode(bytes));
    if (text.contains(u'\r') || text.contains(QChar(u'\0')))
        std::abort();
    if (bytes.count('\n') + bytes.count('\r') < text.count(u'\n'))
        std::abort();

    // Folding long lines only ever adds line breaks, and leaves no line longer than asked.
    const qsizetype fold = size ? 1 + data[size - 1] % 16 : 1;
    const QString folded = helptext::foldLongLines(text, fold);
    QString unfolded = folded;
    unfolded.remove(u'\n');
    QString plain = text;
    plain.remove(u'\n');
    if (unfolded != plain)
        std::abort();
    for (const QStringView line : QStringView(folded).split(u'\n'))
        if (line.size() > fold + 1)   // one more only where a surrogate pair would be cut
            std::abort();

    // Read back through a device with a small limit, so that the cut is exercised too.
    QByteArray copy(bytes.constData(), bytes.size());
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const helptext::ShownText loaded = helptext::read(device, size ? 1 + data[0] % 64 : 1, size ? 1 + data[0] % 5 : 1);
    if (!loaded.error.isEmpty() || loaded.text.contains(u'\r'))
        std::abort();
    return 0;
}
