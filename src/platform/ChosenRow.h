#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

class QItemSelectionModel;

namespace tagsifter {

class ListModel;
class RowTable;
class ShownRows;

/// The row of a list the user chose: the row last selected, which stays chosen when a press
/// below the rows clears the highlight (as the first press of a double-click there does); a
/// row that focus alone made current was never chosen. Rows are 1-based, as the list's own.
/// It lives beside the model and its selection, so that what acts on the chosen row needs no
/// view.
class ChosenRow : public QObject
{
    Q_OBJECT
public:
    ChosenRow(ListModel& model, QItemSelectionModel& selection, QObject* parent = nullptr);
    /// The chosen row of the rows shown: its position is where it shows.
    ChosenRow(ShownRows& shown, QItemSelectionModel& selection, QObject* parent = nullptr);

    /// The chosen row; 0 when there is none.
    int index() const;
    /// The first column's text of the chosen row; throws Failure 91 when there is none.
    QString text() const;
    /// The selected rows (1-based, ascending); the chosen row alone when none is selected.
    QList<int> selectedOrChosen() const;
    /// Removes the chosen row, if there is one.
    void remove();
    /// Selects `row` and makes it current; throws Failure 9 when there is no such row.
    void choose(int row);

private:
    RowTable& shownRows() const;

    const QAbstractItemModel& m_model;
    QItemSelectionModel& m_selection;
    ListModel* m_list = nullptr;
    ShownRows* m_shown = nullptr;
    QPersistentModelIndex m_chosen;
};

} // namespace tagsifter
