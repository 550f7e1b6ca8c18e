#pragma once

#include "MetadataReader.h"
#include "core/DumpParser.h"
#include "core/Platform.h"
#include "exiftool/ExifTool.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tagsifter {

class ErrorReport;

/// What to search: images and folders (a folder gives its tree's files with one of
/// `extensions`, walked as "Add All JPEG File(s) In Folder" walks it), the text to find, and a
/// stop token asked before each image and during every wait.
struct SearchRequest
{
    QStringList paths;
    QStringList extensions{QStringLiteral("jpg")};
    QString text;
    std::function<bool()> stopRequested;
};

/// Where hits go as they are found.
class HitSink
{
public:
    virtual ~HitSink() = default;
    /// The hits of the image at `path`, in exiftool's order; called only for images with hits,
    /// in the order the images were named.
    virtual void found(const QString& path, const QList<TagValue>& hits) = 0;
    /// Something that could not be done, as soon as it is known (the outcome lists it too).
    virtual void problem(const struct SearchProblem& problem) { Q_UNUSED(problem); }
    /// `done` of `total` images searched.
    virtual void progress(int done, int total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }
};

/// Something the search could not do, as data: each door words it its own way.
struct SearchProblem
{
    enum class Kind {
        /// A path named in the request does not exist.
        PathMissing,
        /// A folder, or part of its tree, could not be walked.
        FolderUnreadable,
        /// An image gave no metadata: no permission, exiftool failed, or its output was cut short.
        ImageUnreadable,
        /// No exiftool can be found or started: nothing can be searched.
        ToolMissing,
    };
    Kind kind;
    QString path;
    /// Why, as the system or exiftool says it; may be empty.
    QString reason;
};

/// What a search came to.
struct SearchOutcome
{
    enum class Status { Found, NothingFound, Stopped, Failed };
    Status status = Status::NothingFound;
    int imagesSearched = 0;
    int imagesWithHits = 0;
    qint64 hits = 0;
    std::vector<SearchProblem> problems;
};

/// The search itself, shared by the window's run and the terminal: the images' dumps read
/// through exiftool's sessions, the cache and the one-shot way, split into tag and value, and
/// every value that contains the text, ignoring case, handed on.
class SearchEngine
{
public:
    /// `exiftool` names the program to run; empty means the one on the search path.
    explicit SearchEngine(const Platform& platform, QString exiftool = QString());
    Q_DISABLE_COPY_MOVE(SearchEngine)

    /// The whole search of `request`: its images in order, hits to `sink` as they are found.
    SearchOutcome run(const SearchRequest& request, HitSink& sink);

    /// The images `request` names, its folders walked; what could not be walked goes to
    /// `problems`.
    QStringList collectImages(const SearchRequest& request,
                              std::vector<SearchProblem>& problems) const;

    /// One image's dump as the search reads it.
    struct Dump
    {
        QString text;
        /// A stop request cut the read short: the text is not whole.
        bool stopped = false;
        /// exiftool could not be started at all.
        bool toolMissing = false;
    };
    /// The dump of image `i` (1-based) of the `count` images that `pathAt` gives, the next
    /// ones read ahead meanwhile. With `report`, each step's failure is reported at its own line.
    Dump readImage(const QString& program, int i, int count,
                   const std::function<QString(int)>& pathAt, DumpProgress progress,
                   ErrorReport* report = nullptr);

    /// Asked before each image and during every wait; a true answer ends the search.
    void setStopRequest(std::function<bool()> stopRequested);
    /// Reads every image the one-shot way, one exiftool process per image.
    void setOneShot(bool oneShot) { m_oneShot = oneShot; }
    bool oneShot() const { return m_oneShot; }
    /// Ends a search in progress and the exiftool processes it waits for.
    void abort();
    /// Ends the read-ahead and writes what was read to the cache file, as a search ends.
    void finish();

    ExifTool& exifTool() { return m_exifTool; }
    MetadataReader& reader() { return m_reader; }

private:
    /// Why the image at `path` gave no metadata, as the system or this program says it.
    QString whyUnreadable(const QString& path) const;

    Platform m_platform;
    ExifTool m_exifTool;
    MetadataReader m_reader;
    bool m_oneShot = false;
};

} // namespace tagsifter
