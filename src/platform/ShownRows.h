#pragma once

#include "core/RowTable.h"
#include "platform/ListModel.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

namespace tagsifter {

/// The rows of a list as its view shows them: in the order found or sorted by a column, and
/// only those that contain the filter text. A model of its own rather than a
/// QSortFilterProxyModel, whose sort by data() and per-row mapping take many seconds and
/// hundreds of megabytes for a million rows: this one keeps one int a row, and none while it
/// shows the list as it is. What it reads and removes is by the 1-based positions shown.
class ShownRows : public QAbstractTableModel, public RowTable
{
    Q_OBJECT
public:
    explicit ShownRows(ListModel& source, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int count() const override;
    int columns() const override { return m_source.columns(); }
    QString headerText(int column) const override { return m_source.headerText(column); }
    QString text(int row) const override;
    QString cell(int row, int column) const override;
    /// The list's position of the row shown at `row`.
    int sourceRow(int row) const;
    ListModel& source() const { return m_source; }

    /// How many different first-column texts (images) the rows shown have.
    int distinctTextsShown() const;

    /// Sorts by `column` (1-based; 0: the order found), ascending or descending.
    void sortBy(int column, Qt::SortOrder order = Qt::AscendingOrder);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    /// Shows only the rows whose text or a sub-item contains `text`, ignoring case as the
    /// search does; empty shows every row. Plain text: no wildcard, no pattern.
    void setFilterText(const QString& text);
    const QString& filterText() const { return m_filter; }
    bool isFiltered() const { return !m_filter.isEmpty(); }

    /// Rows taken out of the list, with the positions they had there, to be put back.
    struct Removed
    {
        std::vector<int> positions;
        std::deque<ListModel::Row> rows;
        /// While the list was sorted: its order before the removal, to show again at once.
        std::vector<int> sortedBefore;
        int sortColumn = 0;
        Qt::SortOrder sortOrder = Qt::AscendingOrder;
        bool isEmpty() const { return positions.empty(); }
    };
    /// Removes the shown rows `rows` (1-based, any order, each once) from the list.
    Removed removeShown(QList<int> rows);
    /// Removes the list's rows at `rows` (1-based list positions, ascending, each once).
    Removed removeListRows(const QList<int>& rows);
    /// Removes every row of the list, shown or not.
    Removed removeAll();
    /// Puts rows back where they were, the list being as their removal left it (rows added at
    /// its end since then stay at the end).
    void restore(Removed removed);

signals:
    /// The rows shown, or their number, changed.
    void shownChanged();
    /// The order shown changed: by `column` (0: the order found).
    void sorted(int column, Qt::SortOrder order);
    /// The list was made anew from outside (a new search): it shows in the order found.
    void listRenewed();

private:
    bool isIdentity() const { return m_sortColumn == 0 && m_filter.isEmpty(); }
    /// The list's rows (0-based) in the order of the current sort.
    std::vector<int> sortedRows() const;
    /// Of `rows`, those the filter keeps.
    std::vector<int> filtered(const std::vector<int>& rows) const;
    bool keeps(int sourceRow) const;
    /// Filters anew, and sorts anew when `resort` (or the order kept does not fit the list);
    /// `narrowing`: only the rows shown can stay.
    void rebuild(bool narrowing, bool resort);
    /// Moves each row kept to `movedTo(row)`; rows it gives -1 are gone.
    void remap(const std::function<int(int)>& movedTo);
    void connectSource();
    void connectResets();
    void onRowsInserted(int first, int last);

    ListModel& m_source;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_filter;
    /// The list's rows shown (0-based), in order; unused while the list shows as it is.
    std::vector<int> m_shown;
    /// Every row of the list (0-based) in the order of the sort; empty in the order found.
    std::vector<int> m_sorted;
    /// True while this model changes the list itself and tells its view in one step.
    bool m_changing = false;
};

} // namespace tagsifter
