#include "DumpCache.h"

#include <QDateTime>

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
    const QDateTime local = QDateTime::fromSecsSinceEpoch(nanoseconds / 1000000000);
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1() +
           (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           ':' + QByteArray::number(minutes % 60).rightJustified(2, '0');
}

QByteArray withAccessTime(const QByteArray& dump, qint64 accessedNs)
{
    static const QByteArray kTag = "File Access Date/Time";
    const qsizetype start = dump.startsWith(kTag) ? 0 : dump.indexOf("\n" + kTag);
    if (start < 0)
        return dump;
    const qsizetype line = start == 0 ? 0 : start + 1;
    const qsizetype colon = dump.indexOf(": ", line);
    const qsizetype end = dump.indexOf('\n', line);
    if (colon < 0 || end < 0 || colon > end)
        return dump;
    QByteArray fresh = dump;
    fresh.replace(colon + 2, end - colon - 2, exiftoolTime(accessedNs));
    return fresh;
}

} // namespace tagsifter
