// ean13 render: standard EAN-13 symbols as SVG, PNG or PDF files, each read back by a barcode
// decoder before it is written.
#include "input.h"
#include "status.h"
#include "symbolwriter.h"
#include "version.h"
#include "wholefile.h"

#include <CLI/CLI.hpp>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
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

// An entry longer than this is no code, and only its beginning is kept, to be shown as an excerpt.
constexpr std::size_t MaxEntryBytes = 80;
// Entries judged, drawn and written at a time: memory stays bounded whatever the input, and the
// files of a group wait for the disk together.
constexpr std::size_t GroupSize = 256;

// One entry as the analysis takes it, and whether a symbol may be made of it.
struct Entry
{
    std::string text;
    long long length = 0;   // in bytes, of which `text` holds at most MaxEntryBytes + 2
    ean13::Code code;       // 13 digits when accepted
    std::string refusal;
};

Entry judge(Entry e)
{
    const ean13::Analysis a = ean13::analyse(ean13::asciiCode(e.text));
    // The analysis looks at the first 13 characters only; a symbol of them would not be what was asked for.
    const bool tooLong = e.length > static_cast<long long>(ean13::CodeLength);
    if (tooLong || !a.accepted()) {
        e.refusal = ean13::cli::excerpt(e.text) + ": not a 12- or 13-digit code";
        return e;
    }
    e.code = a.entry.code;
    if (a.status == ean13::Status::BadCheckDigit) {
        e.refusal = ean13::cli::excerpt(e.text) + ": wrong check digit, it should be " + std::to_string(*a.expectedCheckDigit)
                    + " (" + ean13::asciiText(*ean13::correctedCode(a)) + "); no file written";
    }
    return e;
}

// The entries of a file or of standard input, one a line, read in pieces: LF or CRLF ends a line
// and blank lines are skipped; a line however long is never held whole.
class EntryLines
{
public:
    // False with errno set when the file cannot be opened.
    bool open(const std::string &name)
    {
        int error = 0;
        if (std::optional<ean13::lists::InputFile> file = ean13::lists::InputFile::open(name, error))
            m_file.emplace(std::move(*file));
        errno = error;
        return m_file.has_value();
    }
    // The next entry, or false at the end or on an error (error() says which).
    bool next(Entry &e)
    {
        e = Entry();
        for (;;) {
            if (m_at == m_size) {
                if (m_end)
                    return finishLine(e);
                const long long n = m_file->read(m_buffer.data(), m_buffer.size());
                if (n < 0)
                    m_error = errno;
                m_end = n <= 0;
                m_at = 0;
                m_size = n > 0 ? static_cast<std::size_t>(n) : 0;
                continue;
            }
            const char c = m_buffer[m_at++];
            if (c == '\n') {
                if (finishLine(e))
                    return true;
                continue;
            }
            if (m_line.size() < MaxEntryBytes + 2)
                m_line += c;
            ++m_length;
            m_lastCr = c == '\r';
        }
    }
    [[nodiscard]] int error() const { return m_error; }

private:
    bool finishLine(Entry &e)
    {
        if (m_lastCr) {   // CRLF ends the line; the CR is no part of it
            --m_length;
            if (m_line.size() > static_cast<std::size_t>(m_length))
                m_line.pop_back();
        }
        const bool any = m_length > 0;
        e.text = std::move(m_line);
        e.length = m_length;
        m_line.clear();
        m_length = 0;
        m_lastCr = false;
        return any;
    }

    std::optional<ean13::lists::InputFile> m_file;
    std::vector<char> m_buffer = std::vector<char>(64 * 1024);
    std::size_t m_at = 0;
    std::size_t m_size = 0;
    bool m_end = false;
    int m_error = 0;
    std::string m_line;
    long long m_length = 0;
    bool m_lastCr = false;
};

struct Outcome
{
    int status = ExitSuccess;
    std::string message;
};

std::string fileName(const ean13::Code &code, ean13::SymbolFormat format)
{
    return ean13::asciiText(code) + "." + ean13::suffix(format).toStdString();
}

// The code as a number: what tells two entries of one file name apart in a batch, at 8 bytes a code.
std::uint64_t key(const ean13::Code &code)
{
    std::uint64_t k = 0;
    for (const char32_t c : code)
        k = k * 10 + (c - U'0');
    return k;
}

} // namespace

// The toolkit's own notes (a missing runtime directory and the like) mean nothing to the user of a
// command; fatal errors still end the program.
void quietToolkit(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        ean13::cli::message(Program, message.toStdString());
}

