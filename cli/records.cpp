#include "records.h"

namespace ean13::cli {

Records::Records(Output &out, RecordOptions options)
    : m_out(out), m_options(std::move(options)), m_chars(m_options.rules.clean)
{
}

void Records::entry(std::string_view bytes, long long line)
{
    const Origin origin = originOf(line);
    if (m_options.format == Format::Text && !m_options.rules.upce) {
        // The bulk case, straight from the bytes: a third less CPU time than building a Checked
        // for each line (0.030 s against 0.045 s for 1,000,000 lines).
        if (const auto v = verdictOfThirteenDigits(bytes)) {
            counted(v->status == Status::Ok);
            writeTextRecord(m_out, bytes, *v, originOrNull(origin));
            return;
        }
    }
    std::optional<Checked> c;
    if (!m_options.rules.upce)
        c = checkThirteenDigits(bytes);   // the bulk case
    if (c && m_options.rules.gtin)
        c->kind = Kind::Gtin13;
    if (!c)
        c = checkEntry(bytes, m_options.rules);
    counted(c->status == Status::Ok);
    if (m_options.format == Format::Text)
        writeTextRecord(m_out, *c, originOrNull(origin));
    else
        writeJsonRecord(m_out, *c, bytes, originOrNull(origin));
}

void Records::entry(std::string_view bytes, long long line, std::string_view note)
{
    const Checked c = checkEntry(bytes, m_options.rules);
    counted(c.status == Status::Ok);
    const Origin origin = originOf(line);
    if (m_options.format == Format::Text)
        writeTextRecord(m_out, c, originOrNull(origin), note);
    else
        writeJsonRecord(m_out, c, bytes, originOrNull(origin), note);
}

void Records::beginEntry(long long line)
{
    m_line = line;
    m_chars = EntryChars(m_options.rules.clean);
    m_decoder = Utf8Decoder{};
    const Origin origin = originOf(line);
    if (m_options.format == Format::Json)
        beginJsonRecord(m_out, originOrNull(origin));
}

void Records::add(char32_t c)
{
    m_chars.add(c);
    if (m_options.format == Format::Json)
        appendJsonChar(m_out, c);   // the entry as it streams past: a huge one is never held whole
}

void Records::entryBytes(std::string_view bytes)
{
    for (char b : bytes)
        m_decoder.feed(static_cast<unsigned char>(b), [this](char32_t c) { add(c); });
    m_out.flushIfFull();
}

void Records::endEntry()
{
    m_decoder.flush([this](char32_t c) { add(c); });
    const Checked c = checkEntry(m_chars, m_options.rules);
    counted(c.status == Status::Ok);
    const Origin origin = originOf(m_line);
    if (m_options.format == Format::Text)
        writeTextRecord(m_out, c, originOrNull(origin));
    else
        endJsonRecord(m_out, c);
}

void Records::missingColumn(long long line)
{
    counted(false);
    const Origin origin = originOf(line);
    writeMissingColumn(m_out, m_options.format, m_options.column, originOrNull(origin));
}

} // namespace ean13::cli
