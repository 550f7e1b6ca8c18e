#include "core/Failure.h"
#include "core/FolderScan.h"
#include "support/FakeServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

/// The files a scan hands on, in order, read as the file list reads its rows (from 1).
struct Collected
{
    QStringList paths;
    FolderScan::FileSink sink()
    {
        return [this](const QString& path) { paths.append(path); };
    }
    int count() const { return static_cast<int>(paths.size()); }
    QString text(int row) const { return paths.at(row - 1); }
};

/// The real file system, except that chosen folders refuse to be listed.
class DenyingFileSystem : public LocalFileSystem
{
public:
    QStringList listSubfolders(const QString& folder) const override
    {
        for (const QString& denied : deniedFolders) {
            if (QDir::cleanPath(folder) == QDir::cleanPath(denied))
                throw Failure(QStringLiteral("Permission denied"), ErrorCode::PermissionDenied);
        }
        return LocalFileSystem::listSubfolders(folder);
    }
    QStringList deniedFolders;
};

/// The real file system, except that asking whether a chosen folder is a root fails, as a
/// drive that stops answering would.
class FailingFileSystem : public LocalFileSystem
{
public:
    bool isRoot(const QString& path) const override
    {
        for (const QString& failing : failingFolders) {
            if (QDir::cleanPath(path) == QDir::cleanPath(failing))
                throw Failure(QStringLiteral("Device unavailable"), 68);
        }
        return LocalFileSystem::isRoot(path);
    }
    QStringList failingFolders;
};

/// The real file system, except that listing the files of a chosen folder fails, as a folder
/// that has just vanished would.
class VanishingFileSystem : public LocalFileSystem
{
public:
    QStringList listFiles(const QString& folder, const QString& pattern) const override
    {
        if (QDir::cleanPath(folder) == QDir::cleanPath(vanished))
            throw Failure(QStringLiteral("Path not found: %1").arg(folder),
                          ErrorCode::PathNotFound);
        return LocalFileSystem::listFiles(folder, pattern);
    }
    QString vanished;
};

QStringList rows(const Collected& list, const QString& prefix)
{
    QStringList all;
    for (int i = 1; i <= list.count(); ++i)
        all.append(list.text(i).mid(prefix.size() + 1));
    return all;
}

} // namespace

