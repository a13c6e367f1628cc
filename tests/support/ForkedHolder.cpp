#include "support/ForkedHolder.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/io_uring.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

// What the child tells the test: 0 once it holds the file, else the errno of the step that failed,
// negated when io_uring itself was refused.
void report(int ready, int outcome)
{
    [[maybe_unused]] const ssize_t written = ::write(ready, &outcome, sizeof outcome);
}

int errorUnless(bool done)
{
    return done ? 0 : errno;
}

int holdThroughRing(const char* path)
{
    io_uring_params params{};
    const int ring = static_cast<int>(::syscall(__NR_io_uring_setup, 1, &params));
    if (ring < 0)
        return -errno;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error =
        errorUnless(::syscall(__NR_io_uring_register, ring, IORING_REGISTER_FILES, &fd, 1) == 0);
    ::close(fd);
    return error;
}

struct ThreadTask {
    const char* path;
    ForkedHolder::Hold how;
    int ready;
};

// A thread that takes working directories or a descriptor table of its own before it holds the path.
int holdInThread(void* argument)
{
    const ThreadTask& task = *static_cast<const ThreadTask*>(argument);
    const bool holding = task.how == ForkedHolder::Hold::threadWorkingDirectory
                             ? ::unshare(CLONE_FS) == 0 && ::chdir(task.path) == 0
                             : ::unshare(CLONE_FILES) == 0 && ::open(task.path, O_RDONLY | O_CLOEXEC) >= 0;
    report(task.ready, errorUnless(holding));
    for (;;)
        ::pause();
}

// Made by clone(2) itself: pthread_create is not for a forked child.
int startThread(ThreadTask& task)
{
    constexpr size_t kStackBytes = 64 * 1024;
    void* stack =
        ::mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return errno;
    constexpr int kThread = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD | CLONE_SYSVSEM;
    return errorUnless(::clone(holdInThread, static_cast<char*>(stack) + kStackBytes, kThread, &task) >= 0);
}

int holdOpenOrMapped(const char* path, ForkedHolder::Hold how)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || how == ForkedHolder::Hold::open)
        return errorUnless(fd >= 0);
    const int error = errorUnless(::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) != MAP_FAILED);
    ::close(fd);
    return error;
}

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
    ThreadTask task{path, how, ready};
    switch (how) {
    case ForkedHolder::Hold::open:
    case ForkedHolder::Hold::mapped:
        report(ready, holdOpenOrMapped(path, how));
        break;
    case ForkedHolder::Hold::threadWorkingDirectory:
    case ForkedHolder::Hold::threadDescriptor:
        // The thread reports once it holds the path.
        if (const int error = startThread(task))
            report(ready, error);
        break;
    case ForkedHolder::Hold::registeredWithRing:
        report(ready, holdThroughRing(path));
        break;
    }
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
        // Ended by SIGTERM as a program is: the test's own handler (QtTest's) is not the child's.
        struct sigaction plain = {};
        plain.sa_handler = SIG_DFL;
        ::sigaction(SIGTERM, &plain, nullptr);
        holdInChild(native.constData(), how, ready[1]);
    }
    ::close(ready[1]);
    int outcome = EIO;
    while (m_pid > 0 && ::read(ready[0], &outcome, sizeof outcome) < 0 && errno == EINTR) {
    }
    ::close(ready[0]);
    m_holding = m_pid > 0 && outcome == 0;
    m_refusal = outcome < 0 ? -outcome : 0;
}

ForkedHolder::~ForkedHolder()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

std::optional<QString> ForkedHolder::skipReason() const
{
    if (m_refusal == 0)
        return std::nullopt;
    return QStringLiteral("io_uring is refused here: ") + QString::fromUtf8(std::strerror(m_refusal));
}

} // namespace orvalink::test
