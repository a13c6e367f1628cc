#include "support/ChildProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

uid_t unprivilegedUid()
{
    if (::geteuid() != 0)
        return ::geteuid();
    const passwd* entry = ::getpwnam("nobody");
    return entry ? entry->pw_uid : 65534;
}

gid_t unprivilegedGid()
{
    if (::geteuid() != 0)
        return ::getegid();
    const group* entry = ::getgrnam("nogroup");
    return entry ? entry->gr_gid : 65534;
}

bool dropToUser(uid_t uid, gid_t gid, bool keepRootAsSaved)
{
    return ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, keepRootAsSaved ? 0 : gid) == 0 &&
           ::setresuid(uid, uid, keepRootAsSaved ? 0 : uid) == 0;
}

namespace {

enum class Identity { unchanged, nobody, nobodyKeepingRoot };

ChildOutcome runForked(const std::function<int(QByteArray& output)>& work, Identity identity)
{
    // Looked up before the fork: name service lookups are not for a forked child.
    const uid_t uid = unprivilegedUid();
    const gid_t gid = unprivilegedGid();
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return {};
    }
    if (pid == 0) {
        ::close(channel[0]);
        if (identity != Identity::unchanged && !dropToUser(uid, gid, identity == Identity::nobodyKeepingRoot))
            ::_exit(125);
        int code = 126;
        QByteArray output;
        try {
            code = work(output);
        } catch (...) {
            code = 126;
        }
        for (qsizetype done = 0; done < output.size();) {
            const ssize_t written =
                ::write(channel[1], output.constData() + done, size_t(output.size() - done));
            if (written <= 0)
                break;
            done += written;
        }
        ::_exit(code);
    }
    ::close(channel[1]);
    ChildOutcome outcome;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        outcome.output.append(buffer, got);
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    return outcome;
}

} // namespace

ChildOutcome runInChild(const std::function<int(QByteArray& output)>& work, bool asNobody)
{
    return runForked(work, asNobody && ::geteuid() == 0 ? Identity::nobody : Identity::unchanged);
}

ChildOutcome runInChildAsNobodyKeepingRoot(const std::function<int(QByteArray& output)>& work)
{
    return runForked(work, Identity::nobodyKeepingRoot);
}

} // namespace orvalink::test
