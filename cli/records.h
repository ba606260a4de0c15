// Turns the entries that a reader finds into records: the one place where records are written
// and counted.
#pragma once

#include "input.h"
#include "record.h"
#include "utf8.h"

#include <string>
#include <string_view>

namespace ean13::cli {

using namespace ean13::lists;

struct RecordOptions
{
    Format format = Format::Text;
    Rules rules;
    std::string column;        // as asked for, for the records of lines that lack it
    bool showOrigin = false;   // source and line in every text record (JSON records always have the line)
};

class Records final : public EntrySink
{
public:
    Records(Output &out, RecordOptions options);

    // Kept, not copied. A JSON record names its source where `named` says so (a named input, or
    // one among several); a text record wherever RecordOptions::showOrigin says so.
    void setSource(std::string_view source, bool named)
    {
        m_source = source;
        m_named = named;
    }
    [[nodiscard]] bool allCorrect() const noexcept { return m_allCorrect; }
    [[nodiscard]] long long count() const noexcept { return m_records; }

    void entry(std::string_view bytes, long long line) override;
    // An entry whose record carries a note (in its last field, or as "note").
    void entry(std::string_view bytes, long long line, std::string_view note);
    [[nodiscard]] bool outputFailed() const noexcept { return m_out.failed(); }
    void beginEntry(long long line) override;
    void entryBytes(std::string_view bytes) override;
    void endEntry() override;
    void missingColumn(long long line) override;

private:
    void counted(bool correct) noexcept
    {
        ++m_records;
        m_allCorrect = m_allCorrect && correct;
    }
    void add(char32_t c);
    [[nodiscard]] Origin originOf(long long line) const
    {
        return {m_options.format == Format::Json && !m_named ? std::string_view() : m_source, line};
    }
    [[nodiscard]] const Origin *originOrNull(const Origin &origin) const
    {
        return m_options.format == Format::Json || m_options.showOrigin ? &origin : nullptr;
    }

    Output &m_out;
    RecordOptions m_options;
    std::string_view m_source;
    bool m_named = false;
    long long m_line = 0;
    EntryChars m_chars;
    Utf8Decoder m_decoder;
    long long m_records = 0;
    bool m_allCorrect = true;
};

} // namespace ean13::cli
