#include "reader.h"

#include "drawingwork.h"

// zbar first: zxing-cpp defines macros (UnsupportedError, ...) that zbar's C++ wrappers use as names.
#include <zbar.h>
#include <ZXing/ReadBarcode.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace reader {

namespace {

// One code as seen, in the coordinates of the original image.
struct Sighting
{
    Code code;         // without its add-on: that is told apart below
    QPolygonF bars;    // the four corners of the bars
    QPolygonF reach;   // all that the scan lines crossed, a little grown
    unsigned passes;   // the passes that read it, one bit each
    std::vector<std::pair<QString, unsigned>> addons;   // each add-on read beside it, and the passes that read it
};

// One reading of the image: an engine, its settings and the copy of the image it was given.
// Readings that differ in any of these err independently, mostly.
enum Pass : unsigned {
    ZbarWhole,
    ZxingWhole,
    ZxingLocalHarder,
    ZxingGlobalHarder,
    ZbarHalf,
    ZxingHalf,
    ZbarSharpened,
    ZxingSharpened,
    ZbarTurned,
    ZxingTurned,
    ZxingCloseLocal,
    ZxingCloseGlobal,
};

constexpr unsigned ZbarPasses = 1u << ZbarWhole | 1u << ZbarHalf | 1u << ZbarSharpened | 1u << ZbarTurned;

// The ways of reading that err independently: zbar's scan lines, and zxing-cpp after each of its
// binarizers. One engine on two copies of an image (sharpened, say) errs alike: on a photo of a
// UPC-A symbol with thin modules, zbar read the same wrong code with a valid check digit from the
// photo and from its sharpened copy.
int passCount(unsigned passes)
{
    // A close-up is read by zxing-cpp with both binarizers, and both misread it alike now and
    // then (a UPC-A symbol with thin modules): together they are one way of reading.
    constexpr unsigned ZxingGlobal = 1u << ZxingGlobalHarder;
    constexpr unsigned ZxingLocal = ~(ZbarPasses | ZxingGlobal);
    return int((passes & ZbarPasses) != 0) + int((passes & ZxingLocal) != 0) + int((passes & ZxingGlobal) != 0);
}

// A code is taken only when two ways of reading agree on it: a misread by one, with a check digit
// that holds by chance, is rarely made alike by another. Scan lines of one reading do not count
// apart, since they see the same bars the same way and err alike.
constexpr int AgreeingReadings = 2;

// The short symbols and the add-ons are taken only when both engines read them. zxing-cpp reads a
// UPC-E code in the left half of an EAN-13 symbol whose right half is spoilt (its start guard,
// six digits of the same parities and the centre guard with the next bar are a UPC-E symbol of
// number system 1), with either binarizer alike; zbar does not. A 2-digit add-on carries no check
// digit, only two bits of parity.
bool bothEngines(unsigned passes)
{
    return (passes & ZbarPasses) != 0 && (passes & ~ZbarPasses) != 0;
}

bool isShort(Symbology symbology)
{
    return symbology == Symbology::Ean8 || symbology == Symbology::UpcE;
}

bool agreedOn(const Sighting &s)
{
    return isShort(s.code.symbology) ? bothEngines(s.passes) : passCount(s.passes) >= AgreeingReadings;
}

// The add-on that both engines read beside the code, or none.
QString agreedAddon(const Sighting &s)
{
    for (const auto &[addon, passes] : s.addons)
        if (bothEngines(passes))
            return addon;
    return {};
}

bool allDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

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
    // coordinates; `digits` as the engine gives them, `addon` the add-on it read beside them.
    // Gives the bars' corners, to paint over before the next read.
    QPolygonF add(Symbology symbology, QString digits, const QString &addon, const QPolygonF &outline, Pass pass)
    {
        if (digits.size() == 12 && symbology == Symbology::UpcA)
            digits.prepend(u'0');   // a UPC-A number is the EAN-13 number with a 0 in front
        if (symbology == Symbology::Ean13 || symbology == Symbology::UpcA)   // one symbol: a UPC-A symbol is an EAN-13 one
            symbology = digits.startsWith(u'0') ? Symbology::UpcA : Symbology::Ean13;
        const int length = isShort(symbology) ? 8 : 13;
        if (digits.size() != length || !allDigits(digits) || outline.isEmpty())
            return {};
        const bool withAddon = (addon.size() == 2 || addon.size() == 5) && allDigits(addon);
        // The same code seen again (another engine, another pass, printed twice) counts once.
        auto same = std::find_if(m_seen.begin(), m_seen.end(),
                                 [&](const Sighting &s) { return s.code.symbology == symbology && s.code.digits == digits; });
        if (same == m_seen.end()) {
            const QPolygonF bars = barsOf(outline);
            m_seen.push_back({Code{symbology, digits, {}}, bars, grown(convexHull(outline + bars)), 0, {}});
            same = std::prev(m_seen.end());
        }
        same->passes |= 1u << pass;
        if (withAddon) {
            auto seenAddon = std::find_if(same->addons.begin(), same->addons.end(), [&](const auto &a) { return a.first == addon; });
            if (seenAddon == same->addons.end())
                same->addons.emplace_back(addon, 1u << pass);
            else
                seenAddon->second |= 1u << pass;
        }
        return same->bars;
    }

