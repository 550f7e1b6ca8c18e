#pragma once

#include <QString>
#include <QStringList>

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
    /// The stamp of `path`, links followed.
    virtual FileStamp stamp(const QString& path) const = 0;
    /// Deletes a file; false when it could not be deleted.
    virtual bool removeFile(const QString& path) = 0;
    /// Deletes a file even when it is read-only; false when it could not be deleted.
    virtual bool forceRemoveFile(const QString& path) = 0;
};

/// Windows wildcard matching: case-insensitive, "*" any run, "?" one character, and "*.*"
/// matches every name, with or without a dot.
bool matchesWildcard(const QString& name, const QString& pattern);

/// The listing order of an NTFS folder: names compared in upper case, code unit by code unit;
/// the same every run.
void sortListing(QStringList& names);

/// The file system of this machine.
class LocalFileSystem : public FileSystem
{
public:
    int attributes(const QString& path) const override;
    bool pathExists(const QString& path) const override;
    bool fileExists(const QString& path) const override;
    bool isRoot(const QString& path) const override;
    QStringList listFiles(const QString& folder, const QString& pattern) const override;
    QStringList listSubfolders(const QString& folder) const override;
    FileStamp stamp(const QString& path) const override;
    bool removeFile(const QString& path) override;
    bool forceRemoveFile(const QString& path) override;
};

} // namespace tagsifter
