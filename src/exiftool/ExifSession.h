#pragma once

#include "core/FileStamp.h"
#include "core/Process.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace tagsifter {

/// exiftool kept running in its stay-open mode: each image answered by the text a one-shot
/// `exiftool PATH` prints (the order of the trailing Composite tags aside: see preload()).
/// Requests may be written ahead of the answers, so that exiftool goes on to the next image
/// without waiting for this program to read the last one; they are answered in the order
/// asked. A request may name several images: exiftool reads them in one command, which costs
/// it less than a command each, and heads each image's text with a line that names it.
class ExifSession : public QObject
{
    Q_OBJECT
public:
    explicit ExifSession(std::unique_ptr<SessionChannel> channel, QObject* parent = nullptr);
    ~ExifSession() override;

    /// An image to read, with its stamp as it was asked for.
    struct Request
    {
        QString path;
        FileStamp stamp;
    };

    bool isBusy() const { return load() > 0; }
    /// Requests written and not wholly answered yet, however many images each names.
    int load() const { return m_requests; }
    bool isAlive() const;
    bool isAsked(const QString& path) const;
    /// The image being read now: the first asked and not answered; empty when there is none.
    QString reading() const;
    /// Has exiftool load `modules` before the first request, each on its own (a module this
    /// exiftool does not have is left out; exiftool skips what follows a failed one in the same
    /// command). exiftool orders an image's Composite tags by the modules loaded so far, so a
    /// session that loads every module with Composite tags at its start gives each image the
    /// same order, whatever it read before.
    void preload(const QStringList& modules);
    /// The exiftool modules that add Composite tags, but MWG, which changes their values.
    static QStringList compositeModules();
    /// Asks for the dump of `path`, whose stamp is `stamp` now; finished() or died() follows.
    void request(const QString& path, const FileStamp& stamp) { request({{path, stamp}}); }
    /// Asks for the dumps of `images` in one request, answered one by one in their order. An
    /// image that exiftool does not find gets an empty dump, as it does alone. Each image is
    /// named once, and a sidecar's rows (which take options of their own) are asked alone.
    void request(const std::vector<Request>& images);
    /// Ends the session without waiting for it: an idle one is asked to leave, killed a second
    /// later if it has not, and gone once it has ended; a busy one is killed, as its answers
    /// are no longer wanted.
    void close();
    /// Kills the process; the requests not answered end with died().
    void abort();
    /// How long the session has gone without output while it had requests: a slow dump that is
    /// still being written is not silent.
    qint64 silentMs() const { return isBusy() ? m_lastOutput.elapsed() : 0; }
    /// Bytes looked at in the search for answers' ends, over the session's life: about the
    /// bytes received, however they were cut into pieces.
    qint64 scannedBytes() const { return m_scannedBytes; }

    /// How long a session asked to leave may take before it is killed.
    static constexpr int kLeaveMs = 1000;

signals:
    /// The answer for `path`, read when it had `stamp`.
    void finished(const QString& path, const FileStamp& stamp, const QString& dump);
    /// The session ended while it was reading `path` (or loading its modules before it);
    /// `unanswered` were asked after it.
    void died(const QString& path, const QStringList& unanswered);

private:
    struct Asked
    {
        QString path;
        FileStamp stamp;
        QByteArray marker;
        /// A module loaded, not an image: its answer is no dump.
        bool preload = false;
        /// In a request of several images, the line that heads this one's text; empty alone.
        QByteArray header;
        /// The last image of its request.
        bool last = true;
    };

    void readOutput();
    /// The first request's answer when all of it has come, taken from the buffer.
    std::optional<QByteArray> takeAnswer();
    /// The same for an image of a request of several: its text runs from its heading line to
    /// the next image's, or to the request's marker.
    std::optional<QByteArray> takeSection();
    /// Whether `line` heads the text of an image asked after the first, in the first's request.
    bool headsALaterImage(QByteArrayView line) const;
    /// Ends the first image's answer: its text up to `end` (none when it had no heading line),
    /// the buffer taken up to `consumed`.
    QByteArray cutSection(qsizetype end, qsizetype consumed);

    std::unique_ptr<SessionChannel> m_channel;
    std::deque<Asked> m_asked;
    /// Preloads among m_asked.
    int m_preloads = 0;
    /// Requests for images among m_asked.
    int m_requests = 0;
    QByteArray m_buffer;
    /// Where the search for the marker goes on: the bytes before it were searched already.
    qsizetype m_scanned = 0;
    /// Where the first request's marker starts once it has been found, its line not yet whole.
    qsizetype m_markerAt = -1;
    /// In a request of several images, where the first image's text starts once its heading
    /// line has come.
    qsizetype m_sectionAt = -1;
    /// In a request of several images, where the line being read starts.
    qsizetype m_lineStart = 0;
    qint64 m_scannedBytes = 0;
    int m_sequence = 0;
    QElapsedTimer m_lastOutput;
};

} // namespace tagsifter
