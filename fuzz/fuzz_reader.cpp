// Any grey picture for the reader (the first byte gives the width, the rest are the pixels, row by
// row): it must never crash or abort, whatever zbar and zxing-cpp make of it, and every code it
// reports has the length of its symbology and a check digit that holds, each once, and an add-on
// of 2 or 5 digits or none.
#include "ean13.h"
#include "reader.h"
#include "upce.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int width = data[0] + 1;
    const int height = static_cast<int>((size - 1) / static_cast<std::size_t>(width));
    if (height == 0)
        return 0;
    QImage image(data + 1, width, height, width, QImage::Format_Grayscale8);
    const reader::Codes codes = reader::findCodes(image);
    for (const reader::Code &code : codes) {
        if (codes.count(code) != 1 || !(code.addon.isEmpty() || code.addon.size() == 2 || code.addon.size() == 5))
            std::abort();
        const std::string digits = code.digits.toStdString();
        const bool isShort = code.symbology == reader::Symbology::Ean8 || code.symbology == reader::Symbology::UpcE;
        if (digits.size() != (isShort ? 8u : 13u) || digits.find_first_not_of("0123456789") != std::string::npos)
            std::abort();
        std::string gtin = digits;
        if (code.symbology == reader::Symbology::UpcE) {
            const auto upcA = ean13::expandUpcE(std::string_view(digits).substr(0, 7));
            if (!upcA)
                std::abort();
            gtin = *upcA + digits.back();
        }
        if (ean13::gtinCheckDigit(gtin) != gtin.back() - '0')
            std::abort();
    }
    return 0;
}
