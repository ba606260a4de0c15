#include "symbolwriter.h"

#include <QBuffer>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace ean13 {

namespace {

constexpr double MmPerInch = 25.4;
constexpr std::string_view GlyphCharacters = "0123456789<>";

// Vector outputs are read back from a raster of this many pixels to a module: enough for the
// decoder, small enough to cost little.
constexpr int CheckPixelsPerModule = 2;

// Whole pixels that hold a height, forgiving the last bits of floating point (21 / 0.3 is 70.00000000000001).
int pixelsFor(double modules, int pixelsPerModule)
{
    return static_cast<int>(std::ceil(modules * pixelsPerModule - 1e-6));
}

std::function<void(QImage &)> &rasterFault()
{
    static std::function<void(QImage &)> fault;
    return fault;
}

// The characters as outlines, so that a file shows its digits where no font is installed. Each
// is scaled so that a digit's ink is one unit high, its top at 0 and its ink centred on x = 0.
// Built once, from the first font of the list that is installed: OCR-B, which the standard names
// for the human-readable line, or DejaVu Sans Mono, which every Debian desktop has.
const std::array<QPainterPath, GlyphCharacters.size()> &glyphOutlines()
{
    static const auto outlines = [] {
        QFont font;
        font.setFamilies({u"OCR-B"_s, u"OCRB"_s, u"OCR B"_s, u"DejaVu Sans Mono"_s});
        font.setStyleHint(QFont::Monospace);
        font.setPixelSize(100);
        std::array<QPainterPath, GlyphCharacters.size()> paths;
        QPainterPath zero;
        zero.addText(0, 0, font, u"0"_s);
        const QRectF digitBox = zero.boundingRect();
        for (std::size_t i = 0; i < GlyphCharacters.size(); ++i) {
            QPainterPath p;
            p.addText(0, 0, font, QString(QChar::fromLatin1(GlyphCharacters[i])));
            const QRectF box = p.boundingRect();
            // '<' and '>' stand in the middle of the digits' row; digits share the top of the '0'.
            const bool indicator = GlyphCharacters[i] == '<' || GlyphCharacters[i] == '>';
            const double top = indicator ? box.center().y() - digitBox.height() / 2 : digitBox.top();
            QTransform t;
            t.scale(1 / digitBox.height(), 1 / digitBox.height());
            t.translate(-box.center().x(), -top);
            paths[i] = t.map(p);
        }
        return paths;
    }();
    return outlines;
}

// The same outlines with their curves already turned into short lines, for rasters: flattening
// the curves again for every image took most of the time a PNG needed. A digit is 100 units high
// while they are flattened, so that the lines are too short to show even at 2400 dpi.
const std::array<QPainterPath, GlyphCharacters.size()> &flatOutlines()
{
    static const auto flat = [] {
        std::array<QPainterPath, GlyphCharacters.size()> paths;
        const QTransform up = QTransform::fromScale(100, 100);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            for (const QPolygonF &polygon : glyphOutlines()[i].toFillPolygons(up))
                paths[i].addPolygon(polygon);
            paths[i].setFillRule(Qt::OddEvenFill);
            paths[i] = QTransform::fromScale(0.01, 0.01).map(paths[i]);
        }
        return paths;
    }();
    return flat;
}

const QPainterPath &outline(char c, bool flat)
{
    return (flat ? flatOutlines() : glyphOutlines())[GlyphCharacters.find(c)];
}

void paintGlyphs(QPainter &p, const Symbol &s, bool flat)
{
    p.setRenderHint(QPainter::Antialiasing);
    for (const Glyph &g : s.glyphs) {
        QTransform t;
        t.translate(g.centre, g.top);
        t.scale(g.height, g.height);
        p.drawPath(t.map(outline(g.character, flat)));
    }
}

