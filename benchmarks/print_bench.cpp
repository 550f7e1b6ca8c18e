// How fast `tagsifter find` prints 1.5 million rows that the cache file holds, in each output
// mode, into a pipe and onto a terminal (a pseudo-terminal that `script` reads and throws
// away). A cache file is filled for IMAGES images (default 50,000: links to the test images,
// as `tagsifter_bench rows` makes them), so that a search for "0" finds about 1.5 million rows
// without exiftool; `-c` is the search alone, and each mode's figure beside it is what its
// printing adds.
#include "core/DumpParser.h"
#include "dumpcache/DumpStore.h"
#include "exiftool/ExifTool.h"
#include "exiftool/ToolIdentity.h"
#include "search/MetadataReader.h"
#include "support/FakeServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

QStringList testImages()
{
    QStringList sources;
    for (const QString& folder : {corpusFolder(), samplesFolder()}) {
        for (const QString& name : QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name))
            sources.append(folder + '/' + name);
    }
    return sources;
}

/// `images` links to the test images under `library`, 100 to a folder, and a cache file at
/// `cache` that holds each one's dump as exiftool prints it for that path.
void fillLibrary(const QString& library, const QString& cache, int images)
{
    const QStringList sources = testImages();
    FakeServices fake;
    ExifTool tool(fake.system());
    const QString program = tool.EnsureExifTool();
    QHash<QString, QByteArray> dumps;
    for (const QString& source : sources) {
        QProcess exiftool;
        exiftool.start(program, {source});
        exiftool.waitForFinished(-1);
        dumps.insert(source, exiftool.readAllStandardOutput());
    }
    const QByteArray version = exiftoolVersionOf(dumps.begin().value()).toUtf8();
    DumpStore store(cache, MetadataReader::toolKey(QString::fromUtf8(version),
                                                   ToolIdentity::configStamp(
                                                       fake.files, program, tool.workingFolder())));
    store.rememberVersion(program, ToolIdentity::programStamp(fake.files, program),
                          QString::fromUtf8(version));
    // Every link first: a link made changes the status-change time of all the others to its
    // image, which a cached dump's stamp holds.
    QStringList paths;
    for (int i = 0; i < images; ++i) {
        const QString folder =
            QStringLiteral("%1/%2/%3").arg(library).arg(i / 1000).arg(i / 100 % 10);
        if (i % 100 == 0)
            QDir().mkpath(folder);
        paths.append(QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 6, 10, QChar('0')));
        if (::link(QFile::encodeName(sources.at(i % sources.size())).constData(),
                   QFile::encodeName(paths.last()).constData()))
            qFatal("cannot link %s", qPrintable(paths.last()));
    }
    for (int i = 0; i < images; ++i) {
        const QString& path = paths.at(i);
        QByteArray dump = dumps.value(sources.at(i % sources.size()));
        const auto replaceLine = [&](const QByteArray& tag, const QByteArray& value) {
            const qsizetype at = dump.indexOf("\n" + tag);
            const qsizetype end = dump.indexOf('\n', at + 1);
            const qsizetype colon = dump.indexOf(": ", at);
            dump = dump.left(colon + 2) + value + dump.mid(end);
        };
        replaceLine("File Name ", QFile::encodeName(QFileInfo(path).fileName()));
        replaceLine("Directory ", QFile::encodeName(QFileInfo(path).path()));
        store.insert(path, fake.files.stamp(path), dump);
    }
    store.flush();
}

QString quoted(const QString& word)
{
    return "'" + QString(word).replace("'", "'\\''") + "'";
}

/// The best of `rounds` runs of the shell command `command`, in seconds, and what the last
/// one printed on its standard output.
double bestOf(int rounds, const QString& command, const QProcessEnvironment& environment,
              QByteArray& printed)
{
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        QProcess shell;
        shell.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        shell.start("sh", {"-c", command});
        shell.waitForFinished(-1);
        const double taken = timer.nsecsElapsed() / 1e9;
        best = round == 0 ? taken : std::min(best, taken);
        printed = shell.readAllStandardOutput();
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int images = argc > 1 ? QByteArray(argv[1]).toInt() : 50000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    // Only the modes named, separated by commas ("lines,--table"), when some are.
    const QStringList only =
        argc > 3 ? QString::fromLocal8Bit(argv[3]).split(',', Qt::SkipEmptyParts) : QStringList();
    QTemporaryDir dir;
    const QString library = dir.path() + "/library";
    QDir().mkpath(dir.path() + "/cache/Brimvale/Tagsifter");
    QElapsedTimer timer;
    timer.start();
    fillLibrary(library, dir.path() + "/cache/Brimvale/Tagsifter/dumps.sqlite", images);
    std::printf("print: %d images, cache filled in %.1f s\n", images, timer.nsecsElapsed() / 1e9);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CACHE_HOME", dir.path() + "/cache");
    environment.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    environment.remove("NO_COLOR");
    const QString program = QCoreApplication::applicationDirPath() + "/../src/tagsifter";
    const QList<QStringList> modes = {
        {"-c"}, {},     {"--color=always"}, {"--color=never"}, {"--table"},
        {"-l"}, {"-L"}, {"--json"},         {"--csv"},         {"-q"}};
    // The first search after the file was written reads it once more than the others do.
    QByteArray warm;
    const double first =
        bestOf(1, quoted(program) + " find -c 0 " + quoted(library), environment, warm);
    std::printf("print: first search %.3f s: %s", first, warm.constData());
    std::fflush(stdout);
    std::printf("print: %-16s %10s %10s %10s  (best of %d, seconds)\n", "mode", "pipe", "terminal",
                "bytes", rounds);
    for (const QStringList& options : modes) {
        const QString name = options.isEmpty() ? QStringLiteral("lines") : options.join(' ');
        if (!only.isEmpty() && !only.contains(name))
            continue;
        QString find = quoted(program) + " find";
        for (const QString& option : options)
            find += " " + option;
        find += " 0 " + quoted(library);
        QByteArray printed;
        const double pipe = bestOf(rounds, find + " | wc -c", environment, printed);
        QByteArray ignored;
        const double terminal = bestOf(
            rounds, "script -qec " + quoted(find) + " /dev/null > /dev/null", environment, ignored);
        std::printf("print: %-16s %10.3f %10.3f %10s\n", qPrintable(name), pipe, terminal,
                    printed.trimmed().constData());
        std::fflush(stdout);
    }
    // What the pipe and the terminal take for the same bytes from cat: the floor under every
    // figure above.
    const QString saved = dir.path() + "/lines.txt";
    QByteArray ignored;
    bestOf(1, quoted(program) + " find 0 " + quoted(library) + " > " + quoted(saved), environment,
           ignored);
    const double catPipe =
        bestOf(rounds, "cat " + quoted(saved) + " | wc -c", environment, ignored);
    const double catTerminal =
        bestOf(rounds, "script -qec " + quoted("cat " + quoted(saved)) + " /dev/null > /dev/null",
               environment, ignored);
    std::printf("print: %-16s %10.3f %10.3f %10s\n", "cat of lines", catPipe, catTerminal,
                ignored.isEmpty() ? "" : ignored.trimmed().constData());
    return 0;
}
