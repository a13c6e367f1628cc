#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <functional>

// Files a live process marks as its own with an exclusive flock(2) for as long as it needs them, so
// that a later process can tell what a process that died (killed, or the machine stopped) left
// behind: nobody holds that any more. The temporary files of AtomicFileWriter are of this kind:
// "<final name>.<random part>" (see createUniqueFile) beside the final name, held from their
// creation until they are renamed into place or removed.
namespace orvalink::platform {

// Creates a temporary file for the final name `finalName` in the folder `folderFd` as
// createUniqueFile does, and holds it before anything is written: the lock lasts while any
// duplicate of the answered descriptor is open. A file swept away before its lock was taken is
// never used; another name is tried. On a file system that keeps no locks the file is used unheld
// (no sweep can take it there). An invalid descriptor and errno on failure.
UniqueFd createHeldTemporaryFile(int folderFd, const QByteArray& finalName, QByteArray& created);

// The final name of the temporary file `name`; empty when `name` is no temporary file name.
QString finalNameOfTemporaryFile(const QString& name);

struct RemovedFiles {
    qsizetype count = 0;
    qint64 bytes = 0; // their sizes

    RemovedFiles& operator+=(const RemovedFiles& other)
    {
        count += other.count;
        bytes += other.bytes;
        return *this;
    }
};

// Removes from the folder `folder` the entries that `picks` chooses by name and that nobody holds:
// only a regular file of this user, never a link (the folder's own last component is not followed
// either), whose lock is taken without waiting and which, once it is, still stands at its name and
// is still allowed by `stillMayGo` (when given). A holder is never waited for and nothing it holds
// is touched. A folder that cannot be opened (missing, a link, not this user's to read) has nothing
// removed. Never throws.
RemovedFiles removeUnheldFiles(const QString& folder, const std::function<bool(const QString& name)>& picks,
                               const std::function<bool(const QString& name)>& stillMayGo = {});

// Removes from `folder` the temporary files that no writer holds any more, of the final names
// `isStoreName` accepts (see removeUnheldFiles). Never throws.
RemovedFiles removeAbandonedTemporaryFiles(const QString& folder,
                                           const std::function<bool(const QString& finalName)>& isStoreName);

} // namespace orvalink::platform
