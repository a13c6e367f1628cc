#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <sys/types.h>

namespace orvalink::test {

// A forked child stopped midway through its work, as a kill finds a process: `begin` runs in the
// child and answers what is left to do; the child then waits until the test kills it (kill(),
// SIGKILL, as a crash ends it: what it held open is let go, what it wrote stays) or lets it go on
// (resume()). Killed and reaped when the object dies.
class PausedChild {
public:
    using Rest = std::function<void()>;
    // With `keptDescriptor` (3 or more), the child keeps none of the test's descriptors but that
    // one, as a program started anew holds none of them (a gate's among them).
    explicit PausedChild(const std::function<Rest()>& begin, int keptDescriptor = -1);
    ~PausedChild();
    PausedChild(const PausedChild&) = delete;
    PausedChild& operator=(const PausedChild&) = delete;

    // True when `begin` ran through and the child waits.
    bool isPaused() const { return m_paused; }
    void kill();
    // Runs the rest in the child and waits for it: true when it ran through without throwing.
    bool resume();

private:
    int reap();

    pid_t m_pid = -1;
    int m_toChild = -1;
    bool m_paused = false;
};

// A rewrite of `path` through platform::AtomicFileWriter in a child, paused after `bytes` of new
// content were written (a piece under 64 KiB waits in the writer's buffer), or with `sealed` once
// they are flushed and closed under the writer's temporary name, waiting for the rename as files
// replaced together wait. Resumed, it puts the new content in place.
std::unique_ptr<PausedChild> pausedRewrite(const QString& path, qsizetype bytes, bool sealed);

// A program that keeps its data in a file mapped shared and writes into it twice: no write() call,
// so nothing but the page faults the kernel takes tells of its writes. The child maps the first
// `length` bytes of the file open at `fd` (for reading and writing; the test may close it at once),
// so it opens nothing, and writes `first` at offset 0; resumed, it writes `then` at `offset`,
// unmaps the file and ends.
std::unique_ptr<PausedChild> pausedMappedWrite(int fd, qsizetype length, const QByteArray& first,
                                               qsizetype offset, const QByteArray& then);

} // namespace orvalink::test
