#include "ListModel.h"

#include "core/Failure.h"

#include <algorithm>
#include <functional>
#include <iterator>

namespace tagsifter {

namespace {
// A cell shows at most this many characters: painting a value of a megabyte takes the window
// most of a second. What the list holds, and what the exports write, stays whole.
constexpr qsizetype kShownCharacters = 1000;

QString shown(const QString& text)
{
    if (text.size() <= kShownCharacters)
        return text;
    return text.left(kShownCharacters) + QChar(0x2026);
}

[[noreturn]] void outOfBounds()
{
    throw Failure(QStringLiteral("Index out of bounds"), ErrorCode::SubscriptOutOfRange);
}
} // namespace

ListModel::ListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const Row& row = at(index.row() + 1);
    if (role == Qt::DisplayRole) {
        const QString text = shown(index.column() == 0 ? row.text : subItemOf(row, index.column()));
        // The tag says where the row came from; what is copied, saved and sorted is the tag.
        return row.fromSidecar && index.column() == 1 ? tr("%1 (XMP sidecar)").arg(text) : text;
    }
    if (row.fromSidecar && (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole))
        return sidecarNote();
    return QVariant();
}

QString ListModel::sidecarNote()
{
    return tr("From the image's XMP sidecar");
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return QVariant();
    return m_headers.at(section);
}

void ListModel::checkColumn(int column) const
{
    if (column < 1 || column > m_headers.size())
        outOfBounds();
}

void ListModel::checkRow(int row) const
{
    if (row < 1 || row > count())
        outOfBounds();
}

void ListModel::addColumn(const QString& header)
{
    const int column = static_cast<int>(m_headers.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_headers.append(header);
    endInsertColumns();
}

QString ListModel::headerText(int column) const
{
    checkColumn(column);
    return m_headers.at(column - 1);
}

void ListModel::setHeaderText(int column, const QString& text)
{
    checkColumn(column);
    m_headers[column - 1] = text;
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
}

int ListModel::addItem(const QString& text, const QStringList& subItems)
{
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    Row added{text, {}};
    for (int k = 0; k < kSubItems && k < subItems.size(); ++k)
        added.subItems[static_cast<size_t>(k)] = subItems.at(k);
    m_rows.push_back(std::move(added));
    endInsertRows();
    return count();
}

void ListModel::addItems(std::vector<Row> rows)
{
    if (rows.empty())
        return;
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
}

QString ListModel::text(int row) const
{
    checkRow(row);
    return at(row).text;
}

QString ListModel::cell(int row, int column) const
{
    checkRow(row);
    return column == 1 ? at(row).text : subItemOf(at(row), column - 1);
}

QString ListModel::subItem(int row, int k) const
{
    checkRow(row);
    return subItemOf(at(row), k);
}

QString ListModel::subItemOf(const Row& row, int k)
{
    return k >= 1 && k <= kSubItems ? row.subItems[static_cast<size_t>(k - 1)] : QString();
}

void ListModel::setText(int row, const QString& text)
{
    checkRow(row);
    m_rows[slot(row)].text = text;
    const QModelIndex changed = index(row - 1, 0);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void ListModel::removeRange(int row, int count)
{
    checkRow(row);
    checkRow(row + count - 1);
    beginRemoveRows(QModelIndex(), row - 1, row + count - 2);
    m_rows.erase(m_rows.begin() + (row - 1), m_rows.begin() + (row - 1 + count));
    endRemoveRows();
}

std::deque<ListModel::Row> ListModel::takeRowsAt(const QList<int>& rows)
{
    for (const int row : rows)
        checkRow(row);
    std::deque<Row> taken;
    if (!rows.isEmpty() && rows.size() == count() && rows.constLast() == count()) {
        // Every row: the list itself is handed over.
        beginRemoveRows(QModelIndex(), 0, count() - 1);
        taken.swap(m_rows);
        endRemoveRows();
        return taken;
    }
    // The rows removed so far make a gap that grows towards the front: the rows kept between
    // two runs move once, to the gap's end, and after each step the view sees the list as it
    // now is. Moving everything after each run instead takes time that grows with rows times
    // runs: over a minute for scattered rows of a list of a million.
    m_gapAt = m_rows.size();
    m_gapSize = 0;
    qsizetype end = rows.size();
    while (end > 0) {
        qsizetype start = end - 1;
        while (start > 0 && rows.at(start - 1) == rows.at(start) - 1)
            --start;
        const auto first = static_cast<size_t>(rows.at(start) - 1);
        const auto removed = static_cast<size_t>(end - start);
        beginRemoveRows(QModelIndex(), static_cast<int>(first),
                        static_cast<int>(first + removed) - 1);
        for (size_t i = first + removed; i > first; --i)
            taken.push_back(std::move(m_rows[i - 1]));
        const auto gap = m_rows.begin() + static_cast<std::ptrdiff_t>(m_gapAt);
        std::move_backward(m_rows.begin() + static_cast<std::ptrdiff_t>(first + removed), gap,
                           gap + static_cast<std::ptrdiff_t>(m_gapSize));
        m_gapAt = first;
        m_gapSize += removed;
        endRemoveRows();
        end = start;
    }
    const auto gap = m_rows.begin() + static_cast<std::ptrdiff_t>(m_gapAt);
    m_rows.erase(gap, gap + static_cast<std::ptrdiff_t>(m_gapSize));
    m_gapAt = 0;
    m_gapSize = 0;
    std::reverse(taken.begin(), taken.end());
    return taken;
}

void ListModel::insertRowsAt(const std::vector<int>& positions, std::deque<Row> rows)
{
    const size_t total = m_rows.size() + rows.size();
    if (positions.size() != rows.size() ||
        (!positions.empty() && (positions.front() < 1 || positions.back() > int(total))) ||
        std::adjacent_find(positions.begin(), positions.end(), std::greater_equal<int>()) !=
            positions.end())
        outOfBounds();
    beginResetModel();
    if (m_rows.empty()) {
        m_rows.swap(rows);
        endResetModel();
        return;
    }
    // Merged from the end, in place: the rows kept move down once, and the list is never
    // held twice.
    size_t kept = m_rows.size(), back = positions.size();
    m_rows.resize(total);
    for (size_t at = total; at-- > 0 && back > 0;) {
        if (positions[back - 1] == static_cast<int>(at) + 1)
            m_rows[at] = std::move(rows[--back]);
        else
            m_rows[at] = std::move(m_rows[--kept]);
    }
    endResetModel();
}

void ListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

QStringList ListModel::texts() const
{
    QStringList all;
    all.reserve(count());
    for (int row = 1; row <= count(); ++row)
        all.append(at(row).text);
    return all;
}

} // namespace tagsifter
