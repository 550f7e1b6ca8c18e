#pragma once

#include <QString>

namespace tagsifter {

/// The XMP rows of a sidecar file are read and kept apart from the file's whole dump: under
/// the sidecar's path with this ending, which no name on disk has.
inline const QString& sidecarRowsEnding()
{
    static const QString ending = QStringLiteral("\x1f"
                                                 "XMP rows");
    return ending;
}

/// What the XMP rows of the sidecar at `path` are read and kept under.
inline QString sidecarRowsKey(const QString& path)
{
    return path + sidecarRowsEnding();
}

/// True when `key` names a sidecar's XMP rows, not a file.
inline bool isSidecarRowsKey(const QString& key)
{
    return key.endsWith(sidecarRowsEnding());
}

/// The file a key reads: the sidecar of a sidecar's rows, else the path itself.
inline QString fileOfKey(const QString& key)
{
    return isSidecarRowsKey(key) ? key.chopped(sidecarRowsEnding().size()) : key;
}

} // namespace tagsifter
