#include "support/ForkedHolder.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

[[noreturn]] void holdInChild(const char* path, ForkedHolder::Hold how, int ready)
{
    ::prctl(PR_SET_NAME, "holder");
    // A fork keeps the capabilities the test may hold in its own user namespace, and a process whose
    // permitted capabilities exceed the reader's hides its /proc entries from it: a program started
    // anew by the user has none.
    struct __user_cap_header_struct header {
        _LINUX_CAPABILITY_VERSION_3, 0
    };
    struct __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    ::syscall(SYS_capset, &header, none);
    // A fork shares every descriptor of the test, the ones its own work holds open included: a
    // program started anew would hold none of them.
    ::close_range(3, static_cast<unsigned>(ready) - 1, 0);
    ::close_range(static_cast<unsigned>(ready) + 1, ~0U, 0);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    bool holding = fd >= 0;
    if (holding && how == ForkedHolder::Hold::mapped) {
        holding = ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) != MAP_FAILED;
        ::close(fd);
    }
    const char answer = holding ? '1' : '0';
    if (::write(ready, &answer, 1) != 1 || !holding)
        ::_exit(1);
    for (;;)
        ::pause();
}

} // namespace

ForkedHolder::ForkedHolder(const QString& path, Hold how)
{
    // Encoded before the fork: the child allocates nothing.
    const QByteArray native = QFile::encodeName(path);
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(ready[0]);
        holdInChild(native.constData(), how, ready[1]);
    }
    ::close(ready[1]);
    char answer = '0';
    while (m_pid > 0 && ::read(ready[0], &answer, 1) < 0 && errno == EINTR) {
    }
    ::close(ready[0]);
    m_holding = m_pid > 0 && answer == '1';
}

ForkedHolder::~ForkedHolder()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace orvalink::test
