#include "reader.h"

// zbar first: zxing-cpp defines macros (UnsupportedError, ...) that zbar's C++ wrappers use as names.
#include <zbar.h>
#include <ZXing/ReadBarcode.h>

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace reader {

namespace {

// One code as seen, in the coordinates of the original image.
struct Sighting
{
    QString digits;
    QRectF area;   // bounds of the bars
};

// Pixels along a line from a to b, n of them; outside the image counts as paper.
std::vector<int> samplesAlong(const QImage &grey, QPointF a, QPointF b, int n)
{
    std::vector<int> values(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QPointF p = a + (b - a) * (n > 1 ? double(i) / (n - 1) : 0.0);
        const int x = qRound(p.x()), y = qRound(p.y());
        values[static_cast<std::size_t>(i)] = grey.rect().contains(x, y) ? grey.constScanLine(y)[x] : 255;
    }
    return values;
}

// How far the bars crossed by the line from a to b go on in the direction `step` (a unit
// vector across them): as far as the lines parallel to it show the same pattern of dark and light.
double barsReach(const QImage &grey, QPointF a, QPointF b, QPointF step, double limit)
{
    const int n = std::clamp(qRound(std::hypot(b.x() - a.x(), b.y() - a.y())), 2, 600);
    const std::vector<int> line = samplesAlong(grey, a, b, n);
    const auto [low, high] = std::minmax_element(line.begin(), line.end());
    const int threshold = (*low + *high) / 2;
    double t = 1;
    for (; t < limit; t += 1) {
        const std::vector<int> parallel = samplesAlong(grey, a + step * t, b + step * t, n);
        int same = 0;
        for (int i = 0; i < n; ++i)
            same += (line[static_cast<std::size_t>(i)] < threshold) == (parallel[static_cast<std::size_t>(i)] < threshold);
        if (same < n * 4 / 5)
            break;
    }
    return t;
}

class Sightings
{
public:
    explicit Sightings(const QImage &grey) : m_grey(grey) {}

    // The same code seen again (by another engine, another pass, or printed twice) counts once.
    // `outline` runs along the scan lines that read it, in the original image's coordinates.
    void add(QString digits, const QPolygonF &outline)
    {
        if (digits.size() == 12)
            digits.prepend(u'0');   // a UPC-A number is the EAN-13 number with a 0 in front
        if (digits.size() != 13 || outline.isEmpty()
            || std::any_of(m_seen.begin(), m_seen.end(), [&](const Sighting &s) { return s.digits == digits; }))
            return;
        m_seen.push_back({digits, barsArea(outline)});
    }
    [[nodiscard]] bool empty() const { return m_seen.empty(); }

    // Top to bottom; codes whose middles lie within the height of the row's first code share
    // its row and go left to right.
    [[nodiscard]] QStringList inReadingOrder() const
    {
        std::vector<Sighting> byHeight = m_seen;
        std::stable_sort(byHeight.begin(), byHeight.end(),
                         [](const Sighting &a, const Sighting &b) { return a.area.center().y() < b.area.center().y(); });
        QStringList ordered;
        for (auto rowStart = byHeight.begin(); rowStart != byHeight.end();) {
            auto rowEnd = std::next(rowStart);
            while (rowEnd != byHeight.end() && rowEnd->area.center().y() <= rowStart->area.bottom())
                ++rowEnd;
            std::stable_sort(rowStart, rowEnd,
                             [](const Sighting &a, const Sighting &b) { return a.area.center().x() < b.area.center().x(); });
            for (auto it = rowStart; it != rowEnd; ++it)
                ordered.append(it->digits);
            rowStart = rowEnd;
        }
        return ordered;
    }

private:
    // The engines say where their scan lines crossed the code, which may be anywhere along its
    // bars; the bars' own extent is what tells codes in one row from codes in two.
    QRectF barsArea(const QPolygonF &outline) const
    {
        // The two points farthest apart are the code's two ends on some scan line.
        QPointF a = outline.front(), b = outline.front();
        double longest = -1;
        for (const QPointF &p : outline)
            for (const QPointF &q : outline)
                if (const double d = std::hypot(p.x() - q.x(), p.y() - q.y()); d > longest) {
                    longest = d;
                    a = p;
                    b = q;
                }
        if (longest < 1)
            return QRectF(a, QSizeF(1, 1));
        const QPointF across = QPointF(a.y() - b.y(), b.x() - a.x()) / longest;
        const double up = barsReach(m_grey, a, b, across, longest);
        const double down = barsReach(m_grey, a, b, -across, longest);
        return QPolygonF({a + across * up, b + across * up, b - across * down, a - across * down}).boundingRect();
    }

    const QImage &m_grey;
    std::vector<Sighting> m_seen;
};

// A grey copy of an image as it is handed to the engines, with the way back to the original's
// coordinates.
struct View
{
    QImage grey;             // Format_Grayscale8
    QTransform toOriginal;
};

QImage toGrey(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    // Transparent parts are paper: a symbol saved without a background is black on nothing.
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

QPolygonF outlineOf(const ZXing::Position &p)
{
    return QPolygonF({QPointF(p.topLeft().x, p.topLeft().y), QPointF(p.topRight().x, p.topRight().y),
                      QPointF(p.bottomRight().x, p.bottomRight().y), QPointF(p.bottomLeft().x, p.bottomLeft().y)});
}

// Paints over a code that has been read, quiet zones and the full height of its bars included,
// so that the next read finds the next code. The outline runs along the scan lines that read it.
void paintOver(QImage &grey, const QPolygonF &outline)
{
    const QPointF left = (outline[0] + outline[3]) / 2;
    const QPointF right = (outline[1] + outline[2]) / 2;
    const QPointF along = right - left;
    const double length = std::hypot(along.x(), along.y());
    if (length < 1)
        return;
    const QPointF unit = along / length;
    const QPointF across(-unit.y(), unit.x());
    const double spread = std::hypot(outline[3].x() - outline[0].x(), outline[3].y() - outline[0].y()) / 2;
    const QPointF quiet = unit * (length * 0.15);
    const QPointF height = across * (spread + length * 0.45);
    QPainter painter(&grey);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({left - quiet - height, right + quiet - height, right + quiet + height, left - quiet + height}));
}

// zxing-cpp 1.4 as Debian ships it is built with its assertions on, and ReadBarcodes compares the
// results it has with new ones through Result::operator==, which asserts that the left-hand result
// was seen on exactly one scan line; a linear result has at least two (minLineCount), so two
// readings of one code (a downscaled layer finding it again, the rotated pass finding it again, or
// the same code printed twice) abort the whole process. ReadBarcode with maxNumberOfSymbols left
// other than 1 takes none of that path: it asks the one-dimensional reader for a single symbol, and
// inside that reader the comparison's left-hand side is always the fresh one-line result. So only
// that call is used, and further codes are found by painting over each one read.
void readWithZxing(const View &view, ZXing::Binarizer binarizer, Sightings &out)
{
    constexpr int MostCodes = 16;
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::EAN13 | ZXing::BarcodeFormat::UPCA)
                           .setBinarizer(binarizer)
                           .setTryHarder(true)
                           .setTryRotate(true);
    QImage work = view.grey;
    for (int i = 0; i < MostCodes; ++i) {
        const ZXing::ImageView image(work.constBits(), work.width(), work.height(), ZXing::ImageFormat::Lum,
                                     static_cast<int>(work.bytesPerLine()));
        const ZXing::Result result = ZXing::ReadBarcode(image, hints);
        if (!result.isValid())
            return;
        const QPolygonF outline = outlineOf(result.position());
        out.add(QString::fromStdString(result.text()), view.toOriginal.map(outline));
        paintOver(work, outline);
    }
}

void readWithZbar(const View &view, Sightings &out)
{
    const QImage &grey = view.grey;
    // zbar wants the rows without padding.
    std::vector<unsigned char> pixels(static_cast<std::size_t>(grey.width()) * static_cast<std::size_t>(grey.height()));
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.width()));

    const std::unique_ptr<zbar::zbar_image_scanner_t, void (*)(zbar::zbar_image_scanner_t *)> scanner(
        zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_EAN13, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_UPCA, zbar::ZBAR_CFG_ENABLE, 1);

    const std::unique_ptr<zbar::zbar_image_t, void (*)(zbar::zbar_image_t *)> image(zbar::zbar_image_create(),
                                                                                   zbar::zbar_image_destroy);
    zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image.get(), static_cast<unsigned>(grey.width()), static_cast<unsigned>(grey.height()));
    zbar::zbar_image_set_data(image.get(), pixels.data(), pixels.size(), nullptr);
    if (zbar::zbar_scan_image(scanner.get(), image.get()) <= 0)
        return;
    for (const zbar::zbar_symbol_t *symbol = zbar::zbar_image_first_symbol(image.get()); symbol;
         symbol = zbar::zbar_symbol_next(symbol)) {
        QPolygonF outline;
        for (unsigned i = 0, n = zbar::zbar_symbol_get_loc_size(symbol); i < n; ++i)
            outline.append(QPointF(zbar::zbar_symbol_get_loc_x(symbol, i), zbar::zbar_symbol_get_loc_y(symbol, i)));
        out.add(QString::fromLatin1(zbar::zbar_symbol_get_data(symbol)), view.toOriginal.map(outline));
    }
}