// Bars go straight into the pixels, whole pixels each. The painter would hand every fill of more
// than 96 rows to other threads, and on this kind of machine that hand-over costs more than the
// fill itself.
QImage raster(const Symbol &s, int pixelsPerModule, int bwrPixels)
{
    const int width = s.width * pixelsPerModule;
    QImage image(width, pixelsFor(s.height, pixelsPerModule), QImage::Format_Grayscale8);
    const int barRows = pixelsFor(s.barHeight, pixelsPerModule);
    const int guardRows = pixelsFor(s.guardHeight(), pixelsPerModule);
    const int addOnFirstRow = pixelsFor(s.addOnTop, pixelsPerModule);
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        std::memset(line, 255, static_cast<std::size_t>(width));
        for (const Bar &b : s.bars) {
            if (y >= (b.guard || b.addOn ? guardRows : barRows) || (b.addOn && y < addOnFirstRow))
                continue;
            const int from = b.left * pixelsPerModule + bwrPixels / 2;
            const int to = (b.left + b.width) * pixelsPerModule - (bwrPixels - bwrPixels / 2);
            std::memset(line + from, 0, static_cast<std::size_t>(to - from));
        }
    }
    if (!s.glyphs.empty()) {
        QPainter p(&image);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.scale(pixelsPerModule, pixelsPerModule);
        paintGlyphs(p, s, true);
    }
    return image;
}

// One bit a pixel, black under half grey: what a PNG of black bars on white needs, and a twelfth
// of the time to compress that the same image takes with 8 bits a pixel (0.4 ms against 4.8 ms at
// 600 dpi). Done by hand: the toolkit's conversion took 1.5 ms and its way back 2.5 ms.
QImage oneBit(const QImage &grey)
{
    QImage mono(grey.size(), QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    const int width = grey.width();   // out of the loops: QImage::width() is a call into the library
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *in = grey.constScanLine(y);
        uchar *out = mono.scanLine(y);
        for (int x = 0; x < width; x += 8) {
            uchar bits = 0;
            for (int k = 0; k < 8; ++k)
                bits = static_cast<uchar>((bits << 1) | (x + k < width && in[x + k] >= 128));
            out[x >> 3] = bits;
        }
    }
    return mono;
}

QImage eightBits(const QImage &mono)
{
    // Each byte of bits becomes eight bytes of grey at once.
    static const auto spread = [] {
        std::array<std::array<uchar, 8>, 256> table{};
        for (int v = 0; v < 256; ++v)
            for (int k = 0; k < 8; ++k)
                table[static_cast<std::size_t>(v)][static_cast<std::size_t>(k)] = (v >> (7 - k)) & 1 ? 255 : 0;
        return table;
    }();
    const bool oneIsWhite = qGray(mono.color(1)) > qGray(mono.color(0));
    QImage grey(mono.width(), mono.height(), QImage::Format_Grayscale8);
    const int width = mono.width();
    std::vector<uchar> line(static_cast<std::size_t>((width + 7) / 8 * 8));
    for (int y = 0; y < mono.height(); ++y) {
        const uchar *in = mono.constScanLine(y);
        for (int b = 0; b < (width + 7) / 8; ++b)
            std::memcpy(&line[static_cast<std::size_t>(b) * 8], spread[oneIsWhite ? in[b] : uchar(~in[b])].data(), 8);
        std::memcpy(grey.scanLine(y), line.data(), static_cast<std::size_t>(width));
    }
    return grey;
}

// The raster read back: the digits and the add-on, or the image is dropped.
Rendered verified(const Symbol &s, QImage image)
{
    if (rasterFault())
        rasterFault()(image);
    Rendered r;
    if (image.isNull() || readSymbol(image, s.symbology, !s.addOn.empty()) != s.text()) {
        r.error = RenderError::NotReadBack;
        return r;
    }
    r.image = std::move(image);
    return r;
}

// Numbers as the SVG file writes them: fixed point, four decimals at most (a ten-thousandth of a
// module, a thirtieth of a micrometre at 100%), no trailing zeros.
void appendNumber(QByteArray &out, double value)
{
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    char *end = r.ptr;
    while (end > text && end[-1] == '0')
        --end;
    if (end > text && end[-1] == '.')
        --end;
    if (end - text == 2 && text[0] == '-' && text[1] == '0')
        end = text + 1, text[0] = '0';   // "-0" after rounding
    out.append(text, end - text);
}

// The outline of each character as SVG path data, in modules, its top at 0 and its ink centred on
// x = 0, as paintGlyphs draws it: written once, then copied into every file.
struct GlyphData
{
    QByteArray d;
    QRectF box;   // of the points written, control points included
};

