#include "drawingapp.h"

#include <clocale>
#include <string>

namespace ean13::cli {

std::unique_ptr<QGuiApplication> drawingApplication()
{
    if (QGuiApplication::instance())
        return nullptr;
    // Not the program's own arguments: an image named "-platform" or "-display" is an image.
    static char program[] = "ean13";
    static char platformOption[] = "-platform";
    static char offscreen[] = "offscreen";
    static char *argv[] = {program, platformOption, offscreen, nullptr};
    static int argc = 3;
    // The toolkit takes the desktop's locale for the C library too; the figures the programs
    // print keep their decimal point.
    const char *current = std::setlocale(LC_ALL, nullptr);
    const std::string before = current ? current : "C";
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    std::setlocale(LC_ALL, before.c_str());
    return app;
}

} // namespace ean13::cli
