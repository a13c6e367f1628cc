#pragma once

#include "platform/ContentComparison.h"
#include "platform/EntryIdentity.h"
#include "platform/EntryLocation.h"
#include "platform/FileCopyTask.h"
#include "platform/FileDataCopier.h"
#include "platform/FileWorkPool.h"
#include "platform/TimeProof.h"
#include "platform/TreeWalker.h"
#include "platform/UniqueFd.h"

#include <QHash>
#include <QSet>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace orvalink::platform {

// Copies one entry, a whole tree for a directory, to a destination that must not exist yet,
// typically on another file system. The destination is created exclusively and everything below
// it is created by this copy. Symbolic links are recreated as links (never followed), hard links
// inside the tree stay linked, holes stay holes, FIFOs are recreated; modes, access and
// modification times to the nanosecond (directories after their contents) and, when running as
// root, owners are kept, and so are extended attributes and ACLs as far as the destination takes
// them (see copyExtendedAttributes; what it refuses is reported, not a failure). Sockets and devices are
// refused (EOPNOTSUPP), and so is a tree that holds another mounted file system (EXDEV) or a source that is
// itself a mount point (EBUSY).
//
// The walk creates directories, links, FIFOs and hard-linked groups in order on the calling
// thread; regular files are copied by the workers of a FileWorkPool. What the copy does and reports
// does not depend on how many workers it has or how they are scheduled, except which file is the
// first to find the destination full.
class TreeCopier : private TreeVisitor {
public:
    // Called once the destination itself exists (see MoveHooks::created); may throw to stop the copy.
    using CreatedHook = std::function<void()>;

    // Both locations must outlive the copier. With `sourceIdentity`, the source must be that entry:
    // anything else standing there is refused (EBUSY) before anything is copied. With
    // `timesProveNothing` no file of the source is proven unchanged by its times (see
    // MoveHooks::timesProveNothing).
    TreeCopier(const EntryLocation& source, const EntryLocation& destination, CreatedHook created = {},
               std::optional<EntryIdentity> sourceIdentity = std::nullopt, bool timesProveNothing = false);

    // Copies, then flushes the destination's file system (syncfs) so the copy is on disk before
    // anyone removes the source. On failure removes exactly what it created, leaves the source as
    // it was, and throws PlatformError with the first errno and the path it concerns.
    void copy();

    // True when `info`, an lstat of the source entry at `relativePath` below the source ("" for the
    // source itself, "a/b" for b in a), is one this copy took and that has not changed since: the
    // same inode and, for anything but a directory, the same size and modification time. For a
    // regular file whose times cannot prove that (see TimeProof: coarse times, a modification or
    // change time close to the copy's start or after it, or times that prove nothing to this
    // copier), the file there must also hold what its copy holds, compared byte for byte; one that
    // differs or cannot be read is never allowed again. The times are judged as `info` has them, so
    // a file whose change time moved after the copy took it is compared with the copy at the same
    // place below the destination. Safe on several threads.
    //
    // A file compared earlier (see compareUnproven) is not read again while it shows the status it
    // kept throughout that comparison; with another size or modification time it changed. One whose
    // change time alone moved (removing another name of a hard-linked file moves it, and so does a
    // write whose program put the old modification time back) is allowed while it has other names,
    // which keep it, and compared again at its last: so the removal must take the names of one file
    // one after another (see sweepFiles).
    bool copiedUnchanged(const struct stat& info, const QByteArray& relativePath) const;

    // Whether the removal of the source may take the entry `info` at `relativePath` (as for
    // copiedUnchanged): it is unchanged, and its copy stands as this copy made it (see copyStands).
    // One it may take is remembered as released; one whose copy does not stand is remembered as
    // lost (see lostCopies). Safe on several threads.
    bool mayRelease(const struct stat& info, const QByteArray& relativePath);

