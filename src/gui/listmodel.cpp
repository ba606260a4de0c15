#include "listmodel.h"

#include "ean13.h"
#include "windows.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include <algorithm>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

ean13::Status coreStatus(ListStatus status)
{
    switch (status) {
    case ListStatus::Ok: return ean13::Status::Ok;
    case ListStatus::BadCheckDigit: return ean13::Status::BadCheckDigit;
    case ListStatus::NonDigit: return ean13::Status::NonDigit;
    case ListStatus::BadLength:
    case ListStatus::MissingColumn: break;
    }
    return ean13::Status::BadLength;
}

QColor rowColour(ListStatus status)
{
    ean13::Analysis analysis;
    analysis.status = coreStatus(status);
    const ean13::Rgb rgb = status == ListStatus::MissingColumn ? ean13::ErrorRed : ean13::listColour(analysis);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// A wrong check digit is a finding, blue like every finding, and the one a person has to act on:
// its row stands out on a warm ground as well, in bold.
const QColor WrongDigitGround(255, 236, 179);

// What the table shows of an entry: control characters, which a cell would show as nothing or
// as boxes, are shown as the symbols that stand for them.
QString shownEntry(std::string_view bytes, bool cut)
{
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (QChar &c : text) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    if (cut)
        text += u'…';
    return text;
}

} // namespace

void RowStore::clear()
{
    m_chunks.clear();
    m_starts.clear();
    m_size = 0;
}

void RowStore::adopt(std::vector<ListRow> &&rows, std::string &&text)
{
    if (rows.empty())
        return;
    m_starts.push_back(m_size);
    m_size += rows.size();
    m_chunks.push_back({std::move(rows), std::move(text)});
}

std::size_t RowStore::chunkOf(std::size_t i) const
{
    return static_cast<std::size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), i) - m_starts.begin()) - 1;
}

std::size_t RowStore::memoryUsed() const
{
    std::size_t bytes = m_chunks.capacity() * sizeof(Chunk) + m_starts.capacity() * sizeof(std::size_t);
    for (const Chunk &chunk : m_chunks)
        bytes += chunk.rows.capacity() * sizeof(ListRow) + chunk.text.capacity();
    return bytes;
}

ListModel::ListModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_texts.emplace_back();
}

void ListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_texts.assign(1, {});
    m_view = {};
    m_correct = 0;
    m_sortColumn = -1;
    endResetModel();
    emit countsChanged();
}

void ListModel::append(ListBatch &&batch)
{
    if (batch.rows.empty() && batch.newTexts.empty())
        return;
    m_texts.insert(m_texts.end(), batch.newTexts.begin(), batch.newTexts.end());
    std::vector<std::uint32_t> shownRows;
    std::uint32_t index = static_cast<std::uint32_t>(m_rows.size());
    for (const ListRow &row : batch.rows) {
        m_correct += row.status == ListStatus::Ok ? 1 : 0;
        if (shown(row))
            shownRows.push_back(index);
        ++index;
    }
    m_rows.adopt(std::move(batch.rows), std::move(batch.text));
    if (!shownRows.empty()) {
        const int at = static_cast<int>(m_view.size());
        beginInsertRows({}, at, at + static_cast<int>(shownRows.size()) - 1);
        m_view.insert(m_view.end(), shownRows.begin(), shownRows.end());
        endInsertRows();
    }
    emit countsChanged();
}

std::size_t ListModel::memoryUsed() const
{
    return m_rows.memoryUsed() + m_view.capacity() * sizeof(std::uint32_t)
           + m_texts.capacity() * sizeof(std::string_view);
}

void ListModel::setErrorsOnly(bool errorsOnly)
{
    if (errorsOnly == m_errorsOnly)
        return;
    m_errorsOnly = errorsOnly;
    beginResetModel();
    rebuildView();
    endResetModel();
}

