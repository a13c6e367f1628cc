#include "diskops/ActiveProcessService.h"

#include "diskops/LocalizedOrder.h"
#include "platform/DirectoryListing.h"
#include "platform/FileIO.h"
#include "platform/ProcessTable.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"

#include <QSet>
#include <algorithm>
#include <thread>
#include <unistd.h>

namespace orvalink {

namespace {

QStringList shownNamesOf(const QList<ActiveProcess>& processes)
{
    QStringList names;
    for (const ActiveProcess& process : processes)
        names.append(process.shownName());
    return names;
}

bool mayBeEnded(const ActiveProcess& process)
{
    return !process.kernel && process.otherUser.isEmpty();
}

bool noneMayBeEnded(const QList<ActiveProcess>& processes)
{
    return std::none_of(processes.begin(), processes.end(), mayBeEnded);
}

QStringList sortedUnique(QStringList names)
{
    names.sort();
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace

QString ActiveProcess::shownName() const
{
    return otherUser.isEmpty() ? name : name + QStringLiteral(" (user ") + otherUser + QLatin1Char(')');
}

ActiveProcessService::ActiveProcessService(Timing timing) : m_timing(timing) {}

QList<ActiveProcess> ActiveProcessService::activeProcesses(const QString& path,
                                                           std::optional<bool> isDirectory) const
{
    const QString standard = platform::standardizedPath(path);
    if (!isDirectory) {
        if (!platform::fileExists(standard))
            return {};
        isDirectory = platform::isDirectory(standard);
    }
    QList<ActiveProcess> processes;
    const pid_t self = ::getpid();
    const uid_t user = ::geteuid();
    for (const auto& holder : platform::processesHolding(standard, *isDirectory)) {
        if (holder.pid == self)
            continue;
        const QString otherUser = holder.owner == user ? QString() : platform::userNameOf(holder.owner);
        processes.append(ActiveProcess{holder.pid, holder.name, holder.startTime, otherUser});
    }
    for (const QString& holder : platform::kernelHoldersOf(standard, *isDirectory))
        processes.append(ActiveProcess{0, holder, 0, {}, true});
    sortByLocalizedName(processes, &ActiveProcess::shownName);
    return processes;
}

QStringList ActiveProcessService::activeProcessNames(const QString& path,
                                                     std::optional<bool> isDirectory) const
{
    return shownNamesOf(activeProcesses(path, isDirectory));
}

QStringList ActiveProcessService::terminateActiveProcesses(const QList<ActiveProcess>& processes,
                                                           const QString& path, bool isDirectory) const
{
    QList<ActiveProcess> unique;
    QSet<ActiveProcess> seen;
    for (const auto& process : processes) {
        if (!seen.contains(process)) {
            seen.insert(process);
            unique.append(process);
        }
    }
    if (unique.isEmpty())
        return {};
    sortByLocalizedName(unique, &ActiveProcess::name);

    QStringList ended;
    for (const auto& process : unique) {
        if (mayBeEnded(process) && platform::terminateProcess(process.pid, process.startTime))
            ended.append(process.name);
    }

    // Another user's program, a loop device or swap will not go away for our waiting.
    const auto deadline = std::chrono::steady_clock::now() + m_timing.deadline;
    QList<ActiveProcess> remaining = activeProcesses(path, isDirectory);
    while (!remaining.isEmpty() && !noneMayBeEnded(remaining) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(m_timing.pause);
        remaining = activeProcesses(path, isDirectory);
    }
    if (!remaining.isEmpty())
        throw OrvalinkError::sourceInUse(path, shownNamesOf(remaining));
    return sortedUnique(ended);
}

QStringList ActiveProcessService::clearHolders(const QString& path, bool isDirectory, bool terminate,
                                               const QString& shownPath,
                                               OrvalinkError::Operation operation) const
{
    const QList<ActiveProcess> holders = activeProcesses(path, isDirectory);
    if (holders.isEmpty())
        return {};
    // A holder that is never ended (another user's program, the kernel) refuses the operation in any
    // case: before any program is ended.
    if (!terminate || !std::all_of(holders.begin(), holders.end(), mayBeEnded))
        throw OrvalinkError::sourceInUse(shownPath, shownNamesOf(holders), operation);
    // The termination returns only after a look found nobody holding the path: a program that came
    // in meanwhile, or another user's program left alone, makes it throw instead.
    try {
        return terminateActiveProcesses(holders, path, isDirectory);
    } catch (const OrvalinkError& stillHeld) {
        throw OrvalinkError::sourceInUse(shownPath, stillHeld.processes(), operation);
    }
}

} // namespace orvalink
