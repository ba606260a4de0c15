// ean13 grade (the program ean13-grade): the print quality of an EAN-13 or UPC-A symbol from a
// scan of the print, graded as a bar code verifier grades it.
#include "drawingapp.h"
#include "grade.h"
#include "gradeprofile.h"
#include "imageerror.h"
#include "output.h"
#include "reader.h"
#include "status.h"
#include "version.h"

#include <QGuiApplication>
#include <QImage>
#include <QtGlobal>

#include <CLI/App.hpp>
#include <CLI/Config.hpp>
#include <CLI/Formatter.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ean13::cli;

constexpr std::string_view Program = "ean13 grade";
constexpr std::string_view Version = "ean13 grade (Barcode Analyser) " BARCODE_ANALYSER_VERSION "\n";

constexpr std::string_view Help =
    "usage: ean13 grade [--json] [--dpi N] [--aperture MM] [--calibrate LOW,HIGH] [--bwr MM]\n"
    "                   [--profile OUT.svg|OUT.png] IMAGE...\n"
    "\n"
    "Grades the print quality of the EAN-13 or UPC-A symbol in each IMAGE, a scan of the print (the\n"
    "first symbol from the top, where it holds several), as a bar code verifier does (ISO/IEC 15416\n"
    "with GS1's aperture and quiet zones for retail symbols): ten scan lines from 10 % to\n"
    "90 % of the bar height, each graded A to F on decode, quiet zones, Rmin, symbol contrast,\n"
    "minimum edge contrast, modulation, defects and decodability; the symbol's grade is the mean\n"
    "of the ten (A 3.5 and up, B 2.5, C 1.5, D 0.5).\n"
    "Scan in grey at 600 or 1200 dpi, with no sharpening, the bars upright.\n"
    "\n"
    "Output: a line with the grade and what limits it, a table of the ten scan lines, the\n"
    "printer's figures (X-dimension, bar width gain, quiet zones, bar height) and a verdict.\n"
    "\n"
    "  --json              one JSON object per image instead\n"
    "  --dpi N             the scan's resolution, where the file does not store it (or stores a\n"
    "                      wrong one: this takes precedence)\n"
    "  --aperture MM       the measuring aperture's diameter (default 0.150)\n"
    "  --calibrate LOW,HIGH\n"
    "                      the measured reflectances of the darkest and the lightest patch scanned\n"
    "                      with the symbol, as fractions (0.04,0.89) or percentages (4%,89%);\n"
    "                      without it reflectance is taken from grey levels and the grade is\n"
    "                      only indicative\n"
    "  --bwr MM            the bar width reduction the print was made with (default 0), for the\n"
    "                      one to use next time\n"
    "  --profile FILE      draws the scan reflectance profile of the scan line that limits the\n"
    "                      grade as SVG or PNG (by the name's ending); one IMAGE only\n"
    "\n"
    "Exit status: 0 every symbol graded C (1.5) or better; 1 some symbol graded below C, or some\n"
    "image held no symbol to grade; 2 a usage error, or an image that is missing, cannot be\n"
    "read, or is too coarse to grade (under 4 pixels a module).\n"
    "\n"
    "  -h, --help   this text\n"
    "  --version    the version\n";

// A reflectance as a fraction, or as a percentage with its sign.
std::optional<double> reflectance(std::string text)
{
    bool percent = false;
    if (!text.empty() && text.back() == '%') {
        percent = true;
        text.pop_back();
    }
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used) / (percent ? 100.0 : 1.0);
        if (used != text.size() || !(v >= 0 && v <= 1))
            return std::nullopt;
        return v;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

// The resolution the file stores: Qt leaves its own default where the file says nothing.
std::optional<std::pair<double, double>> storedDpi(const QImage &image)
{
    const QImage blank(1, 1, QImage::Format_Grayscale8);
    if (image.dotsPerMeterX() == blank.dotsPerMeterX() && image.dotsPerMeterY() == blank.dotsPerMeterY())
        return std::nullopt;
    if (image.dotsPerMeterX() <= 0 || image.dotsPerMeterY() <= 0)
        return std::nullopt;
    return std::make_pair(image.dotsPerMeterX() * 0.0254, image.dotsPerMeterY() * 0.0254);
}

