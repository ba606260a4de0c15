#include "scanimages.h"

#include "ean13.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTransform>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace scanimages {

namespace {

using Random = std::mt19937;

int uniform(Random &random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}
double uniformReal(Random &random, double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(random);
}

// A random valid code: 12 random digits and their check digit. A UPC-A code starts with 0.
ean13::Code toCode(const QString &digits)
{
    return ean13::Code::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t *>(digits.utf16()),
                                                      static_cast<std::size_t>(digits.size())));
}

QString randomCode(Random &random, bool upc)
{
    QString digits = upc ? u"0"_s : QString::number(uniform(random, 1, 9));
    while (digits.size() < 12)
        digits.append(QChar(u'0' + uniform(random, 0, 9)));
    const auto check = ean13::expectedCheckDigit(toCode(digits + u'0'));
    return digits + QString::number(*check);
}

// The standard symbol from the core's module string: 11 modules of quiet zone, the guards, the
// 84 data modules, 7 modules of quiet zone; guard bars 5 modules longer; no digits beneath.
QImage ownSymbol(const QString &code, int module)
{
    const ean13::Encoding encoding = ean13::encodeModules(toCode(code));
    const std::string modules = "101" + encoding.modules.substr(0, 42) + "01010" + encoding.modules.substr(42) + "101";
    constexpr int BarHeight = 60;
    QImage image((11 + 95 + 7) * module, (BarHeight + 5 + 4) * module, QImage::Format_Grayscale8);
    image.fill(255);
    QPainter painter(&image);
    for (int i = 0; i < static_cast<int>(modules.size()); ++i) {
        if (modules[static_cast<std::size_t>(i)] != '1')
            continue;
        const bool isGuard = i < 3 || (i >= 45 && i < 50) || i >= 92;
        painter.fillRect((11 + i) * module, 2 * module, module, (BarHeight + (isGuard ? 5 : 0)) * module, Qt::black);
    }
    return image;
}

// Puts an image on a larger white canvas, at a random place within the margin.
QImage onCanvas(Random &random, const QImage &image, int margin)
{
    QImage canvas(image.width() + 2 * margin, image.height() + 2 * margin, QImage::Format_Grayscale8);
    canvas.fill(255);
    QPainter(&canvas).drawImage(uniform(random, margin / 2, margin), uniform(random, margin / 2, margin), image);
    return canvas;
}

QImage transformed(const QImage &image, const QTransform &transform)
{
    const QTransform placed = QImage::trueMatrix(transform, image.width(), image.height());
    const QRect bounds = placed.mapRect(QRectF(image.rect())).toAlignedRect();
    QImage out(bounds.size(), QImage::Format_Grayscale8);
    out.fill(255);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(placed * QTransform::fromTranslate(-bounds.x(), -bounds.y()));
    painter.drawImage(0, 0, image);
    return out;
}

void forEachPixel(QImage &image, const std::function<int(int x, int y, int value)> &f)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            row[x] = static_cast<uchar>(std::clamp(f(x, y, row[x]), 0, 255));
    }
}

// Three box blurs in a row come close to a Gaussian blur.
QImage blurred(QImage image, int radius)
{
    const int w = image.width(), h = image.height();
    std::vector<int> line;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            uchar *row = image.scanLine(y);
            line.assign(row, row + w);
            for (int x = 0; x < w; ++x) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    sum += line[static_cast<std::size_t>(std::clamp(x + k, 0, w - 1))];
                row[x] = static_cast<uchar>(sum / (2 * radius + 1));
            }
        }
        for (int x = 0; x < w; ++x) {
            line.resize(static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y)
                line[static_cast<std::size_t>(y)] = image.scanLine(y)[x];
            for (int y = 0; y < h; ++y) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    sum += line[static_cast<std::size_t>(std::clamp(y + k, 0, h - 1))];
                image.scanLine(y)[x] = static_cast<uchar>(sum / (2 * radius + 1));
            }
        }
    }
    return image;
}

