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

    // Opens the parent of `path`; links among the parent's own components are followed as in any
    // lookup. Throws PlatformError: EINVAL for "/", else the lookup's errno with the parent's path.
    static EntryLocation open(const QString& path);
};

// Opens the directory `path` with O_DIRECTORY | O_CLOEXEC added to `flags`. A path longer than
// PATH_MAX is opened one component at a time. Returns an invalid descriptor with errno set.
UniqueFd openDirectoryPath(const QByteArray& path, int flags);

} // namespace orvalink::platform
