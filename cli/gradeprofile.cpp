#include "gradeprofile.h"

#include "symbolwriter.h"
#include "wholefile.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr double Width = 1000, Height = 320;
constexpr double Left = 50, Right = 20, Top = 40, Bottom = 40;

std::string num(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}

std::string percent(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.1f %%", v * 100);
    return b;
}

} // namespace

std::optional<ProfileFormat> profileFormatOf(const std::string &path)
{
    auto endsWith = [&](const char *suffix) {
        const std::string s = suffix;
        if (path.size() <= s.size())
            return false;
        return std::equal(s.rbegin(), s.rend(), path.rbegin(),
                          [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : b); });
    };
    if (endsWith(".svg"))
        return ProfileFormat::Svg;
    if (endsWith(".png"))
        return ProfileFormat::Png;
    return std::nullopt;
}

std::string profileSvg(const grade::Result &result)
{
    const grade::ScanLine &line = result.scans[result.limitingScan];
    const std::vector<double> &r = line.profile;
    const double plotW = Width - Left - Right, plotH = Height - Top - Bottom;
    const double n = std::max<double>(1, static_cast<double>(r.size()) - 1);
    auto px = [&](double column) { return Left + (column - line.x0) / n * plotW; };
    auto py = [&](double reflectance) { return Top + (1 - std::clamp(reflectance, 0.0, 1.0)) * plotH; };

    std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(Width) + "\" height=\"" + num(Height)
                    + "\" viewBox=\"0 0 " + num(Width) + " " + num(Height) + "\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"12\">\n";
    s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    const char grade = "FDCBA"[std::clamp(line.grade, 0, 4)];
    s += "<text x=\"" + num(Left) + "\" y=\"20\">" + result.symbology + " " + result.code + ": scan line "
         + std::to_string(result.limitingScan + 1) + " of 10, grade " + grade
         + (line.grade < 4 ? std::string(" (") + std::string(grade::parameterName(line.limit)) + ")" : std::string())
         + "</text>\n";
    // Reflectance axis.
    for (int tick = 0; tick <= 100; tick += 25) {
        const double y = py(tick / 100.0);
        s += "<line x1=\"" + num(Left) + "\" y1=\"" + num(y) + "\" x2=\"" + num(Width - Right) + "\" y2=\"" + num(y)
             + "\" stroke=\"#e0e0e0\"/>\n";
        s += "<text x=\"" + num(Left - 6) + "\" y=\"" + num(y + 4) + "\" text-anchor=\"end\">" + std::to_string(tick)
             + "%</text>\n";
    }
    if (line.markTo > line.markFrom) {
        // Where the limiting parameter is worst.
        s += "<rect x=\"" + num(px(line.markFrom)) + "\" y=\"" + num(Top) + "\" width=\""
             + num(std::max(2.0, px(line.markTo) - px(line.markFrom))) + "\" height=\"" + num(plotH)
             + "\" fill=\"#ff9900\" fill-opacity=\"0.35\"/>\n";
        s += "<text x=\"" + num(px((line.markFrom + line.markTo) / 2)) + "\" y=\"" + num(Top - 4)
             + "\" text-anchor=\"middle\" fill=\"#b06000\">" + std::string(grade::parameterName(line.limit)) + "</text>\n";
    }
    for (double edge : line.edges)
        s += "<line x1=\"" + num(px(edge)) + "\" y1=\"" + num(Top) + "\" x2=\"" + num(px(edge)) + "\" y2=\""
             + num(Top + plotH) + "\" stroke=\"#b0b0b0\" stroke-width=\"0.6\"/>\n";
    auto level = [&](double value, const char *colour, const std::string &label, const char *dash) {
        const double y = py(value);
        s += "<line x1=\"" + num(Left) + "\" y1=\"" + num(y) + "\" x2=\"" + num(Width - Right) + "\" y2=\"" + num(y)
             + "\" stroke=\"" + colour + "\" stroke-width=\"1.2\"" + (dash ? std::string(" stroke-dasharray=\"") + dash + "\"" : "") + "/>\n";
        s += "<text x=\"" + num(Width - Right) + "\" y=\"" + num(y - 4) + "\" text-anchor=\"end\" fill=\"" + colour + "\">"
             + label + "</text>\n";
    };
    s += "<polyline fill=\"none\" stroke=\"black\" stroke-width=\"1\" points=\"";
    for (std::size_t i = 0; i < r.size(); ++i)
        s += num(px(line.x0 + static_cast<double>(i))) + "," + num(py(r[i])) + " ";
    s += "\"/>\n";
    level(line.rmax, "#007000", "Rmax " + percent(line.rmax), nullptr);
    level(line.threshold, "#c00000", "global threshold " + percent(line.threshold), "6,4");
    level(line.rmin, "#0000c0", "Rmin " + percent(line.rmin), nullptr);
    s += "<text x=\"" + num(Left) + "\" y=\"" + num(Height - 12) + "\">SC " + percent(line.sc) + ", ECmin "
         + percent(line.ecmin) + ", MOD " + percent(line.mod) + ", defects " + percent(line.defects) + ", decodability "
         + percent(line.decodability) + "; grey lines: element edges; orange: where the grade is lost</text>\n";
    s += "</svg>\n";
    return s;
}

bool writeProfile(const std::string &path, ProfileFormat format, const grade::Result &result, int &argc, char **argv,
                  std::string *error)
{
    const QByteArray svg = QByteArray::fromStdString(profileSvg(result));
    QByteArray bytes = svg;
    if (format == ProfileFormat::Png) {
        // Text needs fonts, fonts need an application; a screen is not needed.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        std::unique_ptr<QGuiApplication> app;
        if (!QGuiApplication::instance())
            app = std::make_unique<QGuiApplication>(argc, argv);
        QSvgRenderer renderer(svg);
        QImage image(int(Width * 2), int(Height * 2), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            *error = "the picture could not be encoded";
            return false;
        }
    }
    if (const ean13::WriteError e = ean13::saveWhole(QString::fromLocal8Bit(path.c_str()), bytes); !e.ok()) {
        *error = ean13::describe(e);
        return false;
    }
    return true;
}