// Smeared along one axis, as by a hand that moves while the shutter is open.
QImage smeared(QImage image, int radius, bool across)
{
    const QImage from = image;
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            int sum = 0;
            for (int k = -radius; k <= radius; ++k)
                sum += across ? from.constScanLine(y)[std::clamp(x + k, 0, image.width() - 1)]
                              : from.constScanLine(std::clamp(y + k, 0, image.height() - 1))[x];
            row[x] = static_cast<uchar>(sum / (2 * radius + 1));
        }
    }
    return image;
}

// As printed on a can: the image wrapped round a cylinder and seen from the front, so that the
// bars crowd together towards its sides. `reach` is how far round it goes (1: a half turn).
QImage onCylinder(const QImage &image, double reach)
{
    QImage out(image.size(), QImage::Format_Grayscale8);
    const double half = image.width() / 2.0;
    const double angle = reach * M_PI / 2;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *from = image.constScanLine(y);
        uchar *row = out.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            // The point of the surface seen at x, as a position along the unwrapped label.
            const double seen = (x - half) / half * std::sin(angle);
            const double along = std::asin(std::clamp(seen, -1.0, 1.0)) / angle;
            const int source = std::clamp(static_cast<int>(half + along * half), 0, image.width() - 1);
            row[x] = from[source];
        }
    }
    return out;
}

// Shapes, stripes and text of many greys: what surrounds a label on a pack.
void paintBusy(Random &random, QImage &image, int shapes)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < shapes; ++i) {
        const QColor grey = QColor::fromRgb(QRgb(0xFF000000u | 0x010101u * static_cast<unsigned>(uniform(random, 0, 255))));
        const QRect box(uniform(random, -40, image.width()), uniform(random, -40, image.height()), uniform(random, 10, 160),
                        uniform(random, 10, 120));
        switch (uniform(random, 0, 4)) {
        case 0: painter.fillRect(box, grey); break;
        case 1: painter.setPen(Qt::NoPen); painter.setBrush(grey); painter.drawEllipse(box); break;
        case 2: painter.setPen(QPen(grey, uniform(random, 1, 6))); painter.drawLine(box.topLeft(), box.bottomRight()); break;
        case 3: {   // stripes that look a little like bars
            int x = box.x();
            while (x < box.right()) {
                const int w = uniform(random, 1, 8);
                painter.fillRect(x, box.y(), w, box.height(), grey);
                x += w + uniform(random, 1, 8);
            }
            break;
        }
        default:
            painter.setPen(grey);
            QFont font = painter.font();
            font.setPixelSize(uniform(random, 10, 30));
            painter.setFont(font);
            painter.drawText(box.bottomLeft(), QString::number(uniform(random, 0, 999999)) + u" Ab"_s);
            break;
        }
    }
}

