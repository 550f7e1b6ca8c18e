#include "TempFolders.h"

#include "FileNames.h"

#include <QDir>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsifter::TempFolders {

namespace {

const QLatin1String kPrefix("tagsifter-");

} // namespace

QString templateFor(const QString& tempPath)
{
    return tempPath + QLatin1Char('/') + kPrefix + QString::number(::getpid()) +
           QLatin1String("-XXXXXX");
}

int removeStale(const QString& tempPath)
{
    int removed = 0;
    const QStringList names =
        QDir(tempPath).entryList({kPrefix + QLatin1String("*-*")}, QDir::Dirs | QDir::Hidden);
    for (const QString& name : names) {
        bool isNumber = false;
        const QString number = name.mid(kPrefix.size()).section(QLatin1Char('-'), 0, 0);
        const qint64 pid = number.toLongLong(&isNumber);
        if (!isNumber || pid <= 0 || pid == ::getpid())
            continue;
        const QString path = tempPath + QLatin1Char('/') + name;
        struct stat info
        {
        };
        // Only this user's own, and only of a process that has gone: a live one (or a pid
        // taken again since) keeps its folder.
        if (::lstat(encodeFileName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::getuid())
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        if (QDir(path).removeRecursively())
            ++removed;
    }
    return removed;
}

} // namespace tagsifter::TempFolders
