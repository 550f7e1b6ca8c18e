#pragma once

#include <QCoreApplication>
#include <QString>

namespace tagsifter {

/// What a search run shows of itself: that it runs (the start button then reads "Stop"), and
/// its progress as a value from 0 to 100 with a text. The window implements it.
class SearchView
{
public:
    virtual ~SearchView() = default;
    /// True while a run is in progress: a click on the start button is then the stop request.
    virtual bool isRunning() const = 0;
    virtual void setRunning(bool running) = 0;
    virtual void showProgress(int value, const QString& text) = 0;
    /// The images reached so far of the list's `total`, shown with the progress; a view that
    /// shows the percentage alone ignores it.
    virtual void showCount(int done, int total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }

    /// The run has ended, `images` of them searched, before "Done." shows.
    virtual void showSearched(int images) { Q_UNUSED(images); }

    /// The progress text while no run is in progress.
    static QString idleText() { return QCoreApplication::translate("SearchView", "Progress Bar"); }
};

} // namespace tagsifter
