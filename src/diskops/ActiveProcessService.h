#pragma once

#include "model/OrvalinkError.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <sys/types.h>

namespace orvalink {

// One process that holds a path, or the kernel holding it for a loop device or as swap.
struct ActiveProcess {
    qint32 pid = 0; // 0 for the kernel
    QString name;   // the command name (/proc/<pid>/comm), or the kernel's holder ("loop3", "swap")
    // When the process started (clock ticks after boot): lets a termination tell this process from a
    // later one that got the same pid. Not part of equality.
    quint64 startTime = 0;
    // The login name of the user it runs as, when that is not the user we run as; empty for our
    // own. Such a process is never signalled. Not part of equality.
    QString otherUser;
    // The kernel holds the path, with no process behind it (see platform::kernelHoldersOf): nobody
    // to signal; it lets go only when the loop device is detached or the swap turned off. Not part
    // of equality.
    bool kernel = false;

    // How lists and errors name it: the command name, followed by " (user <login>)" for another
    // user's process, so that the reader knows whose program it is.
    QString shownName() const;

    bool operator==(const ActiveProcess& other) const { return pid == other.pid && name == other.name; }
};

inline size_t qHash(const ActiveProcess& process, size_t seed = 0)
{
    return qHashMulti(seed, process.pid, process.name);
}

// Finds the processes that keep files at or below a path open (or sit in it, run from it, map it)
// and ends them on request. Synchronous on the caller's thread; the termination wait blocks it for
// up to the deadline. Keeps no state besides its timing.
class ActiveProcessService {
public:
    // How long a termination waits for the path to become free, and how often it looks.
    struct Timing {
        std::chrono::milliseconds deadline;
        std::chrono::milliseconds pause;
    };
    static constexpr Timing kDefaultTiming{std::chrono::milliseconds(4000), std::chrono::milliseconds(200)};

    explicit ActiveProcessService(Timing timing = kDefaultTiming);

    // The holders of `path` (standardized first), sorted by shown name ignoring case: the processes,
    // our own never listed, and the kernel's own holds (a loop device whose backing file lies there,
    // swap). A directory is searched with everything below it, anything else by itself. With
    // no `isDirectory`, it is looked up (links followed) and a missing path gives an empty list. An
    // empty list means no holder is known, not that the path is proved free. Never throws.
    QList<ActiveProcess> activeProcesses(const QString& path, std::optional<bool> isDirectory = {}) const;

    // The shown names of activeProcesses(), same order, repeats kept.
    QStringList activeProcessNames(const QString& path, std::optional<bool> isDirectory = {}) const;

    // Sends SIGTERM once to each process (repeats removed, in name order), but only to the very process
    // that was listed and only to our own user's: one whose pid now belongs to another process, another
    // user's process, the kernel's holds, pid 1, ourselves and our parent are left alone. Then waits,
    // checking every pause, until the path is free, or held only by holders left alone. Returns the
    // names of the processes signalled, sorted, without repeats. Throws OrvalinkError::sourceInUse
    // (E007) with `path` as given and the shown names of the remaining holders when the path is still
    // held at the deadline, or once only other users' processes and the kernel hold it; processes
    // already ended stay ended.
    QStringList terminateActiveProcesses(const QList<ActiveProcess>& processes, const QString& path,
                                         bool isDirectory) const;

    // Before an item moves (or moves back, for `operation` undo): with no holder of `path`, nothing
    // happens (an empty list). Otherwise, unless `terminate`, throws OrvalinkError::sourceInUse (E007)
    // for `operation` with their shown names, and so it does with it when one of them is never
    // ended (another user's program): before any program is ended. Else ends them as
    // terminateActiveProcesses() does and returns the names signalled, or throws E007 with those
    // still holding it. The errors name
    // `shownPath`, the path the user knows the item by.
    QStringList clearHolders(const QString& path, bool isDirectory, bool terminate, const QString& shownPath,
                             OrvalinkError::Operation operation = OrvalinkError::Operation::migration) const;

private:
    Timing m_timing;
};

} // namespace orvalink