    // The codes that only one way of reading has seen so far, with their places.
    [[nodiscard]] std::vector<std::pair<QString, QPolygonF>> doubtful() const
    {
        std::vector<std::pair<QString, QPolygonF>> codes;
        for (const Sighting &s : m_seen)
            if (!agreedOn(s) && !underLonger(s))
                codes.emplace_back(s.code.digits, s.bars);
        return codes;
    }
    // Every code seen is agreed on, and so is every add-on seen: no further pass can change the
    // answer but by finding more.
    [[nodiscard]] bool settled() const
    {
        return !m_seen.empty() && std::all_of(m_seen.begin(), m_seen.end(), [&](const Sighting &s) {
                   return underLonger(s)
                          || (agreedOn(s)
                              && std::all_of(s.addons.begin(), s.addons.end(), [](const auto &a) { return bothEngines(a.second); }));
               });
    }

    // The codes agreed on; of two on one symbol (zbar reads a piece of a steep symbol now and
    // then), the one more readings agree on. Top to bottom; codes whose middles lie within the
    // height of the row's first code share its row and go left to right.
    [[nodiscard]] Codes inReadingOrder() const
    {
        std::vector<const Sighting *> agreed;
        for (const Sighting &seen : m_seen) {
            if (!agreedOn(seen) || underLonger(seen))
                continue;
            const bool beaten = std::any_of(m_seen.begin(), m_seen.end(), [&](const Sighting &other) {
                return &other != &seen && passCount(other.passes) > passCount(seen.passes)
                       && area(other.reach.intersected(seen.reach)) > 1;
            });
            if (!beaten)
                agreed.push_back(&seen);
        }
        std::vector<QRectF> areas;
        std::vector<std::size_t> order;
        for (const Sighting *seen : agreed) {
            order.push_back(areas.size());
            areas.push_back(seen->bars.boundingRect());
        }
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return areas[a].center().y() < areas[b].center().y(); });
        Codes ordered;
        for (auto rowStart = order.begin(); rowStart != order.end();) {
            auto rowEnd = std::next(rowStart);
            while (rowEnd != order.end() && areas[*rowEnd].center().y() <= areas[*rowStart].bottom())
                ++rowEnd;
            std::stable_sort(rowStart, rowEnd, [&](std::size_t a, std::size_t b) { return areas[a].center().x() < areas[b].center().x(); });
            for (auto it = rowStart; it != rowEnd; ++it) {
                Code code = agreed[*it]->code;
                code.addon = agreedAddon(*agreed[*it]);
                ordered.append(code);
            }
            rowStart = rowEnd;
        }
        return ordered;
    }

