#pragma once

#include "DumpProgress.h"
#include "core/SystemServices.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tagsifter {

class StepReport;

/// Runs exiftool for one image at a time and reads its text output. Its files live in a
/// private temp folder of this process, removed when the program ends.
class ExifTool
{
public:
    /// `program` names the exiftool to run; empty means the one on the search path.
    explicit ExifTool(const SystemServices& system, QString program = QString());
    ~ExifTool();
    Q_DISABLE_COPY_MOVE(ExifTool)

    /// How often a wait for exiftool looks whether it is done, in milliseconds.
    static constexpr int kPollMs = 100;
    /// The line exiftool prints once it is done with an image.
    static constexpr const char* kEndMarker = "{ready}";
    /// About five seconds of polls before the progress text says to wait.
    static constexpr int kPollsBeforeWaitText = 50;
    /// An exiftool that writes nothing for this many polls (30 s) is ended.
    static constexpr int kSilencePolls = 300;
    /// How long an image in progress may still take after a stop request, in polls.
    static constexpr int kStopGracePolls = 20;
    /// Exit code of RunAndWait when the process could not be started.
    static constexpr int kStartFailed = -2147221504 + 53;

    /// The exiftool to run, or the empty text when none can be found.
    QString EnsureExifTool();
    /// The dump text of the image at `path`, or the empty text when there is none.
    /// Afterwards startFailed() tells whether exiftool could not be started at all.
    /// With `report`, each step's failure is reported at its own line and the next step runs.
    QString DumpMetadata(const QString& path, DumpProgress progress, StepReport* report = nullptr);
    /// Removes the temp files of the image just read.
    void removeTempFiles();
    bool startFailed() const { return m_startFailed; }
    /// What exiftool said when the last one-shot run ended by itself without finishing its
    /// output (an exiftool that cannot work: "Can't locate Image/ExifTool.pm in @INC"); empty
    /// after any other run.
    const QString& toolError() const { return m_toolError; }
    /// True when the last one-shot run was ended because exiftool stayed silent.
    bool wasUnanswered() const { return m_unanswered; }
    /// Forgets what the last run said of exiftool itself.
    void resetStartFailed()
    {
        m_startFailed = false;
        m_toolError.clear();
        m_unanswered = false;
    }
    /// True when the last image was ended by a stop request before exiftool finished.
    bool wasStopped() const { return m_stopped; }
    /// True when exiftool wrote the last image's dump whole: it exited by itself and its end
    /// line is there. Only such a dump may be kept.
    bool wasComplete() const { return m_complete; }

    /// Starts `program` with `arguments` and `input` on its standard input (output to
    /// `outputFile`), waits for its end while the window stays alive, and returns its exit
    /// code. A stop request ends the process.
    int RunAndWait(const QString& program, const QStringList& arguments, const QByteArray& input,
                   const QString& outputFile, DumpProgress progress);

    /// Asked on every poll; a true answer ends the process being waited for.
    void setStopRequest(std::function<bool()> stopRequested);
    bool stopRequested() const { return m_stopRequested && m_stopRequested(); }

    QString tempFolder() const;
    /// Where exiftool runs: the private temp folder, never a folder being searched (exiftool
    /// may load a configuration file from its working folder); "/" when there is none.
    QString workingFolder() const;
    /// Removes the temp folder and everything in it.
    void removeTempFolder() { m_temp->remove(); }
    QString dumpFile() const { return tempFolder() + QLatin1String("/dump.txt"); }
    /// A batch file of this name is never written here; one left in the folder is removed.
    QString scriptFile() const { return tempFolder() + QLatin1String("/dump.bat"); }

    /// The whole file as UTF-8 text; the empty text when it does not exist, "empty file"
    /// when it has no bytes.
    QString ReadWholeFile(const QString& path) const;
    /// Deletes the file, forcing it when needed; never fails.
    void RemoveFile(const QString& path);

    /// The characters after the last "/" (the whole path when it has none).
    static QString FileNameOf(const QString& path);
    /// The arguments of a one-shot exiftool for `path`: the end line, and the image's name on
    /// standard input as an argument-file line, or after "--" when no such line can carry it.
    static QStringList oneShotArguments(const QString& path);
    /// True when a line of exiftool's argument file can name `path` exactly: it holds no line
    /// break. (exiftool's escaped form would change "$" and "@".)
    static bool fitsArgumentFile(const QString& path);
    /// The argument-file line that names `path`, which fitsArgumentFile.
    /// What exiftool is asked for a sidecar's XMP rows, before its name.
    static QStringList sidecarArguments();
    static QByteArray argumentLine(const QString& path);
    /// The progress text while exiftool takes long, after `polls` polls of 100 ms.
    static QString waitText(const QString& progressText, int polls);
    /// The progress value during a long wait, or -1 when this poll does not move it.
    static int waitValue(int polls, int progressValue, int total);

private:
    std::unique_ptr<QTemporaryDir> makeTempFolder();

    SystemServices m_system;
    QString m_program;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::function<bool()> m_stopRequested;
    bool m_startFailed = false;
    bool m_stopped = false;
    bool m_exitedNormally = false;
    bool m_complete = false;
    bool m_unanswered = false;
    QString m_toolError;
    /// The first line of standard error of the last run.
    QString m_errorLine;
};

} // namespace tagsifter
