#include "app/Form1.h"
#include "platform/ListView.h"
#include "search/ExifTool.h"
#include "search/MetadataReader.h"
#include "search/SearchRun.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

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

QList<Row> results(const ListView& list)
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

QString copySample(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(to));
    return to;
}

/// A window with a search run over `paths`, searching for `text`.
struct Window
{
    explicit Window(const QString& exiftool = QString())
        : form(fake.platform(), QStringLiteral("/nonexistent"), exiftool)
    {
        form.Form_Load();
    }
    void search(const QStringList& paths, const QString& text)
    {
        for (const QString& path : paths)
            form.fileList().addItem(path);
        form.searchBox().setText(text);
        form.searchRun().PushButton1_Click();
    }
    QPushButton* startButton() const
    {
        return qobject_cast<QPushButton*>(form.control(QStringLiteral("PushButton1")));
    }
    FakePlatform fake;
    Form1 form;
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
            results(w.form.resultsList()),
            (QList<Row>{{files[1], "Make", "KODAK"},
                        {files[2], "Make", "Eastman Kodak Company"},
                        {files[2], "Camera Model Name", "KODAK EASYSHARE Z981"},
                        {files[3], "Description", "Scanned from a Kodak Portra 400 negative"}}));
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        QCOMPARE(w.fake.messages.shown[0].title, QStringLiteral("Tagsifter"));
        // Everything is back as it was.
        QCOMPARE(w.startButton()->text(), QStringLiteral("Start Finding"));
        QCOMPARE(w.form.mousePointer(), 0);
        QCOMPARE(w.form.progressBar().value(), 0);
        QCOMPARE(w.form.progressBar().format(), QStringLiteral("Progress Bar"));
        QCOMPARE(w.form.fileList().headerText(1), QStringLiteral("Image(s)"));
        QVERIFY(QDir(w.form.searchRun().exifTool().tempFolder()).isEmpty());
    }

    void corpusCaseAndColons()
    {
        Window w;
        const QString kodak = corpusFolder() + QStringLiteral("/Kodak_CX7530.jpg");
        w.search({kodak}, QStringLiteral("EASTMAN kodak"));
        QCOMPARE(results(w.form.resultsList()),
                 (QList<Row>{{kodak, "Make", "EASTMAN KODAK COMPANY"}}));
        // A new run empties the list first; a date keeps its colons.
        w.form.fileList().clear();
        w.search({kodak}, QStringLiteral("2005:08:13 09:47"));
        QCOMPARE(results(w.form.resultsList()).constFirst(),
                 (Row{kodak, "Date/Time Original", "2005:08:13 09:47:23"}));
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
        QCOMPARE(results(w.form.resultsList()), expected);

        w.form.fileList().clear();
        w.search({base}, QStringLiteral("  spaced"));
        QCOMPARE(results(w.form.resultsList()), (QList<Row>{{base, "Artist", "a  spaced  value"}}));
        w.form.fileList().clear();
        w.search({base}, QStringLiteral(" a "));
        QVERIFY(results(w.form.resultsList()).isEmpty());
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
        QVERIFY(results(w.form.resultsList()).isEmpty());
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
    }

    void refusedRuns()
    {
        Window w;
        w.form.resultsList().addItem(QStringLiteral("/kept"),
                                     {QStringLiteral("t"), QStringLiteral("v")});
        w.search({}, QStringLiteral("x"));
        QCOMPARE(w.fake.messages.texts(), QStringList({"No folders added."}));
        QVERIFY(w.form.searchRun().stopFlag());
        w.search({QStringLiteral("/a.jpg")}, QStringLiteral("   "));
        QCOMPARE(w.fake.messages.texts().constLast(), QStringLiteral("Please enter search text."));
        QCOMPARE(w.form.resultsList().count(), 1);
    }

    void exiftoolMissingIsSaidOnce()
    {
        Window w(QStringLiteral("/nonexistent/exiftool"));
        w.search({samplesFolder() + QStringLiteral("/Garden_party.jpg"),
                  samplesFolder() + QStringLiteral("/Old_bridge.jpg")},
                 QStringLiteral("kodak"));
        QCOMPARE(w.fake.messages.texts(), QStringList({SearchRun::exiftoolMissingMessage()}));
        QCOMPARE(w.startButton()->text(), QStringLiteral("Start Finding"));
        QCOMPARE(w.form.mousePointer(), 0);
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

    void stopEndsAHungImage()
    {
        QTemporaryDir dir;
        const QString marker = dir.path() + QStringLiteral("/finished");
        const QString hung =
            standIn(dir, QStringLiteral("hung"),
                    "echo 'Make : Kodak'\nsleep 30\ntouch '" + marker.toUtf8() + "'\n");
        const QString quick = standIn(dir, QStringLiteral("quick"), "echo 'Make : Kodak'\n");
        Window w(hung);
        w.form.searchRun().setOneShot(true);
        QStringList seenHeaders;
        w.fake.messages.onShow = [&](const QString&) {
            seenHeaders.append(w.form.fileList().headerText(1));
        };
        // First a run that finds a row, so there is something to keep.
        w.form.fileList().addItem(QStringLiteral("/first.jpg"));
        w.form.fileList().addItem(QStringLiteral("/second.jpg"));
        QTimer::singleShot(1500, [&] {
            QCOMPARE(w.startButton()->text(), QStringLiteral("Stop"));
            QCOMPARE(w.form.mousePointer(), 11);
            w.startButton()->click();
            seenHeaders.append(w.form.fileList().headerText(1));
        });
        w.search({}, QStringLiteral("kodak"));
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        QCOMPARE(seenHeaders, QStringList({"File(s)", "Image(s)"}));
        QVERIFY(!QFile::exists(marker));
        QCOMPARE(w.startButton()->text(), QStringLiteral("Start Finding"));
        // The image cut short gives no rows; nothing else was read.
        QCOMPARE(w.form.resultsList().count(), 0);
        Q_UNUSED(quick);
    }

    void stopKeepsTheRowsFound()
    {
        QTemporaryDir dir;
        const QString counter = dir.path() + QStringLiteral("/count");
        // The first image answers at once, later ones hang.
        const QString script =
            standIn(dir, QStringLiteral("tool"),
                    "if [ -e '" + counter.toUtf8() + "' ]; then sleep 30; fi\ntouch '" +
                        counter.toUtf8() + "'\necho 'Make                : Kodak'\n");
        Window w(script);
        w.form.searchRun().setOneShot(true);
        QTimer::singleShot(1500, [&] { w.startButton()->click(); });
        w.search({QStringLiteral("/1.jpg"), QStringLiteral("/2.jpg"), QStringLiteral("/3.jpg")},
                 QStringLiteral("kodak"));
        QCOMPARE(results(w.form.resultsList()), (QList<Row>{{"/1.jpg", "Make", "Kodak"}}));
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
    }

    void slowImageSaysPleaseWait()
    {
        QTemporaryDir dir;
        const QString slow =
            standIn(dir, QStringLiteral("slow"), "sleep 5.6\necho 'Make : Kodak'\n");
        Window w(slow);
        QStringList texts;
        QList<int> values;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            texts.append(w.form.progressBar().format());
            values.append(w.form.progressBar().value());
        });
        sampler.start(50);
        w.search({dir.path() + QStringLiteral("/one image.jpg")}, QStringLiteral("kodak"));
        sampler.stop();
        QVERIFY(texts.contains(QStringLiteral("Processing: one image.jpg")));
        QVERIFY(texts.contains(QStringLiteral("Processing: one image.jpg, Please wait.. 0")));
        QVERIFY(texts.contains(QStringLiteral("Processing: one image.jpg, Please wait.. 3")));
        QVERIFY(values.contains(100));
        QCOMPARE(w.form.resultsList().count(), 1);
    }

    void sessionsGiveTheOneShotLines()
    {
        QStringList files = QDir(corpusFolder()).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        for (QString& f : files)
            f = corpusFolder() + "/" + f;
        for (const QString& f : QDir(samplesFolder()).entryList({"*.jpg"}, QDir::Files))
            files.append(samplesFolder() + "/" + f);
        FakePlatform fake;
        ExifTool oneShot(fake.platform());
        MetadataReader reader(fake.platform(), oneShot, 2);
        const QString program = oneShot.EnsureExifTool();
        for (const QString& file : files)
            reader.prefetch(program, file);
        for (const QString& file : files) {
            const QString session = reader.read(program, file, {});
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
    }

    void repeatedSearchNeedsNoExiftool()
    {
        QTemporaryDir dir;
        const QString a = copySample(samplesFolder() + "/Garden_party.jpg", dir.path() + "/a.jpg");
        const QString b =
            copySample(samplesFolder() + "/Harbour_at_dawn.jpg", dir.path() + "/b.jpg");
        Window w;
        w.search({a, b}, "kodak");
        QCOMPARE(w.form.resultsList().count(), 3);
        const int reads = w.form.searchRun().reader().exiftoolReads();
        QCOMPARE(reads, 2);
        w.search({}, "harbour");
        QCOMPARE(w.form.searchRun().reader().exiftoolReads(), reads);
        QVERIFY(w.form.resultsList().count() > 0);
        // A changed file is read again.
        QProcess exiftool;
        exiftool.start("exiftool", {"-q", "-overwrite_original", "-Make=Leica", a});
        QVERIFY(exiftool.waitForFinished(30000));
        w.search({}, "leica");
        QCOMPARE(w.form.searchRun().reader().exiftoolReads(), reads + 1);
        QCOMPARE(results(w.form.resultsList()), (QList<Row>{{a, "Make", "Leica"}}));
    }

    void sessionsThatDieOrHangAreReplaced()
    {
        // A stand-in that speaks the stay-open protocol; its session dies on every "die" image
        // and hangs on every "hang" image, while the one-shot way reads them all.
        QTemporaryDir dir;
        const QString starts = dir.path() + "/starts";
        const QString tool = standIn(
            dir, "tool",
            "if [ \"$1\" != -stay_open ]; then echo 'Make : Kodak one-shot'; exit 0; fi\n"
            "echo started >> '" + starts.toUtf8() + "'\n"
            "while IFS= read -r line; do\n"
            "  case \"$line\" in\n"
            "    -execute*) n=${line#-execute}\n"
            "      case \"$path\" in *die*) exit 1;; *hang*) sleep 20;; esac\n"
            "      echo 'Make : Kodak session'; echo \"{ready$n}\";;\n"
            "    False) exit 0;;\n"
            "    *) path=$line;;\n"
            "  esac\n"
            "done\n");
        Window w(tool);
        w.form.searchRun().reader().setHangTimeout(300);
        QElapsedTimer clock;
        clock.start();
        w.search({"/photos/ok1.jpg", "/photos/die.jpg", "/photos/hang.jpg", "/photos/ok2.jpg"},
                 "kodak");
        QCOMPARE(results(w.form.resultsList()),
                 (QList<Row>{{"/photos/ok1.jpg", "Make", "Kodak session"},
                             {"/photos/die.jpg", "Make", "Kodak one-shot"},
                             {"/photos/hang.jpg", "Make", "Kodak one-shot"},
                             {"/photos/ok2.jpg", "Make", "Kodak session"}}));
        QCOMPARE(w.fake.messages.texts(), QStringList({"Done."}));
        // Each image was tried twice in a session, each failure costing a session.
        QFile log(starts);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().count('\n') >= 5);
        QVERIFY(clock.elapsed() < 15000);
    }

    void sessionArgumentLines()
    {
        QCOMPARE(ExifSession::argumentLine("/a b/#c.jpg"), QByteArray("/a b/#c.jpg"));
        QCOMPARE(ExifSession::argumentLine("-x.jpg"), QByteArray("./-x.jpg"));
        QCOMPARE(ExifSession::argumentLine("/a\nb\\c.jpg"), QByteArray("#[CSTR]/a\\nb\\\\c.jpg"));
    }

    void waitFormulas()
    {
        QCOMPARE(ExifTool::waitText(QStringLiteral("Processing: a.jpg"), 50),
                 QStringLiteral("Processing: a.jpg, Please wait.. 0"));
        QCOMPARE(ExifTool::waitText(QString(), 57), QStringLiteral("Please wait.. 7"));
        // One image, value 100: the value stays below the limit of 190.
        QCOMPARE(ExifTool::waitValue(50, 100, 1), 100);
        QCOMPARE(ExifTool::waitValue(200, 100, 1), 110);
        QCOMPARE(ExifTool::waitValue(51, 100, 1), -1);
        QCOMPARE(ExifTool::waitValue(49, 100, 1), -1);
        // Four images at 25: step 100/4/10 = 2.5 rounds to 2 (half to even); limit 48.
        QCOMPARE(ExifTool::waitValue(200, 25, 4), 27);
        QCOMPARE(ExifTool::waitValue(50 + 150 * 30, 25, 4), 48);
        QCOMPARE(ExifTool::FileNameOf(QStringLiteral("/a/b c.jpg")), QStringLiteral("b c.jpg"));
        QCOMPARE(ExifTool::FileNameOf(QStringLiteral("plain")), QStringLiteral("plain"));
        QCOMPARE(ExifTool::argumentsFor(QStringLiteral("-x.jpg")), QStringList({"./-x.jpg"}));
        QCOMPARE(ExifTool::argumentsFor(QStringLiteral("/a \"b\" & c.jpg")),
                 QStringList({"/a \"b\" & c.jpg"}));
    }

    void tempFiles()
    {
        FakePlatform fake;
        ExifTool tool(fake.platform());
        const QString temp = tool.tempFolder();
        QVERIFY(temp.startsWith(QDir::tempPath()));
        // Leftovers of an aborted run are removed before the next image.
        writeFile(tool.dumpFile(), "stale : kodak");
        writeFile(tool.scriptFile(), "stale");
        QFile::setPermissions(tool.dumpFile(), QFileDevice::ReadOwner);
        const QString dump =
            tool.DumpMetadata(samplesFolder() + QStringLiteral("/Garden_party.jpg"), {});
        QVERIFY(dump.contains(QStringLiteral("Garden party in the old orchard")));
        QVERIFY(!dump.contains(QStringLiteral("stale")));
        QVERIFY(!QFile::exists(tool.scriptFile()));
        tool.removeTempFiles();
        QVERIFY(QDir(temp).isEmpty());

        writeFile(tool.dumpFile(), QByteArray());
        QCOMPARE(tool.ReadWholeFile(tool.dumpFile()), QStringLiteral("empty file"));
        QCOMPARE(tool.ReadWholeFile(temp + QStringLiteral("/none")), QString());
        tool.WriteTextToFile(QString::fromUtf8("ü line"), tool.dumpFile());
        tool.WriteTextToFile(QStringLiteral("short"), tool.dumpFile());
        QCOMPARE(tool.ReadWholeFile(tool.dumpFile()), QStringLiteral("short"));
        tool.WriteBytesToFile("AB", tool.dumpFile());
        QCOMPARE(tool.ReadWholeFile(tool.dumpFile()), QStringLiteral("ABort"));
        tool.RemoveFile(tool.dumpFile());
        tool.RemoveFile(tool.dumpFile()); // never fails
        QVERIFY(QDir(temp).isEmpty());
    }
};

QTEST_MAIN(TestSearchRun)
#include "tst_searchrun.moc"