    // Whether the copy of the source entry `info` at `relativePath` stands as this copy made it: the
    // entry this copy created at the same place below the copy's root (wherever that root is now),
    // of the same kind, and for a regular file of the same size (which a program that cut the copy
    // short or wrote more to it changes) and unchanged since this copy was done with it: the same
    // change time, which every write, every setting of its times or mode and every new or removed
    // name moves (a program that rewrote it with as many bytes and put its times back cannot set
    // it). What this copy does to its own files (their attributes, mode and times, another name,
    // a file written anew by a refresh) is read back as it does it; reading a copy moves nothing.
    // Where the volume keeps no change time of its own (FAT and exFAT give the modification time,
    // which a program may put back), only a write that left another modification time shows.
    // Safe on several threads.
    bool copyStands(const struct stat& info, const QByteArray& relativePath) const;
    // Whether the destination still holds the copy's root, which has not been removed: through the
    // descriptor of its folder (a program tidying the volume may have moved it aside) and by its
    // path's name, looked up from the root of the file system (which a file system mounted over its
    // folder, or a folder above, leads elsewhere).
    bool standsAtDestination() const;
    // When the copy's root stands in its folder but its path leads into a file system mounted since
    // over that folder or a folder above it, at or below the one the copy lies on: that file
    // system's mount point. The copy is hidden there, whole, and reached only through the
    // descriptors this copier holds. None otherwise, or when the mounts cannot be told.
    std::optional<QString> hiddenUnder() const;
    // After the caller may have moved the copy's root (see MoveHooks::copyStaysAtDestination): a
    // single file that is no longer in the destination's folder had its change time moved by that
    // move, which is read again.
    void rootMayHaveMoved();
    // Where the copy's root is now, wherever it was moved to; none when that cannot be told.
    std::optional<QString> placeNow() const;
    // The source paths of the entries that mayRelease() kept because their copy did not stand, in
    // the order met.
    QStringList lostCopies() const;

    // After copy(): compares every file that only its content can prove unchanged with its copy, on
    // several threads, so that a caller can look for programs holding the source after the
    // comparison (which can take minutes) and right before the removal. A file compared before is
    // not read again here. Never throws.
    void compareUnproven();

    // What a refresh may do to the copy besides bringing over what changed or appeared at the source.
    enum class RefreshScope {
        mirror,   // what is gone from the source goes from the copy too: the copy becomes the source
        additions // the source is partly removed already: nothing goes from the copy
    };

    // After copy() and compareUnproven(): copies again every entry of the source that changed since
    // the copy took it, at its place as the source has it now (a file written, replaced or renamed;
    // a link or FIFO made anew; a folder made or renamed, with all it holds), each file through a new
    // one put in place of the old copy in one step, several names of one file kept as one; gives
    // the folders where something changed the source's mode and times again; and flushes the copy.
    // Judges files as the removal does (see copiedUnchanged), and afterwards the removal allows what
    // it brought over. Never changes anything it did not create. Answers the source paths that
    // changed, in the order the walk met them; none when the copy already held what the source
    // holds. Throws PlatformError when something could not be copied; the copy is then partly
    // refreshed (discard() removes it, a later refresh may finish it).
    QStringList refresh(RefreshScope scope);

    // What refresh(RefreshScope::mirror) would change first, changing nothing: the folders of the
    // source's top level are looked over on several threads. Empty when the copy holds what the
    // source holds. Throws PlatformError as refresh does.
    QStringList lookForChanges();

    // After copy(): the extended attributes the destination refused.
    RefusedAttributes refusedAttributes() const;

    // After a successful copy(): removes the copy again, exactly what this copier created, for a
    // caller that cannot go on with it. Never throws; what stays is logged.
    void discard();

private:
    friend class CopyRefresh;
    using Identity = EntryIdentity;
    using Fingerprint = EntryFingerprint;
    // Thrown into the walk to stop it once a worker has failed.
    struct Stopped {};

    bool enterDirectory(const WalkEntry& entry, int fd) override;
    void visitEntry(const WalkEntry& entry) override;
    void leaveDirectory(const WalkEntry& entry, int fd) override;
    void walkFailed(const WalkEntry& entry, int errorNumber) override;

    void stopIfFailed() const;
    // The root of the walk is the entry the caller named, or nothing is copied.
    void requireExpectedRoot(const WalkEntry& entry) const;
    struct stat copyRootFile(const WalkEntry& entry);
    EntryIdentity createRootFile(const WalkEntry& entry);
    void queueFile(const WalkEntry& entry, bool multiplyLinked);
    Identity prepareFile(const WalkEntry& entry);
    void copyLink(const WalkEntry& entry);
    void copyFifo(const WalkEntry& entry);
    void linkToFirst(const WalkEntry& entry, const QByteArray& firstRelative);

