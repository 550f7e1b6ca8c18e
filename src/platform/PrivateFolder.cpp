#include "core/PrivateFolder.h"

#include "FileNames.h"

#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsifter {

namespace {

bool writableByOthers(const struct stat& info)
{
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

} // namespace

bool makePrivateFolder(const QString& folder)
{
    const QByteArray path = encodeFileName(folder);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    if (errno != ENOENT)
        return false;
    const QString above = QFileInfo(folder).absolutePath();
    if (above == folder || !makePrivateFolder(above))
        return false;
    if (::mkdir(path.constData(), S_IRWXU) != 0)
        return errno == EEXIST && ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    // The umask may have taken bits from the mode; a folder made just now is the program's.
    ::chmod(path.constData(), S_IRWXU);
    return true;
}

QString privateFolderProblem(const QString& folder)
{
    const uid_t user = ::geteuid();
    struct stat info
    {
    };
    if (::stat(encodeFileName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return QStringLiteral("%1: not a folder").arg(folder);
    if (info.st_uid != user)
        return QStringLiteral("%1: the folder belongs to another user").arg(folder);
    if (writableByOthers(info))
        return QStringLiteral("%1: other users may write to the folder").arg(folder);
    const QString above = QFileInfo(folder).absolutePath();
    if (above == folder)
        return QString();
    if (::stat(encodeFileName(above).constData(), &info) != 0)
        return QStringLiteral("%1: not a folder").arg(above);
    if (info.st_uid != user && info.st_uid != 0)
        return QStringLiteral("%1: the folder belongs to another user").arg(above);
    if (writableByOthers(info) && (info.st_mode & S_ISVTX) == 0)
        return QStringLiteral("%1: other users may write to the folder").arg(above);
    return QString();
}

QString privateFileProblem(const QString& path)
{
    struct stat info
    {
    };
    if (::lstat(encodeFileName(path).constData(), &info) != 0)
        return QString();
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1: a link, not the file itself").arg(path);
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1: not a regular file").arg(path);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1: the file belongs to another user").arg(path);
    return QString();
}

} // namespace tagsifter
