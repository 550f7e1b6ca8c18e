#include "app/SearchRun.h"
#include "cli/CommandLine.h"
#include "cli/FindCommand.h"
#include "cli/TableSpool.h"
#include "core/ClipboardTable.h"
#include "core/FolderScan.h"
#include "platform/FileNames.h"
#include "platform/ListModel.h"
#include "support/FakeServices.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

struct Run
{
    QByteArray out, err;
    int status = -1;
};

/// The environment of a terminal: no display of any kind.
QProcessEnvironment terminal()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

/// The real program, as a terminal would start it.
Run runTagsifter(const QStringList& arguments, const QString& path = QString(),
                 QProcessEnvironment environment = terminal())
{
    QProcess program;
    if (!path.isNull())
        environment.insert("PATH", path);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TAGSIFTER_BINARY_DIR "/src/tagsifter"), arguments);
    if (!program.waitForFinished(120000))
        qFatal("tagsifter did not end");
    return {program.readAllStandardOutput(), program.readAllStandardError(),
            program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1};
}

/// The program started in `folder`, as a terminal in that folder would start it.
Run runTagsifterIn(const QString& folder, const QStringList& arguments,
                   QProcessEnvironment environment = terminal())
{
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(TAGSIFTER_BINARY_DIR "/src/tagsifter"), arguments);
    if (!program.waitForFinished(120000))
        qFatal("tagsifter did not end");
    return {program.readAllStandardOutput(), program.readAllStandardError(),
            program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1};
}

QString unescaped(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return decodeFileName(out);
}

/// The hits of the program's output, each as path, tag and value.
QList<QStringList> hits(const QByteArray& out)
{
    QList<QStringList> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList row;
        for (const QByteArray& field : line.split('\t'))
            row.append(unescaped(field));
        rows.append(row);
    }
    return rows;
}

/// What the window lists for the same folder and text: the folder scanned as "Add All" scans
/// it, searched by the window's own search run.
QList<QStringList> windowRows(const QStringList& paths, const QString& text, bool query = false)
{
    FakeServices fake;
    ListModel files, results;
    files.addColumn("Image(s)");
    for (const char* header : {"Image", "Metadata Tag", "Value"})
        results.addColumn(QString::fromLatin1(header));
    FolderScan scan(fake.system(), fake.messages, appendTo(files));
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir())
            scan.CollectFolderTree(path, "*.jpg");
        else
            files.addItem(path);
    }
    FakeSearchView view;
    FakePointer pointer;
    SearchRun run(fake.window(),
                  {&files, &results, &view, [&] { return text; }, &pointer, [&] { return query; }});
    run.PushButton1_Click();
    QList<QStringList> rows;
    for (int i = 1; i <= results.count(); ++i)
        rows.append({results.text(i), results.subItem(i, 1), results.subItem(i, 2)});
    return rows;
}