    // Where an entry goes: the destination itself for the root, else the same name in the current
    // destination directory.
    int destinationParent(const WalkEntry& entry) const;
    const char* destinationName(const WalkEntry& entry) const;
    QString destinationPath(const WalkEntry& entry) const;

    // Records an entry just created at the destination and answers its lstat; removes it again
    // when that fails.
    struct stat noteCreated(const WalkEntry& entry, int removeFlags);
    void applyMetadata(int fd, int sourceFd, const struct stat& info, const WalkEntry& entry);
    void applyMetadataAt(const WalkEntry& entry, bool isLink);
    void remember(const struct stat& info);
    // The real-time clock, read right after a directory was listed.
    static timespec listedNow();
    // Compares the file with its copy once; `now`, its lstat at the moment of a removal, must still
    // show the status the file kept throughout the comparison.
    bool sameAsCopy(const Identity& source, const UnprovenCopy& copy, const struct stat* now = nullptr) const;
    // The copy at `relativePath` below the destination, for a file its times proved unchanged when
    // the copy took it; none when nothing stands there.
    std::optional<UnprovenCopy> copyAt(const QByteArray& relativePath) const;
    // The source file `source`, for a comparison, under the name it was copied from or another.
    UniqueFd openSource(const Identity& source, const QByteArray& firstName) const;
    // A descriptor on the copy's root wherever it is now: the folder, or the single file held by O_PATH.
    int copyRoot() const;
    // The copy's root stands in the destination's folder as the descriptor on it finds it.
    bool standsInItsFolder() const;
    // The destination path, looked up by its name, leads to the copy's root.
    bool reachedByName() const;
    // The copy `copy`, a regular file this copy made, shows the change time it had once this copy
    // was done with it.
    bool unchangedSinceMade(const struct stat& copy) const;
    // Reads back the change time of the file this copy made at `name` in the folder `folder` (or
    // open at `fd`), after a step of its own moved it.
    void stamp(int folder, const char* name);
    void stamp(int fd);
    // Reads back the change time of `copies`, files this copy made whose other names it just
    // removed or replaced, through a name of theirs that it knows.
    void stampOtherNames(const QSet<Identity>& copies);
    void flushDestination();
    void removeCreated();
    [[noreturn]] void fail(int errorNumber, const QString& path) const;

    const EntryLocation& m_source;
    const EntryLocation& m_destination;
    const CreatedHook m_createdHook;
    const std::optional<EntryIdentity> m_sourceIdentity;
    const bool m_asRoot;
    const TimeProof m_times; // for the files of the source, from the moment this copier was made
    FileDataCopier m_data;
    FileCopyTask m_task;
    FileWorkPool m_pool;
    quint64 m_sequence = 0;                   // steps of the walk so far, to order failures
    UniqueFd m_current;                       // the destination directory being filled
    UniqueFd m_destinationRoot;               // the destination itself, for syncfs and hard links
    UniqueFd m_rootCopy;                      // the copy of a single file, for a comparison of its content
    UniqueFd m_rootFile;                      // the same, held by O_PATH: where it is and whether it stands
    std::vector<Identity> m_directories;      // destination directories from the root down
    QSet<Identity> m_created;                 // destination entries this copy made
    QHash<Identity, timespec> m_stamps;       // its regular files -> their change time, as it left them
    QHash<Identity, Fingerprint> m_copied;    // source entries taken, as they were when taken
    QHash<Identity, UnprovenCopy> m_unproven; // files taken that only their content can prove unchanged
    QHash<Identity, QByteArray> m_firstLinks; // multiply linked source entry -> its first copy
    QHash<Identity, QList<QByteArray>> m_laterLinks; // -> its other names
    // A source directory's copy: the directory made for it, and when the source was listed.
    struct FolderCopy {
        Identity copy;
        timespec listed;
    };
    QHash<Identity, FolderCopy> m_folderCopies;
    std::optional<Identity> m_root; // the source itself, as the copy took it
    mutable std::mutex m_changedLock;
    mutable QSet<Identity> m_foundChanged;           // unproven files found to differ from their copies
    mutable QHash<Identity, FileStatus> m_foundSame; // unproven files found equal, as they stood then
    QSet<Identity> m_released;                       // source entries the removal may have taken
    QList<QByteArray> m_lost;                        // where mayRelease() found no copy as it was made
    bool m_rootIsFile = false;
    RefusedAttributes m_refused; // what the walker's own entries could not keep
};

} // namespace orvalink::platform
