// What the window program loads only when it is first used: reading codes from pictures, and
// writing and printing symbols. They bring in zxing-cpp, zbar and the toolkit's printing (with the
// printing system), which the first window never needs; a start that mapped them all, with the
// SVG window icon, took 1.4 times as long as one without them. The module barcode-analyser-features
// holds them; this library gives the window program the same functions as the reader, the writer
// and printing, each of which loads the module on its first call and then goes straight through.
#pragma once

#include "printing.h"
#include "reader.h"
#include "symbolwriter.h"
#include "wholefile.h"

namespace deferred {

// The functions the windows call, as the module hands them over. A module of another build, whose
// table differs, is refused rather than called.
struct Features
{
    int size = sizeof(Features);
    int version = 4;
    reader::Codes (*findCodes)(const QImage &, const reader::GiveUp &) = nullptr;
    reader::FileCodes (*readCodes)(const QString &, const reader::GiveUp &) = nullptr;
    reader::LoadedImage (*loadImageData)(const QByteArray &) = nullptr;
    ean13::Rendered (*renderSymbol)(const ean13::Code &, ean13::SymbolFormat, const ean13::RenderSettings &) = nullptr;
    ean13::Rendered (*renderImage)(const ean13::Code &, const ean13::RenderSettings &) = nullptr;
    void (*paintSymbol)(QPainter &, const ean13::Symbol &, double) = nullptr;
    ean13::WriteError (*saveWhole)(const QString &, const QByteArray &) = nullptr;
    std::optional<ean13::SymbolFormat> (*symbolFormat)(QStringView) = nullptr;
    QString (*suffix)(ean13::SymbolFormat) = nullptr;
    ean13::PrintResult (*printSymbol)(QWidget *, const QString &, const ean13::Symbol &, double) = nullptr;
};

// The module's one exported function: `const Features *barcodeAnalyserFeatures()`.
inline constexpr char EntryPoint[] = "barcodeAnalyserFeatures";
using Entry = const Features *(*)();

// Where the module lies, and whether it is loaded yet (for tests and the start-up benchmark).
[[nodiscard]] QString modulePath();
[[nodiscard]] bool moduleLoaded();

} // namespace deferred
