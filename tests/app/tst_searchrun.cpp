#include "app/SearchRun.h"
#include "core/FolderScan.h"
#include "dumpcache/DumpCache.h"
#include "exiftool/ExifTool.h"
#include "platform/ListModel.h"
#include "platform/Termination.h"
#include "search/MetadataReader.h"
#include "search/SearchEngine.h"
#include "support/FakeServices.h"
#include "support/FeedChannel.h"
#include "support/ScriptedProcesses.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

struct Row
{
    QString path, tag, value;
    bool operator==(const Row& o) const
    {
        return path == o.path && tag == o.tag && value == o.value;
    }
};

/// What the engine finds, as the window's rows.
class RecordingRows : public HitSink
{
public:
    void found(const QString& path, const QList<TagValue>& hits) override
    {
        for (const TagValue& hit : hits)
            rows.append({path, hit.tag, hit.value});
    }
    void problem(const SearchProblem&) override {}
    QList<Row> rows;
};

/// A file time of the tests': 2023-07-21, summer time where there is one.
constexpr qint64 kModified = 1689940000;

QList<Row> results(const ListModel& list)
{
    QList<Row> rows;
    for (int i = 1; i <= list.count(); ++i)
        rows.append({list.text(i), list.subItem(i, 1), list.subItem(i, 2)});
    return rows;
}

char* toString(const Row& row)
{
    return qstrdup(qPrintable(row.path + " | " + row.tag + " | " + row.value));
}

// A stand-in for exiftool: a real process running the given shell text.
QString standIn(const QTemporaryDir& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.path() + QLatin1Char('/') + name;
    writeFile(path, "#!/bin/sh\n" + body);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

int linesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : 0;
}

QString copySample(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(to));
    return to;
}

/// A search run with the lists and the view a window would hand it, searching with the real
/// exiftool, the one named, or scripted processes.
struct Window
{
    explicit Window(const QString& exiftool = QString(), ProcessService* processes = nullptr,
                    FileSystem* fileSystem = nullptr, const QString& cacheFile = QString())
        : services(withServices(fake.window(), processes, fileSystem, cacheFile)),
          run(services,
              {&files, &results, &view, [this] { return searchText; }, &pointer,
               [this] { return queryMode; }},
              exiftool)
    {
        setApplicationTitle(QStringLiteral("Tagsifter"));
        files.addColumn(QStringLiteral("Image(s)"));
        for (const char* header : {"Image", "Metadata Tag", "Value"})
            results.addColumn(QString::fromLatin1(header));
    }
    static WindowServices withServices(WindowServices services, ProcessService* processes,
                                       FileSystem* fileSystem, const QString& cacheFile)
    {
        services.system.dumpCacheFile = cacheFile;
        if (processes)
            services.system.processes = processes;
        if (fileSystem)
            services.system.files = fileSystem;
        return services;
    }
    void search(const QStringList& paths, const QString& text)
    {
        for (const QString& path : paths)
            files.addItem(path);
        searchText = text;
        run.PushButton1_Click();
    }
    FakeServices fake;
    WindowServices services;
    ListModel files, results;
    FakeSearchView view;
    FakePointer pointer;
    QString searchText;
    /// The search box holds a query.
    bool queryMode = false;
    SearchRun run;
};

// Reading a file may move its access time, so that one value is left out of comparisons.
QStringList maskAccessTime(QStringList lines)
{
    for (QString& line : lines) {
        if (line.startsWith(QStringLiteral("File Access Date/Time")))
            line = line.left(line.indexOf(':') + 1) + QStringLiteral(" (masked)");
    }
    return lines;
}

} // namespace

class TestSearchRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty())
            QFAIL("exiftool is needed: sudo apt-get install libimage-exiftool-perl");
    }

    void samplesForKodak()
    {
        Window w;
        const QString s = samplesFolder() + QLatin1Char('/');
        const QStringList files{s + "Beach_walk.jpg", s + "Garden_party.jpg",
                                s + "Harbour_at_dawn.jpg", s + "Old_bridge.jpg"};
        w.search(files, QStringLiteral("kodak"));
        QCOMPARE(
            results(w.results),
            (QList<Row>{{files[1], "Make", "KODAK"},
                        {files[2], "Make", "Eastman Kodak Company"},
                        {files[2], "Camera Model Name", "KODAK EASYSHARE Z981"},
                        {files[3], "Description", "Scanned from a Kodak Portra 400 negative"}}));
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        QCOMPARE(w.fake.messages.shown[0].title, QStringLiteral("Tagsifter"));
        // Everything is back as it was.
        QCOMPARE(w.view.runningHistory, QList<bool>({true, false}));
        QCOMPARE(w.pointer.history, QList<Pointer>({Pointer::Hourglass, Pointer::Default}));
        QCOMPARE(w.view.value, 0);
        QCOMPARE(w.view.text, QStringLiteral("Progress Bar"));
        QCOMPARE(w.files.headerText(1), QStringLiteral("Image(s)"));
        QVERIFY(QDir(w.run.exifTool().tempFolder()).isEmpty());
    }

    void corpusCaseAndColons()
    {
        Window w;
        const QString kodak = corpusFolder() + QStringLiteral("/Kodak_CX7530.jpg");
        w.search({kodak}, QStringLiteral("EASTMAN kodak"));
        QCOMPARE(results(w.results), (QList<Row>{{kodak, "Make", "EASTMAN KODAK COMPANY"}}));
        // A new run empties the list first; a date keeps its colons.
        w.files.clear();
        w.search({kodak}, QStringLiteral("2005:08:13 09:47"));
        QCOMPARE(results(w.results).constFirst(),
                 (Row{kodak, "Date/Time Original", "2005:08:13 09:47:23"}));
    }

    void sidecarRowsAreTheImagesAndSaySo()
    {
        // The sidecar's rows come under the image after its own; the list shows where they
        // came from, the exports keep the tag as it is.
        QTemporaryDir dir;
        const QString image =
            copySample(corpusFolder() + "/Kodak_CX7530.jpg", dir.path() + "/k.jpg");
        copySample(QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/formats/XMP4.xmp"),
                   dir.path() + "/k.xmp");
        Window w;
        w.search({image}, QStringLiteral("two"));
        QCOMPARE(results(w.results),
                 (QList<Row>{{image, "Location Created City", "one, two, three"},
                             {image, "Subject", "one, two"}}));
        const QModelIndex tag = w.results.index(1, 1);
        QCOMPARE(tag.data().toString(), QStringLiteral("Subject (XMP sidecar)"));
        QCOMPARE(tag.data(Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("From the image's XMP sidecar"));
        w.search({image}, QStringLiteral("kodak"));
        QCOMPARE(w.results.index(0, 1).data().toString(), QStringLiteral("Make"));
        QVERIFY(!w.results.index(0, 1).data(Qt::ToolTipRole).isValid());
    }

    void writtenTagsAndOddNames()
    {
        QTemporaryDir dir;
        const QString base = copySample(samplesFolder() + QStringLiteral("/Garden_party.jpg"),
                                        dir.path() + QStringLiteral("/KodakFolder/base.jpg"));
        QProcess exiftool;
        exiftool.start(QStringLiteral("exiftool"),
                       {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                        QStringLiteral("-Make=Kodak"), QStringLiteral("-Artist=a  spaced  value"),
                        QStringLiteral("-UserComment=   "), base});
        QVERIFY(exiftool.waitForFinished(30000));
        const QStringList names{
            QStringLiteral("with space.jpg"),    QStringLiteral("quote\"'s.jpg"),
            QStringLiteral("-leading dash.jpg"), QStringLiteral("100% & more.jpg"),
            QString::fromUtf8("写真 Фото.jpg"),  QStringLiteral("new\nline.jpg")};
        QStringList paths{base};
        for (const QString& name : names)
            paths.append(copySample(base, dir.path() + QLatin1Char('/') + name));
        Window w;
        w.search(paths, QStringLiteral("KODAK"));
        // The folder's name is on the Directory line: it never matches. Every odd name is read.
        QList<Row> expected;
        for (const QString& path : paths)
            expected.append({path, "Make", "Kodak"});
        QCOMPARE(results(w.results), expected);

        w.files.clear();
        w.search({base}, QStringLiteral("  spaced"));
        QCOMPARE(results(w.results), (QList<Row>{{base, "Artist", "a  spaced  value"}}));
        w.files.clear();
        w.search({base}, QStringLiteral(" a "));
        QVERIFY(results(w.results).isEmpty());
    }

    void unreadableImagesGiveNoRows()
    {
        QTemporaryDir dir;
        const QString empty = dir.path() + QStringLiteral("/empty.jpg");
        writeFile(empty, QByteArray());
        Window w;
        w.search({corpusFolder() + QStringLiteral("/corrupted.jpg"), empty,
                  dir.path() + QStringLiteral("/missing.jpg")},
                 QStringLiteral("kodak"));
        QVERIFY(results(w.results).isEmpty());
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
    }

    void refusedRuns()
    {
        Window w;
        w.results.addItem(QStringLiteral("/kept"), {QStringLiteral("t"), QStringLiteral("v")});
        w.search({}, QStringLiteral("x"));
        QCOMPARE(w.fake.messages.texts(), QStringList({"No folders added."}));
        QVERIFY(w.run.stopFlag());
        w.search({QStringLiteral("/a.jpg")}, QStringLiteral("   "));
        QCOMPARE(w.fake.messages.texts().constLast(), QStringLiteral("Please enter search text."));
        QCOMPARE(w.results.count(), 1);
    }

    void exiftoolMissingIsSaidOnce()
    {
        Window w(QStringLiteral("/nonexistent/exiftool"));
        w.search({samplesFolder() + QStringLiteral("/Garden_party.jpg"),
                  samplesFolder() + QStringLiteral("/Old_bridge.jpg")},
                 QStringLiteral("kodak"));
        QCOMPARE(w.fake.messages.texts(), QStringList({SearchRun::exiftoolMissingMessage()}));
        QVERIFY(!w.view.running);
        QCOMPARE(w.pointer.mode, Pointer::Default);
    }

    void exiftoolThatCannotStart()
    {
        QTemporaryDir dir;
        const QString notRunnable = dir.path() + QStringLiteral("/exiftool");
        writeFile(notRunnable, "not a program");
        Window w(notRunnable);
        w.search({samplesFolder() + QStringLiteral("/Garden_party.jpg")}, QStringLiteral("kodak"));
        QCOMPARE(w.fake.messages.texts(), QStringList({SearchRun::exiftoolMissingMessage()}));
    }

    void anExiftoolThatCannotWorkIsSaid_data()
    {
        QTest::addColumn<bool>("oneShot");
        QTest::addColumn<int>("images");
        QTest::newRow("sessions, three images") << false << 3;
        QTest::newRow("one-shot, three images") << true << 3;
        QTest::newRow("sessions, one image") << false << 1;
    }
    void anExiftoolThatCannotWorkIsSaid()
    {
        QFETCH(bool, oneShot);
        QFETCH(int, images);
        // Perl without the module: exiftool starts, says why it cannot work and exits.
        const QByteArray said = "Can't locate Image/ExifTool.pm in @INC (you may need to install "
                                "the Image::ExifTool module)";
        QTemporaryDir dir;
        const QString broken =
            standIn(dir, QStringLiteral("exiftool"), "echo \"" + said + "\" >&2\nexit 2\n");
        Window w(broken);
        w.run.setOneShot(oneShot);
        QStringList paths;
        for (const char* name : {"Garden_party.jpg", "Harbour_at_dawn.jpg", "Old_bridge.jpg"})
            paths.append(samplesFolder() + "/" + name);
        w.search(paths.mid(0, images), "kodak");
        QCOMPARE(w.fake.messages.texts(),
                 QStringList({SearchRun::exiftoolFailsMessage(QString::fromLatin1(said))}));
        QCOMPARE(w.results.count(), 0);
        QVERIFY(!w.view.running);
    }

    void anExiftoolThatNeverAnswersIsGivenUp_data()
    {
        QTest::addColumn<bool>("oneShot");
        QTest::newRow("sessions") << false;
        QTest::newRow("one-shot") << true;
    }
    void anExiftoolThatNeverAnswersIsGivenUp()
    {
        QFETCH(bool, oneShot);
        ScriptedProcesses processes;
        processes.session = [](const QString&) { return ScriptedAnswer{"", 0, true}; };
        processes.oneShot = [](const QString&) { return ScriptedAnswer{"", 0, true}; };
        Window w(QString(), &processes);
        w.run.setOneShot(oneShot);
        w.run.reader().setHangTimeout(50);
        QStringList paths;
        for (int i = 1; i <= 10; ++i)
            paths.append(QString("/photos/%1.jpg").arg(i));
        w.search(paths, "kodak");
        // Two images without an answer, and the run ends: no image waits the limit again.
        QCOMPARE(w.fake.messages.texts(), QStringList({SearchRun::exiftoolSilentMessage()}));
        QVERIFY(!w.view.running);
        QCOMPARE(processes.oneShotStarts, oneShot ? 2 : 0);
        QVERIFY2(processes.sessionStarts <= 4,
                 qPrintable(QString::number(processes.sessionStarts)));
    }

    void stopEndsAHungImage()
    {
        ScriptedProcesses processes;
        processes.oneShot = [](const QString&) {
            return ScriptedAnswer{"Make : Kodak\n", 0, true};
        };
        Window w(QString(), &processes);
        w.run.setOneShot(true);
        QStringList seenHeaders;
        w.fake.messages.onShow = [&](const QString&) { seenHeaders.append(w.files.headerText(1)); };
        bool runningAtStop = false;
        processes.onStart = [&](const QString&) {
            QTimer::singleShot(0, [&] {
                runningAtStop = w.view.running && w.pointer.mode == Pointer::Hourglass;
                w.run.PushButton1_Click();
                seenHeaders.append(w.files.headerText(1));
            });
        };
        w.search({QStringLiteral("/first.jpg"), QStringLiteral("/second.jpg")},
                 QStringLiteral("kodak"));
        QVERIFY(runningAtStop);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        QCOMPARE(seenHeaders, QStringList({"File(s)", "Image(s)"}));
        // The hung exiftool was ended, the image cut short gives no rows, nothing else was read.
        QCOMPARE(processes.killed, 1);
        QCOMPARE(processes.oneShotStarts, 1);
        QCOMPARE(w.results.count(), 0);
        QVERIFY(!w.view.running);
    }

    void stopKeepsTheRowsFound()
    {
        // The first image answers at once, later ones hang; Stop comes as the second starts.
        ScriptedProcesses processes;
        processes.oneShot = [](const QString& path) {
            return ScriptedAnswer{"Make                : Kodak\n", 0, path != "/1.jpg"};
        };
        Window w(QString(), &processes);
        w.run.setOneShot(true);
        processes.onStart = [&](const QString& path) {
            if (path == "/2.jpg")
                QTimer::singleShot(0, [&] { w.run.PushButton1_Click(); });
        };
        w.search({QStringLiteral("/1.jpg"), QStringLiteral("/2.jpg"), QStringLiteral("/3.jpg")},
                 QStringLiteral("kodak"));
        QCOMPARE(results(w.results), (QList<Row>{{"/1.jpg", "Make", "Kodak"}}));
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        QCOMPARE(processes.oneShotStarts, 2);
    }

    void slowImageSaysPleaseWait()
    {
        // Polls of 100 ms: the wait text from the 50th on, and the value steps at the 200th.
        for (const int polls : {55, 201}) {
            ScriptedProcesses processes;
            processes.oneShot = [&](const QString&) {
                return ScriptedAnswer{"Make : Kodak\n", polls};
            };
            Window w(QString(), &processes);
            w.run.setOneShot(true);
            QStringList texts;
            QList<int> values;
            w.view.onProgress = [&] {
                texts.append(w.view.text);
                values.append(w.view.value);
            };
            w.search({QStringLiteral("/photos/one image.jpg"), QStringLiteral("/photos/b.jpg")},
                     QStringLiteral("kodak"));
            QVERIFY(texts.contains(QStringLiteral("Processing: one image.jpg")));
            QVERIFY(texts.contains(QStringLiteral("Processing: one image.jpg, Please wait.. 0")));
            QVERIFY(texts.contains(QStringLiteral("Processing: one image.jpg, Please wait.. 5")));
            QCOMPARE(texts.contains(QStringLiteral("Processing: one image.jpg, Please wait.. 6")),
                     polls == 201);
            // The first image is at 50 of 100; a wait of 150 polls more moves it one step of 5.
            QCOMPARE(values.contains(55), polls == 201);
            QCOMPARE(w.results.count(), 2);
        }
    }

    void aWaitThatCanBeSeenShowsItsImage()
    {
        // Sessions that keep pace: the images are not shown one by one. The one that keeps the
        // run waiting is: a large image, which is asked for alone.
        QTemporaryDir dir;
        const QString slow = dir.path() + QStringLiteral("/slow.jpg");
        QFile large(slow);
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(MetadataReader::kAloneBytes + 1));
        large.close();
        ScriptedProcesses processes;
        processes.session = [&](const QString& path) {
            ScriptedAnswer answer{"Make : Kodak\n"};
            answer.delayMs = path == slow ? 300 : 0;
            return answer;
        };
        Window w(QString(), &processes);
        w.run.setShowInterval(1000000);
        QStringList texts;
        w.view.onProgress = [&] { texts.append(w.view.text); };
        QStringList paths;
        for (int i = 1; i <= 40; ++i)
            paths.append(i == 20 ? slow : QStringLiteral("/%1.jpg").arg(i));
        w.search(paths, "kodak");
        QCOMPARE(w.results.count(), 40);
        QVERIFY(texts.contains(QStringLiteral("Processing: slow.jpg")));
        texts.removeDuplicates();
        QVERIFY2(texts.size() < 8, qPrintable(texts.join(QLatin1Char(' '))));
    }

    void stopLetsTheImageInProgressFinish()
    {
        // One-shot: the image answers a few polls after Stop; its rows still come, and no
        // other image is read.
        ScriptedProcesses processes;
        processes.oneShot = [](const QString&) { return ScriptedAnswer{"Make : Kodak\n", 10}; };
        Window w(QString(), &processes);
        w.run.setOneShot(true);
        processes.onStart = [&](const QString&) {
            QTimer::singleShot(0, [&] { w.run.PushButton1_Click(); });
        };
        w.search({"/1.jpg", "/2.jpg"}, "kodak");
        QCOMPARE(results(w.results), (QList<Row>{{"/1.jpg", "Make", "Kodak"}}));
        QCOMPARE(processes.oneShotStarts, 1);
        QCOMPARE(processes.killed, 0);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));

        // Sessions: an answer that comes after Stop, within the grace time, gives its rows;
        // one that never comes is given up when the grace time is over.
        for (const bool answers : {true, false}) {
            ScriptedProcesses sessions;
            sessions.session = [&](const QString&) {
                ScriptedAnswer answer{"Make : Kodak\n"};
                answer.delayMs = 200;
                answer.hang = !answers;
                return answer;
            };
            Window s(QString(), &sessions);
            s.run.reader().setStopGrace(answers ? 60000 : 50);
            bool clicked = false;
            sessions.onRequest = [&](const QString& path) {
                if (path == "/1.jpg" && !std::exchange(clicked, true))
                    QTimer::singleShot(0, [&] { s.run.PushButton1_Click(); });
            };
            s.search({"/1.jpg", "/2.jpg"}, "kodak");
            QVERIFY(clicked);
            QCOMPARE(s.results.count(), answers ? 1 : 0);
            QCOMPARE(s.fake.messages.texts(), QStringList({"Done."}));
        }
    }

    void progressValuesRoundHalvesToEven()
    {
        ScriptedProcesses processes;
        Window w(QString(), &processes);
        w.run.setOneShot(true);
        w.run.setShowInterval(0);
        QList<int> values;
        w.view.onProgress = [&] {
            if (!values.contains(w.view.value))
                values.append(w.view.value);
        };
        QStringList paths;
        for (int i = 1; i <= 8; ++i)
            paths.append(QStringLiteral("/%1.jpg").arg(i));
        w.search(paths, "kodak");
        // 12.5, 25, 37.5, 50, 62.5, 75, 87.5 and 100 of the list, then 0 at the end.
        QCOMPARE(values, (QList<int>{12, 25, 38, 50, 62, 75, 88, 100, 0}));
    }

    void unusableTempFolderIsReportedOnce()
    {
        // A file where the temp folder should be: no folder can be made in it, not even by root.
        QTemporaryDir dir;
        const QString notAFolder = dir.path() + QStringLiteral("/file");
        writeFile(notAFolder);
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(notAFolder));
        ScriptedProcesses processes;
        Window w(QString(), &processes);
        if (saved.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", saved);
        w.search({"/1.jpg", "/2.jpg", "/3.jpg"}, "kodak");
        QCOMPARE(w.fake.messages.shown.size(), 1);
        QCOMPARE(w.fake.messages.shown[0].title, QStringLiteral("Application Error"));
        QVERIFY2(w.fake.messages.shown[0].text.contains("PushButton1_Click at line 132"),
                 qPrintable(w.fake.messages.shown[0].text));
        QCOMPARE(processes.oneShotStarts + processes.sessionStarts, 0);
        QCOMPARE(w.view.runningHistory, QList<bool>({true, false}));
        QCOMPARE(w.pointer.mode, Pointer::Default);
    }

    void aDumpStepReportsItsOwnLine()
    {
        // exiftool leaves a folder where its output belongs: reading it is line 150.
        ScriptedProcesses processes;
        processes.oneShot = [](const QString&) {
            ScriptedAnswer answer;
            answer.folderOutput = true;
            return answer;
        };
        Window w(QString(), &processes);
        w.run.setOneShot(true);
        w.search({"/1.jpg"}, "kodak");
        const QStringList texts = w.fake.messages.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts[0].contains("in Tagsift2021/08/31.Form1.PushButton1_Click at line 150"),
                 qPrintable(texts[0]));
        QCOMPARE(texts[1], QStringLiteral("Done."));
    }

    void anOutputFileThatCannotBeMadeIsNoMissingExiftool()
    {
        // A folder where the one-shot way's output file belongs: each image says so on its
        // own line, and the run goes on to "Done.".
        Window w;
        w.run.setOneShot(true);
        QVERIFY(QDir().mkpath(w.run.exifTool().dumpFile() + "/in-the-way"));
        w.search({samplesFolder() + "/Garden_party.jpg", samplesFolder() + "/Old_bridge.jpg"},
                 "kodak");
        const QStringList texts = w.fake.messages.texts();
        QCOMPARE(texts.size(), 3);
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(texts[i].startsWith("The output file cannot be opened: "),
                     qPrintable(texts[i]));
            QVERIFY(texts[i].contains("PushButton1_Click at line 144"));
        }
        QCOMPARE(texts[2], QStringLiteral("Done."));
    }

    void specialFilesGiveNoRowsAndTheRunEnds()
    {
        // A link to a device and a FIFO, named like images: never handed to exiftool, in the
        // sessions or the one-shot way.
        QTemporaryDir dir;
        const QString image =
            copySample(samplesFolder() + "/Garden_party.jpg", dir.path() + "/a.jpg");
        const QString zero = dir.path() + "/zero.jpg";
        const QString fifo = dir.path() + "/fifo.jpg";
        QVERIFY(QFile::link("/dev/zero", zero));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const bool oneShot : {false, true}) {
            Window w;
            w.run.setOneShot(oneShot);
            w.search({zero, fifo, image}, "kodak");
            QCOMPARE(results(w.results), (QList<Row>{{image, "Make", "KODAK"}}));
            QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        }
    }

    void silenceLimitCountsFromTheLastOutput()
    {
        // A dump that comes in ten pieces 40 ms apart is not silent for 100 ms, though it
        // takes 400 ms in all: the session is not ended.
        ScriptedProcesses processes;
        processes.session = [](const QString&) {
            ScriptedAnswer answer{"Make : Kodak slow\n" + QByteArray(2000, ' ') + "\n"};
            answer.delayMs = 40;
            answer.pieces = 10;
            return answer;
        };
        Window w(QString(), &processes);
        w.run.reader().setHangTimeout(100);
        w.search({"/slow.jpg"}, "kodak");
        QCOMPARE(results(w.results), (QList<Row>{{"/slow.jpg", "Make", "Kodak slow"}}));
        QCOMPARE(processes.sessionsKilled, 0);
        QCOMPARE(processes.oneShotStarts, 0);

        // A one-shot exiftool that writes nothing is ended after its 300 silent polls; after
        // two such images the run ends, saying why.
        ScriptedProcesses silent;
        silent.oneShot = [](const QString&) { return ScriptedAnswer{"Make : Kodak\n", 0, true}; };
        Window s(QString(), &silent);
        s.run.setOneShot(true);
        s.search({"/1.jpg", "/2.jpg"}, "kodak");
        QCOMPARE(silent.killed, 2);
        QCOMPARE(s.results.count(), 0);
        QCOMPARE(s.fake.messages.texts(), QStringList({SearchRun::exiftoolSilentMessage()}));
    }

    void answersAskedAheadComeInTheOrderAsked()
    {
        // Several requests are written before the first is answered; a read may hold more than
        // one answer, or end inside a marker's line.
        auto owned = std::make_unique<FeedChannel>();
        FeedChannel& channel = *owned;
        ExifSession session(std::move(owned));
        QStringList answers;
        QObject::connect(&session, &ExifSession::finished,
                         [&](const QString& path, const FileStamp&, const QString& dump) {
                             answers.append(path + " " + dump);
                         });
        for (const char* path : {"/a.jpg", "/b.jpg", "/c.jpg"})
            session.request(QString::fromLatin1(path), FileStamp());
        QCOMPARE(channel.written, QByteArray("/a.jpg\n-execute1\n/b.jpg\n-execute2\n"
                                             "/c.jpg\n-execute3\n"));
        QCOMPARE(session.load(), 3);
        channel.feed("Make : A\n{ready1}\nMake : B\n{rea");
        QCOMPARE(answers, QStringList({"/a.jpg Make : A\n"}));
        channel.feed("dy2}");
        QCOMPARE(answers.size(), 1);
        channel.feed("\n{ready3}\n");
        QCOMPARE(answers, QStringList({"/a.jpg Make : A\n", "/b.jpg Make : B\n", "/c.jpg "}));
        QVERIFY(!session.isBusy());

        // Ended while reading d: d is the one it died on, e was only waiting behind it.
        QString diedOn;
        QStringList unanswered;
        QObject::connect(&session, &ExifSession::died,
                         [&](const QString& path, const QStringList& rest) {
                             diedOn = path;
                             unanswered = rest;
                         });
        session.request("/d.jpg", FileStamp());
        session.request("/e.jpg", FileStamp());
        channel.running = false;
        emit channel.ended();
        QCOMPARE(diedOn, QStringLiteral("/d.jpg"));
        QCOMPARE(unanswered, QStringList({"/e.jpg"}));
        QVERIFY(!session.isBusy());
    }

    void theEndOfARunEndsItsReadAhead()
    {
        // Stopped: the sessions still reading images ahead for it are ended, and no image
        // waiting to be asked is asked. A run that ends by itself keeps its sessions.
        for (const bool stop : {true, false}) {
            ScriptedProcesses processes;
            QStringList asked;
            processes.session = [](const QString&) {
                ScriptedAnswer answer{"Make : Kodak\n"};
                answer.delayMs = 20;
                return answer;
            };
            Window w(QString(), &processes);
            processes.onRequest = [&](const QString& path) {
                asked.append(path);
                if (stop && path == "/1.jpg")
                    QTimer::singleShot(0, [&] { w.run.PushButton1_Click(); });
            };
            QStringList paths;
            for (int i = 1; i <= 40; ++i)
                paths.append(QStringLiteral("/%1.jpg").arg(i));
            w.search(paths, "kodak");
            const int sessions = w.run.reader().sessionCount();
            if (stop) {
                QCOMPARE(w.results.count(), 1);
                QVERIFY2(processes.sessionsKilled >= 1, qPrintable(asked.join(' ')));
                // At most the images written to the sessions before the stop.
                QVERIFY2(asked.size() <= MetadataReader::kDepth * sessions,
                         qPrintable(asked.join(' ')));
            } else {
                QCOMPARE(w.results.count(), 40);
                QCOMPARE(processes.sessionsKilled, 0);
                QCOMPARE(asked.size(), 40);
            }
        }
    }

    void aFileRewrittenDuringItsReadAheadIsReadAgain()
    {
        // While the read-ahead of b.jpg is under way, the file is rewritten: the answer for
        // the old file is not taken for the new one.
        QTemporaryDir dir;
        const QString a = dir.path() + "/a.jpg";
        const QString b = dir.path() + "/b.jpg";
        writeFile(a, "a");
        writeFile(b, "old");
        ScriptedProcesses processes;
        int requestsForB = 0;
        processes.onRequest = [&](const QString& path) {
            if (path == b && ++requestsForB == 1)
                writeFile(b, "new and longer");
        };
        processes.session = [&](const QString& path) {
            ScriptedAnswer answer{path == b && requestsForB == 1 ? "Make : Kodak old\n"
                                                                 : "Make : Kodak new\n"};
            answer.delayMs = 100;
            return answer;
        };
        Window w(QString(), &processes);
        w.search({a, b}, "kodak");
        QCOMPARE(results(w.results),
                 (QList<Row>{{a, "Make", "Kodak new"}, {b, "Make", "Kodak new"}}));
        QCOMPARE(requestsForB, 2);
        // And the next search takes the new dump from memory.
        w.search({}, "kodak");
        QCOMPARE(results(w.results).constLast(), (Row{b, "Make", "Kodak new"}));
        QCOMPARE(requestsForB, 2);
    }

    void incompleteOneShotOutputIsNotTrusted()
    {
        // A real exiftool stand-in that cannot keep a session and is killed half-way through
        // its one-shot output.
        QTemporaryDir dir;
        const QString log = dir.path() + "/log";
        const QString tool = standIn(dir, "tool",
                                     "if [ \"$1\" = -stay_open ]; then exit 1; fi\n"
                                     "echo run >> '" +
                                         log.toUtf8() +
                                         "'\n"
                                         "printf 'Make : Kodak\\nModel : Kod'\nkill -KILL $$\n");
        Window w(tool);
        w.search({samplesFolder() + "/Garden_party.jpg"}, "kod");
        QCOMPARE(w.results.count(), 0);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        const int runs = linesOf(log);
        QCOMPARE(runs, 1);
        // Nothing was kept: the next search reads the image again.
        w.search({}, "kod");
        QCOMPARE(linesOf(log), runs + 1);

        // Output cut short without a signal (a full disk) is not trusted either.
        ScriptedProcesses processes;
        processes.oneShot = [](const QString&) {
            ScriptedAnswer answer{"Make : Kodak\nModel : Kod"};
            answer.cutShort = true;
            return answer;
        };
        Window s(QString(), &processes);
        s.run.setOneShot(true);
        s.search({"/1.jpg"}, "kod");
        QCOMPARE(s.results.count(), 0);
    }

    void latin1ValuesAreFound()
    {
        // A Make written as Latin-1 bytes, as older cameras and Windows tools store it.
        QTemporaryDir dir;
        const QString image =
            copySample(samplesFolder() + "/Old_bridge.jpg", dir.path() + "/a.jpg");
        QProcess exiftool;
        exiftool.start("exiftool", {"-q", "-overwrite_original", "-charset", "exif=latin",
                                    QString::fromUtf8("-Make=Café Œuvre"), image});
        QVERIFY(exiftool.waitForFinished(30000));
        for (const bool oneShot : {false, true}) {
            Window w;
            w.run.setOneShot(oneShot);
            w.search({image}, QString::fromUtf8("CAFÉ"));
            QCOMPARE(results(w.results),
                     (QList<Row>{{image, "Make", QString::fromUtf8("Café Œuvre")}}));
        }
    }

    void startWhileAStoppedRunEndsStartsTheNewRunAfterIt_data()
    {
        QTest::addColumn<bool>("doubleClick");
        // A double-click on "Stop": the stop request, then at once a click on "Start Finding".
        QTest::newRow("double-click on Stop") << true;
        // Stop while the image is read, then a new text and "Start Finding" before it is done.
        QTest::newRow("Stop, new text, Start") << false;
    }
    void startWhileAStoppedRunEndsStartsTheNewRunAfterIt()
    {
        QFETCH(bool, doubleClick);
        ScriptedProcesses processes;
        processes.oneShot = [](const QString& path) {
            return ScriptedAnswer{path == "/1.jpg" ? "Make : Kodak\nModel : Old\n"
                                                   : "Make : Kodak\nModel : New\n",
                                  5};
        };
        Window w(QString(), &processes);
        w.run.setOneShot(true);
        bool clicked = false;
        processes.onStart = [&](const QString& path) {
            if (path != "/1.jpg" || std::exchange(clicked, true))
                return;
            QTimer::singleShot(0, [&] {
                w.run.PushButton1_Click();
                QVERIFY(!w.view.running);
                if (!doubleClick)
                    w.searchText = "new";
                w.run.PushButton1_Click();
            });
        };
        w.search({"/1.jpg", "/2.jpg"}, "old");
        // The stopped run ends with the image it was reading; then the new run searches every
        // image for the text of the moment, into an emptied list, and only it says "Done.".
        const QList<Row> expected = doubleClick ? QList<Row>{{"/1.jpg", "Model", "Old"}}
                                                : QList<Row>{{"/2.jpg", "Model", "New"}};
        QCOMPARE(results(w.results), expected);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        QCOMPARE(processes.oneShotStarts, 3);
        QVERIFY(!w.view.running);
    }

    void sessionsEndWithoutWaitingAndNoMoreThanNeeded()
    {
        ScriptedProcesses processes;
        processes.sessionsIgnoreLeave = true;
        processes.session = [](const QString&) { return ScriptedAnswer{"Make : Kodak\n"}; };
        FakeServices fake;
        SystemServices system = fake.system();
        system.processes = &processes;
        ExifTool oneShot(system);
        {
            MetadataReader reader(system, oneShot, 16);
            // Three images need three sessions, not sixteen.
            for (const char* path : {"/1.jpg", "/2.jpg", "/3.jpg"})
                reader.prefetch("/scripted/exiftool", QString::fromLatin1(path));
            QCOMPARE(reader.read("/scripted/exiftool", "/1.jpg", {}),
                     QStringLiteral("Make : Kodak\n"));
            QCOMPARE(processes.sessionStarts, 3);
            reader.closeSessions();
        }
        // Nothing waited for them; the ones that stayed are killed a second later.
        QCOMPARE(processes.sessionWaits, 0);
        QTRY_COMPARE_WITH_TIMEOUT(processes.sessionsKilled, 3, 10000);
    }

    void endedFromOutsideMidRun()
    {
        // The program asked to end by a signal in the middle of a run: its temp folder goes
        // and no exiftool is left; killed outright, it still leaves no exiftool running.
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
            QTemporaryDir dir;
            const QString pidFile = dir.path() + "/exiftool.pid";
            const QString tool =
                standIn(dir, "tool", "echo $$ > '" + pidFile.toUtf8() + "'\nexec sleep 600\n");
            QProcess program;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_QPA_PLATFORM", "offscreen");
            // What the child makes in the temp folder goes with `dir`, however it ends.
            environment.insert("TMPDIR", dir.path());
            program.setProcessEnvironment(environment);
            program.start(QCoreApplication::applicationFilePath(), {"-run-until-ended", tool});
            QVERIFY(program.waitForStarted());
            QVERIFY(program.waitForReadyRead(30000));
            const QString tempFolder = QString::fromUtf8(program.readLine()).trimmed();
            QVERIFY(QFileInfo(tempFolder).isDir());
            QTRY_VERIFY_WITH_TIMEOUT(linesOf(pidFile) == 1, 30000);
            QFile pids(pidFile);
            QVERIFY(pids.open(QIODevice::ReadOnly));
            const pid_t exiftool = pids.readAll().trimmed().toInt();
            QVERIFY(exiftool > 0 && ::kill(exiftool, 0) == 0);
            ::kill(static_cast<pid_t>(program.processId()), signal);
            QVERIFY(program.waitForFinished(30000));
            if (signal != SIGKILL) {
                QCOMPARE(program.exitStatus(), QProcess::NormalExit);
                QCOMPARE(program.exitCode(), 128 + signal);
                QVERIFY(!QFileInfo::exists(tempFolder));
            } else {
                QDir(tempFolder).removeRecursively();
            }
            QTRY_VERIFY_WITH_TIMEOUT(::kill(exiftool, 0) != 0, 10000);
        }
    }

    void sessionsStartWithTheFirstRows()
    {
        ScriptedProcesses processes;
        Window w(QString(), &processes);
        // A list that stays empty starts nothing.
        QCoreApplication::processEvents();
        QCOMPARE(processes.sessionStarts, 0);
        // Rows added in one go start a session for each, up to one per core, before the click.
        for (const char* path : {"/1.jpg", "/2.jpg", "/3.jpg"})
            w.files.addItem(QString::fromLatin1(path));
        QTRY_VERIFY(processes.sessionStarts > 0);
        QCOMPARE(processes.sessionStarts, std::min(3, w.run.reader().sessionCount()));
        const int started = processes.sessionStarts;
        w.search({}, "kodak");
        QCOMPARE(processes.sessionStarts, started);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        // Started while nobody waits for them, they run below the user's programs; a search
        // clicked before that starts its sessions at the usual priority.
        using Priority = ProcessService::Priority;
        QCOMPARE(processes.sessionPriorities, QList<Priority>(started, Priority::Background));
        ScriptedProcesses clicked;
        Window now(QString(), &clicked);
        now.search({"/1.jpg", "/2.jpg", "/3.jpg"}, "kodak");
        QVERIFY(clicked.sessionStarts > 0);
        QCOMPARE(clicked.sessionPriorities,
                 QList<Priority>(clicked.sessionStarts, Priority::Normal));
    }

    void rowsOfAThrottledRunAreTheSame()
    {
        // Shown every image or as throttled, a run adds the same rows in the same order.
        QList<QList<Row>> runs;
        for (const int interval : {0, SearchRun::kShowIntervalMs, 1000000}) {
            ScriptedProcesses processes;
            processes.session = [](const QString& path) {
                return ScriptedAnswer{
                    ("Make : Kodak " + path + "\nModel : kodak " + path + "\n").toUtf8()};
            };
            Window w(QString(), &processes);
            w.run.setShowInterval(interval);
            QStringList paths;
            for (int i = 0; i < 200; ++i)
                paths.append(QStringLiteral("/%1.jpg").arg(i));
            w.search(paths, "kodak");
            runs.append(results(w.results));
        }
        QCOMPARE(runs[0].size(), 400);
        QCOMPARE(runs[0].at(1), (Row{"/0.jpg", "Model", "kodak /0.jpg"}));
        QCOMPARE(runs[1], runs[0]);
        QCOMPARE(runs[2], runs[0]);
    }

    void aRunLooksAtEachImageOnlyAFewTimes()
    {
        // Read ahead, an image is looked at once, not again for every image searched before
        // it: a run of many images spent its time taking the same files' stamps.
        struct CountingFiles : LocalFileSystem
        {
            FileStamp stamp(const QString& path) const override
            {
                ++stamps;
                return LocalFileSystem::stamp(path);
            }
            mutable int stamps = 0;
        } files;
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            return ScriptedAnswer{("Make : Kodak " + path + "\n").toUtf8()};
        };
        Window w(QString(), &processes, &files);
        // Yielding at every image, the sessions answer ahead of the search.
        w.run.setShowInterval(0);
        QStringList paths;
        for (int i = 0; i < 200; ++i)
            paths.append(QStringLiteral("/%1.jpg").arg(i));
        w.search(paths, "kodak");
        QCOMPARE(w.results.count(), 200);
        QVERIFY2(files.stamps <= 8 * 200, qPrintable(QString::number(files.stamps)));
    }

    void sessionsGiveTheOneShotLines()
    {
        QStringList files = QDir(corpusFolder()).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        for (QString& f : files)
            f = corpusFolder() + "/" + f;
        for (const QString& f : QDir(samplesFolder()).entryList({"*.jpg"}, QDir::Files))
            files.append(samplesFolder() + "/" + f);
        FakeServices fake;
        ExifTool oneShot(fake.system());
        MetadataReader reader(fake.system(), oneShot, 2);
        const QString program = oneShot.EnsureExifTool();
        for (const QString& file : files)
            reader.prefetch(program, file);
        QHash<QString, QString> firstRun;
        for (const QString& file : files) {
            const QString session = reader.read(program, file, {});
            firstRun.insert(file, session);
            QString single = oneShot.DumpMetadata(file, {});
            oneShot.removeTempFiles();
            if (single == QStringLiteral("empty file"))
                single.clear();
            // The first read of an old file moves its access time; the line stays in place.
            QStringList a = maskAccessTime(session.split('\n'));
            QStringList b = maskAccessTime(single.split('\n'));
            QCOMPARE(a.size(), b.size());
            // Only the Composite tags may come in another order: without them the lines match
            // one for one.
            QProcess composite;
            composite.start("exiftool", {"-Composite:all", file});
            QVERIFY(composite.waitForFinished(30000));
            const QStringList composites = QString::fromUtf8(composite.readAllStandardOutput())
                                               .split('\n', Qt::SkipEmptyParts);
            QStringList ordered = a, expected = b;
            for (const QString& line : maskAccessTime(composites)) {
                ordered.removeAll(line);
                expected.removeAll(line);
            }
            QCOMPARE(ordered, expected);
            QStringList sa = a, sb = b;
            sa.sort();
            sb.sort();
            QCOMPARE(sa, sb);
        }
        QCOMPARE(reader.exiftoolReads(), files.size());
        // One session reading the images the other way round (the Canon images last, not
        // first) gives each image's lines in the same order.
        MetadataReader reversed(fake.system(), oneShot, 1);
        for (auto it = files.rbegin(); it != files.rend(); ++it)
            reversed.prefetch(program, *it);
        for (auto it = files.rbegin(); it != files.rend(); ++it)
            QCOMPARE(maskAccessTime(reversed.read(program, *it, {}).split('\n')),
                     maskAccessTime(firstRun.value(*it).split('\n')));
    }

    void aLibraryFromTheCacheFileGivesTheRowsOfItsReads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rowsPerImage");
        // A make; the modification time of the files now, in the zone in force; the time the
        // dumps were read with, which a kept dump no longer shows.
        QTest::newRow("make") << "KODAK" << 1;
        const QString now = QString::fromLatin1(exiftoolTime(kModified * 1000000000LL));
        QTest::newRow("time now") << now.left(16) << 1;
        QTest::newRow("time then") << "2001:01:01" << 0;
    }

    void aLibraryFromTheCacheFileGivesTheRowsOfItsReads()
    {
        // Enough images for one pass over the cache file, one of them listed twice: in the
        // window and in the terminal, each image gives its rows in list order, its file time
        // lines as of now.
        QFETCH(QString, text);
        QFETCH(int, rowsPerImage);
        QTemporaryDir dir;
        QStringList images;
        for (int i = 0; i < 2 * MetadataReader::kSweepMinimum; ++i) {
            images.append(dir.path() + QStringLiteral("/%1.jpg").arg(i, 3, 10, QChar('0')));
            writeFile(images.last());
            const struct timespec times[2] = {{kModified, 0}, {kModified, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(images.last()).constData(), times, 0),
                     0);
        }
        images.append(images.at(3));
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            return ScriptedAnswer{"ExifTool Version Number         : 12.57\n"
                                  "File Modification Date/Time     : 2001:01:01 00:00:00+00:00\n"
                                  "Make                            : Kodak " +
                                  QFileInfo(path).fileName().toUtf8() + "\n"};
        };
        const QString cache = dir.path() + "/cache/dumps.sqlite";
        QList<Row> expected;
        for (const QString& image : images) {
            if (rowsPerImage == 0)
                break;
            const QString time = QString::fromLatin1(exiftoolTime(kModified * 1000000000LL));
            expected.append(text == "KODAK"
                                ? Row{image, "Make", "Kodak " + QFileInfo(image).fileName()}
                                : Row{image, "File Modification Date/Time", time});
        }
        {
            Window reading(QString(), &processes, nullptr, cache);
            reading.search(images, "kodak");
            QCOMPARE(reading.results.count(), images.size());
        }
        int asked = 0;
        processes.onRequest = [&](const QString&) { ++asked; };
        Window window(QString(), &processes, nullptr, cache);
        window.search(images, text);
        QCOMPARE(results(window.results), expected);
        SearchEngine engine(window.services.system);
        RecordingRows sink;
        engine.run({images, {"jpg"}, SearchQuery::containing(text), {}}, sink);
        QCOMPARE(sink.rows, expected);
        QCOMPARE(asked, 0);
    }

    void repeatedSearchNeedsNoExiftool()
    {
        QTemporaryDir dir;
        const QString a = copySample(samplesFolder() + "/Garden_party.jpg", dir.path() + "/a.jpg");
        const QString b =
            copySample(samplesFolder() + "/Harbour_at_dawn.jpg", dir.path() + "/b.jpg");
        Window w;
        w.search({a, b}, "kodak");
        QCOMPARE(w.results.count(), 3);
        const int reads = w.run.reader().exiftoolReads();
        QCOMPARE(reads, 2);
        w.search({}, "harbour");
        QCOMPARE(w.run.reader().exiftoolReads(), reads);
        QVERIFY(w.results.count() > 0);
        // A changed file is read again.
        QProcess exiftool;
        exiftool.start("exiftool", {"-q", "-overwrite_original", "-Make=Leica", a});
        QVERIFY(exiftool.waitForFinished(30000));
        w.search({}, "leica");
        QCOMPARE(w.run.reader().exiftoolReads(), reads + 1);
        QCOMPARE(results(w.results), (QList<Row>{{a, "Make", "Leica"}}));
    }

    void anAnswerReachesItsReadWhateverTheMemoryKeeps_data()
    {
        QTest::addColumn<qint64>("memoryLimit");
        QTest::addColumn<int>("dumpBytes");
        QTest::newRow("no memory cache") << qint64(0) << 100;
        QTest::newRow("a dump over the limit") << qint64(1 << 20) << (3 << 20);
    }

    void anAnswerReachesItsReadWhateverTheMemoryKeeps()
    {
        QFETCH(qint64, memoryLimit);
        QFETCH(int, dumpBytes);
        ScriptedProcesses processes;
        processes.session = [&](const QString& path) {
            return ScriptedAnswer{"Comment : " + QByteArray(dumpBytes, 'x') + "\nMake : Kodak " +
                                  path.toUtf8() + "\n"};
        };
        QStringList asked;
        processes.onRequest = [&](const QString& path) { asked.append(path); };
        Window w(QString(), &processes);
        w.run.reader().memory().setLimit(memoryLimit);
        const QStringList images{"/1.jpg", "/2.jpg", "/3.jpg", "/4.jpg", "/5.jpg", "/6.jpg"};
        w.search(images, "kodak");
        QCOMPARE(w.results.count(), 6);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        // Each image asked once, not again and again.
        std::sort(asked.begin(), asked.end());
        QCOMPARE(asked, images);
    }

    void aBigDumpWithTheRealExiftoolFinishes()
    {
        // A 3 MB description, with no memory cache at all.
        QTemporaryDir dir;
        const QString image =
            copySample(samplesFolder() + "/Garden_party.jpg", dir.path() + "/big.jpg");
        writeFile(dir.path() + "/value.txt", "needle " + QByteArray(3 << 20, 'y'));
        QProcess exiftool;
        exiftool.start("exiftool", {"-q", "-overwrite_original",
                                    "-XMP-dc:Description<=" + dir.path() + "/value.txt", image});
        QVERIFY(exiftool.waitForFinished(60000));
        Window w;
        w.run.reader().memory().setLimit(0);
        w.search({image}, "needle");
        QCOMPARE(w.results.count(), 1);
        QCOMPARE(w.run.reader().exiftoolReads(), 1);
    }

    void aChangedConfigurationNeverGivesOldRows()
    {
        // exiftool's configuration adds a tag; the rows follow the file as it is now, in the
        // same window and in a new one that shares the cache file.
        QTemporaryDir dir;
        const QByteArray savedHome = qgetenv("EXIFTOOL_HOME");
        qputenv("EXIFTOOL_HOME", QFile::encodeName(dir.path()));
        const QString config = dir.path() + "/.ExifTool_config";
        const QString cache = dir.path() + "/dumps.sqlite";
        const QStringList images{samplesFolder() + "/Garden_party.jpg",
                                 samplesFolder() + "/Old_bridge.jpg"};
        const QString mark = "tagsifter-config-mark";
        // A configuration that adds a Composite tag whose value is the mark.
        const QByteArray addsTheMark =
            "%Image::ExifTool::UserDefined = ('Image::ExifTool::Composite' => { TagsifterMark => "
            "{ Require => 'FileName', ValueConv => '\"tagsifter-config-mark\"' } });\n1;\n";
        const auto rowsIn = [&](Window& w) {
            w.files.clear();
            w.search(images, mark);
            return w.results.count();
        };
        {
            Window w(QString(), nullptr, nullptr, cache);
            QCOMPARE(rowsIn(w), 0);
            writeFile(config, addsTheMark);
            QCOMPARE(rowsIn(w), 2);
            QFile::remove(config);
            QCOMPARE(rowsIn(w), 0);
            writeFile(config, addsTheMark);
            QCOMPARE(rowsIn(w), 2);
        }
        QFile::remove(config);
        Window again(QString(), nullptr, nullptr, cache);
        QCOMPARE(rowsIn(again), 0);
        savedHome.isEmpty() ? qunsetenv("EXIFTOOL_HOME") : qputenv("EXIFTOOL_HOME", savedHome);
    }

    void namesAnArgumentFileCannotCarryAreRead()
    {
        // A line break with "@" or "$", and white space at the end: found by the folder scan
        // and searched, each as itself.
        QTemporaryDir dir;
        QStringList names{"e@mail\n.jpg", "mail@home.jpg ", "price$5.jpg\t", "cr\r$x.jpg"};
        for (const QString& name : names)
            copySample(samplesFolder() + "/Garden_party.jpg", dir.path() + "/" + name);
        Window w;
        FolderScan(w.services.system, w.fake.messages, appendTo(w.files))
            .CollectFolderTree(dir.path(), "*.*");
        QCOMPARE(w.files.count(), 4);
        w.search({}, "garden party in the old orchard");
        QStringList found;
        for (const Row& row : results(w.results))
            found.append(row.path.mid(dir.path().size() + 1));
        std::sort(found.begin(), found.end());
        std::sort(names.begin(), names.end());
        QCOMPARE(found, names);
    }

    void exiftoolRunsInThePrivateTempFolder()
    {
        ScriptedProcesses processes;
        processes.session = [](const QString&) { return ScriptedAnswer{"Make : Kodak\n"}; };
        processes.oneShot = processes.session;
        Window w(QString(), &processes);
        w.search({"/1.jpg", "/a\nb.jpg"}, "kodak");
        QCOMPARE(w.results.count(), 2);
        QCOMPARE(processes.oneShotStarts, 1);
        QVERIFY(!processes.workingDirectories.isEmpty());
        for (const QString& folder : processes.workingDirectories)
            QCOMPARE(folder, w.run.exifTool().tempFolder());
    }

    void theListIsReadWhileTheUserTypes()
    {
        // Images added to the list are read before the click; the search then needs no
        // exiftool, and its rows are the same.
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            return ScriptedAnswer{"Make : Kodak " + path.toUtf8() + "\n"};
        };
        QStringList asked;
        processes.onRequest = [&](const QString& path) { asked.append(path); };
        Window w(QString(), &processes);
        QTemporaryDir dir;
        QStringList images;
        for (int i = 1; i <= 10; ++i) {
            images.append(dir.path() + QStringLiteral("/%1.jpg").arg(i));
            writeFile(images.last());
        }
        for (const QString& image : images)
            w.files.addItem(image);
        QTRY_COMPARE(w.run.reader().exiftoolReads(), 10);
        QCOMPARE(asked, images);
        w.search({}, "kodak");
        QCOMPARE(asked.size(), 10);
        QCOMPARE(w.results.count(), 10);
        QCOMPARE(w.results.text(10), images.last());
    }

    void clearListOrClosingEndsTheReadingInTheBackground_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("Clear List") << false;
        // What the window does as it closes.
        QTest::newRow("closing the window") << true;
    }

    void clearListOrClosingEndsTheReadingInTheBackground()
    {
        QFETCH(bool, close);
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            ScriptedAnswer answer{"Make : Kodak " + path.toUtf8() + "\n"};
            answer.delayMs = 50;
            return answer;
        };
        QStringList asked;
        processes.onRequest = [&](const QString& path) { asked.append(path); };
        Window w(QString(), &processes);
        QTemporaryDir dir;
        for (int i = 1; i <= 60; ++i) {
            w.files.addItem(dir.path() + QStringLiteral("/%1.jpg").arg(i));
            writeFile(w.files.text(i));
        }
        QTRY_VERIFY(!asked.isEmpty());
        close ? w.run.abort() : w.files.clear();
        QCOMPARE(w.run.reader().queuedCount(), 0);
        const int askedThen = asked.size();
        QVERIFY(askedThen < 60);
        // The sessions still reading are ended; nothing more is asked.
        QTRY_VERIFY(processes.sessionsKilled > 0);
        QCoreApplication::processEvents();
        QCOMPARE(asked.size(), askedThen);
    }

    void sessionsThatDieOrHangAreReplaced_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("one at a time") << QStringList{"/photos/ok1.jpg", "/photos/die.jpg",
                                                      "/photos/hang.jpg", "/photos/ok2.jpg"};
        // Asked in batches: a session that dies or hangs in one blames no other image of it.
        QStringList many;
        for (int i = 1; i <= 40; ++i) {
            many.append(i == 13   ? QStringLiteral("/photos/die.jpg")
                        : i == 22 ? QStringLiteral("/photos/hang.jpg")
                                  : QStringLiteral("/photos/ok%1.jpg").arg(i));
        }
        QTest::newRow("in batches") << many;
    }

    void sessionsThatDieOrHangAreReplaced()
    {
        // A session dies on every "die" image and hangs on every "hang" image, while the
        // one-shot way reads them all.
        QFETCH(QStringList, paths);
        ScriptedProcesses processes;
        processes.session = [](const QString& path) {
            return ScriptedAnswer{"Make : Kodak session\n", 0, path.contains("hang"),
                                  path.contains("die")};
        };
        processes.oneShot = [](const QString&) {
            return ScriptedAnswer{"Make : Kodak one-shot\n"};
        };
        Window w(QString(), &processes);
        w.run.reader().setHangTimeout(50);
        w.search(paths, "kodak");
        QList<Row> expected;
        for (const QString& path : paths) {
            const bool bad = path.contains("die") || path.contains("hang");
            expected.append({path, "Make", bad ? "Kodak one-shot" : "Kodak session"});
        }
        QCOMPARE(results(w.results), expected);
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        // Each bad image was tried twice in a session, each failure costing a session.
        QVERIFY(processes.sessionStarts >= 5);
        QCOMPARE(processes.oneShotStarts, 2);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Child mode: a run through the exiftool given, which never answers, ended only from
    // outside; the temp folder is printed first. Ended as the program itself is ended.
    if (argc == 3 && QByteArray(argv[1]) == "-run-until-ended") {
        Window w(QString::fromLocal8Bit(argv[2]));
        onTerminationRequest(&app, [&](int signal) {
            w.run.abort();
            w.run.exifTool().removeTempFolder();
            std::quick_exit(128 + signal);
        });
        printf("%s\n", qPrintable(w.run.exifTool().tempFolder()));
        fflush(stdout);
        w.search({samplesFolder() + "/Garden_party.jpg"}, "kodak");
        return 1;
    }
    TestSearchRun test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_searchrun.moc"
