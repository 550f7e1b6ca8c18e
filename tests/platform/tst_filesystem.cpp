#include "core/Failure.h"
#include "core/FileSystem.h"
#include "support/FakeServices.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

class TestFileSystem : public QObject
{
    Q_OBJECT
private slots:
    void filesEndingSoAreFoundInAnyCase()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        for (const char* name : {"a.XMP", "b.xmp", "c.jpg", "b.xmp.jpg"}) {
            QFile file(d + '/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(d).mkdir("d.xmp"));
        QVERIFY(QFile::link(d + "/b.xmp", d + "/f.xmp"));
        QVERIFY(QFile::link(d + "/d.xmp", d + "/g.xmp"));
        QCOMPARE(QProcess::execute("mkfifo", {d + "/e.Xmp"}), 0);
        LocalFileSystem files;
        QStringList found = files.listFilesEnding(d, ".xmp");
        found.sort();
        // Files, links to files and FIFOs; no folder, nor a link to one.
        QCOMPARE(found, (QStringList{"a.XMP", "b.xmp", "e.Xmp", "f.xmp"}));
        QVERIFY(files.listFilesEnding(d + "/missing", ".xmp").isEmpty());
    }

    void manyStampsAreEachPathsOwn()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        QVERIFY(QDir(d).mkpath("a") && QDir(d).mkpath("b"));
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile file(d + '/' + name);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write("a/x.jpg", "1") && write("b/y.jpg", "22") && write("a/z.jpg", "333"));
        QVERIFY(QFile::link(d + "/b/y.jpg", d + "/a/link.jpg"));
        QCOMPARE(QProcess::execute("mkfifo", {d + "/b/fifo.jpg"}), 0);
        // Folders that come back, a missing file and folder, a folder itself, no path at all.
        const QStringList paths{d + "/a/x.jpg",    d + "/b/y.jpg",    d + "/a/z.jpg",
                                d + "/a/link.jpg", d + "/b/fifo.jpg", d + "/a/gone.jpg",
                                d + "/c/x.jpg",    d + "/a",          d + "/a/",
                                QString(),         d + "/a/x.jpg"};
        LocalFileSystem files;
        const std::vector<FileStamp> stamps = files.stamps(paths);
        QCOMPARE(stamps.size(), size_t(paths.size()));
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const FileStamp one = paths.at(i).isEmpty() ? FileStamp() : files.stamp(paths.at(i));
            const FileStamp& many = stamps[size_t(i)];
            QVERIFY2(many == one && many.kind == one.kind, qPrintable(paths.at(i)));
        }
        QCOMPARE(stamps[0].size, 1);
        QCOMPARE(stamps[3].inode, stamps[1].inode);
        QCOMPARE(stamps[4].kind, FileStamp::Kind::Special);
        QCOMPARE(stamps[5].kind, FileStamp::Kind::Missing);
        QCOMPARE(stamps[6].kind, FileStamp::Kind::Missing);
        QCOMPARE(stamps[7].kind, FileStamp::Kind::Special);
    }

    void initTestCase()
    {
        QCoreApplication::setOrganizationName("Brimvale");
        QCoreApplication::setApplicationName("Tagsifter");
    }

    void wildcard_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("star-dot-star, no dot") << "README"
                                               << "*.*" << true;
        QTest::newRow("lower pattern, upper name") << "DSC0001.JPG"
                                                   << "*.jpg" << true;
        QTest::newRow("upper pattern") << "a.jpg"
                                       << "*.JPG" << true;
        QTest::newRow("jpg is not jpeg") << "a.jpeg"
                                         << "*.jpg" << false;
        QTest::newRow("jpg is not jpgx") << "a.jpgx"
                                         << "*.jpg" << false;
        QTest::newRow("two dots") << "a.jpg"
                                  << "*..jpg" << false;
        QTest::newRow("two dots match") << "a..jpg"
                                        << "*..jpg" << true;
        QTest::newRow("question mark") << "a1.jpg"
                                       << "a?.jpg" << true;
        QTest::newRow("question needs one") << "a.jpg"
                                            << "a?.jpg" << false;
        QTest::newRow("non-Latin") << "Ärger.JPG"
                                   << "ä*.jpg" << true;
        QTest::newRow("star") << "anything"
                              << "*" << true;
    }
    void wildcard()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QCOMPARE(matchesWildcard(name, pattern), matches);
    }

    void attributesKeepTheWindowsBits()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + QStringLiteral("/plain.jpg"));
        writeFile(root + QStringLiteral("/.hidden.jpg"));
        QDir(root).mkdir(QStringLiteral(".hiddenfolder"));
        QFile::link(root + QStringLiteral("/plain.jpg"), root + QStringLiteral("/link.jpg"));
        QFile::link(root + QStringLiteral("/.hiddenfolder"), root + QStringLiteral("/folderlink"));
        LocalFileSystem files;
        QCOMPARE(files.attributes(root + QStringLiteral("/plain.jpg")), 32);
        QCOMPARE(files.attributes(root + QStringLiteral("/.hidden.jpg")), 34);
        QCOMPARE(files.attributes(root + QStringLiteral("/.hiddenfolder")), 18);
        QCOMPARE(files.attributes(root + QStringLiteral("/link.jpg")), 1024 + 32);
        QCOMPARE(files.attributes(root + QStringLiteral("/folderlink")), 1024 + 16);
        QVERIFY_THROWS_EXCEPTION(Failure, files.attributes(root + QStringLiteral("/gone")));
        QVERIFY(files.pathExists(root));
        QVERIFY(!files.fileExists(root));
        QVERIFY(files.fileExists(root + QStringLiteral("/link.jpg")));
        QFile::link(root + QStringLiteral("/nowhere"), root + QStringLiteral("/dangling.jpg"));
        QVERIFY(!files.fileExists(root + QStringLiteral("/dangling.jpg")));
        QVERIFY(files.isRoot(QStringLiteral("/")));
        QVERIFY(!files.isRoot(root));
    }

    void listingIsTheOrderOfNtfs()
    {
        QTemporaryDir dir;
        for (const char* name : {"b.jpg", "A.jpg", "c.JPG", "a2.jpg", ".z.jpg", "~t.jpg"})
            writeFile(dir.path() + QLatin1Char('/') + QLatin1String(name));
        // Upper case, code unit by code unit: "_" and "[" come after the letters.
        QTemporaryDir ntfs;
        for (const char* name :
             {"_DSC0001.JPG", "[x].jpg", "Z.jpg", "DSC_0002.JPG", "a_b.jpg", "ab.jpg"})
            writeFile(ntfs.path() + QLatin1Char('/') + QLatin1String(name));
        QCOMPARE(
            LocalFileSystem().listFiles(ntfs.path(), QStringLiteral("*.jpg")),
            QStringList({"ab.jpg", "a_b.jpg", "DSC_0002.JPG", "Z.jpg", "[x].jpg", "_DSC0001.JPG"}));
        QDir(dir.path()).mkdir(QStringLiteral("B-folder"));
        QDir(dir.path()).mkdir(QStringLiteral("a-folder"));
        LocalFileSystem files;
        QCOMPARE(files.listFiles(dir.path(), QStringLiteral("*.jpg")),
                 QStringList({".z.jpg", "A.jpg", "a2.jpg", "b.jpg", "c.JPG", "~t.jpg"}));
        QCOMPARE(files.listSubfolders(dir.path()), QStringList({"a-folder", "B-folder"}));
        try {
            files.listSubfolders(dir.path() + QStringLiteral("/missing"));
            QFAIL("a missing folder must not list");
        } catch (const Failure& failure) {
            QCOMPARE(failure.code(), ErrorCode::PathNotFound);
        }
    }

    void forcedDeleteRemovesReadOnlyFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/ro.txt");
        writeFile(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        LocalFileSystem files;
        QCOMPARE(files.attributes(path) & Attribute::ReadOnly, Attribute::ReadOnly);
        QVERIFY(files.forceRemoveFile(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!files.removeFile(path));
    }

    void theCacheFileFollowsTheXdgRules_data()
    {
        QTest::addColumn<QByteArray>("xdgCacheHome");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected");
        const QString account = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_dir);
        const QString tail = "/Brimvale/Tagsifter/dumps.sqlite";
        QTest::newRow("XDG_CACHE_HOME")
            << QByteArray("/x/cache") << QByteArray("/home/u") << "/x/cache" + tail;
        QTest::newRow("HOME") << QByteArray() << QByteArray("/home/u") << "/home/u/.cache" + tail;
        QTest::newRow("a relative XDG_CACHE_HOME is ignored")
            << QByteArray("cache") << QByteArray("/home/u") << "/home/u/.cache" + tail;
        QTest::newRow("neither: the account's home")
            << QByteArray() << QByteArray() << account + "/.cache" + tail;
        QTest::newRow("a relative HOME: the account's home")
            << QByteArray() << QByteArray("u") << account + "/.cache" + tail;
    }
    void theCacheFileFollowsTheXdgRules()
    {
        QFETCH(QByteArray, xdgCacheHome);
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        const QByteArray savedXdg = qgetenv("XDG_CACHE_HOME");
        const QByteArray savedHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_CACHE_HOME", savedXdg);
            qputenv("HOME", savedHome);
        });
        const auto set = [](const char* name, const QByteArray& value) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        };
        set("XDG_CACHE_HOME", xdgCacheHome);
        set("HOME", home);
        QCOMPARE(dumpCacheFile(), expected);
        QVERIFY(!dumpCacheFile().startsWith("/.cache"));
    }

    void theSettingsFolderIsTheUsersAlone()
    {
        QTemporaryDir dir;
        const mode_t saved = ::umask(0);
        const auto restore = qScopeGuard([saved] { ::umask(saved); });
        QtSettingsStore(dir.path() + "/config/Brimvale/Tagsifter.ini").write("LastFolder", "/x");
        for (const char* folder : {"/config", "/config/Brimvale"}) {
            struct stat info
            {
            };
            QCOMPARE(::stat(qPrintable(dir.path() + folder), &info), 0);
            QCOMPARE(info.st_mode & 07777, mode_t(0700));
        }
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
