#pragma once

#include "ToolWatch.h"
#include "core/Sidecar.h"
#include "core/SystemServices.h"
#include "dumpcache/DumpCache.h"
#include "dumpcache/DumpStore.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tagsifter {

/// The dumps read so far, in front of exiftool: in memory for the life of the program, and in
/// the cache file across starts, each under the exiftool that printed it.
class DumpKeeper
{
public:
    /// `workingFolder` tells where exiftool runs.
    DumpKeeper(const SystemServices& system, std::function<QString()> workingFolder);
    ~DumpKeeper();
    DumpKeeper(const DumpKeeper&) = delete;
    DumpKeeper& operator=(const DumpKeeper&) = delete;

    /// Looks whether `program`, or the configuration it loads, has changed since it was last
    /// looked at; true when another exiftool took the place of one looked at before (the
    /// memory is forgotten then, and the cache file serves the new one).
    bool checkTool(const QString& program);
    /// The dump of `path` as kept under `stamp`, from memory or else the cache file (then kept
    /// in memory too).
    std::optional<QByteArray> recall(const QString& program, const QString& path,
                                     const FileStamp& stamp);
    /// Keeps the dump of `path` read under `stamp` by an exiftool with the configuration of
    /// `configStamp`.
    void keep(const QString& path, const FileStamp& stamp, const QString& dump,
              const QString& configStamp);
    /// The cache file, opened at the first need; null when there is none or it cannot be used.
    DumpStore* cacheFile();
    /// Writes the dumps kept since the last batch to the cache file.
    void flush();

    DumpCache& memory() { return m_memory; }
    const ToolWatch& tool() const { return m_tool; }
    /// The stamp of the file `path` (a dump's key) reads.
    FileStamp stampOf(const QString& path) const { return m_system.files->stamp(fileOfKey(path)); }
    /// The stamps of the files of `keys`, in their order.
    std::vector<FileStamp> stampsOf(QStringList keys) const
    {
        for (QString& key : keys)
            key = fileOfKey(key);
        return m_system.files->stamps(keys);
    }

private:
    SystemServices m_system;
    ToolWatch m_tool;
    DumpCache m_memory;
    std::unique_ptr<DumpStore> m_store;
    bool m_storeTried = false;
};

} // namespace tagsifter
