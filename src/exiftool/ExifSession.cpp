#include "ExifSession.h"

#include "ExifTool.h"
#include "core/DumpParser.h"
#include "core/Sidecar.h"

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
        // exiftool answers in order: the first request unanswered is the one it was reading
        // (or about to read, when it ended loading its modules).
        QStringList unanswered;
        for (const Asked& asked : m_asked) {
            if (!asked.preload)
                unanswered.append(asked.path);
        }
        m_asked.clear();
        m_preloads = 0;
        m_requests = 0;
        const QString path = unanswered.takeFirst();
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

QStringList ExifSession::compositeModules()
{
    return {
        QStringLiteral("AIFF"),         QStringLiteral("APE"),      QStringLiteral("Apple"),
        QStringLiteral("Canon"),        QStringLiteral("Exif"),     QStringLiteral("FLAC"),
        QStringLiteral("FLIR"),         QStringLiteral("FlashPix"), QStringLiteral("GPS"),
        QStringLiteral("ID3"),          QStringLiteral("IPTC"),     QStringLiteral("ISO"),
        QStringLiteral("Kodak"),        QStringLiteral("MPEG"),     QStringLiteral("MPF"),
        QStringLiteral("Nikon"),        QStringLiteral("Olympus"),  QStringLiteral("Panasonic"),
        QStringLiteral("PanasonicRaw"), QStringLiteral("Parrot"),   QStringLiteral("PostScript"),
        QStringLiteral("QuickTime"),    QStringLiteral("RIFF"),     QStringLiteral("Ricoh"),
        QStringLiteral("Samsung"),      QStringLiteral("Sony"),     QStringLiteral("SonyIDC"),
        QStringLiteral("Vorbis"),       QStringLiteral("XMP")};
}

void ExifSession::preload(const QStringList& modules)
{
    QByteArray commands;
    for (const QString& module : modules) {
        ++m_sequence;
        ++m_preloads;
        m_asked.push_back({QString(), FileStamp(), "{ready" + QByteArray::number(m_sequence) + "}",
                           true, QByteArray(), true});
        commands +=
            "-use\n" + module.toUtf8() + "\n-execute" + QByteArray::number(m_sequence) + "\n";
    }
    m_buffer.clear();
    m_scanned = 0;
    m_lineStart = 0;
    m_markerAt = -1;
    m_sectionAt = -1;
    m_channel->write(commands);
}

void ExifSession::request(const std::vector<Request>& images)
{
    if (images.empty())
        return;
    if (images.size() > 1 && std::any_of(images.begin(), images.end(), [](const Request& image) {
            return isSidecarRowsKey(image.path);
        })) {
        for (const Request& image : images)
            request(image.path, image.stamp);
        return;
    }
    if (!isBusy()) {
        // Silence is counted from here, not from the last answer of an idle session.
        if (m_asked.empty()) {
            m_buffer.clear();
            m_scanned = 0;
            m_lineStart = 0;
            m_markerAt = -1;
            m_sectionAt = -1;
        }
        m_lastOutput.start();
    }
    ++m_sequence;
    ++m_requests;
    const QByteArray marker = "{ready" + QByteArray::number(m_sequence) + "}";
    const bool several = images.size() > 1;
    QByteArray command;
    for (const Request& image : images) {
        const QByteArray line = ExifTool::argumentLine(image.path);
        // exiftool heads each image of a command of several with its name as it was given.
        m_asked.push_back({image.path, image.stamp, marker, false,
                           several ? "======== " + line : QByteArray(), false});
        command += line + '\n';
    }
    m_asked.back().last = true;
    m_channel->write(command + "-execute" + QByteArray::number(m_sequence) + "\n");
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

bool ExifSession::headsALaterImage(QByteArrayView line) const
{
    for (auto it = std::next(m_asked.begin()); it != m_asked.end(); ++it) {
        if (it->marker != m_asked.front().marker)
            return false;
        if (line == it->header)
            return true;
    }
    return false;
}

QByteArray ExifSession::cutSection(qsizetype end, qsizetype consumed)
{
    QByteArray text = m_sectionAt < 0 ? QByteArray() : m_buffer.mid(m_sectionAt, end - m_sectionAt);
    m_buffer.remove(0, consumed);
    m_scanned = 0;
    m_lineStart = 0;
    m_sectionAt = -1;
    return text;
}

std::optional<QByteArray> ExifSession::takeSection()
{
    const Asked& front = m_asked.front();
    for (;;) {
        // A long line that comes in many pieces is searched for its end once, not from its
        // start again with each piece.
        const qsizetype lineStart = m_lineStart;
        const qsizetype lineEnd = m_buffer.indexOf('\n', m_scanned);
        m_scannedBytes += (lineEnd < 0 ? m_buffer.size() : lineEnd + 1) - m_scanned;
        if (lineEnd < 0) {
            m_scanned = m_buffer.size();
            return std::nullopt;
        }
        m_scanned = m_lineStart = lineEnd + 1;
        const QByteArrayView line(m_buffer.constData() + lineStart, lineEnd - lineStart);
        if (line == front.marker) {
            // exiftool's count of the files it read closes the command's text: lines that
            // start with a space, which no tag's line does.
            qsizetype end = lineStart;
            while (m_sectionAt >= 0 && end - 2 >= m_sectionAt) {
                const qsizetype from =
                    std::max(m_sectionAt, m_buffer.lastIndexOf('\n', end - 2) + 1);
                if (m_buffer.at(from) != ' ')
                    break;
                end = from;
            }
            // The images after this one that exiftool did not find answer at the same marker.
            return cutSection(end, front.last ? m_scanned : lineStart);
        }
        if (!line.startsWith("======== "))
            continue;
        if (m_sectionAt < 0 && !headsALaterImage(line)) {
            // This image's heading, known by its name, else by its place.
            m_sectionAt = m_scanned;
            continue;
        }
        // The next image's heading: this image's text ends here, or it had none.
        return cutSection(lineStart, lineStart);
    }
}

void ExifSession::readOutput()
{
    m_buffer += m_channel->readOutput();
    if (m_asked.empty())
        return;
    m_lastOutput.restart();
    // One read may hold several answers; whoever hears of one may ask again or end this
    // session.
    const QPointer<ExifSession> alive(this);
    while (alive && !m_asked.empty()) {
        std::optional<QByteArray> dump =
            m_asked.front().header.isEmpty() ? takeAnswer() : takeSection();
        if (!dump)
            return;
        const Asked done = std::move(m_asked.front());
        m_asked.pop_front();
        if (done.preload) {
            --m_preloads;
            continue;
        }
        if (done.last)
            --m_requests;
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
    const bool busy = isBusy();
    m_asked.clear();
    m_preloads = 0;
    m_requests = 0;
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

QString ExifSession::reading() const
{
    for (const Asked& asked : m_asked) {
        if (!asked.preload)
            return asked.path;
    }
    return QString();
}

} // namespace tagsifter
