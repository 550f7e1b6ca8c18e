#pragma once

#include "core/Process.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace tagsifter::test {

/// How a scripted exiftool answers for one image.
struct ScriptedAnswer
{
    /// What it prints for the image.
    QByteArray output;
    /// One-shot reads: the polls it takes before it ends.
    int polls = 0;
    /// Never answers until it is killed.
    bool hang = false;
    /// A session ends instead of answering.
    bool die = false;
    /// A session answers this many milliseconds after the request, in `pieces` pieces that
    /// each come that long after the one before.
    int delayMs = 0;
    int pieces = 1;
    /// A one-shot read leaves a folder where its output file belongs.
    bool folderOutput = false;
    /// A one-shot read ends without its end line, as when its output was cut short.
    bool cutShort = false;
};

/// Processes that run no program: every exiftool, one-shot or session, answers as the test
/// scripts it, at once and without a clock. A session speaks the stay-open protocol.
class ScriptedProcesses : public ProcessService
{
public:
    using Script = std::function<ScriptedAnswer(const QString& path)>;

    QString findExecutable(const QString& name) const override;
    std::unique_ptr<ProcessHandle> start(const QString& program, const QStringList& arguments,
                                         const QByteArray& input, const QString& outputFile,
                                         const QString& workingDirectory) override;
    std::unique_ptr<SessionChannel> startSession(const QString& program,
                                                 const QStringList& arguments,
                                                 const QString& workingDirectory,
                                                 Priority priority = Priority::Normal) override;

    Script oneShot = [](const QString&) { return ScriptedAnswer(); };
    Script session = [](const QString&) { return ScriptedAnswer(); };
    /// Called as each one-shot exiftool starts, with the image it reads.
    std::function<void(const QString& path)> onStart;
    /// Called as a session is asked for an image.
    std::function<void(const QString& path)> onRequest;
    /// Sessions stay when asked to leave, until they are killed.
    bool sessionsIgnoreLeave = false;
    /// The working folder each process was started in.
    QStringList workingDirectories;
    /// The priority each session was started with, in order.
    QList<Priority> sessionPriorities;
    int oneShotStarts = 0;
    int sessionStarts = 0;
    /// Times anything waited for a session to end.
    int sessionWaits = 0;
    int sessionsKilled = 0;
    /// One-shot exiftools that were killed before they ended.
    int killed = 0;
};

} // namespace tagsifter::test
