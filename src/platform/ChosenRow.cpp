#include "ChosenRow.h"

#include "ListModel.h"
#include "ShownRows.h"
#include "core/Failure.h"

#include <QItemSelectionModel>

#include <algorithm>

namespace tagsifter {

ChosenRow::ChosenRow(ShownRows& shown, QItemSelectionModel& selection, QObject* parent)
    : ChosenRow(shown.source(), selection, parent)
{
    m_shown = &shown;
}

ChosenRow::ChosenRow(ListModel& model, QItemSelectionModel& selection, QObject* parent)
    : QObject(parent), m_model(*selection.model()), m_selection(selection), m_list(&model)
{
    connect(&selection, &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                // The first range's corner: listing every index of a selection of a million
                // rows would take a second and a hundred megabytes.
                if (!selected.isEmpty())
                    m_chosen = QPersistentModelIndex(selected.constFirst().topLeft());
            });
}

int ChosenRow::index() const
{
    return m_chosen.isValid() ? m_chosen.row() + 1 : 0;
}

RowTable& ChosenRow::shownRows() const
{
    return m_shown ? static_cast<RowTable&>(*m_shown) : static_cast<RowTable&>(*m_list);
}

QString ChosenRow::text() const
{
    const int row = index();
    if (row == 0)
        throw Failure(QStringLiteral("Object variable or With block variable not set"),
                      ErrorCode::ObjectVariableNotSet);
    return shownRows().text(row);
}

QList<int> ChosenRow::selectedOrChosen() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : m_selection.selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row + 1);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty() && index() > 0)
        rows.append(index());
    return rows;
}

void ChosenRow::remove()
{
    const int row = index();
    if (row <= 0)
        return;
    if (m_shown)
        m_shown->removeShown({row});
    else
        m_list->remove(row);
}

void ChosenRow::choose(int row)
{
    if (row < 1 || row > shownRows().count())
        m_list->checkRow(0);
    const QModelIndex index = m_model.index(row - 1, 0);
    m_selection.setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_selection.select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace tagsifter
