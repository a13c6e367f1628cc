#include "platform/FileDataCopier.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace orvalink::platform {

namespace {
constexpr off_t kCopyChunk = off_t(1) << 30;
constexpr size_t kBufferSize = size_t(1) << 20;

// copy_file_range's answers that mean "not between these two files", as opposed to a real failure.
bool meansUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EBADF;
}
} // namespace

void FileDataCopier::copy(int sourceFd, int destinationFd, off_t size, off_t allocatedBytes)
{
    const bool mayHaveHoles = allocatedBytes < size;
    off_t position = 0;
    off_t end = size;
    while (position < end) {
        off_t dataStart = mayHaveHoles ? ::lseek(sourceFd, position, SEEK_DATA) : position;
        off_t dataEnd = end;
        if (dataStart < 0) {
            if (errno == ENXIO)
                break; // only a hole remains
            if (errno != EINVAL)
                throw Failure{errno, false};
            dataStart = position; // no hole support: everything is data
        } else if (mayHaveHoles) {
            dataEnd = ::lseek(sourceFd, dataStart, SEEK_HOLE);
            if (dataEnd < 0)
                throw Failure{errno, false};
        }
        if (dataStart >= end)
            break;
        dataEnd = std::min(dataEnd, end);
        const off_t reached = copyRange(sourceFd, destinationFd, dataStart, dataEnd);
        position = reached;
        if (reached < dataEnd) {
            end = reached;
            break;
        }
    }
    // A trailing hole (or a source that shrank) leaves the length to be set.
    if (position != end && ::ftruncate(destinationFd, end) != 0)
        throw Failure{errno, true};
}

off_t FileDataCopier::copyRange(int sourceFd, int destinationFd, off_t from, off_t to)
{
    while (m_tryCopyFileRange && from < to) {
        loff_t in = from;
        loff_t out = from;
        const ssize_t copied = ::copy_file_range(sourceFd, &in, destinationFd, &out,
                                                 static_cast<size_t>(std::min(to - from, kCopyChunk)), 0);
        if (copied > 0) {
            from += copied;
            continue;
        }
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0 && meansUnsupported(errno))
            m_tryCopyFileRange = false;
        // A zero (end of file, or a file system that copies nothing) or any other failure: the plain
        // road settles it and names the side that failed.
        break;
    }
    return from < to ? readWriteRange(sourceFd, destinationFd, from, to) : from;
}

off_t FileDataCopier::readWriteRange(int sourceFd, int destinationFd, off_t from, off_t to)
{
    if (m_buffer.empty())
        m_buffer.resize(kBufferSize);
    while (from < to) {
        const size_t wanted = static_cast<size_t>(std::min<off_t>(to - from, off_t(m_buffer.size())));
        const ssize_t got = ::pread(sourceFd, m_buffer.data(), wanted, from);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Failure{errno, false};
        }
        if (got == 0)
            return from;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written =
                ::pwrite(destinationFd, m_buffer.data() + done, static_cast<size_t>(got - done), from + done);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                throw Failure{errno, true};
            }
            if (written == 0)
                throw Failure{EIO, true};
            done += written;
        }
        from += got;
    }
    return from;
}

} // namespace orvalink::platform
