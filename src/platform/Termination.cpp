#include "Termination.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tagsifter {

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void writeSignal(int signal)
{
    const auto byte = static_cast<unsigned char>(signal);
    // Nothing but a write may happen in a signal handler; a full pipe loses nothing, as one
    // request to end is enough.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

} // namespace

void onTerminationRequest(QObject* context, std::function<void(int signal)> handler)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(handler)] {
                         unsigned char byte = 0;
                         if (::read(g_pipe[0], &byte, 1) == 1)
                             handler(byte);
                     });
    struct sigaction action
    {
    };
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace tagsifter
