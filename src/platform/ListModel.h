#pragma once

#include "core/RowTable.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <vector>

namespace tagsifter {

/// The rows of a list: a text per row and its sub-items, under a row of column headers.
/// Besides Qt's model interface it offers the list's own, with 1-based rows and columns; a
/// position outside the list throws Failure 9, as the callers' error reports expect.
class ListModel : public QAbstractTableModel, public RowTable
{
    Q_OBJECT
public:
    explicit ListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Columns, 1-based.
    void addColumn(const QString& header);
    QString headerText(int column) const override;
    int columns() const override { return static_cast<int>(m_headers.size()); }
    void setHeaderText(int column, const QString& text);
    /// Throws unless `column` is one of the list's columns.
    void checkColumn(int column) const;

    // Rows, 1-based.
    /// Sub-items a row keeps; the program's lists have at most two.
    static constexpr int kSubItems = 2;
    /// A row holds its texts as given, so rows that share a text (the image of every row of
    /// an image) hold it once.
    struct Row
    {
        QString text;
        std::array<QString, kSubItems> subItems;
        /// The row came from the XMP sidecar beside the image, not the image itself: its tag
        /// is shown with "(XMP sidecar)", and its tool tip and screen readers say so.
        bool fromSidecar = false;
    };
    /// What a row from a sidecar says of itself.
    static QString sidecarNote();
    /// Appends a row; returns its position. Sub-items past kSubItems are not kept.
    int addItem(const QString& text, const QStringList& subItems = {});
    /// Appends the rows in one step, in their order.
    void addItems(std::vector<Row> rows);
    int count() const override { return static_cast<int>(m_rows.size() - m_gapSize); }
    QString text(int row) const override;
    QString cell(int row, int column) const override;
    QString subItem(int row, int k) const;
    void setText(int row, const QString& text);
    void remove(int row) { removeRange(row, 1); }
    /// Removes `count` rows from `row` on in one step.
    void removeRange(int row, int count);
    /// Removes the rows at the positions `rows` (ascending, each once): each run of neighbouring
    /// rows in one step, from the last run to the first, and each row kept is moved at most
    /// once, however many runs there are. The view may read the list at every step; nothing
    /// may add or remove rows until it has returned.
    void removeRowsAt(const QList<int>& rows) { takeRowsAt(rows); }
    /// Removes the rows at the positions `rows` as removeRowsAt does and hands them back, in
    /// their order.
    std::deque<Row> takeRowsAt(const QList<int>& rows);
    /// Puts `rows` back at the positions `rows` had (ascending, 1-based, as the list is once
    /// they are in), the rows between moving down: the undoing of takeRowsAt. One step, which
    /// the views see as a new list.
    void insertRowsAt(const std::vector<int>& positions, std::deque<Row> rows);
    void clear();
    /// The text of every row, top to bottom.
    QStringList texts() const;
    /// The row at `row`, with no check.
    const Row& row(int row) const { return at(row); }
    /// Throws unless `row` is one of the list's rows.
    void checkRow(int row) const;

private:
    const Row& at(int row) const { return m_rows[slot(row)]; }
    /// Where `row` is held: past the gap that removeRowsAt leaves while it runs.
    size_t slot(int row) const
    {
        const auto index = static_cast<size_t>(row - 1);
        return index < m_gapAt ? index : index + m_gapSize;
    }

    /// The sub-item `k` (1-based) of `row`; the empty text past the last.
    static QString subItemOf(const Row& row, int k);

    QStringList m_headers;
    /// In pieces, so a list of millions of rows grows without a moment that holds it twice.
    std::deque<Row> m_rows;
    /// The rows removed so far while removeRowsAt runs, held from m_gapAt on until it ends.
    size_t m_gapAt = 0;
    size_t m_gapSize = 0;
};

/// Hands each path to the end of `list`, as a folder scan fills the file list.
inline std::function<void(const QString&)> appendTo(ListModel& list)
{
    return [&list](const QString& path) { list.addItem(path); };
}

} // namespace tagsifter