void readWithBoth(const View &view, Sightings &out)
{
    readWithZxing(view, ZXing::Binarizer::LocalAverage, out);
    readWithZbar(view, out);
}

View scaled(const QImage &grey, double factor)
{
    const QImage copy = grey.scaled(qRound(grey.width() * factor), qRound(grey.height() * factor), Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation);
    return {copy, QTransform::fromScale(double(grey.width()) / copy.width(), double(grey.height()) / copy.height())};
}

View turned(const QImage &grey, double degrees)
{
    const QTransform turn = QTransform().rotate(degrees);
    QImage copy = grey.transformed(turn, Qt::SmoothTransformation);
    // The corners that the turn brings in are black; paper is white.
    QImage paper(copy.size(), QImage::Format_Grayscale8);
    paper.fill(255);
    const QTransform placed = QImage::trueMatrix(turn, grey.width(), grey.height());
    QPainter painter(&paper);
    painter.setTransform(placed);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, grey);
    painter.end();
    return {paper, placed.inverted()};
}

// An unsharp mask: out of focus, thin bars fade to grey and the binarizers lose them.
View sharpened(const QImage &grey)
{
    QImage copy(grey.size(), QImage::Format_Grayscale8);
    const int w = grey.width(), h = grey.height();
    for (int y = 0; y < h; ++y) {
        const uchar *above = grey.constScanLine(std::max(y - 1, 0));
        const uchar *row = grey.constScanLine(y);
        const uchar *below = grey.constScanLine(std::min(y + 1, h - 1));
        uchar *out = copy.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int l = std::max(x - 1, 0), r = std::min(x + 1, w - 1);
            const int sum = above[l] + above[x] + above[r] + row[l] + row[x] + row[r] + below[l] + below[x] + below[r];
            out[x] = static_cast<uchar>(std::clamp(row[x] + 2 * (9 * row[x] - sum) / 9, 0, 255));
        }
    }
    return {copy, QTransform()};
}

} // namespace

