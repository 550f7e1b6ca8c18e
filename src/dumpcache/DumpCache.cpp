#include "DumpCache.h"

#include "core/LocalTime.h"

#include <cstdio>
#include <cstdlib>

namespace tagsifter {

std::optional<QByteArray> DumpCache::find(const QString& path, const FileStamp& stamp)
{
    const auto at = m_index.constFind(path);
    if (at == m_index.constEnd() || (*at)->stamp != stamp)
        return std::nullopt;
    m_entries.splice(m_entries.begin(), m_entries, *at);
    return m_entries.front().dump;
}

bool DumpCache::contains(const QString& path, const FileStamp& stamp) const
{
    const auto it = m_index.constFind(path);
    return it != m_index.cend() && (*it)->stamp == stamp;
}

void DumpCache::insert(const QString& path, const FileStamp& stamp, QByteArray dump)
{
    const auto at = m_index.find(path);
    if (at != m_index.end()) {
        m_bytes -= sizeOf(**at);
        m_entries.erase(*at);
        m_index.erase(at);
    }
    m_entries.push_front(Entry{path, stamp, std::move(dump)});
    m_index.insert(path, m_entries.begin());
    m_bytes += sizeOf(m_entries.front());
    trim();
}

void DumpCache::clear()
{
    m_entries.clear();
    m_index.clear();
    m_bytes = 0;
}

void DumpCache::setLimit(qint64 limitBytes)
{
    m_limit = limitBytes;
    trim();
}

void DumpCache::trim()
{
    while (m_bytes > m_limit && !m_entries.empty()) {
        m_bytes -= sizeOf(m_entries.back());
        m_index.remove(m_entries.back().path);
        m_entries.pop_back();
    }
}

QByteArray exiftoolTime(qint64 nanoseconds)
{
    // Whole seconds, rounded down also before 1970, as exiftool prints them.
    qint64 seconds = nanoseconds / 1000000000;
    if (nanoseconds % 1000000000 < 0)
        --seconds;
    const ClockTime local = localClockTime(seconds);
    const int minutes = std::abs(local.offsetSeconds) / 60;
    char text[64];
    const int size =
        std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d%c%02d:%02d", local.year,
                      local.month, local.day, local.hour, local.minute, local.second,
                      local.offsetSeconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QByteArray(text, size);
}

namespace {

/// `dump` with the value of its line `tag` set to the time `nanoseconds`, as exiftool writes it.
QByteArray withTime(QByteArray dump, const QByteArray& tag, qint64 nanoseconds)
{
    const qsizetype start = dump.startsWith(tag) ? 0 : dump.indexOf("\n" + tag + ' ');
    if (start < 0)
        return dump;
    const qsizetype line = start == 0 ? 0 : start + 1;
    const qsizetype colon = dump.indexOf(": ", line);
    const qsizetype end = dump.indexOf('\n', line);
    if (colon < 0 || end < 0 || colon > end)
        return dump;
    dump.replace(colon + 2, end - colon - 2, exiftoolTime(nanoseconds));
    return dump;
}

} // namespace

QByteArray withAccessTime(const QByteArray& dump, qint64 accessedNs)
{
    return withTime(dump, "File Access Date/Time", accessedNs);
}

QByteArray withFileTimes(const QByteArray& dump, const FileStamp& stamp)
{
    // The same instants as when the dump was read (they are part of its key); the zone is the
    // one in force now.
    QByteArray fresh = withTime(dump, "File Modification Date/Time", stamp.modifiedNs);
    fresh = withTime(std::move(fresh), "File Access Date/Time", stamp.accessedNs);
    return withTime(std::move(fresh), "File Inode Change Date/Time", stamp.changedNs);
}

} // namespace tagsifter
