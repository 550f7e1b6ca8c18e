#include "MetadataReader.h"

#include "core/DumpParser.h"
#include "core/FileNameBytes.h"
#include "core/Sidecar.h"
#include "search/CacheSweep.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace tagsifter {

namespace {
// A session that dies or hangs twice on the same image hands it to the one-shot way.
constexpr int kSessionAttempts = 2;
} // namespace

MetadataReader::MetadataReader(const SystemServices& system, ExifTool& oneShot, int sessions,
                               QObject* parent)
    : QObject(parent), m_system(system), m_oneShot(oneShot),
      m_sessions(
          system, [&oneShot] { return oneShot.workingFolder(); },
          sessions > 0 ? sessions : std::max(1, QThread::idealThreadCount())),
      m_keeper(system, [&oneShot] { return oneShot.workingFolder(); })
{
    connect(&m_sessions, &SessionPool::answered, this, &MetadataReader::takeAnswer);
    connect(&m_sessions, &SessionPool::died, this, &MetadataReader::retry);
}

MetadataReader::~MetadataReader()
{
    m_keeper.flush();
    closeSessions();
}

std::optional<QString> MetadataReader::known(const QString& program, const QString& path,
                                             const FileStamp& stamp, bool inFile)
{
    // An answer waiting for its read is taken whatever the memory cache kept of it.
    if (const auto ready = m_ready.find(path); ready != m_ready.end()) {
        const Answer answer = std::move(ready.value());
        m_ready.erase(ready);
        if (answer.stamp == stamp)
            return answer.dump;
    }
    const std::optional<QByteArray> dump =
        inFile ? m_keeper.recall(program, path, stamp) : m_keeper.memory().find(path, stamp);
    if (!dump)
        return std::nullopt;
    // Kept from an earlier read, the dump reads as a fresh one.
    return QString::fromUtf8(withFileTimes(*dump, stamp));
}

void MetadataReader::checkTool(const QString& program)
{
    // Another exiftool, or another configuration: the sessions run the old one.
    if (m_keeper.checkTool(program)) {
        closeSessions();
        m_failures.clear();
    }
}

void MetadataReader::enqueue(const QString& path, bool first)
{
    if (m_queued.contains(path)) {
        // Asked for now: it goes before what is read in the background.
        if (first) {
            m_queue.erase(std::find(m_queue.begin(), m_queue.end(), path));
            m_queue.push_front(path);
        }
        return;
    }
    m_queued.insert(path);
    if (first)
        m_queue.push_front(path);
    else
        m_queue.push_back(path);
}

bool MetadataReader::isPending(const QString& path) const
{
    if (m_queued.contains(path))
        return true;
    return m_sessions.isAsked(path);
}

void MetadataReader::endReadAhead()
{
    m_ready.clear();
    m_queue.clear();
    m_queued.clear();
    m_lookedAhead.clear();
    m_sessions.closeBusy();
}

void MetadataReader::closeSessions()
{
    m_hungImages.clear();
    m_alone.clear();
    endReadAhead();
    m_sessions.closeAll();
}

void MetadataReader::takeAnswer(const QString& program, const QString& configStamp,
                                const QString& path, const FileStamp& stamp, const QString& dump)
{
    // A read that waits for this answer takes it here, whatever the memory keeps.
    if (m_lookedAhead.contains(path) || path == m_reading)
        m_ready.insert(path, {stamp, dump});
    // Filed under the stamp the file had when it was asked for: a file rewritten since then
    // is read again.
    m_keeper.keep(path, stamp, dump, configStamp);
    m_failures.remove(path);
    m_alone.remove(path);
    m_hungImages.clear();
    ++m_reads;
    dispatch(program);
}

void MetadataReader::retry(const QString& program, const QString& path,
                           const QStringList& unanswered)
{
    // The images asked after it go round again as they were, first, each alone: in a request
    // of several, exiftool may have read the image blamed and died on the next.
    m_alone.insert(path);
    for (auto it = unanswered.rbegin(); it != unanswered.rend(); ++it) {
        m_alone.insert(*it);
        enqueue(*it, true);
    }
    // Restarted, and the image retried once; then it is read the one-shot way.
    if (++m_failures[path] < kSessionAttempts)
        enqueue(path, true);
    QTimer::singleShot(0, this, [this, program] { dispatch(program); });
}

