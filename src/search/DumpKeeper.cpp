#include "search/DumpKeeper.h"

#include "core/DumpParser.h"
#include "core/SettingKeys.h"

namespace tagsifter {

DumpKeeper::DumpKeeper(const SystemServices& system, std::function<QString()> workingFolder)
    : m_system(system), m_tool(*system.files, std::move(workingFolder))
{
    if (m_system.settings)
        m_memory.setLimit(m_system.settings->read(Setting::MemoryCacheMB).toLongLong() << 20);
}

DumpKeeper::~DumpKeeper()
{
    flush();
}

bool DumpKeeper::checkTool(const QString& program)
{
    const bool lookedBefore = !m_tool.program().isEmpty();
    if (!m_tool.look(program))
        return false;
    // Another exiftool, or another configuration: what the memory holds was printed by the
    // old one.
    if (lookedBefore)
        m_memory.clear();
    if (DumpStore* store = cacheFile()) {
        // Until the version of this program file is known, nothing is found in the file.
        m_tool.setVersion(store->knownVersion(program, m_tool.programStamp()));
        store->setTool(m_tool.key());
    }
    return lookedBefore;
}

std::optional<QByteArray> DumpKeeper::recall(const QString& program, const QString& path,
                                             const FileStamp& stamp)
{
    std::optional<QByteArray> dump = m_memory.find(path, stamp);
    if (!dump) {
        if (program != m_tool.program())
            checkTool(program);
        DumpStore* store = cacheFile();
        if (store && (dump = store->find(path, stamp)))
            m_memory.insert(path, stamp, *dump);
    }
    return dump;
}

void DumpKeeper::keep(const QString& path, const FileStamp& stamp, const QString& dump,
                      const QString& configStamp)
{
    QByteArray bytes = dump.toUtf8();
    // toUtf8 leaves room for three bytes a character: the cache counts what it holds.
    bytes.squeeze();
    // The memory serves the exiftool of now only; an answer of a configuration since changed
    // is filed under its own, in the file.
    if (configStamp == m_tool.configStamp())
        m_memory.insert(path, stamp, bytes);
    DumpStore* store = cacheFile();
    if (!store)
        return;
    // A dump says which exiftool wrote it, and is filed under that exiftool only: the version
    // is learnt from the first dump read, so no exiftool is started just to ask for it, and an
    // exiftool replaced under the same file stamp is noticed at its first answer.
    const QString version = exiftoolVersionOf(bytes);
    if (version.isEmpty())
        return;
    if (version != m_tool.version()) {
        m_tool.setVersion(version);
        store->rememberVersion(m_tool.program(), m_tool.programStamp(), version);
        store->setTool(m_tool.key());
    }
    store->insert(path, stamp, bytes, ToolWatch::key(version, configStamp));
}

DumpStore* DumpKeeper::cacheFile()
{
    if (!m_storeTried) {
        m_storeTried = true;
        const qint64 megabytes = m_system.settings
                                     ? m_system.settings->read(Setting::DiskCacheMB).toLongLong()
                                     : DumpStore::kDefaultLimitBytes >> 20;
        if (!m_system.dumpCacheFile.isEmpty() && megabytes > 0) {
            // No cache file is no failure: the search reads through exiftool.
            try {
                m_store = std::make_unique<DumpStore>(m_system.dumpCacheFile, megabytes << 20);
                if (!m_tool.program().isEmpty()) {
                    m_tool.setVersion(
                        m_store->knownVersion(m_tool.program(), m_tool.programStamp()));
                    if (!m_tool.version().isEmpty())
                        m_store->setTool(m_tool.key());
                }
            } catch (...) {
                m_store.reset();
            }
        }
    }
    return m_store && m_store->isUsable() ? m_store.get() : nullptr;
}

void DumpKeeper::flush()
{
    if (m_store)
        m_store->flush();
}

} // namespace tagsifter
