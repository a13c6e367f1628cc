#include "support/MappedWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalink::test {

namespace {

// A command: the offset and length of the bytes that follow it; a length of zero ends the child.
struct Command {
    int64_t offset;
    int64_t length;
};

bool readWhole(int fd, void* buffer, size_t length)
{
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        const ssize_t got = ::read(fd, bytes, length);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        length -= size_t(got);
    }
    return true;
}

bool writeWhole(int fd, const void* buffer, size_t length)
{
    const auto* bytes = static_cast<const char*>(buffer);
    while (length > 0) {
        const ssize_t put = ::write(fd, bytes, length);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes += put;
        length -= size_t(put);
    }
    return true;
}

[[noreturn]] void writeInChild(int file, size_t length, int commands, int answers)
{
    ::prctl(PR_SET_NAME, "mapper");
    void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    // Only the mapping holds the file from here on.
    ::close(file);
    char answer = mapped != MAP_FAILED ? '1' : '0';
    if (!writeWhole(answers, &answer, 1) || mapped == MAP_FAILED)
        ::_exit(1);
    char bytes[4096];
    for (;;) {
        Command command{};
        if (!readWhole(commands, &command, sizeof command))
            ::_exit(1);
        if (command.length == 0) {
            ::munmap(mapped, length);
            ::_exit(0);
        }
        const bool fits = command.offset >= 0 && command.length <= int64_t(sizeof bytes) &&
                          size_t(command.offset + command.length) <= length;
        if (!fits || !readWhole(commands, bytes, size_t(command.length)))
            ::_exit(1);
        std::memcpy(static_cast<char*>(mapped) + command.offset, bytes, size_t(command.length));
        answer = '1';
        if (!writeWhole(answers, &answer, 1))
            ::_exit(1);
    }
}

} // namespace

MappedWriter::MappedWriter(int fd, qsizetype length)
{
    int commands[2];
    int answers[2];
    if (::pipe2(commands, O_CLOEXEC) != 0)
        return;
    if (::pipe2(answers, O_CLOEXEC) != 0) {
        ::close(commands[0]);
        ::close(commands[1]);
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        // Above every descriptor the test may hold, then everything else closed: a program started
        // anew holds none of the test's.
        const int file = ::fcntl(fd, F_DUPFD_CLOEXEC, 1000);
        const int input = ::fcntl(commands[0], F_DUPFD_CLOEXEC, 1001);
        const int output = ::fcntl(answers[1], F_DUPFD_CLOEXEC, 1002);
        ::close_range(3, 999, 0);
        writeInChild(file, size_t(length), input, output);
    }
    ::close(commands[0]);
    ::close(answers[1]);
    m_commands = commands[1];
    m_answers = answers[0];
    m_mapped = m_pid > 0 && answered();
}

MappedWriter::~MappedWriter()
{
    if (m_commands >= 0)
        ::close(m_commands);
    if (m_answers >= 0)
        ::close(m_answers);
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool MappedWriter::answered()
{
    char answer = '0';
    return readWhole(m_answers, &answer, 1) && answer == '1';
}

bool MappedWriter::write(qsizetype offset, const QByteArray& bytes)
{
    const Command command{offset, bytes.size()};
    return isMapped() && !bytes.isEmpty() && writeWhole(m_commands, &command, sizeof command) &&
           writeWhole(m_commands, bytes.constData(), size_t(bytes.size())) && answered();
}

bool MappedWriter::unmapAndExit()
{
    const Command command{0, 0};
    if (!isMapped() || !writeWhole(m_commands, &command, sizeof command))
        return false;
    int status = 0;
    pid_t ended = -1;
    while ((ended = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace orvalink::test
