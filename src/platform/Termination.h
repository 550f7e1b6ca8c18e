#pragma once

#include <QObject>

#include <functional>

namespace tagsifter {

/// Calls `handler` from the event loop, with the signal's number, when the program is asked to
/// end by SIGTERM, SIGINT or SIGHUP (a logout, Ctrl+C in a terminal). The signal itself only
/// writes a byte to a pipe; everything else happens on the user-interface thread. Installed
/// once; `context` owns the watch.
void onTerminationRequest(QObject* context, std::function<void(int signal)> handler);

} // namespace tagsifter
