#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace tagsifter {

/// A started process that the program waits for.
class ProcessHandle
{
public:
    virtual ~ProcessHandle() = default;
    /// Waits up to `ms` milliseconds, keeping the event loop running; true once it has ended.
    virtual bool waitForEnd(int ms) = 0;
    virtual bool hasEnded() const = 0;
    virtual void kill() = 0;
    virtual int exitCode() const = 0;
    /// True when it ended by itself, not by a signal.
    virtual bool exitedNormally() const = 0;
    /// The first line it wrote on its standard error (what a program that cannot work says
    /// first); empty when it wrote none.
    virtual QString errorLine() const { return QString(); }
};

/// A long-lived process talked to over its standard input and output.
class SessionChannel : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool isRunning() const = 0;
    virtual void write(const QByteArray& bytes) = 0;
    /// The output that arrived since the last call.
    virtual QByteArray readOutput() = 0;
    /// Waits up to `ms` milliseconds for the process to end by itself; true once it has.
    virtual bool waitForEnd(int ms) = 0;
    virtual void kill() = 0;

signals:
    /// New output can be read.
    void outputReady();
    /// The process has ended.
    void ended();
};

/// Starts processes directly, each argument passed as it is, never through a shell line.
class ProcessService
{
public:
    virtual ~ProcessService() = default;
    /// Full path of `name` on the search path, or the empty text.
    virtual QString findExecutable(const QString& name) const = 0;
    /// Starts `program` with `arguments`, `input` on its standard input and its standard
    /// output written to `outputFile`, in `workingDirectory`. Returns null when the process
    /// could not be started. It and whatever it starts die with the program.
    virtual std::unique_ptr<ProcessHandle> start(const QString& program,
                                                 const QStringList& arguments,
                                                 const QByteArray& input, const QString& outputFile,
                                                 const QString& workingDirectory) = 0;
    /// How much of the machine a session may take from other programs.
    enum class Priority {
        Normal,
        /// Below the programs the user works with: reading ahead while nobody waits for it.
        Background,
    };
    /// Starts a long-lived `program` in `workingDirectory` that is talked to over its standard
    /// input and output; its standard error is discarded. It and whatever it starts die with
    /// the program, and a kill ends them all. Null when it cannot start.
    virtual std::unique_ptr<SessionChannel> startSession(const QString& program,
                                                         const QStringList& arguments,
                                                         const QString& workingDirectory,
                                                         Priority priority = Priority::Normal) = 0;
};

} // namespace tagsifter
