#include "ChosenRow.h"

#include "ListModel.h"
#include "core/Failure.h"

#include <QItemSelectionModel>

namespace tagsifter {

ChosenRow::ChosenRow(ListModel& model, QItemSelectionModel& selection, QObject* parent)
    : QObject(parent), m_model(model), m_selection(selection)
{
    connect(&selection, &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!selected.isEmpty())
                    m_chosen = QPersistentModelIndex(selected.indexes().constFirst());
            });
}

int ChosenRow::index() const
{
    return m_chosen.isValid() ? m_chosen.row() + 1 : 0;
}

QString ChosenRow::text() const
{
    const int row = index();
    if (row == 0)
        throw Failure(QStringLiteral("Object variable or With block variable not set"),
                      ErrorCode::ObjectVariableNotSet);
    return m_model.text(row);
}

void ChosenRow::remove()
{
    if (const int row = index(); row > 0)
        m_model.remove(row);
}

void ChosenRow::choose(int row)
{
    m_model.checkRow(row);
    const QModelIndex index = m_model.index(row - 1, 0);
    m_selection.setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_selection.select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace tagsifter
