#pragma once

#include "platform/EntryIdentity.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <sys/stat.h>

namespace orvalink::platform {

// True when the regular files open for reading at `first` and `second` hold the same bytes, read
// from the start in large blocks; false when they differ in size or content, when either is not a
// regular file, or when either cannot be read to its end (an unreadable file proves nothing).
// A file written while it is read may keep a block already compared: both files' status (size,
// modification and change time) is read again afterwards, and one that moved proves nothing
// either (false). Writes through a shared mapping of `first` are written out before it is read, so
// that a later one marks a new time too (on a file system that writes pages back; tmpfs does not).
// With `firstStatus`, answers the status `first` kept throughout, which a later look can hold the
// file to. Never throws. Safe on several threads at once for different
// descriptors.
struct FileStatus;
bool sameContent(int first, int second, FileStatus* firstStatus = nullptr);

// What a write changes of a file: any write moves the change time, whatever is done to the others.
struct FileStatus {
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileStatus of(const struct stat& info);
    // The same size, modification and change time.
    bool sameAs(const FileStatus& other) const;
    // The same size and modification time, whatever became of the change time.
    bool sameContentTimes(const FileStatus& other) const;
};

// A regular file to compare, reached from an open directory without following a link or leaving
// its file system (see openBeneath), and only while it is the file `identity`.
struct FileBeneath {
    int directory;
    QByteArray path; // below `directory`
    EntryIdentity identity;
};

// Opens `file` for reading, as a comparison does; invalid when it cannot, or when another entry
// stands there.
UniqueFd openToCompare(const FileBeneath& file);

// The same for two files reached so; anything but the expected file found there proves nothing
// (false).
bool sameContent(const FileBeneath& first, const FileBeneath& second);

} // namespace orvalink::platform
