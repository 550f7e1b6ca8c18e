#include "dumpcache/DumpCache.h"
#include "dumpcache/DumpStore.h"
#include "platform/LocalFileSystem.h"
#include "support/FakeServices.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

FileStamp stampOf(const QString& path)
{
    return LocalFileSystem().stamp(path);
}

QByteArray noise(int bytes)
{
    QByteArray data(bytes, Qt::Uninitialized);
    for (char& c : data)
        c = static_cast<char>('a' + QRandomGenerator::global()->bounded(26));
    return data;
}

/// This test program in one of its child modes.
QProcess* child(const QStringList& arguments)
{
    auto* process = new QProcess;
    process->start(QCoreApplication::applicationFilePath(), arguments);
    return process;
}

mode_t modeOf(const QString& path)
{
    struct stat info
    {
    };
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

QStringList g_warnings;

/// The warnings the program gave while `work` ran.
QStringList warningsOf(const std::function<void()>& work)
{
    g_warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg)
                g_warnings.append(text);
        });
    work();
    qInstallMessageHandler(previous);
    return g_warnings;
}

} // namespace

class TestDumpCache : public QObject
{
    Q_OBJECT
private slots:
    void memoryKeepsTheRecentWithinItsLimit()
    {
        DumpCache cache(3 * (1000 + 96 + 4));
        FileStamp stamp;
        stamp.size = 1;
        for (const char* path : {"/a", "/b", "/c"})
            cache.insert(QString::fromLatin1(path), stamp, QByteArray(1000, 'x'));
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.find("/a", stamp)); // now the most recent
        cache.insert("/d", stamp, QByteArray(1000, 'y'));
        QVERIFY(!cache.find("/b", stamp));
        QVERIFY(cache.find("/a", stamp) && cache.find("/c", stamp) && cache.find("/d", stamp));
        QVERIFY(cache.bytes() <= 3 * 1100);
        FileStamp other = stamp;
        other.size = 2;
        QVERIFY(!cache.find("/a", other));
        cache.setLimit(0);
        QCOMPARE(cache.count(), 0);
        QCOMPARE(cache.bytes(), 0);
    }

    void storeServesOnlyTheSameFileAndExiftool()
    {
        QTemporaryDir dir;
        const QString db = dir.path() + "/cache/dumps.sqlite";
        const QString image = dir.path() + "/a.jpg";
        writeFile(image, "image");
        {
            DumpStore store(db, "12.57 config -1 0 0");
            QVERIFY(store.isUsable());
            store.insert(image, stampOf(image), "Make : Kodak\n");
        }
        // Across starts of the program.
        DumpStore store(db, "12.57 config -1 0 0");
        QCOMPARE(store.find(image, stampOf(image)), std::optional<QByteArray>("Make : Kodak\n"));
        QVERIFY(!DumpStore(db, "12.58 config -1 0 0").find(image, stampOf(image)));
        QVERIFY(!DumpStore(db, "12.57 config 10 5 5").find(image, stampOf(image)));
        // Touched, resized, replaced, renamed: read again.
        const FileStamp before = stampOf(image);
        struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(image).constData(), times, 0), 0);
        QVERIFY(!store.find(image, stampOf(image)));
        store.insert(image, stampOf(image), "touched");
        writeFile(image, "a longer image");
        QVERIFY(!store.find(image, stampOf(image)));
        store.insert(image, stampOf(image), "resized");
        writeFile(dir.path() + "/new.jpg", "a longer image");
        QVERIFY(QFile::rename(image, dir.path() + "/old.jpg"));
        QVERIFY(QFile::rename(dir.path() + "/new.jpg", image));
        QVERIFY(!store.find(image, stampOf(image)));
        QVERIFY(!store.find(dir.path() + "/old.jpg", stampOf(dir.path() + "/old.jpg")));
        QVERIFY(before != stampOf(image));
    }

    void aNewFileFindsWhatThisProgramWroteToIt()
    {
        QTemporaryDir dir;
        const QString db = dir.path() + "/cache/dumps.sqlite";
        const QString image = dir.path() + "/a.jpg";
        writeFile(image, "image");
        DumpStore store(db, "12.57 config -1 0 0");
        // Looked for in an empty file, then written: found from then on, in this program and
        // in the next.
        QVERIFY(!store.find(image, stampOf(image)));
        store.insert(image, stampOf(image), "Make : Kodak\n");
        QVERIFY(!store.find(image, stampOf(image)));
        store.flush();
        QCOMPARE(store.find(image, stampOf(image)), std::optional<QByteArray>("Make : Kodak\n"));
        QCOMPARE(DumpStore(db, "12.57 config -1 0 0").find(image, stampOf(image)),
                 std::optional<QByteArray>("Make : Kodak\n"));
    }

    void storeStaysWithinItsLimit()
    {
        QTemporaryDir dir;
        const QString db = dir.path() + "/dumps.sqlite";
        constexpr qint64 limit = 200 * 1024;
        DumpStore store(db, "tool", limit);
        FileStamp stamp;
        // Batch after batch, and one batch much larger than the limit.
        for (int i = 0; i < 100; ++i) {
            store.insert(QStringLiteral("/%1.jpg").arg(i), stamp, noise(10000));
            if (i % 10 == 9 && i < 50)
                QVERIFY(store.storedBytes() <= limit);
        }
        store.flush();
        QVERIFY(store.storedBytes() <= limit);
        QVERIFY(store.storedCount() >= 10);
        // The limit holds for the file as the file manager shows it, not only for what the
        // dumps count: the pages they took are given back.
        const qint64 onDisk = QFileInfo(db).size() + QFileInfo(db + "-wal").size();
        QVERIFY2(onDisk <= limit, qPrintable(QString::number(onDisk)));
        // The newest stay, the oldest went.
        QVERIFY(store.find("/99.jpg", stamp));
        QVERIFY(!store.find("/0.jpg", stamp));
        // Another program writing the same file keeps it within the limit too, and this one
        // goes on within it.
        {
            DumpStore other(db, "tool", limit);
            for (int i = 0; i < 15; ++i)
                other.insert(QStringLiteral("/other/%1.jpg").arg(i), stamp, noise(10000));
        }
        QVERIFY(store.storedBytes() <= limit);
        for (int i = 100; i < 150; ++i)
            store.insert(QStringLiteral("/%1.jpg").arg(i), stamp, noise(10000));
        store.flush();
        QVERIFY(store.storedBytes() <= limit);
        QVERIFY(store.find("/149.jpg", stamp));
    }

    void anOldFileShrinksToItsLimit()
    {
        // A file made before pages were given back, then trimmed: it shrinks on disk.
        QTemporaryDir dir;
        const QString db = dir.path() + "/dumps.sqlite";
        {
            DumpStore big(db, "tool", 64LL << 20);
            for (int i = 0; i < 500; ++i)
                big.insert(QStringLiteral("/%1.jpg").arg(i), FileStamp(), noise(10000));
        }
        {
            QSqlDatabase sql = QSqlDatabase::addDatabase("QSQLITE", "old");
            sql.setDatabaseName(db);
            QVERIFY(sql.open());
            QSqlQuery query(sql);
            QVERIFY(query.exec("PRAGMA auto_vacuum=NONE") && query.exec("VACUUM"));
            query.finish();
            sql.close();
        }
        QSqlDatabase::removeDatabase("old");
        const qint64 before = QFileInfo(db).size();
        QVERIFY(before > 2 << 20);
        constexpr qint64 limit = 1 << 20;
        DumpStore store(db, "tool", limit);
        store.insert("/new.jpg", FileStamp(), noise(10000));
        store.flush();
        QVERIFY2(QFileInfo(db).size() <= limit, qPrintable(QString::number(QFileInfo(db).size())));
        QVERIFY(store.find("/new.jpg", FileStamp()));
    }

    void theCacheIsTheUsersAlone()
    {
        // Whatever the umask: the folder 0700, the file and its companions 0600, also a file
        // and folder that an older version made readable to others.
        QTemporaryDir dir;
        const QString folder = dir.path() + "/cache/Tagsifter";
        const QString db = folder + "/dumps.sqlite";
        QDir().mkpath(folder);
        writeFile(db, QByteArray());
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
        QFile::setPermissions(db, QFileDevice::Permissions(0x6644));
        const mode_t saved = ::umask(0);
        {
            DumpStore store(db, "tool");
            store.insert("/a.jpg", FileStamp(), "text");
            store.flush();
            QVERIFY(QFile::exists(db + "-wal"));
            QCOMPARE(modeOf(folder), mode_t(0700));
            for (const QString& file : {db, db + "-wal", db + "-shm"})
                QCOMPARE(modeOf(file), mode_t(0600));
        }
        ::umask(saved);
    }

    void theFoldersItMakesAreTheUsersAlone()
    {
        QTemporaryDir dir;
        const mode_t saved = ::umask(0);
        const auto restore = qScopeGuard([saved] { ::umask(saved); });
        {
            DumpStore store(dir.path() + "/made/Brimvale/Tagsifter/dumps.sqlite", "tool");
            QVERIFY(store.isUsable());
        }
        for (const char* folder : {"/made", "/made/Brimvale", "/made/Brimvale/Tagsifter"})
            QCOMPARE(modeOf(dir.path() + folder), mode_t(0700));
    }

    void aCacheOthersCouldChangeIsPassedBy_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("warnedAbout");
        QTest::newRow("a link to another file") << "link"
                                                << "/Brimvale/Tagsifter/dumps.sqlite";
        QTest::newRow("a dangling link") << "dangling"
                                         << "/Brimvale/Tagsifter/dumps.sqlite";
        QTest::newRow("a link as the WAL file") << "wal link"
                                                << "/Brimvale/Tagsifter/dumps.sqlite-wal";
        QTest::newRow("another user's file") << "file of nobody"
                                             << "/Brimvale/Tagsifter/dumps.sqlite";
        QTest::newRow("a folder where the file goes") << "folder"
                                                      << "/Brimvale/Tagsifter/dumps.sqlite";
        QTest::newRow("another user's folder, open to all") << "folder of nobody"
                                                            << "/Brimvale/Tagsifter";
        QTest::newRow("the user's folder, open to all") << "open folder"
                                                        << "/Brimvale/Tagsifter";
        QTest::newRow("the folder above it another user's") << "parent of nobody"
                                                            << "/Brimvale";
        QTest::newRow("the folder above it open to all") << "open parent"
                                                         << "/Brimvale";
    }
    void aCacheOthersCouldChangeIsPassedBy()
    {
        // Nothing outside the cache folder is touched, nothing of another user's is changed,
        // and the search goes on without the file, after one warning.
        QFETCH(QString, plant);
        QFETCH(QString, warnedAbout);
        QTemporaryDir dir;
        const QString folder = dir.path() + "/Brimvale/Tagsifter";
        const QString db = folder + "/dumps.sqlite";
        const QString victim = dir.path() + "/victim";
        QVERIFY(QDir().mkpath(folder));
        writeFile(victim, "the victim's own text");
        QVERIFY(QFile::setPermissions(victim, QFileDevice::Permissions(0x6644)));
        const uid_t nobody = 65534;
        if (plant.contains("nobody") && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        const QString parent = dir.path() + "/Brimvale";
        if (plant == "link")
            QVERIFY(QFile::link(victim, db));
        else if (plant == "dangling")
            QVERIFY(QFile::link(dir.path() + "/target", db));
        else if (plant == "wal link")
            QVERIFY(QFile::link(victim, db + "-wal"));
        else if (plant == "file of nobody")
            writeFile(db, QByteArray());
        else if (plant == "folder")
            QVERIFY(QDir().mkpath(db));
        const QString givenAway = plant == "file of nobody"     ? db
                                  : plant == "folder of nobody" ? folder
                                  : plant == "parent of nobody" ? parent
                                                                : QString();
        if (!givenAway.isEmpty())
            QCOMPARE(::chown(qPrintable(givenAway), nobody, nobody), 0);
        if (plant.contains("folder of") || plant == "open folder")
            QCOMPARE(::chmod(qPrintable(folder), 0777), 0);
        if (plant.contains("parent"))
            QCOMPARE(::chmod(qPrintable(parent), 0777), 0);
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::System);
        const QStringList warnings = warningsOf([&] {
            for (int start = 0; start < 2; ++start) {
                DumpStore store(db, "tool");
                QVERIFY(!store.isUsable());
                store.insert("/a.jpg", FileStamp(), "text");
                QVERIFY(!store.find("/a.jpg", FileStamp()));
            }
        });
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().startsWith("tagsifter: " + dir.path() + warnedAbout + ": "),
                 qPrintable(warnings.first()));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::System), before);
        QVERIFY(!QFileInfo::exists(dir.path() + "/target"));
        QCOMPARE(modeOf(victim), mode_t(0644));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the victim's own text"));
        if (plant == "file of nobody")
            QCOMPARE(modeOf(db), mode_t(0644));
        if (plant.contains("folder of") || plant == "open folder")
            QCOMPARE(modeOf(folder), mode_t(0777));
    }

    void aStickyFolderAboveTheCacheIsSafe()
    {
        // As /tmp: anyone may make entries there, but only their owners may move them.
        QTemporaryDir dir;
        QCOMPARE(::chmod(qPrintable(dir.path()), 01777), 0);
        const QStringList warnings = warningsOf([&] {
            DumpStore store(dir.path() + "/Tagsifter/dumps.sqlite", "tool");
            QVERIFY(store.isUsable());
        });
        QCOMPARE(warnings, QStringList());
    }

    void aDamagedFileIsMovedAsideAnUnusableOneBypassed()
    {
        QTemporaryDir dir;
        const QString db = dir.path() + "/dumps.sqlite";
        writeFile(db, QByteArray(8192, 'z'));
        {
            DumpStore store(db, "tool");
            QVERIFY(store.isUsable());
            store.insert("/a.jpg", FileStamp(), "text");
            QCOMPARE(store.storedCount(), 1);
        }
        QVERIFY(QFile::exists(db + ".damaged"));
        // A folder where the file should be: nothing to open, nothing breaks.
        const QString folder = dir.path() + "/folder.sqlite";
        QDir().mkpath(folder);
        DumpStore bypassed(folder, "tool");
        QVERIFY(!bypassed.isUsable());
        bypassed.insert("/a.jpg", FileStamp(), "text");
        QVERIFY(!bypassed.find("/a.jpg", FileStamp()));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void twoProgramsWriteTheSameFileAtOnce()
    {
        QTemporaryDir dir;
        const QString db = dir.path() + "/dumps.sqlite";
        std::unique_ptr<QProcess> one(child({"-fill", db, "one"}));
        std::unique_ptr<QProcess> two(child({"-fill", db, "two"}));
        QVERIFY(one->waitForFinished(120000) && two->waitForFinished(120000));
        QCOMPARE(one->exitCode(), 0);
        QCOMPARE(two->exitCode(), 0);
        DumpStore store(db, "tool");
        QCOMPARE(store.storedCount(), 2 * 1000);
        QCOMPARE(store.find("/one/999.jpg", FileStamp()), std::optional<QByteArray>("dump 999"));
    }

    void theAccessTimeReadsAsExiftoolWritesIt_data()
    {
        // Whole hours, half an hour (Kolkata), three quarters (Chatham), daylight saving time.
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("UTC") << QByteArray("UTC");
        QTest::newRow("New York") << QByteArray("America/New_York");
        QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata");
        QTest::newRow("Chatham") << QByteArray("Pacific/Chatham");
    }
    void theAccessTimeReadsAsExiftoolWritesIt()
    {
        QFETCH(QByteArray, zone);
        QTemporaryDir dir;
        const QString image = dir.path() + "/a.jpg";
        QVERIFY(QFile::copy(samplesFolder() + "/Garden_party.jpg", image));
        // Summer and winter, so that daylight saving time shows.
        for (const qint64 seconds : {1689940000LL, 1706000000LL}) {
            struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(image).constData(), times, 0), 0);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("TZ", QString::fromLatin1(zone));
            QProcess exiftool;
            exiftool.setProcessEnvironment(environment);
            exiftool.start("exiftool", {"-s3", "-FileAccessDate", image});
            QVERIFY(exiftool.waitForFinished(30000));
            QProcess ours;
            ours.setProcessEnvironment(environment);
            ours.start(QCoreApplication::applicationFilePath(),
                       {"-time", QString::number(seconds * 1000000000LL)});
            QVERIFY(ours.waitForFinished(30000));
            QCOMPARE(ours.readAllStandardOutput(), exiftool.readAllStandardOutput());
            // A dump kept from a run in UTC, served in this zone: all three file times read
            // as exiftool now prints them (this program looks first, as exiftool's own read
            // may move the access time).
            QProcess served;
            served.setProcessEnvironment(environment);
            served.start(QCoreApplication::applicationFilePath(), {"-fresh", image});
            QVERIFY(served.waitForFinished(30000));
            QProcess printed;
            printed.setProcessEnvironment(environment);
            printed.start("exiftool", {"-s3", "-FileModifyDate", "-FileAccessDate",
                                       "-FileInodeChangeDate", image});
            QVERIFY(printed.waitForFinished(30000));
            QCOMPARE(served.readAllStandardOutput(), printed.readAllStandardOutput());
        }
        // The line of a kept dump is brought up to date, nothing else.
        const QByteArray dump = "File Name : a.jpg\nFile Access Date/Time           : 2001:01:01 "
                                "00:00:00+00:00\nMake : Kodak\n";
        const QByteArray fresh = withAccessTime(dump, 1706000000LL * 1000000000LL);
        QCOMPARE(fresh, "File Name : a.jpg\nFile Access Date/Time           : " +
                            exiftoolTime(1706000000LL * 1000000000LL) + "\nMake : Kodak\n");
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    // Child modes: fill a cache file with 1000 dumps; print a time as exiftool does in this
    // process's time zone.
    if (mode == "-fill" && argc == 4) {
        DumpStore store(QString::fromLocal8Bit(argv[2]), "tool");
        for (int i = 0; i < 1000; ++i)
            store.insert(QStringLiteral("/%1/%2.jpg").arg(QString::fromLocal8Bit(argv[3])).arg(i),
                         FileStamp(), "dump " + QByteArray::number(i));
        return store.isUsable() && store.storedCount() >= 1000 ? 0 : 1;
    }
    if (mode == "-fresh" && argc == 3) {
        const QByteArray kept = "File Name : a.jpg\n"
                                "File Modification Date/Time     : 2001:01:01 00:00:00+00:00\n"
                                "File Access Date/Time           : 2001:01:01 00:00:00+00:00\n"
                                "File Inode Change Date/Time     : 2001:01:01 00:00:00+00:00\n";
        const FileStamp stamp = LocalFileSystem().stamp(QString::fromLocal8Bit(argv[2]));
        for (const QByteArray& line : withFileTimes(kept, stamp).split('\n')) {
            if (line.contains("Date/Time"))
                std::printf("%s\n", line.mid(line.indexOf(": ") + 2).constData());
        }
        return 0;
    }
    if (mode == "-time" && argc == 3) {
        std::printf("%s\n", exiftoolTime(QByteArray(argv[2]).toLongLong()).constData());
        return 0;
    }
    TestDumpCache test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dumpcache.moc"
