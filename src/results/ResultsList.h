#pragma once

#include "core/Platform.h"
#include "core/WindowPointer.h"

#include <QList>
#include <QObject>

namespace tagsifter {

class ChosenRow;
class ListModel;

/// Removes every row whose path contains `text`, ignoring case; tags and values take no part.
void RemoveRowsContaining(ListModel& list, const QString& text);
/// Removes every row whose path does not contain `text`, ignoring case.
void RemoveRowsNotContaining(ListModel& list, const QString& text);

/// "Clear Results", the two "Remove Results ..." filters, and removing a row by double-click.
class ResultsList : public QObject
{
    Q_OBJECT
public:
    ResultsList(const Platform& platform, ListModel& results, ChosenRow& chosen,
                WindowPointer& pointer, QObject* parent = nullptr);

    void PushButton6_Click();
    void PushButton17_Click();
    void PushButton11_Click();
    /// A double-click removes the selected row, as the list's tool tip says; not while busy.
    void ListView2_DblClick();

    static QString containingPrompt() { return tr("Remove entries containing: "); }
    static QString notContainingPrompt() { return tr("Remove entries not containing: "); }

private:
    void filter(const QString& procedure, const QString& prompt, bool containing);

    Platform m_platform;
    ListModel& m_results;
    ChosenRow& m_chosen;
    WindowPointer& m_pointer;
};

} // namespace tagsifter
