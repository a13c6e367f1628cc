#pragma once

#include <sys/types.h>
#include <vector>

namespace orvalink::platform {

// Copies the data of one regular file into a new, empty one, keeping holes as holes. Uses
// copy_file_range where the file systems allow it and plain reads and writes where they do not;
// after the first refusal it stops asking. One copier serves many files in turn.
class FileDataCopier {
public:
    // Why a copy stopped: the errno and whether the destination (not the source) failed.
    struct Failure {
        int errorNumber;
        bool atDestination;
    };

    // Copies the first `size` bytes of `sourceFd` into `destinationFd` (which must be empty) at the
    // same offsets and gives the destination that length. A source that turns out shorter (it
    // shrank meanwhile) is copied up to its end. `allocatedBytes` (st_blocks * 512) spares the
    // search for holes in a file that has blocks for all its bytes. Throws Failure.
    void copy(int sourceFd, int destinationFd, off_t size, off_t allocatedBytes);

private:
    // Copies [from, to) and answers where it stopped: `to`, or earlier at the source's end.
    off_t copyRange(int sourceFd, int destinationFd, off_t from, off_t to);
    off_t readWriteRange(int sourceFd, int destinationFd, off_t from, off_t to);

    bool m_tryCopyFileRange = true;
    std::vector<char> m_buffer;
};

} // namespace orvalink::platform
