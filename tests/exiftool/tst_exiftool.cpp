#include "exiftool/ExifSession.h"
#include "exiftool/ExifTool.h"
#include "support/FakeServices.h"
#include "support/ScriptedProcesses.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

class TestExifTool : public QObject
{
    Q_OBJECT
private slots:
    void bigSessionOutputIsScannedOnce()
    {
        // 80 MB in 64 KB pieces: each byte is looked at about once, not once per piece.
        ScriptedProcesses processes;
        const QByteArray big = "Comment : " + QByteArray(80 << 20, 'x') + "\nMake : Kodak\n";
        processes.session = [&](const QString&) {
            ScriptedAnswer answer{big};
            answer.pieces = static_cast<int>(big.size() / 65536) + 1;
            return answer;
        };
        ExifSession session(processes.startSession(QString(), {}, QString()));
        QString dump;
        QObject::connect(
            &session, &ExifSession::finished,
            [&](const QString&, const FileStamp&, const QString& text) { dump = text; });
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
