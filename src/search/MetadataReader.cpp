#include "MetadataReader.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <sys/stat.h>

namespace tagsifter {

namespace {
// A session that dies or hangs twice on the same image hands it to the one-shot way.
constexpr int kSessionAttempts = 2;
} // namespace

ExifSession::ExifSession(std::unique_ptr<SessionChannel> channel, QObject* parent)
    : QObject(parent), m_channel(std::move(channel))
{
    connect(m_channel.get(), &SessionChannel::outputReady, this, &ExifSession::readOutput);
    connect(m_channel.get(), &SessionChannel::ended, this, [this] {
        if (isBusy()) {
            const QString path = std::exchange(m_path, QString());
            emit died(path);
        }
    });
}

ExifSession::~ExifSession()
{
    close();
}

bool ExifSession::isAlive() const
{
    return m_channel && m_channel->isRunning();
}

QByteArray ExifSession::argumentLine(const QString& path)
{
    const QByteArray raw = QFile::encodeName(path);
    if (raw.contains('\n') || raw.contains('\r')) {
        // exiftool's C-string form is the only way to pass a name holding a line break.
        QByteArray escaped;
        for (const char c : raw) {
            if (c == '\\')
                escaped += "\\\\";
            else if (c == '\n')
                escaped += "\\n";
            else if (c == '\r')
                escaped += "\\r";
            else if (c == '\t')
                escaped += "\\t";
            else
                escaped += c;
        }
        return "#[CSTR]" + escaped;
    }
    // An absolute path cannot be mistaken for an option, a comment or padded text.
    return raw.startsWith('/') ? raw : "./" + raw;
}

void ExifSession::request(const QString& path)
{
    m_path = path;
    m_buffer.clear();
    ++m_sequence;
    m_marker = "{ready" + QByteArray::number(m_sequence) + "}";
    m_requested.start();
    m_channel->write(argumentLine(path) + "\n-execute" + QByteArray::number(m_sequence) + "\n");
}

void ExifSession::readOutput()
{
    m_buffer += m_channel->readOutput();
    if (!isBusy())
        return;
    // The marker stands at the start of a line; a value cannot fake it, as exiftool prints a
    // line break inside a value as ".".
    qsizetype at = m_buffer.startsWith(m_marker) ? 0 : m_buffer.indexOf("\n" + m_marker);
    if (at < 0)
        return;
    const QByteArray dump = at == 0 ? QByteArray() : m_buffer.left(at + 1);
    const qsizetype lineEnd = m_buffer.indexOf('\n', at + (at == 0 ? 0 : 1));
    m_buffer = lineEnd < 0 ? QByteArray() : m_buffer.mid(lineEnd + 1);
    const QString path = std::exchange(m_path, QString());
    emit finished(path, QString::fromUtf8(dump));
}

void ExifSession::abort()
{
    if (isAlive())
        m_channel->kill();
}

void ExifSession::close()
{
    if (!isAlive())
        return;
    m_path.clear();
    m_channel->write("-stay_open\nFalse\n");
    if (!m_channel->waitForEnd(1000)) {
        m_channel->kill();
        m_channel->waitForEnd(1000);
    }
}

MetadataReader::MetadataReader(const Platform& platform, ExifTool& oneShot, int sessions,
                               QObject* parent)
    : QObject(parent), m_platform(platform), m_oneShot(oneShot),
      m_sessionCount(sessions > 0 ? sessions : std::max(2, QThread::idealThreadCount()))
{
}

MetadataReader::~MetadataReader()
{
    closeSessions();
}

MetadataReader::Stamp MetadataReader::stampOf(const QString& path)
{
    struct stat info
    {
    };
    Stamp stamp;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        stamp.size = info.st_size;
        stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamp.changed = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    }
    return stamp;
}

bool MetadataReader::isKnown(const QString& path, const Stamp& stamp) const
{
    const auto known = m_known.constFind(path);
    return known != m_known.constEnd() && known->stamp == stamp;
}

bool MetadataReader::isPending(const QString& path) const
{
    if (std::find(m_queue.begin(), m_queue.end(), path) != m_queue.end())
        return true;
    return std::any_of(m_sessions.begin(), m_sessions.end(),
                       [&](const auto& session) { return session->path() == path; });
}

void MetadataReader::closeSessions()
{
    m_queue.clear();
    for (auto& session : m_sessions)
        session->close();
    m_sessions.clear();
}

