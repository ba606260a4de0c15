// ean13 render: standard EAN-13 symbols as SVG, PNG or PDF files, each read back by a barcode
// decoder before it is written.
#include "status.h"
#include "symbolwriter.h"
#include "version.h"

#include <CLI/CLI.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

using ean13::cli::ExitFailure;
using ean13::cli::ExitFindings;
using ean13::cli::ExitSuccess;

constexpr std::string_view Program = "ean13 render";

int usageError(const std::string &what)
{
    return ean13::cli::usageError(Program, what);
}

int failure(const std::string &what)
{
    return ean13::cli::failure(Program, what);
}

std::string local(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdString();
}

// One entry as the analysis takes it, and whether a symbol may be made of it.
struct Entry
{
    std::string text;
    ean13::Code code;   // 13 digits when accepted
    std::string refusal;
};

Entry judge(std::string_view text)
{
    Entry e;
    e.text = std::string(text);
    const ean13::Analysis a = ean13::analyse(ean13::asciiCode(text));
    // The analysis looks at the first 13 characters only; a symbol of them would not be what was asked for.
    const bool tooLong = text.size() > static_cast<std::size_t>(ean13::CodeLength);
    if (tooLong || !a.accepted()) {
        e.refusal = ean13::cli::excerpt(e.text) + ": not a 12- or 13-digit code";
        return e;
    }
    e.code = a.entry.code;
    if (a.status == ean13::Status::BadCheckDigit) {
        e.refusal = ean13::cli::excerpt(e.text) + ": wrong check digit, it should be " + std::to_string(*a.expectedCheckDigit) + " ("
                    + ean13::asciiText(*ean13::correctedCode(a)) + "); no file written";
    }
    return e;
}

// The lines of a file or of standard input; LF or CRLF ends a line and blank lines are skipped.
bool readLines(const std::string &path, std::vector<std::string> &lines)
{
    QFile file;
    const bool opened = path == "-" ? file.open(stdin, QIODevice::ReadOnly)
                                    : (file.setFileName(QString::fromLocal8Bit(path.c_str())), file.open(QIODevice::ReadOnly));
    if (!opened)
        return false;
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    for (QByteArray line : all.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.push_back(line.toStdString());
    }
    return true;
}

struct Outcome
{
    int status = ExitSuccess;
    std::string message;
};

Outcome renderOne(const Entry &e, ean13::SymbolFormat format, const ean13::RenderSettings &settings, const QString &path)
{
    if (!e.refusal.empty())
        return {ExitFindings, e.refusal};
    const ean13::Rendered r = ean13::renderSymbol(e.code, format, settings);
    if (r.error != ean13::RenderError::None)
        return {ExitFindings, ean13::cli::excerpt(e.text) + ": the decoder did not read the symbol back as " + ean13::asciiText(e.code) + "; no file written"};
    QString error;
    if (!ean13::saveWhole(path, r.bytes, &error))
        return {ExitFailure, "cannot write " + local(path) + ": " + error.toStdString()};
    return {};
}

} // namespace

// The toolkit's own notes (a missing runtime directory and the like) mean nothing to the user of a
// command; fatal errors still end the program.
void quietToolkit(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        ean13::cli::message(Program, message.toStdString());
}

// What the command line asks for.
struct RenderOptions
{
    std::optional<ean13::SymbolFormat> format;   // by OUT's name when not given
    ean13::RenderSettings settings;
    std::string out;
    std::string input;
    std::vector<std::string> codes;
};

ean13::cli::Parsed<RenderOptions> parseArguments(int argc, char **argv)
{
    using ean13::cli::Answered;
    CLI::App app("Writes standard EAN-13 symbols (and UPC-A numbers as EAN-13) as SVG, PNG or PDF files.\n"
                 "Every symbol is read back by a barcode decoder before its file is written; a file is\n"
                 "written whole or not at all.",
                 "ean13 render");
    RenderOptions o;
    std::string formatName;
    std::optional<double> height;
    bool noText = false;
    app.set_version_flag("--version", "ean13 render (Barcode Analyser) " BARCODE_ANALYSER_VERSION);
    app.add_option("--format", formatName, "svg, png or pdf (default: OUT's extension, else svg)");
    app.add_option("--x-dim", o.settings.symbol.xMm, "X-dimension, the narrowest bar, in mm: 0.264 to 0.660")
        ->default_val(ean13::NominalXmm);
    app.add_option("--dpi", o.settings.dpi, "PNG resolution: a whole number of pixels to a module")
        ->default_val(ean13::DefaultDpi);
    app.add_option("--height", height, "height of the data bars in mm (default: 22.85 mm scaled with X)");
    app.add_option("--bwr", o.settings.symbol.bwrMm, "bar width reduction in mm, for print gain")->default_val(0);
    app.add_flag("--no-text", noText, "no human-readable digits");
    app.add_flag("--margin-indicator", o.settings.symbol.marginIndicator, "'>' in the right quiet zone");
    app.add_option("-o,--output", o.out, "a file for one CODE, or a directory: one <13 digits>.<format> a code")
        ->required();
    app.add_option("-i,--input", o.input, "a file of codes, one a line (- for standard input)");
    app.add_option("CODE", o.codes, "12 or 13 digits");
    app.footer("Exit status: 0 every file written, 1 some code refused (not 12 or 13 digits, a wrong\n"
               "check digit, or not read back), 2 a usage error, a size out of range or a file that\n"
               "cannot be written.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        return Answered{ean13::cli::writeText(Program, app.help())};
    } catch (const CLI::CallForVersion &version) {
        return Answered{ean13::cli::writeText(Program, std::string(version.what()) + "\n")};
    } catch (const CLI::ParseError &e) {
        return Answered{usageError(e.what())};
    }
    o.settings.symbol.barHeightMm = height;
    o.settings.symbol.text = !noText;
    if (o.codes.empty() && o.input.empty())
        return Answered{usageError("give a CODE or -i FILE")};
    if (!formatName.empty() && !(o.format = ean13::symbolFormat(QString::fromStdString(formatName))))
        return Answered{usageError("unknown format '" + formatName + "': svg, png or pdf")};
    return o;
}

