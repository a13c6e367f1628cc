#include "platform/ProcessTable.h"

#include "platform/KernelHolds.h"
#include "platform/ProcessFolder.h"
#include "platform/ProcessThreads.h"
#include "platform/StandardPath.h"
#include "platform/TreeMembership.h"

#include <QFile>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

// Whether the process holds something at or below the path by a name there, or may (it holds files
// the kernel does not name); entries it holds by a name that was removed while they live on by
// another go to `renamed`, for their identity to tell.
bool holdsByName(int processFd, const PathMatcher& matcher, std::vector<ReportedEntry>& renamed)
{
    bool found = false;
    const bool told = forEachHeldPath(
        processFd,
        [&](const QByteArray& path) {
            found = matcher.matches(path);
            return !found;
        },
        [&](const ReportedEntry& entry) { renamed.push_back(entry); });
    return found || !told;
}

std::optional<quint64> startTimeFromStat(const QByteArray& stat)
{
    // "pid (comm) state ppid ...": comm may hold spaces and parentheses, so count from the last ")".
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr qsizetype kStartTimeIndex = 22 - 3; // field 22; the list starts at field 3
    if (fields.size() <= kStartTimeIndex)
        return std::nullopt;
    bool ok = false;
    const quint64 value = fields[kStartTimeIndex].toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

// "Uid:\treal\teffective\tsaved\tfilesystem" in /proc/<pid>/status. Not the owner of /proc/<pid>,
// which is root for a process that made itself undumpable.
std::optional<uid_t> effectiveUserFromStatus(const QByteArray& status)
{
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
        bool ok = false;
        const uint effective = ids.size() >= 2 ? ids[1].toUInt(&ok) : 0;
        return ok ? std::optional<uid_t>(effective) : std::nullopt;
    }
    return std::nullopt;
}

QByteArray resolvedTarget(const QString& path)
{
    const QString standard = standardizedPath(path);
    const QByteArray native = QFile::encodeName(standard);
    if (char* canonical = ::realpath(native.constData(), nullptr)) {
        QByteArray result(canonical);
        std::free(canonical);
        return result;
    }
    return native;
}

// Through syscall(2): glibc 2.36 declares its pidfd wrappers without C linkage for C++.
int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

bool sendTerminationThroughPidfd(int pidfd)
{
    return ::syscall(SYS_pidfd_send_signal, pidfd, SIGTERM, nullptr, 0) == 0;
}

// Calls `visit(pid, processFd)` with each process's folder of /proc, opened.
void forEachProcess(const std::function<void(pid_t, int)>& visit)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    while (const dirent* entry = ::readdir(proc)) {
        const auto pid = processIdFromName(entry->d_name);
        if (!pid)
            continue;
        const int processFd = ::openat(::dirfd(proc), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (processFd < 0)
            continue;
        visit(*pid, processFd);
        ::close(processFd);
    }
    ::closedir(proc);
}

} // namespace

std::vector<PathHolder> processesHolding(const QString& path, bool subtree)
{
    const PathMatcher matcher(resolvedTarget(path), subtree);
    std::vector<PathHolder> holders;
    // Processes that hold entries by removed names only: held in the tree if one of those is.
    std::vector<std::pair<PathHolder, std::vector<ReportedEntry>>> undecided;
    forEachProcess([&](pid_t pid, int processFd) {
        std::vector<ReportedEntry> renamed;
        const bool holding = holdsByName(processFd, matcher, renamed);
        if (!holding && renamed.empty())
            return;
        const QByteArray comm = readProcessFile(processFd, "comm");
        const auto started = startTimeFromStat(readProcessFile(processFd, "stat"));
        const auto owner = effectiveUserFromStatus(readProcessFile(processFd, "status"));
        if (comm.isEmpty() || !started || !owner)
            return;
        PathHolder holder{pid, QString::fromUtf8(comm).trimmed(), *started, *owner};
        if (holding)
            holders.push_back(std::move(holder));
        else
            undecided.emplace_back(std::move(holder), std::move(renamed));
    });
    if (undecided.empty())
        return holders;
    std::vector<ReportedEntry> entries;
    for (const auto& [holder, renamed] : undecided)
        entries.insert(entries.end(), renamed.begin(), renamed.end());
    const QSet<EntryIdentity> within = entriesWithin(matcher, entries);
    for (auto& [holder, renamed] : undecided) {
        if (std::any_of(renamed.begin(), renamed.end(),
                        [&](const ReportedEntry& entry) { return within.contains(entry.identity); }))
            holders.push_back(std::move(holder));
    }
    return holders;
}

