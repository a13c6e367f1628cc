#include "support/MappedWriter.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

// Above every descriptor the test holds, so that everything below can be closed at once.
constexpr int kKeptFrom = 1000;

char readByte(int fd)
{
    char byte = 0;
    ssize_t got = 0;
    do
        got = ::read(fd, &byte, 1);
    while (got < 0 && errno == EINTR);
    return got == 1 ? byte : 0;
}

[[noreturn]] void writeInChild(int file, size_t length, const QByteArray& first, qsizetype offset,
                               const QByteArray& then, int ready, int goOn)
{
    ::prctl(PR_SET_NAME, "mapper");
    char* mapped = static_cast<char*>(::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0));
    ::close(file); // only the mapping holds the file from here on
    if (mapped == MAP_FAILED)
        ::_exit(1);
    std::memcpy(mapped, first.constData(), size_t(first.size()));
    const char written = '1';
    if (::write(ready, &written, 1) != 1 || readByte(goOn) != '1')
        ::_exit(1);
    std::memcpy(mapped + offset, then.constData(), size_t(then.size()));
    ::munmap(mapped, length);
    ::_exit(0);
}

} // namespace

MappedWriter::MappedWriter(int fd, qsizetype length, const QByteArray& first, qsizetype offset,
                           const QByteArray& then)
{
    int ready[2];
    int goOn[2];
    if (first.size() > length || offset + then.size() > length || ::pipe2(ready, O_CLOEXEC) != 0)
        return;
    if (::pipe2(goOn, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        // A program started anew holds none of the test's descriptors (a gate's among them).
        const int file = ::fcntl(fd, F_DUPFD_CLOEXEC, kKeptFrom);
        const int toTest = ::fcntl(ready[1], F_DUPFD_CLOEXEC, kKeptFrom);
        const int fromTest = ::fcntl(goOn[0], F_DUPFD_CLOEXEC, kKeptFrom);
        ::close_range(3, kKeptFrom - 1, 0);
        writeInChild(file, size_t(length), first, offset, then, toTest, fromTest);
    }
    ::close(ready[1]);
    ::close(goOn[0]);
    m_goOn = goOn[1];
    m_written = m_pid > 0 && readByte(ready[0]) == '1';
    ::close(ready[0]);
}

MappedWriter::~MappedWriter()
{
    if (m_goOn >= 0)
        ::close(m_goOn);
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool MappedWriter::writeAgainAndEnd()
{
    const char goOn = '1';
    if (!m_written || ::write(m_goOn, &goOn, 1) != 1)
        return false;
    int status = 0;
    pid_t ended = -1;
    while ((ended = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace orvalink::test
