#pragma once

#include "platform/Platform.h"

#include <QStringList>

namespace tagsifter {

class ListModel;

/// Collects whole folder trees into the file list, level by level.
class FolderScan
{
public:
    FolderScan(const Platform& platform, ListModel& fileList);

    /// Appends to the file list every file below `topFolder` whose name matches `pattern`.
    void CollectFolderTree(const QString& topFolder, const QString& pattern);
    /// Appends every folder below the folders of `folders` (each ending in "/"), level by
    /// level. A folder that cannot be listed is dropped from `folders`.
    void GetSubDirectories2016(QStringList& folders, bool recursive);
    /// Names of the files of `folder` that match `pattern`, hidden ones included.
    QStringList ListFiles(const QString& folder, const QString& pattern) const;
    bool IsFolder(const QString& path) const;

    static QString scanLocation();

private:
    int attributesOrZero(const QString& path) const;
    /// True for a hidden + system folder (or such a link) other than the root: it is left out
    /// with its subtree.
    bool isHiddenSystemFolder(const QString& folder) const;

    Platform m_platform;
    ListModel& m_fileList;
};

} // namespace tagsifter
