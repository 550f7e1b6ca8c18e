#include "QtServices.h"

#include "FileNames.h"
#include "ProcessGroups.h"
#include "core/Failure.h"
#include "core/PrivateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>

#include <pwd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tagsifter {

namespace {

class QtProcessHandle : public ProcessHandle
{
public:
    explicit QtProcessHandle(std::unique_ptr<QProcess> process)
        : m_process(std::move(process)), m_pid(m_process->processId())
    {
        ProcessGroups::watch(static_cast<pid_t>(m_pid));
        // Only the first line of standard error is kept, however much a process writes there.
        QObject::connect(m_process.get(), &QProcess::readyReadStandardError, m_process.get(),
                         [this] {
                             const QByteArray more = m_process->readAllStandardError();
                             if (!m_errorLine.contains('\n') && m_errorLine.size() < kErrorLineMax)
                                 m_errorLine += more.left(kErrorLineMax - m_errorLine.size());
                         });
    }
    ~QtProcessHandle() override
    {
        const auto pid = static_cast<pid_t>(m_pid);
        if (!hasEnded())
            kill();
        ProcessGroups::forget(pid);
    }

    bool waitForEnd(int ms) override
    {
        if (hasEnded())
            return true;
        QEventLoop loop;
        QObject::connect(m_process.get(), &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        return hasEnded();
    }
    bool hasEnded() const override { return m_process->state() == QProcess::NotRunning; }
    void kill() override
    {
        ProcessGroups::kill(static_cast<pid_t>(m_process->processId()));
        m_process->kill();
        m_process->waitForFinished(2000);
    }
    int exitCode() const override { return m_process->exitCode(); }
    bool exitedNormally() const override
    {
        return hasEnded() && m_process->exitStatus() == QProcess::NormalExit &&
               m_process->error() != QProcess::FailedToStart;
    }
    QString errorLine() const override
    {
        const QByteArray error = m_errorLine + m_process->readAllStandardError();
        return QString::fromLocal8Bit(error.left(error.indexOf('\n'))).trimmed();
    }

private:
    static constexpr qsizetype kErrorLineMax = 1024;
    std::unique_ptr<QProcess> m_process;
    qint64 m_pid;
    QByteArray m_errorLine;
};

class QtSessionChannel : public SessionChannel
{
public:
    explicit QtSessionChannel(std::unique_ptr<QProcess> process)
        : m_process(std::move(process)), m_pid(m_process->processId())
    {
        ProcessGroups::watch(static_cast<pid_t>(m_pid));
        connect(m_process.get(), &QProcess::readyReadStandardOutput, this,
                &SessionChannel::outputReady);
        connect(m_process.get(), &QProcess::finished, this, [this] {
            // Whatever it started goes with it.
            ProcessGroups::kill(static_cast<pid_t>(m_pid));
            ProcessGroups::forget(static_cast<pid_t>(std::exchange(m_pid, 0)));
            emit ended();
        });
    }
    ~QtSessionChannel() override
    {
        if (m_pid != 0) {
            ProcessGroups::kill(static_cast<pid_t>(m_pid));
            ProcessGroups::forget(static_cast<pid_t>(m_pid));
        }
    }
    bool isRunning() const override { return m_process->state() == QProcess::Running; }
    void write(const QByteArray& bytes) override { m_process->write(bytes); }
    QByteArray readOutput() override { return m_process->readAllStandardOutput(); }
    bool waitForEnd(int ms) override { return m_process->waitForFinished(ms); }
    void kill() override
    {
        // The whole group: exiftool behind a wrapper script ends too.
        ProcessGroups::kill(static_cast<pid_t>(m_pid));
        m_process->kill();
    }

private:
    std::unique_ptr<QProcess> m_process;
    qint64 m_pid;
};

// The home folder of the account the program runs as; empty when it has none.
QString accountHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    struct passwd entry
    {
    };
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return QString();
    const QString home = decodeFileName(found->pw_dir);
    return QDir::isAbsolutePath(home) ? home : QString();
}

/// A command line as the bytes the child is to get.
struct RawCommand
{
    QList<QByteArray> words;
    std::vector<char*> argv;
};

/// The command line with every held byte of a name (FileNames.h) written back as that byte, or
/// null when it holds none. QProcess would write such a byte as a replacement mark, and the
/// child would be given a name that does not exist.
std::shared_ptr<RawCommand> rawCommand(const QString& program, const QStringList& arguments)
{
    bool held = false;
    auto raw = std::make_shared<RawCommand>();
    for (const QString& word : QStringList{program} + arguments) {
        raw->words.append(encodeFileName(word));
        held = held || raw->words.constLast() != word.toUtf8();
    }
    if (!held || !program.startsWith(QLatin1Char('/')))
        return nullptr;
    for (QByteArray& word : raw->words)
        raw->argv.push_back(word.data());
    raw->argv.push_back(nullptr);
    return raw;
}

// Every child is started the same way: arguments as they are, standard error discarded unless
// `keepErrors`, and never outliving the program.
std::unique_ptr<QProcess>
childProcess(const QString& program, const QStringList& arguments, const QString& workingDirectory,
             ProcessService::Priority priority = ProcessService::Priority::Normal,
             bool keepErrors = false)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setWorkingDirectory(workingDirectory);
    if (!keepErrors)
        process->setStandardErrorFile(QProcess::nullDevice());
    process->setChildProcessModifier([priority, raw = rawCommand(program, arguments)] {
        ProcessGroups::enterOwnGroup();
        if (priority == ProcessService::Priority::Background)
            ProcessGroups::lowerPriority();
        // Its streams and folder are set up by now: the child is started with its arguments'
        // own bytes. Should that fail, QProcess starts it as ever.
        if (raw)
            ::execv(raw->argv.front(), raw->argv.data());
    });
    return process;
}

} // namespace