grade::GreyImage greyOf(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    grade::GreyImage g;
    g.width = grey.width();
    g.height = grey.height();
    g.pixels.reserve(std::size_t(g.width) * std::size_t(g.height));
    for (int y = 0; y < g.height; ++y) {
        const uchar *line = grey.constScanLine(y);
        g.pixels.insert(g.pixels.end(), line, line + g.width);
    }
    return g;
}

std::string number(const char *pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

char letter(int grade)
{
    return "FDCBA"[std::clamp(grade, 0, 4)];
}

void writeJsonReport(Output &out, std::string_view image, const grade::Result &r, const grade::Options &options)
{
    out.put("{\"source\":\"");
    appendJsonString(out, image);
    out.put("\",\"code\":\"" + r.code + "\",\"symbology\":\"" + r.symbology + "\",\"grade\":\"");
    out.put(r.grade);
    out.put("\",\"grade_value\":" + number("%.1f", r.gradeValue));
    const bool limited = r.scans[r.limitingScan].grade < 4;
    out.put(",\"limit\":\"" + std::string(limited ? grade::parameterName(r.limit) : "") + "\"");
    out.put(std::string(",\"calibrated\":") + (r.calibrated ? "true" : "false"));
    out.put(",\"aperture_mm\":" + number("%.3f", r.apertureMm));
    out.put(",\"x_dim_mm\":" + number("%.4f", r.xDimMm));
    out.put(",\"x_dim_percent\":" + number("%.1f", r.xDimMm / 0.330 * 100));
    out.put(",\"bar_gain_mm\":" + number("%.4f", r.barGainMm));
    out.put(",\"bwr_next_mm\":" + number("%.4f", grade::nextBwrMm(r, options)));
    out.put(",\"quiet_zone_left_mm\":" + number("%.3f", r.quietLeftMm));
    out.put(",\"quiet_zone_right_mm\":" + number("%.3f", r.quietRightMm));
    out.put(",\"quiet_zone_left_min_mm\":" + number("%.3f", r.quietLeftMinMm));
    out.put(",\"quiet_zone_right_min_mm\":" + number("%.3f", r.quietRightMinMm));
    out.put(",\"bar_height_mm\":" + number("%.2f", r.barHeightMm));
    out.put(",\"scans\":[");
    for (std::size_t i = 0; i < r.scans.size(); ++i) {
        const grade::ScanLine &s = r.scans[i];
        out.put(i ? ",{" : "{");
        out.put("\"y\":" + number("%.0f", s.y));
        out.put(std::string(",\"decode\":") + (s.decoded ? "true" : "false"));
        out.put(",\"rmin\":" + number("%.6f", s.rmin));
        out.put(",\"rmax\":" + number("%.6f", s.rmax));
        out.put(",\"sc\":" + number("%.6f", s.sc));
        out.put(",\"ecmin\":" + number("%.6f", s.ecmin));
        out.put(",\"mod\":" + number("%.6f", s.mod));
        out.put(",\"defects\":" + number("%.6f", s.defects));
        out.put(",\"decodability\":" + number("%.6f", s.decodability));
        out.put(",\"quiet_zone_left_mm\":" + number("%.3f", s.quietLeftMm));
        out.put(",\"quiet_zone_right_mm\":" + number("%.3f", s.quietRightMm));
        out.put(",\"grade\":\"");
        out.put(letter(s.grade));
        out.put("\",\"grade_value\":" + std::to_string(s.grade));
        out.put(",\"limit\":\"" + std::string(s.grade == 4 ? "" : grade::parameterName(s.limit)) + "\"}");
    }
    out.put("],\"verdict\":\"");
    appendJsonString(out, grade::verdict(r, options));
    out.put("\"}\n");
}

std::string cell(double fraction, int grade)
{
    std::string c = number("%5.1f%% ", fraction * 100);
    c += letter(grade);
    return c;
}

void writeTextReport(Output &out, std::string_view image, const grade::Result &r, const grade::Options &options)
{
    using grade::Parameter;
    appendTextString(out, image);
    out.put(": grade ");
    out.put(r.grade);
    out.put(" (" + number("%.1f", r.gradeValue) + ") " + r.symbology + " " + r.code);
    if (r.scans[r.limitingScan].grade < 4)
        out.put(", limited by " + std::string(grade::parameterName(r.limit)) + " on scan line "
                + std::to_string(r.limitingScan + 1));
    if (!r.calibrated)
        out.put("; indicative: the scanner is not calibrated (see --calibrate)");
    out.put("\nline  decode  Rmin      SC        ECmin     MOD       defects   decodab.  quiet  grade\n");
    for (std::size_t i = 0; i < r.scans.size(); ++i) {
        const grade::ScanLine &s = r.scans[i];
        const int *g = s.grades;
        std::string row = number("%4.0f", double(i + 1));
        row += std::string("  ") + (s.decoded ? "yes A " : "no  F ");
        row += "  " + cell(s.rmin, g[int(Parameter::Rmin)]);
        row += "  " + cell(s.sc, g[int(Parameter::SymbolContrast)]);
        row += "  " + cell(s.ecmin, g[int(Parameter::EdgeContrast)]);
        row += "  " + cell(s.mod, g[int(Parameter::Modulation)]);
        row += "  " + cell(s.defects, g[int(Parameter::Defects)]);
        row += "  " + cell(s.decodability, g[int(Parameter::Decodability)]);
        row += std::string("  ") + (g[int(Parameter::QuietZone)] == 4 ? "ok A " : "low F");
        row += std::string("  ") + letter(s.grade) + "\n";
        out.put(row);
    }
    out.put("X-dimension " + number("%.3f", r.xDimMm) + " mm (" + number("%.0f", r.xDimMm / 0.330 * 100) + " %)");
    out.put(", bar width " + std::string(r.barGainMm >= 0 ? "gain " : "loss ") + number("%.3f", std::abs(r.barGainMm)) + " mm");
    out.put(" (bar width reduction next time " + number("%.3f", std::max(0.0, grade::nextBwrMm(r, options))) + " mm)");
    out.put(", quiet zones " + number("%.2f", r.quietLeftMm) + " and " + number("%.2f", r.quietRightMm) + " mm (at least "
            + number("%.2f", r.quietLeftMinMm) + " and " + number("%.2f", r.quietRightMinMm) + ")");
    out.put(", bar height " + number("%.1f", r.barHeightMm) + " mm, aperture " + number("%.3f", r.apertureMm) + " mm\n");
    out.put("verdict: ");
    out.put(grade::verdict(r, options));
    out.put("\n");
}

struct GradeOptions
{
    bool json = false;
    std::optional<double> dpi;
    grade::Options grading;
    std::string profile;
    std::optional<ProfileFormat> profileFormat;
    std::vector<std::string> images;
};

Parsed<GradeOptions> parseArguments(int argc, char **argv)
{
    GradeOptions o;
    double dpi = 0;
    double apertureMm = 0.150;
    double bwrMm = 0;
    std::string calibrate;
    CLI::App app("", std::string(Program));
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version");
    app.add_flag("--json", o.json);
    auto *dpiOption = app.add_option("--dpi", dpi);
    app.add_option("--aperture", apertureMm);
    app.add_option("--calibrate", calibrate);
    app.add_option("--bwr", bwrMm);
    app.add_option("--profile", o.profile);
    app.add_option("IMAGE", o.images);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        return Answered{writeText(Program, Help)};
    } catch (const CLI::CallForVersion &) {
        return Answered{writeText(Program, Version)};
    } catch (const CLI::ParseError &e) {
        return Answered{usageError(Program, e.what())};
    }
    if (o.images.empty())
        return Answered{usageError(Program, "name at least one IMAGE")};
    if (dpiOption->count()) {
        if (!(dpi >= 50 && dpi <= 100000))
            return Answered{usageError(Program, "--dpi takes a resolution from 50 to 100000")};
        o.dpi = dpi;
    }
    if (!(apertureMm > 0 && apertureMm <= 2))
        return Answered{usageError(Program, "--aperture takes a diameter in mm, more than 0 and at most 2")};
    if (!(std::abs(bwrMm) < 1))
        return Answered{usageError(Program, "--bwr takes a bar width reduction in mm, under 1")};
    o.grading.apertureMm = apertureMm;
    o.grading.bwrMm = bwrMm;
    if (!calibrate.empty()) {
        const std::size_t comma = calibrate.find(',');
        const auto low = reflectance(calibrate.substr(0, comma));
        const auto high = comma == std::string::npos ? std::nullopt : reflectance(calibrate.substr(comma + 1));
        if (!low || !high || !(*low < *high))
            return Answered{usageError(Program, "--calibrate takes two reflectances LOW,HIGH from 0 to 1 (or 0% to 100%), LOW below HIGH")};
        o.grading.calibration = grade::Calibration{*low, *high};
    }
    if (!o.profile.empty()) {
        o.profileFormat = profileFormatOf(o.profile);
        if (!o.profileFormat)
            return Answered{usageError(Program, "--profile writes a .svg or a .png file")};
        if (o.images.size() != 1)
            return Answered{usageError(Program, "--profile draws the profile of one IMAGE only")};
    }
    return o;
}

