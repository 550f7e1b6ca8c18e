#pragma once

#include "CacheSweep.h"
#include "DumpKeeper.h"
#include "SessionPool.h"
#include "core/DumpParser.h"
#include "core/SystemServices.h"
#include "exiftool/ExifTool.h"
#include "query/SearchQuery.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tagsifter {

/// Reads images' dumps through several exiftool sessions at once, ahead of the search run,
/// and keeps each dump for the life of the program, keyed on the path and the file's size,
/// modification and status-change times.
class MetadataReader : public QObject
{
    Q_OBJECT
public:
    /// What names the exiftool of `version` with the configuration of `configStamp`.
    static QString toolKey(const QString& version, const QString& configStamp)
    {
        return ToolWatch::key(version, configStamp);
    }
    MetadataReader(const SystemServices& system, ExifTool& oneShot, int sessions = 0,
                   QObject* parent = nullptr);
    ~MetadataReader() override;

    /// Looks whether `program`, or the configuration it loads, has changed since it was last
    /// looked at: then the sessions end and the memory is forgotten, and the cache file
    /// serves the new one. A search does this as it starts.
    void checkTool(const QString& program);
    /// What the cache file already holds for `paths` (as they are now), searched for `query` in
    /// one pass over the file, on every core: for each path known there, its hits (maybe
    /// none) as packEntries holds them; nothing for the others, which are read as ever. Done
    /// only when the paths are enough of the file for one pass to beat a query each.
    std::vector<std::optional<QByteArray>> sweep(const QString& program, const QStringList& paths,
                                                 const SearchQuery& query);
    /// Reads `paths` (the file list, in its order) through the sessions while the user is still
    /// typing: what they answer is kept in memory and in the cache file, so that the search
    /// finds it there. Images known already are left out. It ends with the read-ahead.
    void readInBackground(const QString& program, const QStringList& paths);
    /// Forgets the images waiting to be read in the background (those asked already are still
    /// answered): a search asks for its images itself, in its own order.
    void dropQueue();
    /// Starts sessions for a list of `images`, up to one per core, before anything is asked.
    void warmUp(const QString& program, int images);
    /// Starts reading `path` in the background unless it is known or under way. An image is
    /// looked at once until the read-ahead ends: then it is known, under way, or given up.
    void prefetch(const QString& program, const QString& path);
    /// The dump of `path`, waiting for it while the window stays alive; the empty text when
    /// there is none. A stop request ends the wait and the sessions' work.
    QString read(const QString& program, const QString& path, DumpProgress progress,
                 StepReport* report = nullptr);
    bool wasStopped() const { return m_stopped; }
    /// True when the last read ended because exiftool's sessions hung on kHangsToGiveUp images
    /// without an answer between: exiftool does not answer.
    bool gaveUp() const { return m_gaveUp; }
    static constexpr int kHangsToGiveUp = 2;
    /// Ends every session (they start again when needed).
    void closeSessions();
    /// Forgets the images asked ahead and ends the sessions still reading them: nothing more
    /// is read for a run that is over.
    void endReadAhead();
    /// How many images to ask for ahead of the one searched: enough that each session holds
    /// kDepth whole batches and the others go on while one reads a slow image, few enough that
    /// their dumps stay in memory.
    int readAhead() const { return kBatchImages * kDepth * m_sessions.limit(); }
    /// A sweep needs this many images, and at least one image in this many rows of the file.
    static constexpr int kSweepMinimum = CacheSweep::kMinimum;
    static constexpr int kSweepShare = CacheSweep::kShare;
    /// Requests written to a session before its first is answered.
    static constexpr int kDepth = SessionPool::kDepth;
    /// Images one request names at most: exiftool spends less on a command of several images
    /// than on a command each. An idle session starts on one image at once; one that is still
    /// reading takes a whole batch, or what is there when a search waits for its first.
    static constexpr int kBatchImages = 8;
    /// A file larger than this goes alone. exiftool writes a batch's text in blocks, so an
    /// image's text is seen only once the next one's has begun: an image slow to read (most
    /// are large) would keep the one before it waiting, and the search would show that one.
    static constexpr qint64 kAloneBytes = 16 << 20;
    /// A read that waits this long shows its image's name (as often as a run shows its
    /// progress).
    static constexpr int kShowWaitMs = 50;
    int sessionCount() const { return m_sessions.limit(); }
    /// Asked during every wait; a true answer ends the wait and the sessions' work.
    void setStopRequest(std::function<bool()> stopRequested)
    {
        m_stopRequested = std::move(stopRequested);
    }
    /// A session that has written nothing for this long is taken as hung: it is ended and the
    /// image tried again.
    void setHangTimeout(int ms) { m_hangMs = ms; }
    /// After a stop request the image in progress may still be answered for this long.
    void setStopGrace(int ms) { m_stopGraceMs = ms; }
    /// The cache file, opened at the first need; null when there is none or it cannot be used.
    DumpStore* cacheFile() { return m_keeper.cacheFile(); }
    /// Writes the dumps read since the last batch to the cache file.
    void flushStore() { m_keeper.flush(); }
    DumpCache& memory() { return m_keeper.memory(); }
    /// Images waiting to be asked of a session.
    int queuedCount() const { return static_cast<int>(m_queue.size()); }
    /// Images read by exiftool so far (dumps taken from memory do not count).
    int exiftoolReads() const { return m_reads; }

private:
    FileStamp stampOf(const QString& path) const { return m_keeper.stampOf(path); }
    /// The dump of `path` as read under `stamp`, from memory or (`inFile`) the cache file.
    std::optional<QString> known(const QString& program, const QString& path,
                                 const FileStamp& stamp, bool inFile = true);
    void enqueue(const QString& path, bool first);
    /// True when the sessions cannot read `path`: it failed in them too often, or no session
    /// runs or can be started for it.
    bool sessionsGaveUp(const QString& program, const QString& path);
    QString readOneShot(const QString& path, const FileStamp& stamp, DumpProgress progress,
                        StepReport* report);
    /// The wait of read() for the sessions' answer for `path` (asked for already), with the
    /// one-shot way when they give up, a stop request and the hang limit seen to.
    QString waitForAnswer(const QString& program, const QString& path, DumpProgress progress,
                          StepReport* report);
    /// Ends the sessions that have not answered within the hang limit.
    void endHungSessions();
    /// A session's answer for `path`, filed and handed to a read that waits for it.
    void takeAnswer(const QString& program, const QString& configStamp, const QString& path,
                    const FileStamp& stamp, const QString& dump);
    /// A session died reading `path`: it and `unanswered` go round again.
    void retry(const QString& program, const QString& path, const QStringList& unanswered);
    bool isPending(const QString& path) const;
    /// Asks the sessions for the images in line, as many to a request as suits.
    void dispatch(const QString& program);
    /// The images of the next request, taken from the front of the line: up to `most`, or one
    /// that goes alone. Nothing when `fullOnly` and the line does not hold a whole batch yet.
    std::vector<ExifSession::Request> takeBatch(int most, bool fullOnly);

