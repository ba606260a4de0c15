#include "sheets.h"

#include "cells.h"
#include "zippart.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <map>

namespace ean13::sheets {

namespace {

constexpr std::string_view OdsNamespaceOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view OdsNamespaceTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view OdsNamespaceText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

long long toNumber(const char *text, long long fallback)
{
    if (!text)
        return fallback;
    long long n = 0;
    const char *end = text + std::strlen(text);
    const auto [p, ec] = std::from_chars(text, end, n);
    return ec == std::errc() && p == end ? n : fallback;
}

// One row as it is read: cells from column A on, the emptied ones kept for the next row's strings.
class RowBuilder
{
public:
    RowBuilder(const Limits &limits, const RowHandler &onRow) : m_limits(limits), m_onRow(onRow) {}

    // Column from 0. Gives an error past the row's limits.
    Error set(long long column, CellKind kind, std::string_view text)
    {
        if (kind == CellKind::Empty || text.empty())
            return {};
        if (column >= m_limits.columns)
            return {ErrorKind::TooLarge, "a row has a cell past column " + std::to_string(m_limits.columns)
                                             + ", more columns than a sheet has", {}};
        m_bytes += text.size() + 1;
        if (text.size() > m_limits.cellBytes || m_bytes > m_limits.rowBytes)
            return {ErrorKind::TooLarge, "a row holds more text than can be read safely", {}};
        const auto c = static_cast<std::size_t>(column);
        if (c >= m_cells.size())
            m_cells.resize(c + 1);
        for (std::size_t i = m_used; i < c; ++i)
            m_cells[i].kind = CellKind::Empty;
        m_used = std::max(m_used, c + 1);
        m_cells[c].kind = kind;
        m_cells[c].text.assign(text);
        return {};
    }

    [[nodiscard]] bool empty() const noexcept { return m_used == 0; }

    // Hands the row on, `times` times from `row` on; false when the handler said to stop.
    bool emit(long long row, long long times, Error &error)
    {
        if (m_used == 0)
            return true;
        if (m_cells.size() != m_used) {
            m_spare.assign(std::make_move_iterator(m_cells.begin() + static_cast<long>(m_used)),
                           std::make_move_iterator(m_cells.end()));
            m_cells.resize(m_used);
        }
        bool more = true;
        for (long long i = 0; i < times && more; ++i) {
            if (row + i > m_limits.rows) {
                error = {ErrorKind::TooLarge, "the sheet has rows past row " + std::to_string(m_limits.rows)
                                                  + ", more than a sheet has", {}};
                return false;
            }
            m_total += m_bytes + m_used;
            if (m_total > m_limits.sheetTextBytes) {
                error = {ErrorKind::TooLarge, "the sheet holds more text than can be read safely", {}};
                return false;
            }
            more = m_onRow(row + i, m_cells);
        }
        clear();
        return more;
    }

