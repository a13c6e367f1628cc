#pragma once

#include <QString>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace orvalink::platform {

// A process that uses a path, as /proc shows it.
struct PathHolder {
    pid_t pid = 0;
    QString name;          // /proc/<pid>/comm
    quint64 startTime = 0; // /proc/<pid>/stat field 22: identifies the process behind a reused pid
};

// Every process whose working directory, root directory, executable, open files or mapped files are
// `path` itself, or (with `subtree`) lie anywhere below it. The path is resolved like the kernel
// reports these paths (links followed); open files that were deleted no longer lie in the tree and do
// not count. Processes whose /proc entries we may not read (other users' processes, for an
// unprivileged caller) and processes that end during the search are passed over. One record per
// process, in no particular order. Never throws.
std::vector<PathHolder> processesHolding(const QString& path, bool subtree);

// The start time of a running process (clock ticks after boot); none when it is gone.
std::optional<quint64> processStartTime(pid_t pid);

// Processes we never signal: pid 1 and lower, ourselves, and our parent.
bool isProtectedProcess(pid_t pid);

// Sends SIGTERM to `pid`, but only when it is still the process that started at `expectedStartTime`:
// a pidfd pins the process first, then its start time is compared, so a pid reused meanwhile by
// another process is never hit. Refuses protected processes. True when the signal was delivered.
bool terminateProcess(pid_t pid, quint64 expectedStartTime);

} // namespace orvalink::platform
