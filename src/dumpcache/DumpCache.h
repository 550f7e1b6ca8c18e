#pragma once

#include "core/FileSystem.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <list>
#include <optional>

namespace tagsifter {

/// The dumps read so far, in memory: each as exiftool's bytes under the stamp its file had,
/// least recently used first out once they take more than the limit.
class DumpCache
{
public:
    explicit DumpCache(qint64 limitBytes = kDefaultLimitBytes) : m_limit(limitBytes) {}

    static constexpr qint64 kDefaultLimitBytes = 64LL << 20;

    /// The dump of `path` if it was read under `stamp`.
    std::optional<QByteArray> find(const QString& path, const FileStamp& stamp);
    void insert(const QString& path, const FileStamp& stamp, QByteArray dump);
    /// True when the dump of `path` read under `stamp` is kept; it does not count as a use.
    bool contains(const QString& path, const FileStamp& stamp) const;
    void clear();
    qint64 bytes() const { return m_bytes; }
    int count() const { return static_cast<int>(m_entries.size()); }
    void setLimit(qint64 limitBytes);

private:
    struct Entry
    {
        QString path;
        FileStamp stamp;
        QByteArray dump;
    };
    static qint64 sizeOf(const Entry& entry)
    {
        return entry.dump.size() + entry.path.size() * 2 + 96;
    }
    void trim();

    qint64 m_limit;
    qint64 m_bytes = 0;
    std::list<Entry> m_entries; // most recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
};

/// The "File Access Date/Time" line of a dump brought up to date for a file last read at
/// `accessedNs`, written as exiftool writes it (local time and its offset): a dump kept from an
/// earlier read then reads as a fresh one.
QByteArray withAccessTime(const QByteArray& dump, qint64 accessedNs);
/// The three file time lines of a dump kept from an earlier read (modification, access, inode
/// change) written for `stamp` as exiftool writes them in the time zone in force now: a dump
/// kept from a run in another zone reads as a fresh one.
QByteArray withFileTimes(const QByteArray& dump, const FileStamp& stamp);
/// exiftool's form of a time: "2026:12:08 17:05:09+01:00", in the local time zone.
QByteArray exiftoolTime(qint64 nanoseconds);

} // namespace tagsifter
