// Any bytes as a list from an office: the encoding layer and the delimiter's detection must
// neither crash nor depend on how the bytes are cut into pieces where the encoding is given, and
// what the automatic choice gives must be one of the two readings of the whole input.
#include "delimiter.h"
#include "encoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

std::string convert(std::string_view bytes, ean13::lists::Encoding encoding, std::size_t step)
{
    ean13::lists::Transcoder text(encoding);
    std::string out;
    for (std::size_t at = 0; at < bytes.size();) {
        out.append(text.convert(bytes.substr(at, step)));
        at += step;
        step = step * 7 % 11 + 1;
    }
    out.append(text.finish());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::size_t step = data[0] % 16 + 1;
    std::string_view content = bytes;
    if (content.substr(0, 3) == "\xEF\xBB\xBF")
        content.remove_prefix(3);

    // UTF-8 passes through, the mark aside; Windows-1251 is the same in any pieces.
    require(convert(bytes, ean13::lists::Encoding::Utf8, step) == content);
    std::string cp1251;
    ean13::lists::appendCp1251(cp1251, content);
    require(convert(bytes, ean13::lists::Encoding::Cp1251, step) == cp1251);
    require(convert(bytes, ean13::lists::Encoding::Cp1251, bytes.size() + 1) == cp1251);

    // Auto reads the input one way or the other, never a mixture of pieces.
    const std::string automatic = convert(bytes, ean13::lists::Encoding::Auto, step);
    require(automatic == content || automatic == cp1251);

    const char found = ean13::lists::detectDelimiter(bytes, data[0] & 1, data[0] & 2, '\t');
    require(found == ';' || found == ',' || found == '\t');
    return 0;
}