// Where the symbols go: one file, standard output, or a folder of one file a code.
struct Target
{
    enum Kind { File, Stdout, Folder } kind = File;
    QString path;
    QStringList made;   // folders this run created, the deepest last
};

// The folders that mkpath would create for `path`, outermost first.
QStringList missingFolders(const QString &path)
{
    QStringList missing;
    QFileInfo at(QDir::cleanPath(QDir(path).absolutePath()));
    while (!at.exists() && !at.isSymLink() && !at.isRoot()) {
        missing.prepend(at.absoluteFilePath());
        at = QFileInfo(at.absolutePath());
    }
    return missing;
}

void removeMadeFolders(const Target &target)
{
    for (auto it = target.made.crbegin(); it != target.made.crend(); ++it)
        QDir().rmdir(*it);   // only while empty
}

// What the command line asks for.
struct RenderOptions
{
    std::optional<ean13::SymbolFormat> format;   // by OUT's name when not given
    ean13::RenderSettings settings;
    bool xAsked = false;                         // --x-dim given: a change of it is worth a word
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
    auto *xOption = app.add_option("--x-dim", o.settings.symbol.xMm, "X-dimension, the narrowest bar, in mm: 0.264 to 0.660")
                        ->default_val(ean13::NominalXmm);
    app.add_option("--dpi", o.settings.dpi,
                   "PNG resolution: a whole number of pixels to a module, the nearest to X that keeps X in its range")
        ->default_val(ean13::DefaultDpi);
    app.add_option("--height", height, "height of the data bars in mm (default: 22.85 mm scaled with X)");
    app.add_option("--bwr", o.settings.symbol.bwrMm, "bar width reduction in mm, for print gain: 0 to a quarter of X")->default_val(0);
    app.add_flag("--no-text", noText, "no human-readable digits");
    app.add_flag("--margin-indicator", o.settings.symbol.marginIndicator, "'>' in the right quiet zone");
    app.add_option("-o,--output", o.out,
                   "where the symbols go: a directory (an existing one, a name ending in /, made when\n"
                   "missing, or any new name for several codes) receives <13 digits>.<format> a code;\n"
                   "a file for one CODE (no extension: SVG); - standard output")
        ->required();
    app.add_option("-i,--input", o.input, "a file of codes, one a line (- for standard input)");
    app.add_option("CODE", o.codes, "12 or 13 digits");
    app.footer("OUT: a regular file is replaced only once its new content is whole and on disk, and keeps\n"
               "its old bytes if anything fails; a link to a file is followed, a link to nothing refused. A\n"
               "device, a pipe or a socket is written into, never replaced; /dev/stdout writes to standard\n"
               "output as the shell opened it (>> appends). In a directory, each file is written under a\n"
               "temporary name and renamed; a name there that is a symbolic link, a device, a pipe or a\n"
               "socket is refused and left alone; two codes of one file name (036000291452 and\n"
               "0036000291452) give one file. A directory that this run made and that received no file is\n"
               "removed again.\n"
               "\n"
               "Exit status: 0 every file written, 1 some code refused (not 12 or 13 digits, a wrong\n"
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
    o.xAsked = xOption->count() > 0;
    if (o.codes.empty() && o.input.empty())
        return Answered{usageError("give a CODE or -i FILE")};
    if (!formatName.empty() && !(o.format = ean13::symbolFormat(QString::fromStdString(formatName))))
        return Answered{usageError("unknown format '" + formatName + "': svg, png or pdf")};
    return o;
}

// Where the symbols go and in which format, from OUT, the number of codes and --format; or the
// exit status of a refusal, already said.
struct Destination
{
    Target target;
    ean13::SymbolFormat format = ean13::SymbolFormat::Svg;
};

ean13::cli::Parsed<Destination> destinationOf(const RenderOptions &options)
{
    using ean13::cli::Answered;
    const std::string &out = options.out;
    std::optional<ean13::SymbolFormat> format = options.format;
    if (out.empty())
        return Answered{usageError("OUT is empty: give a file, a directory or -")};
    Destination d;
    d.target.path = QString::fromLocal8Bit(out.c_str());
    const QFileInfo outInfo(d.target.path);
    const bool several = options.codes.size() != 1 || !options.input.empty();
    if (out == "-") {
        if (several)
            return Answered{usageError("standard output takes one symbol: give one CODE, or a directory for several")};
        d.target.kind = Target::Stdout;
    } else if (outInfo.isDir() || out.back() == '/' || (several && !outInfo.exists() && !outInfo.isSymLink())) {
        d.target.kind = Target::Folder;
    } else if (several) {
        return Answered{usageError(out + " is not a directory, and several codes need one")};
    } else {
        // One file: its extension says the format, and a name without one is SVG.
        if (!format && !outInfo.suffix().isEmpty() && !(format = ean13::symbolFormat(outInfo.suffix())))
            return Answered{usageError("cannot tell the format from the name " + out + ": give --format svg, png or pdf")};
        if (!outInfo.isSymLink() && !outInfo.absoluteDir().exists())
            return Answered{failure("cannot write " + out + ": its directory does not exist")};
    }
    d.format = format.value_or(ean13::SymbolFormat::Svg);
    if (const std::string e = ean13::checkSettings(options.settings, d.format); !e.empty())
        return Answered{failure(e)};
    return d;
}

// A PNG's pixels round the X-dimension, and with it the bar height and the bar width reduction
// that depend on it: said only of what was asked for, since the nominal X that the pixels round
// is no one's concern.
void notePixelRounding(const RenderOptions &options)
{
    const ean13::RenderSettings &settings = options.settings;
    const ean13::PixelGrid g = ean13::pixelGrid(settings.symbol, settings.dpi);
    char note[128];
    if (options.xAsked && std::abs(g.xMm - settings.symbol.xMm) >= 0.0005) {
        std::snprintf(note, sizeof note, "X-dimension %.3f mm (%d pixels a module at %d dpi) in place of %.3f mm",
                      g.xMm, g.pixelsPerModule, settings.dpi, settings.symbol.xMm);
        ean13::cli::message(Program, note);
    }
    if (settings.symbol.barHeightMm && std::abs(*g.options.barHeightMm - *settings.symbol.barHeightMm) >= 0.0005) {
        std::snprintf(note, sizeof note, "bar height %.3f mm (in range for an X-dimension of %.3f mm) in place of %.3f mm",
                      *g.options.barHeightMm, g.xMm, *settings.symbol.barHeightMm);
        ean13::cli::message(Program, note);
    }
    if (std::abs(g.options.bwrMm - settings.symbol.bwrMm) >= 0.0005) {
        std::snprintf(note, sizeof note, "bar width reduction %.3f mm (in range for an X-dimension of %.3f mm) in place of %.3f mm",
                      g.options.bwrMm, g.xMm, settings.symbol.bwrMm);
        ean13::cli::message(Program, note);
    }
}

// A batch of symbols, a group of entries at a time: judged, drawn on the toolkit's pool, written,
// and their messages said.
class Batch
{
public:
    Batch(const RenderOptions &options, EntryLines &lines, const Destination &destination,
          std::optional<ean13::FolderWriter> &folder)
        : m_options(options), m_lines(lines), m_target(destination.target), m_format(destination.format), m_folder(folder)
    {
        // Each symbol is independent of the others: several at once, more than there are processors
        // so that the wait for the disk overlaps with work. They run in the toolkit's own pool, where
        // its image operations stay on the calling thread instead of being split across the pool again.
        m_pool->setMaxThreadCount(4 * std::max(1, QThread::idealThreadCount()));
    }

