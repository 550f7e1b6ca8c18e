#pragma once

#include <sys/types.h>

namespace tagsifter {

/// The process groups of the program's children, ended when the program ends, however it
/// ends (even by SIGKILL). Each child runs in a group of its own, so that whatever it starts
/// (exiftool behind a wrapper script) is ended with it. A small watcher process, started at
/// the first child, holds the groups; it sees the program's end as the end of a pipe.
namespace ProcessGroups {

/// Run in a new child between fork and exec: it leads a group of its own and dies with the
/// program. Only what may run after a fork.
void enterOwnGroup();
/// Run in a new child between fork and exec: it yields the processor to the programs the user
/// works with (nice 10), and so does whatever it starts.
void lowerPriority();
/// The group of the child `pid` is ended with the program.
void watch(pid_t pid);
/// The child `pid` has ended: its group is no longer watched.
void forget(pid_t pid);
/// Ends the group of the child `pid` now, all of it.
void kill(pid_t pid);

} // namespace ProcessGroups

} // namespace tagsifter