void ListModel::rebuildView()
{
    m_view.clear();
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (shown(m_rows[i]))
            m_view.push_back(static_cast<std::uint32_t>(i));
    if (m_sortColumn < 0)
        return;

    // Countries and issuers in the order of the alphabet, each named once.
    std::vector<int> rank(m_texts.size());
    std::vector<QString> names(m_texts.size());
    for (std::size_t i = 0; i < m_texts.size(); ++i)
        names[i] = fromUtf8(m_texts[i]);
    std::vector<std::size_t> order(m_texts.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return QString::localeAwareCompare(names[a], names[b]) < 0; });
    for (std::size_t i = 0; i < order.size(); ++i)
        rank[order[i]] = static_cast<int>(i);

    const auto key = [this, &rank](std::uint32_t i) -> std::pair<long long, std::string_view> {
        const ListRow &r = m_rows[i];
        switch (m_sortColumn) {
        case LineColumn: return {r.line, {}};
        case CodeColumn: return {0, m_rows.textOf(i)};
        case VerdictColumn: return {static_cast<int>(r.status), {}};
        case ExpectedColumn: return {r.expected, {}};
        case CorrectedColumn: return {r.status == ListStatus::BadCheckDigit ? 1 : 0, m_rows.textOf(i)};
        case CountryColumn: return {rank[r.country], {}};
        case IssuerColumn: return {rank[r.issuer], {}};
        default: return {0, {}};
        }
    };
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    std::stable_sort(m_view.begin(), m_view.end(), [&](std::uint32_t a, std::uint32_t b) {
        const auto ka = key(a), kb = key(b);
        return ascending ? ka < kb : kb < ka;
    });
}

void ListModel::sort(int column, Qt::SortOrder order)
{
    if (column == m_sortColumn && order == m_sortOrder)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> rowsBefore;
    for (const QModelIndex &index : before)
        rowsBefore.push_back(m_view[static_cast<std::size_t>(index.row())]);
    m_sortColumn = column;
    m_sortOrder = order;
    rebuildView();
    // The selection and the current row stay with their rows.
    std::vector<int> position(m_rows.size(), -1);
    if (!before.isEmpty()) {
        for (std::size_t i = 0; i < m_view.size(); ++i)
            position[m_view[i]] = static_cast<int>(i);
        QModelIndexList after;
        for (std::size_t i = 0; i < rowsBefore.size(); ++i)
            after.push_back(index(position[rowsBefore[i]], before[static_cast<qsizetype>(i)].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString ListModel::entryText(int viewRow) const
{
    const std::string_view text = m_rows.textOf(indexAt(viewRow));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ListModel::correctedCode(std::size_t index) const
{
    if (m_rows[index].status != ListStatus::BadCheckDigit)
        return {};
    const std::string_view digits = m_rows.textOf(index);   // 12 or 13 of them: accepted
    const ean13::Analysis analysis = ean13::analyse(toCode(QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size()))));
    const auto corrected = ean13::correctedCode(analysis);
    return corrected ? toQString(*corrected) : QString();
}

QString ListModel::cellText(int viewRow, int column) const
{
    const ListRow &row = rowAt(viewRow);
    switch (column) {
    case LineColumn: return QString::number(row.line);
    case CodeColumn: return shownEntry(m_rows.textOf(indexAt(viewRow)), row.cut);
    case VerdictColumn: {
        if (row.status == ListStatus::MissingColumn)
            return u"В записи нет столбца «%1»."_s.arg(m_missingColumn);
        QString verdict;
        ean13::forEachLine(coreStatus(row.status), {}, [&verdict](std::string_view line) {
            if (verdict.isEmpty())
                verdict = fromUtf8(line);
        });
        return verdict;
    }
    case ExpectedColumn: return row.expected >= 0 ? QString::number(row.expected) : QString();
    case CorrectedColumn: return correctedCode(indexAt(viewRow));
    case CountryColumn: return fromUtf8(m_texts[row.country]);
    case IssuerColumn: return fromUtf8(m_texts[row.issuer]);
    default: return {};
    }
}

int ListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_view.size());
}

int ListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ListRow &row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole: return cellText(index.row(), index.column());
    case Qt::ToolTipRole:
        if (index.column() == VerdictColumn || index.column() == CodeColumn)
            return cellText(index.row(), index.column());   // whole, where the column cuts it short
        return {};
    case Qt::ForegroundRole: return QBrush(rowColour(row.status));
    case Qt::BackgroundRole:
        if (row.status == ListStatus::BadCheckDigit)
            return QBrush(WrongDigitGround);
        return {};
    case Qt::FontRole:
        if (row.status == ListStatus::BadCheckDigit) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == LineColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (index.column() == ExpectedColumn)
            return QVariant::fromValue(Qt::AlignCenter);
        return {};
    default: return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case LineColumn: return u"Строка"_s;
    case CodeColumn: return u"Код"_s;
    case VerdictColumn: return u"Результат"_s;
    case ExpectedColumn: return u"Верная цифра"_s;
    case CorrectedColumn: return u"Исправленный код"_s;
    case CountryColumn: return u"Страна"_s;
    case IssuerColumn: return u"Выдан GS1"_s;
    default: return {};
    }
}
