#include "diskops/ActiveProcessService.h"

#include "diskops/LocalizedOrder.h"
#include "model/OrvalinkError.h"
#include "platform/DirectoryListing.h"
#include "platform/FileIO.h"
#include "platform/ProcessTable.h"
#include "platform/StandardPath.h"

#include <QSet>
#include <algorithm>
#include <thread>
#include <unistd.h>

namespace orvalink {

namespace {

QStringList namesOf(const QList<ActiveProcess>& processes)
{
    QStringList names;
    for (const ActiveProcess& process : processes)
        names.append(process.name);
    return names;
}

QStringList sortedUnique(QStringList names)
{
    names.sort();
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace

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
    for (const auto& holder : platform::processesHolding(standard, *isDirectory)) {
        if (holder.pid != self)
            processes.append(ActiveProcess{holder.pid, holder.name, holder.startTime});
    }
    sortByLocalizedName(processes, &ActiveProcess::name);
    return processes;
}

QStringList ActiveProcessService::activeProcessNames(const QString& path,
                                                     std::optional<bool> isDirectory) const
{
    return namesOf(activeProcesses(path, isDirectory));
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
        if (platform::terminateProcess(process.pid, process.startTime))
            ended.append(process.name);
    }

    const auto deadline = std::chrono::steady_clock::now() + m_timing.deadline;
    while (std::chrono::steady_clock::now() < deadline) {
        if (activeProcesses(path, isDirectory).isEmpty())
            return sortedUnique(ended);
        std::this_thread::sleep_for(m_timing.pause);
    }
    const QStringList remaining = activeProcessNames(path, isDirectory);
    if (!remaining.isEmpty())
        throw OrvalinkError::sourceInUse(path, remaining);
    return sortedUnique(ended);
}

QStringList ActiveProcessService::clearHolders(const QString& path, bool isDirectory, bool terminate,
                                               const QString& shownPath) const
{
    const QList<ActiveProcess> holders = activeProcesses(path, isDirectory);
    if (holders.isEmpty())
        return {};
    if (!terminate)
        throw OrvalinkError::sourceInUse(shownPath, namesOf(holders));
    QStringList ended;
    try {
        ended = terminateActiveProcesses(holders, path, isDirectory);
    } catch (const OrvalinkError& stillHeld) {
        throw OrvalinkError::sourceInUse(shownPath, stillHeld.processes());
    }
    // A program that came in meanwhile holds it as well.
    if (const QStringList remaining = activeProcessNames(path, isDirectory); !remaining.isEmpty())
        throw OrvalinkError::sourceInUse(shownPath, remaining);
    return ended;
}

} // namespace orvalink
