// Any code for the encoder: it must never put out more than 84 modules, only '0' and '1', in whole
// groups that each stand for a digit of the code.
#include "ean13.h"
#include "utf8.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ean13::Code code = ean13::lists::codeFromUtf8(std::string_view(reinterpret_cast<const char *>(data), size));
    const ean13::Encoding e = ean13::encodeModules(code);
    if (e.modules.size() > static_cast<std::size_t>(ean13::ModuleCount) || e.modules.size() % ean13::GroupWidth != 0)
        std::abort();
    if (e.firstDigit.has_value() != !code.empty())
        std::abort();
    for (std::size_t at = 0; at < e.modules.size(); at += ean13::GroupWidth) {
        const std::string_view group = std::string_view(e.modules).substr(at, ean13::GroupWidth);
        if (group.find_first_not_of("01") != std::string_view::npos || !ean13::digitOfGroup(group))
            std::abort();
    }
    (void)ean13::digitOfGroup(std::string_view(reinterpret_cast<const char *>(data), size));
    (void)ean13::country(code);
    return 0;
}
