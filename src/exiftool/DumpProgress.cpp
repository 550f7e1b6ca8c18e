#include "DumpProgress.h"

#include "ExifTool.h"

#include <QtGlobal>

#include <utility>

namespace tagsifter {

DumpProgress::DumpProgress(SearchView* view, QString text, int value, int total)
    : m_view(view), m_text(std::move(text)), m_value(value), m_total(total), m_shownValue(value)
{
}

void DumpProgress::showWait(int polls)
{
    if (!m_view || polls < ExifTool::kPollsBeforeWaitText)
        return;
    const int value = ExifTool::waitValue(polls, m_value, m_total);
    if (value >= 0)
        m_shownValue = qBound(0, value, 100);
    m_view->showProgress(m_shownValue, ExifTool::waitText(m_text, polls));
    m_waitShown = true;
}

void DumpProgress::showStart()
{
    if (m_view && !std::exchange(m_startShown, true))
        m_view->showProgress(m_value, m_text);
}

void DumpProgress::endWait()
{
    if (m_view && m_waitShown)
        m_view->showProgress(m_shownValue, m_text.isEmpty() ? SearchView::idleText() : m_text);
    m_waitShown = false;
}

} // namespace tagsifter
