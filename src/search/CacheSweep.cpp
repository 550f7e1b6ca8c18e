#include "search/CacheSweep.h"

#include "core/FileNameBytes.h"

#include <QtConcurrent/QtConcurrentMap>

namespace tagsifter {

std::vector<std::optional<QByteArray>> CacheSweep::run(DumpKeeper& keeper, const QStringList& paths,
                                                       const SearchQuery& query)
{
    std::vector<std::optional<QByteArray>> results(static_cast<size_t>(paths.size()));
    DumpStore* store = keeper.cacheFile();
    if (!store || keeper.tool().version().isEmpty())
        return results;
    // A pass reads every dump of the file; a query reads one. For a few images of a large
    // file the queries are quicker.
    const qint64 rows = store->rowEstimate();
    if (paths.size() < kMinimum || paths.size() * kShare < rows)
        return results;
    // The stamps on every core, in runs of paths that keep a library's folders together.
    std::vector<FileStamp> stamps(static_cast<size_t>(paths.size()));
    std::vector<std::pair<int, int>> runs;
    for (int start = 0; start < paths.size(); start += kStampRun)
        runs.emplace_back(start, std::min<int>(kStampRun, static_cast<int>(paths.size()) - start));
    QtConcurrent::blockingMap(runs, [&](const std::pair<int, int>& run) {
        const std::vector<FileStamp> found = keeper.stampsOf(paths.mid(run.first, run.second));
        std::copy(found.begin(), found.end(), stamps.begin() + run.first);
    });
    QHash<QByteArray, std::pair<int, FileStamp>> wanted;
    wanted.reserve(paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        const FileStamp& stamp = stamps[static_cast<size_t>(i)];
        if (!paths.at(i).isEmpty() && stamp.kind == FileStamp::Kind::Regular)
            wanted.insert(encodeFileName(paths.at(i)), {i, stamp});
    }
    const bool timesFirst = query.mayMatchTimes();
    struct Found
    {
        int index;
        QByteArray compressed;
    };
    // Inflated, ruled out on their bytes or decoded and matched, on every core, while this
    // thread reads the next batch from the file; the rows are the ones a read of the image
    // would give.
    const auto search = [&](Found& found) {
        // Each thread inflates into one buffer of its own, grown as dumps need.
        thread_local QByteArray inflated;
        const bool read = DumpStore::inflateInto(found.compressed, inflated);
        found.compressed.clear();
        if (!read)
            return;
        // The file time lines are written anew only when the text could be found in a time:
        // otherwise neither the kept times nor the new ones give a row.
        const QByteArray bytes =
            timesFirst ? withFileTimes(inflated, stamps[static_cast<size_t>(found.index)])
                       : QByteArray::fromRawData(inflated.constData(), inflated.size());
        QList<TagValue> hits;
        if (query.mayMatch(bytes))
            hits = query.matchingRows(bytes);
        // Packed: a library's hits are held until they become rows.
        results[static_cast<size_t>(found.index)] = packEntries(hits);
    };
    std::vector<Found> batch, working;
    QFuture<void> inFlight;
    const auto startBatch = [&] {
        inFlight.waitForFinished();
        working = std::move(batch);
        batch.clear();
        inFlight = QtConcurrent::map(working, search);
    };
    store->scan(wanted, [&](int index, QByteArray compressed) {
        batch.push_back({index, std::move(compressed)});
        if (static_cast<int>(batch.size()) >= kBatch)
            startBatch();
    });
    startBatch();
    inFlight.waitForFinished();
    return results;
}

} // namespace tagsifter
