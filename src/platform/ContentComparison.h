#pragma once

#include "platform/EntryIdentity.h"
#include "platform/UniqueFd.h"

#include <QByteArray>

namespace orvalink::platform {

// True when the regular files open for reading at `first` and `second` hold the same bytes, read
// from the start in large blocks; false when they differ in size or content, when either is not a
// regular file, or when either cannot be read to its end (an unreadable file proves nothing).
// Never throws. Safe on several threads at once for different descriptors.
bool sameContent(int first, int second);

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