    // The worst exit status of the batch's symbols.
    int run()
    {
        int status = ExitSuccess;
        while (readGroup()) {
            screenGroup();
            drawGroup();
            writeGroup();
            status = std::max(status, reportGroup());
        }
        return status;
    }

private:
    // The next group of entries: the codes given first, then the lines of the input.
    bool readGroup()
    {
        m_entries.clear();
        while (m_entries.size() < GroupSize) {
            Entry e;
            if (m_nextCode < m_options.codes.size()) {
                e.text = m_options.codes[m_nextCode++];
                e.length = static_cast<long long>(e.text.size());
            } else if (m_options.input.empty() || !m_lines.next(e)) {
                break;
            }
            m_entries.push_back(judge(std::move(e)));
        }
        return !m_entries.empty();
    }

    // Which entries are drawn: not the refused ones, nor a second code of the same file name.
    void screenGroup()
    {
        m_outcomes.assign(m_entries.size(), Outcome());
        m_draw.assign(m_entries.size(), false);
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            const Entry &e = m_entries[i];
            if (!e.refusal.empty()) {
                m_outcomes[i] = {ExitFindings, e.refusal};
            } else if (m_target.kind == Target::Folder && !m_named.insert(key(e.code)).second) {
                m_outcomes[i] = {ExitSuccess, ean13::cli::excerpt(e.text) + ": the same file as an earlier code of this run, "
                                                  + fileName(e.code, m_format) + "; written once"};
            } else {
                m_draw[i] = true;
            }
        }
    }