QStringList kernelHoldersOf(const QString& path, bool subtree)
{
    const std::vector<KernelHold> holds = kernelHolds();
    if (holds.empty())
        return {};
    std::vector<ReportedEntry> entries;
    for (const KernelHold& hold : holds)
        entries.push_back(ReportedEntry{hold.identity, hold.path});
    const QSet<EntryIdentity> within = entriesWithin(PathMatcher(resolvedTarget(path), subtree), entries);
    QStringList holders;
    for (const KernelHold& hold : holds) {
        if (within.contains(hold.identity))
            holders.append(hold.holder);
    }
    holders.sort();
    holders.removeDuplicates();
    return holders;
}

namespace {

using IdentityVisit = std::function<void(const EntryIdentity& identity)>;

// The identities on the file system of `path` that `each(processFd, visit)` gives for the processes
// other than ours (and that of `path` itself when one of them could not tell all it holds), and
// those the kernel holds there when `withKernel`.
QSet<EntryIdentity> heldOnFileSystemOf(const QString& path,
                                       bool (*each)(int processFd, const IdentityVisit& visit),
                                       bool withKernel)
{
    QSet<EntryIdentity> held;
    struct stat info {};
    if (::lstat(QFile::encodeName(standardizedPath(path)).constData(), &info) != 0)
        return held;
    const pid_t self = ::getpid();
    bool told = true;
    forEachProcess([&](pid_t pid, int processFd) {
        if (pid == self)
            return;
        const bool named = each(processFd, [&](const EntryIdentity& identity) {
            if (identity.device == info.st_dev)
                held.insert(identity);
        });
        told = told && named;
    });
    // What cannot be told free is not: whoever removes what lies at the path keeps it whole.
    if (!told)
        held.insert(EntryIdentity::of(info));
    if (!withKernel)
        return held;
    for (const KernelHold& hold : kernelHolds()) {
        if (hold.identity.device == info.st_dev)
            held.insert(hold.identity);
    }
    return held;
}

} // namespace

QSet<EntryIdentity> entriesInUse(const QString& path)
{
    return heldOnFileSystemOf(path, &forEachHeldIdentity, true);
}

QSet<EntryIdentity> entriesMappedShared(const QString& path)
{
    return heldOnFileSystemOf(path, &forEachSharedMapping, false);
}

std::optional<quint64> processStartTime(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    return startTimeFromStat(stat.readAll());
}

std::optional<uid_t> processOwner(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    return effectiveUserFromStatus(status.readAll());
}

bool isProtectedProcess(pid_t pid)
{
    return pid <= 1 || pid == ::getpid() || pid == ::getppid();
}

bool terminateProcess(pid_t pid, quint64 expectedStartTime)
{
    if (isProtectedProcess(pid))
        return false;
    const int pidfd = openPidfd(pid);
    if (pidfd < 0)
        return false;
    // From here on the pidfd names one process whatever happens to the number; if the number was
    // reused before it was opened, the start time tells. The user is read first: should the number
    // change hands after that, the start time read next differs.
    const auto owner = processOwner(pid);
    const auto started = processStartTime(pid);
    const bool delivered = owner && *owner == ::geteuid() && started && *started == expectedStartTime &&
                           sendTerminationThroughPidfd(pidfd);
    ::close(pidfd);
    return delivered;
}

} // namespace orvalink::platform
