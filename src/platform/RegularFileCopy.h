#pragma once

#include "platform/EntryIdentity.h"
#include "platform/FileDataCopier.h"

#include <QByteArray>
#include <QSet>
#include <optional>
#include <sys/stat.h>

namespace orvalink::platform {

// One regular file to copy, addressed through directory descriptors so that neither the length of
// its path nor the depth of its tree matters.
struct FileCopyRequest {
    int sourceDirectory;
    const char* sourceName;
    EntryIdentity source; // what the walk saw there: anything else in its place is refused (EBUSY)
    int destinationDirectory;
    const char* destinationName;
    // An empty file made beforehand for this copy (the first of a hard-linked group, whose other
    // names may already point at it); without one the file is created exclusively.
    std::optional<EntryIdentity> prepared;
};

struct FileCopyResult {
    int errorNumber = 0;                  // 0 on success
    bool atDestination = false;           // whether errorNumber concerns the destination side
    std::optional<EntryIdentity> created; // the file this call created, also when it then failed
    struct stat taken {};                 // the source as opened and copied, on success
    // On success, the copy's change time once its data, attributes, mode and times were in: what the
    // copy leaves it with (see TreeCopier::copyStands).
    timespec copyChanged{};
    QSet<QByteArray> refusedAttributes; // extended attributes the destination did not take
};

// Copies data (holes kept), owner (when `asRoot`), extended attributes and ACLs (see
// copyExtendedAttributes), mode and nanosecond times of one regular file.
// Never follows a link at either name, never blocks on a FIFO put in the file's place, never
// throws. The destination's close is checked, as a file system may report a failed write only
// there.
FileCopyResult copyRegularFile(const FileCopyRequest& request, FileDataCopier& data, bool asRoot);

// Gives the open entry `fd` the owner (when `asRoot`), the extended attributes of the open entry
// `sourceFd` (those it refuses are added to `refused`), and the mode and access and modification
// times of `info`. Answers 0 or the errno of the call that failed.
int applyCopiedMetadata(int fd, const struct stat& info, bool asRoot, int sourceFd,
                        QSet<QByteArray>& refused);

// Whether `error`, from a change of mode or owner of an entry this process just made, says that the
// file system has none to change (FAT and exFAT give every entry the mount's own).
bool isModeRefusal(int error);

// Gives the open entry `fd` the mode `mode`; a file system that refuses modes may already show it,
// which is as good. Answers 0 or the errno of the refusal.
int setMode(int fd, mode_t mode);

} // namespace orvalink::platform