private:
    // An EAN-8 or UPC-E code where an EAN-13 or UPC-A code was seen, by any reading: a piece of
    // the longer symbol, read as a short one.
    [[nodiscard]] bool underLonger(const Sighting &s) const
    {
        return isShort(s.code.symbology) && std::any_of(m_seen.begin(), m_seen.end(), [&](const Sighting &other) {
                   return !isShort(other.code.symbology) && area(other.reach.intersected(s.reach)) > 1;
               });
    }

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
// that call is used, and further codes are found by painting over each one read. Codes the other
// engine saw are left for this one to read again: that is what confirms them.
std::optional<Symbology> symbologyOf(ZXing::BarcodeFormat format)
{
    switch (format) {
    case ZXing::BarcodeFormat::EAN13: return Symbology::Ean13;
    case ZXing::BarcodeFormat::UPCA: return Symbology::UpcA;
    case ZXing::BarcodeFormat::EAN8: return Symbology::Ean8;
    case ZXing::BarcodeFormat::UPCE: return Symbology::UpcE;
    default: return std::nullopt;
    }
}

void readWithZxing(const View &view, ZXing::Binarizer binarizer, bool harder, Pass pass, Sightings &out)
{
    constexpr int MostCodes = 16;
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::EAN13 | ZXing::BarcodeFormat::UPCA | ZXing::BarcodeFormat::EAN8
                                       | ZXing::BarcodeFormat::UPCE)
                           .setEanAddOnSymbol(ZXing::EanAddOnSymbol::Read)
                           .setBinarizer(binarizer)
                           .setTryHarder(harder)
                           .setTryRotate(true);
    QImage work = view.grey;
    const QTransform toView = view.toOriginal.inverted();
    QString last;
    for (int i = 0; i < MostCodes; ++i) {
        const ZXing::ImageView image(work.constBits(), work.width(), work.height(), ZXing::ImageFormat::Lum,
                                     static_cast<int>(work.bytesPerLine()));
        const ZXing::Result result = ZXing::ReadBarcode(image, hints);
        const QString text = QString::fromStdString(result.text());
        const std::optional<Symbology> symbology = symbologyOf(result.format());
        if (!result.isValid() || !symbology || text == last)   // painted over, and still there: no further
            return;
        last = text;
        // With an add-on, the text is the code, a space and the add-on.
        const qsizetype space = text.indexOf(u' ');
        const QString digits = space < 0 ? text : text.left(space);
        const QString addon = space < 0 ? QString() : text.mid(space + 1);
        paintOver(work, toView.map(out.add(*symbology, digits, addon, view.toOriginal.map(outlineOf(result.position())), pass)));
    }
}

// zbar reports an add-on as a symbol of its own: it goes with the code whose end it follows, in the
// direction the code reads, at most three quarters of the code's length on (a UPC-E symbol of 51
// modules, a gap of 12 and a 5-digit add-on of 47), and no farther to the side than a quarter.
struct ZbarSymbol
{
    QString data;
    zbar::zbar_symbol_type_t type;
    zbar::zbar_orientation_t orientation;
    QPolygonF outline;
};

const ZbarSymbol *codeBefore(const ZbarSymbol &addon, const std::vector<ZbarSymbol> &codes)
{
    const QPointF middle = addon.outline.boundingRect().center();
    const ZbarSymbol *nearest = nullptr;
    double nearestBeyond = 0.75;
    for (const ZbarSymbol &code : codes) {
        const QRectF box = code.outline.boundingRect();
        QPointF reads(1, 0);   // the direction the code reads in
        switch (code.orientation) {
        case zbar::ZBAR_ORIENT_RIGHT: reads = QPointF(0, 1); break;
        case zbar::ZBAR_ORIENT_DOWN: reads = QPointF(-1, 0); break;
        case zbar::ZBAR_ORIENT_LEFT: reads = QPointF(0, -1); break;
        default: break;
        }
        const double length = reads.x() != 0 ? box.width() : box.height();
        if (length < 1)
            continue;
        const QPointF offset = middle - box.center();
        const double along = (offset.x() * reads.x() + offset.y() * reads.y()) / length;
        const double aside = std::abs(offset.x() * reads.y() - offset.y() * reads.x()) / length;
        const double beyond = along - 0.5;
        if (beyond > 0 && beyond < nearestBeyond && aside < 0.25) {
            nearestBeyond = beyond;
            nearest = &code;
        }
    }
    return nearest;
}

