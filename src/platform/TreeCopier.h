#pragma once

#include "platform/EntryLocation.h"
#include "platform/FileDataCopier.h"
#include "platform/TreeWalker.h"
#include "platform/UniqueFd.h"

#include <QHash>
#include <QSet>

#include <sys/stat.h>
#include <vector>

namespace orvalink::platform {

// Copies one entry, a whole tree for a directory, to a destination that must not exist yet,
// typically on another file system. The destination is created exclusively and everything below
// it is created by this copy. Symbolic links are recreated as links (never followed), hard links
// inside the tree stay linked, holes stay holes, FIFOs are recreated; modes, access and
// modification times to the nanosecond (directories after their contents) and, when running as
// root, owners are kept. Sockets and devices are refused (EOPNOTSUPP), and so is a tree that holds
// another mounted file system (EXDEV) or a source that is itself a mount point (EBUSY).
class TreeCopier : private TreeVisitor {
public:
    // Both locations must outlive the copier.
    TreeCopier(const EntryLocation& source, const EntryLocation& destination);

    // Copies, then flushes the destination's file system (syncfs) so the copy is on disk before
    // anyone removes the source. On failure removes exactly what it created, leaves the source as
    // it was, and throws PlatformError with the first errno and the path it concerns.
    void copy();

    // True when `info`, an lstat of a source entry, is one this copy took and that has not changed
    // since: the same inode and, for anything but a directory, the same size and modification time.
    bool copiedUnchanged(const struct stat& info) const;

private:
    struct Fingerprint {
        off_t size;
        struct timespec modified;
    };
    // Inode numbers alone are not unique where files of one tree report different devices (an
    // overlay over several layers): mistaking one file for another would hard-link it in its place.
    struct Identity {
        dev_t device;
        ino_t inode;
        static Identity of(const struct stat& info) { return Identity{info.st_dev, info.st_ino}; }
        friend bool operator==(const Identity&, const Identity&) = default;
        friend size_t qHash(const Identity& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.device, key.inode);
        }
    };

    bool enterDirectory(const WalkEntry& entry, int fd) override;
    void visitEntry(const WalkEntry& entry) override;
    void leaveDirectory(const WalkEntry& entry, int fd) override;
    void walkFailed(const WalkEntry& entry, int errorNumber) override;

    struct stat copyFile(const WalkEntry& entry);
    void copyLink(const WalkEntry& entry);
    void copyFifo(const WalkEntry& entry);
    void linkToFirst(const WalkEntry& entry, const QByteArray& firstRelative);

    // Where an entry goes: the destination itself for the root, else the same name in the current
    // destination directory.
    int destinationParent(const WalkEntry& entry) const;
    const char* destinationName(const WalkEntry& entry) const;
    QString destinationPath(const WalkEntry& entry) const;

    // Records an entry just created at the destination; removes it again when that fails.
    void noteCreated(const WalkEntry& entry, int removeFlags);
    void applyMetadata(int fd, const struct stat& info, const WalkEntry& entry) const;
    void applyMetadataAt(const WalkEntry& entry, bool isLink) const;
    void remember(const struct stat& info);
    void flushDestination();
    void removeCreated();
    [[noreturn]] void fail(int errorNumber, const QString& path) const;

    const EntryLocation& m_source;
    const EntryLocation& m_destination;
    const bool m_asRoot;
    FileDataCopier m_data;
    UniqueFd m_current;                       // the destination directory being filled
    UniqueFd m_destinationRoot;               // the destination itself, for syncfs and hard links
    std::vector<Identity> m_directories;      // destination directories from the root down
    QSet<Identity> m_created;                 // destination entries this copy made
    QHash<Identity, Fingerprint> m_copied;    // source entries taken, as they were when taken
    QHash<Identity, QByteArray> m_firstLinks; // multiply linked source entry -> its first copy
};

} // namespace orvalink::platform
