#pragma once

#include "query/SearchQuery.h"
#include "search/DumpKeeper.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

namespace tagsifter {

/// A search's pass over the cache file: what it holds for the search's images, searched for
/// the query in one pass, on every core.
class CacheSweep
{
public:
    /// For each of `paths` (as they are now) known in the cache file, its hits for `query`
    /// (maybe none) as packEntries holds them; nothing for the others. Done only when the paths
    /// are enough of the file for one pass to beat a query each.
    static std::vector<std::optional<QByteArray>> run(DumpKeeper& keeper, const QStringList& paths,
                                                      const SearchQuery& query);

    /// A pass needs this many images, and at least one image in this many rows of the file.
    static constexpr int kMinimum = 64;
    static constexpr int kShare = 20;
    /// Dumps searched together on the cores.
    static constexpr int kBatch = 512;
    /// Paths stamped together, one folder open at a time.
    static constexpr int kStampRun = 256;
};

} // namespace tagsifter
