#include "platform/ProcessTable.h"

#include "platform/StandardPath.h"

#include <QFile>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

const QByteArray kDeletedSuffix = " (deleted)";

class PathMatcher {
public:
    PathMatcher(QByteArray target, bool subtree)
        : m_target(std::move(target)), m_prefix(m_target == "/" ? m_target : m_target + '/'),
          m_subtree(subtree)
    {}

    bool matches(const QByteArray& reported) const
    {
        // The kernel marks files and directories that were unlinked: they are no longer in the tree.
        if (reported.endsWith(kDeletedSuffix))
            return false;
        return reported == m_target || (m_subtree && reported.startsWith(m_prefix));
    }

private:
    QByteArray m_target;
    QByteArray m_prefix;
    bool m_subtree;
};

std::optional<QByteArray> readLinkAt(int directoryFd, const char* name)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t length =
            ::readlinkat(directoryFd, name, buffer.data(), static_cast<size_t>(buffer.size()));
        if (length < 0)
            return std::nullopt;
        if (length < buffer.size()) {
            buffer.truncate(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

QByteArray readProcFile(int processFd, const char* name)
{
    const int fd = ::openat(processFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray content;
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count <= 0)
            break;
        content.append(chunk, count);
    }
    ::close(fd);
    return content;
}

bool openFilesMatch(int processFd, const PathMatcher& matcher)
{
    const int fdDirectory = ::openat(processFd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDirectory < 0)
        return false;
    DIR* listing = ::fdopendir(fdDirectory);
    if (!listing) {
        ::close(fdDirectory);
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        const auto target = readLinkAt(fdDirectory, entry->d_name);
        if (target && matcher.matches(*target)) {
            found = true;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

bool mappedFilesMatch(int processFd, const PathMatcher& matcher)
{
    // "address perms offset dev inode   path": only the path contains a "/".
    const QByteArray maps = readProcFile(processFd, "maps");
    for (const QByteArray& line : maps.split('\n')) {
        const qsizetype slash = line.indexOf('/');
        if (slash >= 0 && matcher.matches(line.mid(slash)))
            return true;
    }
    return false;
}

bool holds(int processFd, const PathMatcher& matcher)
{
    for (const char* link : {"cwd", "root", "exe"}) {
        const auto target = readLinkAt(processFd, link);
        if (target && matcher.matches(*target))
            return true;
    }
    return openFilesMatch(processFd, matcher) || mappedFilesMatch(processFd, matcher);
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

std::optional<pid_t> pidFromName(const char* name)
{
    pid_t pid = 0;
    for (const char* c = name; *c; ++c) {
        if (*c < '0' || *c > '9')
            return std::nullopt;
        pid = pid * 10 + (*c - '0');
    }
    return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

} // namespace

std::vector<PathHolder> processesHolding(const QString& path, bool subtree)
{
    const PathMatcher matcher(resolvedTarget(path), subtree);
    std::vector<PathHolder> holders;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return holders;
    while (const dirent* entry = ::readdir(proc)) {
        const auto pid = pidFromName(entry->d_name);
        if (!pid)
            continue;
        const int processFd = ::openat(::dirfd(proc), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (processFd < 0)
            continue;
        if (holds(processFd, matcher)) {
            const QByteArray comm = readProcFile(processFd, "comm");
            const auto started = startTimeFromStat(readProcFile(processFd, "stat"));
            if (!comm.isEmpty() && started)
                holders.push_back(PathHolder{*pid, QString::fromUtf8(comm).trimmed(), *started});
        }
        ::close(processFd);
    }
    ::closedir(proc);
    return holders;
}

std::optional<quint64> processStartTime(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    return startTimeFromStat(stat.readAll());
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
    // reused before it was opened, the start time tells.
    const auto started = processStartTime(pid);
    const bool delivered = started && *started == expectedStartTime && sendTerminationThroughPidfd(pidfd);
    ::close(pidfd);
    return delivered;
}

} // namespace orvalink::platform
