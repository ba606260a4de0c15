// Spreadsheets read directly: the rows of one sheet of an XLSX or ODS workbook, each cell as the
// spreadsheet shows it, streamed a row at a time so that a sheet of a million rows is never held
// whole. Both formats are zip files of XML (minizip and expat read them). Every size that a
// hostile file could blow up is bounded (see Limits), and a DTD, and so every entity, is refused.
//
// No toolkit: ean13-sheets reads through it, and the window program's list window can too, from
// a worker thread (one Workbook is used by one thread at a time; `stop` may be set from any).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ean13::sheets {

enum class CellKind {
    Empty,
    Text,      // a text cell, or a number the sheet formats as text
    Number,    // written without exponent, and without decimals when it is a whole number
    Date,      // YYYY-MM-DD, or YYYY-MM-DD HH:MM:SS when it has a time of day
    Boolean,   // TRUE or FALSE
    Error      // what the sheet shows for a formula that failed, such as #N/A
};

struct Cell
{
    CellKind kind = CellKind::Empty;
    std::string text;
};

enum class WorkbookFormat { Xlsx, Ods };

// What went wrong, for a front end to word in its own language; `message` is English.
enum class ErrorKind {
    None,
    CannotOpen,        // the file cannot be opened or read (message has the system's reason)
    NotASpreadsheet,   // not a zip file, or a zip file that is neither XLSX nor ODS
    Encrypted,         // a part is encrypted: the workbook has a password
    Damaged,           // a broken zip file, a missing part, XML that does not parse
    TooLarge,          // past one of the limits: too large to be read safely (a zip or XML bomb)
    NoSuchSheet,       // the sheet asked for is not there (`sheets` lists those that are)
    Stopped            // `stop` was set
};

struct Error
{
    ErrorKind kind = ErrorKind::None;
    std::string message;
    std::vector<std::string> sheets;   // for NoSuchSheet: the sheets there are

    explicit operator bool() const noexcept { return kind != ErrorKind::None; }
};

// What a workbook may make this reader hold or do. The defaults are far above what Excel and
// LibreOffice write (1,048,576 rows, 16,384 columns, 32,767 characters in a cell).
struct Limits
{
    std::uint64_t partBytes = std::uint64_t{256} << 20;            // workbook, relationships, styles
    std::uint64_t sharedStringsBytes = std::uint64_t{1} << 30;     // the XML of XLSX's string table
    std::uint64_t sheetBytes = std::uint64_t{4} << 30;             // a sheet's XML (ODS: all sheets)
    std::uint64_t stringTableBytes = std::uint64_t{256} << 20;     // the strings held, whole
    std::uint64_t stringTableCount = std::uint64_t{16} << 20;
    std::uint64_t cellBytes = std::uint64_t{1} << 20;
    std::uint64_t rowBytes = std::uint64_t{64} << 20;              // of one row's cells
    std::uint64_t sheetTextBytes = std::uint64_t{4} << 30;         // of all rows handed on
    std::uint64_t xmlTokenBytes = std::uint64_t{1} << 20;          // one tag or comment, held whole
    std::uint64_t zipEntries = 65536;
    long long rows = 1048576;
    int columns = 16384;
};

// One row: its number in the sheet (from 1) and its cells from column A on, up to the last that
// is not empty. Rows without any cell that is not empty are passed over. Return false to stop.
using RowHandler = std::function<bool(long long row, const std::vector<Cell> &cells)>;

class Workbook
{
public:
    // The workbook in the file, or nullptr with `error` set. Only the zip's directory and what
    // names the sheets are read here.
    [[nodiscard]] static std::unique_ptr<Workbook> open(const std::string &path, Error &error, Limits limits = {});
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    [[nodiscard]] WorkbookFormat format() const noexcept;
    // The names of the sheets, in the workbook's order. ODS keeps them in the same part as the
    // cells: the first call reads that part through.
    [[nodiscard]] Error sheetNames(std::vector<std::string> &names, const std::atomic<bool> *stop = nullptr);
    // Hands every row of the sheet named `sheet` (the first sheet if empty) to `onRow`. No error
    // when onRow said to stop.
    [[nodiscard]] Error readSheet(std::string_view sheet, const RowHandler &onRow, const std::atomic<bool> *stop = nullptr);

    struct Impl;

private:
    explicit Workbook(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// Whether these first bytes of a file are those of a zip file (XLSX and ODS are).
[[nodiscard]] bool looksLikeZip(std::string_view start) noexcept;

// The column named by letters (A is 1, Z 26, AA 27), or 0 if `letters` are no column's name.
[[nodiscard]] int columnFromLetters(std::string_view letters) noexcept;
// A number as a spreadsheet shows it in a general format, from its XML text ("1.2345678901E+11"
// is "123456789012"); empty if it is no number.
[[nodiscard]] std::string numberText(std::string_view xml);

} // namespace ean13::sheets
