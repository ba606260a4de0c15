// Print quality grading of any scan: a clean symbol drawn from the first bytes (module width, grey
// levels, quiet zones, resolution, aperture, calibration), then spoilt by the rest, each byte
// added to a pixel spread over the image. Grading must never crash, and every grade it gives must
// hold together: ten scan lines, grades 0 to 4, the symbol's the mean of theirs, finite figures.
#include "ean13.h"
#include "grade.h"
#include "symbol.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    const int module = 1 + data[0] % 12;
    const int bar = data[1], space = data[2];
    const int quiet = data[3] % 16;
    const std::string modules = ean13::symbolModules(ean13::asciiCode(data[4] & 1 ? "0012345678905" : "5901234123457"));
    grade::GreyImage image;
    image.width = (2 * quiet + 95) * module;
    image.height = 30;
    image.pixels.assign(std::size_t(image.width) * std::size_t(image.height), std::uint8_t(space));
    for (int y = 3; y < image.height - 3; ++y)
        for (int m = 0; m < 95; ++m)
            if (modules[std::size_t(m)] == '1')
                for (int x = (quiet + m) * module; x < (quiet + m + 1) * module; ++x)
                    image.pixels[std::size_t(y * image.width + x)] = std::uint8_t(bar);
    for (std::size_t i = 8; i < size; ++i) {
        const std::size_t at = (i * 7919) % image.pixels.size();
        image.pixels[at] = std::uint8_t(image.pixels[at] + data[i]);
    }
    grade::Options options;
    options.dpiX = options.dpiY = 50 + 20 * data[5];
    options.apertureMm = 0.02 + data[6] / 255.0 * 0.5;
    if (data[7] & 1)
        options.calibration = grade::Calibration{(data[7] >> 1) / 255.0, 0.9};
    options.bwrMm = 0.01;

    const grade::Result r = grade::gradeSymbol(image, options);
    if (r.outcome != grade::Outcome::Graded)
        return 0;
    require(r.scans.size() == 10 && r.code.size() == 13 && r.limitingScan < 10);
    double sum = 0;
    for (const grade::ScanLine &line : r.scans) {
        require(line.grade >= 0 && line.grade <= 4);
        for (int g : line.grades)
            require(g >= line.grade && g <= 4);
        for (double v : {line.rmin, line.rmax, line.sc, line.ecmin, line.mod, line.defects, line.decodability,
                         line.quietLeftMm, line.quietRightMm})
            require(std::isfinite(v));
        require(line.decodability >= 0 && line.decodability <= 1);
        require(!line.decoded || line.code.size() == 13);
        sum += line.grade;
    }
    require(std::abs(r.gradeValue - sum / 10) < 1e-9 && r.grade == grade::letterOfValue(r.gradeValue));
    require(std::isfinite(r.barGainMm) && std::isfinite(r.xDimMm) && r.xDimMm > 0);
    require(!grade::verdict(r, options).empty());
    return 0;
}
