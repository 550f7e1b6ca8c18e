#include "dumpcache/DumpStore.h"
#include "exiftool/ExifTool.h"
#include "search/MetadataReader.h"
#include "support/FakeServices.h"
#include "support/ScriptedProcesses.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using namespace tagsifter;
using namespace tagsifter::test;

/// The reader over the cache file: what it keeps there, and under which exiftool.
class TestMetadataReader : public QObject
{
    Q_OBJECT
private slots:
    void aKilledProgramKeepsWhatItRead()
    {
        QTemporaryDir dir;
        const QString db = dir.path() + "/dumps.sqlite";
        QStringList images;
        for (int i = 0; i < 600; ++i) {
            images.append(dir.path() + QStringLiteral("/%1.jpg").arg(i, 3, 10, QChar('0')));
            QVERIFY(QFile::copy(samplesFolder() + "/Garden_party.jpg", images.last()));
        }
        // This test program in its child mode, its temp folder in `dir` (a killed child cannot
        // remove it).
        auto reader = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), dir.path());
        reader->setProcessEnvironment(environment);
        reader->start(QCoreApplication::applicationFilePath(), {"-read", db, dir.path()});
        // Killed as soon as a batch is in the file.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(db) && DumpStore(db, "").storedCount() > 0, 60000);
        // Still reading: a child that has ended has no process to kill (and 0 would be this
        // test's whole process group).
        const qint64 child = reader->processId();
        QVERIFY(child > 0);
        ::kill(static_cast<pid_t>(child), SIGKILL);
        QVERIFY(reader->waitForFinished(10000));
        FakeServices fake;
        SystemServices system = fake.system();
        system.dumpCacheFile = db;
        ExifTool oneShot(system);
        MetadataReader again(system, oneShot);
        const QString program = oneShot.EnsureExifTool();
        QVERIFY(
            again.read(program, images.first(), {}).contains("Garden party in the old orchard"));
        QCOMPARE(again.exiftoolReads(), 0);
    }

    void theExiftoolVersionComesFromItsAnswers()
    {
        // No exiftool is started to ask its version: the first answer tells it. A restart
        // takes the dump from the file; a new exiftool misses and files under its own version.
        QTemporaryDir dir;
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        };
        const QString program = dir.path() + "/exiftool";
        const QString image = dir.path() + "/a.jpg";
        const QString unversioned = dir.path() + "/b.jpg";
        write(program, "one");
        write(image, "jpeg");
        write(unversioned, "jpeg");
        QByteArray version = "12.57";
        ScriptedProcesses processes;
        processes.session = [&](const QString& path) {
            const QByteArray first = path == unversioned
                                         ? QByteArray()
                                         : "ExifTool Version Number         : " + version + "\n";
            return ScriptedAnswer{first + "Make                            : Kodak " + version +
                                  "\n"};
        };
        FakeServices fake;
        SystemServices system = fake.system();
        system.processes = &processes;
        system.dumpCacheFile = dir.path() + "/dumps.sqlite";
        // One program run: the dump it gives and how many images exiftool read for it.
        const auto run = [&](const QString& path) {
            ExifTool oneShot(system);
            MetadataReader reader(system, oneShot);
            const QString dump = reader.read(program, path, {});
            return std::pair(dump.section(" Kodak ", 1).trimmed(), reader.exiftoolReads());
        };
        using Read = std::pair<QString, int>;
        QCOMPARE(run(image), Read("12.57", 1));
        QCOMPARE(run(image), Read("12.57", 0));
        QCOMPARE(processes.oneShotStarts, 0);
        write(program, "two, a newer exiftool");
        version = "12.58";
        QCOMPARE(run(image), Read("12.58", 1));
        QCOMPARE(run(image), Read("12.58", 0));
        // A dump that does not say its version is never filed.
        QCOMPARE(run(unversioned), Read("12.58", 1));
        QCOMPARE(run(unversioned), Read("12.58", 1));
    }

    void aSessionThatDiesInABatchBlamesNoImageOfIt()
    {
        // exiftool writes a batch's text in blocks, so the image a dead session was reading
        // cannot be told from the one before it: the images of that batch are asked alone
        // until answered. Only the image at fault goes the one-shot way, after two deaths of
        // its own.
        QTemporaryDir dir;
        const QString program = dir.path() + "/exiftool";
        QStringList images;
        for (int i = 0; i < 60; ++i)
            images.append(dir.path() + QStringLiteral("/%1.jpg").arg(i));
        const QStringList files = images + QStringList{program};
        for (const QString& path : files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("jpeg") == 4);
        }
        const QString faulty = images.at(21);
        ScriptedProcesses processes;
        processes.session = [&](const QString& path) {
            ScriptedAnswer answer{"Make : Kodak session\n"};
            answer.die = path == faulty;
            return answer;
        };
        processes.oneShot = [](const QString&) {
            return ScriptedAnswer{"Make : Kodak one-shot\n"};
        };
        FakeServices fake;
        SystemServices system = fake.system();
        system.processes = &processes;
        ExifTool oneShot(system);
        MetadataReader reader(system, oneShot, 2);
        for (int i = 0; i < images.size(); ++i) {
            for (int j = i; j < std::min<int>(images.size(), i + reader.readAhead()); ++j)
                reader.prefetch(program, images.at(j));
            const QString dump = reader.read(program, images.at(i), {});
            QCOMPARE(dump.section(" Kodak ", 1).trimmed(), images.at(i) == faulty
                                                               ? QStringLiteral("one-shot")
                                                               : QStringLiteral("session"));
        }
        QCOMPARE(processes.oneShotStarts, 1);
        // Two sessions, and one more for each death: the batch's, and the faulty image's own
        // (twice read ahead, once more when the search reaches it). Its batch-mates cost none.
        QVERIFY2(processes.sessionStarts <= 6,
                 qPrintable(QString::number(processes.sessionStarts)));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Child mode: read every image of a folder into a cache file.
    if (argc == 4 && QByteArray(argv[1]) == "-read") {
        FakeServices fake;
        SystemServices system = fake.system();
        system.dumpCacheFile = QString::fromLocal8Bit(argv[2]);
        ExifTool oneShot(system);
        MetadataReader reader(system, oneShot);
        const QString program = oneShot.EnsureExifTool();
        const QDir folder(QString::fromLocal8Bit(argv[3]));
        for (const QString& name : folder.entryList({"*.jpg"}, QDir::Files, QDir::Name)) {
            reader.prefetch(program, folder.filePath(name));
            reader.read(program, folder.filePath(name), {});
        }
        return 0;
    }
    TestMetadataReader test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_metadatareader.moc"
