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

ResultsList::ResultsList(const Platform& platform, ListModel& results, ChosenRow& chosen,
                         WindowPointer& pointer, QObject* parent)
    : QObject(parent), m_platform(platform), m_results(results), m_chosen(chosen),
      m_pointer(pointer)
{
}

void ResultsList::PushButton6_Click()
{
    ErrorReport report(*m_platform.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton6_Click")));
    report.line(100, [&] { m_results.clear(); });
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
    ErrorReport report(*m_platform.messages, ErrorReport::formLocation(procedure));
    QString answer;
    report.line(100, [&] { answer = m_platform.input->ask(prompt); });
    if (report.condition(102, [&] { return answer.isEmpty(); }))
        return;
    report.line(104, [&] { m_pointer.setMousePointer(Pointer::Hourglass); });
    report.line(106, [&] { removeRows(m_results, answer, containing); });
    report.line(108, [&] { m_pointer.setMousePointer(Pointer::Default); });
}

void ResultsList::ListView2_DblClick()
{
    if (!m_pointer.isBusy())
        m_chosen.remove();
}

} // namespace tagsifter