void MetadataReader::dispatch(const QString& program)
{
    while (!m_queue.empty()) {
        ExifSession* session = m_sessions.free(program, m_background);
        if (!session)
            return;
        // An idle session starts on the first image at once; one still reading takes a whole
        // batch, or the image a search waits for.
        const std::vector<ExifSession::Request> batch =
            session->isBusy() ? takeBatch(kBatchImages, m_queue.front() != m_reading)
                              : takeBatch(1, false);
        if (batch.empty())
            return;
        session->request(batch);
    }
}

std::vector<ExifSession::Request> MetadataReader::takeBatch(int most, bool fullOnly)
{
    const auto alone = [this](const QString& path) {
        return isSidecarRowsKey(path) || m_alone.contains(path);
    };
    // A line too short for a batch, with no image that goes alone, is not looked at further.
    if (fullOnly && m_queue.size() < static_cast<size_t>(most) &&
        std::none_of(m_queue.begin(), m_queue.end(), alone))
        return {};
    std::vector<ExifSession::Request> batch;
    bool whole = false;
    for (const QString& path : m_queue) {
        const FileStamp stamp = stampOf(path);
        const bool single = alone(path) || stamp.size > kAloneBytes;
        if (!batch.empty() && single) {
            whole = true;
            break;
        }
        batch.push_back({path, stamp});
        if (single || static_cast<int>(batch.size()) == most) {
            whole = true;
            break;
        }
    }
    if (fullOnly && !whole)
        return {};
    for (size_t i = 0; i < batch.size(); ++i) {
        m_queued.remove(m_queue.front());
        m_queue.pop_front();
    }
    return batch;
}

std::vector<std::optional<QByteArray>>
MetadataReader::sweep(const QString& program, const QStringList& paths, const SearchQuery& query)
{
    if (program != m_keeper.tool().program())
        checkTool(program);
    std::vector<std::optional<QByteArray>> results = CacheSweep::run(m_keeper, paths, query);
    // The images known here are not read ahead by the search.
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i])
            m_lookedAhead.insert(paths.at(static_cast<int>(i)));
    }
    return results;
}

void MetadataReader::readInBackground(const QString& program, const QStringList& paths)
{
    m_background = true;
    if (program != m_keeper.tool().program())
        checkTool(program);
    // The images neither asked for, nor in memory, nor in the cache file (one look at it
    // tells), in list order; a path listed twice counts once.
    QHash<QByteArray, std::pair<int, FileStamp>> unknown;
    std::vector<bool> toRead(static_cast<size_t>(paths.size()));
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths.at(i);
        if (path.isEmpty() || m_queued.contains(path) || !ExifTool::fitsArgumentFile(path))
            continue;
        const QByteArray key = encodeFileName(path);
        const FileStamp stamp = stampOf(path);
        if (stamp.kind != FileStamp::Kind::Regular || m_keeper.memory().contains(path, stamp) ||
            unknown.contains(key))
            continue;
        unknown.insert(key, {i, stamp});
        toRead[static_cast<size_t>(i)] = true;
    }
    if (DumpStore* store = m_keeper.cacheFile(); store && !m_keeper.tool().version().isEmpty())
        store->scan(
            unknown, [&](int index, QByteArray) { toRead[static_cast<size_t>(index)] = false; },
            false);
    for (int i = 0; i < paths.size(); ++i) {
        if (toRead[static_cast<size_t>(i)])
            enqueue(paths.at(i), false);
    }
    dispatch(program);
}

void MetadataReader::dropQueue()
{
    m_queue.clear();
    m_queued.clear();
}

void MetadataReader::warmUp(const QString& program, int images)
{
    m_background = true;
    checkTool(program);
    const int wanted = std::min(images, m_sessions.limit());
    while (m_sessions.count() < wanted) {
        if (!m_sessions.start(program, m_background))
            return;
    }
}

void MetadataReader::prefetch(const QString& program, const QString& path)
{
    m_background = false;
    // A search asks for each image as many times as it reads ahead; only the first costs a
    // look at the file's stamp, memory and the cache file.
    if (path.isEmpty() || m_lookedAhead.contains(path))
        return;
    m_lookedAhead.insert(path);
    if (isPending(path) || m_ready.contains(path) || m_failures.value(path) >= kSessionAttempts ||
        !ExifTool::fitsArgumentFile(path))
        return;
    const FileStamp stamp = stampOf(path);
    if (stamp.isSpecial() || m_keeper.recall(program, path, stamp))
        return;
    enqueue(path, false);
    dispatch(program);
}

