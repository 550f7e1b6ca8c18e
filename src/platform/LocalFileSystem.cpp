#include "LocalFileSystem.h"

#include "core/Failure.h"

#include "FileNames.h"
#include "TempFolders.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tagsifter {

namespace {

QByteArray native(const QString& path)
{
    return encodeFileName(path);
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

[[noreturn]] void throwListingError(int error, const QString& folder)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    if (error == EACCES || error == EPERM)
        throw Failure(QStringLiteral("Permission denied: %1").arg(folder),
                      ErrorCode::PermissionDenied);
    if (error == ENOENT || error == ENOTDIR)
        throw Failure(QStringLiteral("Path not found: %1").arg(folder), ErrorCode::PathNotFound);
    throw Failure(QStringLiteral("%1: %2").arg(reason, folder));
}

// As NTFS orders names: in upper case, code unit by code unit, so "_" and "[" come after the
// letters. Names equal in upper case keep a fixed order by their own code units. Each name is
// put in upper case once, not at every comparison: a folder of a large library is sorted at
// every scan.
QString upperUnits(const QString& name)
{
    QString upper = name;
    for (QChar& unit : upper)
        unit = unit.toUpper();
    return upper;
}

template <typename T, typename NameOf> void sortByListing(std::vector<T>& items, NameOf nameOf)
{
    std::vector<std::pair<QString, size_t>> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        keys.emplace_back(upperUnits(nameOf(items[i])), i);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        // Compared in upper case; a name that is the start of another comes first; names
        // equal in upper case by their own code units.
        if (a.first != b.first)
            return a.first < b.first;
        return nameOf(items[a.second]) < nameOf(items[b.second]);
    });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(items[key.second]));
    items = std::move(sorted);
}

bool matchFrom(const QString& name, int n, const QString& pattern, int p)
{
    while (p < pattern.size()) {
        const QChar pc = pattern.at(p);
        if (pc == QLatin1Char('*')) {
            while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
                ++p;
            if (p == pattern.size())
                return true;
            for (int start = n; start <= name.size(); ++start) {
                if (matchFrom(name, start, pattern, p))
                    return true;
            }
            return false;
        }
        if (n == name.size())
            return false;
        if (pc != QLatin1Char('?') && pc.toCaseFolded() != name.at(n).toCaseFolded())
            return false;
        ++p;
        ++n;
    }
    return n == name.size();
}

struct Entry
{
    QString name;
    bool regular; // known to be a regular file, so no further question is needed
};

// Reads the entries of a folder in listing order; `wantFolders` selects real folders,
// otherwise everything else (files and links).
std::vector<Entry> listEntries(const QString& folder, bool wantFolders)
{
    const QByteArray path = native(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        throwListingError(errno, folder);
    std::vector<Entry> entries;
    while (dirent* entry = ::readdir(dir)) {
        const char* raw = entry->d_name;
        if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info
            {
            };
            const QByteArray full = path + '/' + raw;
            if (::lstat(full.constData(), &info) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_LNK;
        }
        if ((type == DT_DIR) == wantFolders)
            entries.push_back(Entry{decodeFileName(raw), type == DT_REG});
    }
    ::closedir(dir);
    sortByListing(entries, [](const Entry& entry) -> const QString& { return entry.name; });
    return entries;
}

} // namespace

bool matchesWildcard(const QString& name, const QString& pattern)
{
    if (pattern == QLatin1String("*.*"))
        return true;
    return matchFrom(name, 0, pattern, 0);
}

void sortListing(QStringList& names)
{
    std::vector<QString> items(names.cbegin(), names.cend());
    sortByListing(items, [](const QString& name) -> const QString& { return name; });
    names = QStringList(items.cbegin(), items.cend());
}

int LocalFileSystem::attributes(const QString& path) const
{
    struct stat info
    {
    };
    const QByteArray raw = native(path);
    if (raw.isEmpty() || ::lstat(raw.constData(), &info) != 0)
        throw Failure(QStringLiteral("File not found: %1").arg(path), ErrorCode::PathNotFound);
    int bits = 0;
    if (S_ISLNK(info.st_mode)) {
        bits |= Attribute::ReparsePoint;
        struct stat target
        {
        };
        if (::stat(raw.constData(), &target) == 0 && S_ISDIR(target.st_mode))
            bits |= Attribute::Directory;
        else
            bits |= Attribute::Archive;
    } else if (S_ISDIR(info.st_mode)) {
        bits |= Attribute::Directory;
    } else {
        bits |= Attribute::Archive;
    }
    if (!(info.st_mode & S_IWUSR))
        bits |= Attribute::ReadOnly;
    const int slash = path.lastIndexOf(QLatin1Char('/'), path.endsWith(QLatin1Char('/')) ? -2 : -1);
    if (path.mid(slash + 1).startsWith(QLatin1Char('.')))
        bits |= Attribute::Hidden;
    return bits;
}

