#include "support/MountNamespace.h"

#include <QFile>
#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test::mounts {

namespace {

// Filled once, before main(); read-only afterwards.
bool g_inPrivateNamespace = false;
QString* g_refusal = nullptr;

QString errnoText(const char* what, int error)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

bool writeProcFile(const char* path, const QByteArray& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return written;
}

// Sets the calling thread's effective capabilities to CAP_SYS_ADMIN or to none; the permitted set
// (full inside the namespace) stays, so the right can be raised again. Threads started later inherit
// the set of the thread that starts them: the namespace is entered before any exists.
bool setMountRight(bool raised)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    for (auto& word : data)
        word.effective = 0;
    if (raised)
        data[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective = CAP_TO_MASK(CAP_SYS_ADMIN);
    return ::syscall(SYS_capset, &header, data) == 0;
}

QString enterPrivateNamespace()
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return errnoText("this system gives a regular user no mount namespace of its own", errno);
    // Our own ids, mapped to themselves: files keep their owners, and permission checks their meaning.
    if (!writeProcFile("/proc/self/setgroups", "deny") ||
        !writeProcFile("/proc/self/uid_map",
                       QByteArray::number(uid) + ' ' + QByteArray::number(uid) + " 1") ||
        !writeProcFile("/proc/self/gid_map", QByteArray::number(gid) + ' ' + QByteArray::number(gid) + " 1"))
        return errnoText("cannot map the user into its mount namespace", errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return errnoText("cannot make the mount namespace private", errno);
    if (!setMountRight(false))
        return errnoText("cannot drop the namespace's capabilities", errno);
    return {};
}

// Tries the namespace in a child first: a kernel can allow the unshare and then refuse the id map,
// which would leave this process with no way back and every owner read as the overflow id.
QString refusalInAChild()
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return errnoText("cannot try the mount namespace", errno);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return errnoText("cannot try the mount namespace", errno);
    }
    if (child == 0) {
        const QByteArray refusal = enterPrivateNamespace().toUtf8();
        const bool told =
            refusal.isEmpty() || ::write(pipeEnds[1], refusal.constData(), size_t(refusal.size())) > 0;
        ::_exit(told ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    QByteArray refusal;
    char buffer[512];
    for (ssize_t count; (count = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            break;
        refusal.append(buffer, count);
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (refusal.isEmpty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        return QStringLiteral("trying the mount namespace failed");
    return QString::fromUtf8(refusal);
}

void enterAtStart()
{
    if (::geteuid() == 0)
        return;
    QString refusal = refusalInAChild();
    if (refusal.isEmpty())
        refusal = enterPrivateNamespace();
    if (refusal.isEmpty())
        g_inPrivateNamespace = true;
    else
        g_refusal = new QString(refusal); // lives for the process, like the namespace
}

Q_CONSTRUCTOR_FUNCTION(enterAtStart)

// Holds the right to mount for one call inside the private namespace.
class MountRight {
public:
    MountRight()
    {
        if (g_inPrivateNamespace)
            setMountRight(true);
    }
    ~MountRight()
    {
        if (g_inPrivateNamespace)
            setMountRight(false);
    }
    MountRight(const MountRight&) = delete;
    MountRight& operator=(const MountRight&) = delete;
};

} // namespace

std::optional<QString> skipReason()
{
    if (::geteuid() == 0 || g_inPrivateNamespace)
        return std::nullopt;
    return g_refusal ? *g_refusal : QStringLiteral("mounting needs root or a mount namespace of our own");
}

int mount(const QByteArray& source, const QString& target, const char* type, unsigned long flags,
          const QByteArray& data)
{
    if (skipReason())
        return EPERM;
    const MountRight right;
    const int result =
        ::mount(source.isNull() ? nullptr : source.constData(), QFile::encodeName(target).constData(), type,
                flags, data.isEmpty() ? nullptr : data.constData());
    return result == 0 ? 0 : errno;
}

int unmount(const QString& target)
{
    if (skipReason())
        return EPERM;
    const MountRight right;
    return ::umount2(QFile::encodeName(target).constData(), MNT_DETACH) == 0 ? 0 : errno;
}

} // namespace orvalink::test::mounts
