#pragma once

#include <ctime>
#include <optional>
#include <sys/stat.h>

namespace orvalink::platform {

// How finely a file system keeps the times of its files.
enum class TimeStampPrecision {
    fine,  // to the kernel clock's tick or better, set by this machine's clock
    coarse // whole seconds or worse (FAT keeps two), or set by another machine's clock
};

// The precision of the file system holding the open entry `fd` (an O_PATH descriptor will do), by
// its kind: FAT, exFAT, HFS, ISO 9660 and UDF keep coarse times; FUSE and network file systems give
// times set by rules and clocks of their own, which prove nothing here either. Coarse when the
// kind cannot be read. A file system that keeps fine times in general may still keep whole seconds
// for some files (ext4 with 128-byte inodes): TimeProof looks at each file as well.
TimeStampPrecision timeStampPrecisionOf(int fd);

// When a file's times prove that it has not changed since a copy took it. A file seen again with
// the size and modification time it had when the copy took it has not been written since only if
// a write would have left another time: on a file system that keeps fine times, for a file whose
// times lie well before the copy began (any write since sets the clock's time, later than that).
// A write in the same second as the file's last one leaves the same time on a file system that
// keeps whole seconds, and in the same tick of the kernel clock on any other. A program may also
// put the modification time it found back after writing (cp -p or rsync -t --inplace onto an
// existing file, touch -r); only the change time it cannot set: every write, change of times, mode
// or owner and every link or rename of the file sets it to the clock's time. Where times cannot
// tell, the caller compares the content with the copy, or keeps the file.
class TimeProof {
public:
    // Margin for the kernel's file-time clock, which lags the real-time clock by up to a tick.
    static constexpr time_t kMarginSeconds = 2;

    // Times prove nothing: the content decides for every file.
    TimeProof() = default;
    // For files on a file system of `precision`, taken by a copy that began reading no earlier than
    // `copyBegan` (real-time clock). For coarse times nothing is proven.
    TimeProof(TimeStampPrecision precision, timespec copyBegan);
    // For a copy beginning now of the files on the file system holding `fd`.
    static TimeProof beginningNow(int fd);

    // True when `info`, a file whose size and modification time are what they were when the copy
    // took it, cannot have been written since: its file system keeps fine times, its own change
    // time has a fraction of a second (ext4 with small inodes keeps whole seconds, and nobody but
    // the kernel sets a change time), and both its modification time and its change time lie more
    // than the margin before the copy began. Asked about a file as it is seen when it is to be
    // removed, not only as the copy took it: a change time that moved since says something was done
    // to it (its content rewritten under its old modification time, or only its mode or links
    // changed), and then only its content can prove it unchanged.
    bool provesUnchanged(const struct stat& info) const;

    // Margin for a folder's listing: what changes a folder after it was listed sets the time of the
    // kernel's file-time clock, which lags the real-time clock by a tick at most.
    static constexpr long kListingMarginNanoseconds = 100'000'000;

    // True when `info`, a folder that shows the modification time it had when it was listed at
    // `listed` (real-time clock), holds the names that listing found: its file system keeps fine
    // times, its change time has a fraction of a second, and both its times lie more than the
    // listing margin before `listed`, so anything done to it since (an entry added, removed or
    // renamed, the folder itself renamed or given another mode) would have left later ones.
    bool provesListingCurrent(const struct stat& info, timespec listed) const;

private:
    std::optional<timespec> m_provenBefore; // times before this prove; none: nothing does
};

} // namespace orvalink::platform
