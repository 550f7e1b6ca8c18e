#pragma once

#include "MetadataReader.h"
#include "TagNames.h"
#include "core/DumpParser.h"
#include "core/SystemServices.h"
#include "exiftool/ExifTool.h"
#include "query/SearchQuery.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tagsifter {

class StepReport;

/// What the terminal searches: images and folders (a folder gives its tree's files with one of
/// `extensions`, walked as "Add All JPEG File(s) In Folder" walks it), the query, and a stop
/// token asked before each image and during every wait.
struct SearchRequest
{
    QStringList paths;
    QStringList extensions{QStringLiteral("jpg")};
    SearchQuery query;
    std::function<bool()> stopRequested;
};

/// Where a search's images come from, read as they stand at each step: the window's file list
/// may gain or lose rows while the search runs.
class ImageSource
{
public:
    virtual ~ImageSource() = default;
    /// How many images there are now.
    virtual int count() const = 0;
    /// The path of image `i` (1-based) as it is now; empty when there is none.
    virtual QString pathAt(int i) const = 0;
};

/// A list of images that does not change.
class ImageList : public ImageSource
{
public:
    explicit ImageList(QStringList paths) : m_paths(std::move(paths)) {}
    int count() const override { return static_cast<int>(m_paths.size()); }
    QString pathAt(int i) const override { return m_paths.value(i - 1); }

private:
    QStringList m_paths;
};

/// The steps of a search that a door may watch over: a door that reports each step's failure
/// at a place of its own runs the step itself.
enum class SearchStep {
    /// Finding the exiftool to run.
    FindTool,
    /// Reading one image's dump.
    Read,
    /// Finding the hits among an image's rows.
    Match,
    /// Removing what a one-shot read left in the temp folder.
    RemoveTempFiles,
};