const std::array<GlyphData, GlyphCharacters.size()> &glyphPathData()
{
    static const auto data = [] {
        std::array<GlyphData, GlyphCharacters.size()> glyphs;
        const QTransform scale = QTransform::fromScale(DigitHeight, DigitHeight);
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            QByteArray &d = glyphs[i].d;
            const QPainterPath path = scale.map(glyphOutlines()[i]);
            glyphs[i].box = path.controlPointRect();
            for (int e = 0; e < path.elementCount(); ++e) {
                const QPainterPath::Element el = path.elementAt(e);
                if (el.type == QPainterPath::CurveToDataElement)
                    continue;   // written with its curve
                d.append(el.type == QPainterPath::MoveToElement ? "M" : el.type == QPainterPath::LineToElement ? "L" : "C");
                const int points = el.type == QPainterPath::CurveToElement ? 3 : 1;
                for (int k = 0; k < points; ++k) {
                    const QPainterPath::Element pt = path.elementAt(e + k);
                    if (k > 0)
                        d.append(' ');
                    appendNumber(d, pt.x);
                    d.append(',');
                    appendNumber(d, pt.y);
                }
            }
            // Rounded as written, by a ten-thousandth at most.
            glyphs[i].box.adjust(-1e-4, -1e-4, 1e-4, 1e-4);
        }
        return glyphs;
    }();
    return data;
}

// The SVG file, written element by element: a light background, the bars as rectangles and the
// characters as outlines (so that no font is needed), all in one black group. 0.02 ms where the
// toolkit's SVG generator took 0.3 ms; readSvgBars() reads exactly this back.
QByteArray svgOf(const Symbol &s, double xMm, double bwr)
{
    QByteArray out;
    out.reserve(1200 + 1200 * static_cast<qsizetype>(s.glyphs.size()));
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<svg width=\"");
    // The physical size in millimetres, to the micrometre; the view box counts in modules.
    appendNumber(out, std::round(s.width * xMm * 1000) / 1000);
    out.append("mm\" height=\"");
    appendNumber(out, std::round(s.height * xMm * 1000) / 1000);
    out.append("mm\" viewBox=\"0 0 ");
    appendNumber(out, s.width);
    out.append(' ');
    appendNumber(out, s.height);
    out.append("\" xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\">\n<title>");
    const std::string title = s.text();   // digits and '+': nothing to escape
    out.append(title.data(), static_cast<qsizetype>(title.size()));
    out.append("</title>\n<rect x=\"0\" y=\"0\" width=\"");
    appendNumber(out, s.width);
    out.append("\" height=\"");
    appendNumber(out, s.height);
    out.append("\" fill=\"#ffffff\"/>\n<g fill=\"#000000\" fill-rule=\"evenodd\" stroke=\"none\">\n");
    for (const Bar &b : s.bars) {
        out.append("<rect x=\"");
        appendNumber(out, b.left + bwr / 2);
        out.append("\" y=\"");
        appendNumber(out, s.top(b));
        out.append("\" width=\"");
        appendNumber(out, b.width - bwr);
        out.append("\" height=\"");
        appendNumber(out, s.bottom(b) - s.top(b));
        out.append("\"/>\n");
    }
    for (const Glyph &g : s.glyphs) {
        out.append("<path transform=\"translate(");
        appendNumber(out, g.centre);
        out.append(',');
        appendNumber(out, g.top);
        out.append(')');
        if (g.height != DigitHeight) {   // the outlines are written at the digits' full height
            out.append(" scale(");
            appendNumber(out, g.height / DigitHeight);
            out.append(')');
        }
        out.append("\" d=\"");
        out.append(glyphPathData()[GlyphCharacters.find(g.character)].d);
        out.append("\"/>\n");
    }
    out.append("</g>\n</svg>\n");
    return out;
}

// A reader of exactly what svgOf() writes, and of nothing else.
class SvgSubset
{
public:
    explicit SvgSubset(const QByteArray &bytes) : m_at(bytes.constData()), m_end(bytes.constData() + bytes.size()) {}

