#include "platform/QtServices.h"
#include "support/FakePlatform.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestProcesses)
#include "tst_processes.moc"