QByteArray encoded(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

class Maker
{
public:
    Maker(unsigned seed, QString zint) : m_random(seed), m_zint(std::move(zint)) {}

    Sample make(const QString &kind, int index)
    {
        Sample s{kind, kind + u'-' + QString::number(index), u"png"_s, {}, {}};
        m_ownNext = index % 2 == 1;
        QImage image;
        if (kind.startsWith(u"clean-"_s)) {
            image = onCanvas(m_random, symbol(s, kind.mid(6, 1).toInt()), 20);
        } else if (kind == u"rotated-small"_s) {
            const double angle = uniformReal(m_random, 2, 12) * (uniform(m_random, 0, 1) ? 1 : -1);
            image = transformed(onCanvas(m_random, symbol(s, 2), 20), QTransform().rotate(angle));
        } else if (kind == u"rotated-90"_s || kind == u"rotated-180"_s) {
            image = transformed(onCanvas(m_random, symbol(s, 2), 20), QTransform().rotate(kind.mid(8).toInt()));
        } else if (kind == u"rotated-any"_s) {
            image = transformed(onCanvas(m_random, symbol(s, 3), 30), QTransform().rotate(uniformReal(m_random, 20, 340)));
        } else if (kind == u"sheared"_s) {
            const double shear = uniformReal(m_random, 0.15, 0.4) * (uniform(m_random, 0, 1) ? 1 : -1);
            image = transformed(onCanvas(m_random, symbol(s, 3), 20), QTransform().shear(shear, 0));
        } else if (kind == u"blurred"_s) {
            const int module = uniform(m_random, 3, 4);
            image = blurred(onCanvas(m_random, symbol(s, module), 20), 1);
        } else if (kind == u"noisy"_s) {
            image = onCanvas(m_random, symbol(s, 3), 20);
            std::normal_distribution<double> noise(0, uniformReal(m_random, 35, 60));
            forEachPixel(image, [&](int, int, int v) { return v + static_cast<int>(noise(m_random)); });
        } else if (kind == u"low-contrast"_s) {
            image = onCanvas(m_random, symbol(s, 3), 20);
            const int dark = uniform(m_random, 90, 140), light = dark + uniform(m_random, 30, 50);
            forEachPixel(image, [&](int, int, int v) { return dark + v * (light - dark) / 255; });
        } else if (kind == u"uneven-light"_s) {
            image = onCanvas(m_random, symbol(s, 3), 40);
            const double cx = uniformReal(m_random, 0, image.width()), cy = uniformReal(m_random, 0, image.height());
            const double reach = std::hypot(image.width(), image.height());
            const double floor = uniformReal(m_random, 0.25, 0.4);
            forEachPixel(image, [&](int x, int y, int v) {
                return static_cast<int>(v * (1 - (1 - floor) * std::hypot(x - cx, y - cy) / reach)) + 10;
            });
        } else if (kind == u"jpeg"_s) {
            image = onCanvas(m_random, symbol(s, uniform(m_random, 2, 3)), 20);
            s.suffix = u"jpg"_s;
            s.file = encoded(image, "JPG", uniform(m_random, 5, 20));
            return s;
        } else if (kind == u"busy"_s) {
            const QImage code = symbol(s, 3);
            image = QImage(code.width() + 300, code.height() + 240, QImage::Format_Grayscale8);
            image.fill(uniform(m_random, 120, 255));
            paintBusy(m_random, image, 60);
            QPainter(&image).drawImage(uniform(m_random, 20, 280), uniform(m_random, 20, 220), code);
        } else if (kind == u"two-codes"_s) {
            const QImage first = symbol(s, 2), second = symbol(s, 2);
            const bool sideBySide = uniform(m_random, 0, 1);
            image = QImage(sideBySide ? first.width() + second.width() + 60 : std::max(first.width(), second.width()) + 40,
                           sideBySide ? std::max(first.height(), second.height()) + 40 : first.height() + second.height() + 60,
                           QImage::Format_Grayscale8);
            image.fill(255);
            QPainter painter(&image);
            painter.drawImage(20, 20, first);
            painter.drawImage(sideBySide ? first.width() + 40 : 20, sideBySide ? 20 : first.height() + 40, second);
        } else if (kind == u"perspective"_s) {
            const QImage flat = onCanvas(m_random, symbol(s, 3), 30);
            const double w = flat.width(), h = flat.height();
            const double in = uniformReal(m_random, 0.1, 0.25) * h, lean = uniformReal(m_random, -0.15, 0.15) * w;
            QTransform view;
            const bool leftNear = uniform(m_random, 0, 1);
            QTransform::quadToQuad(QPolygonF(QRectF(0, 0, w, h)).mid(0, 4),
                                   QPolygonF({QPointF(lean, leftNear ? 0 : in), QPointF(w + lean, leftNear ? in : 0),
                                              QPointF(w, leftNear ? h - in : h), QPointF(0, leftNear ? h : h - in)}),
                                   view);
            image = transformed(flat, view);
        } else if (kind == u"motion-blur"_s) {
            image = smeared(onCanvas(m_random, symbol(s, 4), 20), uniform(m_random, 2, 4), uniform(m_random, 0, 1));
        } else if (kind == u"defocus"_s) {
            image = blurred(onCanvas(m_random, symbol(s, uniform(m_random, 5, 6)), 20), 2);
        } else if (kind == u"glare"_s) {
            image = onCanvas(m_random, symbol(s, 3), 30);
            // A specular highlight: a bright patch that washes the bars out towards its middle.
            const double cx = uniformReal(m_random, 0.2, 0.8) * image.width(), cy = uniformReal(m_random, 0.2, 0.8) * image.height();
            const double r = uniformReal(m_random, 0.15, 0.3) * image.width(), strength = uniformReal(m_random, 0.5, 0.8);
            forEachPixel(image, [&](int x, int y, int v) {
                const double t = std::max(0.0, 1 - std::hypot(x - cx, y - cy) / r);
                return static_cast<int>(v + (255 - v) * strength * t * t);
            });
        } else if (kind == u"curved"_s) {
            image = onCanvas(m_random, symbol(s, 3), 20);
            image = onCylinder(image, uniformReal(m_random, 0.55, 0.8));
        } else if (kind == u"low-light"_s) {
            image = onCanvas(m_random, symbol(s, 3), 20);
            std::normal_distribution<double> noise(0, uniformReal(m_random, 6, 12));
            const double gain = uniformReal(m_random, 0.15, 0.3);
            forEachPixel(image, [&](int, int, int v) { return static_cast<int>(8 + v * gain + noise(m_random)); });
        } else if (kind == u"occluded"_s) {
            const QImage code = symbol(s, 3);
            image = onCanvas(m_random, code, 30);
            // A thumb over the upper or lower part of the bars: the rest still crosses them all.
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromRgb(QRgb(0xFF000000u | 0x010101u * static_cast<unsigned>(uniform(m_random, 60, 200)))));
            const double x = uniformReal(m_random, 0.2, 0.7) * image.width();
            const bool top = uniform(m_random, 0, 1);
            painter.drawEllipse(QPointF(x, top ? 0 : image.height()), image.width() * 0.15, image.height() * 0.55);
        } else if (kind == u"small-in-large"_s) {
            const QImage code = symbol(s, 2);
            image = QImage(1600, 1200, QImage::Format_Grayscale8);
            image.fill(uniform(m_random, 120, 230));
            paintBusy(m_random, image, 200);
            QPainter(&image).drawImage(uniform(m_random, 20, 1600 - code.width() - 20), uniform(m_random, 20, 1200 - code.height() - 20), code);
        } else if (kind == u"several"_s) {
            image = QImage(1200, 700, QImage::Format_Grayscale8);
            image.fill(uniform(m_random, 150, 240));
            paintBusy(m_random, image, 60);
            QPainter painter(&image);
            // Three symbols in cells of a 3 x 2 grid, so that none covers another.
            std::vector<int> cells{0, 1, 2, 3, 4, 5};
            std::shuffle(cells.begin(), cells.end(), m_random);
            for (int i = 0; i < 3; ++i) {
                const QImage code = symbol(s, 2);
                const int cell = cells[static_cast<std::size_t>(i)];
                painter.drawImage((cell % 3) * 400 + uniform(m_random, 5, 400 - code.width() - 5),
                                  (cell / 3) * 350 + uniform(m_random, 5, 350 - code.height() - 5), code);
            }
        } else if (kind == u"jpeg-photo"_s) {
            image = blurred(transformed(onCanvas(m_random, symbol(s, 3), 30), QTransform().rotate(uniformReal(m_random, -8, 8))), 1);
            s.suffix = u"jpg"_s;
            s.file = encoded(image, "JPG", uniform(m_random, 25, 60));
            return s;
        } else {   // none: a busy picture, a picture of stripes, or noise, and no code
            image = QImage(uniform(m_random, 300, 700), uniform(m_random, 200, 500), QImage::Format_Grayscale8);
            image.fill(uniform(m_random, 150, 255));
            paintBusy(m_random, image, uniform(m_random, 20, 120));
            if (index % 3 == 2) {
                std::normal_distribution<double> noise(0, 40);
                forEachPixel(image, [&](int, int, int v) { return v + static_cast<int>(noise(m_random)); });
            }
        }
        s.file = encoded(image, "PNG");
        return s;
    }

private:
    QImage symbol(Sample &s, int module)
    {
        const QString code = randomCode(m_random, uniform(m_random, 0, 3) == 0);
        s.codes.append(code);
        const bool own = m_ownNext;
        m_ownNext = !m_ownNext;
        return own ? ownSymbol(code, module) : zintSymbol(code, module, m_zint);
    }

    Random m_random;
    QString m_zint;
    bool m_ownNext = false;
};

} // namespace