    // Skips `text` where it stands next; false if something else does.
    bool expect(std::string_view text)
    {
        if (static_cast<std::size_t>(m_end - m_at) < text.size() || std::memcmp(m_at, text.data(), text.size()) != 0)
            return false;
        m_at += text.size();
        return true;
    }
    bool at(std::string_view text) const
    {
        return static_cast<std::size_t>(m_end - m_at) >= text.size() && std::memcmp(m_at, text.data(), text.size()) == 0;
    }
    // A number as appendNumber() writes it.
    bool number(double &value)
    {
        const std::from_chars_result r = std::from_chars(m_at, m_end, value, std::chars_format::fixed);
        if (r.ec != std::errc() || !std::isfinite(value))
            return false;
        m_at = r.ptr;
        return true;
    }
    // One of the characters' outlines, exactly as written: which one, or nullptr.
    const GlyphData *glyph()
    {
        for (const GlyphData &g : glyphPathData())
            if (expect(std::string_view(g.d.constData(), static_cast<std::size_t>(g.d.size()))) && at("\""))
                return &g;
        return nullptr;
    }
    [[nodiscard]] bool done() const { return m_at == m_end; }

private:
    const char *m_at;
    const char *m_end;
};

} // namespace

QImage readSvgBars(const QByteArray &svg, int pixelsPerModule)
{
    SvgSubset in(svg);
    double widthMm = 0, heightMm = 0, width = 0, height = 0;
    if (!in.expect("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<svg width=\"") || !in.number(widthMm)
        || !in.expect("mm\" height=\"") || !in.number(heightMm) || !in.expect("mm\" viewBox=\"0 0 ") || !in.number(width)
        || !in.expect(" ") || !in.number(height)
        || !in.expect("\" xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\">\n<title>"))
        return {};
    // 8 to 13 digits, and '+' and 2 or 5 more for an add-on.
    const auto digits = [&] {
        int n = 0;
        while (n < 13 && (in.expect("0") || in.expect("1") || in.expect("2") || in.expect("3") || in.expect("4") || in.expect("5")
                          || in.expect("6") || in.expect("7") || in.expect("8") || in.expect("9")))
            ++n;
        return n;
    };
    if (const int n = digits(); n < 8)
        return {};
    if (in.expect("+"))
        if (const int n = digits(); n != 2 && n != 5)
            return {};
    // The same physical shape as the view box, and a size a raster can hold.
    if (width < 1 || width > 1000 || height < 1 || height > 1000 || widthMm <= 0 || heightMm <= 0
        || std::abs(widthMm / width * height - heightMm) > 0.002)
        return {};
    double bgWidth = 0, bgHeight = 0;
    if (!in.expect("</title>\n<rect x=\"0\" y=\"0\" width=\"") || !in.number(bgWidth) || !in.expect("\" height=\"")
        || !in.number(bgHeight) || !in.expect("\" fill=\"#ffffff\"/>\n<g fill=\"#000000\" fill-rule=\"evenodd\" stroke=\"none\">\n")
        || bgWidth != width || bgHeight != height)
        return {};
    std::vector<QRectF> bars;
    while (in.at("<rect ")) {
        double x = 0, y = 0, w = 0, h = 0;
        if (!in.expect("<rect x=\"") || !in.number(x) || !in.expect("\" y=\"") || !in.number(y) || !in.expect("\" width=\"")
            || !in.number(w) || !in.expect("\" height=\"") || !in.number(h) || !in.expect("\"/>\n"))
            return {};
        if (y < 0 || w <= 0 || h <= 0 || x < 0 || x + w > width || y + h > height)
            return {};
        bars.emplace_back(x, y, w, h);
    }
    // The main symbol: its bars begin at the top (an add-on's lower), the data bars the shortest.
    double mainEnd = 0, dataBottom = height;
    for (const QRectF &b : bars)
        if (b.top() == 0) {
            mainEnd = std::max(mainEnd, b.right());
            dataBottom = std::min(dataBottom, b.bottom());
        }
    // Characters: known outlines, at their own size or smaller, that touch no bar, and none beside
    // the main symbol's data bars (only above an add-on, after the smallest quiet zone). The rows
    // they stand in are left out of the raster, so that a decoder sees the bars as a renderer
    // draws them wherever no character is beside them.
    constexpr double SmallestQuietZone = 7;
    std::vector<std::pair<double, double>> textRows;
    while (in.at("<path ")) {
        double dx = 0, dy = 0, scale = 1;
        const GlyphData *g = nullptr;
        if (!in.expect("<path transform=\"translate(") || !in.number(dx) || !in.expect(",") || !in.number(dy) || !in.expect(")"))
            return {};
        if (in.expect(" scale(") && (!in.number(scale) || !in.expect(")") || !(scale >= 0.5 && scale <= 1)))
            return {};
        if (!in.expect("\" d=\"") || !(g = in.glyph()) || !in.expect("\"/>\n"))
            return {};
        const QRectF box(dx + g->box.left() * scale, dy + g->box.top() * scale, g->box.width() * scale, g->box.height() * scale);
        if (box.left() < 0 || box.right() > width || box.top() < 0 || box.bottom() > height)
            return {};
        if (box.top() < dataBottom && box.left() < mainEnd + SmallestQuietZone)
            return {};
        for (const QRectF &b : bars)
            if (b.intersects(box))
                return {};
        textRows.emplace_back(box.top(), box.bottom());
    }
    if (!in.expect("</g>\n</svg>\n") || !in.done())
        return {};
    // The tallest band of rows that no character reaches into: under the add-on's digits (if
    // any) and above the digits under the bars.
    std::sort(textRows.begin(), textRows.end());
    double bandTop = 0, bandBottom = 0, from = 0;
    for (const auto &[top, bottom] : textRows) {
        if (top - from > bandBottom - bandTop)
            bandTop = from, bandBottom = top;
        from = std::max(from, bottom);
    }
    if (height - from > bandBottom - bandTop)
        bandTop = from, bandBottom = height;
    const int firstRow = static_cast<int>(std::ceil(bandTop * pixelsPerModule));
    const int rows = static_cast<int>(std::floor(bandBottom * pixelsPerModule)) - firstRow;
    if (rows < 1)
        return {};
    QImage image(static_cast<int>(std::ceil(width * pixelsPerModule)), rows, QImage::Format_Grayscale8);
    if (image.isNull())
        return {};
    image.fill(255);
    for (const QRectF &b : bars) {
        // Whole pixels, as a renderer covers them more than half.
        const auto left = static_cast<std::size_t>(std::lround(b.left() * pixelsPerModule));
        const auto right = static_cast<std::size_t>(std::lround(b.right() * pixelsPerModule));
        const int first = std::max(0, static_cast<int>(std::lround(b.top() * pixelsPerModule)) - firstRow);
        const int last = std::min(rows, static_cast<int>(std::lround(b.bottom() * pixelsPerModule)) - firstRow);
        for (int row = first; row < last; ++row)
            std::memset(image.scanLine(row) + left, 0, right - left);
    }
    return image;
}

