#include "ToolIdentity.h"

namespace tagsifter {

QString ToolIdentity::configFile()
{
    const QString home = qEnvironmentVariableIsEmpty("EXIFTOOL_HOME")
                             ? qEnvironmentVariable("HOME")
                             : qEnvironmentVariable("EXIFTOOL_HOME");
    return home + QLatin1String("/.ExifTool_config");
}

QString ToolIdentity::configStamp(const FileSystem& files)
{
    const FileStamp config = files.stamp(configFile());
    return QStringLiteral("config %1 %2 %3")
        .arg(config.size)
        .arg(config.modifiedNs)
        .arg(config.changedNs);
}

QString ToolIdentity::programStamp(const FileSystem& files, const QString& program)
{
    const FileStamp file = files.stamp(program);
    return QStringLiteral("%1 %2 %3 %4")
        .arg(file.size)
        .arg(file.modifiedNs)
        .arg(file.changedNs)
        .arg(file.inode);
}

} // namespace tagsifter
