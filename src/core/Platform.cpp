#include "Platform.h"

#include <QCoreApplication>
#include <QDir>

namespace tagsifter {

namespace {
QString& titleStore()
{
    static QString title;
    return title;
}
} // namespace

QString applicationTitle()
{
    return titleStore();
}

void setApplicationTitle(const QString& title)
{
    titleStore() = title;
}

QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

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