int run(GradeOptions o, int argc, char **argv)
{
    const auto application = drawingApplication();
    StandardOutput stdoutSink;
    Output out([&stdoutSink](std::string_view bytes) { return stdoutSink.write(bytes); });
    int status = ExitSuccess;
    grade::Options &options = o.grading;
    for (const std::string &image : o.images) {
        const QString path = QString::fromLocal8Bit(image.data(), static_cast<qsizetype>(image.size()));
        const reader::LoadedImage loaded = reader::loadImage(path);
        if (loaded.error != reader::LoadError::None) {
            out.flush();   // what came before the message stays before it
            message(Program, image + ": " + imageLoadError(loaded));
            status = ExitFailure;
            continue;
        }
        if (o.dpi) {
            options.dpiX = options.dpiY = *o.dpi;
        } else if (const auto stored = storedDpi(loaded.image)) {
            options.dpiX = stored->first;
            options.dpiY = stored->second;
        } else {
            out.flush();
            message(Program, image + ": the file does not say its resolution; give it with --dpi");
            status = ExitFailure;
            continue;
        }
        const grade::Result result = grade::gradeSymbol(greyOf(loaded.image), options);
        switch (result.outcome) {
        case grade::Outcome::Graded:
            if (o.json)
                writeJsonReport(out, image, result, options);
            else
                writeTextReport(out, image, result, options);
            if (result.gradeValue < 1.5)
                status = std::max(status, ExitFindings);
            break;
        case grade::Outcome::NoSymbol: {
            // The reader finds codes at any angle: say so when it sees one that cannot be graded.
            const reader::Codes codes = reader::findCodes(loaded.image);
            const std::string said = codes.isEmpty()
                ? result.message
                : "the code " + codes.front().text().toStdString()
                      + " is there, but not as a symbol with straight bars and quiet zones to grade: scan it with the bars upright";
            if (o.json) {
                out.put("{\"source\":\"");
                appendJsonString(out, image);
                out.put("\",\"status\":\"no-symbol\",\"message\":\"" + said + "\"}\n");
            } else {
                appendTextString(out, image);
                out.put(": " + said + "\n");
            }
            status = std::max(status, ExitFindings);
            break;
        }
        case grade::Outcome::TooCoarse:
        case grade::Outcome::NoResolution:
            out.flush();
            message(Program, image + ": " + result.message);
            status = ExitFailure;
            break;
        }
        if (o.profileFormat && result.outcome == grade::Outcome::Graded) {
            std::string error;
            if (!writeProfile(o.profile, *o.profileFormat, result, argc, argv, &error)) {
                out.flush();
                message(Program, "cannot write " + o.profile + ": " + error);
                status = ExitFailure;
            }
        }
        if (!out.flush())
            return stdoutSink.failure(Program);
    }
    return status;
}

} // namespace

// The toolkit's notes (an image decoder's complaint, a missing runtime directory) are not ours to
// pass on: each bad image gets one message, from here.
void quietToolkit(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "ean13 grade: %s\n", message.toLocal8Bit().constData());
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietToolkit);
    return runParsed(parseArguments(argc, argv), [&](const GradeOptions &o) { return run(o, argc, argv); });
}