QImage zintSymbol(const QString &code, int module, const QString &zint)
{
    const bool upc = code.startsWith(u'0');
    return zintFamilySymbol(upc ? u"UPCA"_s : u"EANX"_s, upc ? code.mid(1, 11) : code.left(12), module, zint);
}

QImage zintFamilySymbol(const QString &barcode, const QString &data, int module, const QString &zint)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(u"symbol.png"_s);
    QProcess process;
    process.start(zint, {u"--barcode"_s, barcode, u"--data"_s, data, u"--scale"_s, QString::number(module / 2.0),
                         u"--quietzones"_s, u"--output"_s, path});
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        qFatal("zint could not draw %s: %s", qPrintable(data), process.readAllStandardError().constData());
    QImage image(path);
    QFile::remove(path);
    return image.convertToFormat(QImage::Format_Grayscale8);
}

namespace {

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<uchar>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    QByteArray length(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), length.data());
    const QByteArray body = QByteArray(type) + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(crc32(body), crc.data());
    return length + body + crc;
}

} // namespace

QByteArray pngDeclaring(int width, int height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(width), header.data());
    qToBigEndian<quint32>(static_cast<quint32>(height), header.data() + 4);
    header[8] = 8;   // 8 bits a sample, grey
    const QByteArray row(1000, '\0');
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", qCompress(row).mid(4))
           + pngChunk("IEND", {});
}

