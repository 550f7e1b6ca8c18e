#pragma once

#include "core/FileSystem.h"

#include <QString>

namespace tagsifter {

/// What tells one exiftool's output from another's: the program file that runs and the
/// configuration file it loads. Either changed, the same image may print other text.
class ToolIdentity
{
public:
    /// The configuration file that the exiftool at `program`, started in `workingFolder`,
    /// loads: ".ExifTool_config" in EXIFTOOL_HOME, else HOME, else its working folder; when
    /// that cannot be read, the one beside the program.
    static QString configFile(const QString& program, const QString& workingFolder);
    /// The stamp of that configuration file (a missing one has a stamp too).
    static QString configStamp(const FileSystem& files, const QString& program,
                               const QString& workingFolder);
    /// The stamp of the program file at `program`.
    static QString programStamp(const FileSystem& files, const QString& program);
};

} // namespace tagsifter