void readWithZbar(const View &view, Pass pass, Sightings &out)
{
    const QImage &grey = view.grey;
    // zbar wants the rows without padding.
    std::vector<unsigned char> pixels(static_cast<std::size_t>(grey.width()) * static_cast<std::size_t>(grey.height()));
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(grey.width()));

    const std::unique_ptr<zbar::zbar_image_scanner_t, void (*)(zbar::zbar_image_scanner_t *)> scanner(
        zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    for (const zbar::zbar_symbol_type_t type : {zbar::ZBAR_EAN13, zbar::ZBAR_UPCA, zbar::ZBAR_EAN8, zbar::ZBAR_UPCE, zbar::ZBAR_EAN2, zbar::ZBAR_EAN5})
        zbar::zbar_image_scanner_set_config(scanner.get(), type, zbar::ZBAR_CFG_ENABLE, 1);

    const std::unique_ptr<zbar::zbar_image_t, void (*)(zbar::zbar_image_t *)> image(zbar::zbar_image_create(),
                                                                                   zbar::zbar_image_destroy);
    zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image.get(), static_cast<unsigned>(grey.width()), static_cast<unsigned>(grey.height()));
    zbar::zbar_image_set_data(image.get(), pixels.data(), pixels.size(), nullptr);
    if (zbar::zbar_scan_image(scanner.get(), image.get()) <= 0)
        return;
    std::vector<ZbarSymbol> codes, addons;
    for (const zbar::zbar_symbol_t *symbol = zbar::zbar_image_first_symbol(image.get()); symbol;
         symbol = zbar::zbar_symbol_next(symbol)) {
        ZbarSymbol seen{QString::fromLatin1(zbar::zbar_symbol_get_data(symbol)), zbar::zbar_symbol_get_type(symbol),
                        zbar::zbar_symbol_get_orientation(symbol), {}};
        for (unsigned i = 0, n = zbar::zbar_symbol_get_loc_size(symbol); i < n; ++i)
            seen.outline.append(QPointF(zbar::zbar_symbol_get_loc_x(symbol, i), zbar::zbar_symbol_get_loc_y(symbol, i)));
        if (seen.outline.isEmpty())
            continue;
        (seen.type == zbar::ZBAR_EAN2 || seen.type == zbar::ZBAR_EAN5 ? addons : codes).push_back(std::move(seen));
    }
    std::vector<QString> addonOf(codes.size());
    for (const ZbarSymbol &addon : addons)
        if (const ZbarSymbol *code = codeBefore(addon, codes))
            addonOf[static_cast<std::size_t>(code - codes.data())] = addon.data;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const ZbarSymbol &code = codes[i];
        const Symbology symbology = code.type == zbar::ZBAR_EAN8   ? Symbology::Ean8
                                    : code.type == zbar::ZBAR_UPCE ? Symbology::UpcE
                                    : code.type == zbar::ZBAR_UPCA ? Symbology::UpcA
                                                                   : Symbology::Ean13;
        out.add(symbology, code.data, addonOf[i], view.toOriginal.map(code.outline), pass);
    }
}

// Every copy a retry makes stays within this many pixels, whatever the image's shape: a turned
// copy of a long thin image would otherwise be its length squared.
constexpr qint64 CopyPixels = 8'000'000;

