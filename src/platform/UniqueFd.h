#pragma once

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace orvalink::platform {

// Owns one file descriptor and closes it when it dies. Moves hand the descriptor on.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

    // Closes now and answers close(2)'s verdict: a file system may report a failed write-back only
    // here, so callers that wrote data must look at it. 0 on success, else the errno.
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        if (fd < 0 || ::close(fd) == 0)
            return 0;
        return errno;
    }

private:
    int m_fd = -1;
};

// A second descriptor of what `fd` refers to, closed on exec; invalid when fcntl(2) fails (errno
// says why).
inline UniqueFd duplicateFd(int fd)
{
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

} // namespace orvalink::platform
