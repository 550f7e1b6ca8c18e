#pragma once

#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/SystemServices.h"

#include <QStringList>

#include <exception>
#include <functional>

namespace tagsifter {

/// Collects whole folder trees, level by level, handing each file found to `addFile` (the
/// file list's end, or a search).
class FolderScan
{
public:
    using FileSink = std::function<void(const QString& path)>;
    /// A scan for the window: a folder that cannot be walked shows the standard error report
    /// in `messages`; one that may not be read, or has vanished, leaves the scan silently.
    FolderScan(const SystemServices& system, MessageBoxService& messages, FileSink addFile);
    /// A scan for a search, which shows nothing: a folder that cannot be walked is told to
    /// `failures` and the walk goes on with the rest, instead of failing the whole tree; a
    /// folder dropped because it may not be read, or has vanished, is told too.
    FolderScan(const SystemServices& system, ErrorReport::Handler failures, FileSink addFile);

    /// Appends to the file list every file below `topFolder` whose name matches `pattern`.
    void CollectFolderTree(const QString& topFolder, const QString& pattern);
    /// Appends every folder below the folders of `folders` (each ending in "/"), level by
    /// level. A folder that cannot be listed is dropped from `folders`.
    void GetSubDirectories2016(QStringList& folders, bool recursive);
    /// Names of the files of `folder` that match `pattern`, hidden ones included.
    QStringList ListFiles(const QString& folder, const QString& pattern) const;
    /// Folders whose files are listed together, on every core.
    static constexpr qsizetype kListingRun = 256;
    bool IsFolder(const QString& path) const;

    static QString scanLocation();

private:
    /// Adds the files `names` of the folder `entry` (ending in a slash), or tells `failure`.
    void addFiles(const QString& entry, const QStringList& names,
                  const std::exception_ptr& failure);
    /// Calls `work` for 0 to count - 1, on as many threads as there are cores (this one among
    /// them) when there is enough to share.
    static void forEachOnCores(qsizetype count, const std::function<void(qsizetype)>& work);
    int attributesOrZero(const QString& path) const;
    /// True for a hidden + system folder (or such a link) other than the root: it is left out
    /// with its subtree.
    bool isHiddenSystemFolder(const QString& folder) const;

    SystemServices m_system;
    /// Where failures are shown: exactly one of the two is set.
    MessageBoxService* m_messages = nullptr;
    ErrorReport::Handler m_failures;
    FileSink m_addFile;
};

} // namespace tagsifter