    // Each symbol drawn and read back, and staged in the folder or kept for its one file.
    void drawGroup()
    {
        m_staged.assign(m_entries.size(), ean13::FolderWriter::Staged());
        m_bytes.assign(m_entries.size(), QByteArray());
        std::atomic<std::size_t> next{0};
        const auto drawn = static_cast<std::size_t>(std::count(m_draw.begin(), m_draw.end(), true));
        const auto workers = std::min<std::size_t>(static_cast<std::size_t>(m_pool->maxThreadCount()), drawn);
        for (std::size_t w = 0; w < workers; ++w)
            m_pool->start([&] {
                for (std::size_t i; (i = next++) < m_entries.size();) {
                    if (!m_draw[i])
                        continue;
                    const Entry &e = m_entries[i];
                    ean13::Rendered r = ean13::renderSymbol(e.code, m_format, m_options.settings);
                    if (r.error != ean13::RenderError::None) {
                        m_outcomes[i] = {ExitFindings, ean13::cli::excerpt(e.text) + ": the decoder did not read the symbol back as "
                                                           + ean13::asciiText(e.code) + "; no file written"};
                        m_draw[i] = false;
                    } else if (m_folder) {
                        m_staged[i] = m_folder->stage(QString::fromStdString(fileName(e.code, m_format)), r.bytes);
                    } else {
                        m_bytes[i] = std::move(r.bytes);
                    }
                }
            });
        m_pool->waitForDone();
    }

    void writeGroup()
    {
        if (m_folder)
            m_folder->commit(m_staged);
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (!m_draw[i])
                continue;
            ean13::WriteError e;
            std::string where = m_options.out;
            if (m_folder) {
                e = m_staged[i].error;
                where = local(QDir(m_target.path).filePath(QString::fromStdString(fileName(m_entries[i].code, m_format))));
            } else {
                e = m_target.kind == Target::Stdout ? ean13::writeToDescriptor(1, m_bytes[i]) : ean13::saveWhole(m_target.path, m_bytes[i]);
            }
            if (!e.ok())
                m_outcomes[i] = {ExitFailure, "cannot write " + where + ": " + ean13::describe(e)};
        }
    }

    // The group's messages in one write, not one each; the group's worst exit status.
    int reportGroup() const
    {
        int status = ExitSuccess;
        std::string said;
        for (const Outcome &o : m_outcomes) {
            if (!o.message.empty())
                said += ean13::cli::messageLine(Program, o.message);
            status = std::max(status, o.status);
        }
        std::fwrite(said.data(), 1, said.size(), stderr);
        std::fflush(stderr);
        return status;
    }

    const RenderOptions &m_options;
    EntryLines &m_lines;
    const Target &m_target;
    const ean13::SymbolFormat m_format;
    std::optional<ean13::FolderWriter> &m_folder;
    QThreadPool *const m_pool = QThreadPool::globalInstance();
    std::unordered_set<std::uint64_t> m_named;   // the codes of this batch so far
    std::size_t m_nextCode = 0;
    std::vector<Entry> m_entries;
    std::vector<Outcome> m_outcomes;
    std::vector<char> m_draw;   // bytes, not bits: each worker writes its own entries' alone
    std::vector<ean13::FolderWriter::Staged> m_staged;
    std::vector<QByteArray> m_bytes;
};

int run(const RenderOptions &options, int argc, char **argv)
{
    EntryLines lines;
    if (!options.input.empty() && !lines.open(options.input))
        return failure("cannot read " + options.input + ": " + std::strerror(errno));

    QGuiApplication application(argc, argv);

    const ean13::cli::Parsed<Destination> parsed = destinationOf(options);
    if (const auto *answered = std::get_if<ean13::cli::Answered>(&parsed))
        return answered->status;
    Destination destination = std::get<Destination>(parsed);
    if (destination.format == ean13::SymbolFormat::Png)
        notePixelRounding(options);

    Target &target = destination.target;
    std::optional<ean13::FolderWriter> folder;
    if (target.kind == Target::Folder) {
        target.made = missingFolders(target.path);
        if (!QDir().mkpath(target.path)) {
            removeMadeFolders(target);
            return failure("cannot create the directory " + options.out);
        }
        folder.emplace(target.path);
        if (const ean13::WriteError e = folder->open(); !e.ok()) {
            removeMadeFolders(target);
            return failure("cannot write into " + options.out + ": " + ean13::describe(e));
        }
    }

    int status = Batch(options, lines, destination, folder).run();
    if (lines.error())
        status = failure("cannot read " + options.input + ": " + std::strerror(lines.error()));
    if (folder) {
        if (const ean13::WriteError e = folder->finish(); !e.ok())
            status = failure("cannot write " + options.out + ": " + ean13::describe(e));
        if (folder->written() == 0)
            removeMadeFolders(target);
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
