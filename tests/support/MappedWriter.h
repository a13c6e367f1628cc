#pragma once

#include <QByteArray>
#include <sys/types.h>

namespace orvalink::test {

// A forked child that maps a file shared and writable and writes into that mapping on the test's
// word, as a program that keeps its data in a mapped file does: no write() call, so nothing but the
// page faults the kernel takes tells of its writes. It maps the file through a descriptor the test
// opened (and may close again at once): the child opens nothing, so a gate that holds the openings
// of the file is not asked. Of the test's other descriptors it keeps none. Killed and reaped when the
// object dies.
class MappedWriter {
public:
    // Returns once the child has mapped the first `length` bytes of the file open at `fd` (for
    // reading and writing), or could not.
    MappedWriter(int fd, qsizetype length);
    ~MappedWriter();
    MappedWriter(const MappedWriter&) = delete;
    MappedWriter& operator=(const MappedWriter&) = delete;

    bool isMapped() const { return m_pid > 0 && m_mapped; }
    pid_t pid() const { return m_pid; }

    // Copies `bytes` into the mapping at `offset`; true once they are there.
    bool write(qsizetype offset, const QByteArray& bytes);
    // Unmaps the file and ends the child; true once it has ended so.
    bool unmapAndExit();

private:
    bool answered();

    pid_t m_pid = -1;
    int m_commands = -1;
    int m_answers = -1;
    bool m_mapped = false;
};

} // namespace orvalink::test
