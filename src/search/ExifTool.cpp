#include "ExifTool.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <utility>

namespace tagsifter {

namespace {

// About five seconds of polls before the progress text says to wait, and about fifteen
// between steps of the progress value.
constexpr int kPollsBeforeWaitText = 50;
constexpr int kPollsPerValueStep = 150;

int roundHalfToEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

DumpProgress::DumpProgress(SearchView* view, QString text, int value, int total)
    : m_view(view), m_text(std::move(text)), m_value(value), m_total(total), m_shownValue(value)
{
}

void DumpProgress::showWait(int polls)
{
    if (!m_view || polls < kPollsBeforeWaitText)
        return;
    const int value = ExifTool::waitValue(polls, m_value, m_total);
    if (value >= 0)
        m_shownValue = qBound(0, value, 100);
    m_view->showProgress(m_shownValue, ExifTool::waitText(m_text, polls));
    m_waitShown = true;
}

void DumpProgress::endWait()
{
    if (m_view && m_waitShown)
        m_view->showProgress(m_shownValue, m_text.isEmpty() ? SearchView::idleText() : m_text);
    m_waitShown = false;
}

ExifTool::ExifTool(const Platform& platform, QString program)
    : m_platform(platform), m_program(std::move(program)),
      m_temp(std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1String("/tagsifter-XXXXXX")))
{
}

ExifTool::~ExifTool() = default;

void ExifTool::setStopRequest(std::function<bool()> stopRequested)
{
    m_stopRequested = std::move(stopRequested);
}

QString ExifTool::tempFolder() const
{
    if (!m_temp->isValid())
        throw Failure(QStringLiteral("The temporary folder could not be created: %1")
                          .arg(m_temp->errorString()));
    return m_temp->path();
}

QString ExifTool::EnsureExifTool()
{
    if (!m_program.isEmpty())
        return QFile::exists(m_program) ? m_program : QString();
    return m_platform.processes->findExecutable(QStringLiteral("exiftool"));
}

QString ExifTool::FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QStringList ExifTool::argumentsFor(const QString& path)
{
    // A relative name starting with "-" would be read as an option.
    if (path.startsWith(QLatin1Char('-')))
        return {QStringLiteral("./") + path};
    return {path};
}

QString ExifTool::waitText(const QString& progressText, int polls)
{
    return progressText + (progressText.isEmpty() ? QString() : QStringLiteral(", ")) +
           QLatin1String("Please wait.. ") + QString::number(polls - kPollsBeforeWaitText);
}

int ExifTool::waitValue(int polls, int progressValue, int total)
{
    const int waited = polls - kPollsBeforeWaitText;
    if (waited < 0 || waited % kPollsPerValueStep != 0 || total <= 0)
        return -1;
    const int step = roundHalfToEven(100.0 / total / 10.0);
    const int limit = roundHalfToEven(100.0 / total + progressValue - step);
    const double v = static_cast<double>(waited) / kPollsPerValueStep * step + progressValue;
    return v >= limit ? limit : roundHalfToEven(v);
}

QString ExifTool::DumpMetadata(const QString& path, DumpProgress progress, ErrorReport* report)
{
    // Each step under its own line of the caller's report; without one, a failure propagates.
    const auto line = [report](int number, const auto& statement) {
        if (report)
            report->line(number, statement);
        else
            statement();
    };
    const auto test = [report](int number, const auto& condition) {
        return report ? report->condition(number, condition) : condition();
    };
    m_startFailed = false;
    if (test(132, [&] { return m_platform.files->pathExists(scriptFile()); }))
        line(134, [&] { RemoveFile(scriptFile()); });
    if (test(136, [&] { return m_platform.files->pathExists(dumpFile()); }))
        line(138, [&] { RemoveFile(dumpFile()); });
    QString program;
    QStringList arguments;
    line(140, [&] { program = EnsureExifTool(); });
    if (program.isEmpty()) {
        m_startFailed = true;
        return QString();
    }
    line(142, [&] { arguments = argumentsFor(path); });
    // exiftool is started directly, so there is no script to write (line 144).
    int exitCode = 0;
    line(146, [&] { exitCode = RunAndWait(program, arguments, dumpFile(), std::move(progress)); });
    if (exitCode == kStartFailed)
        m_startFailed = true;
    if (!test(148, [&] { return m_platform.files->pathExists(dumpFile()); }))
        return QString();
    QString dump;
    line(150, [&] { dump = ReadWholeFile(dumpFile()); });
    return dump;
}

void ExifTool::removeTempFiles()
{
    if (m_platform.files->pathExists(dumpFile()))
        RemoveFile(dumpFile());
}

int ExifTool::RunAndWait(const QString& program, const QStringList& arguments,
                         const QString& outputFile, DumpProgress progress)
{
    std::unique_ptr<ProcessHandle> process =
        m_platform.processes->start(program, arguments, outputFile);
    if (!process)
        return kStartFailed;
    m_stopped = false;
    int polls = 0;
    int pollsAfterStop = 0;
    for (;;) {
        m_platform.events->yield();
        const bool ended = process->waitForEnd(kPollMs);
        m_platform.events->yield();
        progress.showWait(++polls);
        m_platform.events->yield();
        if (ended)
            break;
        // After a stop request the image in progress may still finish within the grace time;
        // an exiftool that has not answered by then is ended, so a hung one cannot hold the run.
        if (m_stopRequested && m_stopRequested() && ++pollsAfterStop > kStopGracePolls) {
            process->kill();
            m_stopped = true;
            break;
        }
    }
    progress.endWait();
    return process->exitCode();
}

QString ExifTool::ReadWholeFile(const QString& path) const
{
    if (!m_platform.files->pathExists(path))
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return QStringLiteral("empty file");
    return QString::fromUtf8(bytes);
}

void ExifTool::RemoveFile(const QString& path)
{
    m_platform.events->yield();
    if (!m_platform.files->removeFile(path))
        m_platform.files->forceRemoveFile(path);
}

} // namespace tagsifter
