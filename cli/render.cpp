// ean13 render: standard EAN-13 symbols as SVG, PNG or PDF files, each read back by a barcode
// decoder before it is written.
#include "symbolwriter.h"

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

constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

int usageError(const std::string &what)
{
    std::fprintf(stderr, "ean13 render: %s (see ean13 render --help)\n", what.c_str());
    return ExitUsage;
}

int failure(const std::string &what)
{
    std::fprintf(stderr, "ean13 render: %s\n", what.c_str());
    return ExitUsage;
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
        e.refusal = e.text + ": not a 12- or 13-digit code";
        return e;
    }
    e.code = a.entry.code;
    if (a.status == ean13::Status::BadCheckDigit) {
        std::string right = ean13::asciiText(e.code);
        right.back() = static_cast<char>('0' + *a.expectedCheckDigit);
        e.refusal = e.text + ": wrong check digit, it should be " + std::to_string(*a.expectedCheckDigit) + " ("
                    + right + "); no file written";
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
    int status = 0;
    std::string message;
};

Outcome renderOne(const Entry &e, ean13::SymbolFormat format, const ean13::RenderSettings &settings, const QString &path)
{
    if (!e.refusal.empty())
        return {ExitRefused, e.refusal};
    const ean13::Rendered r = ean13::renderSymbol(e.code, format, settings);
    if (r.error != ean13::RenderError::None)
        return {ExitRefused, e.text + ": the decoder did not read the symbol back as " + ean13::asciiText(e.code) + "; no file written"};
    QString error;
    if (!ean13::saveWhole(path, r.bytes, &error))
        return {ExitUsage, "cannot write " + local(path) + ": " + error.toStdString()};
    return {};
}

} // namespace

// The toolkit's own notes (a missing runtime directory and the like) mean nothing to the user of a
// command; fatal errors still end the program.
void quietToolkit(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "ean13 render: %s\n", message.toLocal8Bit().constData());
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietToolkit);
    // Fonts are needed for the digits' outlines, a screen is not.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    CLI::App app("Writes standard EAN-13 symbols (and UPC-A numbers as EAN-13) as SVG, PNG or PDF files.\n"
                 "Every symbol is read back by a barcode decoder before its file is written; a file is\n"
                 "written whole or not at all.",
                 "ean13 render");
    std::string formatName;
    ean13::RenderSettings settings;
    std::optional<double> height;
    std::string out;
    std::string input;
    std::vector<std::string> codes;
    bool noText = false;
    app.add_option("--format", formatName, "svg, png or pdf (default: OUT's extension, else svg)");
    app.add_option("--x-dim", settings.symbol.xMm, "X-dimension, the narrowest bar, in mm: 0.264 to 0.660")
        ->default_val(ean13::NominalXmm);
    app.add_option("--dpi", settings.dpi, "PNG resolution: a whole number of pixels to a module")
        ->default_val(ean13::DefaultDpi);
    app.add_option("--height", height, "height of the data bars in mm (default: 22.85 mm scaled with X)");
    app.add_option("--bwr", settings.symbol.bwrMm, "bar width reduction in mm, for print gain")->default_val(0);
    app.add_flag("--no-text", noText, "no human-readable digits");
    app.add_flag("--margin-indicator", settings.symbol.marginIndicator, "'>' in the right quiet zone");
    app.add_option("-o,--output", out, "a file for one CODE, or a directory: one <13 digits>.<format> a code")
        ->required();
    app.add_option("-i,--input", input, "a file of codes, one a line (- for standard input)");
    app.add_option("CODE", codes, "12 or 13 digits");
    app.footer("Exit status: 0 every file written, 1 some code refused (not 12 or 13 digits, a wrong\n"
               "check digit, or not read back), 2 a usage error, a size out of range or a file that\n"
               "cannot be written.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        return usageError(e.what());
    }
    settings.symbol.barHeightMm = height;
    settings.symbol.text = !noText;
    if (codes.empty() && input.empty())
        return usageError("give a CODE or -i FILE");

    std::optional<ean13::SymbolFormat> format;
    if (!formatName.empty() && !(format = ean13::symbolFormat(QString::fromStdString(formatName))))
        return usageError("unknown format '" + formatName + "': svg, png or pdf");

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
        if (std::abs(g.xMm - settings.symbol.xMm) >= 0.0005)
            std::fprintf(stderr, "ean13 render: X-dimension %.3f mm (%d pixels a module at %d dpi) in place of %.3f mm\n",
                         g.xMm, g.pixelsPerModule, settings.dpi, settings.symbol.xMm);
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

    int status = 0;
    for (const Outcome &o : outcomes) {
        if (!o.message.empty())
            std::fprintf(stderr, "ean13 render: %s\n", o.message.c_str());
        status = std::max(status, o.status);
    }
    return status;
}
