// Any bytes as an entry, and as a stream of entries fed in pieces of any size: the analysis must
// hold its promises, and the reader must give one record per line whatever the pieces, with
// or without columns.
#include "ean13.h"
#include "input.h"
#include "record.h"
#include "records.h"
#include "upce.h"
#include "utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace ean13::cli;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);

    const ean13::Code code = codeFromUtf8(bytes);
    require(code.size() <= ean13::CodeLength);
    const ean13::Analysis a = ean13::analyse(code);
    int lines = 0;
    ean13::forEachLine(a, [&](std::string_view line) { lines += line.empty() ? 100 : 1; });
    require(lines == (a.accepted() ? 3 : 1));
    require(a.pictureOffered() == (a.accepted() && !a.entry.padded));
    if (a.accepted()) {
        require(a.entry.code.full() && a.entry.code.allDigits());
        require(ean13::encodeModules(a.entry.code).modules.size() == ean13::ModuleCount);
        require(!a.country.empty());
    }
    if (const auto quick = ean13::verdictOfThirteenDigits(bytes))
        require(a.accepted() && quick->status == a.status && quick->country == a.country);

    // The rules of the command line: as typed they are the window's; strict, they agree with it
    // on every entry of at most 13 characters.
    const Checked typed = checkEntry(bytes, Rules{true, false, false});
    require(typed.status == a.status);
    const Checked strict = checkEntry(bytes, Rules{});
    const Checked gtin = checkEntry(bytes, Rules{false, true, true});
    require(strict.cut ? strict.status == ean13::Status::BadLength : strict.status == a.status);
    if (gtin.accepted()) {
        require(gtin.kind.has_value() && !gtin.issuer.empty());
        require(gtin.expectedCheckDigit && *gtin.expectedCheckDigit >= 0 && *gtin.expectedCheckDigit <= 9);
    }
    // Read as UPC-E: whatever is accepted is a UPC-A number with a UPC-E form, and its JSON
    // record is one line.
    Rules upceRules;
    upceRules.upce = true;
    upceRules.clean = size % 2 == 1;
    const Checked upce = checkEntry(bytes, upceRules);
    if (upce.accepted()) {
        require(upce.codeSize == ean13::CodeLength && upce.code[0] == U'0');
        std::string digits;
        for (int i = 0; i < upce.codeSize; ++i)
            digits += static_cast<char>(upce.code[static_cast<std::size_t>(i)]);
        require(ean13::upcEOfGtin13(digits).has_value());
        require(upce.expectedCheckDigit && *upce.expectedCheckDigit >= 0 && *upce.expectedCheckDigit <= 9);
    }
    std::size_t upceLines = 0;
    Output upceOut([&upceLines](std::string_view piece) {
        for (char c : piece)
            upceLines += c == '\n';
        return true;
    });
    writeJsonRecord(upceOut, upce, bytes);
    upceOut.flush();
    require(upceLines == 1);   // a line break in the entry is escaped

    // The same bytes as a stream, in pieces whose sizes come from the data itself.
    std::size_t expected = 0;
    for (char c : bytes)
        expected += c == '\n';
    if (!bytes.empty() && bytes.back() != '\n')
        ++expected;
    for (auto format : {Format::Text, Format::Json}) {
        for (int column : {0, 2}) {
            std::size_t newlines = 0;
            Output out([&newlines](std::string_view piece) {
                for (char c : piece)
                    newlines += c == '\n';
                return true;
            });
            Records records(out, {format, Rules{false, column == 2, column == 2}, "2", column == 2});
            records.setSource("fuzz\n", true);   // named, so that JSON records carry it too
            LineReader reader(records, Columns{column, ',', {}});
            std::size_t at = 0;
            std::size_t step = size ? (data[0] % 7) + 1 : 1;
            while (at < size) {
                const std::size_t n = std::min(step, size - at);
                reader.feed(bytes.substr(at, n));
                at += n;
                step = step * 3 % 11 + 1;
            }
            reader.finish();
            out.flush();
            require(static_cast<std::size_t>(records.count()) == expected);
            require(newlines == expected);   // one line of output a record: nothing in a record breaks it
        }
    }
    return 0;
}
