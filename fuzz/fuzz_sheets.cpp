// Any bytes as a spreadsheet: either the file itself, or the XML parts of an XLSX or ODS workbook
// packed into a well-formed zip here, so that the fuzzer reaches the XML readers and not only the
// zip's checksums. The reader must neither crash nor hold more than its limits allow (libFuzzer's
// -rss_limit_mb catches a bomb that gets through), and every row it hands on must keep its promises.
#include "sheets.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

std::uint32_t crc32(std::string_view data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : data)
        c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(std::string &out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A zip file of stored (uncompressed) entries.
std::string zipOf(const std::vector<std::pair<std::string, std::string>> &entries)
{
    std::string zip, directory;
    for (const auto &[name, data] : entries) {
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const std::uint32_t crc = crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        put32(zip, 0x04034b50);
        put16(zip, 20), put16(zip, 0), put16(zip, 0), put16(zip, 0), put16(zip, 0);
        put32(zip, crc), put32(zip, size), put32(zip, size);
        put16(zip, static_cast<unsigned>(name.size())), put16(zip, 0);
        zip += name;
        zip += data;
        put32(directory, 0x02014b50);
        put16(directory, 20), put16(directory, 20), put16(directory, 0), put16(directory, 0), put16(directory, 0),
            put16(directory, 0);
        put32(directory, crc), put32(directory, size), put32(directory, size);
        put16(directory, static_cast<unsigned>(name.size())), put16(directory, 0), put16(directory, 0);
        put16(directory, 0), put16(directory, 0), put32(directory, 0), put32(directory, offset);
        directory += name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0), put16(zip, 0);
    put16(zip, static_cast<unsigned>(entries.size())), put16(zip, static_cast<unsigned>(entries.size()));
    put32(zip, static_cast<std::uint32_t>(directory.size())), put32(zip, directoryOffset);
    put16(zip, 0);
    return zip;
}

constexpr std::string_view Rels =
    "<Relationships><Relationship Id=\"rId1\" Type=\"x/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
constexpr std::string_view Workbook =
    "<workbook xmlns:r=\"r\"><sheets><sheet name=\"A\" r:id=\"rId1\"/><sheet name=\"B\" r:id=\"rId2\"/></sheets></workbook>";
constexpr std::string_view WorkbookRels =
    "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"x/worksheet\" Target=\"/xl/worksheets/sheet2.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"x/sharedStrings\" Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId4\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>";

// The parts of the input, between bytes 0xFF (which UTF-8 never has).
std::vector<std::string> partsOf(std::string_view bytes)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = bytes.find('\xFF', begin);
        parts.emplace_back(bytes.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        if (end == std::string_view::npos)
            return parts;
        begin = end + 1;
    }
}

std::string fileOf(std::uint8_t mode, std::string_view rest)
{
    if (mode % 3 == 0)
        return std::string(rest);
    std::vector<std::string> parts = partsOf(rest);
    parts.resize(5);
    if (mode % 3 == 1) {
        return zipOf({{"[Content_Types].xml", "<Types/>"},
                      {"_rels/.rels", std::string(Rels)},
                      {"xl/workbook.xml", parts[4].empty() ? std::string(Workbook) : parts[4]},
                      {"xl/_rels/workbook.xml.rels", std::string(WorkbookRels)},
                      {"xl/sharedStrings.xml", parts[1]},
                      {"xl/styles.xml", parts[2]},
                      {"xl/worksheets/sheet1.xml", parts[0]},
                      {"xl/worksheets/sheet2.xml", parts[3]}});
    }
    return zipOf({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", parts[0]}});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string file = fileOf(data[0], std::string_view(reinterpret_cast<const char *>(data + 1), size - 1));
    char path[] = "/tmp/fuzz_sheetsXXXXXX";
    const int fd = mkstemp(path);
    require(fd >= 0);
    require(write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size()));
    close(fd);

    const ean13::sheets::Limits limits;
    ean13::sheets::Error error;
    const auto workbook = ean13::sheets::Workbook::open(path, error, limits);
    if (workbook) {
        std::vector<std::string> names;
        const ean13::sheets::Error namesError = workbook->sheetNames(names);
        std::vector<std::string> sheets{""};
        if (!namesError)
            sheets.insert(sheets.end(), names.begin(), names.end());
        for (const std::string &sheet : sheets) {
            long long rows = 0;
            error = workbook->readSheet(sheet, [&](long long row, const std::vector<ean13::sheets::Cell> &cells) {
                require(row >= 1 && row <= limits.rows);
                require(!cells.empty() && cells.size() <= static_cast<std::size_t>(limits.columns));
                require(cells.back().kind != ean13::sheets::CellKind::Empty);
                for (const auto &cell : {cells.front(), cells.back()}) {
                    require(cell.text.size() <= limits.cellBytes);
                    require((cell.kind == ean13::sheets::CellKind::Empty) == cell.text.empty());
                }
                return ++rows < 2000000;
            });
            require(error.kind != ean13::sheets::ErrorKind::NoSuchSheet || !sheet.empty());
        }
    } else {
        require(error.kind != ean13::sheets::ErrorKind::None && !error.message.empty());
    }
    unlink(path);
    return 0;
}
