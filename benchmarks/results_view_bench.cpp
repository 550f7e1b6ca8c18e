// The results list of the real window with many rows: sorting by a header click, a filter
// keystroke, a removal and its undo, each timed until the view has shown it, and the memory.
#include "app/Form1.h"
#include "app/ResultsPanel.h"
#include "platform/widgets/ImagePreview.h"
#include "platform/widgets/ListView.h"
#include "support/FakeServices.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

long rssMb()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE) / 1048576;
}

long peakMb()
{
    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Rows as a search gives them: about 30 an image, the rows of an image sharing its path's
// text and the rows of a tag its name, values of every kind.
void fill(ListModel& list, int rows)
{
    QStringList tags;
    for (int t = 0; t < 300; ++t)
        tags.append(QStringLiteral("Tag Name %1").arg(t));
    std::vector<ListModel::Row> batch;
    QString path;
    for (int i = 0; i < rows; ++i) {
        if (i % 30 == 0)
            path = QStringLiteral("/home/user/Pictures/%1/IMG_%2.JPG")
                       .arg(2000 + i / 30000)
                       .arg(i / 30);
        QString value;
        switch (i % 5) {
        case 0:
            value = QStringLiteral("%1 mm").arg(i % 977);
            break;
        case 1:
            value = QStringLiteral("Canon EOS %1D Mark II").arg(i % 13);
            break;
        case 2:
            value = QStringLiteral("2021:08:%1 10:%2:00").arg(i % 28 + 1).arg(i % 60);
            break;
        case 3:
            value = QStringLiteral("1/%1").arg(i % 4000 + 1);
            break;
        default:
            value = QStringLiteral("Komentář číslo %1 für Ärger").arg(i);
            break;
        }
        batch.push_back({path, {tags.at(i % 300), value}});
        if (batch.size() == 10000 || i + 1 == rows) {
            list.addItems(std::move(batch));
            batch = {};
        }
    }
}

double timed(const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    QCoreApplication::processEvents();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int benchResultsView(int rows)
{
    FakeServices fake;
    QTemporaryDir folder;
    const long before = rssMb();
    Form1 form(fake.window(), folder.path());
    form.Form_Load();
    form.resize(1000, 800);
    form.show();
    ListView& list = form.resultsList();
    QHeaderView& header = *list.header();
    const auto click = [&](int column) {
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(column - 1) + 5, 5));
    };
    QLineEdit& filter = form.resultsPanel().filterBox();
    const auto type = [&](const QString& text) {
        filter.setText(text);
        form.resultsPanel().updateNow();
    };
    const double fillSeconds = timed([&] { fill(*list.listModel(), rows); });
    std::printf("results view, %d rows: filled in %.3f s, RSS %ld MB (%ld MB before the window)\n",
                rows, fillSeconds, rssMb(), before);
    // Each step on its own line of code: the arguments of one call run in no set order.
    const double sortValue = timed([&] { click(3); });
    const double reversed = timed([&] { click(3); });
    const double found = timed([&] { click(3); });
    std::printf("  sort by value %.3f s, reversed %.3f s, order found %.3f s (peak %ld MB)\n",
                sortValue, reversed, found, peakMb());
    const double byImage = timed([&] { click(1); });
    const double byTag = timed([&] { click(2); });
    std::printf("  sort by image %.3f s, by tag %.3f s (peak %ld MB)\n", byImage, byTag, peakMb());
    click(2);
    click(2);
    QStringList keystrokes;
    for (const QString& text : {QStringLiteral("c"), QStringLiteral("ca"), QStringLiteral("can"),
                                QStringLiteral("canx"), QString()}) {
        const double step = timed([&] { type(text); });
        keystrokes.append(QStringLiteral("\"%1\" %2 s (%3 rows)")
                              .arg(text)
                              .arg(step, 0, 'f', 3)
                              .arg(list.model()->rowCount()));
    }
    std::printf("  filter keystrokes %s (peak %ld MB)\n", qPrintable(keystrokes.join(", ")),
                peakMb());
    click(3);
    const double sortedFilter = timed([&] { type(QStringLiteral("ärger")); });
    const int sortedShown = list.model()->rowCount();
    const double sortedCleared = timed([&] { type(QString()); });
    std::printf("  sorted by value: filter \"ärger\" %.3f s (%d rows shown), cleared %.3f s\n",
                sortedFilter, sortedShown, sortedCleared);
    click(3);
    click(3);
    // "Remove Results Containing X": the images whose number ends in 1, a tenth of the rows in
    // runs of 30.
    fake.input.answers = {"1.JPG"};
    auto* containing = qobject_cast<QPushButton*>(form.control("PushButton17"));
    const double remove = timed([&] { containing->click(); });
    const int left = list.count();
    const double undo = timed([&] { QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier); });
    const double redo =
        timed([&] { QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); });
    std::printf("  remove containing \"1.JPG\" %.3f s (%d rows left), undo %.3f s (%d rows), "
                "redo %.3f s (peak %ld MB)\n",
                remove, left, undo, rows, redo, peakMb());
    click(3);
    fake.input.answers = {"1.JPG"};
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
    const double removeSorted = timed([&] { containing->click(); });
    const double undoSorted =
        timed([&] { QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier); });
    std::printf("  sorted by value: remove containing %.3f s, undo %.3f s (peak %ld MB)\n",
                removeSorted, undoSorted, peakMb());
    click(3);
    click(3);
    list.setFocus();
    const double selectAll = timed([&] { QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier); });
    const double removeAll = timed([&] { QTest::keyClick(&list, Qt::Key_Delete); });
    const double undoAll = timed([&] { QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier); });
    std::printf("  Ctrl+A %.3f s, Delete %.3f s, undo %.3f s\n", selectAll, removeAll, undoAll);
    std::printf("  RSS %ld MB, peak %ld MB\n", rssMb(), peakMb());
    return 0;
}

// 100 rows of the camera JPEGs passed with the arrow key within a second, the preview pane
// shown: how long each key keeps the window from its other events, and how many pictures were
// decoded meanwhile.
int benchPreview()
{
    FakeServices fake;
    QTemporaryDir folder;
    Form1 form(fake.window(), folder.path());
    form.Form_Load();
    form.resize(536 + 400, 628);
    form.show();
    QDir corpus(QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/corpus"));
    const QStringList images = corpus.entryList({QStringLiteral("*.jpg")}, QDir::Files);
    std::vector<ListModel::Row> rows;
    for (int i = 0; i < 100; ++i)
        rows.push_back({corpus.filePath(images.at(i % images.size())), {"Make", "Canon"}});
    ListView& list = form.resultsList();
    list.listModel()->addItems(std::move(rows));
    list.setFocus();
    list.select(1);
    int decoded = 0;
    QObject::connect(&form.resultsPanel().preview(), &ImagePreview::shown, [&] { ++decoded; });
    double longest = 0;
    QElapsedTimer whole;
    whole.start();
    for (int i = 0; i < 99; ++i) {
        const double step = timed([&] { QTest::keyClick(&list, Qt::Key_Down); });
        longest = std::max(longest, step);
        // Ten keys a second.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 10)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double passed = whole.nsecsElapsed() / 1e9;
    QElapsedTimer settle;
    settle.start();
    while (form.resultsPanel().previewPane().pixmap().isNull() && settle.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("preview: 99 rows passed in %.3f s, the longest key %.4f s, %d pictures shown, "
                "peak RSS %ld MB\n",
                passed, longest, decoded, peakMb());
    return 0;
}
