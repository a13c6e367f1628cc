#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace orvalink::platform {

// A path as the kernel's tables (mountinfo, /proc/swaps) write it, with space, tab, line feed and
// backslash as "\ooo", back as the bytes of the name.
QByteArray unescapedTablePath(const QByteArray& field);

// One line of /proc/self/mountinfo, with the octal escapes of its paths decoded.
struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    dev_t device = 0; // st_dev of files on this mount
    QString root;     // the directory of the file system mounted here
    QString mountPoint;
    QString fileSystemType;
    QString source;
};

// The mounts of this process, in mount order: a later entry with the same mount point lies on top.
class MountTable {
public:
    // Reads /proc/self/mountinfo; an unreadable table is empty.
    static MountTable current();
    // Malformed lines are skipped.
    static MountTable parse(const QByteArray& mountInfo);

    const std::vector<MountEntry>& entries() const { return m_entries; }

    // The mount whose mount point is exactly `path` (already canonical), the topmost when stacked.
    std::optional<MountEntry> entryAt(const QString& path) const;

    // The mount that something is really mounted at `path`: `path` must be a directory itself (a
    // link does not count, even to a mount point) and its canonical path a mount point. A plain
    // folder where nothing is mounted gives none, so data written there would land on the disk that
    // holds the folder.
    std::optional<MountEntry> mountedAt(const QString& path) const;

    // The mount that `path` (absolute) leads into by its name, as far as it exists: that of the
    // deepest entry it reaches (a file system mounted over a folder of the way hides what lay below
    // it), a link at its end not followed. None when the kernel does not tell an entry's mount (see
    // mountIdOf) or the table lists no such mount.
    std::optional<MountEntry> covering(const QString& path) const;

    // The mount with the id `mountId` (see mountIdOf); none when the table lists no such mount.
    std::optional<MountEntry> withId(quint64 mountId) const;

private:
    std::vector<MountEntry> m_entries;
};

// The id of the mount the open entry `fd` lies on, as the mount table numbers its lines; none where
// the kernel does not give it. Unlike the device number it tells a mount whose files report devices
// of their own (a btrfs volume and its subvolumes) from any other.
std::optional<quint64> mountIdOf(int fd);

// The block device that holds the files of `mount`: the device node named as its source when that
// is one (file systems such as btrfs report an anonymous st_dev), else its st_dev.
dev_t blockDeviceOf(const MountEntry& mount);

} // namespace orvalink::platform
