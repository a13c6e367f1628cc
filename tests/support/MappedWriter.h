#pragma once

#include <QByteArray>
#include <sys/types.h>

namespace orvalink::test {

// A forked child that keeps a file mapped shared and writable and writes into it twice, as a program
// that keeps its data in a mapped file does: no write() call, so nothing but the page faults the
// kernel takes tells of its writes. It maps the file through a descriptor the test opened (and may
// close at once), so it opens nothing, and of the test's other descriptors it keeps none. Killed and
// reaped when the object dies.
class MappedWriter {
public:
    // Returns once the child has mapped the first `length` bytes of the file open at `fd` (for
    // reading and writing) and written `first` at offset 0, or could not. `then` and `offset` are
    // for writeAgainAndEnd().
    MappedWriter(int fd, qsizetype length, const QByteArray& first, qsizetype offset, const QByteArray& then);
    ~MappedWriter();
    MappedWriter(const MappedWriter&) = delete;
    MappedWriter& operator=(const MappedWriter&) = delete;

    bool hasWritten() const { return m_written; }
    // Writes `then` at `offset` into the mapping, unmaps the file and ends the child; true once it
    // has ended so.
    bool writeAgainAndEnd();

private:
    pid_t m_pid = -1;
    int m_goOn = -1;
    bool m_written = false;
};

} // namespace orvalink::test
