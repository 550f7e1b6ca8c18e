#include "FindCommand.h"

#include "Output.h"
#include "Printer.h"
#include "TagsPrinter.h"

#include "platform/FileNames.h"
#include "platform/QtServices.h"
#include "platform/Termination.h"
#include "query/PatternMatcher.h"
#include "query/QueryParser.h"
#include "query/QueryValues.h"
#include "query/TagVocabulary.h"
#include "search/SearchEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tagsifter {

namespace {

QByteArray problemLine(const SearchProblem& problem)
{
    const QByteArray path = encodeFileName(problem.path);
    const QByteArray reason = problem.reason.toLocal8Bit();
    switch (problem.kind) {
    case SearchProblem::Kind::ToolMissing:
        return "tagsifter: exiftool could not be found or started (on Debian: sudo apt-get install "
               "libimage-exiftool-perl)\n";
    case SearchProblem::Kind::ImageUnreadable:
        return "tagsifter: " + path + ": cannot be read: " + reason + '\n';
    case SearchProblem::Kind::ToolFails:
        return "tagsifter: exiftool fails: " + reason + '\n';
    case SearchProblem::Kind::ToolUnanswered:
        return "tagsifter: exiftool does not answer; the search ends\n";
    case SearchProblem::Kind::FolderUnreadable:
    case SearchProblem::Kind::PathMissing:
        break;
    }
    return "tagsifter: " + path + ": " + reason + '\n';
}

/// The engine's hits handed to the printer, each image searched without a hit told once it is
/// known, and what went wrong written to standard error as it happens.
class TerminalSink : public HitSink
{
public:
    TerminalSink(Printer& printer, Output& output, std::FILE* err, EventLoopService& events,
                 bool currentFolder)
        : m_printer(printer), m_output(output), m_err(err), m_events(events),
          m_progressShown(::isatty(fileno(err)) == 1), m_currentFolder(currentFolder)
    {
        m_sinceProgress.start();
    }
    void imageStarting(int, int, const QString& path) override
    {
        tellWithoutHits();
        m_image = {shown(path), false, false, false};
        // A signal is seen through the event loop.
        m_events.yieldSometimes();
    }
    void found(const QString& path, const QList<TagValue>& hits) override
    {
        m_image.hits = true;
        m_anyHit = true;
        m_printer.hits(shown(path), hits);
    }
    void foundInSidecar(const QString& path, const QString& sidecar,
                        const QList<TagValue>& hits) override
    {
        m_image.hits = true;
        m_anyHit = true;
        m_printer.sidecarHits(shown(path), shown(sidecar), hits);
    }
    void foundPacked(const QString& path, const QByteArray& packedHits) override
    {
        m_image.hits = true;
        m_anyHit = true;
        m_printer.packedHits(shown(path), packedHits);
    }
    DumpProgress readProgress() override
    {
        // The hits wait in the output's buffer while images come fast; before the search
        // waits for exiftool they go out.
        DumpProgress progress;
        progress.setBeforeWait([this] { m_output.flush(); });
        return progress;
    }
    void problem(const SearchProblem& problem) override
    {
        clearProgress();
        if (problem.kind == SearchProblem::Kind::ImageUnreadable &&
            shown(problem.path) == m_image.path)
            m_image.unreadable = true;
        SearchProblem told = problem;
        told.path = shown(problem.path);
        const QByteArray line = problemLine(told);
        std::fwrite(line.constData(), 1, line.size(), m_err);
        m_failed = true;
    }
    void progress(int done, int total) override
    {
        m_image.searched = true;
        // A few times a second is what an eye can follow; a line an image would slow a fast
        // search down.
        if (!m_progressShown ||
            (m_progressWritten && done < total && m_sinceProgress.elapsed() < kProgressEveryMs))
            return;
        m_sinceProgress.restart();
        std::fprintf(m_err, "\r%d of %d images", done, total);
        std::fflush(m_err);
        m_progressWritten = true;
    }
    /// The image in progress, when it was searched and holds no hit, to the printer.
    void tellWithoutHits()
    {
        if (m_image.searched && !m_image.hits && !m_image.unreadable)
            m_printer.noHits(m_image.path);
        m_image = {};
    }
    /// Takes the progress line away before anything else is said on the terminal.
    void clearProgress()
    {
        if (std::exchange(m_progressWritten, false))
            std::fputs("\r\033[K", m_err);
    }
    bool failed() const { return m_failed; }
    bool anyHit() const { return m_anyHit; }

private:
    /// A path as printed: the current folder searched for want of PATH leaves out its "./",
    /// as rg does.
    QString shown(const QString& path) const
    {
        return m_currentFolder && path.startsWith(QLatin1String("./")) ? path.mid(2) : path;
    }
    struct Image
    {
        QString path;
        bool searched = false;
        bool hits = false;
        bool unreadable = false;
    };
    static constexpr qint64 kProgressEveryMs = 100;
    Printer& m_printer;
    Output& m_output;
    std::FILE* m_err;
    EventLoopService& m_events;
    bool m_progressShown;
    bool m_currentFolder;
    bool m_progressWritten = false;
    bool m_failed = false;
    bool m_anyHit = false;
    QElapsedTimer m_sinceProgress;
    Image m_image;
};

/// The paths a file names, one a line; false, after saying why, when it cannot be read.
bool readPathList(const QString& name, QStringList& paths, std::FILE* err)
{
    QFile file;
    const bool opened = name == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(name), file.open(QIODevice::ReadOnly));
    if (!opened) {
        std::fprintf(err, "tagsifter: %s: %s\n", encodeFileName(name).constData(),
                     file.errorString().toLocal8Bit().constData());
        return false;
    }
    const QByteArray all = file.readAll();
    for (QByteArray line : all.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            paths.append(decodeFileName(line));
    }
    return true;
}

