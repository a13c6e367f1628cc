#pragma once

#include <QString>

namespace orvalink::platform {
struct MountEntry;
} // namespace orvalink::platform

namespace orvalink {

// Refuses, before anything moves, a migration of `source` to `target` on `volume` whose copy would
// hold less than the folder: the volume is tried in the folder where the copy will be made (the
// deepest existing folder above `target`; see platform::VolumeProbe), and where it does not keep
// something (modes, owners, links, hard links, FIFOs, user attributes, ACLs, some names), the folder
// is looked over for an entry that needs it (see platform::firstUnkeptEntry). Throws
// OrvalinkError::copyFallsShort naming the volume's file system, what it cannot keep and the first
// entry concerned; the same, with the folder and why, when the volume that folder lies on cannot be
// told. A volume where nothing can be tried refuses the copy itself, which reports that.
void requireVolumeKeeps(const QString& source, const QString& target, const platform::MountEntry& volume);

} // namespace orvalink
