// The rules and the windows at work: analyses, encodings, picture repaints and help-file loads
// a second. Run by bench/run.sh; never part of ctest.
#include "ean13.h"
#include "utf8.h"
#include "helper.h"
#include "main.h"
#include "painter.h"
#include "startup.h"
#include "symbolwriter.h"
#include "upce.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Codes = 1'000'000;

// The same kind of file as the command-line benchmark's: random 13-digit lines.
const std::vector<std::string> &randomCodes()
{
    static const std::vector<std::string> codes = [] {
        std::mt19937_64 rng(1);
        std::uniform_int_distribution<long long> any(0, 9'999'999'999'999LL);
        std::vector<std::string> v;
        v.reserve(Codes);
        for (int i = 0; i < Codes; ++i) {
            std::string s = std::to_string(any(rng));
            v.push_back(std::string(13 - s.size(), '0') + s);
        }
        return v;
    }();
    return codes;
}

// A day's worth of typing: mostly good codes, some UPC-A, short, long, letters, Cyrillic, stray bytes.
const std::vector<std::string> &mixedEntries()
{
    static const std::vector<std::string> entries = [] {
        std::mt19937 rng(2);
        std::vector<std::string> v;
        const auto &good = randomCodes();
        for (int i = 0; i < Codes; ++i) {
            std::string s = good[static_cast<std::size_t>(i)];
            switch (rng() % 8) {
            case 0: s.erase(0, 1); break;                  // 12 digits: UPC-A
            case 1: s.resize(rng() % 12); break;           // too short
            case 2: s[rng() % 13] = 'x'; break;            // a letter
            case 3: s.replace(rng() % 12, 1, "Ж"); break;  // Cyrillic: 2 bytes, 1 character
            case 4: s += "123456"; break;                  // too long: cut
            case 5: s[rng() % 13] = '\xff'; break;         // not UTF-8
            default: break;
            }
            v.push_back(std::move(s));
        }
        return v;
    }();
    return entries;
}

void analyseAll(benchmark::State &state, const std::vector<std::string> &entries)
{
    for (auto _ : state) {
        int accepted = 0;
        for (const std::string &e : entries)
            accepted += ean13::analyse(ean13::lists::codeFromUtf8(e)).accepted() ? 1 : 0;
        benchmark::DoNotOptimize(accepted);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(entries.size()));
}

void BM_AnalyseRandomCodes(benchmark::State &state) { analyseAll(state, randomCodes()); }
void BM_AnalyseMixWithErrors(benchmark::State &state) { analyseAll(state, mixedEntries()); }

// The command-line analyser's bulk case: a verdict straight from the bytes of a line, and no
// answer (the line then goes the long way) for anything but 13 ASCII digits.
void verdictsOfAll(benchmark::State &state, const std::vector<std::string> &entries)
{
    for (auto _ : state) {
        int ok = 0;
        for (const std::string &e : entries) {
            const auto v = ean13::verdictOfThirteenDigits(e);
            ok += v && v->status == ean13::Status::Ok ? 1 : 0;
        }
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(entries.size()));
}

void BM_BulkVerdictRandomCodes(benchmark::State &state) { verdictsOfAll(state, randomCodes()); }
void BM_BulkVerdictMixWithErrors(benchmark::State &state) { verdictsOfAll(state, mixedEntries()); }

