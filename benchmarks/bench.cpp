// Usage: tagsifter_bench listview | scan | search FOLDER | results | window FOLDER | library [N]
//        | rows [IMAGES] | resultsview [ROWS] | preview
// Runs on the offscreen platform (window: on the display given, for window_bench.py); prints
// times and the ratio to a reference run in the same process (find, or one exiftool over all
// files).
#include "app/Form1.h"
#include "app/SearchRun.h"
#include "core/ApplicationFolder.h"
#include "core/ClipboardTable.h"
#include "core/DumpParser.h"
#include "core/FolderScan.h"
#include "core/RowSelection.h"
#include "dumpcache/DumpStore.h"
#include "exiftool/ExifTool.h"
#include "exiftool/ToolIdentity.h"
#include "platform/widgets/ListView.h"
#include "platform/widgets/QtWindowServices.h"
#include "results/ClipboardCopy.h"
#include "results/OpenFiles.h"
#include "results/ResultsList.h"
#include "results/TextExport.h"
#include "search/MetadataReader.h"
#include "support/FakeServices.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

int benchResultsView(int rows);
int benchPreview();

namespace {

double seconds(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e9;
}

double timeProcess(const QString& program, const QStringList& arguments)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
    return seconds(timer);
}

int benchListView()
{
    ListView list;
    list.addColumn("Image(s)");
    list.resize(520, 120);
    list.show();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100000; ++i)
        list.addItem(QStringLiteral("/home/user/Pictures/2021/holiday/IMG_%1.JPG").arg(i));
    QCoreApplication::processEvents();
    const double add = seconds(timer);
    timer.restart();
    for (int step = 0; step < 200; ++step) {
        list.verticalScrollBar()->setValue(step * 500);
        list.viewport()->repaint();
    }
    const double scroll = seconds(timer);
    timer.restart();
    list.clear();
    QCoreApplication::processEvents();
    std::printf("listview: add 100000 rows %.3f s, 200 scroll+repaint %.3f s, clear %.3f s\n", add,
                scroll, seconds(timer));
    return 0;
}

int benchScan()
{
    QTemporaryDir dir;
    for (int f = 0; f < 2000; ++f) {
        const QString folder =
            dir.path() + QStringLiteral("/d%1/e%2/f%3").arg(f % 20).arg(f % 100).arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < 10; ++i)
            writeFile(folder + QStringLiteral("/IMG_%1.%2").arg(i).arg(i % 3 ? "jpg" : "JPG"));
    }
    const double find = timeProcess("find", {dir.path(), "-iname", "*.jpg"});
    FakeServices fake;
    ListView list;
    list.addColumn("Image(s)");
    QElapsedTimer timer;
    timer.start();
    FolderScan(fake.system(), fake.messages, appendTo(*list.listModel()))
        .CollectFolderTree(dir.path(), "*.jpg");
    const double scan = seconds(timer);
    std::printf("scan: %d files in 2000+ folders: %.3f s; find -iname: %.3f s; ratio %.2f\n",
                list.count(), scan, find, scan / find);
    return 0;
}

