#include "support/Unprivileged.h"

#include <QDirIterator>
#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

bool dropToNobody()
{
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return false;
    const group* nogroup = ::getgrnam("nogroup");
    const gid_t gid = nogroup ? nogroup->gr_gid : nobody->pw_gid;
    const uid_t uid = nobody->pw_uid;
    return ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 && ::setresuid(uid, uid, uid) == 0;
}

void writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
}

} // namespace

std::optional<QString> Unprivileged::skipReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("needs root to drop to an unprivileged user (CI runs as root)");
    if (!::getpwnam("nobody"))
        return QStringLiteral("there is no user nobody");
    return std::nullopt;
}

std::optional<QByteArray> Unprivileged::run(const std::function<QByteArray()>& work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(fds[0]);
        int status = 3;
        if (dropToNobody()) {
            try {
                writeAll(fds[1], work());
                status = 0;
            } catch (...) {
                status = 2;
            }
        }
        ::close(fds[1]);
        ::_exit(status);
    }
    ::close(fds[1]);
    QByteArray output;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fds[0], buffer, sizeof buffer);
        if (count <= 0)
            break;
        output.append(buffer, count);
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

void Unprivileged::openUp(const QString& path)
{
    ::chmod(QFile::encodeName(path).constData(), 0755);
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0755);
}

} // namespace orvalink::test