QByteArray whitePng(int width, int height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(width), header.data());
    qToBigEndian<quint32>(static_cast<quint32>(height), header.data() + 4);
    header[8] = 8;   // 8 bits a sample, grey
    z_stream stream{};
    deflateInit(&stream, 9);
    QByteArray row(width + 1, char(0xFF));
    row[0] = 0;   // no filter
    QByteArray packed;
    char chunk[1 << 16];
    for (int y = 0; y < height; ++y) {
        stream.next_in = reinterpret_cast<Bytef *>(row.data());
        stream.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(chunk);
            stream.avail_out = sizeof chunk;
            deflate(&stream, flush);
            packed.append(chunk, static_cast<qsizetype>(sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", packed) + pngChunk("IEND", {});
}

QByteArray gzipDrawing(qint64 bytes)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);   // 16: a gzip header
    QByteArray start("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">");
    QByteArray spaces(1 << 20, ' ');
    const QByteArray end("</svg>\n");
    QByteArray packed;
    char chunk[1 << 16];
    auto put = [&](const QByteArray &in, int flush) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        stream.avail_in = static_cast<uInt>(in.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(chunk);
            stream.avail_out = sizeof chunk;
            deflate(&stream, flush);
            packed.append(chunk, static_cast<qsizetype>(sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
    };
    put(start, Z_NO_FLUSH);
    for (qint64 n = start.size() + end.size(); n < bytes; n += spaces.size())
        put(spaces, Z_NO_FLUSH);
    put(end, Z_FINISH);
    deflateEnd(&stream);
    return packed;
}

QStringList photoKinds()
{
    return {u"perspective"_s, u"motion-blur"_s, u"defocus"_s, u"glare"_s, u"curved"_s, u"low-light"_s,
            u"occluded"_s, u"small-in-large"_s, u"several"_s, u"jpeg-photo"_s};
}

std::vector<Sample> makeSamples(const QStringList &kinds, int perKind, unsigned seed, const QString &zintProgram)
{
    Maker maker(seed, zintProgram);
    std::vector<Sample> samples;
    for (const QString &kind : kinds)
        for (int i = 0; i < perKind; ++i)
            samples.push_back(maker.make(kind, i));
    return samples;
}

QStringList kinds()
{
    return {u"clean-1px"_s, u"clean-2px"_s, u"clean-3px"_s, u"clean-4px"_s, u"rotated-small"_s, u"rotated-90"_s,
            u"rotated-180"_s, u"rotated-any"_s, u"sheared"_s, u"blurred"_s, u"noisy"_s, u"low-contrast"_s,
            u"uneven-light"_s, u"jpeg"_s, u"busy"_s, u"two-codes"_s, u"none"_s};
}

std::vector<Sample> makeSamples(int perKind, unsigned seed, const QString &zintProgram)
{
    Maker maker(seed, zintProgram);
    std::vector<Sample> samples;
    for (const QString &kind : kinds())
        for (int i = 0; i < perKind; ++i)
            samples.push_back(maker.make(kind, i));
    return samples;
}

} // namespace scanimages
