#include "exiftool/ExifSession.h"
#include "exiftool/ExifTool.h"
#include "support/FakeServices.h"
#include "support/FeedChannel.h"
#include "support/ScriptedProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

class TestExifTool : public QObject
{
    Q_OBJECT
private slots:
    void bigSessionOutputIsScannedOnce_data()
    {
        QTest::addColumn<bool>("inABatch");
        QTest::newRow("alone") << false;
        QTest::newRow("in a batch") << true;
    }

    void bigSessionOutputIsScannedOnce()
    {
        // 80 MB in 64 KB pieces: each byte is looked at about once, not once per piece.
        QFETCH(bool, inABatch);
        ScriptedProcesses processes;
        const QByteArray big = "Comment : " + QByteArray(80 << 20, 'x') + "\nMake : Kodak\n";
        processes.session = [&](const QString& path) {
            ScriptedAnswer answer{path == "/big.jpg" ? big : "Make : Kodak\n"};
            answer.pieces = static_cast<int>(answer.output.size() / 65536) + 1;
            return answer;
        };
        ExifSession session(processes.startSession(QString(), {}, QString()));
        QString dump;
        QObject::connect(&session, &ExifSession::finished,
                         [&](const QString& path, const FileStamp&, const QString& text) {
                             if (path == "/big.jpg")
                                 dump = text;
                         });
        if (inABatch)
            session.request({{"/big.jpg", FileStamp()}, {"/small.jpg", FileStamp()}});
        else
            session.request("/big.jpg", FileStamp());
        QTRY_VERIFY_WITH_TIMEOUT(!dump.isEmpty(), 60000);
        QCOMPARE(dump.size(), big.size());
        QVERIFY2(session.scannedBytes() < 2 * big.size(),
                 qPrintable(QString::number(session.scannedBytes())));
    }

    void aModuleThisExiftoolLacksLeavesTheOthersLoaded()
    {
        // A session that loads every module with Composite tags gives an image the same text
        // when the list starts with a module this exiftool does not have.
        FakeServices fake;
        const auto dumpOf = [&](const QStringList& modules) {
            ExifSession session(
                fake.processes.startSession(QStringLiteral("exiftool"),
                                            {QStringLiteral("-stay_open"), QStringLiteral("True"),
                                             QStringLiteral("-@"), QStringLiteral("-")},
                                            QDir::tempPath()));
            session.preload(modules);
            QString dump;
            QObject::connect(
                &session, &ExifSession::finished,
                [&](const QString&, const FileStamp&, const QString& text) { dump = text; });
            session.request(corpusFolder() + QStringLiteral("/PaintTool_sample.jpg"), FileStamp());
            if (!QTest::qWaitFor([&] { return !dump.isEmpty(); }, 30000))
                return QStringList();
            QStringList lines = dump.split('\n');
            lines.removeIf([](const QString& l) { return l.startsWith("File Access Date/Time"); });
            return lines;
        };
        const QStringList all = dumpOf(ExifSession::compositeModules());
        QVERIFY(all.size() > 30);
        QCOMPARE(
            dumpOf(QStringList{QStringLiteral("NoSuchModule")} + ExifSession::compositeModules()),
            all);
        // (The list makes a difference to this image, or the comparison above proves nothing.)
        QVERIFY(dumpOf({}) != all);
    }

