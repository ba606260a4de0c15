// Any bytes as a file of columns, tab-separated or CSV, with or without a header: the readers must
// neither crash nor lose a record, and must find the same records however the bytes are cut
// into pieces (the whole-line paths and the byte-by-byte and libcsv paths must agree).
#include "input.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

// Writes down every record it is given, streamed or whole alike.
class Log final : public ean13::lists::EntrySink
{
public:
    std::string text;
    void entry(std::string_view bytes, long long line) override
    {
        beginEntry(line);
        entryBytes(bytes);
        endEntry();
    }
    void beginEntry(long long line) override { text += "[" + std::to_string(line) + ":"; }
    void entryBytes(std::string_view bytes) override { text += bytes; }
    void endEntry() override { text += "]"; }
    void missingColumn(long long line) override { text += "{" + std::to_string(line) + "}"; }
};

template <class Reader>
std::string read(std::string_view bytes, const ean13::lists::Columns &columns, std::size_t step, std::string *error)
{
    Log log;
    Reader reader(log, columns);
    for (std::size_t at = 0; at < bytes.size() && !reader.stopped();) {
        reader.feed(bytes.substr(at, step));
        at += step;
        step = step * 5 % 13 + 1;
    }
    reader.finish();
    if constexpr (std::is_same_v<Reader, ean13::lists::CsvReader>)
        *error = reader.error();
    return log.text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses the column and the header, the second the delimiter.
    ean13::lists::Columns columns;
    columns.column = data[0] % 4;
    columns.delimiter = static_cast<char>(data[1] % 2 ? ',' : '\t');
    if (data[0] & 0x80)
        columns.header = [](const std::vector<std::string_view> &names) { return static_cast<int>(names.size() % 3); };
    const std::string_view bytes(reinterpret_cast<const char *>(data) + 2, size - 2);

    std::string whole;
    std::string pieces;
    const std::string lines = read<ean13::lists::LineReader>(bytes, columns, bytes.size() + 1, &whole);
    require(lines == read<ean13::lists::LineReader>(bytes, columns, 1, &pieces));
    require(lines == read<ean13::lists::LineReader>(bytes, columns, 7, &pieces));

    const std::string csv = read<ean13::lists::CsvReader>(bytes, columns, bytes.size() + 1, &whole);
    require(csv == read<ean13::lists::CsvReader>(bytes, columns, 1, &pieces) && whole == pieces);
    require(csv == read<ean13::lists::CsvReader>(bytes, columns, 7, &pieces) && whole == pieces);

    // Without a quote, CSV is the same as plain columns (where a column is asked for: without one,
    // CSV takes the first field and plain columns the whole line).
    if (bytes.find('"') == std::string_view::npos && bytes.find('\r') == std::string_view::npos && columns.column > 0
        && !columns.header)
        require(csv == lines);
    return 0;
}