namespace {

QByteArray pdfOf(const Symbol &s, double xMm, double bwr)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QString::fromStdString(s.text()));
    pdf.setCreator(u"Barcode Analyser"_s);
    // A page size counts whole points: round up, so that nothing of the quiet zones is cut off.
    const auto points = [](double mm) { return static_cast<int>(std::ceil(mm / MmPerInch * 72 - 1e-9)); };
    pdf.setPageSize(QPageSize(QSize(points(s.width * xMm), points(s.height * xMm)), QString(), QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    pdf.setResolution(1200);
    QPainter p(&pdf);
    const double unitsPerModule = xMm / MmPerInch * pdf.resolution();
    p.scale(unitsPerModule, unitsPerModule);
    paintSymbol(p, s, bwr);
    p.end();
    return bytes;
}

} // namespace

std::optional<SymbolFormat> symbolFormat(QStringView name)
{
    if (name.compare(u"svg", Qt::CaseInsensitive) == 0)
        return SymbolFormat::Svg;
    if (name.compare(u"png", Qt::CaseInsensitive) == 0)
        return SymbolFormat::Png;
    if (name.compare(u"pdf", Qt::CaseInsensitive) == 0)
        return SymbolFormat::Pdf;
    return std::nullopt;
}

QString suffix(SymbolFormat format)
{
    switch (format) {
    case SymbolFormat::Svg: return u"svg"_s;
    case SymbolFormat::Png: return u"png"_s;
    case SymbolFormat::Pdf: return u"pdf"_s;
    }
    return {};
}