ExifSession* MetadataReader::freeSession(const QString& program)
{
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [](const auto& s) { return !s->isAlive(); }),
                     m_sessions.end());
    for (auto& session : m_sessions) {
        if (!session->isBusy())
            return session.get();
    }
    if (static_cast<int>(m_sessions.size()) >= m_sessionCount)
        return nullptr;
    std::unique_ptr<SessionChannel> channel = m_platform.processes->startSession(
        program, {QStringLiteral("-stay_open"), QStringLiteral("True"), QStringLiteral("-@"),
                  QStringLiteral("-")});
    if (!channel)
        return nullptr;
    auto session = std::make_unique<ExifSession>(std::move(channel));
    connect(session.get(), &ExifSession::finished, this,
            [this, program](const QString& path, const QString& dump) {
                m_known.insert(path, Known{m_requestedStamp.value(path), dump});
                m_failures.remove(path);
                ++m_reads;
                dispatch(program);
            });
    connect(session.get(), &ExifSession::died, this, [this, program](const QString& path) {
        // Restarted, and the image retried once; then it is read the one-shot way.
        if (++m_failures[path] < kSessionAttempts)
            m_queue.push_front(path);
        QTimer::singleShot(0, this, [this, program] { dispatch(program); });
    });
    m_sessions.push_back(std::move(session));
    return m_sessions.back().get();
}

void MetadataReader::dispatch(const QString& program)
{
    while (!m_queue.empty()) {
        ExifSession* session = freeSession(program);
        if (!session)
            return;
        const QString path = m_queue.front();
        m_queue.pop_front();
        session->request(path);
    }
}

void MetadataReader::prefetch(const QString& program, const QString& path)
{
    const Stamp stamp = stampOf(path);
    if (path.isEmpty() || isKnown(path, stamp) || isPending(path) ||
        m_failures.value(path) >= kSessionAttempts)
        return;
    m_requestedStamp.insert(path, stamp);
    m_queue.push_back(path);
    dispatch(program);
}

bool MetadataReader::sessionsGaveUp(const QString& program, const QString& path)
{
    return m_failures.value(path) >= kSessionAttempts || (m_sessions.empty() && !isPending(path)) ||
           (m_sessions.empty() && !freeSession(program));
}

QString MetadataReader::readOneShot(const QString& path, const Stamp& stamp, DumpProgress progress,
                                    ErrorReport* report)
{
    m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), path), m_queue.end());
    QString dump = m_oneShot.DumpMetadata(path, std::move(progress), report);
    m_oneShot.removeTempFiles();
    m_stopped = m_oneShot.wasStopped();
    if (!m_stopped && !m_oneShot.startFailed())
        m_known.insert(path, Known{stamp, dump});
    return dump;
}

void MetadataReader::waitForSessions()
{
    QEventLoop loop;
    QTimer::singleShot(ExifTool::kPollMs, &loop, &QEventLoop::quit);
    for (auto& session : m_sessions) {
        connect(session.get(), &ExifSession::finished, &loop, &QEventLoop::quit);
        connect(session.get(), &ExifSession::died, &loop, &QEventLoop::quit);
    }
    loop.exec();
}

void MetadataReader::endHungSessions()
{
    // A hung session is ended; its image goes round again like one whose session died.
    for (auto& session : m_sessions) {
        if (session->busyMs() > m_hangMs)
            session->abort();
    }
}

QString MetadataReader::read(const QString& program, const QString& path, DumpProgress progress,
                             ErrorReport* report)
{
    m_stopped = false;
    const Stamp stamp = stampOf(path);
    if (isKnown(path, stamp))
        return m_known.value(path).dump;
    if (!isPending(path) || !(m_requestedStamp.value(path) == stamp)) {
        m_failures.remove(path);
        m_requestedStamp.insert(path, stamp);
        m_queue.push_front(path);
    }
    dispatch(program);
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer sinceStop;
    int shownPolls = 0;
    for (;;) {
        if (isKnown(path, stamp)) {
            progress.endWait();
            return m_known.value(path).dump;
        }
        if (sessionsGaveUp(program, path))
            return readOneShot(path, stamp, std::move(progress), report);
        if (m_oneShot.stopRequested() && !sinceStop.isValid()) {
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
        waitForSessions();
        endHungSessions();
        // The same "Please wait.." text as a one-shot wait, counted in polls.
        const int polls = static_cast<int>(waited.elapsed() / ExifTool::kPollMs);
        for (int poll = shownPolls + 1; poll <= polls; ++poll)
            progress.showWait(poll);
        shownPolls = std::max(shownPolls, polls);
    }
}

} // namespace tagsifter