// Every JPEG below `folder`, sorted.
QStringList imagesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {"*.jpg", "*.JPG"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

int benchSearch(const QString& folder)
{
    const QStringList files = imagesBelow(folder);
    QStringList arguments = files;
    const double once = timeProcess("exiftool", arguments);
    FakeServices fake;
    Form1 form(fake.window(), "/nonexistent");
    form.Form_Load();
    // The window is shown, so that it paints as it would for a user.
    form.show();
    for (const QString& file : files)
        form.fileList().addItem(file);
    form.searchBox().setText("Canon");
    // The sessions start as the list gets its rows, before the click.
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    form.searchRun().PushButton1_Click();
    const double run = seconds(timer);
    timer.restart();
    form.searchRun().PushButton1_Click();
    const double again = seconds(timer);
    std::printf("search: repeated run over the unchanged files %.3f s; repeated/exiftool %.3f\n",
                again, again / once);
    std::printf("search: %lld images, %d rows: run %.2f s (%.1f images/s); one exiftool over all "
                "%.2f s; run/exiftool %.2f\n",
                static_cast<long long>(files.size()), form.resultsList().count(), run,
                files.size() / run, once, run / once);
    return 0;
}

int benchResults(int rows)
{
    auto list = std::make_unique<ListView>();
    list->addColumn("Image");
    list->addColumn("Metadata Tag");
    list->addColumn("Value");
    // Shown, as in the window: what the view does for each removal counts.
    list->resize(800, 600);
    list->show();
    for (int i = 0; i < rows; ++i)
        list->addItem(QStringLiteral("/home/user/Pictures/IMG_%1.JPG").arg(i / 4),
                      {"Make", "Eastman Kodak Company"});
    FakeServices fake;
    FakePointer pointer;
    QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    TextExport::writeRows(*list->listModel(), dir.path() + "/out.txt", fake.files, &fake.events);
    const double save = seconds(timer);
    timer.restart();
    CopyListToClipboard(fake.window(), *list->listModel());
    const double copy = seconds(timer);
    timer.restart();
    QStringList texts;
    for (int i = 1; i <= list->count(); ++i)
        texts.append(list->text(i));
    const QStringList distinct = distinctPaths(texts);
    const double open = seconds(timer);
    std::printf("results (%d rows): save as text %.3f s, clipboard table %.3f s (%lld chars), "
                "distinct paths %.3f s (%lld)\n",
                rows, save, copy, static_cast<long long>(fake.clipboard.text.size()), open,
                static_cast<long long>(distinct.size()));
    // "Remove Results Containing" the images whose number ends in 1: a tenth of the rows, in
    // runs of four.
    timer.restart();
    RemoveRowsContaining(*list->listModel(), QStringLiteral("1.JPG"));
    std::printf("results: removing a tenth of the rows in %d runs %.3f s (%d rows left)\n",
                rows / 40, seconds(timer), list->count());
    return 0;
}

// The real window with the real services over the images of `folder`, on the display given:
// prints where its buttons are, then waits to be driven from outside. With `later`, the list
// gets its rows only when a line comes on standard input.
int benchWindow(const QString& folder, bool later)
{
    const QStringList files = imagesBelow(folder);
    QtWindowServices services;
    Form1 form(services.window(), applicationFolder());
    services.setOwner(&form);
    form.Form_Load();
    form.show();
    const auto addRows = [&] {
        for (const QString& file : files)
            form.fileList().addItem(file);
    };
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    if (later) {
        QObject::connect(&input, &QSocketNotifier::activated, [&] {
            char line[64];
            [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, line, sizeof line);
            input.setEnabled(false);
            addRows();
        });
    } else {
        input.setEnabled(false);
        addRows();
    }
    form.searchBox().setText(QStringLiteral("Canon"));
    const auto centre = [&](const char* name) {
        const QWidget* button = form.control(QString::fromLatin1(name));
        return button->mapToGlobal(button->rect().center());
    };
    QTimer::singleShot(1000, [&] {
        const QPoint start = centre("PushButton1");
        const QPoint help = centre("PushButton12");
        std::printf("ready %lld %d %d %d %d\n", static_cast<long long>(files.size()), start.x(),
                    start.y(), help.x(), help.y());
        std::fflush(stdout);
    });
    return QApplication::exec();
}

// What the process holds now, in MB.
long currentRssMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE) / 1048576;
}

long peakRssMb()
{
    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// One step of the library benchmark, in a process of its own: "scan" times "Add All" over the
// folder; "search" times a search with the cache file given, then a repeated one; "rows" the
// window's search for "0", every dump in the cache file, then the text export and the
// clipboard copy of its rows.
int libraryStep(const QString& step, const QString& folder, const QString& cacheFile)
{
    FakeServices fake;
    WindowServices services = fake.window();
    services.system.dumpCacheFile = cacheFile;
    Form1 form(services, "/nonexistent");
    form.Form_Load();
    form.show();
    QElapsedTimer timer;
    timer.start();
    FolderScan(services.system, fake.messages, appendTo(*form.fileList().listModel()))
        .CollectFolderTree(folder, "*.jpg");
    const double scan = seconds(timer);
    if (step == "scan") {
        std::printf("%d %.3f %ld\n", form.fileList().count(), scan, peakRssMb());
        return 0;
    }
    if (step == "rows") {
        form.searchBox().setText("0");
        QCoreApplication::processEvents();
        const long before = currentRssMb();
        timer.restart();
        form.searchRun().PushButton1_Click();
        const double search = seconds(timer);
        const long searchRss = peakRssMb();
        const long afterSearch = currentRssMb();
        QTemporaryDir dir;
        timer.restart();
        TextExport::writeRows(*form.resultsList().listModel(), dir.path() + "/out.txt",
                              *services.system.files, &fake.events);
        const double save = seconds(timer);
        timer.restart();
        CopyListToClipboard(services, *form.resultsList().listModel());
        const double copy = seconds(timer);
        std::printf("%d %.3f %ld %.3f %.3f %ld %d %ld %ld\n", form.resultsList().count(), search,
                    searchRss, save, copy, peakRssMb(), form.searchRun().reader().exiftoolReads(),
                    before, afterSearch);
        return 0;
    }
    form.searchBox().setText("Canon");
    QCoreApplication::processEvents();
    timer.restart();
    form.searchRun().PushButton1_Click();
    const double first = seconds(timer);
    timer.restart();
    form.searchRun().PushButton1_Click();
    const double again = seconds(timer);
    std::printf("%d %.3f %.3f %ld %d\n", form.resultsList().count(), first, again, peakRssMb(),
                form.searchRun().reader().exiftoolReads());
    return 0;
}

QStringList runStep(const QStringList& arguments)
{
    QProcess step;
    step.start(QCoreApplication::applicationFilePath(), arguments);
    step.waitForFinished(-1);
    return QString::fromLatin1(step.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
}

QStringList testImages()
{
    QStringList sources;
    for (const QString& folder : {corpusFolder(), samplesFolder()}) {
        for (const QString& name : QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name))
            sources.append(folder + '/' + name);
    }
    return sources;
}

// `images` links to the test images in nested folders of `library`, 100 to a folder.
void makeLibrary(const QString& library, int images)
{
    const QStringList sources = testImages();
    for (int i = 0; i < images; ++i) {
        const QString folder =
            QStringLiteral("%1/%2/%3").arg(library).arg(i / 1000).arg(i / 100 % 10);
        if (i % 100 == 0)
            QDir().mkpath(folder);
        const QString target =
            QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 6, 10, QChar('0'));
        if (::link(QFile::encodeName(sources.at(i % sources.size())).constData(),
                   QFile::encodeName(target).constData()) != 0)
            qFatal("cannot link %s", qPrintable(target));
    }
}