PixelGrid pixelGrid(const SymbolOptions &options, int dpi)
{
    PixelGrid g;
    // The nearest whole number of pixels that keeps X in its range: 0.264 mm at 600 dpi is 6.24
    // pixels, and 6 would make 0.254 mm.
    const double pixels = options.xMm / MmPerInch * dpi;
    const int fewest = std::max(1, static_cast<int>(std::ceil(MinXmm / MmPerInch * dpi - 1e-9)));
    const int most = static_cast<int>(std::floor(MaxXmm / MmPerInch * dpi + 1e-9));
    g.pixelsPerModule = std::max(1, static_cast<int>(std::lround(pixels)));
    if (fewest <= most)
        g.pixelsPerModule = std::clamp(g.pixelsPerModule, fewest, most);
    g.xMm = g.pixelsPerModule * MmPerInch / dpi;
    g.options = options;
    g.options.xMm = g.xMm;
    if (checkOptions(options).empty()) {
        const double nominal = NominalBarHeight * g.xMm;
        if (g.options.barHeightMm)
            g.options.barHeightMm = std::clamp(*g.options.barHeightMm, MinBarHeightFactor * nominal, MaxBarHeightFactor * nominal);
        g.options.bwrMm = std::min(g.options.bwrMm, MaxBwrFactor * g.xMm);
    }
    g.bwrPixels = static_cast<int>(std::lround(g.options.bwrMm / MmPerInch * dpi));
    return g;
}

std::string checkSettings(const RenderSettings &settings, SymbolFormat format)
{
    if (std::string e = checkOptions(settings.symbol); !e.empty())
        return e;
    if (format != SymbolFormat::Png)
        return {};
    if (settings.dpi < MinDpi || settings.dpi > MaxDpi)
        return "resolution " + std::to_string(settings.dpi) + " dpi is out of range: " + std::to_string(MinDpi)
               + " to " + std::to_string(MaxDpi);
    const PixelGrid g = pixelGrid(settings.symbol, settings.dpi);
    const SymbolOptions &rounded = g.options;
    if (checkOptions(rounded).empty() && g.bwrPixels < g.pixelsPerModule)
        return {};
    char text[160];
    std::snprintf(text, sizeof text, "at %d dpi a module is %d pixel%s, an X-dimension of %.3f mm: ", settings.dpi,
                  g.pixelsPerModule, g.pixelsPerModule == 1 ? "" : "s", g.xMm);
    if (g.bwrPixels >= g.pixelsPerModule)
        return text + std::string("the bar width reduction would take whole bars away");
    return text + checkOptions(rounded);
}

void paintSymbol(QPainter &p, const Symbol &s, double bwr)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.fillRect(QRectF(0, 0, s.width, s.height), Qt::white);   // the quiet zones must stay light on any paper
    p.setBrush(Qt::black);
    for (const Bar &b : s.bars)
        p.drawRect(QRectF(b.left + bwr / 2, s.top(b), b.width - bwr, s.bottom(b) - s.top(b)));
    paintGlyphs(p, s, false);
    p.restore();
}

namespace {

std::optional<SymbolRequest> ean13Request(const Code &code)
{
    if (!code.full() || !code.allDigits())
        return std::nullopt;
    return SymbolRequest{Symbology::Ean13, asciiText(code), {}};
}

} // namespace

Rendered renderImage(const SymbolRequest &request, const RenderSettings &settings)
{
    const PixelGrid g = pixelGrid(settings.symbol, settings.dpi);
    // The height in millimetres as asked, where it may be.
    const std::optional<Symbol> s = layoutSymbol(request.symbology, request.digits, request.addOn, g.options);
    if (!s)
        return {RenderError::NotThirteenDigits, {}, {}};
    QImage image = oneBit(raster(*s, g.pixelsPerModule, g.bwrPixels));
    const int dotsPerMetre = static_cast<int>(std::lround(settings.dpi / MmPerInch * 1000));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return verified(*s, std::move(image));
}

Rendered renderImage(const Code &code, const RenderSettings &settings)
{
    const std::optional<SymbolRequest> request = ean13Request(code);
    return request ? renderImage(*request, settings) : Rendered{RenderError::NotThirteenDigits, {}, {}};
}

