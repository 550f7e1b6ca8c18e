#include "FindCommand.h"

#include "core/ClipboardTable.h"
#include "core/ErrorReport.h"
#include "filelist/FolderScan.h"
#include "platform/FileNames.h"
#include "platform/ListModel.h"
#include "platform/QtPlatform.h"
#include "search/DumpStore.h"
#include "search/SearchRun.h"

#include <QCommandLineParser>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace tagsifter {

namespace {

/// What would be a message box goes to standard error; only a failure counts as an error.
class TerminalMessages : public MessageBoxService
{
public:
    explicit TerminalMessages(std::FILE* err) : m_err(err) {}
    MessageAnswer show(const QString& text, MessageFlags, const QString&) override
    {
        if (text == SearchRun::doneMessage())
            return MessageAnswer::Ok;
        m_failed = true;
        QString line = displayText(text);
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::fprintf(m_err, "tagsifter: %s\n", line.toLocal8Bit().constData());
        return MessageAnswer::Ok;
    }
    bool failed() const { return m_failed; }

private:
    std::FILE* m_err;
    bool m_failed = false;
};

/// The progress as one line on a terminal, rewritten in place; nothing on anything else.
class TerminalProgress : public SearchView
{
public:
    explicit TerminalProgress(std::FILE* err) : m_err(err), m_shown(::isatty(fileno(err)) == 1) {}
    bool isRunning() const override { return m_running; }
    void setRunning(bool running) override
    {
        m_running = running;
        if (!running && m_shown && m_wrote)
            std::fputs("\r\033[K", m_err);
    }
    void showProgress(int, const QString&) override {}
    void showCount(int done, int total) override
    {
        if (!m_shown)
            return;
        std::fprintf(m_err, "\r%d of %d images", done, total);
        std::fflush(m_err);
        m_wrote = true;
    }

private:
    std::FILE* m_err;
    bool m_shown;
    bool m_running = false;
    bool m_wrote = false;
};

class NoPointer : public WindowPointer
{
public:
    Pointer mousePointer() const override { return m_mode; }
    void setMousePointer(Pointer mode) override { m_mode = mode; }

private:
    Pointer m_mode = Pointer::Default;
};

int usage(std::FILE* err, const QString& problem)
{
    std::fprintf(err,
                 "tagsifter: %s\nusage: tagsifter find [--extension EXT] [--table] TEXT PATH...\n",
                 problem.toLocal8Bit().constData());
    return 2;
}

} // namespace

QByteArray FindCommand::escaped(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (const char c : field) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

int FindCommand::run(const QStringList& arguments, std::FILE* out, std::FILE* err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(tr("Find JPEG images by the text of their metadata."));
    const QCommandLineOption extension(QStringLiteral("extension"),
                                       tr("The extension of the files a folder gives (jpg)."),
                                       QStringLiteral("EXT"), QStringLiteral("jpg"));
    const QCommandLineOption table(QStringLiteral("table"),
                                   tr("Print the aligned table the clipboard copy makes."));
    parser.addOption(extension);
    parser.addOption(table);
    parser.addPositionalArgument(QStringLiteral("TEXT"), tr("The text to find."));
    parser.addPositionalArgument(QStringLiteral("PATH"), tr("Images and folders."),
                                 QStringLiteral("PATH..."));
    QStringList words = arguments;
    words.removeAt(1); // "find"
    if (!parser.parse(words))
        return usage(err, parser.errorText());
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2)
        return usage(err, tr("a search text and at least one path are needed"));
    const QString searchText = positional.first();

    TerminalMessages messages(err);
    QtProcessService processes;
    LocalFileSystem files;
    QtEventLoop events;
    Platform platform;
    platform.messages = &messages;
    platform.processes = &processes;
    platform.files = &files;
    platform.events = &events;
    platform.dumpCacheFile = DumpStore::defaultFile();

    ListModel fileList;
    ListModel results;
    fileList.addColumn(QStringLiteral("Image(s)"));
    for (const char* header : {"Image", "Metadata Tag", "Value"})
        results.addColumn(QString::fromLatin1(header));
    FolderScan scan(platform, fileList);
    for (const QString& path : positional.mid(1)) {
        const FileStamp stamp = files.stamp(path);
        if (stamp.kind == FileStamp::Kind::Missing) {
            std::fprintf(err, "tagsifter: %s: %s\n", encodeFileName(path).constData(),
                         std::strerror(ENOENT));
            return 2;
        }
        if (scan.IsFolder(path))
            scan.CollectFolderTree(path, QStringLiteral("*.") + parser.value(extension));
        else
            fileList.addItem(path);
    }

    TerminalProgress progress(err);
    NoPointer pointer;
    SearchRun run(platform, {&fileList, &results, &progress, [&] { return searchText; }, &pointer});
    // Each hit goes out as it is found, unless the table needs all of them first. A reader
    // that has gone (`| head`) ends the search quietly.
    std::signal(SIGPIPE, SIG_IGN);
    bool readerGone = false;
    const bool asTable = parser.isSet(table);
    QObject context;
    if (!asTable) {
        QObject::connect(&results, &QAbstractItemModel::rowsInserted, &context,
                         [&](const QModelIndex&, int first, int last) {
                             for (int row = first + 1; row <= last + 1 && !readerGone; ++row) {
                                 const QByteArray line =
                                     escaped(encodeFileName(results.text(row))) + '\t' +
                                     escaped(results.subItem(row, 1).toUtf8()) + '\t' +
                                     escaped(results.subItem(row, 2).toUtf8()) + '\n';
                                 if (std::fwrite(line.constData(), 1, line.size(), out) !=
                                     static_cast<size_t>(line.size()))
                                     readerGone = true;
                             }
                             if (!readerGone && std::fflush(out) != 0)
                                 readerGone = true;
                             if (readerGone)
                                 run.abort();
                         });
    }
    if (fileList.count() > 0)
        run.PushButton1_Click();
    if (asTable && results.count() > 0) {
        const QByteArray text = encodeFileName(clipboardTable(
            results.count(), 3, [&](int row, int column) { return results.cell(row, column); },
            QStringLiteral("\n")));
        if (std::fwrite(text.constData(), 1, text.size(), out) != static_cast<size_t>(text.size()))
            readerGone = true;
    }
    run.abort();
    if (std::fflush(out) != 0)
        readerGone = true;
    if (messages.failed())
        return 2;
    return results.count() > 0 ? 0 : 1;
}

} // namespace tagsifter
