#pragma once

#include "core/FileStamp.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace tagsifter {

/// File attribute bits, with the values Windows gives them, so the folder rules read the same
/// on every platform.
namespace Attribute {
constexpr int ReadOnly = 1;
constexpr int Hidden = 2;
constexpr int System = 4;
constexpr int Directory = 16;
constexpr int Archive = 32;
constexpr int ReparsePoint = 1024;
} // namespace Attribute

/// A file written whole or not at all: what is written takes the file's place only at
/// commit(); until then, and after any failure, the file is as it was.
class FileReplacement
{
public:
    virtual ~FileReplacement() = default;
    /// Appends `bytes`; throws Failure with the reason when they cannot be written.
    virtual void write(const QByteArray& bytes) = 0;
    /// Puts what was written in the file's place; throws Failure with the reason.
    virtual void commit() = 0;
};

/// The file-system queries the program makes. Paths are absolute, with "/" separators.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    /// The attribute bits of `path` (a link is described itself, not its target).
    /// Throws Failure 76 when the path does not exist.
    virtual int attributes(const QString& path) const = 0;
    /// True when the last-modified time of `path` can be read: files and folders alike.
    virtual bool pathExists(const QString& path) const = 0;
    /// True when `path` names an existing file that is not a folder (links followed).
    virtual bool fileExists(const QString& path) const = 0;
    /// True when `path` is the root of the file system.
    virtual bool isRoot(const QString& path) const = 0;
    /// Names of the entries of `folder` that are not folders and match the wildcard `pattern`,
    /// hidden ones included, in listing order. Throws Failure 70/76 when it cannot be listed.
    virtual QStringList listFiles(const QString& folder, const QString& pattern) const = 0;
    /// Names of the real sub-folders of `folder` (links to folders are not followed), in
    /// listing order. Throws Failure 70/76 when it cannot be listed.
    virtual QStringList listSubfolders(const QString& folder) const = 0;
    /// Names of the entries of `folder` that are not folders and end in `ending` (ASCII,
    /// without regard to case), in no order; none when it cannot be listed. Quicker than
    /// listFiles where the order does not matter and few names end so.
    virtual QStringList listFilesEnding(const QString& folder, const QByteArray& ending) const = 0;
    /// The stamp of `path`, links followed. Safe from several threads at once.
    virtual FileStamp stamp(const QString& path) const = 0;
    /// The stamps of `paths` in their order (an empty path has none): what stamp() gives for
    /// each, quicker where paths of one folder follow each other. Safe from several threads.
    virtual std::vector<FileStamp> stamps(const QStringList& paths) const
    {
        std::vector<FileStamp> stamps(static_cast<size_t>(paths.size()));
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (!paths.at(i).isEmpty())
                stamps[static_cast<size_t>(i)] = stamp(paths.at(i));
        }
        return stamps;
    }
    /// Deletes a file; false when it could not be deleted.
    virtual bool removeFile(const QString& path) = 0;
    /// Deletes a file even when it is read-only; false when it could not be deleted.
    virtual bool forceRemoveFile(const QString& path) = 0;
    /// A replacement of the file at `path` (a new file when there is none): the rows are
    /// written beside it and put in its place at commit(). A device or a pipe is written to
    /// as it is; a file in a folder where nothing can be made beside it is written in place,
    /// with room for `size()` bytes taken first. Throws Failure with the reason.
    virtual std::unique_ptr<FileReplacement> replaceFile(const QString& path,
                                                         const std::function<qint64()>& size) = 0;
    /// The working folder of the process; the empty text when it cannot be read.
    virtual QString currentFolder() const = 0;
    /// The template (for QTemporaryDir) of a new private folder of this process in the temp
    /// folder, once the private folders of this user's programs that died are gone.
    virtual QString privateTempTemplate() = 0;
};

} // namespace tagsifter
