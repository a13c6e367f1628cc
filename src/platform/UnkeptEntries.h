#pragma once

#include "platform/VolumeProbe.h"

#include <QString>
#include <optional>

namespace orvalink::platform {

// An entry of a tree that a volume cannot keep as it is, and what of it the volume would lose.
struct UnkeptEntry {
    Unkept what;
    QString path;

    bool operator==(const UnkeptEntry&) const = default;
};

// The first entry of the tree at `path` (the entry itself first, then depth first as a copy meets
// them) that the volume `probe` tried cannot keep as it is: a mode or (as root) an owner other than
// the one the volume gives every entry, a link, a second name of a file, a FIFO, a user attribute or
// an ACL where the volume keeps none, a name it refuses or changes, or a name that differs only in
// case from an earlier one in the same folder where the volume does not tell case apart. None when
// the volume keeps everything of it; a volume that keeps everything is not even walked. Never
// follows a link and never enters another mounted file system; what cannot be read is left for the
// copy to report.
std::optional<UnkeptEntry> firstUnkeptEntry(const QString& path, VolumeProbe& probe);

} // namespace orvalink::platform
