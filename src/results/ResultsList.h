#pragma once

#include "core/WindowPointer.h"
#include "core/WindowServices.h"
#include "platform/ShownRows.h"

#include <QList>
#include <QObject>

#include <vector>

namespace tagsifter {

class ChosenRow;
class ListModel;

/// Removes every row whose path contains `text`, ignoring case; tags and values take no part.
void RemoveRowsContaining(ListModel& list, const QString& text);
/// Removes every row whose path does not contain `text`, ignoring case.
void RemoveRowsNotContaining(ListModel& list, const QString& text);

/// "Clear Results", the two "Remove Results ..." filters, removing the selected rows (Delete, a
/// double-click), and the history that undoes and redoes each removal, step by step. The
/// filters and the removals work on the rows shown; a new list (a new search) starts a new
/// history.
class ResultsList : public QObject
{
    Q_OBJECT
public:
    ResultsList(const WindowServices& services, ShownRows& results, ChosenRow& chosen,
                WindowPointer& pointer, QObject* parent = nullptr);

    void PushButton6_Click();
    void PushButton17_Click();
    void PushButton11_Click();
    /// A double-click removes the selected rows, as the list's tool tip says; not while busy.
    void ListView2_DblClick() { removeSelected(); }
    /// Removes the selected rows (the chosen row when none is selected); not while busy.
    void removeSelected();
    /// Removes the rows shown at `rows` (1-based), as one step of the history.
    void removeShown(const QList<int>& rows);

    bool canUndo() const { return !m_done.empty(); }
    bool canRedo() const { return !m_undone.empty(); }
    /// Puts back the rows of the last removal not yet undone.
    void undo();
    /// Removes again the rows of the last removal undone.
    void redo();

    static QString containingPrompt() { return tr("Remove entries containing: "); }
    static QString notContainingPrompt() { return tr("Remove entries not containing: "); }

signals:
    /// What can be undone or redone changed.
    void historyChanged();

private:
    void filter(const QString& procedure, const QString& prompt, bool containing);
    void done(ShownRows::Removed removed);
    void forget();

    WindowServices m_services;
    ShownRows& m_results;
    ChosenRow& m_chosen;
    WindowPointer& m_pointer;
    std::vector<ShownRows::Removed> m_done;
    /// The positions of the rows undone, to be removed again.
    std::vector<std::vector<int>> m_undone;
};

} // namespace tagsifter
