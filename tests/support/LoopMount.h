#pragma once

#include <QString>
#include <QTemporaryDir>
#include <ctime>
#include <optional>

namespace orvalink::test {

// A small file system of its own kind, made in an image file and mounted at a directory for one
// test, by the kernel through a loop device or by a FUSE driver: a volume that keeps times as
// coarsely as small external disks do, or that cannot keep modes, links, attributes or some names,
// as FAT and exFAT disks cannot. Needs root (the tests' own mount namespace gives neither loop
// devices nor /dev/fuse), the kind's mkfs program and a kernel or driver that mounts the kind;
// without any of them the mount is not valid and skipReason() says why. Unmounted (lazily; the loop
// device then goes by itself) when the object dies, whatever the test did.
class LoopMount {
public:
    enum class Kind {
        wholeSecondsExt4, // ext4 with 128-byte inodes: no room for fractions of a second
        vfat,             // FAT keeps modification times to two seconds
        ext4,             // ext4 with 256-byte inodes, as a disk of its own has it: times to the nanosecond
        exfatFuse,        // exFAT through its FUSE driver: every entry 0777, no links, no attributes
        fatFuse,          // FAT through its FUSE driver: modes refused, no links, no attributes
        btrfs,            // btrfs: files report another device number than the mount table gives
        btrfsWithoutAcls  // the same mounted with noacl: no ACLs
    };

    // Creates `mountPoint` when missing and mounts a fresh file system of `kind` there.
    LoopMount(QString mountPoint, Kind kind, qint64 sizeBytes = 32 * 1024 * 1024);
    ~LoopMount();
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    bool isValid() const { return m_mounted; }
    const QString& mountPoint() const { return m_mountPoint; }
    std::optional<QString> skipReason() const;

    // Sets the change time of every regular file on an ext4 volume `secondsAgo` seconds back (its
    // fraction of a second kept), as only a file nobody touched for that long has it. Nobody but the
    // kernel sets a change time on a mounted file system: the volume is unmounted, its image edited
    // with debugfs, and mounted again, so nothing may hold it meanwhile. File names must not hold
    // double quotes. Answers why it could not, or nothing; the volume is no longer mounted then.
    std::optional<QString> ageChangeTimes(time_t secondsAgo);

private:
    // Mounts the image at the mount point; answers mount's complaint, or nothing.
    std::optional<QString> mountImage();

    QString m_mountPoint;
    Kind m_kind;
    QTemporaryDir m_imageFolder;
    QString m_loopDevice; // for a FUSE driver that takes a block device only
    bool m_mounted = false;
    QString m_skipReason;
};

// A kind as a test row names it.
const char* loopKindName(LoopMount::Kind kind);

} // namespace orvalink::test
