#include "QtPlatform.h"

#include "FileNames.h"
#include "core/Failure.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>

namespace tagsifter {

namespace {

QString titleOrDefault(const QString& title)
{
    return title.isEmpty() ? applicationTitle() : title;
}

// Qt filters are written "Name (*.a *.b)" and separated by ";;"; the program writes them
// the classic way, "Name (*.a;*.b)|*.a;*.b|".
QString qtFilter(const QString& classic)
{
    const QStringList parts = classic.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts.at(i);
        const int open = label.indexOf(QLatin1Char('('));
        if (open > 0)
            label = label.left(open).trimmed();
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        filters.append(QStringLiteral("%1 (%2)").arg(label, patterns));
    }
    return filters.join(QLatin1String(";;"));
}

// File dialogs match extensions without regard to case, so "*.jpg" also shows "DSC01.JPG".
void ignoreCaseInFilters(QFileDialog& dialog)
{
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

class QtProcessHandle : public ProcessHandle
{
public:
    explicit QtProcessHandle(std::unique_ptr<QProcess> process) : m_process(std::move(process)) {}
    ~QtProcessHandle() override
    {
        if (!hasEnded())
            kill();
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
        m_process->kill();
        m_process->waitForFinished(2000);
    }
    int exitCode() const override { return m_process->exitCode(); }
    bool exitedNormally() const override
    {
        return hasEnded() && m_process->exitStatus() == QProcess::NormalExit &&
               m_process->error() != QProcess::FailedToStart;
    }

private:
    std::unique_ptr<QProcess> m_process;
};

class QtSessionChannel : public SessionChannel
{
public:
    explicit QtSessionChannel(std::unique_ptr<QProcess> process) : m_process(std::move(process))
    {
        connect(m_process.get(), &QProcess::readyReadStandardOutput, this,
                &SessionChannel::outputReady);
        connect(m_process.get(), &QProcess::finished, this, &SessionChannel::ended);
    }
    bool isRunning() const override { return m_process->state() == QProcess::Running; }
    void write(const QByteArray& bytes) override { m_process->write(bytes); }
    QByteArray readOutput() override { return m_process->readAllStandardOutput(); }
    bool waitForEnd(int ms) override { return m_process->waitForFinished(ms); }
    void kill() override { m_process->kill(); }

private:
    std::unique_ptr<QProcess> m_process;
};

// Every child is started the same way: arguments as they are, standard error discarded, and
// never outliving the program.
std::unique_ptr<QProcess> childProcess(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    return process;
}

} // namespace

MessageAnswer QtMessageBox::show(const QString& text, MessageFlags flags, const QString& title)
{
    QMessageBox box(m_owner);
    box.setWindowTitle(titleOrDefault(title));
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    const bool question = flags == MessageFlags::YesNo;
    if (question) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (flags == MessageFlags::Exclamation)
        box.setIcon(QMessageBox::Warning);
    const int answer = box.exec();
    if (question)
        return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    return MessageAnswer::Ok;
}

QString QtInputBox::ask(const QString& prompt, const QString& defaultAnswer, const QString& title)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(
        m_owner, titleOrDefault(title), displayText(prompt), QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

OpenFilesAnswer QtFileDialogs::openFiles(const QString& title, const QString& filter)
{
    QFileDialog dialog(m_owner, title, QString(), qtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    ignoreCaseInFilters(dialog);
    OpenFilesAnswer answer;
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    // Qt decodes the names it lists itself; a name that is not UTF-8 gets its bytes back.
    QStringList chosen = dialog.selectedFiles();
    for (QString& path : chosen)
        path = heldPath(path);
    if (chosen.size() == 1) {
        answer.names = chosen;
        return answer;
    }
    answer.folder = heldPath(dialog.directory().absolutePath());
    for (const QString& path : chosen)
        answer.names.append(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    return answer;
}

QString QtFileDialogs::saveFile(const QString& title, const QString& filter)
{
    QFileDialog dialog(m_owner, title, QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks about overwriting itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    ignoreCaseInFilters(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return heldPath(dialog.selectedFiles().constFirst());
}

QString QtFileDialogs::browseFolder(const QString& title, const QString& startFolder)
{
    return heldPath(QFileDialog::getExistingDirectory(m_owner, title, startFolder));
}

bool QtShell::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

bool QtClipboard::clear()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();
    return true;
}

bool QtClipboard::setText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    return true;
}

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
                                                       const QString& outputFile)
{
    std::unique_ptr<QProcess> process = childProcess(program, arguments);
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
                                                               const QStringList& arguments)
{
    std::unique_ptr<QProcess> process = childProcess(program, arguments);
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

QtPlatform::QtPlatform() : m_spreadsheet(makeSpreadsheetService()) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::setOwner(QWidget* window)
{
    m_messages.setOwner(window);
    m_input.setOwner(window);
    m_dialogs.setOwner(window);
}

Platform QtPlatform::platform()
{
    Platform p;
    p.messages = &m_messages;
    p.input = &m_input;
    p.dialogs = &m_dialogs;
    p.shell = &m_shell;
    p.clipboard = &m_clipboard;
    p.settings = &m_settings;
    p.processes = &m_processes;
    p.spreadsheet = m_spreadsheet.get();
    p.files = &m_files;
    p.events = &m_events;
    p.random = &m_random;
    p.dumpCacheFile = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                      QStringLiteral("/dumps.sqlite");
    return p;
}

} // namespace tagsifter
