#include "SessionPool.h"

#include "exiftool/ToolIdentity.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace tagsifter {

SessionPool::SessionPool(const SystemServices& system, std::function<QString()> workingFolder,
                         int limit, QObject* parent)
    : QObject(parent), m_system(system), m_workingFolder(std::move(workingFolder)), m_limit(limit)
{
}

SessionPool::~SessionPool()
{
    closeAll();
}

bool SessionPool::isAsked(const QString& path) const
{
    return std::any_of(m_sessions.begin(), m_sessions.end(),
                       [&](const auto& session) { return session->isAsked(path); });
}

void SessionPool::dropEnded()
{
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [](const auto& s) { return !s->isAlive(); }),
                     m_sessions.end());
}

void SessionPool::closeBusy()
{
    for (auto& session : m_sessions) {
        if (session->isBusy())
            session->close();
    }
    dropEnded();
}

void SessionPool::closeAll()
{
    for (auto& session : m_sessions)
        session->close();
    m_sessions.clear();
}

ExifSession* SessionPool::free(const QString& program, bool background)
{
    dropEnded();
    for (auto& session : m_sessions) {
        if (!session->isBusy())
            return session.get();
    }
    if (start(program, background))
        return m_sessions.back().get();
    const auto least =
        std::min_element(m_sessions.begin(), m_sessions.end(),
                         [](const auto& a, const auto& b) { return a->load() < b->load(); });
    return least != m_sessions.end() && (*least)->load() < kDepth ? least->get() : nullptr;
}

bool SessionPool::start(const QString& program, bool background)
{
    if (static_cast<int>(m_sessions.size()) >= m_limit)
        return false;
    // What the session prints depends on the configuration it loads as it starts: its answers
    // are filed under that one, whatever changes later.
    const QString folder = m_workingFolder();
    const QString configStamp = ToolIdentity::configStamp(*m_system.files, program, folder);
    std::unique_ptr<SessionChannel> channel = m_system.processes->startSession(
        program,
        {QStringLiteral("-stay_open"), QStringLiteral("True"), QStringLiteral("-@"),
         QStringLiteral("-")},
        folder,
        background ? ProcessService::Priority::Background : ProcessService::Priority::Normal);
    if (!channel)
        return false;
    auto session = std::make_unique<ExifSession>(std::move(channel));
    // Each image's Composite tags in one order, whichever session reads it after whatever.
    session->preload(ExifSession::compositeModules());
    connect(session.get(), &ExifSession::finished, this,
            [this, program, configStamp](const QString& path, const FileStamp& stamp,
                                         const QString& dump) {
                emit answered(program, configStamp, path, stamp, dump);
            });
    connect(session.get(), &ExifSession::died, this,
            [this, program](const QString& path, const QStringList& unanswered) {
                emit died(program, path, unanswered);
            });
    m_sessions.push_back(std::move(session));
    return true;
}

void SessionPool::endHung(int hangMs, const std::function<void(const QString& path)>& hung)
{
    for (auto& session : m_sessions) {
        if (session->silentMs() > hangMs) {
            hung(session->reading());
            session->abort();
        }
    }
}

void SessionPool::waitForAny(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    for (auto& session : m_sessions) {
        connect(session.get(), &ExifSession::finished, &loop, &QEventLoop::quit);
        connect(session.get(), &ExifSession::died, &loop, &QEventLoop::quit);
    }
    loop.exec();
}

} // namespace tagsifter
