#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

namespace orvalink::platform {

// A directory entry addressed through its parent: a descriptor on the parent directory and the
// entry's own name. Calls made relative to it do not depend on the length of the whole path, and a
// link in the last component is acted on as a link, never followed (a trailing "/" in the text is
// dropped rather than letting it resolve the link).
struct EntryLocation {
    QString path;    // the standardized path, for messages
    UniqueFd parent; // O_PATH descriptor on the parent directory
    QByteArray name; // the last component as the file system spells it

    // The entry itself ("" ) or what lies at `relative` ("a/b") below it, as a path from the parent.
    QByteArray below(const QByteArray& relative) const
    {
        return relative.isEmpty() ? name : name + '/' + relative;
    }

    // Opens the parent of `path`; links among the parent's own components are followed as in any
    // lookup. Throws PlatformError: EINVAL for "/", else the lookup's errno with the parent's path.
    static EntryLocation open(const QString& path);
};

// Opens the directory `path` with O_DIRECTORY | O_CLOEXEC added to `flags`. A path longer than
// PATH_MAX is opened one component at a time. Returns an invalid descriptor with errno set.
UniqueFd openDirectoryPath(const QByteArray& path, int flags);

// Opens the entry at `relative` ("a/b") below the directory open at `directory` with `flags`
// (O_NOFOLLOW and O_CLOEXEC added), following no link on the way nor at the end, never climbing
// above `directory` and never entering another mounted file system. Returns an invalid descriptor
// with errno set (ELOOP: a link was met; EXDEV: a mount).
UniqueFd openBeneath(int directory, const QByteArray& relative, int flags);

} // namespace orvalink::platform