    void clear()
    {
        for (std::size_t i = 0; i < m_used; ++i) {
            m_cells[i].kind = CellKind::Empty;
            m_cells[i].text.clear();
        }
        if (!m_spare.empty()) {
            for (Cell &cell : m_spare)
                cell.text.clear();
            m_cells.insert(m_cells.end(), std::make_move_iterator(m_spare.begin()), std::make_move_iterator(m_spare.end()));
            m_spare.clear();
        }
        m_used = 0;
        m_bytes = 0;
    }

private:
    const Limits &m_limits;
    const RowHandler &m_onRow;
    std::vector<Cell> m_cells;
    std::vector<Cell> m_spare;
    std::size_t m_used = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_total = 0;
};

// A part's path in the package from a relationship's target, relative to the folder `base`.
std::string resolvePart(const std::string &base, std::string_view target)
{
    std::string joined = !target.empty() && target.front() == '/' ? std::string(target.substr(1)) : base + std::string(target);
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (begin <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', begin), joined.size());
        const std::string part = joined.substr(begin, slash - begin);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        begin = slash + 1;
    }
    std::string path;
    for (const std::string &part : parts)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

std::string folderOf(const std::string &part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string relsOf(const std::string &part)
{
    const std::size_t slash = part.rfind('/');
    const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
    return folderOf(part) + "_rels/" + name + ".rels";
}

struct Relationship
{
    std::string id, type, target;
};

class RelsHandler final : public XmlHandler
{
public:
    std::vector<Relationship> relationships;

    void start(XmlName name, const char **a) override
    {
        if (name.local != "Relationship" || relationships.size() >= 100000)
            return;
        const char *id = attribute(a, "Id"), *type = attribute(a, "Type"), *target = attribute(a, "Target");
        const char *mode = attribute(a, "TargetMode");
        if (id && type && target && !(mode && std::string_view(mode) == "External"))
            relationships.push_back({id, type, target});
    }
    void end(XmlName) override {}
    void text(std::string_view) override {}

    [[nodiscard]] const Relationship *ofType(std::string_view suffix) const
    {
        for (const Relationship &r : relationships) {
            if (r.type.size() >= suffix.size() && r.type.compare(r.type.size() - suffix.size(), suffix.size(), suffix) == 0)
                return &r;
        }
        return nullptr;
    }
};

struct SheetEntry
{
    std::string name;
    std::string relationship;
};

class WorkbookHandler final : public XmlHandler
{
public:
    std::vector<SheetEntry> sheets;
    bool date1904 = false;

    void start(XmlName name, const char **a) override
    {
        if (name.local == "sheet" && sheets.size() < 100000) {
            const char *sheetName = attribute(a, "name");
            const char *id = nullptr;
            for (const char **p = a; *p; p += 2) {   // r:id, in whichever namespace of relationships
                const XmlName n = splitName(p[0]);
                if (n.local == "id" && !n.ns.empty())
                    id = p[1];
            }
            if (sheetName && id)
                sheets.push_back({sheetName, id});
        } else if (name.local == "workbookPr") {
            const char *d = attribute(a, "date1904");
            date1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
        }
    }
    void end(XmlName) override {}
    void text(std::string_view) override {}
};

class StylesHandler final : public XmlHandler
{
public:
    std::vector<bool> dateStyles;

    void start(XmlName name, const char **a) override
    {
        if (name.local == "numFmt" && m_formats.size() < 100000) {
            const char *code = attribute(a, "formatCode");
            m_formats[toNumber(attribute(a, "numFmtId"), -1)] = code ? code : "";
        } else if (name.local == "cellXfs") {
            m_inCellXfs = true;
        } else if (name.local == "xf" && m_inCellXfs && dateStyles.size() < 1000000) {
            const long long id = toNumber(attribute(a, "numFmtId"), 0);
            const auto found = m_formats.find(id);
            dateStyles.push_back(isDateFormat(static_cast<int>(std::clamp<long long>(id, -1, 1 << 20)),
                                              found == m_formats.end() ? std::string_view() : found->second));
        }
    }
    void end(XmlName name) override
    {
        if (name.local == "cellXfs")
            m_inCellXfs = false;
    }
    void text(std::string_view) override {}

private:
    std::map<long long, std::string> m_formats;
    bool m_inCellXfs = false;
};

// XLSX's string table, whole: all strings in one buffer.
struct StringTable
{
    std::string bytes;
    std::vector<std::uint64_t> ends;

    [[nodiscard]] std::string_view at(std::size_t i) const
    {
        const std::uint64_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(bytes).substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(ends[i] - begin));
    }
};

class SharedStringsHandler final : public XmlHandler
{
public:
    SharedStringsHandler(StringTable &table, const Limits &limits) : m_table(table), m_limits(limits) {}

    void start(XmlName name, const char **) override
    {
        if (name.local == "si") {
            m_inItem = true;
        } else if (name.local == "rPh") {
            ++m_phonetic;   // the reading of East Asian text, not shown in the cell
        } else if (name.local == "t" && m_inItem && m_phonetic == 0) {
            m_inText = true;
        }
    }
    void end(XmlName name) override
    {
        if (name.local == "t") {
            m_inText = false;
        } else if (name.local == "rPh") {
            --m_phonetic;
        } else if (name.local == "si" && m_inItem) {
            m_inItem = false;
            if (m_table.ends.size() >= m_limits.stringTableCount) {
                error = {ErrorKind::TooLarge, "its string table holds more than " + std::to_string(m_limits.stringTableCount)
                                                  + " strings, too many to be read safely", {}};
                return;
            }
            m_table.ends.push_back(m_table.bytes.size());
        }
    }
    void text(std::string_view text) override
    {
        if (!m_inText)
            return;
        if (m_table.bytes.size() + text.size() > m_limits.stringTableBytes) {
            error = {ErrorKind::TooLarge, "its string table holds more text than can be read safely", {}};
            return;
        }
        m_table.bytes.append(text);
    }

private:
    StringTable &m_table;
    const Limits &m_limits;
    bool m_inItem = false;
    bool m_inText = false;
    int m_phonetic = 0;
};

class XlsxSheetHandler final : public XmlHandler
{
public:
    XlsxSheetHandler(const StringTable &strings, const std::vector<bool> &dateStyles, bool date1904, const Limits &limits,
                     const RowHandler &onRow)
        : m_strings(strings), m_dateStyles(dateStyles), m_date1904(date1904), m_limits(limits), m_row(limits, onRow)
    {
    }

    void start(XmlName name, const char **a) override
    {
        if (done || error)
            return;
        if (name.local == "row") {
            m_row.clear();
            const long long r = toNumber(attribute(a, "r"), 0);
            m_rowNumber = r >= 1 ? r : m_rowNumber + 1;   // rows count from 1: no number, or a wrong one, is the next
            m_column = -1;
        } else if (name.local == "c") {
            m_type.assign(attribute(a, "t") ? attribute(a, "t") : "n");
            m_style = toNumber(attribute(a, "s"), 0);
            const char *ref = attribute(a, "r");
            m_column = ref ? columnOfReference(ref) : m_column + 1;
            m_value.clear();
            m_inline.clear();
        } else if (name.local == "v") {
            m_in = In::Value;
        } else if (name.local == "rPh") {
            ++m_phonetic;
        } else if (name.local == "t" && m_phonetic == 0) {
            m_in = In::Inline;
        }
    }

    void end(XmlName name) override
    {
        if (done || error)
            return;
        if (name.local == "v" || name.local == "t") {
            m_in = In::Nothing;
        } else if (name.local == "rPh") {
            --m_phonetic;
        } else if (name.local == "c") {
            cell();
        } else if (name.local == "row") {
            if (!m_row.emit(m_rowNumber, 1, error) && !error)
                done = true;
        }
    }

    void text(std::string_view text) override
    {
        if (m_in == In::Nothing || done || error)
            return;
        std::string &into = m_in == In::Value ? m_value : m_inline;
        if (into.size() + text.size() > m_limits.cellBytes) {
            error = {ErrorKind::TooLarge, "a cell holds more text than can be read safely", {}};
            return;
        }
        into.append(text);
    }

private:
    enum class In { Nothing, Value, Inline };

    static long long columnOfReference(std::string_view ref)
    {
        std::size_t letters = 0;
        while (letters < ref.size() && ((ref[letters] >= 'A' && ref[letters] <= 'Z') || (ref[letters] >= 'a' && ref[letters] <= 'z')))
            ++letters;
        const int column = columnFromLetters(ref.substr(0, letters));
        return column == 0 ? std::numeric_limits<int>::max() : column - 1;
    }

    void cell()
    {
        if (m_column < 0)
            m_column = 0;
        CellKind kind = CellKind::Text;
        std::string text;
        if (m_type == "s") {
            if (m_value.empty())
                return;
            const long long i = toNumber(m_value.c_str(), -1);
            if (i < 0 || static_cast<std::uint64_t>(i) >= m_strings.ends.size()) {
                error = {ErrorKind::Damaged, "a cell refers to string " + m_value + " of a table of "
                                                 + std::to_string(m_strings.ends.size()), {}};
                return;
            }
            error = m_row.set(m_column, CellKind::Text, m_strings.at(static_cast<std::size_t>(i)));
            return;
        }
        if (m_type == "inlineStr") {
            text = std::move(m_inline);
        } else if (m_type == "str") {
            text = std::move(m_value);
        } else if (m_type == "b") {
            kind = CellKind::Boolean;
            text = m_value.empty() ? "" : m_value == "0" ? "FALSE" : "TRUE";
        } else if (m_type == "e") {
            kind = CellKind::Error;
            text = std::move(m_value);
        } else if (m_type == "d") {
            kind = CellKind::Date;
            text = isoDateTime(m_value);
        } else if (m_value.empty()) {
            return;
        } else if (m_style >= 0 && static_cast<std::size_t>(m_style) < m_dateStyles.size() && m_dateStyles[static_cast<std::size_t>(m_style)]) {
            kind = CellKind::Date;
            text = dateFromSerial(m_value, m_date1904);
        } else {
            kind = CellKind::Number;
            text = numberText(m_value);
            if (text.empty()) {
                kind = CellKind::Text;   // not a number after all: shown as it stands
                text = std::move(m_value);
            }
        }
        error = m_row.set(m_column, kind, text);
    }

    const StringTable &m_strings;
    const std::vector<bool> &m_dateStyles;
    bool m_date1904;
    const Limits &m_limits;
    RowBuilder m_row;
    long long m_rowNumber = 0;
    long long m_column = -1;
    std::string m_type;
    long long m_style = 0;
    std::string m_value;
    std::string m_inline;
    In m_in = In::Nothing;
    int m_phonetic = 0;
};

// content.xml of an ODS file: every sheet's name, and the rows of the one asked for.
class OdsContentHandler final : public XmlHandler
{
public:
    OdsContentHandler(std::string_view wanted, bool first, const Limits &limits, const RowHandler *onRow)
        : m_wanted(wanted), m_first(first), m_limits(limits), m_onRow(onRow), m_row(limits, onRow ? *onRow : m_noRows)
    {
    }

    std::vector<std::string> names;
    bool found = false;

    void start(XmlName name, const char **a) override
    {
        if (done || error)
            return;
        if (m_annotation > 0) {
            ++m_annotation;
            return;
        }
        if (name.ns == OdsNamespaceTable && name.local == "table") {
            ++m_tableDepth;
            if (m_tableDepth == 1) {
                const char *n = attribute(a, OdsNamespaceTable, "name");
                if (names.size() < 100000)
                    names.emplace_back(n ? n : "");
                m_reading = m_onRow && ((m_first && names.size() == 1) || (!m_first && names.back() == m_wanted));
                found = found || m_reading;
                m_rowNumber = 0;
            }
            return;
        }
        if (!m_reading || m_tableDepth != 1)
            return;
        if (name.ns == OdsNamespaceOffice && name.local == "annotation") {
            m_annotation = 1;   // a comment on the cell, not its value
        } else if (name.ns == OdsNamespaceTable && name.local == "table-row") {
            m_rowRepeat = std::max<long long>(1, toNumber(attribute(a, OdsNamespaceTable, "number-rows-repeated"), 1));
            m_row.clear();
            m_column = 0;
        } else if (name.ns == OdsNamespaceTable && (name.local == "table-cell" || name.local == "covered-table-cell")) {
            m_cellRepeat = std::max<long long>(1, toNumber(attribute(a, OdsNamespaceTable, "number-columns-repeated"), 1));
            const char *type = attribute(a, OdsNamespaceOffice, "value-type");
            m_type = type ? type : "";
            const char *value = attribute(a, OdsNamespaceOffice, m_type == "date" ? "date-value" : m_type == "boolean" ? "boolean-value" : "value");
            m_value = value ? value : "";
            m_text.clear();
            m_paragraphs = 0;
            m_inCell = true;
        } else if (m_inCell && name.ns == OdsNamespaceText) {
            if (name.local == "p" || name.local == "h") {
                if (m_paragraphs++ > 0)
                    add("\n");
                ++m_inParagraph;
            } else if (name.local == "s") {
                const long long n = std::clamp<long long>(toNumber(attribute(a, OdsNamespaceText, "c"), 1), 1, 1 << 16);
                add(std::string(static_cast<std::size_t>(n), ' '));
            } else if (name.local == "tab") {
                add("\t");
            } else if (name.local == "line-break") {
                add("\n");
            }
        }
    }

    void end(XmlName name) override
    {
        if (done || error)
            return;
        if (m_annotation > 0) {
            --m_annotation;
            return;
        }
        if (name.ns == OdsNamespaceTable && name.local == "table") {
            if (--m_tableDepth == 0 && m_reading) {
                m_reading = false;
                done = true;
            }
            return;
        }
        if (!m_reading || m_tableDepth != 1)
            return;
        if (name.ns == OdsNamespaceTable && (name.local == "table-cell" || name.local == "covered-table-cell")) {
            cell();
            m_inCell = false;
        } else if (name.ns == OdsNamespaceTable && name.local == "table-row") {
            if (m_row.empty()) {
                m_rowNumber = std::min(m_rowNumber + m_rowRepeat, (1LL << 40));
                return;
            }
            if (!m_row.emit(m_rowNumber + 1, m_rowRepeat, error) && !error)
                done = true;
            m_rowNumber = std::min(m_rowNumber + m_rowRepeat, (1LL << 40));
        } else if (name.ns == OdsNamespaceText && (name.local == "p" || name.local == "h")) {
            --m_inParagraph;
        }
    }

    void text(std::string_view text) override
    {
        if (!done && !error && m_reading && m_inCell && m_inParagraph > 0 && m_annotation == 0)
            add(text);
    }

private:
    void add(std::string_view text)
    {
        if (m_text.size() + text.size() > m_limits.cellBytes) {
            error = {ErrorKind::TooLarge, "a cell holds more text than can be read safely", {}};
            return;
        }
        m_text.append(text);
    }

    void cell()
    {
        CellKind kind = CellKind::Text;
        std::string shown;
        if (m_type == "float") {
            kind = CellKind::Number;
            shown = numberText(m_value);
            if (shown.empty())
                shown = m_text;
        } else if (m_type == "percentage" || m_type == "currency") {
            kind = CellKind::Number;
            shown = m_text.empty() ? numberText(m_value) : m_text;
        } else if (m_type == "date") {
            kind = CellKind::Date;
            shown = m_value.empty() ? m_text : isoDateTime(m_value);
        } else if (m_type == "boolean") {
            kind = CellKind::Boolean;
            shown = m_value == "true" ? "TRUE" : m_value == "false" ? "FALSE" : m_text;
        } else {
            shown = m_text;
        }
        if (!shown.empty()) {
            if (m_column + m_cellRepeat > m_limits.columns) {
                error = {ErrorKind::TooLarge, "a row has a cell past column " + std::to_string(m_limits.columns)
                                                  + ", more columns than a sheet has", {}};
                return;
            }
            for (long long i = 0; i < m_cellRepeat && !error; ++i)
                error = m_row.set(m_column + i, kind, shown);
        }
        m_column = std::min(m_column + m_cellRepeat, (1LL << 40));
    }

    std::string m_wanted;
    bool m_first;
    const Limits &m_limits;
    const RowHandler *m_onRow;
    RowHandler m_noRows = [](long long, const std::vector<Cell> &) { return false; };
    RowBuilder m_row;
    int m_tableDepth = 0;
    bool m_reading = false;
    int m_annotation = 0;
    long long m_rowNumber = 0;   // rows of the sheet before this one
    long long m_rowRepeat = 1;
    long long m_column = 0;
    long long m_cellRepeat = 1;
    bool m_inCell = false;
    int m_inParagraph = 0;
    int m_paragraphs = 0;
    std::string m_type;
    std::string m_value;
    std::string m_text;
};

} // namespace

struct Workbook::Impl
{
    std::unique_ptr<ZipFile> zip;
    Limits limits;
    WorkbookFormat format = WorkbookFormat::Xlsx;
    // XLSX
    std::vector<std::string> names;
    std::vector<std::string> sheetParts;
    std::string sharedStringsPart;
    std::string stylesPart;
    bool date1904 = false;
    bool tablesRead = false;
    StringTable strings;
    std::vector<bool> dateStyles;
    // ODS
    bool namesKnown = false;

