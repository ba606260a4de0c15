#include "listreading.h"

#include "codecolumn.h"
#include "delimiter.h"
#include "encoding.h"
#include "entry.h"
#include "input.h"
#include "utf8.h"

#include <QFileInfo>

#include <chrono>
#include <cstring>
#include <map>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace ean13::lists;

namespace {

constexpr std::size_t PieceSize = 1 << 16;
constexpr std::size_t StartSample = 1 << 16;   // what is read before the layout is judged
// A batch goes to the window when it holds this many rows or is this old, whichever comes first:
// often enough that the table grows as it reads, seldom enough that handing over costs little.
constexpr std::size_t BatchRows = 32768;
constexpr auto BatchAge = std::chrono::milliseconds(100);

ListStatus listStatus(ean13::Status status)
{
    switch (status) {
    case ean13::Status::Ok: return ListStatus::Ok;
    case ean13::Status::BadCheckDigit: return ListStatus::BadCheckDigit;
    case ean13::Status::NonDigit: return ListStatus::NonDigit;
    case ean13::Status::BadLength: break;
    // Refusals of entries read as UPC-E, which the list window never asks for.
    case ean13::Status::BadNumberSystem:
    case ean13::Status::BadUpcE:
    case ean13::Status::NotUpcE: break;
    }
    return ListStatus::BadLength;
}

// The first bytes of an entry, cut where a character begins.
std::string_view kept(std::string_view bytes)
{
    if (bytes.size() <= ListModel::MaxKept)
        return bytes;
    std::size_t n = ListModel::MaxKept;
    while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80)
        --n;
    return bytes.substr(0, n);
}

// Turns the entries the reader finds into rows, checked as ean13 check checks them.
class RowSink final : public EntrySink
{
public:
    explicit RowSink(const ListReadCallbacks &callbacks)
        : m_callbacks(callbacks), m_since(std::chrono::steady_clock::now())
    {
        renew();
    }

    void entry(std::string_view bytes, long long line) override
    {
        std::optional<Checked> c = checkThirteenDigits(bytes);   // the bulk case
        if (!c)
            c = checkEntry(bytes, Rules{});
        const std::string_view text = kept(bytes);
        add(*c, line, text, text.size() < bytes.size());
    }
    void beginEntry(long long line) override
    {
        m_line = line;
        m_chars = EntryChars();
        m_decoder = Utf8Decoder{};
        m_kept.clear();
        m_cut = false;
    }
    void entryBytes(std::string_view bytes) override
    {
        for (char b : bytes)
            m_decoder.feed(static_cast<unsigned char>(b), [this](char32_t c) { m_chars.add(c); });
        if (m_kept.size() < ListModel::MaxKept + 4)
            m_kept.append(bytes.substr(0, ListModel::MaxKept + 4 - m_kept.size()));
        else
            m_cut = m_cut || !bytes.empty();
    }
    void endEntry() override
    {
        m_decoder.flush([this](char32_t c) { m_chars.add(c); });
        const std::string_view text = kept(m_kept);
        add(checkEntry(m_chars, Rules{}), m_line, text, m_cut || text.size() < m_kept.size());
    }
    void missingColumn(long long line) override
    {
        ListRow row;
        row.line = line;
        row.status = ListStatus::MissingColumn;
        row.text = static_cast<std::uint32_t>(m_batch.text.size());
        push(row);
    }

    // Hands the batch over when it is due, or now with `force`.
    void flush(long long done, long long size, bool force)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!force && m_batch.rows.size() < BatchRows && now - m_since < BatchAge)
            return;
        m_since = now;
        m_callbacks.batch(std::move(m_batch), done, size);
        renew();
    }
    // The table's text is counted in 32 bits, and blocks leave a little unused: 3 GiB is safe.
    [[nodiscard]] bool full() const { return m_rows >= MaxListRows || m_textBytes > (std::size_t{3} << 30); }
    void setPosition(long long done, long long size)
    {
        m_done = done;
        m_size = size;
    }

