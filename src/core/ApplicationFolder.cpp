#include "core/ApplicationFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace tagsifter {

QString applicationFolder()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (QDir(beside + QLatin1String("/Samples")).exists())
        return beside;
    const QString installed = QDir::cleanPath(beside + QLatin1String("/../share/tagsifter"));
    if (QDir(installed).exists())
        return installed;
    return beside;
}

} // namespace tagsifter
