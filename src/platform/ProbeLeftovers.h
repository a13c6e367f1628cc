#pragma once

#include <QByteArray>
#include <sys/stat.h>

namespace orvalink::platform {

// The name of the hidden folder a volume probe works in (see VolumeProbe): a prefix of its own, the
// access and modification times the folder it is made in had before, and a random part. Whoever
// finds such a folder left over (by a probe that was killed) can so give that folder its times back.
QByteArray probeFolderName(const struct stat& folderBefore);

// Removes from the folder open at `folder` (a descriptor that may be read) what probes killed while
// they worked there left: entries named as probeFolderName() names them that hold nothing but what a
// probe makes (the empty files "f" and "h", the link "l", the FIFO "p", and the folder "n" of empty
// files with short names; on a volume without links or FIFOs, empty files in their places). An entry
// with such a name that holds anything else stays as it is. Where nothing but those probes changed
// the folder since the first of them began, the folder gets back the times it had then; otherwise the
// times it had before this call. Answers how many went. Never throws.
int removeProbeLeftovers(int folder);

} // namespace orvalink::platform