    SystemServices m_system;
    ExifTool& m_oneShot;
    /// True while only reading ahead of a search not yet asked for: sessions started then run
    /// below the programs the user works with (and keep that priority for their life).
    bool m_background = false;
    SessionPool m_sessions;
    std::deque<QString> m_queue;
    QSet<QString> m_queued;
    /// The images read ahead since the read-ahead last ended.
    QSet<QString> m_lookedAhead;
    /// The dumps read so far, in memory and in the cache file, and the exiftool they came from.
    DumpKeeper m_keeper;
    /// Answers that came for images of the read-ahead or the one being read, until their
    /// reads take them: they reach them whatever the memory cache keeps.
    struct Answer
    {
        FileStamp stamp;
        QString dump;
    };
    QHash<QString, Answer> m_ready;
    QString m_reading;
    QHash<QString, int> m_failures;
    std::function<bool()> m_stopRequested;
    bool m_stopped = false;
    bool m_gaveUp = false;
    /// The images sessions hung on since a session last answered.
    QSet<QString> m_hungImages;
    /// Images of a request that died or hung: each is asked alone until it is answered, so
    /// that the one at fault is known.
    QSet<QString> m_alone;
    int m_reads = 0;
    int m_hangMs = 30000;
    int m_stopGraceMs = ExifTool::kStopGracePolls * ExifTool::kPollMs;
};

} // namespace tagsifter
