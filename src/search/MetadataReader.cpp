#include "MetadataReader.h"

#include "core/DumpParser.h"
#include "core/FileNameBytes.h"
#include "exiftool/ToolIdentity.h"

#include <QtConcurrent/QtConcurrentMap>

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

MetadataReader::MetadataReader(const Platform& platform, ExifTool& oneShot, int sessions,
                               QObject* parent)
    : QObject(parent), m_platform(platform), m_oneShot(oneShot),
      m_sessions(
          platform, [&oneShot] { return oneShot.workingFolder(); },
          sessions > 0 ? sessions : std::max(1, QThread::idealThreadCount()))
{
    connect(&m_sessions, &SessionPool::answered, this, &MetadataReader::takeAnswer);
    connect(&m_sessions, &SessionPool::died, this, &MetadataReader::retry);
    if (m_platform.settings)
        m_memory.setLimit(m_platform.settings->read(Setting::MemoryCacheMB).toLongLong() << 20);
}

MetadataReader::~MetadataReader()
{
    flushStore();
    closeSessions();
}

std::optional<QByteArray> MetadataReader::recall(const QString& program, const QString& path,
                                                 const FileStamp& stamp)
{
    std::optional<QByteArray> dump = m_memory.find(path, stamp);
    if (!dump) {
        if (program != m_program)
            checkTool(program);
        DumpStore* store = storeFor();
        if (store && (dump = store->find(path, stamp)))
            m_memory.insert(path, stamp, *dump);
    }
    return dump;
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
        inFile ? recall(program, path, stamp) : m_memory.find(path, stamp);
    if (!dump)
        return std::nullopt;
    // Kept from an earlier read, the dump reads as a fresh one.
    return QString::fromUtf8(withFileTimes(*dump, stamp));
}

void MetadataReader::keep(const QString& path, const FileStamp& stamp, const QString& dump,
                          const QString& configStamp)
{
    QByteArray bytes = dump.toUtf8();
    // toUtf8 leaves room for three bytes a character: the cache counts what it holds.
    bytes.squeeze();
    // The memory serves the exiftool of now only; an answer of a configuration since changed
    // is filed under its own, in the file.
    if (configStamp == m_configStamp)
        m_memory.insert(path, stamp, bytes);
    DumpStore* store = storeFor();
    if (!store)
        return;
    // A dump says which exiftool wrote it, and is filed under that exiftool only: the version
    // is learnt from the first dump read, so no exiftool is started just to ask for it, and an
    // exiftool replaced under the same file stamp is noticed at its first answer.
    const QString version = exiftoolVersionOf(bytes);
    if (version.isEmpty())
        return;
    if (version != m_version) {
        m_version = version;
        store->rememberVersion(m_program, m_programStamp, version);
        store->setTool(toolKey(version, m_configStamp));
    }
    store->insert(path, stamp, bytes, toolKey(version, configStamp));
}

QString MetadataReader::toolKey(const QString& version, const QString& configStamp)
{
    // "m": dumps read by sessions that loaded every module with Composite tags first.
    return version + QLatin1Char(' ') + configStamp + QLatin1Char(' ') +
           QLatin1String(DumpStore::kFormat) + QLatin1String(" m");
}

void MetadataReader::checkTool(const QString& program)
{
    const QString programStamp = ToolIdentity::programStamp(*m_platform.files, program);
    const QString configStamp =
        ToolIdentity::configStamp(*m_platform.files, program, m_oneShot.workingFolder());
    if (program == m_program && programStamp == m_programStamp && configStamp == m_configStamp)
        return;
    // Another exiftool, or another configuration: what the sessions and the memory hold was
    // printed by the old one.
    if (!m_program.isEmpty()) {
        closeSessions();
        m_memory.clear();
        m_failures.clear();
    }
    m_program = program;
    m_programStamp = programStamp;
    m_configStamp = configStamp;
    m_version.clear();
    if (DumpStore* store = storeFor()) {
        // Until the version of this program file is known, nothing is found in the file.
        m_version = store->knownVersion(program, programStamp);
        store->setTool(m_version.isEmpty() ? QString() : toolKey(m_version, configStamp));
    }
}

DumpStore* MetadataReader::storeFor()
{
    if (!m_storeTried) {
        m_storeTried = true;
        const qint64 megabytes = m_platform.settings
                                     ? m_platform.settings->read(Setting::DiskCacheMB).toLongLong()
                                     : DumpStore::kDefaultLimitBytes >> 20;
        if (!m_platform.dumpCacheFile.isEmpty() && megabytes > 0) {
            // No cache file is no failure: the search reads through exiftool.
            try {
                m_store = std::make_unique<DumpStore>(m_platform.dumpCacheFile, megabytes << 20);
                if (!m_program.isEmpty()) {
                    m_version = m_store->knownVersion(m_program, m_programStamp);
                    if (!m_version.isEmpty())
                        m_store->setTool(toolKey(m_version, m_configStamp));
                }
            } catch (...) {
                m_store.reset();
            }
        }
    }
    return m_store && m_store->isUsable() ? m_store.get() : nullptr;
}

