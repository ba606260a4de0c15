// ean13 render: standard symbols of the EAN/UPC family (EAN-13, UPC-A, EAN-8, UPC-E, each with
// or without a 2- or 5-digit add-on) as SVG, PNG or PDF files, each read back by a barcode decoder
// before it is written.
#include "input.h"
#include "status.h"
#include "symbolwriter.h"
#include "upce.h"
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

// One entry as it was given, and the symbol that may be made of it.
struct Entry
{
    std::string text;
    long long length = 0;          // in bytes, of which `text` holds at most MaxEntryBytes + 2
    ean13::SymbolRequest request;  // when accepted
    std::string refusal;
};

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Which symbology an entry's number makes: the one asked for, or by its length.
std::optional<ean13::Symbology> symbologyOf(std::optional<ean13::Symbology> asked, std::size_t digits)
{
    if (asked)
        return asked;
    switch (digits) {
    case 8: return ean13::Symbology::Ean8;
    case 12: return ean13::Symbology::UpcA;
    case 13: return ean13::Symbology::Ean13;
    default: return std::nullopt;
    }
}

// What the symbology takes, said when an entry is not that.
std::string expected(std::optional<ean13::Symbology> asked)
{
    if (!asked)
        return "not an 8-, 12- or 13-digit code";
    switch (*asked) {
    case ean13::Symbology::Ean13: return "not a 12- or 13-digit code";
    case ean13::Symbology::UpcA: return "not a UPC-A number: 12 digits, or 13 beginning with 0";
    case ean13::Symbology::Ean8: return "not an 8-digit code";
    case ean13::Symbology::UpcE:
        return "not a UPC-E number: 8 digits beginning with 0 or 1, or a UPC-A number of 12 digits (13 beginning with 0)";
    }
    return {};
}

