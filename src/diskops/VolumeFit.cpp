#include "diskops/VolumeFit.h"

#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileSystemName.h"
#include "platform/MountTable.h"
#include "platform/StandardPath.h"
#include "platform/UnkeptEntries.h"

namespace orvalink {

namespace {

// Where the copy's first folder will be made: the target's deepest folder that exists already.
QString deepestExistingFolder(const QString& target, const QString& mountPoint)
{
    QString folder = platform::parentPath(target);
    while (folder.size() > mountPoint.size() && !platform::isRealDirectory(folder))
        folder = platform::parentPath(folder);
    return folder;
}

} // namespace

void requireVolumeKeeps(const QString& source, const QString& target, const platform::MountEntry& volume)
{
    const QString folder = deepestExistingFolder(target, volume.mountPoint);
    platform::VolumeProbe probe(folder, volume);
    if (probe.untold())
        throw OrvalinkError::copyFallsShort(source, target,
                                            CopyShortfall::volumeUntold(folder, *probe.untold()));
    if (const std::optional<platform::UnkeptEntry> unkept = platform::firstUnkeptEntry(source, probe)) {
        throw OrvalinkError::copyFallsShort(
            source, target,
            CopyShortfall::volumeCannotKeep(platform::fileSystemName(probe.mount()), unkept->what,
                                            unkept->path));
    }
}

} // namespace orvalink
