#include "core/Failure.h"
#include "platform/LocalFileSystem.h"
#include "search/SearchEngine.h"
#include "support/FakeServices.h"
#include "support/ScriptedProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

/// Records what the engine hands on, in order.
class RecordingSink : public HitSink
{
public:
    void found(const QString& path, const QList<TagValue>& hits) override
    {
        for (const TagValue& hit : hits)
            rows.append({path, hit.tag, hit.value});
        if (onFound)
            onFound();
    }
    void problem(const SearchProblem& problem) override { problems.append(problem.path); }
    QList<QStringList> rows;
    QStringList problems;
    std::function<void()> onFound;
};

/// The real file system, but a folder that vanishes as its files are listed.
class VanishingFolder : public LocalFileSystem
{
public:
    explicit VanishingFolder(QString folder) : m_folder(std::move(folder)) {}
    QStringList listFiles(const QString& folder, const QString& pattern) const override
    {
        if (QDir::cleanPath(folder) == m_folder)
            throw Failure(QStringLiteral("Path not found: %1").arg(folder),
                          ErrorCode::PathNotFound);
        return LocalFileSystem::listFiles(folder, pattern);
    }

private:
    QString m_folder;
};

QString copySample(const QString& name, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    if (!QFile::copy(samplesFolder() + QLatin1Char('/') + name, to))
        qFatal("cannot copy %s", qPrintable(to));
    return to;
}

QByteArray dumpFor(const QString& path)
{
    return "ExifTool Version Number         : 12.57\nFile Name                       : " +
           QFileInfo(path).fileName().toUtf8() + "\nMake                            : Kodak\n";
}

/// Sessions that answer every image with its dumpFor.
void answerWithDumps(ScriptedProcesses& processes)
{
    processes.session = [](const QString& path) { return ScriptedAnswer{dumpFor(path)}; };
}

} // namespace

class TestSearchEngine : public QObject
{
    Q_OBJECT
private slots:
    void hitsInOrderAndTheOutcomeCounts()
    {
        // The real exiftool: a folder walked as "Add All" walks it, with two extensions, and a
        // file as given.
        QTemporaryDir dir;
        const QString a = copySample("Garden_party.jpg", dir.path() + "/a.jpg");
        const QString b = copySample("Harbour_at_dawn.jpg", dir.path() + "/sub/b.JPEG");
        copySample("Beach_walk.jpg", dir.path() + "/c.png");
        const QString single = copySample("Old_bridge.jpg", dir.path() + "/other/single.jpg");
        FakeServices fake;
        SearchEngine engine(fake.system());
        RecordingSink sink;
        SearchRequest request;
        request.paths = QStringList{dir.path() + "/sub", single, dir.path()};
        request.extensions = QStringList{"jpeg", "jpg"};
        request.query = SearchQuery::containing("kodak");
        const SearchOutcome outcome = engine.run(request, sink);
        QCOMPARE(sink.rows,
                 (QList<QStringList>{
                     {b, "Make", "Eastman Kodak Company"},
                     {b, "Camera Model Name", "KODAK EASYSHARE Z981"},
                     {single, "Description", "Scanned from a Kodak Portra 400 negative"},
                     {b, "Make", "Eastman Kodak Company"},
                     {b, "Camera Model Name", "KODAK EASYSHARE Z981"},
                     {a, "Make", "KODAK"},
                     {single, "Description", "Scanned from a Kodak Portra 400 negative"}}));
        QCOMPARE(outcome.status, SearchOutcome::Status::Found);
        QCOMPARE(outcome.imagesSearched, 5);
        QCOMPARE(outcome.imagesWithHits, 5);
        QCOMPARE(outcome.hits, 7);
        QVERIFY(outcome.problems.empty());
        QCOMPARE(fake.messages.shown.size(), 0);
    }