QtSettingsStore::QtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Brimvale"),
                                             QStringLiteral("Tagsifter")))
{
}

QtSettingsStore::QtSettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

QString QtSettingsStore::read(const QString& key, const QString& defaultValue) const
{
    const QString fullKey = QStringLiteral("Tagsifter/") + key;
    if (!m_settings->contains(fullKey))
        return defaultValue;
    return m_settings->value(fullKey).toString();
}

void QtSettingsStore::write(const QString& key, const QString& value)
{
    m_settings->setValue(QStringLiteral("Tagsifter/") + key, value);
    // The settings' folder is the program's own: made for the user alone, whatever the umask.
    makePrivateFolder(QFileInfo(m_settings->fileName()).absolutePath());
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw Failure(QStringLiteral("The setting \"%1\" could not be stored.").arg(key));
}

QString QtProcessService::findExecutable(const QString& name) const
{
    return QStandardPaths::findExecutable(name);
}

std::unique_ptr<ProcessHandle> QtProcessService::start(const QString& program,
                                                       const QStringList& arguments,
                                                       const QByteArray& input,
                                                       const QString& outputFile,
                                                       const QString& workingDirectory)
{
    // What a program that cannot work says is kept to be told.
    std::unique_ptr<QProcess> process =
        childProcess(program, arguments, workingDirectory, ProcessService::Priority::Normal, true);
    process->setStandardOutputFile(outputFile);
    if (input.isEmpty())
        process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(10000)) {
        process->kill();
        return nullptr;
    }
    if (!input.isEmpty()) {
        process->write(input);
        process->closeWriteChannel();
    }
    return std::make_unique<QtProcessHandle>(std::move(process));
}

std::unique_ptr<SessionChannel> QtProcessService::startSession(const QString& program,
                                                               const QStringList& arguments,
                                                               const QString& workingDirectory,
                                                               Priority priority)
{
    std::unique_ptr<QProcess> process =
        childProcess(program, arguments, workingDirectory, priority);
    process->start();
    if (!process->waitForStarted(10000))
        return nullptr;
    return std::make_unique<QtSessionChannel>(std::move(process));
}

QtEventLoop::QtEventLoop()
{
    m_sinceYield.start();
}

void QtEventLoop::yield()
{
    QCoreApplication::processEvents();
    m_sinceYield.restart();
}

void QtEventLoop::yieldSometimes()
{
    constexpr int kIntervalMs = 15;
    if (m_sinceYield.elapsed() >= kIntervalMs)
        yield();
}

void QtEventLoop::wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    m_sinceYield.restart();
}

int QtRandom::draw1To100()
{
    return QRandomGenerator::global()->bounded(1, 101);
}

std::unique_ptr<SpreadsheetDocument> UnavailableSpreadsheet::newDocument()
{
    throw Failure(QStringLiteral("No spreadsheet application is available."));
}

QtSystemServices::QtSystemServices() = default;

SystemServices QtSystemServices::system()
{
    SystemServices s;
    s.files = &m_files;
    s.processes = &m_processes;
    s.settings = &m_settings;
    s.events = &m_events;
    s.dumpCacheFile = dumpCacheFile();
    return s;
}

QString dumpCacheFile()
{
    // The cache base of the XDG rules: $XDG_CACHE_HOME when it is absolute, else ~/.cache. With
    // no HOME the account's home is taken; never "/.cache", a folder of the system's.
    QString base = decodeFileName(qgetenv("XDG_CACHE_HOME"));
    if (!QDir::isAbsolutePath(base)) {
        QString home = decodeFileName(qgetenv("HOME"));
        if (!QDir::isAbsolutePath(home))
            home = accountHome();
        if (home.isEmpty() || QDir::cleanPath(home) == QLatin1String("/"))
            return QString();
        base = home + QStringLiteral("/.cache");
    }
    QString folder = QDir::cleanPath(base);
    for (const QString& name :
         {QCoreApplication::organizationName(), QCoreApplication::applicationName()}) {
        if (!name.isEmpty())
            folder += QLatin1Char('/') + name;
    }
    return folder + QStringLiteral("/dumps.sqlite");
}

} // namespace tagsifter
