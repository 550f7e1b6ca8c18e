#pragma once

#include <QtGlobal>

namespace tagsifter {

/// What the search knows of a file when it reads it: whether it is there and a regular file
/// (links followed), and the figures that change whenever it is rewritten, replaced or renamed
/// over. A dump read under one stamp is never taken for a file of another.
struct FileStamp
{
    enum class Kind { Missing, Regular, Special };
    Kind kind = Kind::Missing;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    /// The last access: reading the file moves it, so it is no part of the comparison.
    qint64 accessedNs = 0;
    bool operator==(const FileStamp& o) const
    {
        return kind == o.kind && size == o.size && modifiedNs == o.modifiedNs &&
               changedNs == o.changedNs && inode == o.inode && device == o.device;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
    /// A device, FIFO, socket or folder: never handed to exiftool, which could wait on it
    /// without end.
    bool isSpecial() const { return kind == Kind::Special; }
};

} // namespace tagsifter