View scaled(const View &from, double factor)
{
    const QImage &grey = from.grey;
    const QImage copy = grey.scaled(std::max(1, qRound(grey.width() * factor)), std::max(1, qRound(grey.height() * factor)),
                                    Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {copy, QTransform::fromScale(double(grey.width()) / copy.width(), double(grey.height()) / copy.height()) * from.toOriginal};
}

// The view itself when it has no more than `pixels`, else a copy scaled down to that.
View within(const View &from, double pixels)
{
    const double has = double(from.grey.width()) * from.grey.height();
    return has <= pixels ? from : scaled(from, std::sqrt(pixels / has));
}

View turned(const View &from, double degrees)
{
    const QTransform turn = QTransform().rotate(degrees);
    const QSizeF size = turn.mapRect(QRectF(from.grey.rect())).size();
    const View base = within(from, CopyPixels * double(from.grey.width()) * from.grey.height() / (size.width() * size.height()));
    const QImage &grey = base.grey;
    const QTransform placed = QImage::trueMatrix(turn, grey.width(), grey.height());
    // Drawn on paper: the corners that the turn brings in are white, not black.
    QImage paper(placed.mapRect(QRectF(grey.rect())).toAlignedRect().size(), QImage::Format_Grayscale8);
    paper.fill(255);
    QPainter painter(&paper);
    painter.setTransform(placed);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, grey);
    painter.end();
    return {paper, placed.inverted() * base.toOriginal};
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

// A box blur along the bars' direction only (the close-ups stand upright): noise averages out,
// the bars stay as sharp as they were.
View smoothed(const View &from)
{
    const QImage &grey = from.grey;
    QImage copy(grey.size(), QImage::Format_Grayscale8);
    const int h = grey.height();
    for (int y = 0; y < h; ++y) {
        const uchar *rows[5];
        for (int k = 0; k < 5; ++k)
            rows[k] = grey.constScanLine(std::clamp(y + k - 2, 0, h - 1));
        uchar *out = copy.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            out[x] = static_cast<uchar>((rows[0][x] + rows[1][x] + rows[2][x] + rows[3][x] + rows[4][x]) / 5);
    }
    return {copy, from.toOriginal};
}

// A close-up of the symbol whose bars are at `bars` (as Sightings measures them), turned
// upright, with its quiet zones, and enlarged to about three pixels a module: what zbar saw
// there, put before zxing-cpp where it need not search.
View closeUp(const View &original, const QPolygonF &bars, double symbolPixels)
{
    const QPointF left = (bars[0] + bars[3]) / 2, right = (bars[1] + bars[2]) / 2;
    const QPointF along = right - left;
    const double length = std::hypot(along.x(), along.y());
    if (length < 8)
        return {};
    const QPointF unit = along / length, across(-unit.y(), unit.x());
    const double high = std::max({std::hypot(bars[0].x() - bars[3].x(), bars[0].y() - bars[3].y()), length * 0.3, 8.0});
    const QPointF quiet = unit * (length * 0.15), half = across * (high / 2);
    const QPolygonF source({left - quiet - half, right + quiet - half, right + quiet + half, left - quiet + half});
    const double scale = std::clamp(symbolPixels / length, 0.25, 4.0);
    const int w = std::max(16, qRound((length * 1.3) * scale)), h = std::max(16, qRound(high * scale));
    QTransform toOriginal;
    if (!QTransform::quadToQuad(QPolygonF(QRectF(0, 0, w, h)).mid(0, 4), source, toOriginal))
        return {};
    QImage copy(w, h, QImage::Format_Grayscale8);
    copy.fill(255);
    QPainter painter(&copy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(toOriginal.inverted());
    painter.drawImage(0, 0, original.grey);
    painter.end();
    return {copy, toOriginal * original.toOriginal};
}

// The passes still to go: none once given up, or once the reading has taken its time.
class Budget
{
public:
    explicit Budget(const GiveUp &giveUp) : m_giveUp(giveUp) { m_clock.start(); }
    [[nodiscard]] bool left() const { return !(m_giveUp && m_giveUp()) && !m_clock.hasExpired(ReadingTime); }

private:
    // Every pass is bounded by the pixels it is given; the passes of one image together take
    // a second or two on the largest images that load.
    static constexpr qint64 ReadingTime = 3000;   // ms
    const GiveUp &m_giveUp;
    QElapsedTimer m_clock;
};

} // namespace

const char *symbologyName(Symbology symbology)
{
    switch (symbology) {
    case Symbology::Ean13: return "ean13";
    case Symbology::UpcA: return "upca";
    case Symbology::Ean8: return "ean8";
    case Symbology::UpcE: return "upce";
    }
    return "";
}

Codes findCodes(const QImage &image, const GiveUp &giveUp)
{
    if (image.isNull())
        return {};
    const Budget budget(giveUp);
    const View original{toGrey(image), QTransform()};
    Sightings seen(original.grey);
    // Each pass is one more reading; the retries run until every code seen has a second one to
    // agree with it, or until none is left.
    std::vector<std::function<void()>> passes;
    passes.push_back([&] { readWithZbar(original, ZbarWhole, seen); });
    passes.push_back([&] { readWithZxing(original, ZXing::Binarizer::LocalAverage, false, ZxingWhole, seen); });
    // A code only one engine has read is looked at closely by zxing-cpp: straightened, in three
    // sizes, as it is, sharpened and smoothed, with either binarizer; once for each code.
    QStringList lookedAt;
    auto closeUps = [&] {
        for (const auto &[digits, bars] : seen.doubtful()) {
            if (lookedAt.contains(digits))
                continue;
            lookedAt.append(digits);
            for (const double symbolPixels : {300.0, 190.0, 120.0}) {
                const View close = closeUp(original, bars, symbolPixels);
                if (close.grey.isNull())
                    continue;
                for (const View &view : {close, sharpened(close), smoothed(close)}) {
                    readWithZxing(view, ZXing::Binarizer::LocalAverage, true, ZxingCloseLocal, seen);
                    readWithZxing(view, ZXing::Binarizer::GlobalHistogram, true, ZxingCloseGlobal, seen);
                }
            }
        }
    };
    passes.push_back(closeUps);
    passes.push_back([&] { readWithZxing(within(original, CopyPixels), ZXing::Binarizer::LocalAverage, true, ZxingLocalHarder, seen); });
    passes.push_back([&] { readWithZxing(within(original, CopyPixels), ZXing::Binarizer::GlobalHistogram, true, ZxingGlobalHarder, seen); });
    const bool small = std::min(image.width(), image.height()) < 200;
    std::optional<View> half;
    auto halfSize = [&]() -> const View & {
        if (!half)
            half = within(scaled(original, 0.5), CopyPixels);
        return *half;
    };
    if (!small) {   // noise averages out
        passes.push_back([&] { readWithZbar(halfSize(), ZbarHalf, seen); closeUps(); });
        passes.push_back([&] { readWithZxing(halfSize(), ZXing::Binarizer::LocalAverage, false, ZxingHalf, seen); });
    }
    // A photo of over four million pixels is looked at in half size from here on: its symbols
    // are large enough, and the full size would take seconds.
    auto base = [&]() -> View {
        return within(qint64(image.width()) * image.height() > 4'000'000 ? halfSize() : original, CopyPixels);
    };
    std::optional<View> sharp, turn;
    passes.push_back([&] { sharp = sharpened(base()); readWithZbar(*sharp, ZbarSharpened, seen); closeUps(); });   // out of focus
    passes.push_back([&] { readWithZxing(*sharp, ZXing::Binarizer::LocalAverage, false, ZxingSharpened, seen); });
    passes.push_back([&] { sharp.reset(); turn = turned(base(), 45); readWithZbar(*turn, ZbarTurned, seen); closeUps(); });   // a steep symbol crosses few rows and few columns whole
    passes.push_back([&] { readWithZxing(*turn, ZXing::Binarizer::LocalAverage, false, ZxingTurned, seen); });
    for (const auto &pass : passes) {
        if (seen.settled() || !budget.left())
            break;
        pass();
    }
    return seen.inReadingOrder();
}

namespace {

// What the decoders say while an image is read on this thread. The JPEG decoder reports a file
// cut short only this way, as a warning, and hands back the part it has as a whole image.
thread_local QStringList *t_decoderWords = nullptr;
QtMessageHandler g_otherMessages = nullptr;

void takeDecoderWords(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (t_decoderWords && type == QtWarningMsg && context.category
        && std::string_view(context.category).substr(0, 14) == "qt.gui.imageio") {
        t_decoderWords->append(message);
        return;
    }
    if (g_otherMessages)
        g_otherMessages(type, context, message);
}

// While it lives, the decoders' warnings on this thread go into `words`.
class DecoderWords
{
public:
    explicit DecoderWords(QStringList *words)
    {
        static std::once_flag installed;
        std::call_once(installed, [] { g_otherMessages = qInstallMessageHandler(takeDecoderWords); });
        t_decoderWords = words;
    }
    ~DecoderWords() { t_decoderWords = nullptr; }
    DecoderWords(const DecoderWords &) = delete;
    DecoderWords &operator=(const DecoderWords &) = delete;
};

bool overLimit(QSize size)
{
    return size.isValid() && qint64(size.width()) * size.height() * 4 > MaxImageBytes;
}

// The size in a PNM header (P1..P6), which Qt's decoder declines to give for more than 32767
// pixels a side, so that such a file would otherwise pass for damaged.
QSize pnmSize(const QByteArray &head)
{
    if (head.size() < 3 || head[0] != 'P' || head[1] < '1' || head[1] > '6')
        return {};
    qint64 numbers[2] = {};
    qsizetype i = 2;
    for (qint64 &n : numbers) {
        for (;;) {   // white space and comments
            while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i])))
                ++i;
            if (i < head.size() && head[i] == '#')
                while (i < head.size() && head[i] != '\n')
                    ++i;
            else
                break;
        }
        if (i >= head.size() || !std::isdigit(static_cast<unsigned char>(head[i])))
            return {};
        for (; i < head.size() && std::isdigit(static_cast<unsigned char>(head[i])) && n < 1'000'000'000; ++i)
            n = n * 10 + (head[i] - '0');
    }
    return QSize(static_cast<int>(numbers[0]), static_cast<int>(numbers[1]));
}

