// How much work an SVG drawing asks of the toolkit's renderer, counted before it is drawn: the
// time to draw grows with its shapes, its text and the pixels each may cover, not with its bytes.
#pragma once

#include <QByteArray>
#include <QSize>

namespace reader {

// One plain shape (a bar) on a small picture, with no style sheet, weighs 1. A few thousand shapes draw in well under a
// second; a real barcode drawing (zint's, ours, an Inkscape export of a symbol) weighs a few
// hundred.
inline constexpr qint64 MaxDrawingWork = 20000;

// The weight of `svg` drawn at `size`, or a number above `limit` as soon as it is certain to be
// one (so that a huge drawing is not read to its end). Broken XML is weighed as far as it goes:
// the renderer refuses the rest itself.
[[nodiscard]] qint64 drawingWork(const QByteArray &svg, QSize size, qint64 limit = MaxDrawingWork);

} // namespace reader
