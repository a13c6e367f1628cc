#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

namespace orvalink::platform {

// A folder opened once, whose files are replaced by name without ever following a symbolic link,
// for folders other users may write to as well (a shared export folder).
//
// Every call works relative to the descriptor taken when the object was made, so a folder moved or
// swapped for a link afterwards does not redirect the writes. replaceFile() writes the bytes into a
// new file created exclusively beside the final name, flushes it and renames it over the name: what
// stood there, a symbolic link included, is replaced as a directory entry, and a link's target is
// never opened, read or changed. A failure removes the new file and leaves the name as it was.
class FolderWriter {
public:
    // Opens `folder`. Throws PlatformError: ELOOP when its last component is a symbolic link,
    // ENOTDIR when it is no folder, else the open's errno with the path.
    explicit FolderWriter(const QString& folder);

    const QString& path() const { return m_path; }

    // Replaces the file `name` (one path component) with `data`: a reader of the name sees the old
    // content or the new one, never a mix. The new file gets mode 0666 less the umask, as a file
    // the user creates would. The data reaches the disk before the rename, and the rename before
    // this returns. Throws PlatformError (EINVAL for a name that is not a single component, EISDIR
    // when a folder stands at the name).
    void replaceFile(const QString& name, const QByteArray& data) const;

private:
    QString m_path;
    UniqueFd m_folder;
};

} // namespace orvalink::platform
