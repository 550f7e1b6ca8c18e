#include "SearchEngine.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/FolderScan.h"
#include "platform/FileNames.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <string_view>
#include <utility>

namespace tagsifter {

namespace {

QString missingReason()
{
    return QStringLiteral("No such file or directory");
}

/// The value of exiftool's "Error" line in `dump`, or the empty text.
QString errorOf(const QString& dump)
{
    // Every dump is looked at: a plain search of its code units, without Qt's general one.
    const std::u16string_view text(reinterpret_cast<const char16_t*>(dump.utf16()),
                                   static_cast<size_t>(dump.size()));
    const size_t at = text.find(u"\nError ");
    if (at == std::u16string_view::npos)
        return QString();
    const size_t end = text.find(u'\n', at + 1);
    const qsizetype from = static_cast<qsizetype>(at + 1);
    const std::optional<TagValue> entry = parseDumpLine(
        dump.mid(from, end == std::u16string_view::npos ? -1 : static_cast<qsizetype>(end) - from));
    return entry && entry->tag == QLatin1String("Error") ? entry->value : QString();
}

} // namespace

QString SearchEngine::whyUnreadable(const QString& path) const
{
    const FileStamp stamp = m_platform.files->stamp(path);
    if (stamp.kind == FileStamp::Kind::Missing)
        return missingReason();
    if (stamp.isSpecial())
        return QStringLiteral("Not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QStringLiteral("exiftool gave no metadata");
}

SearchEngine::SearchEngine(const Platform& platform, QString exiftool)
    : m_platform(platform), m_exifTool(platform, std::move(exiftool)),
      m_reader(platform, m_exifTool)
{
}

void SearchEngine::setStopRequest(std::function<bool()> stopRequested)
{
    m_exifTool.setStopRequest(stopRequested);
    m_reader.setStopRequest(std::move(stopRequested));
}

void SearchEngine::abort()
{
    m_reader.closeSessions();
}

void SearchEngine::finish()
{
    // No image starts once the search is over, nor goes on being read for it.
    m_reader.endReadAhead();
    m_reader.flushStore();
}

QStringList SearchEngine::collectImages(const SearchRequest& request,
                                        std::vector<SearchProblem>& problems) const
{
    QStringList images;
    FolderScan scan(m_platform, [&images](const QString& path) { images.append(path); });
    for (const QString& path : request.paths) {
        if (m_platform.files->stamp(path).kind == FileStamp::Kind::Missing) {
            problems.push_back({SearchProblem::Kind::PathMissing, path, missingReason()});
            continue;
        }
        if (!scan.IsFolder(path)) {
            images.append(path);
            continue;
        }
        QString folder = path;
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        // A folder that cannot be walked is told of and the rest of the tree still walked.
        scan.reportFailuresTo([&problems, &folder](int, const QString& description, int) {
            problems.push_back({SearchProblem::Kind::FolderUnreadable, folder, description});
        });
        // Each extension walks the tree anew; a file that two of them match is listed once
        // for the folder.
        QSet<QString> listed;
        for (const QString& extension : request.extensions) {
            try {
                const int before = static_cast<int>(images.size());
                scan.CollectFolderTree(folder, QStringLiteral("*.") + extension);
                if (request.extensions.size() < 2)
                    continue;
                QStringList kept = images.mid(0, before);
                for (int k = before; k < images.size(); ++k) {
                    if (!listed.contains(images.at(k)))
                        kept.append(images.at(k));
                }
                images = kept;
                for (int k = before; k < images.size(); ++k)
                    listed.insert(images.at(k));
            } catch (const Failure& failure) {
                problems.push_back(
                    {SearchProblem::Kind::FolderUnreadable, folder, failure.description()});
            }
        }
    }
    return images;
}

SearchEngine::Dump SearchEngine::readImage(const QString& program, int i, int count,
                                           const std::function<QString(int)>& pathAt,
                                           DumpProgress progress, ErrorReport* report)
{
    const QString path = pathAt(i);
    Dump dump;
    // A device, FIFO or socket (or a link to one) gives no rows: exiftool could wait on it
    // for ever.
    if (m_platform.files->stamp(path).isSpecial())
        return dump;
    if (m_oneShot) {
        dump.text = m_exifTool.DumpMetadata(path, std::move(progress), report);
        dump.stopped = m_exifTool.wasStopped();
        dump.toolMissing = m_exifTool.startFailed();
        return dump;
    }
    // The next images are read ahead while this one is searched; this one is asked first, so
    // that it never waits behind them.
    const int ahead = std::min(count, i + m_reader.readAhead());
    for (int j = i; j <= ahead; ++j)
        m_reader.prefetch(program, pathAt(j));
    m_exifTool.resetStartFailed();
    dump.text = m_reader.read(program, path, std::move(progress), report);
    dump.stopped = m_reader.wasStopped();
    dump.toolMissing = m_exifTool.startFailed();
    return dump;
}

SearchOutcome SearchEngine::run(const SearchRequest& request, HitSink& sink)
{
    SearchOutcome outcome;
    setStopRequest(request.stopRequested);
    const QStringList images = collectImages(request, outcome.problems);
    for (const SearchProblem& problem : outcome.problems)
        sink.problem(problem);
    const auto tell = [&](SearchProblem problem) {
        outcome.problems.push_back(std::move(problem));
        sink.problem(outcome.problems.back());
    };
    const auto stopped = [&] { return request.stopRequested && request.stopRequested(); };
    const QString program = images.isEmpty() ? QString() : m_exifTool.EnsureExifTool();
    if (!images.isEmpty() && program.isEmpty()) {
        tell({SearchProblem::Kind::ToolMissing, QString(), QString()});
        outcome.status = SearchOutcome::Status::Failed;
        return outcome;
    }
    // Sessions start at the first image that needs exiftool: a search that the cache answers
    // starts none. An exiftool or configuration changed since the last search is seen here.
    if (!m_oneShot && !program.isEmpty())
        m_reader.checkTool(program);
    const int count = static_cast<int>(images.size());
    // exiftool is given absolute paths only (it runs in a folder of its own); the hits name
    // each image as it was given.
    const QString here = currentFolder();
    QStringList absolutes;
    absolutes.reserve(count);
    for (const QString& path : images)
        absolutes.append(path.isEmpty() || path.startsWith(QLatin1Char('/'))
                             ? path
                             : here + QLatin1Char('/') + path);
    const auto pathAt = [&absolutes](int i) { return absolutes.value(i - 1); };
    // Images already in the cache file are searched in one pass over it.
    std::vector<std::optional<QByteArray>> swept;
    if (!m_oneShot)
        swept = m_reader.sweep(program, absolutes, request.text);
    bool wasStopped = false;
    for (int i = 1; i <= count; ++i) {
        m_platform.events->yieldSometimes();
        if (stopped()) {
            wasStopped = true;
            break;
        }
        const QString& path = images.at(i - 1);
        std::optional<QList<TagValue>> hits;
        if (static_cast<size_t>(i - 1) < swept.size() && swept[static_cast<size_t>(i - 1)]) {
            hits = unpackEntries(*swept[static_cast<size_t>(i - 1)]);
            swept[static_cast<size_t>(i - 1)].reset();
        }
        if (!hits) {
            Dump dump;
            try {
                dump = readImage(program, i, count, pathAt, DumpProgress());
            } catch (const Failure& failure) {
                // Only the one-shot way writes files (the temp folder): what keeps it from
                // working keeps this image from being read, not the others.
                tell({SearchProblem::Kind::ImageUnreadable, path, failure.description()});
                m_exifTool.removeTempFiles();
                continue;
            }
            m_exifTool.removeTempFiles();
            if (dump.toolMissing) {
                tell({SearchProblem::Kind::ToolMissing, QString(), QString()});
                outcome.status = SearchOutcome::Status::Failed;
                finish();
                return outcome;
            }
            if (dump.stopped) {
                wasStopped = true;
                break;
            }
            if (dump.text.isEmpty()) {
                ++outcome.imagesSearched;
                sink.progress(i, count);
                tell({SearchProblem::Kind::ImageUnreadable, path, whyUnreadable(pathAt(i))});
                continue;
            }
            // exiftool names what kept it from reading a file ("File is empty", "File format
            // error") on a line of its output; the other lines are searched all the same.
            if (const QString error = errorOf(dump.text); !error.isEmpty())
                tell({SearchProblem::Kind::ImageUnreadable, path, error});
            hits = matchingEntries(dump.text, request.text);
        }
        ++outcome.imagesSearched;
        sink.progress(i, count);
        if (hits->isEmpty())
            continue;
        ++outcome.imagesWithHits;
        outcome.hits += hits->size();
        sink.found(path, *hits);
        if (stopped()) {
            wasStopped = true;
            break;
        }
    }
    finish();
    if (wasStopped)
        outcome.status = SearchOutcome::Status::Stopped;
    else
        outcome.status =
            outcome.hits > 0 ? SearchOutcome::Status::Found : SearchOutcome::Status::NothingFound;
    return outcome;
}

} // namespace tagsifter
