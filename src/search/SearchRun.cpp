#include "SearchRun.h"

#include "core/DumpParser.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "platform/ListModel.h"

#include <QTimer>

#include <cmath>
#include <utility>

namespace tagsifter {

SearchRun::SearchRun(const Platform& platform, SearchControls controls, QString exiftool)
    : m_platform(platform), m_controls(std::move(controls)), m_engine(platform, std::move(exiftool))
{
    m_engine.setStopRequest([this] { return m_stop; });
    QObject::connect(m_controls.fileList, &QAbstractItemModel::rowsInserted, &m_context, [this] {
        // After the adding is over, so that a folder of many images starts all sessions.
        if (!std::exchange(m_warmUpDue, true))
            QTimer::singleShot(0, &m_context, [this] { warmUp(); });
    });
    // "Clear List" (or removing the last row) ends the reading in the background: nothing is
    // read for images the list no longer holds.
    const auto emptied = [this] {
        if (!m_inProgress && m_controls.fileList->count() == 0)
            reader().endReadAhead();
    };
    QObject::connect(m_controls.fileList, &QAbstractItemModel::rowsRemoved, &m_context, emptied);
    QObject::connect(m_controls.fileList, &QAbstractItemModel::modelReset, &m_context, emptied);
}

void SearchRun::warmUp()
{
    m_warmUpDue = false;
    if (m_engine.oneShot() || m_inProgress || m_controls.fileList->count() == 0)
        return;
    const QString program = exifTool().EnsureExifTool();
    if (program.isEmpty())
        return;
    reader().warmUp(program, m_controls.fileList->count());
    // The list's images are read while the user types the search text; the search then finds
    // them in memory.
    reader().readInBackground(program, listedPaths());
}

void SearchRun::addFoundRows()
{
    m_controls.results->addItems(std::exchange(m_foundRows, {}));
}

void SearchRun::holdRows(const QString& path, const QList<TagValue>& entries)
{
    for (const TagValue& entry : entries)
        m_foundRows.push_back({path, {tagName(entry.tag.toUtf8()), entry.value}});
}

void SearchRun::holdRows(const QString& path, const QByteArray& packedEntries)
{
    forEachPackedEntry(packedEntries, [&](const QByteArray& tag, QString value) {
        m_foundRows.push_back({path, {tagName(tag), std::move(value)}});
    });
}

const QString& SearchRun::tagName(const QByteArray& utf8)
{
    auto known = m_tagNames.constFind(utf8);
    if (known == m_tagNames.cend())
        known =
            m_tagNames.insert(QByteArray(utf8.constData(), utf8.size()), QString::fromUtf8(utf8));
    return *known;
}

QString SearchRun::exiftoolMissingMessage()
{
    return tr("exiftool could not be found or started, so no image can be searched."
              "\r\rPlease install exiftool (on Debian: sudo apt-get install "
              "libimage-exiftool-perl) and try again.");
}

void SearchRun::abort()
{
    m_stop = true;
    m_engine.abort();
}

void SearchRun::PushButton1_Click()
{
    ErrorReport report(*m_platform.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton1_Click")));
    // A click while a run is in progress is the stop request.
    if (report.condition(100, [&] { return m_controls.view->isRunning(); })) {
        requestStop(report);
        return;
    }
    // A click while a stopped run is still ending (a double-click on "Stop") starts nothing:
    // runs never overlap, and each shows one "Done.".
    if (m_inProgress)
        return;
    const QString searchText = m_controls.searchText();
    if (!canStart(report, searchText))
        return;
    start(report);

    QString program;
    report.line(118, [&] { program = exifTool().EnsureExifTool(); });
    bool exiftoolMissing = program.isEmpty();
    // An exiftool or configuration changed since the last run never gives old rows.
    if (!exiftoolMissing && !m_engine.oneShot()) {
        // What the background has not read yet, the run asks for in its own order.
        reader().dropQueue();
        reader().checkTool(program);
        sweepCache(program, searchText);
    }
    // Every image's read needs the temp folder: one that cannot be made is reported once, at
    // its first use, and ends the run instead of failing image after image.
    if (!exiftoolMissing && !report.value(
                                132, [&] { return !exifTool().tempFolder().isEmpty(); }, false)) {
        finish(report, false);
        return;
    }
    const int n = exiftoolMissing ? 0
                                  : report.value(
                                        120, [&] { return m_controls.fileList->count(); }, 0);
    m_sinceShown.invalidate();
    for (int i = 1; i <= n; ++i) {
        if (!searchImage(report, i, program, searchText, exiftoolMissing))
            break;
    }
    addFoundRows();
    finish(report, !exiftoolMissing);
    if (exiftoolMissing)
        m_platform.messages->show(exiftoolMissingMessage(), MessageFlags::Exclamation);
}

void SearchRun::requestStop(ErrorReport& report)
{
    report.line(222, [&] { m_controls.view->setRunning(false); });
    report.line(224, [&] { m_controls.fileList->setHeaderText(1, tr("File(s)")); });
    report.line(226, [&] { m_stop = true; });
}

bool SearchRun::canStart(ErrorReport& report, const QString& searchText)
{
    if (report.condition(102, [&] { return m_controls.fileList->count() == 0; })) {
        report.line(218, [&] { m_platform.messages->show(noFilesMessage(), MessageFlags::Ok); });
        report.line(220, [&] { m_stop = true; });
        return false;
    }
    if (report.condition(104, [&] { return trimSpaces(searchText).isEmpty(); })) {
        report.line(216,
                    [&] { m_platform.messages->show(noSearchTextMessage(), MessageFlags::Ok); });
        return false;
    }
    return true;
}

void SearchRun::start(ErrorReport& report)
{
    m_inProgress = true;
    report.line(106, [&] { m_controls.pointer->setMousePointer(Pointer::Hourglass); });
    report.line(108, [&] { m_controls.results->clear(); });
    report.line(112, [&] { m_controls.view->setRunning(true); });
    report.line(114, [&] { m_stop = false; });
}

bool SearchRun::searchImage(ErrorReport& report, int i, const QString& program,
                            const QString& searchText, bool& exiftoolMissing)
{
    ListModel& files = *m_controls.fileList;
    // A row removed during the run reads as no path, never as the previous image's.
    QString path;
    report.line(122, [&] { path = files.text(i); });
    // Painting the window once per image took most of a repeated search: the progress shows,
    // and the window is yielded to, once the interval is over.
    const bool show = m_showIntervalMs <= 0 || !m_sinceShown.isValid() ||
                      m_sinceShown.hasExpired(m_showIntervalMs);
    report.line(124, [&] {
        const int count = files.count();
        if (count == 0)
            throw Failure(QStringLiteral("Division by zero"), 11);
        // Halves go to the even neighbour: 12.5 gives 12.
        m_progressValue = static_cast<int>(std::nearbyint(double(i) / count * 100.0));
        if (show)
            m_controls.view->showProgress(m_progressValue, m_progressText);
    });
    report.line(126, [&] {
        m_progressText = tr("Processing: ") + ExifTool::FileNameOf(path);
        if (show) {
            m_controls.view->showProgress(m_progressValue, m_progressText);
            m_controls.view->showCount(i, files.count());
        }
    });
    if (show) {
        // The rows found so far are in the list before anything else can happen.
        addFoundRows();
        report.line(128, [&] { m_platform.events->yield(); });
        m_sinceShown.start();
    }
    if (report.condition(130, [&] { return m_stop; }))
        return false;
    if (path.isEmpty())
        return true;
    // An image found in the cache file's pass gives its rows at once (and the pass's copy
    // goes: a path listed again is found in the cache file).
    if (const auto swept = m_swept.find(path); swept != m_swept.end()) {
        holdRows(path, swept.value());
        m_swept.erase(swept);
        return true;
    }
    DumpProgress progress(m_controls.view, m_progressText, m_progressValue, files.count());
    // Every button acts on the list as it stands: the rows found so far are in it before
    // anything can run.
    progress.setBeforeWait([this] { addFoundRows(); });
    SearchEngine::Dump read;
    const auto pathAt = [&files](int j) { return files.text(j); };
    // The sessions' wait is the one-shot way's line 146; a read that falls back to the
    // one-shot way reports its own steps.
    if (m_engine.oneShot()) {
        read = m_engine.readImage(program, i, files.count(), pathAt, std::move(progress), &report);
    } else {
        report.line(146, [&] {
            read =
                m_engine.readImage(program, i, files.count(), pathAt, std::move(progress), &report);
        });
    }
    const bool stopped = read.stopped;
    const QString& dump = read.text;
    if (read.toolMissing) {
        exiftoolMissing = true;
        report.line(192, [&] { exifTool().removeTempFiles(); });
        return false;
    }
    // An image cut short by Stop is not searched: its output is incomplete.
    if (!stopped && report.condition(152, [&] { return !dump.isEmpty(); })) {
        const QList<TagValue> entries = report.value(
            154, [&] { return matchingEntries(dump, searchText); }, QList<TagValue>());
        holdRows(path, entries);
    }
    // Removing the one-shot way's output file yields.
    if (m_engine.oneShot())
        addFoundRows();
    report.line(192, [&] { exifTool().removeTempFiles(); });
    return true;
}

QStringList SearchRun::listedPaths() const
{
    const ListModel& files = *m_controls.fileList;
    QStringList paths;
    paths.reserve(files.count());
    for (int i = 1; i <= files.count(); ++i)
        paths.append(files.text(i));
    return paths;
}

void SearchRun::sweepCache(const QString& program, const QString& searchText)
{
    m_swept.clear();
    const QStringList paths = listedPaths();
    std::vector<std::optional<QByteArray>> found = reader().sweep(program, paths, searchText);
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i])
            m_swept.insert(paths.at(static_cast<int>(i)), std::move(*found[i]));
    }
}

void SearchRun::finish(ErrorReport& report, bool showDone)
{
    m_inProgress = false;
    m_swept.clear();
    m_tagNames.clear();
    m_engine.finish();
    report.line(202, [&] { m_controls.view->setRunning(false); });
    report.line(204, [&] { m_stop = true; });
    report.line(206, [&] { m_controls.fileList->setHeaderText(1, tr("Image(s)")); });
    report.line(208, [&] { m_controls.pointer->setMousePointer(Pointer::Default); });
    report.line(210, [&] {
        m_progressValue = 0;
        m_progressText = SearchView::idleText();
        m_controls.view->showProgress(m_progressValue, m_progressText);
    });
    if (showDone)
        report.line(214, [&] { m_platform.messages->show(doneMessage(), MessageFlags::Ok); });
}

} // namespace tagsifter