class TestFolderScan : public QObject
{
    Q_OBJECT
private slots:
    void levelByLevelWithTheSkipRules()
    {
        QTemporaryDir dir;
        const QString t = dir.path();
        for (const char* f :
             {"top.jpg", "A/a1.jpg", "A/Deep/d.jpg", "A/Deep/Deeper/e.jpg", "b/b1.JPG", "b/b2.jpeg",
              "b/~temp.jpg", "b/.hidden.jpg", ".hiddenfolder/h.jpg", "c/notes.txt"})
            writeFile(t + QLatin1Char('/') + QLatin1String(f));
        FakeServices fake;
        Collected list;
        FolderScan scan(fake.system(), fake.messages, list.sink());
        scan.CollectFolderTree(t, QStringLiteral("*.jpg"));
        // Hidden folders are scanned; a hidden + archive file (34) and "~" names are not added.
        QCOMPARE(rows(list, t), QStringList({"top.jpg", ".hiddenfolder/h.jpg", "A/a1.jpg",
                                             "b/b1.JPG", "A/Deep/d.jpg", "A/Deep/Deeper/e.jpg"}));
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void extensionAnswers_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("*") << "*.*" << QStringList({"a.jpg", "b.JPG", "c.jpeg", "d.txt", "noext"});
        QTest::newRow("JPG") << "*.JPG" << QStringList({"a.jpg", "b.JPG"});
        QTest::newRow("jpg") << "*.jpg" << QStringList({"a.jpg", "b.JPG"});
        QTest::newRow(".jpg") << "*..jpg" << QStringList();
        QTest::newRow("jpeg") << "*.jpeg" << QStringList({"c.jpeg"});
    }
    void extensionAnswers()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, found);
        QTemporaryDir dir;
        for (const char* f : {"a.jpg", "b.JPG", "c.jpeg", "d.txt", "noext"})
            writeFile(dir.path() + QLatin1Char('/') + QLatin1String(f));
        FakeServices fake;
        Collected list;
        FolderScan(fake.system(), fake.messages, list.sink())
            .CollectFolderTree(dir.path(), pattern);
        QCOMPARE(rows(list, dir.path()), found);
    }

    void oddNamesPassUnchanged()
    {
        QTemporaryDir dir;
        const QStringList names{
            QStringLiteral("with space.jpg"),     QStringLiteral("quote\"s'.jpg"),
            QStringLiteral("100%.jpg"),           QStringLiteral("a&b.jpg"),
            QStringLiteral("-leading.jpg"),       QString::fromUtf8("Ωmega.jpg"),
            QString::fromUtf8("写真.jpg"),        QStringLiteral("why?/x.jpg"),
            QString::fromUtf8("Фото/в папке.jpg")};
        for (const QString& name : names)
            writeFile(dir.path() + QLatin1Char('/') + name);
        FakeServices fake;
        Collected list;
        FolderScan(fake.system(), fake.messages, list.sink())
            .CollectFolderTree(dir.path(), QStringLiteral("*.jpg"));
        // The files at the top in listing order, then the folders' files: "?" is a legal
        // character, so that folder is scanned too.
        QStringList expected = names.mid(0, names.size() - 2);
        sortListing(expected);
        expected << QStringLiteral("why?/x.jpg") << QString::fromUtf8("Фото/в папке.jpg");
        QCOMPARE(rows(list, dir.path()), expected);
    }

    void linkLoopEndsAndLinksAreNotFollowed()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/a/x.jpg"));
        QFile::link(dir.path(), dir.path() + QStringLiteral("/a/loop"));
        QFile::link(dir.path() + QStringLiteral("/a/x.jpg"),
                    dir.path() + QStringLiteral("/a/y.jpg"));
        FakeServices fake;
        Collected list;
        FolderScan(fake.system(), fake.messages, list.sink())
            .CollectFolderTree(dir.path(), QStringLiteral("*.*"));
        // A link to a file is a file; a link to a folder is never entered.
        QCOMPARE(rows(list, dir.path()), QStringList({"a/x.jpg", "a/y.jpg"}));
    }

    void deniedFolderIsDroppedWithItsFiles()
    {
        QTemporaryDir dir;
        for (const char* f : {"a/a.jpg", "a/sub/s.jpg", "b/b.jpg", "c/c.jpg"})
            writeFile(dir.path() + QLatin1Char('/') + QLatin1String(f));
        FakeServices fake;
        DenyingFileSystem files;
        files.deniedFolders = {dir.path() + QStringLiteral("/b")};
        SystemServices system = fake.system();
        system.files = &files;
        Collected list;
        FolderScan(system, fake.messages, list.sink())
            .CollectFolderTree(dir.path(), QStringLiteral("*.jpg"));
        QCOMPARE(rows(list, dir.path()), QStringList({"a/a.jpg", "c/c.jpg", "a/sub/s.jpg"}));
        QVERIFY(fake.messages.shown.isEmpty());
        // A search is told of each folder it could not walk, the top one included, and walks
        // the rest.
        files.deniedFolders.append(dir.path() + QStringLiteral("/a/sub"));
        for (const QString& top : {dir.path(), dir.path() + QStringLiteral("/b")}) {
            Collected searched;
            QList<int> codes;
            FolderScan scan(
                system, [&codes](int, const QString&, int code) { codes.append(code); },
                searched.sink());
            scan.CollectFolderTree(top, QStringLiteral("*.jpg"));
            const bool whole = top == dir.path();
            QCOMPARE(rows(searched, top),
                     whole ? QStringList({"a/a.jpg", "c/c.jpg"}) : QStringList());
            QCOMPARE(codes, QList<int>(whole ? 2 : 1, ErrorCode::PermissionDenied));
        }
        QVERIFY(fake.messages.shown.isEmpty());
    }

    void aFailingFolderIsShownInTheWindowAndOnlyToldToASearch()
    {
        QTemporaryDir dir;
        for (const char* f : {"a/a.jpg", "bad/b.jpg", "c/c.jpg"})
            writeFile(dir.path() + QLatin1Char('/') + QLatin1String(f));
        FakeServices fake;
        FailingFileSystem files;
        files.failingFolders = {dir.path() + QStringLiteral("/bad")};
        SystemServices system = fake.system();
        system.files = &files;

        // A search's scan shows nothing: it is told each failure and walks the rest.
        Collected searched;
        QStringList told;
        QList<int> codes;
        FolderScan(
            system,
            [&](int line, const QString& description, int code) {
                told.append(ErrorReport::text(description, FolderScan::scanLocation(), line));
                codes.append(code);
            },
            searched.sink())
            .CollectFolderTree(dir.path(), QStringLiteral("*.jpg"));
        QVERIFY(fake.messages.shown.isEmpty());
        QVERIFY(!told.isEmpty());
        QCOMPARE(codes, QList<int>(told.size(), 68));
        QVERIFY(told.constFirst().startsWith(QStringLiteral("Device unavailable\r\n")));
        const QStringList walked = rows(searched, dir.path());
        QVERIFY(walked.contains(QStringLiteral("a/a.jpg")));
        QVERIFY(walked.contains(QStringLiteral("c/c.jpg")));

        // The window's scan shows the same failures as the standard error report, each in
        // its box, and lists the same files.
        Collected listed;
        FolderScan(system, fake.messages, listed.sink())
            .CollectFolderTree(dir.path(), QStringLiteral("*.jpg"));
        QCOMPARE(fake.messages.texts(), told);
        for (const FakeMessages::Shown& shown : std::as_const(fake.messages.shown)) {
            QCOMPARE(shown.flags, MessageFlags::Exclamation);
            QCOMPARE(shown.title, QStringLiteral("Application Error"));
        }
        QCOMPARE(rows(listed, dir.path()), walked);
    }

    void aLargeTreeIsListedInItsOrderWhateverListsIt()
    {
        // More folders than one run of listings, so several threads and runs list them.
        QTemporaryDir dir;
        writeFile(dir.path() + "/top.jpg");
        QStringList expected{"top.jpg"};
        for (int i = 0; i < 300; ++i) {
            const QString folder = QStringLiteral("f%1").arg(i, 3, 10, QLatin1Char('0'));
            writeFile(dir.path() + '/' + folder + "/x.jpg");
            writeFile(dir.path() + '/' + folder + "/y.txt");
            expected.append(i == 150 ? QStringLiteral("told: Path not found") : folder + "/x.jpg");
        }
        FakeServices fake;
        VanishingFileSystem files;
        files.vanished = dir.path() + "/f150";
        SystemServices system = fake.system();
        system.files = &files;

        // A search is told of the folder in its place among the files and walks the rest.
        QStringList seen;
        FolderScan(
            system,
            [&](int, const QString& description, int code) {
                QCOMPARE(code, int(ErrorCode::PathNotFound));
                seen.append("told: " + description.section(':', 0, 0));
            },
            [&](const QString& path) { seen.append(path.mid(dir.path().size() + 1)); })
            .CollectFolderTree(dir.path(), QStringLiteral("*.jpg"));
        QCOMPARE(seen, expected);

        // The window's scan ends at that folder with its failure, the files before it listed.
        Collected listed;
        bool thrown = false;
        try {
            FolderScan(system, fake.messages, listed.sink())
                .CollectFolderTree(dir.path(), QStringLiteral("*.jpg"));
        } catch (const Failure& failure) {
            thrown = failure.code() == ErrorCode::PathNotFound;
        }
        QVERIFY(thrown);
        QCOMPARE(rows(listed, dir.path()), expected.mid(0, 151));
    }

    void unreadableFolderForARealUser()
    {
        // Root reads every folder, so the permission check runs as an unprivileged user.
        if (::geteuid() != 0)
            QSKIP("runs as root only, to drop to another user");
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv is not available");
        QTemporaryDir dir(QStringLiteral("/tmp/tagsifter-perm-XXXXXX"));
        for (const char* f : {"open/o.jpg", "locked/l.jpg", "z.jpg"})
            writeFile(dir.path() + QLatin1Char('/') + QLatin1String(f));
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther |
                                              QFileDevice::ReadOther);
        for (const char* f : {"open", "open/o.jpg", "z.jpg"})
            QFile::setPermissions(
                dir.path() + QLatin1Char('/') + QLatin1String(f),
                QFile::permissions(dir.path() + QLatin1Char('/') + QLatin1String(f)) |
                    QFileDevice::ReadOther | QFileDevice::ExeOther);
        QFile::setPermissions(dir.path() + QStringLiteral("/locked"), QFileDevice::ReadOwner |
                                                                          QFileDevice::WriteOwner |
                                                                          QFileDevice::ExeOwner);
        QProcess child;
        child.setProgram(QStringLiteral("setpriv"));
        child.setArguments({QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"),
                            QCoreApplication::applicationFilePath(), QStringLiteral("-scan"),
                            dir.path()});
        child.start();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 QStringLiteral("z.jpg\nopen/o.jpg\n"));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Child mode: scan a folder as whoever runs this and print the rows.
    if (argc == 3 && QByteArray(argv[1]) == "-scan") {
        FakeServices fake;
        Collected list;
        const QString top = QString::fromLocal8Bit(argv[2]);
        FolderScan(fake.system(), fake.messages, list.sink())
            .CollectFolderTree(top, QStringLiteral("*.jpg"));
        for (int i = 1; i <= list.count(); ++i)
            printf("%s\n", qPrintable(list.text(i).mid(top.size() + 1)));
        return fake.messages.shown.isEmpty() ? 0 : 1;
    }
    TestFolderScan test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_folderscan.moc"
