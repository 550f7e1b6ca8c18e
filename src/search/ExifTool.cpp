#include "ExifTool.h"

#include "platform/Failure.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>

#include <cmath>
#include <utility>

namespace tagsifter {

namespace {

constexpr int kPollMs = 100;
// About five seconds of polls before the progress text says to wait, and about fifteen
// between steps of the progress value.
constexpr int kPollsBeforeWaitText = 50;
constexpr int kPollsPerValueStep = 150;

int roundHalfToEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

ExifTool::ExifTool(const Platform& platform, QString program)
    : m_platform(platform), m_program(std::move(program)),
      m_temp(std::make_unique<QTemporaryDir>(QDir::tempPath()
                                             + QLatin1String("/tagsifter-XXXXXX")))
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
    return progressText + (progressText.isEmpty() ? QString() : QStringLiteral(", "))
           + QLatin1String("Please wait.. ") + QString::number(polls - kPollsBeforeWaitText);
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

QString ExifTool::DumpMetadata(const QString& path, const DumpProgress& progress)
{
    m_startFailed = false;
    if (m_platform.files->pathExists(scriptFile()))
        RemoveFile(scriptFile());
    if (m_platform.files->pathExists(dumpFile()))
        RemoveFile(dumpFile());
    const QString program = EnsureExifTool();
    if (program.isEmpty()) {
        m_startFailed = true;
        return QString();
    }
    const int exitCode = RunAndWait(program, argumentsFor(path), dumpFile(), progress);
    if (exitCode == kStartFailed)
        m_startFailed = true;
    if (!m_platform.files->pathExists(dumpFile()))
        return QString();
    return ReadWholeFile(dumpFile());
}

void ExifTool::removeTempFiles()
{
    if (m_platform.files->pathExists(scriptFile()))
        RemoveFile(scriptFile());
    if (m_platform.files->pathExists(dumpFile()))
        RemoveFile(dumpFile());
}

int ExifTool::RunAndWait(const QString& program, const QStringList& arguments,
                         const QString& outputFile, const DumpProgress& progress)
{
    std::unique_ptr<ProcessHandle> process =
        m_platform.processes->start(program, arguments, outputFile);
    if (!process)
        return kStartFailed;
    m_stopped = false;
    int polls = 0;
    for (;;) {
        m_platform.events->yield();
        const bool ended = process->waitForEnd(kPollMs);
        if (progress.bar) {
            m_platform.events->yield();
            ++polls;
            if (polls >= kPollsBeforeWaitText) {
                progress.bar->setFormat(waitText(progress.text, polls));
                const int value = waitValue(polls, progress.value, progress.total);
                if (value >= 0)
                    progress.bar->setValue(qBound(0, value, progress.bar->maximum()));
                m_platform.events->yield();
            }
        }
        m_platform.events->yield();
        if (ended)
            break;
        // A stop request ends the image in progress too: a hung exiftool cannot hold the run.
        if (m_stopRequested && m_stopRequested()) {
            process->kill();
            m_stopped = true;
            break;
        }
    }
    if (progress.bar)
        progress.bar->setFormat(progress.text.isEmpty() ? QStringLiteral("Progress Bar")
                                                        : progress.text);
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
        ForceDeleteFile(path);
}

bool ExifTool::ForceDeleteFile(const QString& path)
{
    return m_platform.files->forceRemoveFile(path);
}

void ExifTool::WriteTextToFile(const QString& text, const QString& path)
{
    if (m_platform.files->pathExists(path) && !m_platform.files->removeFile(path))
        throw Failure(QStringLiteral("Permission denied: %1").arg(path),
                      ErrorCode::PermissionDenied);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
}

void ExifTool::WriteBytesToFile(const QByteArray& bytes, const QString& path)
{
    m_platform.events->yield();
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(0) || file.write(bytes) != bytes.size())
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
}

} // namespace tagsifter
