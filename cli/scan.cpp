// ean13 scan (the program ean13-scan): finds the codes of the EAN/UPC family in images and checks
// each one as ean13 check does, with the image it came from as the record's source.
#include "drawingapp.h"
#include "imageerror.h"
#include "output.h"
#include "reader.h"
#include "record.h"
#include "status.h"
#include "version.h"

#include <QtGlobal>

#include <CLI/App.hpp>
#include <CLI/Config.hpp>
#include <CLI/Formatter.hpp>

#include <algorithm>
#include <deque>
#include <future>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

namespace {

using namespace ean13::cli;

constexpr std::string_view Program = "ean13 scan";

constexpr std::string_view Help =
    "usage: ean13 scan [--json] IMAGE...\n"
    "\n"
    "Finds the EAN-13, UPC-A, EAN-8 and UPC-E barcodes, with their 2- and 5-digit add-ons, in each\n"
    "IMAGE (PNG, JPEG, WebP, TIFF, BMP, GIF, SVG and the other formats the Qt toolkit reads; a photo\n"
    "is turned upright as its metadata says) and checks every code found exactly as ean13 check\n"
    "does: an EAN-13 or UPC-A code as ean13 check, an EAN-8 code as ean13 check --gtin, a UPC-E code\n"
    "as ean13 check --upce (its 8 digits). A code is reported only where two independent readings\n"
    "agree on it; an EAN-8 or UPC-E code, or an add-on, only where both reading engines do, and an\n"
    "EAN-8 or UPC-E code never where an EAN-13 or UPC-A symbol lies (a piece of one can look like\n"
    "a shorter symbol). UPC-E symbols of number system 1 are not reported: zbar reads number\n"
    "system 0 only. A code seen twice in one image counts once; several codes come in reading\n"
    "order, top to bottom and left to right. Light bars on a dark ground are not read.\n"
    "An image that would take over 256 MB once decoded, or a file over 256 MB, is refused; a\n"
    "reading takes a few seconds at most.\n"
    "\n"
    "Output, one line per code found, fields separated by tabs:\n"
    "  IMAGE   the image file, as given\n"
    "  CODE    the 13 digits read (a UPC-A or UPC-E code as the UPC-A number with 0 in front),\n"
    "          or the 8 of an EAN-8 code; CODE+ADDON for a symbol with an add-on\n"
    "  STATUS  ok or bad-check-digit; no-code for an image without any code (CODE then empty)\n"
    "  CHECK   the check digit the code should have, or -\n"
    "  TEXT    the country of origin, or that no code was found\n"
    "\n"
    "  --json  JSON Lines instead: source (the image) and the fields of ean13 check --json, then\n"
    "          symbology (ean13, upca, ean8 or upce) and addon (its digits, where there is one);\n"
    "          an image without a code gives {\"source\":...,\"status\":\"no-code\",\"lines\":[...]}\n"
    "\n"
    "Examples:\n"
    "  ean13 scan photo.jpg shelf/*.png\n"
    "  ean13 scan --json book.png\n"
    "\n"
    "One of each symbol, as the text form shows it (the fields after CODE left out):\n"
    "  magazine.png  9771234567003+05      EAN-13 with a 2-digit add-on\n"
    "  book.png      9780143007234+51299   EAN-13 with a 5-digit add-on\n"
    "  box.png       0036000291452         UPC-A\n"
    "  gum.png       96385074              EAN-8 (checked as a GTIN-8)\n"
    "  can.png       0012345000065         UPC-E 01234565 (as the UPC-A 012345000065)\n"
    "\n"
    "Exit status: 0 every image held a code and every code has a correct check digit; 1 some image\n"
    "held none, or some code has a wrong check digit; 2 a usage error, or an image that is missing\n"
    "or cannot be read (with a message naming it and why).\n"
    "\n"
    "  -h, --help   this text\n"
    "  --version    the version\n";

constexpr std::string_view Version = "ean13 scan (Barcode Analyser) " BARCODE_ANALYSER_VERSION "\n";

constexpr std::string_view NoCodeStatus = "no-code";

void writeNoCode(Output &out, Format format, std::string_view image)
{
    if (format == Format::Text) {
        appendTextString(out, image);
        out.put("\t\t");
        out.put(NoCodeStatus);
        out.put("\t-\t");
        out.put(ean13::NoCodeInImage);
        out.put('\n');
    } else {
        out.put("{\"source\":\"");
        appendJsonString(out, image);
        out.put("\",\"status\":\"");
        out.put(NoCodeStatus);
        out.put("\",\"lines\":[\"");
        out.put(ean13::NoCodeInImage);
        out.put("\"]}\n");
    }
}

struct ScanOptions
{
    Format format = Format::Text;
    std::vector<std::string> images;
};

Parsed<ScanOptions> parseArguments(int argc, char **argv)
{
    bool json = false;
    ScanOptions o;
    CLI::App app("", std::string(Program));
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version");
    app.add_flag("--json", json);
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
    o.format = json ? Format::Json : Format::Text;
    return o;
}

// Images read on as many threads as there are cores (at most four, since each holds a decoded
// image), and handed back in the order given.
class ReadAhead
{
public:
    explicit ReadAhead(const std::vector<std::string> &images)
        : m_images(images), m_threads(std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4))
    {
    }