// Best of three `tagsifter find -c Canon` over `library` in a new process, with a copy of the
// cache file `cache` (in `scratch`).
double timeFind(const QString& library, const QString& cache, const QString& scratch)
{
    // The terminal's repeated search in a new process, with the same cache file.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CACHE_HOME", scratch + "/find-cache");
    QDir().mkpath(scratch + "/find-cache/Brimvale/Tagsifter");
    QFile::copy(cache, scratch + "/find-cache/Brimvale/Tagsifter/dumps.sqlite");
    const QString program = QCoreApplication::applicationDirPath() + "/../src/tagsifter";
    double findSeconds = 0;
    for (int round = 0; round < 3; ++round) {
        QProcess find;
        find.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        find.start(program, {"find", "-c", "Canon", library});
        find.waitForFinished(-1);
        const double taken = seconds(timer);
        findSeconds = round == 0 ? taken : std::min(findSeconds, taken);
    }
    return findSeconds;
}

// A photo library of `images` images in nested folders (links to the test images and the
// samples), searched as a user would search it again and again, across restarts.
int benchLibrary(int images)
{
    QTemporaryDir dir;
    const QString library = dir.path() + "/library";
    makeLibrary(library, images);
    const double exiftool = timeProcess("exiftool", {"-r", "-ext", "jpg", library});
    const QString cache = dir.path() + "/cache/dumps.sqlite";
    const QStringList scan = runStep({"library-step", "scan", library, cache});
    const QStringList first = runStep({"library-step", "search", library, cache});
    const QStringList restart = runStep({"library-step", "search", library, cache});
    const double findSeconds = timeFind(library, cache, dir.path());
    const double cacheMb = (QFileInfo(cache).size() + QFileInfo(cache + "-wal").size()) / 1048576.0;
    std::printf("library: %d images; exiftool -r %.2f s\n", images, exiftool);
    std::printf("library: Add All %s s (%s images), peak RSS %s MB\n", qPrintable(scan.value(1)),
                qPrintable(scan.value(0)), qPrintable(scan.value(2).trimmed()));
    std::printf("library: first search %s s = %.2fx of exiftool; repeated %s s = %.3fx; peak RSS "
                "%s MB; %s rows\n",
                qPrintable(first.value(1)), first.value(1).toDouble() / exiftool,
                qPrintable(first.value(2)), first.value(2).toDouble() / exiftool,
                qPrintable(first.value(3)), qPrintable(first.value(0)));
    std::printf("library: search after a restart %s s = %.3fx of exiftool (%s images read by "
                "exiftool); peak RSS %s MB\n",
                qPrintable(restart.value(1)), restart.value(1).toDouble() / exiftool,
                qPrintable(restart.value(4).trimmed()), qPrintable(restart.value(3)));
    std::printf("library: tagsifter find after a restart %.3f s = %.4fx of exiftool (best of 3)\n",
                findSeconds, findSeconds / exiftool);
    // The dumps as exiftool wrote them, against the cache file.
    QProcess dumps;
    dumps.start("exiftool", {"-r", "-ext", "jpg", library});
    dumps.waitForFinished(-1);
    const double dumpMb = dumps.readAllStandardOutput().size() / 1048576.0;
    std::printf("library: cache file %.1f MB for %.1f MB of dumps = %.0f%%\n", cacheMb, dumpMb,
                100.0 * cacheMb / dumpMb);
    return 0;
}