void MetadataReader::flushStore()
{
    if (m_store)
        m_store->flush();
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
    keep(path, stamp, dump, configStamp);
    m_failures.remove(path);
    m_hungImages.clear();
    ++m_reads;
    dispatch(program);
}

void MetadataReader::retry(const QString& program, const QString& path,
                           const QStringList& unanswered)
{
    // The images asked after it go round again as they were, first.
    for (auto it = unanswered.rbegin(); it != unanswered.rend(); ++it)
        enqueue(*it, true);
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
        const QString path = m_queue.front();
        m_queue.pop_front();
        m_queued.remove(path);
        session->request(path, stampOf(path));
    }
}

std::vector<std::optional<QByteArray>>
MetadataReader::sweep(const QString& program, const QStringList& paths, const SearchQuery& query)
{
    std::vector<std::optional<QByteArray>> results(static_cast<size_t>(paths.size()));
    if (program != m_program)
        checkTool(program);
    DumpStore* store = storeFor();
    if (!store || m_version.isEmpty())
        return results;
    // A pass reads every dump of the file; a query reads one. For a few images of a large
    // file the queries are quicker.
    const qint64 rows = store->rowEstimate();
    if (paths.size() < kSweepMinimum || paths.size() * kSweepShare < rows)
        return results;
    std::vector<FileStamp> stamps(static_cast<size_t>(paths.size()));
    QHash<QByteArray, std::pair<int, FileStamp>> wanted;
    wanted.reserve(paths.size());
    // The stamps on every core: a library's files are looked at one call each.
    QtConcurrent::blockingMap(stamps, [&](FileStamp& stamp) {
        const QString& path = paths.at(static_cast<int>(&stamp - stamps.data()));
        if (!path.isEmpty())
            stamp = stampOf(path);
    });
    for (int i = 0; i < paths.size(); ++i) {
        const FileStamp& stamp = stamps[static_cast<size_t>(i)];
        if (!paths.at(i).isEmpty() && stamp.kind == FileStamp::Kind::Regular)
            wanted.insert(encodeFileName(paths.at(i)), {i, stamp});
    }
    const bool timesFirst = query.mayMatchTimes();
    struct Found
    {
        int index;
        QByteArray compressed;
    };
    // Inflated, ruled out on their bytes or decoded and matched, on every core, while this
    // thread reads the next batch from the file; the rows are the ones a read of the image
    // would give.
    const auto search = [&](Found& found) {
        std::optional<QByteArray> bytes = DumpStore::inflate(found.compressed);
        found.compressed.clear();
        if (!bytes)
            return;
        // The file time lines are written anew only when the text could be found in a time:
        // otherwise neither the kept times nor the new ones give a row.
        if (timesFirst)
            bytes = withFileTimes(*bytes, stamps[static_cast<size_t>(found.index)]);
        QList<TagValue> hits;
        if (query.mayMatch(*bytes))
            hits = query.matchingRows(*bytes);
        // Packed: a library's hits are held until they become rows.
        results[static_cast<size_t>(found.index)] = packEntries(hits);
    };
    std::vector<Found> batch, working;
    QFuture<void> inFlight;
    const auto startBatch = [&] {
        inFlight.waitForFinished();
        working = std::move(batch);
        batch.clear();
        inFlight = QtConcurrent::map(working, search);
    };
    store->scan(wanted, [&](int index, QByteArray compressed) {
        batch.push_back({index, std::move(compressed)});
        if (static_cast<int>(batch.size()) >= kSweepBatch)
            startBatch();
    });
    startBatch();
    inFlight.waitForFinished();
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
    if (program != m_program)
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
        if (stamp.kind != FileStamp::Kind::Regular || m_memory.contains(path, stamp) ||
            unknown.contains(key))
            continue;
        unknown.insert(key, {i, stamp});
        toRead[static_cast<size_t>(i)] = true;
    }
    if (DumpStore* store = storeFor(); store && !m_version.isEmpty())
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
    if (stamp.isSpecial() || recall(program, path, stamp))
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
    const QString configStamp =
        ToolIdentity::configStamp(*m_platform.files, m_program, m_oneShot.workingFolder());
    QString dump = m_oneShot.DumpMetadata(path, std::move(progress), report);
    m_oneShot.removeTempFiles();
    m_stopped = m_oneShot.wasStopped();
    if (!m_stopped && !m_oneShot.startFailed() && m_oneShot.wasComplete())
        keep(path, stamp, dump, configStamp);
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
    if (program != m_program)
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
