#pragma once

#include "core/ErrorReport.h"
#include "core/SearchView.h"
#include "core/WindowPointer.h"
#include "core/WindowServices.h"
#include "query/QueryParser.h"
#include "search/SearchEngine.h"

#include "platform/ListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace tagsifter {

class ErrorReport;

/// What a search run works on, handed over by the window.
struct SearchControls
{
    ListModel* fileList = nullptr;
    ListModel* results = nullptr;
    SearchView* view = nullptr;
    std::function<QString()> searchText;
    WindowPointer* pointer = nullptr;
    /// True when the search box holds a query (the "Query" check box is ticked).
    std::function<bool()> queryMode;
};

/// "Start Finding": the engine's search of the file list as it stands at each step, for the
/// text of the search box, its rows into the results list. What is the window's own stays
/// here: the Start/Stop toggle, the messages, the standard error report at its lines, the
/// progress, the pointer and the yields. While it runs the view shows it as running.
class SearchRun : private ImageSource, private HitSink
{
    Q_DECLARE_TR_FUNCTIONS(SearchRun)
public:
    SearchRun(const WindowServices& services, SearchControls controls,
              QString exiftool = QString());

    void PushButton1_Click();
    bool stopFlag() const { return m_stop; }
    /// Ends a run in progress and the exiftool it waits for, as the program closes.
    void abort();

    static QString noFilesMessage() { return tr("No folders added."); }
    static QString noSearchTextMessage() { return tr("Please enter search text."); }
    static QString doneMessage() { return tr("Done."); }
    static QString exiftoolMissingMessage();
    /// exiftool starts but cannot work; `said` is the first line it wrote.
    static QString exiftoolFailsMessage(const QString& said);
    /// exiftool gave no answer for image after image.
    static QString exiftoolSilentMessage();
    /// Why `query` cannot be read, and where.
    static QString queryErrorMessage(const QString& query, const QueryError& error);
    /// How the search box's `text` is read as a query, with the tag names known so far
    /// (nothing is listed for it); the reason and column when it cannot be read.
    QString explain(const QString& text);
    /// The tags a query may name, the most frequent first.
    QStringList tagSuggestions() { return m_engine.tagSuggestions(); }

    SearchEngine& engine() { return m_engine; }
    ExifTool& exifTool() { return m_engine.exifTool(); }
    MetadataReader& reader() { return m_engine.reader(); }
    /// Reads every image the one-shot way, one exiftool process per image.
    void setOneShot(bool oneShot) { m_engine.setOneShot(oneShot); }
    /// The progress is shown, the window yielded to and the rows found added at most this
    /// often during a run (the stop request is still seen before each image); 0 shows every
    /// image.
    void setShowInterval(int ms) { m_showIntervalMs = ms; }
    /// Twenty times a second is as often as a progress bar can be followed; shown every 15 ms,
    /// painting took a fifth of the window's time in a first run.
    static constexpr int kShowIntervalMs = 50;

private:
    /// The click that ends a run in progress.
    void requestStop(ErrorReport& report);
    /// False, after saying why, when there is nothing to search or nothing to search for.
    bool canStart(ErrorReport& report, const QString& searchText);
    /// One run, from the checks of what there is to search to "Done.".
    void runOnce(ErrorReport& report);
    /// What the search box's `text` asks for; none, after a message box with the reason and
    /// the place, when it is a query that cannot be read. The first query of an exiftool
    /// waits while it lists its tag names.
    std::optional<SearchQuery> queryOf(const QString& text);
    void start(ErrorReport& report);
    void finish(ErrorReport& report, bool showDone);
    /// The file list's paths, top to bottom.
    QStringList listedPaths() const;
    /// Adds the rows of the images finished since the last yield, in one step.
    void addFoundRows();
    /// The run's text of the tag named `utf8`.
    const QString& tagName(const QByteArray& utf8);
    /// The sessions start as soon as the file list gets rows: the user is about to search.
    void warmUp();

    // The file list, read row by row as it stands.
    int count() const override;
    QString pathAt(int i) const override;
    // The engine's steps, shown and reported as the window does.
    void found(const QString& path, const QList<TagValue>& hits) override;
    void foundPacked(const QString& path, const QByteArray& packedHits) override;
    void foundInSidecar(const QString& path, const QString& sidecar,
                        const QList<TagValue>& hits) override;
    void problem(const SearchProblem& problem) override;
    void imageStarting(int i, int count, const QString& path) override;
    bool readyToRead() override;
    DumpProgress readProgress() override;
    StepReport* readReport() override { return m_report; }
    void step(SearchStep step, const std::function<void()>& work) override;

    WindowServices m_services;
    SearchControls m_controls;
    SearchEngine m_engine;
    bool m_stop = false;
    /// True from the start of a run to its end, also while a stopped run is still ending.
    bool m_inProgress = false;
    /// "Start Finding" was clicked while a stopped run was still ending.
    bool m_startPending = false;
    int m_progressValue = 0;
    int m_showIntervalMs = kShowIntervalMs;
    QElapsedTimer m_sinceShown;
    std::vector<ListModel::Row> m_foundRows;
    /// The report of the click whose run is in progress.
    ErrorReport* m_report = nullptr;
    bool m_exiftoolMissing = false;
    /// What is said of exiftool as the run ends, when it fails or does not answer.
    QString m_toolProblem;
    /// The tag names of the run's rows by their UTF-8, each held once however many rows show
    /// it.
    QHash<QByteArray, QString> m_tagNames;
    bool m_warmUpDue = false;
    /// Owns the connections to the file list, so none outlives the run.
    QObject m_context;
    QString m_progressText = SearchView::idleText();
};

} // namespace tagsifter