    // The codes of the next image in the list; call it once for each.
    reader::FileCodes next()
    {
        while (m_started < m_images.size() && m_reading.size() < m_threads) {
            const std::string &image = m_images[m_started++];
            const QString path = QString::fromLocal8Bit(image.data(), static_cast<qsizetype>(image.size()));
            m_reading.push_back(std::async(std::launch::async, [path] { return reader::readCodes(path); }));
        }
        reader::FileCodes read = m_reading.front().get();
        m_reading.pop_front();
        return read;
    }

private:
    const std::vector<std::string> &m_images;
    const std::size_t m_threads;
    std::deque<std::future<reader::FileCodes>> m_reading;
    std::size_t m_started = 0;
};

// An EAN-13 or UPC-A code as ean13 check analyses it, an EAN-8 code as ean13 check --gtin, and a
// UPC-E code (number system, six digits, check digit) as ean13 check --upce.
Checked checkedAsItsSymbology(reader::Symbology symbology, const std::string &digits)
{
    Rules rules;
    rules.gtin = symbology == reader::Symbology::Ean8;
    rules.upce = symbology == reader::Symbology::UpcE;
    return checkEntry(digits, rules);
}

// The records of one image, or the message why it could not be read; its exit status.
int report(Output &out, Format format, const std::string &image, const reader::FileCodes &read)
{
    if (read.loaded.error != reader::LoadError::None) {
        out.flush();   // what came before the message stays before it
        message(Program, image + ": " + imageLoadError(read.loaded));
        return ExitFailure;
    }
    int status = ExitSuccess;
    if (read.codes.isEmpty()) {
        writeNoCode(out, format, image);
        status = ExitFindings;
    }
    const Origin origin{image, 0};
    for (const reader::Code &code : read.codes) {
        const std::string digits = code.digits.toStdString();
        const std::string addon = code.addon.toStdString();
        const Symbol symbol{reader::symbologyName(code.symbology), addon};
        const Checked checked = checkedAsItsSymbology(code.symbology, digits);
        if (format == Format::Text)
            writeTextRecord(out, checked, &origin, {}, &symbol);
        else
            writeJsonRecord(out, checked, digits, &origin, {}, &symbol);
        if (checked.status != ean13::Status::Ok)
            status = ExitFindings;
    }
    return status;
}

int run(const ScanOptions &options)
{
    const auto application = drawingApplication();
    StandardOutput stdoutSink;
    Output out([&stdoutSink](std::string_view bytes) { return stdoutSink.write(bytes); });
    int status = ExitSuccess;
    ReadAhead reading(options.images);
    for (const std::string &image : options.images) {
        status = std::max(status, report(out, options.format, image, reading.next()));
        if (!out.flush())
            return stdoutSink.failure(Program);
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    // The image decoders' own complaints ("libpng error: ...") are not ours to pass on: each bad
    // image gets one message, from here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return runParsed(parseArguments(argc, argv), run);
}
