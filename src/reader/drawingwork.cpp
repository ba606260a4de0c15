#include "drawingwork.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace reader {

namespace {

// Measured with the toolkit's renderer: a text element costs about ten plain shapes (its font and
// layout), each character about four more; path data about one shape for every 16 bytes.
constexpr qint64 ShapeWeight = 1;
constexpr qint64 TextElementWeight = 10;
constexpr qint64 CharacterWeight = 4;
constexpr qint64 PathBytesPerShape = 16;
// Shapes are filled pixel by pixel, so each weighs more on a larger picture: one more for every
// 256 K pixels. (A shape covering a whole picture of 64 K pixels costs about a small shape; bars
// cover a small part of theirs, so a larger picture of a symbol still weighs little.)
constexpr qint64 PixelsPerShape = 262144;
// Every element is matched against every rule of the drawing's style sheets: each 2 KB of them
// weigh as much again as the shapes themselves.
constexpr qint64 StyleBytesPerShape = 2048;

bool holdsText(QStringView name)
{
    return name == u"text" || name == u"tspan" || name == u"textArea" || name == u"textPath" || name == u"tbreak";
}

} // namespace

qint64 drawingWork(const QByteArray &svg, QSize size, qint64 limit)
{
    const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : 0;
    const qint64 areaFactor = 1 + pixels / PixelsPerShape;
    qint64 shapes = 0;
    qint64 styleBytes = 0;
    int textDepth = 0;
    int styleDepth = 0;
    // Each factor is at most a few thousand (a picture of at most MaxImageBytes, a file of at most
    // MaxDrawingBytes), so the product cannot overflow while shapes stays near the limit.
    auto work = [&] { return shapes * areaFactor * (1 + styleBytes / StyleBytesPerShape); };
    QXmlStreamReader xml(svg);
    while (!xml.atEnd() && work() <= limit) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            shapes += ShapeWeight;
            if (holdsText(xml.name())) {
                ++textDepth;
                shapes += TextElementWeight;
            }
            if (xml.name() == u"style")
                ++styleDepth;
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute &attribute : attributes)
                if (attribute.name() == u"d" || attribute.name() == u"points")
                    shapes += attribute.value().size() / PathBytesPerShape;
            break;
        }
        case QXmlStreamReader::EndElement:
            if (holdsText(xml.name()))
                textDepth = std::max(0, textDepth - 1);
            if (xml.name() == u"style")
                styleDepth = std::max(0, styleDepth - 1);
            break;
        case QXmlStreamReader::Characters:
            if (textDepth > 0)
                shapes += CharacterWeight * xml.text().size();
            if (styleDepth > 0)
                styleBytes += xml.text().size();
            break;
        default: break;
        }
    }
    return std::min(work(), limit + 1);
}

} // namespace reader
