#include "ShellRunners.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

void drain(int fd, QByteArray& into)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        into.append(buffer, got);
    }
}

} // namespace

platform::CommandOutcome ShellRunner::run(const QString& command)
{
    commands.append(command);
    if (before) {
        if (auto answered = before(command))
            return *answered;
    }
    return runShell(command);
}

platform::CommandOutcome ShellRunner::runShell(const QString& command)
{
    return platform::ProcessCommandRunner(QStringLiteral("/bin/sh"), {QStringLiteral("-c")}).run(command);
}

platform::CommandOutcome ElevatedShellRunner::runShell(const QString& command)
{
    const QByteArray text = command.toUtf8();
    int output[2];
    int errors[2];
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0)
        return {127, false, {}, "pipe failed"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::dup2(errors[1], STDERR_FILENO);
        if (::setresgid(0, 0, 0) != 0 || ::setresuid(0, 0, 0) != 0)
            ::_exit(126);
        ::execl("/bin/sh", "sh", "-c", text.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(output[1]);
    ::close(errors[1]);
    platform::CommandOutcome outcome;
    // The commands print little; reading one stream to its end before the other cannot block.
    drain(output[0], outcome.standardOutput);
    drain(errors[0], outcome.standardError);
    ::close(output[0]);
    ::close(errors[0]);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.crashed = pid < 0 || !WIFEXITED(status);
    outcome.exitStatus = outcome.crashed ? -1 : WEXITSTATUS(status);
    return outcome;
}

platform::CommandOutcome refusedOutcome()
{
    return {126, false, {}, "Request dismissed"};
}

} // namespace orvalink::test