// A gzip stream inflated, or nothing when it is broken or would inflate to more than `limit`
// bytes (`tooLong` then says so): a megabyte of gzip can hold a gigabyte.
QByteArray inflated(const QByteArray &packed, qint64 limit, bool *tooLong)
{
    *tooLong = false;
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
    stream.avail_in = static_cast<uInt>(packed.size());
    char chunk[1 << 16];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = sizeof chunk;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk, static_cast<qsizetype>(sizeof chunk - stream.avail_out));
        if (out.size() > limit) {
            *tooLong = true;
            result = Z_DATA_ERROR;
        }
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            result = Z_DATA_ERROR;   // cut short
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}

LoadedImage decoded(QIODevice &file, qint64 fileSize);

} // namespace

LoadedImage loadImage(const QString &path)
{
    LoadedImage loaded;
    const QFileInfo info(path);
    if (!info.exists()) {
        loaded.error = LoadError::Missing;
        return loaded;
    }
    if (info.isDir()) {
        loaded.error = LoadError::Directory;
        return loaded;
    }
    // A FIFO or a device would be read without end, or wait for a writer that never comes.
    if (!info.isFile()) {
        loaded.error = LoadError::NotAFile;
        return loaded;
    }
    if (info.size() == 0) {
        loaded.error = LoadError::Empty;
        return loaded;
    }
    if (info.size() > MaxImageBytes) {
        loaded.error = LoadError::TooLarge;
        return loaded;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = LoadError::NotAnImage;
        loaded.detail = file.errorString();
        return loaded;
    }
    return decoded(file, info.size());
}

