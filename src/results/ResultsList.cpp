#include "ResultsList.h"

#include "core/ErrorReport.h"
#include "core/RowSelection.h"
#include "platform/ChosenRow.h"
#include "platform/ListModel.h"

namespace tagsifter {

namespace {

void removeRows(ListModel& list, const QString& text, bool containing)
{
    list.removeRowsAt(rowsMatching(list.texts(), text, containing));
}

} // namespace

void RemoveRowsContaining(ListModel& list, const QString& text)
{
    removeRows(list, text, true);
}

void RemoveRowsNotContaining(ListModel& list, const QString& text)
{
    removeRows(list, text, false);
}

ResultsList::ResultsList(const WindowServices& services, ShownRows& results, ChosenRow& chosen,
                         WindowPointer& pointer, QObject* parent)
    : QObject(parent), m_services(services), m_results(results), m_chosen(chosen),
      m_pointer(pointer)
{
    connect(&m_results, &ShownRows::listRenewed, this, &ResultsList::forget);
}

void ResultsList::PushButton6_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton6_Click")));
    report.line(100, [&] { done(m_results.removeAll()); });
}

void ResultsList::PushButton17_Click()
{
    filter(QStringLiteral("PushButton17_Click"), containingPrompt(), true);
}

void ResultsList::PushButton11_Click()
{
    filter(QStringLiteral("PushButton11_Click"), notContainingPrompt(), false);
}

void ResultsList::filter(const QString& procedure, const QString& prompt, bool containing)
{
    ErrorReport report(*m_services.user.messages, ErrorReport::formLocation(procedure));
    QString answer;
    report.line(100, [&] { answer = m_services.user.input->ask(prompt); });
    if (report.condition(102, [&] { return answer.isEmpty(); }))
        return;
    report.line(104, [&] { m_pointer.setMousePointer(Pointer::Hourglass); });
    report.line(106,
                [&] { done(m_results.removeShown(rowsMatching(m_results, answer, containing))); });
    report.line(108, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

void ResultsList::removeSelected()
{
    if (!m_pointer.isBusy())
        removeShown(m_chosen.selectedOrChosen());
}

void ResultsList::removeShown(const QList<int>& rows)
{
    done(m_results.removeShown(rows));
}

void ResultsList::done(ShownRows::Removed removed)
{
    if (removed.isEmpty())
        return;
    m_done.push_back(std::move(removed));
    m_undone.clear();
    emit historyChanged();
}

void ResultsList::undo()
{
    if (m_done.empty() || m_pointer.isBusy())
        return;
    ShownRows::Removed last = std::move(m_done.back());
    m_done.pop_back();
    m_undone.push_back(last.positions);
    m_results.restore(std::move(last));
    emit historyChanged();
}

void ResultsList::redo()
{
    if (m_undone.empty() || m_pointer.isBusy())
        return;
    const std::vector<int> positions = std::move(m_undone.back());
    m_undone.pop_back();
    m_done.push_back(m_results.removeListRows(QList<int>(positions.begin(), positions.end())));
    emit historyChanged();
}

void ResultsList::forget()
{
    m_done.clear();
    m_undone.clear();
    emit historyChanged();
}

} // namespace tagsifter
