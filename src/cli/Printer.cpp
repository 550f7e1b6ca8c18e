#include "Printer.h"

#include "TableSpool.h"
#include "TagsPrinter.h"

#include "core/OutputFormat.h"
#include "platform/FileNames.h"
#include "query/PatternMatcher.h"
#include "search/SearchEngine.h"

namespace tagsifter {

namespace {

const QByteArray kPathColor = "\033[35m";
const QByteArray kMatchColor = "\033[1;31m";
const QByteArray kReset = "\033[0m";

/// Calls `row` with the UTF-8 tag and value of each packed hit, in order.
template <typename Row> void forEachPackedRow(const QByteArray& packed, Row&& row)
{
    const char* data = packed.constData();
    qsizetype start = 0;
    while (start < packed.size()) {
        const qsizetype colon = packed.indexOf(':', start);
        const qsizetype end = colon < 0 ? -1 : packed.indexOf('\n', colon);
        if (end < 0)
            return;
        row(QByteArrayView(data + start, colon - start),
            QByteArrayView(data + colon + 1, end - colon - 1));
        start = end + 1;
    }
}

/// The path, TAB, tag, TAB, value lines; with colours when asked.
class LinePrinter : public Printer
{
public:
    LinePrinter(Output& output, Marking marking) : m_output(output), m_marking(std::move(marking))
    {
    }
    void hits(const QString& path, const QList<TagValue>& hits) override
    {
        const QByteArray bytes = encodeFileName(path);
        QByteArray lines;
        for (const TagValue& hit : hits)
            lines += m_marking.color
                         ? markedHitLine(bytes, hit.tag, hit.value, m_marking.matches.get())
                         : OutputFormat::hitLine(bytes, hit.tag, hit.value);
        m_output.write(lines);
    }
    void packedHits(const QString& path, const QByteArray& packed) override
    {
        // The path is escaped once for all its rows, and the rows leave UTF-8 only where the
        // matches in a value are marked.
        QByteArray escaped = OutputFormat::escapeField(encodeFileName(path));
        if (m_marking.color)
            escaped = kPathColor + escaped + kReset;
        QByteArray lines;
        lines.reserve(packed.size() + packed.count('\n') * (escaped.size() + 2));
        forEachPackedRow(packed, [&](QByteArrayView tag, QByteArrayView value) {
            lines += escaped;
            lines += '\t';
            OutputFormat::appendEscaped(lines, tag);
            lines += '\t';
            if (m_marking.color)
                appendMarkedValue(lines, QString::fromUtf8(value), m_marking.matches.get());
            else
                OutputFormat::appendEscaped(lines, value);
            lines += '\n';
        });
        m_output.write(lines);
    }

private:
    Output& m_output;
    Marking m_marking;
};

/// Each image once: with a hit (-l), or searched without one (-L).
class FileNamePrinter : public Printer
{
public:
    FileNamePrinter(Output& output, bool withHits, bool null, bool color)
        : m_output(output), m_withHits(withHits), m_end(null ? '\0' : '\n'), m_color(color)
    {
    }
    void hits(const QString& path, const QList<TagValue>&) override
    {
        if (m_withHits)
            print(path);
    }
    void packedHits(const QString& path, const QByteArray&) override
    {
        if (m_withHits)
            print(path);
    }
    void noHits(const QString& path) override
    {
        if (!m_withHits)
            print(path);
    }

private:
    void print(const QString& path)
    {
        const QByteArray bytes = encodeFileName(path);
        m_output.write(m_color ? kPathColor + bytes + kReset + m_end : bytes + m_end);
    }
    Output& m_output;
    bool m_withHits;
    char m_end;
    bool m_color;
};

class CountPrinter : public Printer
{
public:
    explicit CountPrinter(Output& output) : m_output(output) {}
    void hits(const QString&, const QList<TagValue>&) override {}
    void packedHits(const QString&, const QByteArray&) override {}
    bool end(const SearchOutcome& outcome, std::FILE*) override
    {
        if (!m_output.ended())
            m_output.write(OutputFormat::countLine(outcome.imagesSearched, outcome.imagesWithHits,
                                                   outcome.hits));
        return true;
    }

private:
    Output& m_output;
};

/// A line a hit in a form of OutputFormat (JSON Lines, CSV), after a header when it has one:
/// `pathPart` writes what every line of an image shares, `line` each hit.
class RecordPrinter : public Printer
{
public:
    using PathPart = QByteArray (*)(const QByteArray&);
    using Line = void (*)(QByteArray&, const QByteArray&, QByteArrayView, QByteArrayView);
    RecordPrinter(Output& output, PathPart pathPart, Line line, QByteArray header,
                  bool namesSidecars = false)
        : m_output(output), m_pathPart(pathPart), m_line(line), m_header(std::move(header)),
          m_namesSidecars(namesSidecars)
    {
    }
    void sidecarHits(const QString& path, const QString& sidecar,
                     const QList<TagValue>& hits) override
    {
        if (!m_namesSidecars) {
            this->hits(path, hits);
            return;
        }
        const QByteArray pathPart = m_pathPart(encodeFileName(path)) +
                                    OutputFormat::jsonSidecarPart(encodeFileName(sidecar));
        QByteArray lines;
        for (const TagValue& hit : hits)
            m_line(lines, pathPart, hit.tag.toUtf8(), hit.value.toUtf8());
        m_output.write(lines);
    }
    void start() override
    {
        if (!m_header.isEmpty())
            m_output.write(m_header);
    }
    void hits(const QString& path, const QList<TagValue>& hits) override
    {
        const QByteArray pathPart = m_pathPart(encodeFileName(path));
        QByteArray lines;
        for (const TagValue& hit : hits)
            m_line(lines, pathPart, hit.tag.toUtf8(), hit.value.toUtf8());
        m_output.write(lines);
    }
    void packedHits(const QString& path, const QByteArray& packed) override
    {
        const QByteArray pathPart = m_pathPart(encodeFileName(path));
        QByteArray lines;
        forEachPackedRow(packed, [&](QByteArrayView tag, QByteArrayView value) {
            m_line(lines, pathPart, tag, value);
        });
        m_output.write(lines);
    }

private:
    Output& m_output;
    PathPart m_pathPart;
    Line m_line;
    QByteArray m_header;
    bool m_namesSidecars;
};

/// The aligned table, written when the search ends: it needs the widest cell of each column.
class TablePrinter : public Printer
{
public:
    explicit TablePrinter(Output& output) : m_output(output) {}
    void hits(const QString& path, const QList<TagValue>& hits) override
    {
        m_table.add(path, hits);
    }
    bool end(const SearchOutcome&, std::FILE* err) override
    {
        if (m_table.isEmpty() || m_output.ended() ||
            m_table.write([this](const QByteArray& block) { return m_output.write(block); }))
            return true;
        std::fputs("tagsifter: the table's rows could not be kept in the temporary folder\n", err);
        return false;
    }

private:
    Output& m_output;
    TableSpool m_table;
};

class QuietPrinter : public Printer
{
public:
    void hits(const QString&, const QList<TagValue>&) override {}
    void packedHits(const QString&, const QByteArray&) override {}
};

} // namespace

void appendMarkedValue(QByteArray& out, const QString& value, const PatternMatcher* matches)
{
    qsizetype at = 0;
    if (matches != nullptr) {
        for (const auto& [start, length] : matches->spans(value)) {
            OutputFormat::appendEscaped(out, value.mid(at, start - at).toUtf8());
            out += kMatchColor;
            OutputFormat::appendEscaped(out, value.mid(start, length).toUtf8());
            out += kReset;
            at = start + length;
        }
    }
    OutputFormat::appendEscaped(out, at == 0 ? value.toUtf8() : value.mid(at).toUtf8());
}

QByteArray markedHitLine(const QByteArray& path, const QString& tag, const QString& value,
                         const PatternMatcher* matches)
{
    QByteArray line = kPathColor + OutputFormat::escapeField(path) + kReset + '\t' +
                      OutputFormat::escapeField(tag.toUtf8()) + '\t';
    appendMarkedValue(line, value, matches);
    return line + '\n';
}

std::unique_ptr<Printer> makePrinter(const FindOptions& options, Output& output, Marking marking)
{
    if (options.listTags)
        return std::make_unique<TagsPrinter>(output, options.mode == OutputMode::Json);
    if (options.quiet)
        return std::make_unique<QuietPrinter>();
    switch (options.mode) {
    case OutputMode::Lines:
        break;
    case OutputMode::Table:
        return std::make_unique<TablePrinter>(output);
    case OutputMode::FilesWithMatches:
    case OutputMode::FilesWithoutMatch:
        return std::make_unique<FileNamePrinter>(
            output, options.mode == OutputMode::FilesWithMatches, options.null, marking.color);
    case OutputMode::Count:
        return std::make_unique<CountPrinter>(output);
    case OutputMode::Json:
        return std::make_unique<RecordPrinter>(output, &OutputFormat::jsonPathPart,
                                               &OutputFormat::appendJsonLine, QByteArray(), true);
    case OutputMode::Csv:
        return std::make_unique<RecordPrinter>(output, &OutputFormat::csvPathPart,
                                               &OutputFormat::appendCsvLine, "path,tag,value\r\n");
    }
    return std::make_unique<LinePrinter>(output, std::move(marking));
}

} // namespace tagsifter