/// Where hits go as they are found, and what a door hears of the search's progress.
class HitSink
{
public:
    virtual ~HitSink() = default;
    /// The hits of the image at `path`, in exiftool's order; called only for images with hits,
    /// in the order the images were named.
    virtual void found(const QString& path, const QList<TagValue>& hits) = 0;
    /// The same hits as packEntries holds them (the cache file's pass keeps them so).
    virtual void foundPacked(const QString& path, const QByteArray& packedHits)
    {
        found(path, unpackEntries(packedHits));
    }
    /// Something that could not be done, as soon as it is known (the outcome lists it too).
    virtual void problem(const struct SearchProblem& problem) { Q_UNUSED(problem); }
    /// `done` of `total` images searched.
    virtual void progress(int done, int total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }
    /// Hits found in the XMP sidecar at `sidecar` of the image at `path`, after the image's
    /// own: by default they are the image's rows.
    virtual void foundInSidecar(const QString& path, const QString& sidecar,
                                const QList<TagValue>& hits)
    {
        Q_UNUSED(sidecar);
        found(path, hits);
    }
    /// Before image `i` of the `count` the search began with, at `path` as the source gives it
    /// now, and before the stop request is asked: where a door shows progress and yields.
    virtual void imageStarting(int i, int count, const QString& path)
    {
        Q_UNUSED(i);
        Q_UNUSED(count);
        Q_UNUSED(path);
    }
    /// Once exiftool is found, before the first image: false ends the search (the door has
    /// said why).
    virtual bool readyToRead() { return true; }
    /// How a read that has to wait shows itself.
    virtual DumpProgress readProgress() { return DumpProgress(); }
    /// Where a one-shot read reports each of its steps' failures; none lets them end the read.
    virtual StepReport* readReport() { return nullptr; }
    /// Runs `work`, one step of the search. A failure it throws ends the step; by default it
    /// goes on to the search, which tells of it as a problem of the image.
    virtual void step(SearchStep step, const std::function<void()>& work)
    {
        Q_UNUSED(step);
        work();
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
        /// exiftool starts but cannot work (the reason is what it says); the search ends.
        ToolFails,
        /// exiftool gave no answer for two images in a row; the search ends.
        ToolUnanswered,
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

/// The search itself, the one loop of the window's run and the terminal: the images' dumps read
/// through exiftool's sessions, the cache and the one-shot way, split into tag and value, and
/// the rows the query matches handed on.
class SearchEngine
{
public:
    /// `exiftool` names the program to run; empty means the one on the search path. `sessions`
    /// is how many exiftool processes read at once; 0 is one per core.
    explicit SearchEngine(const SystemServices& system, QString exiftool = QString(),
                          int sessions = 0);
    Q_DISABLE_COPY_MOVE(SearchEngine)

    /// The whole search of `request`: its images in order, hits to `sink` as they are found.
    SearchOutcome run(const SearchRequest& request, HitSink& sink);
    /// The search of the images `source` gives for `query`, asking the stop request set last.
    SearchOutcome run(const SearchQuery& query, const ImageSource& source, HitSink& sink);

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
        /// What exiftool said when it ended without finishing its output.
        QString toolError;
        /// exiftool stayed silent until it was ended.
        bool unanswered = false;
        /// The sessions hung image after image: exiftool does not answer.
        bool gaveUp = false;
    };

    /// Asked before each image and during every wait; a true answer ends the search.
    void setStopRequest(std::function<bool()> stopRequested);
    /// Searches the XMP sidecar beside each image with it (on by default).
    void setSidecars(bool on) { m_sidecars = on; }
    /// Reads every image the one-shot way, one exiftool process per image.
    void setOneShot(bool oneShot) { m_oneShot = oneShot; }
    bool oneShot() const { return m_oneShot; }
    /// Ends a search in progress and the exiftool processes it waits for.
    void abort();
    /// Ends the read-ahead and writes what was read to the cache file, as a search ends.
    void finish();

    /// The tag names of the exiftool the search runs, for reading a query; empty when there is
    /// no exiftool. The first time for an exiftool, it lists its tags (a second or two, the
    /// window alive meanwhile); after that they come from the cache file.
    std::shared_ptr<const TagVocabulary> tagVocabulary(DumpProgress progress = DumpProgress());
    /// The tag names known without asking exiftool: those of the last query, or else those
    /// the cache file keeps for the exiftool on the search path; null when there are none.
    std::shared_ptr<const TagVocabulary> knownTagVocabulary()
    {
        return m_tagNames.kept(m_exifTool.EnsureExifTool());
    }

    /// The tags a query may name, as a completer offers them: exiftool's tag names and the
    /// tags as the results list shows them (without spaces), of the dumps the cache file used
    /// last, the most frequent first.
    QStringList tagSuggestions();

    ExifTool& exifTool() { return m_exifTool; }
    MetadataReader& reader() { return m_reader; }

private:
    struct Run;
    /// The dump of image `i` of the run's source, the next ones read ahead meanwhile.
    Dump readImage(Run& run, int i);
    /// The dump `key` names (an image's path, or a sidecar's rows), read ahead of nothing.
    Dump readKey(Run& run, const QString& key);
    /// The run's images as it starts, each as an absolute path.
    QStringList absolutePaths(const Run& run) const;
    /// The sidecars of the run's images (`paths`, absolute), found as it starts.
    void findSidecars(Run& run, const QStringList& paths);
    /// The rows of the sidecar of image `path` (absolute `full`) for the image's `hits`: its
    /// hits handed on after the image's own; what kept it from being read told. With a query,
    /// the image and its sidecar are matched together. Returns the hits of both.
    qint64 searchSidecar(Run& run, const QString& path, const QString& full,
                         const QString& imageDump, QList<TagValue>& hits);
    /// Image `i` searched: its hits handed on, what went wrong told. False when the search
    /// ends here.
    bool searchImage(Run& run, int i);
    /// The hits of the dump just read for image `i`, after telling what exiftool said of it.
    void searchDump(Run& run, int i, const QString& path, const Dump& dump);
    /// What the cache file holds for the run's images (`paths`, absolute), searched in one pass
    /// over it.
    void sweep(Run& run, const QStringList& paths);
    void removeTempFiles(Run& run);
    /// False, after telling why, when exiftool itself fails or does not answer.
    bool toolWorks(Run& run, const QString& path, const Dump& dump);
    static constexpr int kUnansweredToGiveUp = 2;
    /// The dumps whose tags the completer offers.
    static constexpr int kSuggestionSample = 500;
    static constexpr int kFailuresToGiveUp = 2;
    /// False, and the run stopped, once a stop is requested.
    bool goesOn(Run& run) const;
    /// exiftool's absolute name of `path`: it runs in a folder of its own.
    QString absolute(const QString& path) const;
    /// Why the image at `path` gave no metadata, as the system or this program says it.
    QString whyUnreadable(const QString& path) const;

    SystemServices m_system;
    ExifTool m_exifTool;
    MetadataReader m_reader;
    TagNames m_tagNames;
    bool m_oneShot = false;
    bool m_sidecars = true;
    std::function<bool()> m_stopRequested;
    QString m_here;
};

} // namespace tagsifter