LoadedImage loadImageData(const QByteArray &bytes)
{
    LoadedImage loaded;
    if (bytes.isEmpty()) {
        loaded.error = LoadError::Empty;
        return loaded;
    }
    if (bytes.size() > MaxImageBytes) {
        loaded.error = LoadError::TooLarge;
        return loaded;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decoded(buffer, bytes.size());
}

namespace {

LoadedImage decoded(QIODevice &file, qint64 fileSize)
{
    LoadedImage loaded;
    const QByteArray head = file.peek(64);
    if (const QSize declared = pnmSize(head); overLimit(declared)) {
        loaded.error = LoadError::TooLarge;
        loaded.size = declared;
        return loaded;
    }
    // The SVG decoder takes any gzip stream for a compressed drawing and inflates all of it: here
    // it is inflated first, as far as a drawing may go, and handed over as a drawing.
    QByteArray drawing;
    QBuffer drawingBuffer(&drawing);
    const bool gzip = head.startsWith("\x1f\x8b");
    if (gzip) {
        bool tooLong = false;
        drawing = inflated(file.read(MaxDrawingBytes + 1), MaxDrawingBytes, &tooLong);
        if (tooLong) {
            loaded.error = LoadError::TooLarge;
            return loaded;
        }
        drawingBuffer.open(QIODevice::ReadOnly);
    }
    QImageReader imageReader;
    if (gzip) {
        imageReader.setDevice(&drawingBuffer);
        imageReader.setFormat("svg");
    } else {
        imageReader.setDevice(&file);
        imageReader.setDecideFormatFromContent(true);   // a JPEG named .png is still a JPEG
    }
    imageReader.setAutoTransform(true);
    if (!imageReader.canRead()) {
        loaded.error = LoadError::NotAnImage;
        loaded.detail = imageReader.errorString();
        return loaded;
    }
    const QByteArray format = imageReader.format();
    if ((format == "svg" || format == "svgz") && !gzip && fileSize > MaxDrawingBytes) {
        loaded.error = LoadError::TooLarge;
        return loaded;
    }
    loaded.size = imageReader.size();
    if (overLimit(loaded.size)) {
        loaded.error = LoadError::TooLarge;
        return loaded;
    }
    // A drawing's time to draw has no bound of its own: megabytes of shapes or text take minutes.
    // It is weighed before drawing; the file itself is at most MaxDrawingBytes long here. The SVG
    // decoder has read the whole file to learn its size, so it is read again from its start.
    if (format == "svg" || format == "svgz") {
        QByteArray bytes = drawing;
        if (!gzip) {
            const qint64 at = file.pos();
            if (file.seek(0))
                bytes = file.read(MaxDrawingBytes);
            file.seek(at);
        }
        if (drawingWork(bytes, loaded.size) > MaxDrawingWork) {
            loaded.error = LoadError::TooComplex;
            return loaded;
        }
    }
    // The toolkit's own limit holds too, for formats that declare no size before decoding. It is
    // one for the whole program: set once, even with images read on several threads.
    static const bool limited = (QImageReader::setAllocationLimit(static_cast<int>(MaxImageBytes >> 20)), true);
    Q_UNUSED(limited);
    QStringList words;
    bool read = false;
    {
        const DecoderWords listening(&words);
        read = imageReader.read(&loaded.image);
    }
    const auto cutShort = std::find_if(words.cbegin(), words.cend(),
                                       [](const QString &w) { return w.contains(u"premature end"_s, Qt::CaseInsensitive); });
    if (!read || loaded.image.isNull() || cutShort != words.cend()) {
        loaded.image = QImage();
        loaded.error = LoadError::Damaged;
        loaded.detail = cutShort != words.cend() ? *cutShort : imageReader.errorString();
    }
    return loaded;
}

} // namespace

FileCodes readCodes(const QString &path, const GiveUp &giveUp)
{
    FileCodes file{loadImage(path), {}};
    file.codes = findCodes(file.loaded.image, giveUp);
    file.loaded.image = QImage();
    return file;
}

} // namespace reader