int run(const RenderOptions &options, int argc, char **argv)
{
    const ean13::RenderSettings &settings = options.settings;
    std::optional<ean13::SymbolFormat> format = options.format;
    const std::string &out = options.out;
    const std::string &input = options.input;
    const std::vector<std::string> &codes = options.codes;

    std::vector<std::string> texts = codes;
    if (!input.empty() && !readLines(input, texts))
        return failure("cannot read " + input);

    QGuiApplication application(argc, argv);

    // A directory receives one file a code; a single code may go to a file of its own name.
    const QString outPath = QString::fromLocal8Bit(out.c_str());
    const QFileInfo outInfo(outPath);
    const bool several = texts.size() != 1 || !input.empty();
    bool toDirectory = outInfo.isDir();
    if (!toDirectory && several) {
        if (outInfo.exists())
            return usageError(out + " is not a directory, and several codes need one");
        if (!QDir().mkpath(outPath))
            return failure("cannot create the directory " + out);
        toDirectory = true;
    }
    if (!toDirectory) {
        if (!format && !(format = ean13::symbolFormat(outInfo.suffix())))
            return usageError("cannot tell the format from the name " + out + ": give --format svg, png or pdf");
        if (!outInfo.absoluteDir().exists())
            return failure("cannot write " + out + ": its directory does not exist");
    }
    if (!format)
        format = ean13::SymbolFormat::Svg;

    if (const std::string e = ean13::checkSettings(settings, *format); !e.empty())
        return failure(e);
    if (*format == ean13::SymbolFormat::Png) {
        const ean13::PixelGrid g = ean13::pixelGrid(settings.symbol, settings.dpi);
        if (std::abs(g.xMm - settings.symbol.xMm) >= 0.0005) {
            char note[128];
            std::snprintf(note, sizeof note, "X-dimension %.3f mm (%d pixels a module at %d dpi) in place of %.3f mm",
                          g.xMm, g.pixelsPerModule, settings.dpi, settings.symbol.xMm);
            ean13::cli::message(Program, note);
        }
    }

    std::vector<Entry> entries;
    entries.reserve(texts.size());
    for (const std::string &t : texts)
        entries.push_back(judge(t));
    const QString suffix = u'.' + ean13::suffix(*format);
    auto pathOf = [&](const Entry &e) {
        return toDirectory ? QDir(outPath).filePath(QString::fromStdString(ean13::asciiText(e.code)) + suffix) : outPath;
    };

    // Each symbol is independent of the others: several at once, more than there are processors so
    // that the wait for the disk, which every whole-file write ends with, overlaps with work. They
    // run in the toolkit's own pool, where its image operations stay on the calling thread instead
    // of being split across the pool again.
    std::vector<Outcome> outcomes(entries.size());
    std::atomic<std::size_t> next{0};
    QThreadPool *pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(4 * std::max(1, QThread::idealThreadCount()));
    const auto workers = std::min<std::size_t>(static_cast<std::size_t>(pool->maxThreadCount()), entries.size());
    for (std::size_t w = 0; w < workers; ++w)
        pool->start([&] {
            for (std::size_t i; (i = next++) < entries.size();)
                outcomes[i] = renderOne(entries[i], *format, settings, pathOf(entries[i]));
        });
    pool->waitForDone();

    int status = ExitSuccess;
    for (const Outcome &o : outcomes) {
        if (!o.message.empty())
            ean13::cli::message(Program, o.message);
        status = std::max(status, o.status);
    }
    return status;
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietToolkit);
    // Fonts are needed for the digits' outlines, a screen is not.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return ean13::cli::runParsed(parseArguments(argc, argv),
                                 [&](const RenderOptions &options) { return run(options, argc, argv); });
}
