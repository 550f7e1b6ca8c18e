#include "platform/FileNames.h"
#include "platform/QtServices.h"
#include "support/FakeServices.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sys/resource.h>

using namespace tagsifter;
using namespace tagsifter::test;

namespace {

bool processWith(const QString& text)
{
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", text});
    pgrep.waitForFinished();
    return pgrep.exitCode() == 0;
}

/// A program behind a script that runs it without exec, as wrapper scripts of version
/// managers do; the program itself is `sleep` under a name of the test's own.
struct Wrapper
{
    Wrapper()
    {
        QFile::copy(QStandardPaths::findExecutable("sleep"), real);
        writeFile(script, "#!/bin/sh\n'" + QFile::encodeName(real) + "' 600\necho after\n");
        QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
        QFile::setPermissions(real, QFile::permissions(real) | QFileDevice::ExeOwner);
    }
    QTemporaryDir dir;
    QString real = dir.path() + "/real-program";
    QString script = dir.path() + "/wrapper";
};

} // namespace

class TestProcesses : public QObject
{
    Q_OBJECT
private slots:
    void aKilledChildTakesWhatItStartedWithIt_data()
    {
        QTest::addColumn<bool>("session");
        QTest::newRow("session, as Stop ends a busy one") << true;
        QTest::newRow("one-shot") << false;
    }

    void aKilledChildTakesWhatItStartedWithIt()
    {
        QFETCH(bool, session);
        Wrapper wrapper;
        QtProcessService processes;
        std::unique_ptr<SessionChannel> channel;
        std::unique_ptr<ProcessHandle> process;
        if (session)
            channel = processes.startSession(wrapper.script, {}, wrapper.dir.path());
        else
            process = processes.start(wrapper.script, {}, QByteArray(),
                                      wrapper.dir.path() + "/out.txt", wrapper.dir.path());
        QVERIFY(channel || process);
        QTRY_VERIFY_WITH_TIMEOUT(processWith(wrapper.real), 10000);
        session ? channel->kill() : process->kill();
        QTRY_VERIFY_WITH_TIMEOUT(!processWith(wrapper.real), 10000);
    }

    void aBackgroundSessionRunsBelowTheUsersPrograms_data()
    {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("nicer");
        QTest::newRow("normal") << int(ProcessService::Priority::Normal) << 0;
        QTest::newRow("background") << int(ProcessService::Priority::Background) << 10;
    }

    void aBackgroundSessionRunsBelowTheUsersPrograms()
    {
        QFETCH(int, priority);
        QFETCH(int, nicer);
        const QByteArray niceness =
            QByteArray::number(std::min(19, ::getpriority(PRIO_PROCESS, 0) + nicer));
        // The session tells its own niceness (field 19 of its stat line), then what the
        // program it started has.
        QtProcessService processes;
        std::unique_ptr<SessionChannel> channel = processes.startSession(
            "/bin/sh",
            {"-c", "cut -d' ' -f19 /proc/$$/stat; sh -c 'cut -d\" \" -f19 /proc/$$/stat'"},
            QDir::tempPath(), static_cast<ProcessService::Priority>(priority));
        QVERIFY(channel);
        QByteArray output;
        QVERIFY(QTest::qWaitFor(
            [&] {
                output += channel->readOutput();
                return output.count('\n') >= 2;
            },
            10000));
        QCOMPARE(output, niceness + "\n" + niceness + "\n");
    }

    void aProcessRunsInTheFolderGiven()
    {
        QTemporaryDir dir;
        QtProcessService processes;
        std::unique_ptr<ProcessHandle> process =
            processes.start("/bin/pwd", {}, QByteArray(), dir.path() + "/out.txt", dir.path());
        QVERIFY(process);
        QVERIFY(process->waitForEnd(10000));
        QFile out(dir.path() + "/out.txt");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll().trimmed(), QFile::encodeName(dir.path()));
    }

    void argumentsKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Latin-1 and LF") << QByteArray("/p/caf\xe9\n.jpg");
        QTest::newRow("Latin-1 and CR") << QByteArray("/p/caf\xe9\r.jpg");
        QTest::newRow("a lone byte, then LF") << QByteArray("/p/\xff\n.jpg");
        QTest::newRow("LF, then a lone byte") << QByteArray("/p/a\n\xff.jpg");
        QTest::newRow("UTF-8 and LF") << QByteArray("/p/caf\xc3\xa9\n.jpg");
        QTest::newRow("Latin-1 alone") << QByteArray("/p/caf\xe9.jpg");
    }
    void argumentsKeepTheirBytes()
    {
        // A name goes to a child as its bytes on disk, whatever a line of it holds.
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString out = dir.path() + "/out.txt";
        QtProcessService processes;
        for (const auto priority :
             {ProcessService::Priority::Normal, ProcessService::Priority::Background}) {
            std::unique_ptr<SessionChannel> session =
                processes.startSession(QStandardPaths::findExecutable("printf"),
                                       {"%s", decodeFileName(bytes)}, dir.path(), priority);
            QVERIFY(session);
            QVERIFY(session->waitForEnd(10000));
            QCOMPARE(session->readOutput(), bytes);
        }
        std::unique_ptr<ProcessHandle> process = processes.start(
            QStandardPaths::findExecutable("printf"), {"%s|%s", decodeFileName(bytes), "plain"},
            QByteArray(), out, dir.path());
        QVERIFY(process);
        QVERIFY(process->waitForEnd(10000));
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes + "|plain");
    }
};

QTEST_GUILESS_MAIN(TestProcesses)
#include "tst_processes.moc"
