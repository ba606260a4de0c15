// The scan reflectance profile of the scan line that limits a grade, as a picture: reflectance
// along the line, Rmin, Rmax, the global threshold and the element edges.
#pragma once

#include "grade.h"

#include <optional>
#include <string>

enum class ProfileFormat { Svg, Png };
[[nodiscard]] std::optional<ProfileFormat> profileFormatOf(const std::string &path);   // by its ending

// The picture as SVG text.
[[nodiscard]] std::string profileSvg(const grade::Result &result);

// Writes the picture whole or not at all; a PNG is the SVG drawn at twice its size, for which a
// toolkit application is started (argc and argv are its own).
[[nodiscard]] bool writeProfile(const std::string &path, ProfileFormat format, const grade::Result &result, int &argc,
                                char **argv, std::string *error);
