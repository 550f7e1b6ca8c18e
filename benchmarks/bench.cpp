// Usage: tagsifter_bench listview | scan | search FOLDER | results | window FOLDER
// Runs on the offscreen platform (window: on the display given, for window_bench.py); prints
// times and the ratio to a reference run in the same process (find, or one exiftool over all
// files).
#include "app/Form1.h"
#include "core/ClipboardTable.h"
#include "core/RowSelection.h"
#include "filelist/FolderScan.h"
#include "platform/ListView.h"
#include "platform/QtPlatform.h"
#include "results/ClipboardCopy.h"
#include "results/OpenFiles.h"
#include "results/TextExport.h"
#include "search/SearchRun.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace tagsifter;
using namespace tagsifter::test;

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
    FakePlatform fake;
    ListView list;
    list.addColumn("Image(s)");
    QElapsedTimer timer;
    timer.start();
    FolderScan(fake.platform(), *list.listModel()).CollectFolderTree(dir.path(), "*.jpg");
    const double scan = seconds(timer);
    std::printf("scan: %d files in 2000+ folders: %.3f s; find -iname: %.3f s; ratio %.2f\n",
                list.count(), scan, find, scan / find);
    return 0;
}

int benchSearch(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {"*.jpg", "*.JPG"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    QStringList arguments = files;
    const double once = timeProcess("exiftool", arguments);
    FakePlatform fake;
    Form1 form(fake.platform(), "/nonexistent");
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

int benchResults()
{
    auto list = std::make_unique<ListView>();
    list->addColumn("Image");
    list->addColumn("Metadata Tag");
    list->addColumn("Value");
    for (int i = 0; i < 100000; ++i)
        list->addItem(QStringLiteral("/home/user/Pictures/IMG_%1.JPG").arg(i / 4),
                      {"Make", "Eastman Kodak Company"});
    FakePlatform fake;
    FakePointer pointer;
    QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    TextExport::writeRows(*list, dir.path() + "/out.txt", &fake.events);
    const double save = seconds(timer);
    timer.restart();
    CopyListToClipboard(fake.platform(), *list);
    const double copy = seconds(timer);
    timer.restart();
    QStringList texts;
    for (int i = 1; i <= list->count(); ++i)
        texts.append(list->text(i));
    const QStringList distinct = distinctPaths(texts);
    const double open = seconds(timer);
    std::printf("results (100000 rows): save as text %.3f s, clipboard table %.3f s (%lld chars), "
                "distinct paths %.3f s (%lld)\n",
                save, copy, static_cast<long long>(fake.clipboard.text.size()), open,
                static_cast<long long>(distinct.size()));
    return 0;
}

// The real window with the real services over the images of `folder`, on the display given:
// prints where its buttons are, then waits to be driven from outside.
int benchWindow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {"*.jpg", "*.JPG"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    QtPlatform services;
    Form1 form(services.platform(), applicationFolder());
    services.setOwner(&form);
    form.Form_Load();
    form.show();
    for (const QString& file : files)
        form.fileList().addItem(file);
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
        return benchResults();
    if (mode == "window" && argc > 2)
        return benchWindow(QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr, "usage: tagsifter_bench listview | scan | search FOLDER | results\n");
    return 2;
}
