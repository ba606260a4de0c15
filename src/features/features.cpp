// The module that the window program loads on first use: the reader, the writer and printing,
// handed over as one table (see deferred.h).
#include "deferred.h"

#include <QtGlobal>

namespace {

const deferred::Features Table = [] {
    deferred::Features f;
    f.findCodes = &reader::findCodes;
    f.readCodes = &reader::readCodes;
    f.loadImageData = &reader::loadImageData;
    f.renderSymbol = &ean13::renderSymbol;
    f.renderImage = &ean13::renderImage;
    f.paintSymbol = &ean13::paintSymbol;
    f.saveWhole = &ean13::saveWhole;
    f.symbolFormat = &ean13::symbolFormat;
    f.suffix = &ean13::suffix;
    f.printSymbol = &ean13::printSymbol;
    f.saveXlsx = &ean13::saveXlsx;
    return f;
}();

} // namespace

extern "C" Q_DECL_EXPORT const deferred::Features *barcodeAnalyserFeatures()
{
    return &Table;
}
