// Why an image could not be read, in the words ean13 scan and ean13 grade both print after its
// name.
#pragma once

#include "reader.h"

#include <string>

namespace ean13::cli {

// "no such file", "the file is empty", ...; empty for an image that was read.
[[nodiscard]] std::string imageLoadError(const reader::LoadedImage &loaded);

} // namespace ean13::cli