Rendered renderSymbol(const SymbolRequest &request, SymbolFormat format, const RenderSettings &settings)
{
    if (format == SymbolFormat::Png) {
        Rendered r = renderImage(request, settings);
        if (r.error == RenderError::None) {
            QBuffer buffer(&r.bytes);
            buffer.open(QIODevice::WriteOnly);
            // Quality 80 is zlib's fastest level: a third of the default's time, for a file of 2.3 KB
            // in place of 1.3 KB at 600 dpi (quality 90 and up store the pixels uncompressed).
            if (!r.image.save(&buffer, "PNG", 80))
                r = {RenderError::NotReadBack, {}, {}};   // nothing whole to write
        }
        return r;
    }
    const std::optional<Symbol> s = layoutSymbol(request.symbology, request.digits, request.addOn, settings.symbol);
    if (!s)
        return {RenderError::NotThirteenDigits, {}, {}};
    const double xMm = settings.symbol.xMm;
    const double bwr = settings.symbol.bwrMm / xMm;
    if (format == SymbolFormat::Svg) {
        QByteArray bytes = svgOf(*s, xMm, bwr);
        // The file itself is read back, by a reader of exactly what svgOf writes (tst_render holds
        // it against rsvg-convert): the bars as a decoder would see them.
        Rendered r = verified(*s, readSvgBars(bytes, CheckPixelsPerModule));
        if (r.error == RenderError::None)
            r.bytes = std::move(bytes);
        return r;
    }
    // No reader of PDF in the toolkit: the raster gets the very painting commands the page got. A
    // bar width reduction needs finer pixels to show as it is: at 2 a module, a quarter module
    // rounded to half of one.
    const int checkPixels = bwr > 0 ? 4 * CheckPixelsPerModule : CheckPixelsPerModule;
    Rendered r = verified(*s, raster(*s, checkPixels, static_cast<int>(std::lround(bwr * checkPixels))));
    if (r.error == RenderError::None)
        r.bytes = pdfOf(*s, xMm, bwr);
    return r;
}

Rendered renderSymbol(const Code &code, SymbolFormat format, const RenderSettings &settings)
{
    const std::optional<SymbolRequest> request = ean13Request(code);
    return request ? renderSymbol(*request, format, settings) : Rendered{RenderError::NotThirteenDigits, {}, {}};
}

std::string readSymbol(const QImage &image, Symbology symbology, bool addOn)
{
    const QImage grey = image.format() == QImage::Format_Grayscale8 ? image
                        : image.format() == QImage::Format_Mono && image.colorCount() == 2 ? eightBits(image)
                                                                                           : image.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::BarcodeFormat format = symbology == Symbology::UpcA ? ZXing::BarcodeFormat::UPCA
                                        : symbology == Symbology::Ean8 ? ZXing::BarcodeFormat::EAN8
                                        : symbology == Symbology::UpcE ? ZXing::BarcodeFormat::UPCE
                                                                       : ZXing::BarcodeFormat::EAN13;
    // The single-result call: zxing-cpp 1.4's ReadBarcodes (and ReadBarcode asked for exactly one
    // symbol, which goes through it) can fail an assertion on larger images.
    ZXing::DecodeHints hints;
    hints.setFormats(format);
    hints.setTryRotate(false);
    hints.setTryDownscale(false);
    // Our own upright symbol, edge to edge: a few rows across its height are plenty, where trying
    // harder would scan every row (25 times the time on a 600 dpi image).
    hints.setTryHarder(false);
    // An add-on is read only when asked for; asked for, a symbol without one is not read at all.
    hints.setEanAddOnSymbol(addOn ? ZXing::EanAddOnSymbol::Require : ZXing::EanAddOnSymbol::Ignore);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                static_cast<int>(grey.bytesPerLine()));
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid() || result.format() != format)
        return {};
    std::string text = result.text();
    // The decoder writes the add-on after a space.
    if (const std::size_t space = text.find(' '); space != std::string::npos)
        text[space] = '+';
    return text;
}

std::string readEan13(const QImage &image)
{
    return readSymbol(image, Symbology::Ean13, false);
}

void setRasterFaultForTesting(std::function<void(QImage &)> fault)
{
    rasterFault() = std::move(fault);
}

} // namespace ean13
