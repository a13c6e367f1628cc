#pragma once

#include "platform/EntryIdentity.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace orvalink::platform {

// A process that uses a path, as /proc shows it.
struct PathHolder {
    pid_t pid = 0;
    QString name;          // /proc/<pid>/comm
    quint64 startTime = 0; // /proc/<pid>/stat field 22: identifies the process behind a reused pid
    uid_t owner = 0;       // the effective user it runs as
};

// Every process whose working directory, root directory, executable, open files, mapped files or
// files registered with an io_uring instance (of any of its threads) are `path` itself, or (with
// `subtree`) lie anywhere below it, and every process holding files the kernel does not name (see
// forEachHeldPath), which may lie there. The path is resolved like the kernel reports these paths
// (links followed); entries that were removed no longer lie in the tree and do not count, told by
// their own status, not by their names (see forEachHeldPath). An entry held by a name that was
// removed while it lives on by another (a hard link) counts where that other name lies: its
// identity is looked for in the tree (see entriesWithin), which is walked only when a process
// holds such an entry on the tree's file system. Processes whose /proc entries we may not read
// (other users' processes, for an unprivileged caller) and processes that end during the search
// are passed over. One record per process, in no particular order. Never throws.
std::vector<PathHolder> processesHolding(const QString& path, bool subtree);

// The names of what the kernel itself holds there, with no process behind it (see KernelHolds.h):
// a loop device whose backing file is `path` or (with `subtree`) lies below it ("loop3"), and
// "swap" for a swap file there. Found by the files' identities, whatever name they have now or
// mount they are reached through (see entriesWithin). Sorted, without repeats. Never throws.
QStringList kernelHoldersOf(const QString& path, bool subtree);

// The identities of the entries on the file system of `path` that processes other than ours hold in
// any of those ways, whatever name they were reached by (see forEachHeldIdentity), and the files
// there that the kernel holds (see kernelHolds): a caller compares the entries of a tree there with
// them to learn which are in use. When a process holds files the kernel does not name, the entry at
// `path` itself counts as in use: a caller that removes the tree at `path` keeps it whole. Processes
// are passed over as above. Empty when `path` does not exist. Never throws.
QSet<EntryIdentity> entriesInUse(const QString& path);

// The identities of the files on the file system of `path` that processes other than ours map
// shared now (see forEachSharedMapping): once a page of such a mapping was written, the kernel marks
// no new time for further writes into it until the page is written back, which some file systems
// (tmpfs) never do, so no look at a file's status tells of them. Empty when `path` does not exist.
// Never throws.
QSet<EntryIdentity> entriesMappedShared(const QString& path);

// The start time of a running process (clock ticks after boot); none when it is gone.
std::optional<quint64> processStartTime(pid_t pid);

// The effective user a running process runs as; none when it is gone.
std::optional<uid_t> processOwner(pid_t pid);

// Processes we never signal: pid 1 and lower, ourselves, and our parent.
bool isProtectedProcess(pid_t pid);

// Sends SIGTERM to `pid`, but only when it is still the process that started at `expectedStartTime`:
// a pidfd pins the process first, then its start time is compared, so a pid reused meanwhile by
// another process is never hit. Refuses protected processes, and processes that run as another user
// than we do (whatever our rights: they are not ours to end). True when the signal was delivered.
bool terminateProcess(pid_t pid, quint64 expectedStartTime);

} // namespace orvalink::platform
