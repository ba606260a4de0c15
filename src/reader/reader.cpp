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
    QPolygonF bars;    // the four corners of the bars
    QPolygonF reach;   // all that the scan lines crossed, a little grown
    int weight;        // how many scan lines read it
};

// The smallest convex polygon around the points (Andrew's monotone chain).
QPolygonF convexHull(QPolygonF points)
{
    std::sort(points.begin(), points.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y()); });
    if (points.size() < 3)
        return points;
    auto turn = [](const QPointF &o, const QPointF &a, const QPointF &b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    QPolygonF hull(2 * points.size());
    qsizetype k = 0;
    for (qsizetype i = 0; i < points.size(); ++i) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    for (qsizetype i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && turn(hull[k - 2], hull[k - 1], points[i - 1]) <= 0)
            --k;
        hull[k++] = points[i - 1];
    }
    hull.resize(k - 1);
    return hull;
}

// Grown by a tenth about its middle: more than the gap between a symbol and a misreading of its
// end, less than the quiet zones between two symbols.
QPolygonF grown(const QPolygonF &polygon)
{
    const QPointF middle = polygon.boundingRect().center();
    QPolygonF out;
    for (const QPointF &p : polygon)
        out.append(middle + (p - middle) * 1.1);
    return out;
}

double area(const QPolygonF &polygon)
{
    double twice = 0;
    for (qsizetype i = 0; i < polygon.size(); ++i) {
        const QPointF &p = polygon[i];
        const QPointF &q = polygon[(i + 1) % polygon.size()];
        twice += p.x() * q.y() - q.x() * p.y();
    }
    return std::abs(twice) / 2;
}

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

    // `outline` runs along the scan lines that read the code, in the original image's
    // coordinates. Gives the bars' corners, to paint over before the next read.
    QPolygonF add(QString digits, const QPolygonF &outline, int weight)
    {
        if (digits.size() == 12)
            digits.prepend(u'0');   // a UPC-A number is the EAN-13 number with a 0 in front
        if (digits.size() != 13 || outline.isEmpty())
            return {};
        // The same code seen again (another engine, another pass, printed twice) counts once.
        const auto same = std::find_if(m_seen.begin(), m_seen.end(), [&](const Sighting &s) { return s.digits == digits; });
        if (same != m_seen.end())
            return same->bars;
        const QPolygonF bars = barsOf(outline);
        const QPolygonF reach = grown(convexHull(outline + bars));
        for (Sighting &seen : m_seen) {
            // Two codes on one symbol: one is a misreading (zbar reads a piece of a steep symbol now
            // and then), most likely the one that fewer scan lines agree on.
            if (area(seen.reach.intersected(reach)) > 1) {
                if (weight > seen.weight)
                    seen = {digits, bars, reach, weight};
                return bars;
            }
        }
        m_seen.push_back({digits, bars, reach, weight});
        return bars;
    }
    [[nodiscard]] bool empty() const { return m_seen.empty(); }
    [[nodiscard]] const std::vector<Sighting> &all() const { return m_seen; }

    // Top to bottom; codes whose middles lie within the height of the row's first code share
    // its row and go left to right.
    [[nodiscard]] QStringList inReadingOrder() const
    {
        std::vector<QRectF> areas;
        std::vector<std::size_t> order;
        for (const Sighting &seen : m_seen) {
            order.push_back(areas.size());
            areas.push_back(seen.bars.boundingRect());
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return areas[a].center().y() < areas[b].center().y(); });
        QStringList ordered;
        for (auto rowStart = order.begin(); rowStart != order.end();) {
            auto rowEnd = std::next(rowStart);
            while (rowEnd != order.end() && areas[*rowEnd].center().y() <= areas[*rowStart].bottom())
                ++rowEnd;
            std::stable_sort(rowStart, rowEnd, [&](std::size_t a, std::size_t b) { return areas[a].center().x() < areas[b].center().x(); });
            for (auto it = rowStart; it != rowEnd; ++it)
                ordered.append(m_seen[*it].digits);
            rowStart = rowEnd;
        }
        return ordered;
    }

private:
    // The engines say where their scan lines crossed the code, which may be anywhere along its
    // bars; the bars' own extent is what tells codes in one row from codes in two.
    QPolygonF barsOf(const QPolygonF &outline) const
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
            return QPolygonF(QRectF(a, QSizeF(1, 1)));
        const QPointF across = QPointF(a.y() - b.y(), b.x() - a.x()) / longest;
        const double up = barsReach(m_grey, a, b, across, longest);
        const double down = barsReach(m_grey, a, b, -across, longest);
        return QPolygonF({a + across * up, b + across * up, b - across * down, a - across * down});
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

// Paints over a code that has been read, so that the next read finds the next code: its bars
// as measured, with their quiet zones, and at least as far across as symbols are high.
void paintOver(QImage &grey, const QPolygonF &bars)
{
    if (bars.size() != 4)
        return;
    const QPointF left = (bars[0] + bars[3]) / 2, right = (bars[1] + bars[2]) / 2;
    const QPointF along = right - left;
    const double length = std::hypot(along.x(), along.y());
    if (length < 1)
        return;
    const QPointF unit = along / length;
    const QPointF across(-unit.y(), unit.x());
    const QPointF quiet = unit * (length * 0.15);
    const QPointF high = across * (length * 0.45);
    const QPointF middle = (left + right) / 2;
    QPainter painter(&grey);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({bars[0] - quiet + across * 2, bars[1] + quiet + across * 2, bars[2] + quiet - across * 2,
                                   bars[3] - quiet - across * 2}));
    painter.drawPolygon(QPolygonF({middle - along / 2 - quiet - high, middle + along / 2 + quiet - high,
                                   middle + along / 2 + quiet + high, middle - along / 2 - quiet + high}));
}

