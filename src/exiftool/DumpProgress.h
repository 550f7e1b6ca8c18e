#pragma once

#include <QString>

#include <functional>

namespace tagsifter {

/// The progress shown while one image is read: what the run showed when the read began (its
/// value out of 100 and its text, for the `total` images of the list), and the
/// "Please wait.." text and value that a long read adds to it. Without `show` nothing shows.
class DumpProgress
{
public:
    /// Shows a value out of 100 and a text.
    using Show = std::function<void(int value, const QString& text)>;
    DumpProgress() = default;
    DumpProgress(Show show, QString text, int value, int total);

    /// Shows the wait after `polls` polls of 100 ms: nothing before the 50th, about five
    /// seconds.
    void showWait(int polls);
    /// Back to the run's own text once a wait was shown; the value stays where the wait left it.
    void endWait();
    /// Shows the run's own value and text, once: when the read has to wait at all.
    void showStart();
    /// Called before every wait that lets the event loop run: whatever the run holds back
    /// (rows found) must be where the user can act on it by then.
    void setBeforeWait(std::function<void()> beforeWait) { m_beforeWait = std::move(beforeWait); }
    void beforeWait() const
    {
        if (m_beforeWait)
            m_beforeWait();
    }

private:
    Show m_show;
    QString m_text;
    int m_value = 0;
    int m_total = 1;
    int m_shownValue = 0;
    bool m_waitShown = false;
    bool m_startShown = false;
    std::function<void()> m_beforeWait;
};

} // namespace tagsifter