bool LocalFileSystem::pathExists(const QString& path) const
{
    struct stat info
    {
    };
    const QByteArray raw = native(path);
    return !raw.isEmpty() && ::stat(raw.constData(), &info) == 0;
}

bool LocalFileSystem::fileExists(const QString& path) const
{
    struct stat info
    {
    };
    const QByteArray raw = native(path);
    return !raw.isEmpty() && ::stat(raw.constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

namespace {

FileStamp stampOfInfo(const struct stat& info)
{
    FileStamp stamp;
    stamp.kind = S_ISREG(info.st_mode) ? FileStamp::Kind::Regular : FileStamp::Kind::Special;
    stamp.size = info.st_size;
    stamp.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.inode = info.st_ino;
    stamp.device = info.st_dev;
    stamp.accessedNs = qint64(info.st_atim.tv_sec) * 1000000000 + info.st_atim.tv_nsec;
    return stamp;
}

} // namespace

FileStamp LocalFileSystem::stamp(const QString& path) const
{
    struct stat info
    {
    };
    const QByteArray raw = native(path);
    if (raw.isEmpty() || ::stat(raw.constData(), &info) != 0)
        return FileStamp();
    return stampOfInfo(info);
}

std::vector<FileStamp> LocalFileSystem::stamps(const QStringList& paths) const
{
    std::vector<FileStamp> stamps(static_cast<size_t>(paths.size()));
    // Each name is looked up in its folder, opened once for the paths of it that follow each
    // other, not from the root again.
    QByteArray openFolder;
    int folder = -1;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QByteArray raw = native(paths.at(i));
        const qsizetype slash = raw.lastIndexOf('/');
        struct stat info
        {
        };
        if (slash <= 0 || slash + 1 == raw.size()) {
            if (!raw.isEmpty() && ::stat(raw.constData(), &info) == 0)
                stamps[static_cast<size_t>(i)] = stampOfInfo(info);
            continue;
        }
        const QByteArrayView parent = QByteArrayView(raw).first(slash);
        if (folder < 0 || parent != openFolder) {
            if (folder >= 0)
                ::close(folder);
            openFolder = parent.toByteArray();
            folder = ::open(openFolder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        const int found = folder >= 0 ? ::fstatat(folder, raw.constData() + slash + 1, &info, 0)
                                      : ::stat(raw.constData(), &info);
        if (found == 0)
            stamps[static_cast<size_t>(i)] = stampOfInfo(info);
    }
    if (folder >= 0)
        ::close(folder);
    return stamps;
}

bool LocalFileSystem::isRoot(const QString& path) const
{
    return !path.isEmpty() && path.count(QLatin1Char('/')) == path.size();
}

QStringList LocalFileSystem::listFiles(const QString& folder, const QString& pattern) const
{
    QStringList kept;
    for (const Entry& entry : listEntries(folder, false)) {
        // A regular file exists; a link is asked whether its target is a file.
        if (matchesWildcard(entry.name, pattern) &&
            (entry.regular || fileExists(joined(folder, entry.name))))
            kept.append(entry.name);
    }
    return kept;
}

QStringList LocalFileSystem::listFilesEnding(const QString& folder, const QByteArray& ending) const
{
    QStringList names;
    const QByteArray path = native(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        const qsizetype length = static_cast<qsizetype>(std::strlen(entry->d_name));
        if (length < ending.size() ||
            qstrnicmp(entry->d_name + length - ending.size(), ending.constData(),
                      static_cast<size_t>(ending.size())) != 0 ||
            entry->d_type == DT_DIR)
            continue;
        const QString name = decodeFileName(entry->d_name);
        // A link, or an entry of unknown type, is asked whether it is a folder.
        if (entry->d_type == DT_REG || fileExists(joined(folder, name)))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

QStringList LocalFileSystem::listSubfolders(const QString& folder) const
{
    QStringList names;
    for (const Entry& entry : listEntries(folder, true))
        names.append(entry.name);
    return names;
}

bool LocalFileSystem::removeFile(const QString& path)
{
    return ::unlink(native(path).constData()) == 0;
}

bool LocalFileSystem::forceRemoveFile(const QString& path)
{
    // A read-only file: make it writable for its owner, then delete it.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    return ::unlink(native(path).constData()) == 0;
}

QString LocalFileSystem::currentFolder() const
{
    return tagsifter::currentFolder();
}

QString LocalFileSystem::privateTempTemplate()
{
    TempFolders::removeStale(QDir::tempPath());
    return TempFolders::templateFor(QDir::tempPath());
}

} // namespace tagsifter