QString copy(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    if (!QFile::copy(from, to))
        qFatal("cannot copy %s", qPrintable(to));
    return to;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void hitsAreTheWindowsRows()
    {
        // A folder walked as "Add All" walks it, and a file as given.
        QTemporaryDir dir;
        copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/b/Garden.jpg");
        copy(samplesFolder() + "/Harbour_at_dawn.jpg", dir.path() + "/a.jpg");
        copy(samplesFolder() + "/Old_bridge.jpg", dir.path() + "/.hidden/x.JPG");
        const QStringList paths{dir.path(), corpusFolder() + "/Kodak_CX7530.jpg"};
        const Run run = runTagsifter(QStringList{"find", "kodak"} + paths);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        const QList<QStringList> expected = windowRows(paths, "kodak");
        QVERIFY(expected.size() >= 4);
        QCOMPARE(hits(run.out), expected);
    }

    void queriesGiveTheWindowsRows_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("images");
        QTest::newRow("camera") << "camera:nikon -model:d70" << 1;
        QTest::newRow("taken") << "taken:2008-05..2008-06" << 2;
        QTest::newRow("numbers") << "iso>=200 OR ExposureTime<1/500" << 3;
        QTest::newRow("negation") << "missing:gps -canon" << 16;
        QTest::newRow("regex") << "lens:/\\d+-\\d+/" << 2;
    }

    void queriesGiveTheWindowsRows()
    {
        // The same query gives the same rows through both doors, in the same order.
        QFETCH(QString, query);
        QFETCH(int, images);
        const Run run = runTagsifter({"find", "-Q", query, corpusFolder()});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.status, 0);
        const QList<QStringList> rows = hits(run.out);
        QCOMPARE(rows, windowRows({corpusFolder()}, query, true));
        QSet<QString> found;
        for (const QStringList& row : rows)
            found.insert(row.first());
        QCOMPARE(found.size(), images);
    }

    void anUnreadableQueryIsRefusedBeforeAnySearch()
    {
        const Run run = runTagsifter({"find", "-Q", "model:\"eos 40d", "/nonexistent"});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err,
                 QByteArray("tagsifter: the query cannot be read at column 7: the quote is not "
                            "closed\n"));
        const Run explained =
            runTagsifter({"find", "--explain", "--query=camera:nikon -model:d70 12:30"});
        QCOMPARE(explained.status, 0);
        QCOMPARE(explained.out,
                 QByteArray("(camera:\"nikon\" AND (NOT model:\"d70\") AND \"12:30\")\n"));
        // A plain text is never read as a query.
        const Run plain = runTagsifter({"find", "-c", "--", "-model:d70", corpusFolder()});
        QCOMPARE(plain.out, QByteArray("21 images searched, 0 with hits, 0 hits\n"));
    }

    void everyFormatGivesExiftoolsRows()
    {
        // Each format is searched as a JPEG is: its rows are the lines of exiftool's own
        // output whose value holds the text (the file's changing times aside).
        QTemporaryDir dir;
        const QDir formats(QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/formats"));
        QStringList files;
        for (const QString& name : formats.entryList(QDir::Files)) {
            if (!name.endsWith(".md"))
                files.append(copy(formats.filePath(name), dir.path() + '/' + name));
        }
        QCOMPARE(files.size(), 11);
        const Run run = runTagsifter(
            {"find", "--extension", "cr2 dng tif jxl nef png heic mov webp xmp", "a", dir.path()});
        QCOMPARE(run.err, QByteArray());
        QMap<QString, QList<QStringList>> found;
        for (const QStringList& row : hits(run.out)) {
            if (!(row.at(1).startsWith("File ") && row.at(1).endsWith("Date/Time")))
                found[row.at(0)].append(row);
        }
        QCOMPARE(found.size(), files.size());
        for (const QString& file : files) {
            QProcess exiftool;
            exiftool.start("exiftool", {file});
            QVERIFY(exiftool.waitForFinished(60000));
            QList<QStringList> expected;
            for (const QByteArray& line : exiftool.readAllStandardOutput().split('\n')) {
                const qsizetype colon = line.indexOf(':');
                const QString tag = QString::fromUtf8(line.left(colon)).trimmed();
                const QString value = QString::fromUtf8(line.mid(colon + 1)).trimmed();
                if (colon < 0 || tag == "ExifTool Version Number" || tag == "Directory" ||
                    (tag.startsWith("File ") && tag.endsWith("Date/Time")))
                    continue;
                if (value.contains('a', Qt::CaseInsensitive))
                    expected.append({file, tag, value});
            }
            QVERIFY2(!expected.isEmpty(), qPrintable(file));
            QCOMPARE(found.value(file), expected);
        }
    }

    void sidecarsAreSearchedWithTheirImage()
    {
        // NAME.EXT.xmp in any letter case, NAME.xmp by the whole name before the last dot; a
        // sidecar without its image is a file as any other, and one that holds nothing is said.
        QTemporaryDir dir;
        const QString d = dir.path();
        const QString formats = QStringLiteral(TAGSIFTER_SOURCE_DIR "/tests/data/formats/");
        copy(corpusFolder() + "/Canon_40D.jpg", d + "/IMG.jpg");
        copy(formats + "XMP4.xmp", d + "/IMG.JPG.XMP");
        copy(formats + "CanonRaw.cr2", d + "/a.b.CR2");
        copy(formats + "XMP4.xmp", d + "/a.b.xmp");
        copy(formats + "XMP4.xmp", d + "/alone.xmp");
        copy(corpusFolder() + "/Kodak_CX7530.jpg", d + "/n.jpg");
        QFile empty(d + "/n.xmp");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const QStringList find{"find", "--extension", "jpg cr2 xmp", "one, two", d};
        const Run run = runTagsifter(find);
        QCOMPARE(run.out, (d + "/IMG.jpg\tLocation Created City\tone, two, three\n" + d +
                           "/IMG.jpg\tSubject\tone, two\n" + d +
                           "/a.b.CR2\tLocation Created City\tone, two, three\n" + d +
                           "/a.b.CR2\tSubject\tone, two\n" + d +
                           "/alone.xmp\tLocation Created City\tone, two, three\n" + d +
                           "/alone.xmp\tSubject\tone, two\n")
                              .toUtf8());
        QCOMPARE(run.err, ("tagsifter: " + d + "/n.xmp: cannot be read: File is empty\n").toUtf8());
        QCOMPARE(run.status, 2);
        // JSON names the sidecar a row came from.
        const Run json = runTagsifter({"find", "--json", "one, two", d + "/IMG.jpg"});
        const QString parts =
            "{\"path\":\"" + d + "/IMG.jpg\",\"sidecar\":\"" + d + "/IMG.JPG.XMP\",";
        QCOMPARE(json.out,
                 (parts + "\"tag\":\"Location Created City\",\"value\":\"one, two, three\"}\n" +
                  parts + "\"tag\":\"Subject\",\"value\":\"one, two\"}\n")
                     .toUtf8());
        // A query matches an image and its sidecar as one.
        const Run query = runTagsifter({"find", "-Q", "subject:two model:canon", d});
        QCOMPARE(query.out, (d + "/IMG.jpg\tCamera Model Name\tCanon EOS 40D\n" + d +
                             "/IMG.jpg\tSubject\tone, two\n")
                                .toUtf8());
        // Left out, the sidecars are files of their own.
        const Run without = runTagsifter({"find", "--no-sidecars", "-l", "one, two", d});
        QCOMPARE(without.out, QByteArray());
        QCOMPARE(without.status, 1);
    }

    void aSidecarThatIsNoFileIsSaidNotWaitedFor()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        copy(corpusFolder() + "/Nikon_D70.jpg", d + "/f.jpg");
        QCOMPARE(QProcess::execute("mkfifo", {d + "/f.jpg.xmp"}), 0);
        const Run run = runTagsifter({"find", "-c", "nikon", d});
        QCOMPARE(run.out, QByteArray("1 images searched, 1 with hits, 2 hits\n"));
        QCOMPARE(run.err,
                 ("tagsifter: " + d + "/f.jpg.xmp: cannot be read: Not a regular file\n").toUtf8());
        QCOMPARE(run.status, 2);
    }

    void fieldsAreEscapedAndPathsAreBytes()
    {
        QTemporaryDir dir;
        const QString tab =
            copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/tab\there.jpg");
        const QString slash =
            copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/back\\slash.jpg");
        const QByteArray latin = QFile::encodeName(dir.path()) + "/caf\xe9.jpg";
        QCOMPARE(::link(QFile::encodeName(tab).constData(), latin.constData()), 0);
        // QTemporaryDir cannot remove a name that is not UTF-8: its bytes go first.
        const auto removeLatin = qScopeGuard([&latin] { ::unlink(latin.constData()); });
        const Run run = runTagsifter({"find", "KODAK", tab, slash});
        QCOMPARE(run.status, 0);
        const QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.at(0), QFile::encodeName(dir.path()) + "/tab\\there.jpg\tMake\tKODAK");
        QVERIFY(lines.at(0).contains("/tab\\there.jpg\t"));
        QVERIFY(lines.at(1).contains("/back\\\\slash.jpg\t"));
        // A name that is not UTF-8, named as its bytes (through a shell, as QProcess would
        // recode it), and a folder that holds it: out as the same bytes.
        for (const char* named : {"\"$1\"/caf$(printf '\\351').jpg", "\"$1\""}) {
            QProcess shell;
            shell.start("sh",
                        {"-c", QStringLiteral("\"$0\" find KODAK %1").arg(QLatin1String(named)),
                         TAGSIFTER_BINARY_DIR "/src/tagsifter", dir.path()});
            QVERIFY(shell.waitForFinished(120000));
            QVERIFY(shell.readAllStandardOutput().split('\n').contains(latin + "\tMake\tKODAK"));
        }
    }

    void namesWithLineBreaksAndStrayBytesAreRead()
    {
        // Each name as the printf format that makes it (through a shell, as QProcess would
        // recode the bytes), and its bytes.
        const QList<std::pair<QByteArray, QByteArray>> names{{"caf\\351\\n.jpg", "caf\xe9\n.jpg"},
                                                             {"caf\\351\\r.jpg", "caf\xe9\r.jpg"},
                                                             {"\\377\\n.jpg", "\xff\n.jpg"},
                                                             {"a\\n\\377.jpg", "a\n\xff.jpg"}};
        QTemporaryDir dir;
        const QString image = copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/in/a.jpg");
        const QByteArray folder = QFile::encodeName(dir.path()) + "/in/";
        QList<QByteArray> expected;
        QString named;
        for (const auto& [format, bytes] : names) {
            QCOMPARE(::link(QFile::encodeName(image).constData(), (folder + bytes).constData()), 0);
            expected.append(folder + bytes);
            named += QStringLiteral(" \"$1\"/\"$(printf '%1')\"").arg(QString::fromLatin1(format));
        }
        // QTemporaryDir cannot remove a name that is not UTF-8: its bytes go first.
        const auto removeNames = qScopeGuard([&expected] {
            for (const QByteArray& path : expected)
                ::unlink(path.constData());
        });
        for (const QString& paths : {QStringLiteral(" \"$1\""), named}) {
            QProcess shell;
            shell.setProcessEnvironment(terminal());
            shell.start("sh", {"-c", "\"$0\" find -l0 KODAK" + paths,
                               TAGSIFTER_BINARY_DIR "/src/tagsifter", dir.path() + "/in"});
            QVERIFY(shell.waitForFinished(120000));
            QCOMPARE(shell.readAllStandardError(), QByteArray());
            QCOMPARE(shell.exitCode(), 0);
            QList<QByteArray> found = shell.readAllStandardOutput().split('\0');
            found.removeAll(QByteArray());
            found.removeAll(QFile::encodeName(image));
            std::sort(found.begin(), found.end());
            std::sort(expected.begin(), expected.end());
            QCOMPARE(found, expected);
        }
    }

    void aFolderThatCannotBeOpenedIsAnError()
    {
        // Root opens every folder: the search runs as another user.
        const bool asNobody = ::geteuid() == 0;
        if (asNobody && QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is not available");
        QTemporaryDir dir(QStringLiteral("/tmp/tagsifter-locked-XXXXXX"));
        const QString open = copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/a.jpg");
        copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/locked/b.jpg");
        QVERIFY(QDir().mkpath(dir.path() + "/home"));
        for (const QString& path : {dir.path(), open, dir.path() + "/home"})
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0755), 0);
        if (asNobody)
            QCOMPARE(::chown(QFile::encodeName(dir.path() + "/home").constData(), 65534, 65534), 0);
        QCOMPARE(::chmod(QFile::encodeName(dir.path() + "/locked").constData(), 0), 0);
        const auto unlock = qScopeGuard(
            [&] { ::chmod(QFile::encodeName(dir.path() + "/locked").constData(), 0755); });
        QProcessEnvironment environment = terminal();
        environment.insert("HOME", dir.path() + "/home");
        environment.insert("XDG_CACHE_HOME", dir.path() + "/home/cache");
        environment.insert("XDG_CONFIG_HOME", dir.path() + "/home/config");
        for (const QString& top : {dir.path(), dir.path() + "/locked"}) {
            QStringList arguments{TAGSIFTER_BINARY_DIR "/src/tagsifter", "find", "-l", "e", top};
            if (asNobody)
                arguments =
                    QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"} + arguments;
            QProcess program;
            program.setProcessEnvironment(environment);
            program.start(asNobody ? QStringLiteral("setpriv") : arguments.takeFirst(), arguments);
            QVERIFY(program.waitForFinished(120000));
            QCOMPARE(program.exitCode(), 2);
            const QByteArray err = program.readAllStandardError();
            QCOMPARE(err.count('\n'), 1);
            QVERIFY2(err.startsWith("tagsifter: ") && err.contains("/locked") &&
                         err.contains("Permission denied"),
                     err.constData());
            QCOMPARE(program.readAllStandardOutput(),
                     top == dir.path() ? QFile::encodeName(open) + "\n" : QByteArray());
        }
    }

    void theSpooledTableIsTheClipboardsTable()
    {
        // Wide and held characters, a tag wider than the rest, spaces and TABs in values, an
        // empty value, and images of one row and of several.
        const QList<QStringList> rows{{"/a/caf\u00e9.jpg", "Make", "KODAK  "},
                                      {"/a/caf\u00e9.jpg", "Comment", " x\ty "},
                                      {decodeFileName("/b/\xff\xfe.jpg"), "A much longer tag", ""},
                                      {"/c/\U0001F600 long name.jpg", "T", "\u00e9t\u00e9"},
                                      {"/c/\U0001F600 long name.jpg", "Make", "   "}};
        TableSpool spool;
        QVERIFY(spool.isEmpty());
        for (qsizetype i = 0; i < rows.size();) {
            QList<TagValue> hits;
            const QString path = rows.at(i).at(0);
            for (; i < rows.size() && rows.at(i).at(0) == path; ++i)
                hits.append({rows.at(i).at(1), rows.at(i).at(2)});
            spool.add(path, hits);
        }
        QByteArray table;
        QVERIFY(spool.write([&table](const QByteArray& block) {
            table += block;
            return true;
        }));
        QCOMPARE(table,
                 encodeFileName(clipboardTable(
                     static_cast<int>(rows.size()), 3,
                     [&](int row, int column) { return rows.at(row - 1).at(column - 1); }, "\n")));
    }

    void manyTableRowsTakeLittleMemory()
    {
        // 600,000 rows, as a search of a large library gives them: held in memory they take
        // over 30 megabytes even as bare bytes, hundreds as lists of texts.
        const auto residentKb = [] {
            QFile status("/proc/self/status");
            if (!status.open(QIODevice::ReadOnly))
                return qint64(-1);
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmRSS:"))
                    return line.mid(6).trimmed().split(' ').first().toLongLong();
            }
            return qint64(-1);
        };
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer keeps freed memory in quarantine: the growth says nothing here");
#endif
        const qint64 before = residentKb();
        if (before < 0)
            QSKIP("/proc/self/status cannot be read");
        qint64 grew = 0;
        qint64 lines = 0;
        {
            TableSpool spool;
            QList<TagValue> hits;
            for (int tag = 0; tag < 100; ++tag)
                hits.append({QStringLiteral("Tag number %1").arg(tag),
                             QStringLiteral("a value of some length, %1").arg(tag)});
            for (int image = 0; image < 6000; ++image)
                spool.add(QStringLiteral("/home/someone/Pictures/2021/holiday/IMG_%1.JPG")
                              .arg(image, 6, 10, QLatin1Char('0')),
                          hits);
            grew = residentKb() - before;
            QVERIFY(spool.write([&](const QByteArray& block) {
                lines += block.count('\n');
                grew = std::max(grew, residentKb() - before);
                return true;
            }));
        }
        QCOMPARE(lines, qint64(600000));
        QVERIFY2(grew < 16 * 1024, qPrintable(QString::number(grew) + " kB"));
    }

    void theTableIsTheClipboardsTable()
    {
        // Relative names, so that the widths of the table do not depend on where the samples
        // are: each cell filled out to its column's widest, the last column not.
        QProcess program;
        program.setProcessEnvironment(terminal());
        program.setWorkingDirectory(samplesFolder());
        program.start(TAGSIFTER_BINARY_DIR "/src/tagsifter",
                      {"find", "--table", "kodak", "Garden_party.jpg", "Harbour_at_dawn.jpg",
                       "Old_bridge.jpg", "Beach_walk.jpg"});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(),
                 QByteArray("Garden_party.jpg   \tMake             \tKODAK\n"
                            "Harbour_at_dawn.jpg\tMake             \tEastman Kodak Company\n"
                            "Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n"
                            "Old_bridge.jpg     \tDescription      \tScanned from a Kodak "
                            "Portra 400 negative\n"));
    }

    void exitStatusesAsGrepsAndOneLineOfTrouble()
    {
        QCOMPARE(runTagsifter({"find", "no such text anywhere", samplesFolder()}).status, 1);
        const Run missing = runTagsifter({"find", "kodak", "/nonexistent/photos"});
        QCOMPARE(missing.status, 2);
        QCOMPARE(missing.err,
                 QByteArray("tagsifter: /nonexistent/photos: No such file or directory\n"));
        const Run usage = runTagsifter({"find"});
        QCOMPARE(usage.status, 2);
        QVERIFY(usage.err.startsWith("tagsifter: "));
        QCOMPARE(runTagsifter({"find", "--nonsense", "kodak", samplesFolder()}).status, 2);
        // No exiftool on the search path.
        const Run noTool = runTagsifter({"find", "kodak", samplesFolder()}, "/nonexistent");
        QCOMPARE(noTool.status, 2);
        QVERIFY(noTool.err.contains("exiftool could not be found"));
        QCOMPARE(noTool.out, QByteArray());
        // Help and version need no display either.
        QCOMPARE(runTagsifter({"--version"}).out, QByteArray("Tagsifter 1.0.0\n"));
        QVERIFY(runTagsifter({"--help"}).out.contains(CommandLine::usage().toUtf8()));
    }

    void writeErrorsAreSaid_data()
    {
        QTest::addColumn<QString>("redirect");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("full disk") << "> /dev/full" << QByteArray("No space left on device");
        QTest::newRow("output closed") << ">&-" << QByteArray("Bad file descriptor");
    }

    void writeErrorsAreSaid()
    {
        QFETCH(QString, redirect);
        QFETCH(QByteArray, reason);
        QProcess shell;
        shell.setProcessEnvironment(terminal());
        shell.start("sh", {"-c", "\"$0\" find kodak \"$1\" " + redirect,
                           TAGSIFTER_BINARY_DIR "/src/tagsifter", samplesFolder()});
        QVERIFY(shell.waitForFinished(120000));
        QCOMPARE(shell.readAllStandardError(), "tagsifter: write error: " + reason + "\n");
        QCOMPARE(shell.exitCode(), 2);
    }

    void eachTroubleIsALineAndTheRestIsSearched()
    {
        QTemporaryDir dir;
        const QString empty = dir.path() + "/empty.jpg";
        writeFile(empty, QByteArray());
        const Run run = runTagsifter(
            {"find", "kodak", "/nonexistent/photos", empty, samplesFolder() + "/Garden_party.jpg"});
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, "tagsifter: /nonexistent/photos: No such file or directory\n"
                          "tagsifter: " +
                              QFile::encodeName(empty) + ": cannot be read: File is empty\n");
        QCOMPARE(hits(run.out),
                 (QList<QStringList>{{samplesFolder() + "/Garden_party.jpg", "Make", "KODAK"}}));
    }

    void noWindowTextEvenWithoutATempFolder()
    {
        // Once every image is in the cache, no temp folder is needed: TMPDIR names a file.
        QTemporaryDir dir;
        QProcessEnvironment environment = terminal();
        environment.insert("XDG_CACHE_HOME", dir.path() + "/cache");
        const Run first = runTagsifter({"find", "kodak", samplesFolder()}, QString(), environment);
        QCOMPARE(first.status, 0);
        writeFile(dir.path() + "/file");
        environment.insert("TMPDIR", dir.path() + "/file");
        const Run again = runTagsifter({"find", "kodak", samplesFolder()}, QString(), environment);
        QCOMPARE(again.err, QByteArray());
        QCOMPARE(again.status, 0);
        QCOMPARE(again.out, first.out);
    }

    void theSettingsHoldForTheTerminal_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("cacheFile");
        QTest::newRow("defaults") << QByteArray() << true;
        QTest::newRow("no cache file") << QByteArray("[Tagsifter]\nDiskCacheMB=0\n") << false;
    }

    void theSettingsHoldForTheTerminal()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, cacheFile);
        QTemporaryDir dir;
        if (!settings.isEmpty())
            writeFile(dir.path() + "/config/Brimvale/Tagsifter.ini", settings);
        QProcessEnvironment environment = terminal();
        environment.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        environment.insert("XDG_CACHE_HOME", dir.path() + "/cache");
        QCOMPARE(runTagsifter({"find", "kodak", samplesFolder()}, QString(), environment).status,
                 0);
        QCOMPARE(QFile::exists(dir.path() + "/cache/Brimvale/Tagsifter/dumps.sqlite"), cacheFile);
    }

    void optionsEndAtTwoDashes()
    {
        // The text may start with a dash; an unknown option is named as it was written.
        QTemporaryDir dir;
        const Run dashed = runTagsifter({"find", "--", "-nothing-", samplesFolder()});
        QCOMPARE(dashed.status, 1);
        QCOMPARE(dashed.err, QByteArray());
        const Run unknown = runTagsifter({"find", "-w.jpg", "kodak", samplesFolder()});
        QCOMPARE(unknown.status, 2);
        QCOMPARE(unknown.err, QByteArray("tagsifter: unknown option '-w.jpg'\n"));
        // Without a display the window's command line is read all the same.
        const Run bogus = runTagsifter({"--bogus"});
        QCOMPARE(bogus.status, 2);
        QCOMPARE(bogus.err, QByteArray("tagsifter: unknown option '--bogus'\n"));
    }

    void signalsEndItAsTheWindow_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void withoutADisplayTheWindowIsRefusedNotAborted()
    {
        for (const QStringList& arguments : {QStringList{samplesFolder()}, QStringList{}}) {
            const Run run = runTagsifter(arguments);
            QCOMPARE(run.status, 2);
            QCOMPARE(run.err, QByteArray("tagsifter: cannot open the window: no display\n"));
            QCOMPARE(run.out, QByteArray());
        }
        // A word a user tries in a terminal is no file for the window: it says so, display or
        // not.
        QProcessEnvironment display = terminal();
        display.insert("QT_QPA_PLATFORM", "offscreen");
        for (const QProcessEnvironment& environment : {terminal(), display}) {
            const Run word = runTagsifter({"fnd", "kodak"}, QString(), environment);
            QCOMPARE(word.status, 2);
            QVERIFY2(word.err.startsWith("tagsifter: 'fnd' is neither a file, a folder nor a "
                                         "command (find, tags)\nusage: "),
                     word.err);
        }
    }

    void anExiftoolThatCannotWorkEndsTheSearch()
    {
        // Perl without the module: each image would fail alike, so the search ends on the
        // second with one line that says what exiftool says.
        QTemporaryDir bin;
        const QString broken = bin.path() + "/exiftool";
        writeFile(broken, "#!/bin/sh\necho \"Can't locate Image/ExifTool.pm in @INC\" >&2\n"
                          "exit 2\n");
        QFile::setPermissions(broken, QFile::permissions(broken) | QFileDevice::ExeOwner);
        QTemporaryDir cache;
        QProcessEnvironment environment = terminal();
        environment.insert("XDG_CACHE_HOME", cache.path());
        const Run run = runTagsifter({"find", "kodak", samplesFolder()},
                                     bin.path() + ":/usr/bin:/bin", environment);
        const QByteArray s = QFile::encodeName(samplesFolder()) + "/";
        QCOMPARE(run.err,
                 "tagsifter: " + s +
                     "Beach_walk.jpg: cannot be read: Can't locate "
                     "Image/ExifTool.pm in @INC\n"
                     "tagsifter: exiftool fails: Can't locate Image/ExifTool.pm in @INC\n");
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.status, 2);
    }

    void signalsEndItAsTheWindow()
    {
        // exiftool that never answers, under a name of this test's own; the program waits on
        // it when the signal comes.
        QFETCH(int, signal);
        QTemporaryDir bin;
        const QString marker = bin.path() + "/exiftool";
        writeFile(marker, "#!/bin/sh\nexec sleep 600\n");
        QFile::setPermissions(marker, QFile::permissions(marker) | QFileDevice::ExeOwner);
        QTemporaryDir temp;
        QProcessEnvironment environment = terminal();
        environment.insert("PATH", bin.path() + ":" + environment.value("PATH"));
        environment.insert("TMPDIR", temp.path());
        environment.insert("XDG_CACHE_HOME", temp.path() + "/cache");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(TAGSIFTER_BINARY_DIR "/src/tagsifter",
                      {"find", "kodak", samplesFolder() + "/Garden_party.jpg"});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(temp.path()).entryList({"tagsifter-*"}, QDir::Dirs).isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(processWith("sleep 600"), 20000);
        ::kill(static_cast<pid_t>(program.processId()), signal);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signal);
        QCOMPARE(QDir(temp.path()).entryList({"tagsifter-*"}, QDir::Dirs), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(!processWith("sleep 600"), 10000);
    }

    void aHostileFolderCannotConfigureExiftool()
    {
        // With HOME unset, exiftool would load a configuration file from its working folder;
        // the folder searched holds one that leaves a mark. Paths are printed as given.
        QTemporaryDir dir;
        const QString mark = dir.path() + "/loaded";
        writeFile(dir.path() + "/hostile/.ExifTool_config",
                  "open(my $f, '>', '" + QFile::encodeName(mark) + "'); 1;\n");
        copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/hostile/a.jpg");
        QProcess program;
        QProcessEnvironment bare;
        bare.insert("PATH", qEnvironmentVariable("PATH"));
        // The sanitizers' settings of a checked build go through; nothing else of this one.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (qEnvironmentVariableIsSet(name))
                bare.insert(name, qEnvironmentVariable(name));
        }
        bare.insert("XDG_CACHE_HOME", dir.path() + "/cache");
        program.setProcessEnvironment(bare);
        program.setWorkingDirectory(dir.path() + "/hostile");
        program.start(TAGSIFTER_BINARY_DIR "/src/tagsifter", {"find", "kodak", "."});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.readAllStandardError(), QByteArray());
        QCOMPARE(program.readAllStandardOutput(), QByteArray("./a.jpg\tMake\tKODAK\n"));
        QVERIFY(!QFile::exists(mark));
    }

    void namesAnArgumentFileCannotCarryAreFound()
    {
        QTemporaryDir dir;
        const QStringList names{"e@mail\n.jpg", "mail@home.jpg ", "price$5.jpg\t"};
        for (const QString& name : names)
            copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/" + name);
        // Named one by one (a folder gives only names that end in ".jpg").
        QStringList arguments{"find", "-l", "kodak"};
        for (const QString& name : names)
            arguments.append(dir.path() + "/" + name);
        const Run run = runTagsifter(arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.count('\n'), 4);
        for (const QString& name : names)
            QVERIFY2(run.out.contains(QFile::encodeName(dir.path() + "/" + name) + "\n"),
                     qPrintable(name));
    }

    void exiftoolBehindAWrapperDiesWithTheProgram()
    {
        // exiftool reached through a script that does not exec it, as some installs do; the
        // program is killed while its sessions read.
        QTemporaryDir bin;
        const QString real = bin.path() + "/real-exiftool";
        QVERIFY(QFile::copy(QStandardPaths::findExecutable("exiftool"), real));
        writeFile(bin.path() + "/exiftool",
                  "#!/bin/sh\nperl '" + QFile::encodeName(real) + "' \"$@\"\n");
        QFile::setPermissions(bin.path() + "/exiftool",
                              QFile::permissions(bin.path() + "/exiftool") | QFileDevice::ExeOwner);
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i)
            copy(samplesFolder() + "/Garden_party.jpg",
                 dir.path() + QString("/%1.jpg").arg(i, 3, 10, QChar('0')));
        QProcessEnvironment environment = terminal();
        environment.insert("PATH", bin.path() + ":" + environment.value("PATH"));
        environment.insert("XDG_CACHE_HOME", dir.path() + "/cache");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(TAGSIFTER_BINARY_DIR "/src/tagsifter", {"find", "kodak", dir.path()});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(processWith(real), 30000);
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!processWith(real), 10000);
    }

    void outputOptions_data()
    {
        // Over the samples for "kodak": three images with hits, four hits in all.
        const QByteArray s = QFile::encodeName(samplesFolder()) + "/";
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("-l") << QStringList{"-l"}
                            << s + "Garden_party.jpg\n" + s + "Harbour_at_dawn.jpg\n" + s +
                                   "Old_bridge.jpg\n";
        QTest::newRow("--files-with-matches --null")
            << QStringList{"--files-with-matches", "--null"}
            << s + "Garden_party.jpg" + '\0' + s + "Harbour_at_dawn.jpg" + '\0' + s +
                   "Old_bridge.jpg" + '\0';
        QTest::newRow("-c") << QStringList{"-c"}
                            << QByteArray("6 images searched, 3 with hits, 4 hits\n");
        QTest::newRow("--count, two extensions")
            << QStringList{"--count", "--extension", "jpg", "--extension", "JPEG"}
            << QByteArray("6 images searched, 3 with hits, 4 hits\n");
    }

    void outputOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, out);
        const Run run =
            runTagsifter(QStringList{"find"} + options + QStringList{"kodak", samplesFolder()});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, out);
    }

    void jsonLinesAreTheHits()
    {
        const Run run = runTagsifter({"find", "--json", "kodak", samplesFolder()});
        QCOMPARE(run.status, 0);
        QList<QStringList> rows;
        for (const QByteArray& line : run.out.split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject hit = QJsonDocument::fromJson(line).object();
            rows.append({hit.value("path").toString(), hit.value("tag").toString(),
                         hit.value("value").toString()});
        }
        QCOMPARE(rows, windowRows({samplesFolder()}, "kodak"));
    }

    void extensionsGivenTwiceFindBoth()
    {
        QTemporaryDir dir;
        copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/a.jpg");
        copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/b.jpeg");
        const Run one = runTagsifter({"find", "-l", "kodak", dir.path()});
        QCOMPARE(one.out.count('\n'), 1);
        const Run both = runTagsifter(
            {"find", "-l", "--extension", "jpg", "--extension", "jpeg", "kodak", dir.path()});
        QCOMPARE(both.out, QFile::encodeName(dir.path()) + "/a.jpg\n" +
                               QFile::encodeName(dir.path()) + "/b.jpeg\n");
    }

    void pathsFromAFileOrStandardInput()
    {
        QTemporaryDir dir;
        const QByteArray list = QFile::encodeName(samplesFolder()) + "/Old_bridge.jpg\n" +
                                QFile::encodeName(samplesFolder()) + "/Garden_party.jpg\n";
        writeFile(dir.path() + "/list.txt", list);
        const Run fromFile =
            runTagsifter({"find", "-l", "--files-from", dir.path() + "/list.txt", "kodak"});
        QCOMPARE(fromFile.status, 0);
        QCOMPARE(fromFile.out, list);
        QProcess program;
        program.setProcessEnvironment(terminal());
        program.start(TAGSIFTER_BINARY_DIR "/src/tagsifter",
                      {"find", "-l", "--files-from", "-", "kodak"});
        QVERIFY(program.waitForStarted());
        program.write(list);
        program.closeWriteChannel();
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.readAllStandardOutput(), list);
        const Run missing =
            runTagsifter({"find", "--files-from", dir.path() + "/none.txt", "kodak"});
        QCOMPARE(missing.status, 2);
        QVERIFY(
            missing.err.startsWith("tagsifter: " + QFile::encodeName(dir.path()) + "/none.txt: "));
    }

    void helpOfTheSearch()
    {
        const Run help = runTagsifter({"find", "--help"});
        QCOMPARE(help.status, 0);
        QCOMPARE(QString::fromUtf8(help.out), CommandLine::findHelp());
    }

    void aReaderThatGoesEndsItQuietly()
    {
        // exiftool under a name of this test's own, so that its processes can be told apart.
        QTemporaryDir bin;
        QVERIFY(QFile::link(QStandardPaths::findExecutable("exiftool"), bin.path() + "/exiftool"));
        QTemporaryDir dir;
        for (int i = 0; i < 40; ++i)
            copy(samplesFolder() + "/Garden_party.jpg",
                 dir.path() + QString("/%1.jpg").arg(i, 2, 10, QChar('0')));
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", bin.path() + ":" + environment.value("PATH"));
        environment.remove("DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        shell.setProcessEnvironment(environment);
        shell.start("sh", {"-c", "\"$0\" find kodak \"$1\" | head -1",
                           TAGSIFTER_BINARY_DIR "/src/tagsifter", dir.path()});
        QVERIFY(shell.waitForFinished(120000));
        const QList<QByteArray> lines = shell.readAllStandardOutput().split('\n');
        QVERIFY(lines.at(0).endsWith("00.jpg\tMake\tKODAK"));
        QCOMPARE(shell.readAllStandardError(), QByteArray());
        QTRY_VERIFY_WITH_TIMEOUT(!processWith(bin.path()), 10000);
    }

    void grepsOptions_data()
    {
        // Over the samples, from their own folder (no PATH: the current folder, its "./" left
        // out as rg leaves it out).
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("status");
        QTest::newRow("-e twice: either text")
            << QStringList{"-e", "z981", "-e", "PORTRA"}
            << QByteArray("Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n"
                          "Old_bridge.jpg\tDescription\tScanned from a Kodak Portra 400 negative\n")
            << 0;
        QTest::newRow("-s: case counts")
            << QStringList{"-s", "Kodak"}
            << QByteArray("Harbour_at_dawn.jpg\tMake\tEastman Kodak Company\n"
                          "Old_bridge.jpg\tDescription\tScanned from a Kodak Portra 400 negative\n")
            << 0;
        QTest::newRow("-w: no part of a word") << QStringList{"-w", "odak"} << QByteArray() << 1;
        QTest::newRow("-w: a whole word")
            << QStringList{"-w", "easyshare"}
            << QByteArray("Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n") << 0;
        QTest::newRow("-E ignoring case")
            << QStringList{"-E", "kodak [a-z]+ z\\d+$"}
            << QByteArray("Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n") << 0;
        QTest::newRow("-Es") << QStringList{"-Es", "^Kodak|Kodak \\w+ny$"}
                             << QByteArray("Harbour_at_dawn.jpg\tMake\tEastman Kodak Company\n")
                             << 0;
        QTest::newRow("--tag, spaces and case aside")
            << QStringList{"--tag", "make", "--tag", "cameramodelname", "kodak"}
            << QByteArray("Garden_party.jpg\tMake\tKODAK\n"
                          "Harbour_at_dawn.jpg\tMake\tEastman Kodak Company\n"
                          "Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n")
            << 0;
        QTest::newRow("--tag by exiftool's name")
            << QStringList{"--tag", "Model", "kodak"}
            << QByteArray("Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n") << 0;
        QTest::newRow("-e \"\" matches every row")
            << QStringList{"--tag=Make", "-e", ""}
            << QByteArray("Beach_walk.jpg\tMake\tFUJIFILM\n"
                          "City_lights.jpg\tMake\tCanon\n"
                          "Garden_party.jpg\tMake\tKODAK\n"
                          "Harbour_at_dawn.jpg\tMake\tEastman Kodak Company\n"
                          "Mountain_trail.jpg\tMake\tNIKON CORPORATION\n"
                          "Old_bridge.jpg\tMake\tSONY\n")
            << 0;
        QTest::newRow("-L") << QStringList{"-L", "kodak"}
                            << QByteArray("Beach_walk.jpg\nCity_lights.jpg\nMountain_trail.jpg\n")
                            << 0;
        QTest::newRow("-L0") << QStringList{"-L0", "kodak"}
                             << QByteArray("Beach_walk.jpg\0City_lights.jpg\0Mountain_trail.jpg\0",
                                           50)
                             << 0;
        QTest::newRow("--csv")
            << QStringList{"--csv", "-e", "z981", "-e", "eastman"}
            << QByteArray("path,tag,value\r\n"
                          "Harbour_at_dawn.jpg,Make,Eastman Kodak Company\r\n"
                          "Harbour_at_dawn.jpg,Camera Model Name,KODAK EASYSHARE Z981\r\n")
            << 0;
        QTest::newRow("--color=always")
            << QStringList{"--color=always", "-e", "kodak", "-e", "dak e"}
            << QByteArray("\033[35mGarden_party.jpg\033[0m\tMake\t\033[1;31mKODAK\033[0m\n"
                          "\033[35mHarbour_at_dawn.jpg\033[0m\tMake\tEastman "
                          "\033[1;31mKodak\033[0m Company\n"
                          "\033[35mHarbour_at_dawn.jpg\033[0m\tCamera Model Name\t"
                          "\033[1;31mKODAK E\033[0mASYSHARE Z981\n"
                          "\033[35mOld_bridge.jpg\033[0m\tDescription\tScanned from a "
                          "\033[1;31mKodak\033[0m Portra 400 negative\n")
            << 0;
        QTest::newRow("--color=always -l")
            << QStringList{"--color=always", "-l", "z981"}
            << QByteArray("\033[35mHarbour_at_dawn.jpg\033[0m\n") << 0;
        QTest::newRow("--color=always, --json has none")
            << QStringList{"--color=always", "--json", "z981"}
            << QByteArray("{\"path\":\"Harbour_at_dawn.jpg\",\"tag\":\"Camera Model Name\","
                          "\"value\":\"KODAK EASYSHARE Z981\"}\n")
            << 0;
        QTest::newRow("-q found") << QStringList{"-q", "kodak"} << QByteArray() << 0;
        QTest::newRow("-q not found") << QStringList{"-q", "no such text"} << QByteArray() << 1;
        QTest::newRow("-j 1") << QStringList{"-j", "1", "-c", "kodak"}
                              << QByteArray("6 images searched, 3 with hits, 4 hits\n") << 0;
    }

    void grepsOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        QFETCH(int, status);
        const Run run = runTagsifterIn(samplesFolder(), QStringList{"find"} + arguments);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.out, out);
        QCOMPARE(run.status, status);
    }

    void quietEndsAtTheFirstHit()
    {
        // The empty image after the first hit is never reached with -q: no trouble is told.
        QTemporaryDir dir;
        copy(samplesFolder() + "/Garden_party.jpg", dir.path() + "/a.jpg");
        writeFile(dir.path() + "/b.jpg", QByteArray());
        const Run all = runTagsifterIn(dir.path(), {"find", "kodak"});
        QCOMPARE(all.status, 2);
        QCOMPARE(all.err, QByteArray("tagsifter: b.jpg: cannot be read: File is empty\n"));
        const Run quiet = runTagsifterIn(dir.path(), {"find", "-q", "kodak"});
        QCOMPARE(quiet.err, QByteArray());
        QCOMPARE(quiet.out, QByteArray());
        QCOMPARE(quiet.status, 0);
        // An error before the hit is told, and the hit still makes it 0, as grep's -q.
        const Run before = runTagsifterIn(dir.path(), {"find", "-q", "kodak", "b.jpg", "a.jpg"});
        QCOMPARE(before.err, QByteArray("tagsifter: b.jpg: cannot be read: File is empty\n"));
        QCOMPARE(before.status, 0);
        // -L does not list an image that cannot be read.
        const Run without = runTagsifterIn(dir.path(), {"find", "-L", "nikon"});
        QCOMPARE(without.out, QByteArray("a.jpg\n"));
        QCOMPARE(without.status, 2);
    }

    void theCacheFilesPassPrintsWhatExiftoolGave()
    {
        // 66 images: a search again reads the cache file in one pass, and its packed hits go
        // out as the rows exiftool gave the first time, in every form.
        QTemporaryDir dir;
        const QStringList samples = QDir(samplesFolder()).entryList({"*.jpg"}, QDir::Files);
        for (int copy = 0; copy < 11; ++copy) {
            const QString folder = dir.path() + QString("/photos/%1/").arg(copy);
            QVERIFY(QDir().mkpath(folder));
            for (const QString& sample : samples) {
                const QByteArray first = QFile::encodeName(dir.path() + "/photos/0/" + sample);
                if (copy == 0)
                    QVERIFY(QFile::copy(samplesFolder() + "/" + sample, folder + sample));
                else
                    QVERIFY(::link(first.constData(),
                                   QFile::encodeName(folder + sample).constData()) == 0);
            }
        }
        QProcessEnvironment environment = terminal();
        environment.insert("XDG_CACHE_HOME", dir.path() + "/cache");
        environment.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        const QList<QStringList> searches = {
            {"find", "--csv", "-w", "-e", "kodak", "-e", "400"},
            {"find", "-L", "kodak"},
            {"find", "--color=always", "--tag", "make", "-E", "^(canon|sony)$"},
            {"find", "--table", "-s", "Kodak"},
            {"tags", "--json"}};
        QList<QByteArray> first;
        for (const QStringList& search : searches)
            first.append(runTagsifterIn(dir.path() + "/photos", search, environment).out);
        QVERIFY(QFile::exists(dir.path() + "/cache/Brimvale/Tagsifter/dumps.sqlite"));
        for (qsizetype i = 0; i < searches.size(); ++i) {
            QVERIFY2(first.at(i).count('\n') >= 11, qPrintable(searches.at(i).join(' ')));
            QCOMPARE(runTagsifterIn(dir.path() + "/photos", searches.at(i), environment).out,
                     first.at(i));
        }
    }

    void colorsOnlyWhereAsked()
    {
        // Into a pipe "auto" writes no colour; NO_COLOR holds for "auto", "always" wins.
        QProcessEnvironment noColor = terminal();
        noColor.insert("NO_COLOR", "1");
        const QByteArray plain = "Harbour_at_dawn.jpg\tCamera Model Name\tKODAK EASYSHARE Z981\n";
        QCOMPARE(runTagsifterIn(samplesFolder(), {"find", "--color=auto", "z981"}).out, plain);
        QCOMPARE(runTagsifterIn(samplesFolder(), {"find", "z981"}, noColor).out, plain);
        QCOMPARE(runTagsifterIn(samplesFolder(), {"find", "--color", "never", "z981"}).out, plain);
        QVERIFY(runTagsifterIn(samplesFolder(), {"find", "--color=always", "z981"}, noColor)
                    .out.startsWith("\033[35m"));
    }

    void badInputIsRefusedBeforeAnySearch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("invalid expression")
            << QStringList{"find", "-E", "-e", "ok", "-e", "(kodak|z9"}
            << QByteArray("tagsifter: the regular expression '(kodak|z9' cannot be read at "
                          "column 10: missing closing parenthesis\n");
        QTest::newRow("-l with --csv") << QStringList{"find", "-l", "--csv", "kodak"}
                                       << QByteArray("tagsifter: --files-with-matches and --csv "
                                                     "cannot be combined\n");
        QTest::newRow("-0 without -l") << QStringList{"find", "-0", "kodak"}
                                       << QByteArray("tagsifter: --null goes with "
                                                     "--files-with-matches or "
                                                     "--files-without-match\n");
        QTest::newRow("-j 0") << QStringList{"find", "-j0", "kodak"}
                              << QByteArray("tagsifter: --jobs needs a number of exiftool "
                                            "processes above 0, not '0'\n");
    }

    void badInputIsRefusedBeforeAnySearch()
    {
        // No exiftool at all: a search begun would say so.
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, err);
        QProcessEnvironment environment = terminal();
        environment.insert("PATH", "/nonexistent");
        const Run run = runTagsifterIn(samplesFolder(), arguments, environment);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err, err);
    }

    void theTagsTheImagesHold()
    {
        QTemporaryDir dir;
        copy(samplesFolder() + "/Harbour_at_dawn.jpg", dir.path() + "/a.jpg");
        copy(samplesFolder() + "/Old_bridge.jpg", dir.path() + "/b/b.jpg");
        const Run run = runTagsifterIn(dir.path(), {"tags"});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.status, 0);
        // Both images hold the file's tags and a description; GPS only the harbour.
        const QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.first(), QByteArray("2\tFileName\tFile Name"));
        // exiftool's own tag name, as it lists its tags.
        QVERIFY(lines.contains("2\tModel\tCamera Model Name"));
        QVERIFY(lines.contains("1\tGPSLatitude\tGPS Latitude"));
        QVERIFY(lines.contains("2\tDescription\tDescription"));
        QVERIFY(lines.indexOf("2\tMegapixels\tMegapixels") <
                lines.indexOf("1\tGPSLatitude\tGPS Latitude"));
        const Run json = runTagsifterIn(dir.path(), {"tags", "--json", "b"});
        QVERIFY(
            json.out.startsWith("{\"images\":1,\"name\":\"FileName\",\"tag\":\"File Name\"}\n"));
        QCOMPARE(json.out.count('\n'), runTagsifterIn(dir.path(), {"tags", "b"}).out.count('\n'));
    }

private:
    static bool processWith(const QString& text)
    {
        QProcess pgrep;
        pgrep.start("pgrep", {"-f", text});
        pgrep.waitForFinished();
        return pgrep.exitCode() == 0;
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
