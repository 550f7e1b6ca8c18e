#include "DumpProgress.h"

#include "ExifTool.h"

#include <QtGlobal>

#include <utility>

namespace tagsifter {

DumpProgress::DumpProgress(Show show, QString text, int value, int total)
    : m_show(std::move(show)), m_text(std::move(text)), m_value(value), m_total(total),
      m_shownValue(value)
{
}

void DumpProgress::showWait(int polls)
{
    if (!m_show || polls < ExifTool::kPollsBeforeWaitText)
        return;
    const int value = ExifTool::waitValue(polls, m_value, m_total);
    if (value >= 0)
        m_shownValue = qBound(0, value, 100);
    m_show(m_shownValue, ExifTool::waitText(m_text, polls));
    m_waitShown = true;
}

void DumpProgress::showStart()
{
    if (m_show && !std::exchange(m_startShown, true))
        m_show(m_value, m_text);
}

void DumpProgress::endWait()
{
    if (m_show && m_waitShown)
        m_show(m_shownValue, m_text);
    m_waitShown = false;
}

} // namespace tagsifter