Entry judge(Entry e, std::optional<ean13::Symbology> asked)
{
    const std::string &text = e.text;
    // CODE or CODE+ADDON; nothing past the longest of these is a code (the text holds a little more).
    const bool tooLong = e.length > static_cast<long long>(ean13::CodeLength + 1 + 5);
    const std::size_t plus = text.find('+');
    const std::string main = text.substr(0, plus);
    const std::string addOn = plus == std::string::npos ? std::string() : text.substr(plus + 1);
    const std::optional<ean13::Symbology> symbology = symbologyOf(asked, main.size());
    if (tooLong || !allDigits(main) || !symbology || main.size() > static_cast<std::size_t>(ean13::CodeLength)) {
        e.refusal = ean13::cli::excerpt(text) + ": " + expected(asked);
        return e;
    }
    if (plus != std::string::npos && (!allDigits(addOn) || (addOn.size() != 2 && addOn.size() != 5))) {
        e.refusal = ean13::cli::excerpt(text) + ": the add-on after '+' must be 2 or 5 digits";
        return e;
    }
    // The digits of the symbol, and the GTIN whose check digit they carry.
    std::string digits = main;
    std::string gtin = main;
    switch (*symbology) {
    case ean13::Symbology::Ean13:
        if (main.size() == ean13::UpcLength)
            digits = gtin = "0" + main;   // a UPC-A number as the equal EAN-13 number
        else if (main.size() != ean13::CodeLength)
            digits.clear();
        break;
    case ean13::Symbology::UpcA:
        if (main.size() == ean13::CodeLength && main[0] == '0')
            digits = gtin = main.substr(1);
        else if (main.size() != ean13::UpcLength)
            digits.clear();
        break;
    case ean13::Symbology::Ean8:
        if (main.size() != 8)
            digits.clear();
        break;
    case ean13::Symbology::UpcE:
        if (main.size() == 8) {
            // Its own check digit is the UPC-A number's.
            const std::optional<std::string> upcA = ean13::expandUpcE(main.substr(0, 7));
            digits = upcA ? main : std::string();
            gtin = upcA ? *upcA + main[7] : std::string();
        } else if (main.size() == ean13::UpcLength || (main.size() == ean13::CodeLength && main[0] == '0')) {
            gtin = main.substr(main.size() - ean13::UpcLength);
            const std::optional<std::string> upcE = ean13::suppressUpcA(gtin.substr(0, 11));
            if (!upcE) {
                e.refusal = ean13::cli::excerpt(text) + ": the UPC-A number " + gtin
                            + " cannot be zero-suppressed into UPC-E; no file written";
                return e;
            }
            digits = *upcE + gtin.back();
        } else {
            digits.clear();
        }
        break;
    }
    if (digits.empty()) {
        e.refusal = ean13::cli::excerpt(text) + ": " + expected(asked);
        return e;
    }
    const int wanted = ean13::gtinCheckDigit(gtin);
    if (gtin.back() - '0' != wanted) {
        std::string corrected = digits;
        corrected.back() = static_cast<char>('0' + wanted);
        e.refusal = ean13::cli::excerpt(text) + ": wrong check digit, it should be " + std::to_string(wanted) + " ("
                    + corrected + "); no file written";
        return e;
    }
    e.request = {*symbology, std::move(digits), addOn};
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

// The symbol's digits, and '+' and the add-on's.
std::string fileName(const ean13::SymbolRequest &r, ean13::SymbolFormat format)
{
    return r.digits + (r.addOn.empty() ? "" : "+" + r.addOn) + "." + ean13::suffix(format).toStdString();
}

// The file name as two numbers: what tells two entries of one file name apart in a batch, at 16
// bytes a code. A leading 1 keeps the count of digits (0012 and 012 differ); within one run a
// count of digits stands for one symbology.
struct Key
{
    std::uint64_t digits = 1;
    std::uint32_t addOn = 1;
    bool operator==(const Key &o) const { return digits == o.digits && addOn == o.addOn; }
};
struct KeyHash
{
    std::size_t operator()(const Key &k) const { return std::hash<std::uint64_t>()(k.digits * 1000003u ^ k.addOn); }
};

Key key(const ean13::SymbolRequest &r)
{
    Key k;
    for (const char c : r.digits)
        k.digits = k.digits * 10 + static_cast<std::uint64_t>(c - '0');
    for (const char c : r.addOn)
        k.addOn = k.addOn * 10 + static_cast<std::uint32_t>(c - '0');
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
    std::optional<ean13::Symbology> symbology;   // by each code's length when not given
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
    CLI::App app("Writes standard symbols of the EAN/UPC family as SVG, PNG or PDF files: EAN-13, UPC-A,\n"
                 "EAN-8 and UPC-E, each with or without a 2- or 5-digit add-on. Every symbol is read back\n"
                 "by a barcode decoder before its file is written; a file is written whole or not at all.",
                 "ean13 render");
    RenderOptions o;
    std::string formatName;
    std::string symbologyName;
    std::optional<double> height;
    bool noText = false;
    app.set_version_flag("--version", "ean13 render (Barcode Analyser) " BARCODE_ANALYSER_VERSION);
    app.add_option("--symbology", symbologyName,
                   "ean13, upca, ean8 or upce (default: by the number of digits: 8 EAN-8, 12 UPC-A,\n"
                   "13 EAN-13)");
    app.add_option("--format", formatName, "svg, png or pdf (default: OUT's extension, else svg)");
    auto *xOption = app.add_option("--x-dim", o.settings.symbol.xMm, "X-dimension, the narrowest bar, in mm: 0.264 to 0.660")
                        ->default_val(ean13::NominalXmm);
    app.add_option("--dpi", o.settings.dpi,
                   "PNG resolution: a whole number of pixels to a module, the nearest to X that keeps X in its range")
        ->default_val(ean13::DefaultDpi);
    app.add_option("--height", height, "height of the data bars in mm (default: 22.85 mm, EAN-8's 18.23 mm, scaled with X)");
    app.add_option("--bwr", o.settings.symbol.bwrMm, "bar width reduction in mm, for print gain: 0 to a quarter of X")->default_val(0);
    app.add_flag("--no-text", noText, "no human-readable digits");
    app.add_flag("--margin-indicator", o.settings.symbol.marginIndicator,
                 "'>' in the right quiet zone (after an add-on, if any), and '<' in the left one\n"
                 "of EAN-8; UPC-A and UPC-E have none");
    app.add_option("-o,--output", o.out,
                   "where the symbols go: a directory (an existing one, a name ending in /, made when\n"
                   "missing, or any new name for several codes) receives <digits>[+<add-on>].<format>\n"
                   "a code, the digits of the symbol; a file for one CODE (no extension: SVG); -\n"
                   "standard output")
        ->required();
    app.add_option("-i,--input", o.input, "a file of codes, one a line (- for standard input)");
    app.add_option("CODE", o.codes, "8, 12 or 13 digits, and +NN or +NNNNN for an add-on");
    app.footer("CODE: the digits with their check digit, which is verified (a wrong one writes no file);\n"
               "the symbology follows from the number of digits unless --symbology says it:\n"
               "  ean13 render -o a.svg 5901234123457                      EAN-13\n"
               "  ean13 render -o a.svg 036000291452                       UPC-A: number system and\n"
               "                                                           check digit in small type\n"
               "  ean13 render -o a.svg 96385074                           EAN-8\n"
               "  ean13 render -o a.svg --symbology upce 01234565          UPC-E: number system (0 or\n"
               "                                                           1), six digits, the check\n"
               "                                                           digit of its UPC-A number\n"
               "  ean13 render -o a.svg --symbology upce 012345000065      the same UPC-E, from its\n"
               "                                                           UPC-A number (refused if\n"
               "                                                           it has no UPC-E form)\n"
               "  ean13 render -o a.svg 9771234567003+05                   EAN-13, 2-digit add-on\n"
               "  ean13 render -o a.svg 9780306406157+51295                EAN-13, 5-digit add-on\n"
               "  ean13 render -o a.svg 036000291452+12                    UPC-A, 2-digit add-on\n"
               "--symbology ean13 draws a 12-digit UPC-A number as the equal EAN-13 symbol (a 0 in\n"
               "front); --symbology upca takes 13 digits beginning with 0 as UPC-A.\n"
               "\n"
               "OUT: a regular file is replaced only once its new content is whole and on disk, and keeps\n"
               "its old bytes if anything fails; a link to a file is followed, a link to nothing refused. A\n"
               "device, a pipe or a socket is written into, never replaced; /dev/stdout writes to standard\n"
               "output as the shell opened it (>> appends). In a directory, each file is written under a\n"
               "temporary name and renamed; a name there that is a symbolic link, a device, a pipe or a\n"
               "socket is refused and left alone; two codes of one file name (012345000058 and\n"
               "01234558 as UPC-E) give one file. A directory that this run made and that received no file is\n"
               "removed again.\n"
               "\n"
               "Exit status: 0 every file written, 1 some code refused (not a code of the symbology, a\n"
               "wrong check digit, or not read back), 2 a usage error, a size out of range or a file that\n"
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
    if (!symbologyName.empty() && !(o.symbology = ean13::symbologyOfName(symbologyName)))
        return Answered{usageError("unknown symbology '" + symbologyName + "': ean13, upca, ean8 or upce")};
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
            m_entries.push_back(judge(std::move(e), m_options.symbology));
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
            } else if (m_target.kind == Target::Folder && !m_named.insert(key(e.request)).second) {
                m_outcomes[i] = {ExitSuccess, ean13::cli::excerpt(e.text) + ": the same file as an earlier code of this run, "
                                                  + fileName(e.request, m_format) + "; written once"};
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
                    ean13::Rendered r = ean13::renderSymbol(e.request, m_format, m_options.settings);
                    if (r.error != ean13::RenderError::None) {
                        const std::string read = e.request.digits + (e.request.addOn.empty() ? "" : "+" + e.request.addOn);
                        m_outcomes[i] = {ExitFindings, ean13::cli::excerpt(e.text) + ": the decoder did not read the symbol back as "
                                                           + read + "; no file written"};
                        m_draw[i] = false;
                    } else if (m_folder) {
                        m_staged[i] = m_folder->stage(QString::fromStdString(fileName(e.request, m_format)), r.bytes);
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
                where = local(QDir(m_target.path).filePath(QString::fromStdString(fileName(m_entries[i].request, m_format))));
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
    std::unordered_set<Key, KeyHash> m_named;   // the file names of this batch so far
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