void BM_Encode(benchmark::State &state)
{
    std::vector<ean13::Code> codes;
    for (int i = 0; i < 100'000; ++i)
        codes.push_back(ean13::lists::codeFromUtf8(randomCodes()[static_cast<std::size_t>(i)]));
    for (auto _ : state) {
        std::size_t modules = 0;
        for (const ean13::Code &c : codes)
            modules += ean13::encodeModules(c).modules.size();
        benchmark::DoNotOptimize(modules);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(codes.size()));
}

// One SVG symbol made and read back as ean13 render does before it writes the file, without the
// disk: what the file's bytes cost.
void BM_RenderSvg(benchmark::State &state)
{
    std::vector<ean13::Code> codes;
    for (std::size_t i = 0; i < 1000; ++i) {
        std::string digits = randomCodes()[i];
        int sum = 0;
        for (std::size_t k = 0; k < 12; ++k)
            sum += (digits[k] - '0') * (k % 2 ? 3 : 1);
        digits[12] = static_cast<char>('0' + (10 - sum % 10) % 10);   // a symbol that reads back
        codes.push_back(ean13::lists::codeFromUtf8(digits));
    }
    const ean13::RenderSettings settings;
    for (auto _ : state) {
        qsizetype bytes = 0;
        for (const ean13::Code &c : codes)
            bytes += ean13::renderSymbol(c, ean13::SymbolFormat::Svg, settings).bytes.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(codes.size()));
}

// The family against EAN-13 itself: one symbol of each symbology (and with a 5-digit add-on) made
// and read back as ean13 render does, SVG and PNG at 600 dpi, without the disk. Arguments: the
// symbology (0 EAN-13, 1 UPC-A, 2 EAN-8, 3 UPC-E), the add-on (0 none, 1 five digits), the format
// (0 SVG, 1 PNG).
void BM_RenderFamily(benchmark::State &state)
{
    const auto symbology = static_cast<ean13::Symbology>(state.range(0));
    const bool addOn = state.range(1) != 0;
    const auto format = state.range(2) ? ean13::SymbolFormat::Png : ean13::SymbolFormat::Svg;
    std::vector<ean13::SymbolRequest> requests;
    for (std::size_t i = 0; requests.size() < 200; ++i) {
        const std::string &random = randomCodes()[i];
        ean13::SymbolRequest r{symbology, {}, addOn ? random.substr(0, 5) : std::string()};
        switch (symbology) {
        case ean13::Symbology::Ean13: r.digits = random.substr(0, 12); break;
        case ean13::Symbology::UpcA: r.digits = random.substr(0, 11); break;
        case ean13::Symbology::Ean8: r.digits = random.substr(0, 7); break;
        case ean13::Symbology::UpcE: r.digits = "0" + random.substr(0, 6); break;
        }
        // The check digit that reads back: the GTIN's, of the UPC-A number for UPC-E.
        const std::string gtin = symbology == ean13::Symbology::UpcE ? *ean13::expandUpcE(r.digits) : r.digits;
        r.digits += static_cast<char>('0' + ean13::gtinCheckDigit(gtin + "0"));
        requests.push_back(std::move(r));
    }
    ean13::RenderSettings settings;
    for (auto _ : state) {
        qsizetype bytes = 0;
        for (const ean13::SymbolRequest &r : requests) {
            const qsizetype n = ean13::renderSymbol(r, format, settings).bytes.size();
            if (n == 0)
                state.SkipWithError("a symbol did not read back");
            bytes += n;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(requests.size()));
}

void BM_PictureRepaint(benchmark::State &state)
{
    CodeText = u"4820000000000"_s;
    QImage img(123, 76, QImage::Format_RGB32);
    for (auto _ : state) {
        Form1->render(&img);   // a whole repaint: encoding afresh, then bars, guards and digits
        benchmark::DoNotOptimize(img.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

// The help command on a file made of `piece` repeated to `size` bytes: emptied, shown, loaded,
// caret to the start, and the lines in sight laid out and painted.
void helpCommandOn(benchmark::State &state, const QByteArray &piece, qint64 size)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
        QFile f(u"Tavik.txt"_s);
        f.open(QIODevice::WriteOnly);
        for (qint64 written = 0; written < size; written += piece.size())
            f.write(piece);
    }
    for (auto _ : state) {
        ShowHelp();
        HelpForm->RichEdit1->viewport()->repaint();
        state.PauseTiming();
        HelpForm->hide();
        state.ResumeTiming();
    }
    QDir::setCurrent(previous);
}

constexpr qint64 MB = 1024 * 1024;

void BM_HelpFile50MB(benchmark::State &state)
{
    helpCommandOn(state, u"Строка файла справки: вводите 12 или 13 цифр и нажимайте Enter.\r\n"_s.toUtf8(), 50 * MB);
}

void BM_HelpFileOneLongLine(benchmark::State &state)
{
    helpCommandOn(state, QByteArray("0123456789abcdef"), 4 * MB);   // binary: no line break, no space
}

void BM_HelpFileEmptyLines(benchmark::State &state)
{
    helpCommandOn(state, QByteArray(64 * 1024, '\n'), 4 * MB);   // four million empty lines
}

} // namespace

BENCHMARK(BM_AnalyseRandomCodes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalyseMixWithErrors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkVerdictRandomCodes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkVerdictMixWithErrors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderSvg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderFamily)->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {0, 1}})->ArgNames({"symbology", "addon", "png"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PictureRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HelpFile50MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_HelpFileOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_HelpFileEmptyLines)->Unit(benchmark::kMillisecond)->Iterations(3);

namespace {

// Keeps each benchmark's rate, so that the ratios can be printed after the table.
class RateReporter : public benchmark::ConsoleReporter
{
public:
    RateReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                rates[run.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Forms forms;
    forms.mainForm.show();
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto &r = reporter.rates;
    if (r.count("BM_AnalyseRandomCodes") && r.count("BM_AnalyseMixWithErrors") && r.count("BM_Encode")) {
        std::printf("mix with errors / random codes: %.2f of the analyses a second\n",
                    r.at("BM_AnalyseMixWithErrors") / r.at("BM_AnalyseRandomCodes"));
        std::printf("encodings / analyses a second:  %.2f\n", r.at("BM_Encode") / r.at("BM_AnalyseRandomCodes"));
    }
    return 0;
}
