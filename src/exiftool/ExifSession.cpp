#include "ExifSession.h"

#include "ExifTool.h"
#include "core/DumpParser.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace tagsifter {

ExifSession::ExifSession(std::unique_ptr<SessionChannel> channel, QObject* parent)
    : QObject(parent), m_channel(std::move(channel))
{
    connect(m_channel.get(), &SessionChannel::outputReady, this, &ExifSession::readOutput);
    connect(m_channel.get(), &SessionChannel::ended, this, [this] {
        if (!isBusy())
            return;
        // exiftool answers in order: the first request unanswered is the one it was reading.
        const QString path = m_asked.front().path;
        QStringList unanswered;
        for (auto it = std::next(m_asked.begin()); it != m_asked.end(); ++it)
            unanswered.append(it->path);
        m_asked.clear();
        emit died(path, unanswered);
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

bool ExifSession::isAsked(const QString& path) const
{
    return std::any_of(m_asked.begin(), m_asked.end(),
                       [&](const Asked& asked) { return asked.path == path; });
}

void ExifSession::request(const QString& path, const FileStamp& stamp)
{
    if (!isBusy()) {
        // Silence is counted from here, not from the last answer of an idle session.
        m_buffer.clear();
        m_scanned = 0;
        m_markerAt = -1;
        m_lastOutput.start();
    }
    ++m_sequence;
    m_asked.push_back({path, stamp, "{ready" + QByteArray::number(m_sequence) + "}"});
    m_channel->write(ExifTool::argumentLine(path) + "\n-execute" + QByteArray::number(m_sequence) +
                     "\n");
}

std::optional<QByteArray> ExifSession::takeAnswer()
{
    // The marker stands at the start of a line; a value cannot fake it, as exiftool prints a
    // line break inside a value as ".". Only the new bytes are searched, with enough of the
    // old ones before them to find a marker that arrived in two pieces.
    const QByteArray& marker = m_asked.front().marker;
    if (m_markerAt < 0) {
        if (m_buffer.startsWith(marker)) {
            m_markerAt = 0;
        } else {
            const QByteArray needle = "\n" + marker;
            const qsizetype from = std::max<qsizetype>(0, m_scanned - needle.size() + 1);
            const qsizetype at = m_buffer.indexOf(needle, from);
            m_scannedBytes += (at < 0 ? m_buffer.size() : at + needle.size()) - from;
            if (at < 0) {
                m_scanned = m_buffer.size();
                return std::nullopt;
            }
            m_markerAt = at + 1;
        }
        m_scanned = m_markerAt + marker.size();
    }
    // The answer ends with the marker's line; the next answer starts after it.
    const qsizetype lineEnd = m_buffer.indexOf('\n', m_scanned);
    m_scannedBytes += (lineEnd < 0 ? m_buffer.size() : lineEnd + 1) - m_scanned;
    if (lineEnd < 0) {
        m_scanned = m_buffer.size();
        return std::nullopt;
    }
    QByteArray dump = m_buffer.left(m_markerAt);
    m_buffer.remove(0, lineEnd + 1);
    m_scanned = 0;
    m_markerAt = -1;
    return dump;
}

void ExifSession::readOutput()
{
    m_buffer += m_channel->readOutput();
    if (!isBusy())
        return;
    m_lastOutput.restart();
    // One read may hold several answers; whoever hears of one may ask again or end this
    // session.
    const QPointer<ExifSession> alive(this);
    while (alive && isBusy()) {
        std::optional<QByteArray> dump = takeAnswer();
        if (!dump)
            return;
        const Asked done = std::move(m_asked.front());
        m_asked.pop_front();
        emit finished(done.path, done.stamp, decodeDump(*dump));
    }
}

void ExifSession::abort()
{
    if (isAlive())
        m_channel->kill();
}

void ExifSession::close()
{
    const bool busy = std::exchange(m_asked, {}).size() > 0;
    if (!isAlive())
        return;
    // The window never waits for a session to end: the channel lives on by itself until its
    // process has ended, and a process that does not leave when asked is killed.
    SessionChannel* channel = m_channel.release();
    channel->disconnect(this);
    connect(channel, &SessionChannel::ended, channel, &QObject::deleteLater);
    if (busy) {
        channel->kill();
        return;
    }
    channel->write("-stay_open\nFalse\n");
    QTimer::singleShot(kLeaveMs, channel, [channel] {
        if (channel->isRunning())
            channel->kill();
    });
}

} // namespace tagsifter
