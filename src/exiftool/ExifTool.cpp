#include "ExifTool.h"

#include "core/Sidecar.h"

#include "core/DumpParser.h"
#include "core/Failure.h"
#include "core/FileNameBytes.h"
#include "core/StepReport.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <utility>

namespace tagsifter {

namespace {

// About fifteen seconds between steps of the progress value.
constexpr int kPollsPerValueStep = 150;

int roundHalfToEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

ExifTool::ExifTool(const SystemServices& system, QString program)
    : m_system(system), m_program(std::move(program)), m_temp(makeTempFolder())
{
}

std::unique_ptr<QTemporaryDir> ExifTool::makeTempFolder()
{
    return std::make_unique<QTemporaryDir>(m_system.files->privateTempTemplate());
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
    return m_system.processes->findExecutable(QStringLiteral("exiftool"));
}

QString ExifTool::FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QStringList ExifTool::oneShotArguments(const QString& path)
{
    // The end line tells a whole dump from one cut short; the image's name comes on standard
    // input, as its bytes, unless a line cannot hold it.
    QStringList arguments{QStringLiteral("-echo3"), QLatin1String(kEndMarker)};
    if (fitsArgumentFile(path))
        return arguments + QStringList{QStringLiteral("-@"), QStringLiteral("-")};
    if (isSidecarRowsKey(path))
        arguments += sidecarArguments();
    return arguments + QStringList{QStringLiteral("--"), fileOfKey(path)};
}

bool ExifTool::fitsArgumentFile(const QString& path)
{
    return !path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r'));
}

QByteArray ExifTool::argumentLine(const QString& path)
{
    // An absolute path cannot be mistaken for an option or a comment; white space at the end
    // of a line is kept as part of the name.
    QByteArray raw = encodeFileName(fileOfKey(path));
    if (!raw.startsWith('/'))
        raw.prepend("./");
    // A sidecar's XMP rows: its version line (which files the dump), what kept exiftool from
    // reading it, and its XMP tags.
    if (isSidecarRowsKey(path))
        raw.prepend(sidecarArguments().join(QLatin1Char('\n')).toUtf8() + '\n');
    return raw;
}

QStringList ExifTool::sidecarArguments()
{
    return {QStringLiteral("-ExifToolVersion"), QStringLiteral("-Error"),
            QStringLiteral("-XMP:All")};
}

QString ExifTool::workingFolder() const
{
    return m_temp->isValid() ? m_temp->path() : QStringLiteral("/");
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

QString ExifTool::DumpMetadata(const QString& path, DumpProgress progress, StepReport* report)
{
    // Each step under its own line of the caller's report; without one, a failure propagates.
    const auto line = [report](int number, const auto& statement) {
        if (report)
            report->runStep(number, statement);
        else
            statement();
    };
    const auto test = [report](int number, const auto& condition) {
        return report ? report->testStep(number, condition) : condition();
    };
    resetStartFailed();
    // Removing the old files and waiting for exiftool both let the event loop run.
    progress.beforeWait();
    if (test(132, [&] { return m_system.files->pathExists(scriptFile()); }))
        line(134, [&] { RemoveFile(scriptFile()); });
    if (test(136, [&] { return m_system.files->pathExists(dumpFile()); }))
        line(138, [&] { RemoveFile(dumpFile()); });
    QString program;
    QByteArray input;
    line(140, [&] { program = EnsureExifTool(); });
    if (program.isEmpty()) {
        m_startFailed = true;
        return QString();
    }
    line(142, [&] {
        if (fitsArgumentFile(path))
            input = argumentLine(path) + '\n';
    });
    // exiftool is started directly, so there is no script to write: line 144 makes the file
    // its output goes to. One that cannot be made is said as such, not as a missing exiftool.
    bool writable = false;
    line(144, [&] {
        QFile output(dumpFile());
        if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw Failure(QStringLiteral("The output file cannot be opened: %1: %2")
                              .arg(dumpFile(), output.errorString()));
        writable = true;
    });
    if (!writable)
        return QString();
    int exitCode = 0;
    line(146, [&] {
        exitCode =
            RunAndWait(program, oneShotArguments(path), input, dumpFile(), std::move(progress));
    });
    if (exitCode == kStartFailed)
        m_startFailed = true;
    if (!test(148, [&] { return m_system.files->pathExists(dumpFile()); }))
        return QString();
    QString dump;
    line(150, [&] { dump = ReadWholeFile(dumpFile()); });
    // Only an exiftool that exited by itself and wrote its end line has written its output
    // whole; a dump cut short (killed, silent, a full disk) gives no rows and is not kept.
    const QString endLine = QLatin1String(kEndMarker) + QLatin1Char('\n');
    m_complete = m_exitedNormally && dump.endsWith(endLine);
    // exiftool writes its end line after any file, even one it cannot read: an exiftool that
    // ends by itself with a failure status and without it could not work at all.
    if (m_exitedNormally && exitCode != 0 && !m_complete && !m_stopped)
        m_toolError =
            m_errorLine.isEmpty() ? QStringLiteral("exit status %1").arg(exitCode) : m_errorLine;
    if (!m_complete)
        return QString();
    dump.chop(endLine.size());
    return dump;
}

void ExifTool::removeTempFiles()
{
    // Without a temp folder there is nothing in it to remove.
    if (m_temp->isValid() && m_system.files->pathExists(dumpFile()))
        RemoveFile(dumpFile());
}

int ExifTool::RunAndWait(const QString& program, const QStringList& arguments,
                         const QByteArray& input, const QString& outputFile, DumpProgress progress)
{
    std::unique_ptr<ProcessHandle> process =
        m_system.processes->start(program, arguments, input, outputFile, workingFolder());
    if (!process)
        return kStartFailed;
    m_stopped = false;
    m_exitedNormally = false;
    m_unanswered = false;
    int polls = 0;
    int pollsAfterStop = 0;
    int silentPolls = 0;
    qint64 written = 0;
    for (;;) {
        m_system.events->yield();
        const bool ended = process->waitForEnd(kPollMs);
        if (!ended)
            progress.showStart();
        m_system.events->yield();
        progress.showWait(++polls);
        m_system.events->yield();
        if (ended) {
            m_exitedNormally = process->exitedNormally();
            break;
        }
        // The limit counts from exiftool's last output, so a slow dump that is still being
        // written goes on.
        const qint64 size = m_system.files->stamp(outputFile).size;
        silentPolls = size != written ? 0 : silentPolls + 1;
        written = size;
        if (silentPolls >= kSilencePolls) {
            process->kill();
            m_unanswered = true;
            break;
        }
        // After a stop request the image in progress may still finish within the grace time;
        // an exiftool that has not answered by then is ended, so a hung one cannot hold the run.
        if (m_stopRequested && m_stopRequested() && ++pollsAfterStop > kStopGracePolls) {
            process->kill();
            m_stopped = true;
            break;
        }
    }
    progress.endWait();
    m_errorLine = process->errorLine();
    return process->exitCode();
}

QString ExifTool::ReadWholeFile(const QString& path) const
{
    if (!m_system.files->pathExists(path))
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: %2").arg(file.errorString(), path));
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return QStringLiteral("empty file");
    return decodeDump(bytes);
}

void ExifTool::RemoveFile(const QString& path)
{
    m_system.events->yield();
    if (!m_system.files->removeFile(path))
        m_system.files->forceRemoveFile(path);
}

} // namespace tagsifter