bool MetadataReader::sessionsGaveUp(const QString& program, const QString& path)
{
    // A name that an argument file cannot carry is read the one-shot way, as an argument.
    return !ExifTool::fitsArgumentFile(path) || m_failures.value(path) >= kSessionAttempts ||
           (m_sessions.isEmpty() && !isPending(path)) ||
           (m_sessions.isEmpty() && !m_sessions.free(program, m_background));
}

QString MetadataReader::readOneShot(const QString& path, const FileStamp& stamp,
                                    DumpProgress progress, StepReport* report)
{
    if (m_queued.remove(path))
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), path), m_queue.end());
    const QString configStamp = m_keeper.tool().configStampNow(m_keeper.tool().program());
    QString dump = m_oneShot.DumpMetadata(path, std::move(progress), report);
    m_oneShot.removeTempFiles();
    m_stopped = m_oneShot.wasStopped();
    if (!m_stopped && !m_oneShot.startFailed() && m_oneShot.wasComplete())
        m_keeper.keep(path, stamp, dump, configStamp);
    return dump;
}

void MetadataReader::endHungSessions()
{
    // A hung session is ended; its image goes round again like one whose session died.
    m_sessions.endHung(m_hangMs, [this](const QString& path) { m_hungImages.insert(path); });
}

QString MetadataReader::read(const QString& program, const QString& path, DumpProgress progress,
                             StepReport* report)
{
    m_stopped = false;
    m_gaveUp = false;
    m_background = false;
    if (program != m_keeper.tool().program())
        checkTool(program);
    m_reading = path;
    const auto done = qScopeGuard([this] { m_reading.clear(); });
    FileStamp stamp = stampOf(path);
    if (stamp.isSpecial())
        return QString();
    // An image under way was looked for in the cache file before it was asked for.
    const bool underWay = isPending(path);
    if (const std::optional<QString> dump = known(program, path, stamp, !underWay))
        return *dump;
    // A name that an argument file cannot carry is never asked of a session.
    if (!ExifTool::fitsArgumentFile(path))
        return readOneShot(path, stamp, std::move(progress), report);
    if (!underWay || m_queued.contains(path)) {
        m_failures.remove(path);
        enqueue(path, true);
    }
    dispatch(program);
    return waitForAnswer(program, path, std::move(progress), report);
}

QString MetadataReader::waitForAnswer(const QString& program, const QString& path,
                                      DumpProgress progress, StepReport* report)
{
    FileStamp stamp;
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer sinceStop;
    int shownPolls = 0;
    for (;;) {
        // The stamp now: a file rewritten while it was being read is read again.
        stamp = stampOf(path);
        if (stamp.isSpecial())
            return QString();
        // What the sessions read goes to memory; the file was looked at before the wait.
        if (const std::optional<QString> dump = known(program, path, stamp, false)) {
            progress.endWait();
            return *dump;
        }
        if (sessionsGaveUp(program, path))
            return readOneShot(path, stamp, std::move(progress), report);
        if (!isPending(path) && !sinceStop.isValid()) {
            // Answered, but for the file as it was before.
            enqueue(path, true);
            dispatch(program);
        }
        if ((m_stopRequested && m_stopRequested()) && !sinceStop.isValid()) {
            // No image starts after a stop request; the one in progress may still be answered.
            m_queue.clear();
            sinceStop.start();
        }
        if (sinceStop.isValid() && sinceStop.elapsed() >= m_stopGraceMs) {
            // Stop ends the sessions' work in progress too; they start afresh next time.
            closeSessions();
            m_stopped = true;
            progress.endWait();
            return QString();
        }
        // A wait long enough to be seen shows the image waited for; the short waits of a run
        // that keeps pace with its sessions do not repaint the window for every image.
        const qint64 sinceAsked = waited.elapsed();
        if (sinceAsked >= kShowWaitMs)
            progress.showStart();
        progress.beforeWait();
        m_sessions.waitForAny(sinceAsked >= kShowWaitMs
                                  ? ExifTool::kPollMs
                                  : static_cast<int>(kShowWaitMs - sinceAsked));
        endHungSessions();
        if (m_hungImages.size() >= kHangsToGiveUp) {
            // Waiting again for the same silence would cost the hang limit an image.
            closeSessions();
            m_gaveUp = true;
            progress.endWait();
            return QString();
        }
        // The same "Please wait.." text as a one-shot wait, counted in polls.
        const int polls = static_cast<int>(waited.elapsed() / ExifTool::kPollMs);
        for (int poll = shownPolls + 1; poll <= polls; ++poll)
            progress.showWait(poll);
        shownPolls = std::max(shownPolls, polls);
    }
}

} // namespace tagsifter