QStringList findCodes(const QImage &image)
{
    if (image.isNull())
        return {};
    const View original{toGrey(image), QTransform()};
    Sightings seen(original.grey);
    readWithBoth(original, seen);
    // What helps real photos, tried in turn until something is read.
    if (seen.empty())
        readWithZxing(original, ZXing::Binarizer::GlobalHistogram, seen);
    if (seen.empty() && std::min(image.width(), image.height()) >= 200)
        readWithBoth(scaled(original.grey, 0.5), seen);
    if (seen.empty())
        readWithBoth(sharpened(original.grey), seen);
    if (seen.empty())
        readWithBoth(turned(original.grey, 45), seen);
    return seen.inReadingOrder();
}

Loaded loadImage(const QString &path)
{
    Loaded loaded;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        loaded.error = LoadError::Missing;
        return loaded;
    }
    if (info.size() == 0) {
        loaded.error = LoadError::Empty;
        return loaded;
    }
    QImageReader imageReader(path);
    imageReader.setDecideFormatFromContent(true);   // a JPEG named .png is still a JPEG
    imageReader.setAutoTransform(true);
    if (!imageReader.canRead()) {
        loaded.error = LoadError::NotAnImage;
        loaded.detail = imageReader.errorString();
        return loaded;
    }
    loaded.size = imageReader.size();
    if (loaded.size.isValid() && qint64(loaded.size.width()) * loaded.size.height() * 4 > MaxImageBytes) {
        loaded.error = LoadError::TooLarge;
        return loaded;
    }
    // The toolkit's own limit holds too, for formats that declare no size before decoding.
    QImageReader::setAllocationLimit(static_cast<int>(MaxImageBytes >> 20));
    if (!imageReader.read(&loaded.image)) {
        loaded.image = QImage();
        loaded.error = LoadError::Damaged;
        loaded.detail = imageReader.errorString();
    }
    return loaded;
}

FileCodes readFile(const QString &path)
{
    FileCodes file{loadImage(path), {}};
    file.codes = findCodes(file.loaded.image);
    file.loaded.image = QImage();
    return file;
}

} // namespace reader