private:
    void renew()
    {
        m_batch = ListBatch{};
        m_batch.rows.reserve(BatchRows);
        m_batch.text.reserve(BatchRows * 14);
    }
    std::uint16_t indexOf(std::string_view text)
    {
        if (text.empty())
            return 0;
        const auto found = m_textIndex.find(text.data());
        if (found != m_textIndex.end())
            return found->second;
        const auto index = static_cast<std::uint16_t>(m_textIndex.size() + 1);
        m_textIndex.emplace(text.data(), index);
        m_batch.newTexts.push_back(text);
        return index;
    }

    void add(const Checked &c, long long line, std::string_view text, bool cut)
    {
        if (full())
            return;
        ListRow row;
        row.line = line;
        row.status = listStatus(c.status);
        row.text = static_cast<std::uint32_t>(m_batch.text.size());
        row.textSize = static_cast<std::uint16_t>(text.size());
        row.cut = cut;
        if (c.accepted()) {
            row.expected = static_cast<std::int8_t>(*c.expectedCheckDigit);
            row.country = indexOf(c.country);   // the core's own texts: one address each
            row.issuer = indexOf(c.issuer);
        }
        m_batch.text += text;
        m_textBytes += text.size();
        push(row);
    }
    void push(const ListRow &row)
    {
        m_batch.rows.push_back(row);
        ++m_rows;
        if ((m_rows & 1023) == 0 || m_batch.rows.size() >= BatchRows)
            flush(m_done, m_size, false);
    }

    const ListReadCallbacks &m_callbacks;
    ListBatch m_batch;
    std::chrono::steady_clock::time_point m_since;
    std::map<const char *, std::uint16_t> m_textIndex;
    long long m_rows = 0;
    std::size_t m_textBytes = 0;
    long long m_done = 0;
    long long m_size = 0;
    // An entry that comes in pieces.
    long long m_line = 0;
    EntryChars m_chars;
    Utf8Decoder m_decoder;
    std::string m_kept;
    bool m_cut = false;
};

QString csvReadError(const std::string &error)
{
    // "line N: ..." from the CSV reader.
    const QString text = QString::fromStdString(error);
    const QString line = text.section(u':', 0, 0).section(u' ', 1, 1);
    if (text.contains(u"not closed"_s))
        return u"кавычка, открытая в строке %1, не закрыта до конца файла"_s.arg(line);
    return u"в строке %1 поле длиннее 64 МиБ"_s.arg(line);
}

bool isZipFile(std::string_view start)
{
    return start.substr(0, 4) == std::string_view("PK\x03\x04", 4);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

ListLayout judge(std::string_view start, bool csv, const ListReadOptions &options)
{
    ListLayout layout;
    layout.csv = csv;
    layout.delimiter = detectDelimiter(start, false, csv, csv ? ';' : '\t');
    const auto records = sampleRecords(start, layout.delimiter);
    const CodeColumn found = findCodeColumn(records);
    if (options.column >= 0) {
        layout.column = options.column;
        layout.header = options.header;
    } else {
        layout.column = found.columns > 1 ? found.column : 0;
        layout.header = found.header;
    }
    if (found.columns > 1 && !records.empty()) {
        for (int c = 0; c < found.columns; ++c) {
            const auto &first = records.front();
            layout.columnNames.push_back(static_cast<std::size_t>(c) < first.size()
                                             ? QString::fromUtf8(first[static_cast<std::size_t>(c)]) : QString());
        }
    }
    return layout;
}

template <class Reader>
QString readRest(Reader &reader, RowSink &sink, InputFile &file, Transcoder &text, std::string_view start, bool ended,
                 long long done, long long size, const std::atomic<bool> &cancel)
{
    std::vector<char> buffer(PieceSize);
    sink.setPosition(done, size);
    reader.feed(start);
    while (!ended && !reader.stopped() && !cancel.load() && !sink.full()) {
        const long long n = file.read(buffer.data(), buffer.size());
        if (n < 0) {
            const int error = errno;
            reader.finish();
            sink.flush(done, size, true);
            return u"не удалось прочитать файл до конца: %1"_s.arg(systemReason(error));
        }
        if (n == 0) {
            reader.feed(text.finish());
            break;
        }
        done += n;
        sink.setPosition(done, size);
        reader.feed(text.convert(std::string_view(buffer.data(), static_cast<std::size_t>(n))));
        sink.flush(done, size, false);   // the rows so far and the progress, also while one line goes on and on
    }
    if (!cancel.load())
        reader.finish();
    sink.flush(done, size, true);
    if (sink.full())
        return u"в файле больше записей, чем окно может показать: показаны первые %L1"_s.arg(MaxListRows);
    return {};
}

} // namespace

