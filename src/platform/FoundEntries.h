#pragma once

#include <QString>
#include <QStringList>

namespace orvalink::platform {

// How many entries a person finds at `paths` (and below them), as a file manager shows them: each
// entry that is not a directory counts one, and so does a directory that holds nothing (or that
// cannot be read); a directory that holds entries counts what it holds. A path that lies below
// another one of `paths` is counted with it, once. Links are never followed, other mounts never
// entered; a path where nothing stands counts nothing. Blocking; never throws but for lack of memory.
qint64 countFoundEntries(const QStringList& paths);

} // namespace orvalink::platform
