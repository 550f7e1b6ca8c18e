#include "SearchEngine.h"

#include "core/SettingKeys.h"
#include "core/Sidecar.h"
#include "search/SidecarFinder.h"

#include "core/Failure.h"
#include "core/FolderScan.h"
#include "core/PathRules.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <string_view>
#include <utility>

namespace tagsifter {

namespace {

QString missingReason()
{
    return QStringLiteral("No such file or directory");
}

/// The value of exiftool's "Error" line in `dump`, or the empty text.
QString errorOf(const QString& dump)
{
    // Every dump is looked at: a plain search of its code units, without Qt's general one.
    const std::u16string_view text(reinterpret_cast<const char16_t*>(dump.utf16()),
                                   static_cast<size_t>(dump.size()));
    const size_t at = text.find(u"\nError ");
    if (at == std::u16string_view::npos)
        return QString();
    const size_t end = text.find(u'\n', at + 1);
    const qsizetype from = static_cast<qsizetype>(at + 1);
    const std::optional<TagValue> entry = parseDumpLine(
        dump.mid(from, end == std::u16string_view::npos ? -1 : static_cast<qsizetype>(end) - from));
    return entry && entry->tag == QLatin1String("Error") ? entry->value : QString();
}

/// True when `dump` has a line that gives a row.
bool hasRows(const QString& dump)
{
    const QStringList lines = dumpLines(dump);
    return std::any_of(lines.begin(), lines.end(),
                       [](const QString& line) { return parseDumpLine(line).has_value(); });
}

} // namespace

QString SearchEngine::whyUnreadable(const QString& path) const
{
    const FileStamp stamp = m_system.files->stamp(path);
    if (stamp.kind == FileStamp::Kind::Missing)
        return missingReason();
    if (stamp.isSpecial())
        return QStringLiteral("Not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QStringLiteral("exiftool gave no metadata");
}

SearchEngine::SearchEngine(const SystemServices& system, QString exiftool, int sessions)
    : m_system(system), m_exifTool(system, std::move(exiftool)),
      m_reader(system, m_exifTool, sessions), m_tagNames(system, m_exifTool, m_reader)
{
    if (m_system.settings)
        m_sidecars = m_system.settings->read(Setting::Sidecars) != QLatin1String("0");
}

void SearchEngine::setStopRequest(std::function<bool()> stopRequested)
{
    m_stopRequested = stopRequested;
    m_exifTool.setStopRequest(stopRequested);
    m_reader.setStopRequest(std::move(stopRequested));
}

void SearchEngine::abort()
{
    m_reader.closeSessions();
}

void SearchEngine::finish()
{
    // No image starts once the search is over, nor goes on being read for it.
    m_reader.endReadAhead();
    m_reader.flushStore();
}

QStringList SearchEngine::collectImages(const SearchRequest& request,
                                        std::vector<SearchProblem>& problems) const
{
    QStringList images;
    // A folder that cannot be walked is told of, as a problem of the folder being walked, and
    // the rest of the tree still walked.
    QString folder;
    FolderScan scan(
        m_system,
        [&problems, &folder](int, const QString& description, int) {
            problems.push_back({SearchProblem::Kind::FolderUnreadable, folder, description});
        },
        [&images](const QString& path) { images.append(path); });
    for (const QString& path : request.paths) {
        if (m_system.files->stamp(path).kind == FileStamp::Kind::Missing) {
            problems.push_back({SearchProblem::Kind::PathMissing, path, missingReason()});
            continue;
        }
        if (!scan.IsFolder(path)) {
            images.append(path);
            continue;
        }
        folder = withoutTrailingSlashes(path);
        // Each extension walks the tree anew; a file that two of them match is listed once
        // for the folder.
        QSet<QString> listed;
        for (const QString& extension : request.extensions) {
            try {
                const int before = static_cast<int>(images.size());
                scan.CollectFolderTree(folder, QStringLiteral("*.") + extension);
                if (request.extensions.size() < 2)
                    continue;
                QStringList kept = images.mid(0, before);
                for (int k = before; k < images.size(); ++k) {
                    if (!listed.contains(images.at(k)))
                        kept.append(images.at(k));
                }
                images = kept;
                for (int k = before; k < images.size(); ++k)
                    listed.insert(images.at(k));
            } catch (const Failure& failure) {
                problems.push_back(
                    {SearchProblem::Kind::FolderUnreadable, folder, failure.description()});
            }
        }
    }
    return images;
}

/// One search in progress.
struct SearchEngine::Run
{
    Run(const SearchQuery& query, const ImageSource& source, HitSink& sink)
        : query(query), source(source), sink(sink)
    {
    }
    const SearchQuery& query;
    const ImageSource& source;
    HitSink& sink;
    /// The images there were as the search began.
    int count = 0;
    QString program;
    /// The hits of the images that the cache file's pass found, by absolute path, until their
    /// turn (the pass's copy goes then: a path listed again is found in the cache file).
    QHash<QString, QByteArray> swept;
    /// Each image's sidecar, by the image's absolute path; the sidecars that have an image of
    /// the run, which are not searched on their own.
    QHash<QString, QString> sidecarOf;
    QSet<QString> paired;
    SearchOutcome outcome;
    bool stopped = false;
    /// Images in a row that exiftool did not answer, or failed on as a tool that cannot work.
    int unansweredInARow = 0;
    int failingInARow = 0;
    QString lastToolError;

    void tell(SearchProblem problem)
    {
        outcome.problems.push_back(std::move(problem));
        sink.problem(outcome.problems.back());
    }
    /// Image `i` searched, with `hits` of them.
    void searched(int i, qint64 hits)
    {
        ++outcome.imagesSearched;
        sink.progress(i, count);
        if (hits > 0) {
            ++outcome.imagesWithHits;
            outcome.hits += hits;
        }
    }
};

QString SearchEngine::absolute(const QString& path) const
{
    return path.isEmpty() || path.startsWith(QLatin1Char('/')) ? path
                                                               : m_here + QLatin1Char('/') + path;
}

SearchEngine::Dump SearchEngine::readImage(Run& run, int i)
{
    const QString path = absolute(run.source.pathAt(i));
    Dump dump;
    // A device, FIFO or socket (or a link to one) gives no rows: exiftool could wait on it
    // for ever.
    if (m_system.files->stamp(path).isSpecial())
        return dump;
    m_exifTool.resetStartFailed();
    if (m_oneShot) {
        dump.text = m_exifTool.DumpMetadata(path, run.sink.readProgress(), run.sink.readReport());
        dump.stopped = m_exifTool.wasStopped();
    } else {
        // The next images are read ahead while this one is searched; this one is asked first,
        // so that it never waits behind them.
        const int ahead = std::min(run.source.count(), i + m_reader.readAhead());
        for (int j = i; j <= ahead; ++j) {
            const QString full = absolute(run.source.pathAt(j));
            m_reader.prefetch(run.program, full);
            if (const QString sidecar = run.sidecarOf.value(full); !sidecar.isEmpty())
                m_reader.prefetch(run.program, sidecarRowsKey(sidecar));
        }
        dump.text =
            m_reader.read(run.program, path, run.sink.readProgress(), run.sink.readReport());
        dump.stopped = m_reader.wasStopped();
        dump.gaveUp = m_reader.gaveUp();
    }
    dump.toolMissing = m_exifTool.startFailed();
    dump.toolError = m_exifTool.toolError();
    dump.unanswered = m_exifTool.wasUnanswered();
    return dump;
}

SearchEngine::Dump SearchEngine::readKey(Run& run, const QString& key)
{
    Dump dump;
    if (m_system.files->stamp(fileOfKey(key)).isSpecial())
        return dump;
    m_exifTool.resetStartFailed();
    if (m_oneShot) {
        dump.text = m_exifTool.DumpMetadata(key, run.sink.readProgress(), run.sink.readReport());
        dump.stopped = m_exifTool.wasStopped();
        m_exifTool.removeTempFiles();
    } else {
        dump.text = m_reader.read(run.program, key, run.sink.readProgress(), run.sink.readReport());
        dump.stopped = m_reader.wasStopped();
    }
    return dump;
}

QStringList SearchEngine::absolutePaths(const Run& run) const
{
    QStringList paths;
    paths.reserve(run.count);
    for (int i = 1; i <= run.count; ++i)
        paths.append(absolute(run.source.pathAt(i)));
    return paths;
}

void SearchEngine::findSidecars(Run& run, const QStringList& paths)
{
    SidecarFinder finder(*m_system.files);
    for (const QString& full : paths) {
        const QString sidecar = finder.of(full);
        if (!sidecar.isEmpty()) {
            run.sidecarOf.insert(full, sidecar);
            run.paired.insert(sidecar);
        }
    }
}

qint64 SearchEngine::searchSidecar(Run& run, const QString& path, const QString& full,
                                   const QString& imageDump, QList<TagValue>& hits)
{
    const QString sidecar = run.sidecarOf.value(full);
    if (sidecar.isEmpty())
        return hits.size();
    Dump dump;
    run.sink.step(SearchStep::Read, [&] { dump = readKey(run, sidecarRowsKey(sidecar)); });
    if (dump.stopped) {
        run.stopped = true;
        return hits.size();
    }
    // A sidecar that cannot be read, or holds no XMP, gives no rows and is said once.
    QString problem = dump.text.isEmpty() ? whyUnreadable(sidecar) : errorOf(dump.text);
    QList<TagValue> sidecarHits;
    run.sink.step(SearchStep::Match,
                  [&] { hits = run.query.matchingRows(imageDump, dump.text, sidecarHits); });
    if (problem.isEmpty() && !hasRows(dump.text))
        problem = QStringLiteral("holds no XMP metadata");
    if (!problem.isEmpty())
        run.tell({SearchProblem::Kind::ImageUnreadable, sidecar, problem});
    if (!hits.isEmpty())
        run.sink.found(path, hits);
    if (!sidecarHits.isEmpty())
        run.sink.foundInSidecar(path, sidecar, sidecarHits);
    return hits.size() + sidecarHits.size();
}

bool SearchEngine::toolWorks(Run& run, const QString& path, const Dump& dump)
{
    // Two images in a row that exiftool did not answer: a third would cost the same wait.
    run.unansweredInARow = dump.unanswered ? run.unansweredInARow + 1 : 0;
    if (dump.gaveUp || run.unansweredInARow >= kUnansweredToGiveUp) {
        run.tell({SearchProblem::Kind::ToolUnanswered, QString(), QString()});
        return false;
    }
    // An exiftool that cannot work fails on every image; one image it fails on may be its
    // own fault, so the search goes on to the next.
    if (dump.toolError.isEmpty() || !dump.text.isEmpty()) {
        run.failingInARow = 0;
        return true;
    }
    run.lastToolError = dump.toolError;
    if (++run.failingInARow < kFailuresToGiveUp)
        return true;
    run.tell({SearchProblem::Kind::ToolFails, path, dump.toolError});
    return false;
}

SearchOutcome SearchEngine::run(const SearchRequest& request, HitSink& sink)
{
    setStopRequest(request.stopRequested);
    std::vector<SearchProblem> problems;
    const ImageList images(collectImages(request, problems));
    for (const SearchProblem& problem : problems)
        sink.problem(problem);
    SearchOutcome outcome = run(request.query, images, sink);
    outcome.problems.insert(outcome.problems.begin(), problems.begin(), problems.end());
    return outcome;
}

std::shared_ptr<const TagVocabulary> SearchEngine::tagVocabulary(DumpProgress progress)
{
    return m_tagNames.of(m_exifTool.EnsureExifTool(), std::move(progress));
}

QStringList SearchEngine::tagSuggestions()
{
    DumpStore* store = m_reader.cacheFile();
    if (!store)
        return {};
    const QHash<QString, int> counts = store->tagsInUse(kSuggestionSample);
    std::vector<std::pair<int, QString>> byUse;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        byUse.emplace_back(-it.value(), it.key());
    std::sort(byUse.begin(), byUse.end());
    const std::shared_ptr<const TagVocabulary> names = m_tagNames.last();
    QStringList words;
    QSet<QString> seen;
    const auto offer = [&](const QString& word) {
        if (!word.isEmpty() && !seen.contains(word.toCaseFolded())) {
            seen.insert(word.toCaseFolded());
            words.append(word);
        }
    };
    for (const auto& [count, tag] : byUse) {
        // Lines that give no row.
        if (tag == QLatin1String("ExifTool Version Number") || tag == QLatin1String("Directory"))
            continue;
        if (names) {
            for (const QString& name : names->writtenNamesOf(tag))
                offer(name);
        }
        offer(QString(tag).remove(QLatin1Char(' ')));
    }
    return words;
}

SearchOutcome SearchEngine::run(const SearchQuery& query, const ImageSource& source, HitSink& sink)
{
    Run run(query, source, sink);
    run.count = source.count();
    if (run.count > 0)
        sink.step(SearchStep::FindTool, [&] { run.program = m_exifTool.EnsureExifTool(); });
    if (run.count > 0 && run.program.isEmpty()) {
        run.tell({SearchProblem::Kind::ToolMissing, QString(), QString()});
        run.outcome.status = SearchOutcome::Status::Failed;
        return run.outcome;
    }
    m_here = m_system.files->currentFolder();
    const QStringList paths = absolutePaths(run);
    if (m_sidecars && run.count > 0)
        findSidecars(run, paths);
    // Sessions start at the first image that needs exiftool: a search that the cache answers
    // starts none. An exiftool or configuration changed since the last search is seen here,
    // and what the background has not read yet is asked for in the search's own order.
    if (!m_oneShot && run.count > 0) {
        m_reader.dropQueue();
        m_reader.checkTool(run.program);
        sweep(run, paths);
    }
    if (run.count > 0 && !sink.readyToRead()) {
        run.outcome.status = SearchOutcome::Status::Failed;
        finish();
        return run.outcome;
    }
    for (int i = 1; i <= run.count; ++i) {
        if (!searchImage(run, i))
            break;
    }
    finish();
    // Every image searched failed as exiftool itself fails: that is what the search came to.
    if (run.outcome.status != SearchOutcome::Status::Failed && run.failingInARow > 0 &&
        run.failingInARow == run.outcome.imagesSearched) {
        run.tell({SearchProblem::Kind::ToolFails, QString(), run.lastToolError});
        run.outcome.status = SearchOutcome::Status::Failed;
    }
    if (run.outcome.status != SearchOutcome::Status::Failed)
        run.outcome.status = run.stopped            ? SearchOutcome::Status::Stopped
                             : run.outcome.hits > 0 ? SearchOutcome::Status::Found
                                                    : SearchOutcome::Status::NothingFound;
    return run.outcome;
}

void SearchEngine::sweep(Run& run, const QStringList& paths)
{
    std::vector<std::optional<QByteArray>> found = m_reader.sweep(run.program, paths, run.query);
    run.swept.reserve(static_cast<qsizetype>(found.size()));
    for (size_t k = 0; k < found.size(); ++k) {
        if (found[k])
            run.swept.insert(paths.at(static_cast<qsizetype>(k)), std::move(*found[k]));
    }
}

bool SearchEngine::searchImage(Run& run, int i)
{
    const QString path = run.source.pathAt(i);
    run.sink.imageStarting(i, run.count, path);
    if (!goesOn(run))
        return false;
    // A row removed during the search reads as no path, never as the previous image's.
    if (path.isEmpty())
        return true;
    const QString full = absolute(path);
    // A sidecar is searched with its image, not again on its own.
    if (run.paired.contains(full))
        return goesOn(run);
    const bool sidecar = run.sidecarOf.contains(full);
    const auto swept = run.swept.find(full);
    // A query matches an image and its sidecar together: the pass over the cache file saw
    // the image alone.
    if (swept != run.swept.end() && (!sidecar || !run.query.isQuery())) {
        const QByteArray packed = std::move(swept.value());
        run.swept.erase(swept);
        if (!packed.isEmpty())
            run.sink.foundPacked(path, packed);
        QList<TagValue> none;
        const qint64 sidecarHits = sidecar ? searchSidecar(run, path, full, QString(), none) : 0;
        run.searched(i, packed.count('\n') + sidecarHits);
        return goesOn(run);
    }
    Dump dump;
    try {
        run.sink.step(SearchStep::Read, [&] { dump = readImage(run, i); });
    } catch (const Failure& failure) {
        // Only the one-shot way writes files (the temp folder): what keeps it from working
        // keeps this image from being read, not the others.
        run.tell({SearchProblem::Kind::ImageUnreadable, path, failure.description()});
        removeTempFiles(run);
        return true;
    }
    if (dump.toolMissing) {
        removeTempFiles(run);
        run.tell({SearchProblem::Kind::ToolMissing, QString(), QString()});
        run.outcome.status = SearchOutcome::Status::Failed;
        return false;
    }
    if (!toolWorks(run, path, dump)) {
        removeTempFiles(run);
        run.outcome.status = SearchOutcome::Status::Failed;
        return false;
    }
    // An image cut short by Stop is not searched: its output is incomplete.
    if (dump.stopped)
        run.stopped = true;
    else
        searchDump(run, i, path, dump);
    removeTempFiles(run);
    return goesOn(run);
}

void SearchEngine::searchDump(Run& run, int i, const QString& path, const Dump& dump)
{
    const QString full = absolute(path);
    if (dump.text.isEmpty()) {
        run.tell({SearchProblem::Kind::ImageUnreadable, path,
                  dump.toolError.isEmpty() ? whyUnreadable(full) : dump.toolError});
    } else if (const QString error = errorOf(dump.text); !error.isEmpty()) {
        // exiftool names what kept it from reading a file ("File is empty", "File format
        // error") on a line of its output; the other lines are searched all the same.
        run.tell({SearchProblem::Kind::ImageUnreadable, path, error});
    }
    QList<TagValue> hits;
    if (run.sidecarOf.contains(full)) {
        run.searched(i, searchSidecar(run, path, full, dump.text, hits));
        return;
    }
    if (dump.text.isEmpty()) {
        run.searched(i, 0);
        return;
    }
    run.sink.step(SearchStep::Match, [&] { hits = run.query.matchingRows(dump.text); });
    run.searched(i, hits.size());
    if (!hits.isEmpty())
        run.sink.found(path, hits);
}

void SearchEngine::removeTempFiles(Run& run)
{
    run.sink.step(SearchStep::RemoveTempFiles, [this] { m_exifTool.removeTempFiles(); });
}

bool SearchEngine::goesOn(Run& run) const
{
    if (m_stopRequested && m_stopRequested())
        run.stopped = true;
    return !run.stopped;
}

} // namespace tagsifter