/// True when colours are wanted: always, or on a terminal that is not "dumb" and without
/// NO_COLOR set to something.
bool colorWanted(ColorChoice choice, const Output& output)
{
    if (choice != ColorChoice::Auto)
        return choice == ColorChoice::Always;
    const char* noColor = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    return output.isTerminal() && (noColor == nullptr || *noColor == '\0') &&
           (term == nullptr || std::strcmp(term, "dumb") != 0);
}

/// The query of the texts and tags of `options`, and its matcher for marking the matches; the
/// line that says why when a regular expression cannot be read.
std::variant<SearchQuery, QByteArray> queryOf(const FindOptions& options,
                                              std::shared_ptr<const PatternMatcher>& matcher,
                                              const TagVocabulary* names)
{
    PatternOptions patterns;
    patterns.patterns = options.texts();
    patterns.word = options.word;
    patterns.caseSensitive = options.caseSensitive;
    patterns.regex = options.regex;
    patterns.tags = options.tags;
    // A tag named by exiftool's name ("Model") is also the tag the list shows for it ("Camera
    // Model Name"), as a query names tags.
    if (names) {
        for (const QString& tag : options.tags) {
            const QString compact = compactTag(tag);
            for (const auto& [name, description] : names->pairs()) {
                if (compactTag(name) == compact && !patterns.tags.contains(description))
                    patterns.tags.append(description);
            }
        }
    }
    auto made = PatternMatcher::make(patterns);
    if (const PatternError* error = std::get_if<PatternError>(&made))
        return "tagsifter: the regular expression '" + error->pattern.toLocal8Bit() +
               "' cannot be read at column " + QByteArray::number(error->column) + ": " +
               error->reason.toLocal8Bit() + '\n';
    auto shared = std::get<std::shared_ptr<const PatternMatcher>>(std::move(made));
    matcher = shared;
    // One text ignoring case in every tag is the window's search, with its own fast matcher.
    if (patterns.patterns.size() == 1 && !patterns.word && !patterns.caseSensitive &&
        !patterns.regex && patterns.tags.isEmpty())
        return SearchQuery::containing(patterns.patterns.first());
    return SearchQuery::matching(std::move(shared));
}

/// `text` read in the query language with the tag names of the exiftool that searches; the
/// line that says why and at which column when it cannot be read.
std::variant<SearchQuery, QByteArray> readQuery(const QString& text, SearchEngine& engine)
{
    std::variant<SearchQuery, QueryError> read = SearchQuery::parse(text, engine.tagVocabulary());
    if (const QueryError* error = std::get_if<QueryError>(&read))
        return "tagsifter: the query cannot be read at column " +
               QByteArray::number(error->column) + ": " + error->reason.toLocal8Bit() + '\n';
    return std::get<SearchQuery>(std::move(read));
}

} // namespace

int FindCommand::run(const FindOptions& options, std::FILE* out, std::FILE* err, bool outClosed)
{
    QtSystemServices services;
    SearchEngine engine(services.system(), QString(), options.jobs);
    if (options.noSidecars)
        engine.setSidecars(false);
    SearchRequest request;
    std::shared_ptr<const PatternMatcher> matcher;
    std::variant<SearchQuery, QByteArray> query =
        options.hasQuery ? readQuery(options.query, engine)
                         : queryOf(options, matcher,
                                   options.tags.isEmpty() ? nullptr : engine.tagVocabulary().get());
    if (const QByteArray* problem = std::get_if<QByteArray>(&query)) {
        std::fputs(problem->constData(), err);
        return 2;
    }
    request.query = std::get<SearchQuery>(std::move(query));
    if (options.explain) {
        Output explained(out, err, outClosed);
        explained.write(request.query.explain().toUtf8() + '\n');
        explained.flush();
        return explained.failed() ? 2 : 0;
    }
    request.extensions = options.extensions;
    request.paths = options.paths;
    bool failed = false;
    if (!options.filesFrom.isEmpty() && !readPathList(options.filesFrom, request.paths, err))
        failed = true;

    // Asked to end (Ctrl+C, a logout): the search stops, its exiftool processes end and the
    // temp folder goes, and the status tells the signal.
    int signalled = 0;
    QObject context;
    onTerminationRequest(&context, [&signalled](int signal) { signalled = signal; });

    // A reader that has gone is told by EPIPE, not by a signal that would end the program.
    std::signal(SIGPIPE, SIG_IGN);
    Output output(out, err, outClosed);
    const std::unique_ptr<Printer> printer =
        makePrinter(options, output, Marking{colorWanted(options.color, output), matcher});
    // The tags' names are exiftool's own, listed by it once and then kept in the cache file.
    if (auto* tags = dynamic_cast<TagsPrinter*>(printer.get()))
        tags->setNames(engine.tagVocabulary());
    TerminalSink sink(*printer, output, err, *services.system().events, options.currentFolder);
    // -q needs no more than the first hit.
    request.stopRequested = [&] {
        return signalled != 0 || output.ended() || (options.quiet && sink.anyHit());
    };

    printer->start();
    const SearchOutcome outcome = engine.run(request, sink);
    engine.abort();
    sink.tellWithoutHits();
    sink.clearProgress();
    failed = !printer->end(outcome, err) || failed || sink.failed();
    output.flush();
    if (signalled != 0)
        return 128 + signalled;
    // As grep's -q: a hit is what counts, whatever went wrong besides.
    if (options.quiet && outcome.hits > 0)
        return 0;
    if (failed || output.failed())
        return 2;
    return outcome.hits > 0 ? 0 : 1;
}

} // namespace tagsifter
