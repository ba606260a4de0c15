// Any grey picture for the reader (the first byte gives the width, the rest are the pixels, row by
// row): it must never crash or abort, whatever zbar and zxing-cpp make of it, and every code it
// reports is 13 digits with a check digit that holds, each once.
#include "ean13.h"
#include "reader.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int width = data[0] + 1;
    const int height = static_cast<int>((size - 1) / static_cast<std::size_t>(width));
    if (height == 0)
        return 0;
    QImage image(data + 1, width, height, width, QImage::Format_Grayscale8);
    const QStringList codes = reader::findCodes(image);
    for (const QString &code : codes) {
        if (code.size() != ean13::CodeLength || codes.count(code) != 1)
            std::abort();
        const ean13::Code digits = ean13::Code::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t *>(code.utf16()),
                                                                              static_cast<std::size_t>(code.size())));
        if (!digits.allDigits() || !ean13::checkDigitOk(digits))
            std::abort();
    }
    return 0;
}
