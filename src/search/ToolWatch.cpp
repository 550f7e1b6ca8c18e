#include "search/ToolWatch.h"

#include "dumpcache/DumpStore.h"
#include "exiftool/ToolIdentity.h"

namespace tagsifter {

ToolWatch::ToolWatch(FileSystem& files, std::function<QString()> workingFolder)
    : m_files(files), m_workingFolder(std::move(workingFolder))
{
}

bool ToolWatch::look(const QString& program)
{
    const QString programStamp = ToolIdentity::programStamp(m_files, program);
    const QString configStamp = configStampNow(program);
    if (program == m_program && programStamp == m_programStamp && configStamp == m_configStamp)
        return false;
    m_program = program;
    m_programStamp = programStamp;
    m_configStamp = configStamp;
    m_version.clear();
    return true;
}

QString ToolWatch::configStampNow(const QString& program) const
{
    return ToolIdentity::configStamp(m_files, program, m_workingFolder());
}

QString ToolWatch::key(const QString& version, const QString& configStamp)
{
    // "m": dumps read by sessions that loaded every module with Composite tags first.
    return version + QLatin1Char(' ') + configStamp + QLatin1Char(' ') +
           QLatin1String(DumpStore::kFormat) + QLatin1String(" m");
}

QString ToolWatch::key() const
{
    return m_version.isEmpty() ? QString() : key(m_version, m_configStamp);
}

} // namespace tagsifter
