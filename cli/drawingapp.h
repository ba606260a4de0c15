// ean13 scan and ean13 grade read SVG drawings too, and a drawing's text needs the toolkit's
// fonts, which need an application object: without one the toolkit ends the process.
#pragma once

#include <QGuiApplication>

#include <memory>

namespace ean13::cli {

// An application without a screen (the offscreen platform, whatever the environment names), for
// as long as it lives; made on the main thread before any image is read. None where one exists.
[[nodiscard]] std::unique_ptr<QGuiApplication> drawingApplication();

} // namespace ean13::cli