// Many result rows from the cache: a library of `images` images whose dumps are all in the
// cache file (filled here from one exiftool run over each test image, with each link's own
// name and folder, as exiftool would print them), searched for "0".
int benchRows(int images)
{
    QTemporaryDir dir;
    // Kept for a closer look when asked for.
    if (qEnvironmentVariableIsSet("TAGSIFTER_BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("rows: kept in %s\n", qPrintable(dir.path()));
    }
    const QString library = dir.path() + "/library";
    makeLibrary(library, images);
    FakeServices fake;
    ExifTool tool(fake.system());
    const QString program = tool.EnsureExifTool();
    QHash<QString, QByteArray> dumps;
    const QStringList sources = testImages();
    for (const QString& source : sources) {
        QProcess exiftool;
        exiftool.start(program, {source});
        exiftool.waitForFinished(-1);
        dumps.insert(QFileInfo(source).fileName(), exiftool.readAllStandardOutput());
    }
    const QByteArray version = exiftoolVersionOf(dumps.begin().value()).toUtf8();
    const QString key = MetadataReader::toolKey(
        QString::fromUtf8(version),
        ToolIdentity::configStamp(fake.files, program, tool.workingFolder()));
    const QString cache = dir.path() + "/cache/dumps.sqlite";
    QElapsedTimer timer;
    timer.start();
    {
        DumpStore store(cache, key);
        store.rememberVersion(program, ToolIdentity::programStamp(fake.files, program),
                              QString::fromUtf8(version));
        QDirIterator it(library, {"*.jpg"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString source =
                sources.at(QFileInfo(path).baseName().mid(4).toInt() % sources.size());
            QByteArray dump = dumps.value(QFileInfo(source).fileName());
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
    const double fill = seconds(timer);
    const QStringList restart = runStep({"library-step", "search", library, cache});
    const double findSeconds = timeFind(library, cache, dir.path());
    const QStringList step = runStep({"library-step", "rows", library, cache});
    std::printf("rows: %d images, cache filled in %.1f s\n", images, fill);
    std::printf("rows: search for Canon after a restart: window %s s (%s images read by exiftool), "
                "tagsifter find %.3f s (best of 3)\n",
                qPrintable(restart.value(1)), qPrintable(restart.value(4).trimmed()), findSeconds);
    std::printf("rows: search \"0\" %s s to Done, %s rows, peak RSS %s MB (%s MB before the "
                "search, %s MB after it; %s images read by exiftool)\n",
                qPrintable(step.value(1)), qPrintable(step.value(0)), qPrintable(step.value(2)),
                qPrintable(step.value(7)), qPrintable(step.value(8).trimmed()),
                qPrintable(step.value(6)));
    std::printf("rows: save as text %s s, clipboard copy %s s, peak RSS after both %s MB\n",
                qPrintable(step.value(3)), qPrintable(step.value(4)), qPrintable(step.value(5)));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || QByteArray(argv[1]) != "window")
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == "listview")
        return benchListView();
    if (mode == "scan")
        return benchScan();
    if (mode == "search" && argc > 2)
        return benchSearch(QString::fromLocal8Bit(argv[2]));
    if (mode == "results")
        return benchResults(argc > 2 ? QByteArray(argv[2]).toInt() : 100000);
    if (mode == "resultsview")
        return benchResultsView(argc > 2 ? QByteArray(argv[2]).toInt() : 1500000);
    if (mode == "preview")
        return benchPreview();
    if (mode == "library")
        return benchLibrary(argc > 2 ? QByteArray(argv[2]).toInt() : 20000);
    if (mode == "rows")
        return benchRows(argc > 2 ? QByteArray(argv[2]).toInt() : 50000);
    if (mode == "library-step" && argc > 4)
        return libraryStep(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                           QString::fromLocal8Bit(argv[4]));
    if (mode == "window" && argc > 2)
        return benchWindow(QString::fromLocal8Bit(argv[2]),
                           argc > 3 && QByteArray(argv[3]) == "later");
    std::fprintf(stderr, "usage: tagsifter_bench listview | scan | search FOLDER | results\n");
    return 2;
}
