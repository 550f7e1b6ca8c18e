#pragma once

#include "core/FileSystem.h"

#include <QHash>
#include <QString>

namespace tagsifter {

/// Finds the XMP sidecar beside an image: `NAME.EXT.xmp`, else `NAME.xmp` (the name without
/// its last extension), in any letter case. Each folder is listed once.
class SidecarFinder
{
public:
    explicit SidecarFinder(const FileSystem& files) : m_files(files) {}

    /// The sidecar of the image at the absolute `path`, or the empty text when there is none
    /// (an XMP file has none: it may be a sidecar itself).
    QString of(const QString& path);
    /// True when `path` names an XMP file.
    static bool isXmp(const QString& path);

private:
    const FileSystem& m_files;
    /// Each folder's XMP files: lower-case name to name.
    QHash<QString, QHash<QString, QString>> m_folders;
};

} // namespace tagsifter