    void failuresAreDataAndTheRestIsSearched()
    {
        QTemporaryDir dir;
        const QString good = copySample("Garden_party.jpg", dir.path() + "/good/a.jpg");
        copySample("Garden_party.jpg", dir.path() + "/gone/b.jpg");
        const QString empty = dir.path() + "/empty.jpg";
        writeFile(empty, QByteArray());
        FakeServices fake;
        VanishingFolder files(dir.path() + "/gone");
        SystemServices system = fake.system();
        system.files = &files;
        SearchEngine engine(system);
        RecordingSink sink;
        SearchRequest request;
        request.paths = {dir.path() + "/missing", dir.path() + "/gone", empty,
                         dir.path() + "/good"};
        request.query = SearchQuery::containing("kodak");
        const SearchOutcome outcome = engine.run(request, sink);
        QCOMPARE(sink.rows, (QList<QStringList>{{good, "Make", "KODAK"}}));
        QCOMPARE(outcome.problems.size(), size_t(3));
        QCOMPARE(outcome.problems[0].kind, SearchProblem::Kind::PathMissing);
        QCOMPARE(outcome.problems[0].path, dir.path() + "/missing");
        QCOMPARE(outcome.problems[1].kind, SearchProblem::Kind::FolderUnreadable);
        QCOMPARE(outcome.problems[1].path, dir.path() + "/gone");
        QCOMPARE(outcome.problems[2].kind, SearchProblem::Kind::ImageUnreadable);
        QCOMPARE(outcome.problems[2].path, empty);
        QCOMPARE(outcome.problems[2].reason, QString("File is empty"));
        // Told as they happened, and found all the same.
        QCOMPARE(sink.problems.size(), 3);
        QCOMPARE(outcome.status, SearchOutcome::Status::Found);
    }

    void noExiftoolIsAFailure()
    {
        FakeServices fake;
        SearchEngine engine(fake.system(), "/nonexistent/exiftool");
        RecordingSink sink;
        SearchRequest request{{samplesFolder()}, {"jpg"}, SearchQuery::containing("kodak"), {}};
        const SearchOutcome outcome = engine.run(request, sink);
        QCOMPARE(outcome.status, SearchOutcome::Status::Failed);
        QCOMPARE(outcome.problems.size(), size_t(1));
        QCOMPARE(outcome.problems[0].kind, SearchProblem::Kind::ToolMissing);
        QVERIFY(sink.rows.isEmpty());
    }

    void aWarmCacheNeedsNoTempFolder()
    {
        QTemporaryDir dir;
        const QStringList images{dir.path() + "/1.jpg", dir.path() + "/2.jpg"};
        for (const QString& image : images)
            writeFile(image, "not read: the sessions are scripted");
        ScriptedProcesses processes;
        answerWithDumps(processes);
        FakeServices fake;
        SystemServices system = fake.system();
        system.processes = &processes;
        system.dumpCacheFile = dir.path() + "/cache/dumps.sqlite";
        SearchRequest request{images, {"jpg"}, SearchQuery::containing("kodak"), {}};
        QList<QStringList> first;
        {
            SearchEngine engine(system);
            RecordingSink sink;
            QCOMPARE(engine.run(request, sink).status, SearchOutcome::Status::Found);
            first = sink.rows;
        }
        QCOMPARE(first.size(), 2);
        // A file where the temp folder should be: only a one-shot read would need it.
        const QString notAFolder = dir.path() + "/file";
        writeFile(notAFolder);
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(notAFolder));
        SearchEngine engine(system);
        saved.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", saved);
        int asked = 0;
        processes.onRequest = [&](const QString&) { ++asked; };
        RecordingSink sink;
        const SearchOutcome outcome = engine.run(request, sink);
        QCOMPARE(sink.rows, first);
        QVERIFY(outcome.problems.empty());
        QCOMPARE(asked, 0);
    }

    void theStopTokenEndsTheSearch()
    {
        QTemporaryDir dir;
        QStringList images;
        for (int i = 1; i <= 5; ++i) {
            images.append(dir.path() + QStringLiteral("/%1.jpg").arg(i));
            writeFile(images.last());
        }
        ScriptedProcesses processes;
        answerWithDumps(processes);
        FakeServices fake;
        SystemServices system = fake.system();
        system.processes = &processes;
        SearchEngine engine(system);
        RecordingSink sink;
        bool stop = false;
        sink.onFound = [&] { stop = true; };
        const SearchOutcome outcome = engine.run(
            {images, {"jpg"}, SearchQuery::containing("kodak"), [&] { return stop; }}, sink);
        QCOMPARE(outcome.status, SearchOutcome::Status::Stopped);
        QCOMPARE(sink.rows, (QList<QStringList>{{images[0], "Make", "Kodak"}}));
        QCOMPARE(outcome.imagesSearched, 1);
    }
};

QTEST_GUILESS_MAIN(TestSearchEngine)
#include "tst_searchengine.moc"