    Error openXlsx();
    Error readTables();
    Error readXlsx(std::string_view sheet, const RowHandler &onRow, const std::atomic<bool> *stop);
    Error readOds(std::string_view sheet, const RowHandler *onRow, const std::atomic<bool> *stop);
};

namespace {

Error noSuchSheet(std::string_view sheet, const std::vector<std::string> &names)
{
    std::string list;
    for (const std::string &name : names)
        list += (list.empty() ? "'" : ", '") + name + "'";
    return {ErrorKind::NoSuchSheet, "it has no sheet named '" + std::string(sheet) + "'; its sheets are " + list, names};
}

} // namespace

Error Workbook::Impl::openXlsx()
{
    std::string workbookPart = "xl/workbook.xml";
    if (zip->has("_rels/.rels")) {
        RelsHandler rels;
        if (Error e = zip->parse("_rels/.rels", limits.partBytes, rels, nullptr))
            return e;
        if (const Relationship *r = rels.ofType("/officeDocument"))
            workbookPart = resolvePart("", r->target);
    }
    WorkbookHandler workbook;
    if (Error e = zip->parse(workbookPart, limits.partBytes, workbook, nullptr))
        return e;
    date1904 = workbook.date1904;
    RelsHandler rels;
    if (Error e = zip->parse(relsOf(workbookPart), limits.partBytes, rels, nullptr))
        return e;
    const std::string base = folderOf(workbookPart);
    for (const SheetEntry &sheet : workbook.sheets) {
        const auto r = std::find_if(rels.relationships.begin(), rels.relationships.end(),
                                    [&](const Relationship &x) { return x.id == sheet.relationship; });
        // A chart sheet or a dialog sheet has no cells: only worksheets are listed.
        if (r == rels.relationships.end() || r->type.size() < 10 || r->type.compare(r->type.size() - 10, 10, "/worksheet") != 0)
            continue;
        names.push_back(sheet.name);
        sheetParts.push_back(resolvePart(base, r->target));
    }
    if (const Relationship *r = rels.ofType("/sharedStrings"))
        sharedStringsPart = resolvePart(base, r->target);
    if (const Relationship *r = rels.ofType("/styles"))
        stylesPart = resolvePart(base, r->target);
    if (names.empty())
        return {ErrorKind::Damaged, "its workbook lists no worksheet", {}};
    return {};
}

Error Workbook::Impl::readTables()
{
    if (tablesRead)
        return {};
    if (!stylesPart.empty() && zip->has(stylesPart)) {
        StylesHandler styles;
        if (Error e = zip->parse(stylesPart, limits.partBytes, styles, nullptr))
            return e;
        dateStyles = std::move(styles.dateStyles);
    }
    if (!sharedStringsPart.empty()) {
        // Room for what the part can hold, as its size in the directory says (within the limits),
        // so that the table is not copied as it grows: a copy would need its size twice over.
        const std::uint64_t declared = zip->declaredSize(sharedStringsPart);
        strings.bytes.reserve(static_cast<std::size_t>(std::min(declared, limits.stringTableBytes)));
        strings.ends.reserve(static_cast<std::size_t>(std::min(declared / 12, limits.stringTableCount)));   // <si><t/></si>
        SharedStringsHandler handler(strings, limits);
        if (Error e = zip->parse(sharedStringsPart, limits.sharedStringsBytes, handler, nullptr)) {
            strings = {};
            return e;
        }
    }
    tablesRead = true;
    return {};
}

Error Workbook::Impl::readXlsx(std::string_view sheet, const RowHandler &onRow, const std::atomic<bool> *stop)
{
    std::size_t index = 0;
    if (!sheet.empty()) {
        const auto found = std::find(names.begin(), names.end(), sheet);
        if (found == names.end())
            return noSuchSheet(sheet, names);
        index = static_cast<std::size_t>(found - names.begin());
    }
    if (Error e = readTables())
        return e;
    XlsxSheetHandler handler(strings, dateStyles, date1904, limits, onRow);
    return zip->parse(sheetParts[index], limits.sheetBytes, handler, stop);
}

Error Workbook::Impl::readOds(std::string_view sheet, const RowHandler *onRow, const std::atomic<bool> *stop)
{
    OdsContentHandler handler(sheet, sheet.empty(), limits, onRow);
    if (Error e = zip->parse("content.xml", limits.sheetBytes, handler, stop))
        return e;
    if (!handler.done) {   // read through: every name is known
        names = handler.names;
        namesKnown = true;
    }
    if (onRow && !handler.found) {
        if (names.empty() && namesKnown)
            return {ErrorKind::Damaged, "it holds no sheet", {}};
        return noSuchSheet(sheet, names);
    }
    return {};
}

Workbook::Workbook(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Workbook::~Workbook() = default;

std::unique_ptr<Workbook> Workbook::open(const std::string &path, Error &error, Limits limits)
{
    error = {};
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char start[4] = {};
        const std::size_t n = std::fread(start, 1, sizeof start, f);
        std::fclose(f);
        if (!looksLikeZip(std::string_view(start, n))) {
            error = {ErrorKind::NotASpreadsheet, "it is not a zip file, as XLSX and ODS workbooks are", {}};
            return nullptr;
        }
    } else {
        error = {ErrorKind::CannotOpen, std::strerror(errno), {}};
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->limits = limits;
    impl->zip = ZipFile::open(path, limits, error);
    if (!impl->zip)
        return nullptr;
    if (impl->zip->has("mimetype")) {
        std::string mimetype;
        if ((error = impl->zip->read("mimetype", 256, mimetype)))
            return nullptr;
        if (mimetype.rfind("application/vnd.oasis.opendocument.spreadsheet", 0) != 0) {
            error = {ErrorKind::NotASpreadsheet, "it is an OpenDocument file of another kind (" + mimetype + "), not a spreadsheet", {}};
            return nullptr;
        }
        if (!impl->zip->has("content.xml")) {
            error = {ErrorKind::Damaged, "the part content.xml is missing", {}};
            return nullptr;
        }
        impl->format = WorkbookFormat::Ods;
    } else if (impl->zip->has("[Content_Types].xml")
               && (impl->zip->has("xl/workbook.xml") || impl->zip->has("_rels/.rels"))) {
        impl->format = WorkbookFormat::Xlsx;
        if ((error = impl->openXlsx()))
            return nullptr;
    } else {
        error = {ErrorKind::NotASpreadsheet, "it is a zip file, but neither an XLSX nor an ODS workbook", {}};
        return nullptr;
    }
    return std::unique_ptr<Workbook>(new Workbook(std::move(impl)));
}

WorkbookFormat Workbook::format() const noexcept
{
    return m_impl->format;
}

Error Workbook::sheetNames(std::vector<std::string> &names, const std::atomic<bool> *stop)
{
    if (m_impl->format == WorkbookFormat::Ods && !m_impl->namesKnown) {
        if (Error e = m_impl->readOds({}, nullptr, stop))
            return e;
    }
    names = m_impl->names;
    return {};
}

Error Workbook::readSheet(std::string_view sheet, const RowHandler &onRow, const std::atomic<bool> *stop)
{
    if (m_impl->format == WorkbookFormat::Ods)
        return m_impl->readOds(sheet, &onRow, stop);
    return m_impl->readXlsx(sheet, onRow, stop);
}

} // namespace ean13::sheets