bool isListFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"csv"_s || suffix == u"txt"_s || suffix == u"tsv"_s;
}

QString listFileFilter()
{
    return u"Списки кодов (*.csv *.txt *.tsv);;Все файлы (*)"_s;
}

void readList(const ListReadOptions &options, const ListReadCallbacks &callbacks, const std::atomic<bool> &cancel)
{
    const QFileInfo info(options.path);
    if (!info.exists()) {
        callbacks.end(u"файл не найден"_s);
        return;
    }
    if (info.isDir()) {
        callbacks.end(u"это папка, а не файл"_s);
        return;
    }
    // A pipe or a device would keep the reading waiting for ever, or never end.
    if (!info.isFile()) {
        callbacks.end(u"это не обычный файл"_s);
        return;
    }
    int error = 0;
    std::optional<InputFile> file = InputFile::open(options.path.toStdString(), error);
    if (!file) {
        callbacks.end(u"не удалось открыть файл: %1"_s.arg(systemReason(error)));
        return;
    }
    const long long size = info.size();
    Transcoder text(Encoding::Auto);
    std::string start;
    long long done = 0;
    bool ended = false;
    std::vector<char> buffer(PieceSize);
    // One more piece of the file's start; false when it cannot be read.
    const auto readPiece = [&] {
        const long long n = file->read(buffer.data(), buffer.size());
        if (n < 0) {
            callbacks.end(u"не удалось прочитать файл: %1"_s.arg(systemReason(errno)));
            return false;
        }
        if (n == 0) {
            start.append(text.finish());
            ended = true;
            return true;
        }
        done += n;
        start.append(text.convert(std::string_view(buffer.data(), static_cast<std::size_t>(n))));
        return true;
    };
    while (!ended && start.find('\n') == std::string::npos && start.size() < StartSample)
        if (!readPiece())
            return;
    if (isZipFile(start)) {
        callbacks.end(u"это таблица XLSX или ODS либо другой архив ZIP, а не список: сохраните лист таблицы как CSV"_s);
        return;
    }
    // A few more lines, so that the column is judged on more than the first.
    while (!ended && start.size() < StartSample && std::count(start.begin(), start.end(), '\n') < 50)
        if (!readPiece())
            return;

    const QString suffix = info.suffix().toLower();
    const ListLayout layout = judge(start, suffix == u"csv"_s, options);
    callbacks.layout(layout);

    Columns columns;
    columns.column = layout.column;
    columns.delimiter = layout.delimiter;
    if (layout.header)
        columns.header = [column = layout.column](const std::vector<std::string_view> &names) {
            return names.empty() ? -1 : column;
        };
    RowSink sink(callbacks);
    QString problem;
    if (layout.csv) {
        CsvReader reader(sink, columns);
        problem = readRest(reader, sink, *file, text, start, ended, done, size, cancel);
        if (problem.isEmpty() && !reader.error().empty() && !cancel.load())
            problem = csvReadError(reader.error());
    } else {
        LineReader reader(sink, columns);
        problem = readRest(reader, sink, *file, text, start, ended, done, size, cancel);
    }
    callbacks.end(problem);
}
