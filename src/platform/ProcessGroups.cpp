#include "ProcessGroups.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tagsifter::ProcessGroups {

namespace {

int g_lifeline = -1;
std::mutex g_mutex;

// The watcher: it reads group numbers (positive: watch, negative: forget) until the program's
// end of the socket closes, then ends every group it holds. It runs in a forked copy of a
// program with threads, so it uses nothing but system calls, and no memory of the heap.
[[noreturn]] void watcher(int readEnd)
{
    ::setsid();
    ::dup2(readEnd, STDIN_FILENO);
    ::close_range(1, ~0U, 0);
    constexpr int kMax = 4096;
    static pid_t groups[kMax];
    int count = 0;
    for (;;) {
        std::int32_t message = 0;
        const ssize_t got = ::read(STDIN_FILENO, &message, sizeof message);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != static_cast<ssize_t>(sizeof message))
            break;
        if (message > 0 && count < kMax) {
            groups[count++] = message;
        } else if (message < 0) {
            for (int i = 0; i < count; ++i) {
                if (groups[i] == -message) {
                    groups[i] = groups[--count];
                    break;
                }
            }
        }
    }
    for (int i = 0; i < count; ++i)
        ::kill(-groups[i], SIGKILL);
    ::_exit(0);
}

void send(std::int32_t message)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_lifeline < 0) {
        // A socket, not a pipe: a watcher that was killed must not end the program by SIGPIPE.
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return;
        const pid_t pid = ::fork();
        if (pid == 0)
            watcher(ends[0]);
        ::close(ends[0]);
        if (pid < 0) {
            ::close(ends[1]);
            return;
        }
        g_lifeline = ends[1];
    }
    [[maybe_unused]] const ssize_t sent =
        ::send(g_lifeline, &message, sizeof message, MSG_NOSIGNAL);
}

} // namespace

void enterOwnGroup()
{
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void lowerPriority()
{
    [[maybe_unused]] const int niceness = ::nice(10);
}

void watch(pid_t pid)
{
    if (pid > 0)
        send(static_cast<std::int32_t>(pid));
}

void forget(pid_t pid)
{
    if (pid > 0)
        send(-static_cast<std::int32_t>(pid));
}

void kill(pid_t pid)
{
    if (pid > 0)
        ::kill(-pid, SIGKILL);
}

} // namespace tagsifter::ProcessGroups
