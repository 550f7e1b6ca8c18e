#pragma once

#include "core/FileStamp.h"
#include "core/SystemServices.h"
#include "exiftool/ExifSession.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace tagsifter {

/// exiftool's stay-open sessions, up to a limit (one per core): started when a request needs
/// one, each with the modules that add Composite tags loaded first, so that an image's rows
/// come in one order whichever session reads it; each answer and each death handed on.
class SessionPool : public QObject
{
    Q_OBJECT
public:
    /// Sessions run in the folder `workingFolder` names as each starts, at most `limit` at once.
    SessionPool(const SystemServices& system, std::function<QString()> workingFolder, int limit,
                QObject* parent = nullptr);
    ~SessionPool() override;

    /// Requests written to a session before its first is answered.
    static constexpr int kDepth = 2;
    int limit() const { return m_limit; }
    int count() const { return static_cast<int>(m_sessions.size()); }
    bool isEmpty() const { return m_sessions.empty(); }
    /// True when a session has been asked for `path` and has not answered yet.
    bool isAsked(const QString& path) const;
    /// An idle session, else a new one of `program` when the limit allows, else the least busy
    /// one that can take another request; null when none can. `background` sessions run below
    /// the programs the user works with, for their whole life.
    ExifSession* free(const QString& program, bool background);
    /// Starts one more session of `program`; false when the limit is reached or it cannot
    /// start.
    bool start(const QString& program, bool background);
    /// Ends the sessions that are still reading (their answers are no longer wanted).
    void closeBusy();
    /// Ends every session (they start again when needed).
    void closeAll();
    /// Ends the sessions that have written nothing for over `hangMs` while asked for an
    /// image, telling `hung` which image each was reading.
    void endHung(int hangMs, const std::function<void(const QString& path)>& hung);
    /// Keeps the event loop running until a session answers or dies, or `ms` have passed.
    void waitForAny(int ms);

signals:
    /// A session of `program` answered for `path`, read when it had `stamp`, with exiftool's
    /// configuration of `configStamp` loaded.
    void answered(const QString& program, const QString& configStamp, const QString& path,
                  const FileStamp& stamp, const QString& dump);
    /// A session of `program` ended while reading `path`; `unanswered` were asked after it.
    void died(const QString& program, const QString& path, const QStringList& unanswered);

private:
    /// Forgets the sessions that have ended or were closed.
    void dropEnded();

    SystemServices m_system;
    std::function<QString()> m_workingFolder;
    int m_limit;
    std::vector<std::unique_ptr<ExifSession>> m_sessions;
};

} // namespace tagsifter