    void aBatchGivesEachImageTheTextItGetsAlone()
    {
        // One request for every test image, the other formats and a file that is not there:
        // each image's dump is what a request of its own gives (the time it was read aside).
        FakeServices fake;
        QStringList paths;
        const QDir formats(corpusFolder() + QStringLiteral("/../formats"));
        for (const QDir& folder : {QDir(corpusFolder()), formats}) {
            for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
                if (!name.endsWith(QStringLiteral(".md")))
                    paths.append(folder.filePath(name));
            }
        }
        paths.insert(3, corpusFolder() + QStringLiteral("/not there.jpg"));
        paths.append(corpusFolder() + QStringLiteral("/not there either.jpg"));
        const auto dumpsOf = [&](bool together) {
            ExifSession session(
                fake.processes.startSession(QStringLiteral("exiftool"),
                                            {QStringLiteral("-stay_open"), QStringLiteral("True"),
                                             QStringLiteral("-@"), QStringLiteral("-")},
                                            QDir::tempPath()));
            QStringList dumps;
            QObject::connect(&session, &ExifSession::finished,
                             [&](const QString& path, const FileStamp&, QString text) {
                                 text.remove(QRegularExpression("File Access Date/Time[^\n]*\n"));
                                 dumps.append(QFileInfo(path).fileName() + "\n" + text);
                             });
            std::vector<ExifSession::Request> batch;
            for (const QString& path : paths)
                batch.push_back({path, FileStamp()});
            if (together) {
                session.request(batch);
            } else {
                for (const ExifSession::Request& image : batch)
                    session.request(image.path, image.stamp);
            }
            if (!QTest::qWaitFor([&] { return dumps.size() == paths.size(); }, 60000))
                return QStringList();
            return dumps;
        };
        const QStringList alone = dumpsOf(false);
        QCOMPARE(alone.size(), paths.size());
        QCOMPARE(alone.at(3), QStringLiteral("not there.jpg\n")); // not there: no text
        QVERIFY(alone.at(0).size() > 1000);
        const QStringList together = dumpsOf(true);
        QCOMPARE(together.size(), paths.size());
        for (int i = 0; i < paths.size(); ++i)
            QCOMPARE(together.at(i), alone.at(i));
    }

    void aBatchsTextIsCutIntoItsImages_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("dumps");
        const QByteArray end = "    3 image files read\n{ready1}\n";
        QTest::newRow("each headed") << QByteArray("======== /a.jpg\nMake : A\n======== /b.jpg\n"
                                                   "Make : B\n======== /c.jpg\nMake : C\n" +
                                                   end)
                                     << QStringList{"Make : A\n", "Make : B\n", "Make : C\n"};
        QTest::newRow("one not found") << QByteArray("======== /a.jpg\nMake : A\n"
                                                     "======== /c.jpg\nMake : C\n    2 image files "
                                                     "read\n    1 files could not be read\n"
                                                     "{ready1}\n")
                                       << QStringList{"Make : A\n", "", "Make : C\n"};
        QTest::newRow("the last ones not found")
            << QByteArray("======== /a.jpg\nMake : A\n    1 image files read\n    2 files could "
                          "not be read\n{ready1}\n")
            << QStringList{"Make : A\n", "", ""};
        QTest::newRow("none found")
            << QByteArray("    3 files could not be read\n{ready1}\n") << QStringList{"", "", ""};
        QTest::newRow("a name printed otherwise is known by its place")
            << QByteArray("======== /A.JPG\nMake : A\n======== /b.jpg\nMake : B\n"
                          "======== /c.jpg\nMake : C\n" +
                          end)
            << QStringList{"Make : A\n", "Make : B\n", "Make : C\n"};
        QTest::newRow("a value like a heading is a value")
            << QByteArray("======== /a.jpg\nComment : ======== /b.jpg\n======== /b.jpg\n"
                          "Make : B\n======== /c.jpg\nMake :\n" +
                          end)
            << QStringList{"Comment : ======== /b.jpg\n", "Make : B\n", "Make :\n"};
    }

    void aBatchsTextIsCutIntoItsImages()
    {
        // However exiftool's output is cut into pieces, each image gets its own text, and the
        // images that exiftool did not find get none.
        QFETCH(QByteArray, output);
        QFETCH(QStringList, dumps);
        for (const int pieceSize : {1, 2, 7, 9, 64, 4096}) {
            auto owned = std::make_unique<FeedChannel>();
            FeedChannel& channel = *owned;
            ExifSession session(std::move(owned));
            QStringList paths, texts;
            QObject::connect(&session, &ExifSession::finished,
                             [&](const QString& path, const FileStamp&, const QString& text) {
                                 paths.append(path);
                                 texts.append(text);
                             });
            session.request(
                {{"/a.jpg", FileStamp()}, {"/b.jpg", FileStamp()}, {"/c.jpg", FileStamp()}});
            QCOMPARE(channel.written, QByteArray("/a.jpg\n/b.jpg\n/c.jpg\n-execute1\n"));
            for (qsizetype at = 0; at < output.size(); at += pieceSize)
                channel.feed(output.mid(at, pieceSize));
            QCOMPARE(paths, QStringList({"/a.jpg", "/b.jpg", "/c.jpg"}));
            QCOMPARE(texts, dumps);
            QVERIFY(!session.isBusy());
        }
    }

    void sessionArgumentLines()
    {
        QCOMPARE(ExifTool::argumentLine("/a b/#c.jpg"), QByteArray("/a b/#c.jpg"));
        QCOMPARE(ExifTool::argumentLine("-x.jpg"), QByteArray("./-x.jpg"));
        // A line break cannot stand in an argument file: such a name is an argument of its own.
        QVERIFY(!ExifTool::fitsArgumentFile("/a\nb$c.jpg"));
        QVERIFY(!ExifTool::fitsArgumentFile("/a\rb.jpg"));
        QVERIFY(ExifTool::fitsArgumentFile("/mail@home.jpg "));
        QCOMPARE(ExifTool::oneShotArguments("/a\nb.jpg"),
                 QStringList({"-echo3", "{ready}", "--", "/a\nb.jpg"}));
        QCOMPARE(ExifTool::oneShotArguments("/a b.jpg"),
                 QStringList({"-echo3", "{ready}", "-@", "-"}));
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
        // An argument file keeps white space at the end of a line, "$" and "@" as they are.
        QCOMPARE(ExifTool::argumentLine("/a/price$5.jpg\t"), QByteArray("/a/price$5.jpg\t"));
        QCOMPARE(ExifTool::argumentLine(" lead.jpg"), QByteArray("./ lead.jpg"));
    }

    void theTempFoldersOfProgramsThatDiedGo()
    {
        // A process that has ended, one that runs (this test), and a name of another kind.
        QProcess ended;
        ended.start("sh", {"-c", "echo $$"});
        QVERIFY(ended.waitForFinished());
        const qint64 gone = ended.readAllStandardOutput().trimmed().toLongLong();
        QVERIFY(gone > 0);
        QProcess running;
        running.start("sleep", {"60"});
        QVERIFY(running.waitForStarted());
        QTemporaryDir temp;
        const QString dead = temp.path() + QString("/tagsifter-%1-aBcDeF").arg(gone);
        const QString alive =
            temp.path() + QString("/tagsifter-%1-xYz123").arg(running.processId());
        const QString other = temp.path() + "/tagsifter-abc-def";
        for (const QString& folder : {dead, alive, other})
            writeFile(folder + "/dump.txt");
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        {
            FakeServices fake;
            ExifTool tool(fake.system());
            QVERIFY(!QFile::exists(dead));
            QVERIFY(QFile::exists(alive));
            QVERIFY(QFile::exists(other));
            // Its own is named after it.
            QVERIFY(tool.tempFolder().startsWith(
                temp.path() + QString("/tagsifter-%1-").arg(QCoreApplication::applicationPid())));
        }
        saved.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", saved);
        running.kill();
        running.waitForFinished();
    }

    void tempFiles()
    {
        FakeServices fake;
        ExifTool tool(fake.system());
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
        QFile::setPermissions(tool.dumpFile(), QFileDevice::ReadOwner);
        tool.RemoveFile(tool.dumpFile());
        tool.RemoveFile(tool.dumpFile()); // never fails
        QVERIFY(QDir(temp).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestExifTool)
#include "tst_exiftool.moc"