// zxing-cpp 1.4 as Debian ships it is built with its assertions on, and ReadBarcodes compares the
// results it has with new ones through Result::operator==, which asserts that the left-hand result
// was seen on exactly one scan line; a linear result has at least two (minLineCount), so two
// readings of one code (a downscaled layer finding it again, the rotated pass finding it again, or
// the same code printed twice) abort the whole process. ReadBarcode with maxNumberOfSymbols left
// other than 1 takes none of that path: it asks the one-dimensional reader for a single symbol, and
// inside that reader the comparison's left-hand side is always the fresh one-line result. So only
// that call is used, and further codes are found by painting over each one read (and over those
// read before, by either engine).
void readWithZxing(const View &view, ZXing::Binarizer binarizer, bool harder, Sightings &out)
{
    constexpr int MostCodes = 16;
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::EAN13 | ZXing::BarcodeFormat::UPCA)
                           .setBinarizer(binarizer)
                           .setTryHarder(harder)
                           .setTryRotate(true);
    QImage work = view.grey;
    const QTransform toView = view.toOriginal.inverted();
    for (const Sighting &seen : out.all())
        paintOver(work, toView.map(seen.bars));
    QString last;
    for (int i = 0; i < MostCodes; ++i) {
        const ZXing::ImageView image(work.constBits(), work.width(), work.height(), ZXing::ImageFormat::Lum,
                                     static_cast<int>(work.bytesPerLine()));
        const ZXing::Result result = ZXing::ReadBarcode(image, hints);
        const QString digits = QString::fromStdString(result.text());
        if (!result.isValid() || digits == last)   // painted over, and still there: no further
            return;
        last = digits;
        paintOver(work, toView.map(out.add(digits, view.toOriginal.map(outlineOf(result.position())), result.lineCount())));
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
        out.add(QString::fromLatin1(zbar::zbar_symbol_get_data(symbol)), view.toOriginal.map(outline),
                zbar::zbar_symbol_get_quality(symbol));
    }
}

void readWithBoth(const View &view, Sightings &out)
{
    readWithZbar(view, out);
    readWithZxing(view, ZXing::Binarizer::LocalAverage, false, out);
}

View scaled(const View &from, double factor)
{
    const QImage &grey = from.grey;
    const QImage copy = grey.scaled(qRound(grey.width() * factor), qRound(grey.height() * factor), Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation);
    return {copy, QTransform::fromScale(double(grey.width()) / copy.width(), double(grey.height()) / copy.height()) * from.toOriginal};
}

View turned(const View &from, double degrees)
{
    const QImage &grey = from.grey;
    const QTransform placed = QImage::trueMatrix(QTransform().rotate(degrees), grey.width(), grey.height());
    // Drawn on paper: the corners that the turn brings in are white, not black.
    QImage paper(placed.mapRect(QRectF(grey.rect())).toAlignedRect().size(), QImage::Format_Grayscale8);
    paper.fill(255);
    QPainter painter(&paper);
    painter.setTransform(placed);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, grey);
    painter.end();
    return {paper, placed.inverted() * from.toOriginal};
}

// An unsharp mask: out of focus, thin bars fade to grey and the binarizers lose them.
View sharpened(const View &from)
{
    const QImage &grey = from.grey;
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
    return {copy, from.toOriginal};
}

} // namespace

QStringList findCodes(const QImage &image)
{
    if (image.isNull())
        return {};
    const View original{toGrey(image), QTransform()};
    Sightings seen(original.grey);
    // zbar sees every code in one pass; zxing-cpp, looking only where zbar saw nothing, adds what
    // zbar misses (a pixel a module, perspective).
    readWithZbar(original, seen);
    readWithZxing(original, ZXing::Binarizer::LocalAverage, false, seen);
    // What helps real photos, tried in turn until something is read.
    if (seen.empty())
        readWithZxing(original, ZXing::Binarizer::GlobalHistogram, true, seen);   // every row, not the middle half
    if (seen.empty()) {
        const bool small = std::min(image.width(), image.height()) < 200;
        const View half = small ? original : scaled(original, 0.5);
        if (!small)
            readWithBoth(half, seen);   // noise averages out
        // A photo of over four million pixels is looked at in half size from here on: its symbols
        // are large enough, and the full size would take seconds.
        const View &base = qint64(image.width()) * image.height() > 4'000'000 ? half : original;
        if (seen.empty())
            readWithBoth(sharpened(base), seen);   // out of focus
        if (seen.empty())
            readWithBoth(turned(base, 45), seen);   // a steep symbol crosses few rows and few columns whole
    }
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
    // The toolkit's own limit holds too, for formats that declare no size before decoding. It is
    // one for the whole program: set once, even with images read on several threads.
    static const bool limited = (QImageReader::setAllocationLimit(static_cast<int>(MaxImageBytes >> 20)), true);
    Q_UNUSED(limited);
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
