// The rows of a checked list, for the list window's table: compact enough that a million of them
// stay small (about 24 bytes a row and the code's own characters), sorted and filtered through a
// list of row numbers rather than through a proxy model that would hold a million indexes more.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class ListStatus : std::uint8_t { Ok, BadCheckDigit, BadLength, NonDigit, MissingColumn };

struct ListRow
{
    std::int64_t line = 0;           // in the file, from 1
    std::uint32_t text = 0;          // where the entry as read starts in the text pool
    std::uint16_t textSize = 0;      // its bytes kept (UTF-8); at most MaxKept
    ListStatus status = ListStatus::BadLength;
    std::int8_t expected = -1;       // the check digit the code calls for; accepted codes only
    bool cut = false;                // the entry went on past what is kept
    std::uint8_t unused = 0;
    std::uint16_t country = 0;       // the window's country text, an index into the texts (0: none)
    std::uint16_t issuer = 0;        // who issued the number, by GS1's list (0: none)
};
static_assert(sizeof(ListRow) == 24);

// Rows as the reading hands them over: their text offsets count from the start of `text`; the
// country and issuer indexes from the texts the reading has named so far, of which `newTexts` are
// the ones first named in this batch.
struct ListBatch
{
    std::vector<ListRow> rows;
    std::string text;
    std::vector<std::string_view> newTexts;
};

// Rows and their text kept in the batches they came in: growing never moves what is there, and
// the memory was filled (its pages faulted in) by the reading thread, not the window's. A vector
// that doubles, or blocks filled here, held the window up for tens of milliseconds at a time
// (measured with the list window's benchmark).
class RowStore
{
public:
    void clear();
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] const ListRow &operator[](std::size_t i) const
    {
        const std::size_t c = chunkOf(i);
        return m_chunks[c].rows[i - m_starts[c]];
    }
    // The row's entry as read.
    [[nodiscard]] std::string_view textOf(std::size_t i) const
    {
        const std::size_t c = chunkOf(i);
        const ListRow &row = m_chunks[c].rows[i - m_starts[c]];
        return std::string_view(m_chunks[c].text).substr(row.text, row.textSize);
    }
    // Takes the batch's rows and text over as they are.
    void adopt(std::vector<ListRow> &&rows, std::string &&text);
    [[nodiscard]] std::size_t memoryUsed() const;

private:
    struct Chunk
    {
        std::vector<ListRow> rows;
        std::string text;
    };
    [[nodiscard]] std::size_t chunkOf(std::size_t i) const;

    std::vector<Chunk> m_chunks;
    std::vector<std::size_t> m_starts;   // the first row of each chunk
    std::size_t m_size = 0;
};

class ListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { LineColumn, CodeColumn, VerdictColumn, ExpectedColumn, CorrectedColumn, CountryColumn,
                  IssuerColumn, ColumnCount };
    static constexpr std::size_t MaxKept = 64;   // bytes of an entry kept to show: more than any code

    explicit ListModel(QObject *parent = nullptr);

    void clear();
    void append(ListBatch &&batch);
    // The column that a record lacks, as its row names it.
    void setMissingColumnName(const QString &name) { m_missingColumn = name; }

    void setErrorsOnly(bool errorsOnly);
    [[nodiscard]] bool errorsOnly() const { return m_errorsOnly; }

    [[nodiscard]] long long total() const { return static_cast<long long>(m_rows.size()); }
    [[nodiscard]] long long correct() const { return m_correct; }
    [[nodiscard]] long long wrong() const { return total() - m_correct; }
    // What the rows hold, in bytes, text included.
    [[nodiscard]] std::size_t memoryUsed() const;

    // The entry as read, of the row that `viewRow` shows.
    [[nodiscard]] QString entryText(int viewRow) const;
    // A cell's text as the table shows it.
    [[nodiscard]] QString cellText(int viewRow, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    // The rows came in the file's order and are shown so: the same as sorted by their line, which
    // then needs no sorting (a million rows sorted again, with the view's bookkeeping, take a second).
    void inFileOrder()
    {
        m_sortColumn = LineColumn;
        m_sortOrder = Qt::AscendingOrder;
    }

signals:
    void countsChanged();

private:
    [[nodiscard]] std::size_t indexAt(int viewRow) const { return m_view[static_cast<std::size_t>(viewRow)]; }
    [[nodiscard]] const ListRow &rowAt(int viewRow) const { return m_rows[indexAt(viewRow)]; }
    [[nodiscard]] bool shown(const ListRow &row) const { return !m_errorsOnly || row.status != ListStatus::Ok; }
    [[nodiscard]] QString correctedCode(std::size_t index) const;
    void rebuildView();

    RowStore m_rows;
    std::vector<std::string_view> m_texts;  // countries and issuers: 0 is none
    std::vector<std::uint32_t> m_view;      // the rows shown, in the order shown
    long long m_correct = 0;
    bool m_errorsOnly = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_missingColumn;
};
