#include "SearchRun.h"

#include "core/DumpParser.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "platform/ListModel.h"

#include <QTimer>

#include <cmath>
#include <utility>

namespace tagsifter {

SearchRun::SearchRun(const WindowServices& services, SearchControls controls, QString exiftool)
    : m_services(services), m_controls(std::move(controls)),
      m_engine(services.system, std::move(exiftool))
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

void SearchRun::found(const QString& path, const QList<TagValue>& hits)
{
    for (const TagValue& hit : hits)
        m_foundRows.push_back({path, {tagName(hit.tag.toUtf8()), hit.value}, false});
    // Removing the one-shot way's output file yields: its rows are in the list by then.
    if (m_engine.oneShot())
        addFoundRows();
}

void SearchRun::foundInSidecar(const QString& path, const QString& sidecar,
                               const QList<TagValue>& hits)
{
    Q_UNUSED(sidecar);
    for (const TagValue& hit : hits)
        m_foundRows.push_back({path, {tagName(hit.tag.toUtf8()), hit.value}, true});
    if (m_engine.oneShot())
        addFoundRows();
}

void SearchRun::foundPacked(const QString& path, const QByteArray& packedHits)
{
    forEachPackedEntry(packedHits, [&](const QByteArray& tag, QString value) {
        m_foundRows.push_back({path, {tagName(tag), std::move(value)}, false});
    });
}

void SearchRun::problem(const SearchProblem& problem)
{
    // An image without metadata gives no rows; what is wrong with exiftool itself is said as
    // the run ends.
    switch (problem.kind) {
    case SearchProblem::Kind::ToolMissing:
        m_exiftoolMissing = true;
        break;
    case SearchProblem::Kind::ToolFails:
        m_toolProblem = exiftoolFailsMessage(problem.reason);
        break;
    case SearchProblem::Kind::ToolUnanswered:
        m_toolProblem = exiftoolSilentMessage();
        break;
    case SearchProblem::Kind::PathMissing:
    case SearchProblem::Kind::FolderUnreadable:
    case SearchProblem::Kind::ImageUnreadable:
        break;
    }
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

QString SearchRun::exiftoolFailsMessage(const QString& said)
{
    return tr("exiftool fails, so the images cannot be searched. It says:\r\r%1\r\rPlease "
              "repair or reinstall exiftool (on Debian: sudo apt-get install --reinstall "
              "libimage-exiftool-perl) and try again.")
        .arg(said);
}

QString SearchRun::exiftoolSilentMessage()
{
    return tr("exiftool does not answer, so the search was stopped.\r\rThe rows found so far "
              "are listed. Please try again; if exiftool still does not answer, repair or "
              "reinstall it.");
}

void SearchRun::abort()
{
    m_stop = true;
    m_engine.abort();
}

void SearchRun::PushButton1_Click()
{
    ErrorReport report(*m_services.user.messages,
                       ErrorReport::formLocation(QStringLiteral("PushButton1_Click")));
    // A click while a run is in progress is the stop request.
    if (report.condition(100, [&] { return m_controls.view->isRunning(); })) {
        requestStop(report);
        return;
    }
    // A click on "Start Finding" while a stopped run is still ending (waiting for the image in
    // progress, or a double-click on "Stop") starts a new run as soon as that one has ended:
    // runs never overlap, and the run that was stopped and replaced shows no "Done.".
    if (m_inProgress) {
        m_startPending = true;
        return;
    }
    do {
        m_startPending = false;
        runOnce(report);
    } while (m_startPending);
}

void SearchRun::runOnce(ErrorReport& report)
{
    const QString searchText = m_controls.searchText();
    if (!canStart(report, searchText))
        return;
    const std::optional<SearchQuery> query = queryOf(searchText);
    if (!query) {
        m_startPending = false;
        return;
    }
    start(report);
    m_report = &report;
    m_exiftoolMissing = false;
    m_toolProblem.clear();
    m_sinceShown.invalidate();
    const SearchOutcome outcome = m_engine.run(*query, *this, *this);
    m_report = nullptr;
    addFoundRows();
    m_controls.view->showSearched(outcome.imagesSearched);
    finish(report, outcome.status != SearchOutcome::Status::Failed && !m_startPending);
    if (m_exiftoolMissing)
        m_services.user.messages->show(exiftoolMissingMessage(), MessageFlags::Exclamation);
    else if (!m_toolProblem.isEmpty())
        m_services.user.messages->show(m_toolProblem, MessageFlags::Exclamation);
}

std::optional<SearchQuery> SearchRun::queryOf(const QString& text)
{
    if (!m_controls.queryMode || !m_controls.queryMode())
        return SearchQuery::containing(text);
    // A click meanwhile waits for this run, as during a search.
    m_inProgress = true;
    m_controls.pointer->setMousePointer(Pointer::Hourglass);
    std::variant<SearchQuery, QueryError> read =
        SearchQuery::parse(text, m_engine.tagVocabulary(DumpProgress()));
    m_controls.pointer->setMousePointer(Pointer::Default);
    m_inProgress = false;
    if (const QueryError* error = std::get_if<QueryError>(&read)) {
        m_services.user.messages->show(queryErrorMessage(text, *error), MessageFlags::Exclamation);
        return std::nullopt;
    }
    return std::get<SearchQuery>(std::move(read));
}

QString SearchRun::queryErrorMessage(const QString& query, const QueryError& error)
{
    return tr("The query cannot be read at column %1: %2.\r\r%3\r\rColumn %1 is at: %4")
        .arg(error.column)
        .arg(error.reason, query, query.mid(error.column - 1));
}

QString SearchRun::explain(const QString& text)
{
    std::variant<SearchQuery, QueryError> read =
        SearchQuery::parse(text, m_engine.knownTagVocabulary());
    if (const QueryError* error = std::get_if<QueryError>(&read))
        return tr("Column %1: %2").arg(error->column).arg(error->reason);
    return std::get<SearchQuery>(read).explain();
}

int SearchRun::count() const
{
    return m_controls.fileList->count();
}

QString SearchRun::pathAt(int i) const
{
    QString path;
    m_report->line(122, [&] { path = m_controls.fileList->text(i); });
    return path;
}

void SearchRun::step(SearchStep step, const std::function<void()>& work)
{
    switch (step) {
    case SearchStep::FindTool:
        m_report->line(118, work);
        return;
    case SearchStep::Read:
        // The sessions' wait is the one-shot way's line 146; a one-shot read reports its own
        // steps.
        if (m_engine.oneShot())
            work();
        else
            m_report->line(146, work);
        return;
    case SearchStep::Match:
        m_report->line(154, work);
        return;
    case SearchStep::RemoveTempFiles:
        m_report->line(192, work);
        return;
    }
}

bool SearchRun::readyToRead()
{
    // Every image's read needs the temp folder: one that cannot be made is reported once, at
    // its first use, and ends the run instead of failing image after image.
    return m_report->value(
        132, [&] { return !exifTool().tempFolder().isEmpty(); }, false);
}

void SearchRun::imageStarting(int i, int count, const QString& path)
{
    Q_UNUSED(count);
    ListModel& files = *m_controls.fileList;
    // Painting the window once per image took most of a repeated search: the progress shows,
    // and the window is yielded to, once the interval is over.
    const bool show = m_showIntervalMs <= 0 || !m_sinceShown.isValid() ||
                      m_sinceShown.hasExpired(m_showIntervalMs);
    m_report->line(124, [&] {
        const int listed = files.count();
        if (listed == 0)
            throw Failure(QStringLiteral("Division by zero"), 11);
        // Halves go to the even neighbour: 12.5 gives 12.
        m_progressValue = static_cast<int>(std::nearbyint(double(i) / listed * 100.0));
        if (show)
            m_controls.view->showProgress(m_progressValue, m_progressText);
    });
    m_report->line(126, [&] {
        m_progressText = tr("Processing: ") + ExifTool::FileNameOf(path);
        if (show) {
            m_controls.view->showProgress(m_progressValue, m_progressText);
            m_controls.view->showCount(i, files.count());
        }
    });
    if (show) {
        // The rows found so far are in the list before anything else can happen.
        addFoundRows();
        m_report->line(128, [&] { m_services.system.events->yield(); });
        m_sinceShown.start();
    }
}

DumpProgress SearchRun::readProgress()
{
    SearchView* view = m_controls.view;
    DumpProgress progress(
        [view](int value, const QString& text) { view->showProgress(value, text); }, m_progressText,
        m_progressValue, m_controls.fileList->count());
    // Every button acts on the list as it stands: the rows found so far are in it before
    // anything can run.
    progress.setBeforeWait([this] { addFoundRows(); });
    return progress;
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
        report.line(218,
                    [&] { m_services.user.messages->show(noFilesMessage(), MessageFlags::Ok); });
        report.line(220, [&] { m_stop = true; });
        return false;
    }
    if (report.condition(104, [&] { return trimSpaces(searchText).isEmpty(); })) {
        report.line(
            216, [&] { m_services.user.messages->show(noSearchTextMessage(), MessageFlags::Ok); });
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

QStringList SearchRun::listedPaths() const
{
    const ListModel& files = *m_controls.fileList;
    QStringList paths;
    paths.reserve(files.count());
    for (int i = 1; i <= files.count(); ++i)
        paths.append(files.text(i));
    return paths;
}

void SearchRun::finish(ErrorReport& report, bool showDone)
{
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
        report.line(214, [&] { m_services.user.messages->show(doneMessage(), MessageFlags::Ok); });
    // Until "Done." is gone a click on "Start Finding" waits for this run's end.
    m_inProgress = false;
}

} // namespace tagsifter
