#include "platform/ContentComparison.h"

#include "platform/EntryLocation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

constexpr off_t kBlockBytes = 1024 * 1024;

// Fills `buffer` with `length` bytes from `offset`; fewer only at the file's end. -1 on a failure.
ssize_t readBlock(int fd, char* buffer, size_t length, off_t offset)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, buffer + done, length - done, offset + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += size_t(got);
    }
    return ssize_t(done);
}

// Writes out the pages of the file that writes through a shared mapping left dirty, and waits for
// them. The kernel marks a new time only at the first write into a clean page of a mapping: once
// written back, every page is clean again, so any later write through a mapping marks one, which the
// look at the status after the reading sees. A file system that writes nothing back (tmpfs) marks
// nothing again; its pages stay as they are.
void writeBackMappedPages(int fd)
{
    while (::sync_file_range(fd, 0, 0,
                             SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                 SYNC_FILE_RANGE_WAIT_AFTER) != 0 &&
           errno == EINTR) {
    }
}

bool sameTime(const timespec& first, const timespec& second)
{
    return first.tv_sec == second.tv_sec && first.tv_nsec == second.tv_nsec;
}

// Both files read to their ends with the same bytes, and neither written meanwhile.
bool unchangedSince(int first, const struct stat& firstBefore, int second, const struct stat& secondBefore,
                    FileStatus* firstStatus)
{
    struct stat firstAfter {};
    struct stat secondAfter {};
    if (::fstat(first, &firstAfter) != 0 || ::fstat(second, &secondAfter) != 0 ||
        !FileStatus::of(firstBefore).sameAs(FileStatus::of(firstAfter)) ||
        !FileStatus::of(secondBefore).sameAs(FileStatus::of(secondAfter)))
        return false;
    if (firstStatus)
        *firstStatus = FileStatus::of(firstAfter);
    return true;
}

} // namespace

FileStatus FileStatus::of(const struct stat& info)
{
    return FileStatus{info.st_size, info.st_mtim, info.st_ctim};
}

bool FileStatus::sameAs(const FileStatus& other) const
{
    return sameContentTimes(other) && sameTime(changed, other.changed);
}

bool FileStatus::sameContentTimes(const FileStatus& other) const
{
    return size == other.size && sameTime(modified, other.modified);
}

bool sameContent(int first, int second, FileStatus* firstStatus)
{
    struct stat firstInfo {};
    struct stat secondInfo {};
    if (::fstat(first, &firstInfo) != 0 || ::fstat(second, &secondInfo) != 0 || !S_ISREG(firstInfo.st_mode) ||
        !S_ISREG(secondInfo.st_mode) || firstInfo.st_size != secondInfo.st_size)
        return false;
    // After the status was read: a write between the two marks a new time or is written out now,
    // before it is read.
    writeBackMappedPages(first);
    ::posix_fadvise(first, 0, 0, POSIX_FADV_SEQUENTIAL);
    ::posix_fadvise(second, 0, 0, POSIX_FADV_SEQUENTIAL);
    // One byte more than the size, so that a file that grew meanwhile shows it.
    const off_t end = firstInfo.st_size + 1;
    const size_t block = size_t(std::min(end, kBlockBytes));
    const std::unique_ptr<char[]> firstBlock(new (std::nothrow) char[block]);
    const std::unique_ptr<char[]> secondBlock(new (std::nothrow) char[block]);
    if (!firstBlock || !secondBlock)
        return false;
    for (off_t offset = 0; offset < end;) {
        const size_t length = size_t(std::min(end - offset, off_t(block)));
        const ssize_t firstRead = readBlock(first, firstBlock.get(), length, offset);
        const ssize_t secondRead = readBlock(second, secondBlock.get(), length, offset);
        if (firstRead < 0 || firstRead != secondRead ||
            std::memcmp(firstBlock.get(), secondBlock.get(), size_t(firstRead)) != 0)
            return false;
        if (size_t(firstRead) < length) // both ended, where they should
            return offset + firstRead == firstInfo.st_size &&
                   unchangedSince(first, firstInfo, second, secondInfo, firstStatus);
        offset += firstRead;
    }
    return false; // both held more than their size said: they grew meanwhile
}

UniqueFd openToCompare(const FileBeneath& file)
{
    // Without touching the access time where the file's owner allows it: a comparison is no use of
    // the data.
    UniqueFd fd = openBeneath(file.directory, file.path, O_RDONLY | O_NONBLOCK | O_NOATIME);
    if (!fd.isValid() && errno == EPERM)
        fd = openBeneath(file.directory, file.path, O_RDONLY | O_NONBLOCK);
    struct stat info {};
    if (!fd.isValid() || ::fstat(fd.get(), &info) != 0 || EntryIdentity::of(info) != file.identity)
        return UniqueFd();
    return fd;
}

bool sameContent(const FileBeneath& first, const FileBeneath& second)
{
    const UniqueFd firstFd = openToCompare(first);
    if (!firstFd.isValid())
        return false;
    const UniqueFd secondFd = openToCompare(second);
    return secondFd.isValid() && sameContent(firstFd.get(), secondFd.get());
}

} // namespace orvalink::platform
