#include "ToolIdentity.h"

#include "core/FileNameBytes.h"

#include <unistd.h>

namespace tagsifter {

QString ToolIdentity::configFile(const QString& program, const QString& workingFolder)
{
    // As exiftool looks for it: the first of EXIFTOOL_HOME and HOME that is set, else its
    // working folder; a file there that cannot be read gives way to the one in the program's
    // folder.
    QString home = qEnvironmentVariable("EXIFTOOL_HOME");
    if (home.isEmpty())
        home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        home = workingFolder;
    const QString name = QStringLiteral(".ExifTool_config");
    const QString file = home + QLatin1Char('/') + name;
    if (::access(encodeFileName(file).constData(), R_OK) == 0)
        return file;
    return program.left(program.lastIndexOf(QLatin1Char('/')) + 1) + name;
}

QString ToolIdentity::configStamp(const FileSystem& files, const QString& program,
                                  const QString& workingFolder)
{
    // Two files of the same size and times are taken for one: what matters is that a change
    // of the file exiftool loads is seen.
    const FileStamp config = files.stamp(configFile(program, workingFolder));
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
