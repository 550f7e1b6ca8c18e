#pragma once

#include "core/FileSystem.h"

#include <QString>

#include <functional>

namespace tagsifter {

/// Which exiftool the dumps come from: its program file's stamp, the configuration file it
/// loads, and the version it gives (learnt from its first dump, or remembered by the cache
/// file). Either file changed, the same image may print other text.
class ToolWatch
{
public:
    /// `workingFolder` tells where exiftool runs (it may load a configuration from there).
    ToolWatch(FileSystem& files, std::function<QString()> workingFolder);

    /// Looks at `program` and its configuration again: true when they differ from what was
    /// looked at last (then the version is unknown until it is learnt again).
    bool look(const QString& program);

    const QString& program() const { return m_program; }
    const QString& programStamp() const { return m_programStamp; }
    const QString& configStamp() const { return m_configStamp; }
    /// The stamp of the configuration the exiftool at `program` loads now.
    QString configStampNow(const QString& program) const;
    /// The version, or the empty text while it is unknown.
    const QString& version() const { return m_version; }
    void setVersion(const QString& version) { m_version = version; }

    /// What names the exiftool of `version` with the configuration of `configStamp`.
    static QString key(const QString& version, const QString& configStamp);
    /// The key of the exiftool looked at, or the empty text while its version is unknown.
    QString key() const;

private:
    FileSystem& m_files;
    std::function<QString()> m_workingFolder;
    QString m_program;
    QString m_programStamp;
    QString m_version;
    QString m_configStamp;
};

} // namespace tagsifter
