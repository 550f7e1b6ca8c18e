#include "FindCommand.h"

#include "query/QueryParser.h"

#include "TableSpool.h"

#include "core/OutputFormat.h"
#include "platform/FileNames.h"
#include "platform/QtServices.h"
#include "platform/Termination.h"
#include "search/SearchEngine.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace tagsifter {

namespace {

/// Standard output, written as the hits come. A reader that has gone (`| head`) ends the
/// search quietly; any other failure to write is an error, said once.
class Output
{
public:
    Output(std::FILE* out, std::FILE* err, bool closed) : m_out(out), m_err(err), m_closed(closed)
    {
    }
    bool write(const QByteArray& bytes)
    {
        if (m_readerGone || m_failed)
            return false;
        if (m_closed)
            return fail(EBADF);
        if (std::fwrite(bytes.constData(), 1, bytes.size(), m_out) !=
            static_cast<size_t>(bytes.size()))
            return fail(errno);
        return true;
    }
    bool flush()
    {
        if (m_readerGone || m_failed || m_closed)
            return !m_readerGone && !m_failed;
        if (std::fflush(m_out) != 0)
            return fail(errno);
        return true;
    }
    /// True once nothing more can be written.
    bool ended() const { return m_readerGone || m_failed; }
    bool failed() const { return m_failed; }

private:
    bool fail(int error)
    {
        if (error == EPIPE) {
            m_readerGone = true;
            return false;
        }
        m_failed = true;
        std::fprintf(m_err, "tagsifter: write error: %s\n", std::strerror(error));
        return false;
    }
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_closed;
    bool m_readerGone = false;
    bool m_failed = false;
};

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

/// Where each hit goes, in the form the options ask for; what went wrong goes to standard
/// error as it happens.
class TerminalSink : public HitSink
{
public:
    TerminalSink(const FindOptions& options, Output& output, std::FILE* err,
                 EventLoopService& events)
        : m_options(options), m_output(output), m_err(err), m_events(events),
          m_progressShown(::isatty(fileno(err)) == 1)
    {
    }
    void imageStarting(int, int, const QString&) override
    {
        // A signal is seen through the event loop.
        m_events.yieldSometimes();
    }
    void found(const QString& path, const QList<TagValue>& hits) override
    {
        const QByteArray bytes = encodeFileName(path);
        if (m_options.count)
            return;
        if (m_options.filesWithMatches) {
            m_output.write(bytes + (m_options.null ? '\0' : '\n'));
        } else if (m_options.table) {
            m_table.add(path, hits);
            return;
        } else {
            QByteArray lines;
            for (const TagValue& hit : hits)
                lines += m_options.json ? OutputFormat::jsonLine(bytes, hit.tag, hit.value)
                                        : OutputFormat::hitLine(bytes, hit.tag, hit.value);
            m_output.write(lines);
        }
        m_output.flush();
    }
    void problem(const SearchProblem& problem) override
    {
        clearProgress();
        const QByteArray line = problemLine(problem);
        std::fwrite(line.constData(), 1, line.size(), m_err);
        m_failed = true;
    }
    bool failed() const { return m_failed; }
    void progress(int done, int total) override
    {
        if (!m_progressShown)
            return;
        std::fprintf(m_err, "\r%d of %d images", done, total);
        std::fflush(m_err);
        m_progressWritten = true;
    }
    /// Takes the progress line away before anything else is said on the terminal.
    void clearProgress()
    {
        if (std::exchange(m_progressWritten, false))
            std::fputs("\r\033[K", m_err);
    }
    TableSpool& table() { return m_table; }

private:
    const FindOptions& m_options;
    Output& m_output;
    std::FILE* m_err;
    EventLoopService& m_events;
    bool m_progressShown;
    bool m_progressWritten = false;
    bool m_failed = false;
    TableSpool m_table;
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

/// The query of `options` read into `query` with the tag names of the exiftool that searches;
/// false, after one line on `err` with the reason and the column, when it cannot be read.
bool readQuery(const FindOptions& options, SearchEngine& engine, SearchQuery& query, std::FILE* err)
{
    std::variant<SearchQuery, QueryError> read =
        SearchQuery::parse(options.text, engine.tagVocabulary());
    if (const QueryError* error = std::get_if<QueryError>(&read)) {
        std::fprintf(err, "tagsifter: the query cannot be read at column %d: %s\n", error->column,
                     error->reason.toLocal8Bit().constData());
        return false;
    }
    query = std::get<SearchQuery>(std::move(read));
    return true;
}

} // namespace

int FindCommand::run(const FindOptions& options, std::FILE* out, std::FILE* err, bool outClosed)
{
    CoreServices services;
    SearchEngine engine(services.platform());
    if (options.noSidecars)
        engine.setSidecars(false);
    SearchRequest request;
    if (!options.query) {
        request.query = SearchQuery::containing(options.text);
    } else if (!readQuery(options, engine, request.query, err)) {
        return 2;
    } else if (options.explain) {
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
    request.stopRequested = [&signalled] { return signalled != 0; };

    // A reader that has gone is told by EPIPE, not by a signal that would end the program.
    std::signal(SIGPIPE, SIG_IGN);
    Output output(out, err, outClosed);
    TerminalSink sink(options, output, err, *services.platform().events);
    const auto stop = request.stopRequested;
    request.stopRequested = [&] { return stop() || output.ended(); };

    const SearchOutcome outcome = engine.run(request, sink);
    engine.abort();
    sink.clearProgress();
    failed = failed || sink.failed();
    if (options.count && !output.ended())
        output.write(
            OutputFormat::countLine(outcome.imagesSearched, outcome.imagesWithHits, outcome.hits));
    if (options.table && !sink.table().isEmpty() && !output.ended() &&
        !sink.table().write([&output](const QByteArray& block) { return output.write(block); })) {
        std::fputs("tagsifter: the table's rows could not be kept in the temporary folder\n", err);
        failed = true;
    }
    output.flush();
    if (signalled != 0)
        return 128 + signalled;
    if (failed || output.failed())
        return 2;
    return outcome.hits > 0 ? 0 : 1;
}

} // namespace tagsifter
