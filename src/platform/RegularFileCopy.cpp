#include "platform/RegularFileCopy.h"

#include "platform/ExtendedAttributes.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orvalink::platform {

namespace {

FileCopyResult& failed(FileCopyResult& result, int errorNumber, bool atDestination)
{
    result.errorNumber = errorNumber;
    result.atDestination = atDestination;
    return result;
}

// Opens the destination: created exclusively, or the prepared empty file, checked to be still ours.
UniqueFd openDestination(const FileCopyRequest& request, FileCopyResult& result)
{
    constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd out(request.prepared
                     ? ::openat(request.destinationDirectory, request.destinationName, kFlags | O_NONBLOCK)
                     : ::openat(request.destinationDirectory, request.destinationName,
                                kFlags | O_CREAT | O_EXCL, 0600));
    struct stat created {};
    if (!out.isValid()) {
        failed(result, errno, true);
    } else if (::fstat(out.get(), &created) != 0) {
        failed(result, errno, true);
        if (!request.prepared) // made a moment ago by this very call
            ::unlinkat(request.destinationDirectory, request.destinationName, 0);
    } else if (!request.prepared) {
        result.created = EntryIdentity::of(created);
        return out;
    } else if (EntryIdentity::of(created) == *request.prepared) {
        return out;
    } else {
        failed(result, EBUSY, true); // replaced since it was made
    }
    return UniqueFd();
}

// A file system without owners of its own gives every entry the mount's: that may be the one asked.
bool showsOwner(int fd, const struct stat& wanted)
{
    const int error = errno;
    struct stat now {};
    const bool shows = ::fstat(fd, &now) == 0 && now.st_uid == wanted.st_uid && now.st_gid == wanted.st_gid;
    errno = error;
    return shows;
}

} // namespace

bool isModeRefusal(int error)
{
    return error == ENOSYS || error == EOPNOTSUPP || error == EPERM;
}

int setMode(int fd, mode_t mode)
{
    if (::fchmod(fd, mode) == 0)
        return 0;
    const int error = errno;
    struct stat now {};
    if (isModeRefusal(error) && ::fstat(fd, &now) == 0 && (now.st_mode & 07777) == mode)
        return 0;
    return error;
}

FileCopyResult copyRegularFile(const FileCopyRequest& request, FileDataCopier& data, bool asRoot)
{
    // O_NONBLOCK: should a FIFO have taken the file's place, opening it must not hang.
    UniqueFd in(::openat(request.sourceDirectory, request.sourceName,
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    FileCopyResult result;
    struct stat taken {};
    if (!in.isValid() || ::fstat(in.get(), &taken) != 0)
        return failed(result, errno, false);
    if (!S_ISREG(taken.st_mode) || EntryIdentity::of(taken) != request.source)
        return failed(result, EBUSY, false);

    UniqueFd out = openDestination(request, result);
    if (!out.isValid())
        return result;
    try {
        data.copy(in.get(), out.get(), taken.st_size, off_t(taken.st_blocks) * 512);
    } catch (const FileDataCopier::Failure& failure) {
        return failed(result, failure.errorNumber, failure.atDestination);
    }
    if (const int error = applyCopiedMetadata(out.get(), taken, asRoot, in.get(), result.refusedAttributes);
        error != 0)
        return failed(result, error, true);
    struct stat made {};
    if (::fstat(out.get(), &made) != 0)
        return failed(result, errno, true);
    if (const int error = out.close(); error != 0)
        return failed(result, error, true);
    result.taken = taken;
    result.copyChanged = made.st_ctim;
    return result;
}

int applyCopiedMetadata(int fd, const struct stat& info, bool asRoot, int sourceFd, QSet<QByteArray>& refused)
{
    // Owner first: chown clears set-user-ID and set-group-ID bits that chmod then sets again, and
    // file capabilities. Attributes before the mode, which may forbid the owner to write them.
    if (asRoot && ::fchown(fd, info.st_uid, info.st_gid) != 0 && !showsOwner(fd, info))
        return errno;
    if (const int error = copyExtendedAttributes(sourceFd, fd, asRoot, refused); error != 0)
        return error;
    if (const int error = setMode(fd, info.st_mode & 07777); error != 0)
        return error;
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::futimens(fd, times) != 0)
        return errno;
    return 0;
}

} // namespace orvalink::platform
