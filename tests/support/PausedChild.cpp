#include "support/PausedChild.h"

#include "platform/AtomicFileWriter.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

constexpr char kPaused = 'p';
constexpr unsigned kAboveTheTests = 1000;
constexpr char kGoOn = 'g';

char readByte(int fd)
{
    char byte = 0;
    ssize_t got = 0;
    do
        got = ::read(fd, &byte, 1);
    while (got < 0 && errno == EINTR);
    return got == 1 ? byte : 0;
}

void writeByte(int fd, char byte)
{
    while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

} // namespace

PausedChild::PausedChild(const std::function<Rest()>& begin, int keptDescriptor)
{
    int toParent[2];
    int toChild[2];
    if (::pipe2(toParent, O_CLOEXEC) != 0)
        return;
    if (::pipe2(toChild, O_CLOEXEC) != 0) {
        ::close(toParent[0]);
        ::close(toParent[1]);
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(toParent[0]);
        ::close(toChild[1]);
        if (keptDescriptor >= 3) {
            // Its own pipes above every descriptor of the test, then all of those closed but one.
            toParent[1] = ::fcntl(toParent[1], F_DUPFD_CLOEXEC, kAboveTheTests);
            toChild[0] = ::fcntl(toChild[0], F_DUPFD_CLOEXEC, kAboveTheTests);
            ::close_range(3, unsigned(keptDescriptor) - 1, 0);
            ::close_range(unsigned(keptDescriptor) + 1, kAboveTheTests - 1, 0);
        }
        Rest rest;
        try {
            rest = begin();
        } catch (...) {
            ::_exit(126);
        }
        writeByte(toParent[1], kPaused);
        // The test's end closes the pipe: nothing more to wait for.
        if (readByte(toChild[0]) != kGoOn)
            ::_exit(2);
        try {
            if (rest)
                rest();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(toParent[1]);
    ::close(toChild[0]);
    m_toChild = toChild[1];
    if (m_pid > 0)
        m_paused = readByte(toParent[0]) == kPaused;
    ::close(toParent[0]);
}

PausedChild::~PausedChild()
{
    kill();
}

void PausedChild::kill()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
    reap();
}

bool PausedChild::resume()
{
    if (m_pid <= 0 || !m_paused)
        return false;
    writeByte(m_toChild, kGoOn);
    return reap() == 0;
}

int PausedChild::reap()
{
    if (m_toChild >= 0)
        ::close(m_toChild);
    m_toChild = -1;
    m_paused = false;
    if (m_pid <= 0)
        return -1;
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<PausedChild> pausedRewrite(const QString& path, qsizetype bytes, bool sealed)
{
    return std::make_unique<PausedChild>([path, bytes, sealed]() -> PausedChild::Rest {
        auto writer = std::make_shared<platform::AtomicFileWriter>(path, 0600);
        writer->write(QByteArray(bytes, 'x'));
        if (sealed)
            writer->seal();
        return [writer] {
            writer->commit();
        };
    });
}

std::unique_ptr<PausedChild> pausedMappedWrite(int fd, qsizetype length, const QByteArray& first,
                                               qsizetype offset, const QByteArray& then)
{
    return std::make_unique<PausedChild>(
        [fd, length, first, offset, then]() -> PausedChild::Rest {
            ::prctl(PR_SET_NAME, "mapper");
            void* mapped = ::mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            ::close(fd); // only the mapping holds the file from here on
            if (mapped == MAP_FAILED || first.size() > length || offset + then.size() > length)
                throw std::runtime_error("the file could not be mapped as asked");
            char* bytes = static_cast<char*>(mapped);
            std::memcpy(bytes, first.constData(), size_t(first.size()));
            return [bytes, length, offset, then] {
                std::memcpy(bytes + offset, then.constData(), size_t(then.size()));
                ::munmap(bytes, size_t(length));
            };
        },
        fd);
}

} // namespace orvalink::test
