#include "FileNames.h"

#include <climits>
#include <unistd.h>

#include <QStringList>

#include <dirent.h>

namespace tagsifter {

namespace {

QByteArray namedEntry(const QByteArray& folder, const QString& qtName)
{
    DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return QByteArray();
    QByteArray found;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (QString::fromUtf8(raw) == qtName) {
            found = raw;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

QString heldPath(const QString& qtPath)
{
    if (!qtPath.contains(QChar::ReplacementCharacter) || !qtPath.startsWith(QLatin1Char('/')))
        return qtPath;
    QByteArray folder;
    const QStringList names = qtPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        QByteArray raw =
            name.contains(QChar::ReplacementCharacter) ? namedEntry(folder, name) : name.toUtf8();
        if (raw.isEmpty())
            return qtPath;
        folder += '/' + raw;
    }
    return decodeFileName(folder);
}

QString currentFolder()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? decodeFileName(buffer) : QString();
}

} // namespace tagsifter
