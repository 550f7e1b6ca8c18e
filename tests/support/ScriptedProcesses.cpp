#include "ScriptedProcesses.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <deque>

namespace tagsifter::test {

namespace {

class ScriptedHandle : public ProcessHandle
{
public:
    ScriptedHandle(ScriptedProcesses& owner, ScriptedAnswer answer, QString outputFile)
        : m_owner(owner), m_answer(std::move(answer)), m_outputFile(std::move(outputFile))
    {
        if (!m_answer.hang && m_answer.polls == 0)
            end();
    }
    bool waitForEnd(int) override
    {
        if (!m_ended && !m_answer.hang && --m_answer.polls <= 0)
            end();
        return m_ended;
    }
    bool hasEnded() const override { return m_ended; }
    void kill() override
    {
        if (!m_ended)
            ++m_owner.killed;
        m_ended = true;
        m_killed = true;
    }
    int exitCode() const override { return 0; }
    bool exitedNormally() const override { return m_ended && !m_killed; }

private:
    void end()
    {
        m_ended = true;
        if (m_answer.folderOutput) {
            QFile::remove(m_outputFile);
            QDir().mkpath(m_outputFile);
            return;
        }
        QFile file(m_outputFile);
        if (file.open(QIODevice::WriteOnly))
            file.write(m_answer.output + (m_answer.cutShort ? "" : "{ready}\n"));
    }
    ScriptedProcesses& m_owner;
    ScriptedAnswer m_answer;
    QString m_outputFile;
    bool m_ended = false;
    bool m_killed = false;
};

class ScriptedChannel : public SessionChannel
{
public:
    explicit ScriptedChannel(ScriptedProcesses& owner) : m_owner(owner) {}
    bool isRunning() const override { return m_running; }
    void write(const QByteArray& bytes) override
    {
        m_input += bytes;
        qsizetype end;
        while ((end = m_input.indexOf('\n')) >= 0) {
            const QByteArray line = m_input.left(end);
            m_input.remove(0, end + 1);
            handle(line);
        }
    }
    QByteArray readOutput() override { return std::exchange(m_output, QByteArray()); }
    bool waitForEnd(int) override
    {
        ++m_owner.sessionWaits;
        return !m_running;
    }
    void kill() override
    {
        if (m_running)
            ++m_owner.sessionsKilled;
        endSoon();
    }

private:
    struct Command
    {
        QList<QByteArray> paths;
        QByteArray sequence;
    };

    void handle(const QByteArray& line)
    {
        if (line == "False") {
            if (!m_owner.sessionsIgnoreLeave)
                endSoon();
        } else if (line.startsWith("-execute")) {
            QList<QByteArray> paths = std::exchange(m_paths, {});
            if (std::exchange(m_module, false))
                paths.clear();
            m_asked.push_back({paths, line.mid(8)});
            if (!m_working)
                answerNext();
        } else if (line == "-use") {
            // A module loaded: the next line names it, and the command answers with its end
            // line alone.
            m_module = true;
            m_moduleName = true;
        } else if (std::exchange(m_moduleName, false)) {
            return;
        } else if (!line.startsWith('-')) {
            m_paths.append(line);
        }
    }
    // Like exiftool, one request at a time, in the order written; the images of a request of
    // several one after the other, each headed by its name.
    void answerNext()
    {
        if (m_asked.empty() || !m_running)
            return;
        m_working = true;
        const Command command = m_asked.front();
        m_asked.pop_front();
        if (command.paths.isEmpty()) {
            QTimer::singleShot(0, this, [this, marker = "{ready" + command.sequence + "}\n"] {
                if (!m_running)
                    return;
                m_output += marker;
                emit outputReady();
                m_working = false;
                answerNext();
            });
            return;
        }
        answerImage(command, 0);
    }
    void answerImage(const Command& command, int index)
    {
        const QByteArray& line = command.paths.at(index);
        const QString path = QFile::decodeName(line.startsWith("./") ? line.mid(2) : line);
        if (m_owner.onRequest)
            m_owner.onRequest(path);
        const ScriptedAnswer answer = m_owner.session(path);
        if (answer.die) {
            endSoon();
            return;
        }
        if (answer.hang)
            return;
        const bool several = command.paths.size() > 1;
        const bool last = index == command.paths.size() - 1;
        QByteArray text = (several ? "======== " + line + "\n" : QByteArray()) + answer.output;
        if (several) {
            // exiftool writes a command's text in blocks of 8 KB and at its end: what is not
            // written yet is lost when exiftool ends.
            m_held += text;
            if (last)
                m_held += "    " + QByteArray::number(command.paths.size()) + " image files read\n";
            text = last || m_held.size() >= 8192 ? std::exchange(m_held, {}) : QByteArray();
        }
        if (last)
            text += "{ready" + command.sequence + "}\n";
        const int pieces = std::max(1, answer.pieces);
        const qsizetype size = (text.size() + pieces - 1) / pieces;
        for (int i = 0; i < pieces; ++i) {
            QTimer::singleShot(answer.delayMs * (i + 1), this,
                               [this, command, index, last, piece = text.mid(i * size, size),
                                end = i == pieces - 1] {
                                   if (!m_running)
                                       return;
                                   m_output += piece;
                                   emit outputReady();
                                   if (!end)
                                       return;
                                   if (!last) {
                                       answerImage(command, index + 1);
                                       return;
                                   }
                                   m_working = false;
                                   answerNext();
                               });
        }
    }
    void endSoon()
    {
        if (!m_running)
            return;
        m_running = false;
        m_held.clear();
        QTimer::singleShot(0, this, [this] { emit ended(); });
    }
    ScriptedProcesses& m_owner;
    QByteArray m_input, m_output, m_held;
    QList<QByteArray> m_paths;
    std::deque<Command> m_asked;
    bool m_running = true;
    bool m_working = false;
    bool m_module = false;
    bool m_moduleName = false;
};

} // namespace

QString ScriptedProcesses::findExecutable(const QString&) const
{
    return QStringLiteral("/scripted/exiftool");
}

std::unique_ptr<ProcessHandle>
ScriptedProcesses::start(const QString&, const QStringList& arguments, const QByteArray& input,
                         const QString& outputFile, const QString& workingDirectory)
{
    ++oneShotStarts;
    workingDirectories.append(workingDirectory);
    // The image is named on standard input, or after "--".
    QByteArray line = input;
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.startsWith("./"))
        line.remove(0, 2);
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    const QString path = dashes >= 0 ? arguments.value(dashes + 1) : decodeFileName(line);
    if (onStart)
        onStart(path);
    return std::make_unique<ScriptedHandle>(*this, oneShot(path), outputFile);
}

std::unique_ptr<SessionChannel> ScriptedProcesses::startSession(const QString&, const QStringList&,
                                                                const QString& workingDirectory,
                                                                Priority priority)
{
    ++sessionStarts;
    sessionPriorities.append(priority);
    workingDirectories.append(workingDirectory);
    return std::make_unique<ScriptedChannel>(*this);
}

} // namespace tagsifter::test
