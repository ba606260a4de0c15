#include "imageerror.h"

namespace ean13::cli {

std::string imageLoadError(const reader::LoadedImage &loaded)
{
    switch (loaded.error) {
    case reader::LoadError::None: break;
    case reader::LoadError::Missing: return "no such file";
    case reader::LoadError::Directory: return "a directory, not an image";
    case reader::LoadError::NotAFile: return "not a regular file (a device, a pipe or a socket)";
    case reader::LoadError::Empty: return "the file is empty";
    case reader::LoadError::NotAnImage: return "not an image, or in a format that cannot be read";
    case reader::LoadError::TooLarge:
        if (!loaded.size.isValid())
            return "too large to decode";
        return "too large to decode (" + std::to_string(loaded.size.width()) + " x " + std::to_string(loaded.size.height())
               + " pixels)";
    case reader::LoadError::Damaged: return "damaged or cut short (" + loaded.detail.toStdString() + ")";
    case reader::LoadError::TooComplex: return "a drawing too complex to draw (too many shapes or too much text)";
    }
    return {};
}

} // namespace ean13::cli
