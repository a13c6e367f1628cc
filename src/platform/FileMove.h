#pragma once

#include "platform/EntryIdentity.h"
#include "platform/ExtendedAttributes.h"
#include "platform/PlatformError.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace orvalink::platform {

// The outcome of a move that succeeded.
struct MoveResult {
    // True when the item crossed to another file system (copied, then removed from the source).
    bool copiedAcrossFileSystems = false;
    // After a complete copy, what of the source could not be removed (see RemovalOutcome): the data
    // is whole at the destination, and these duplicates are for the caller to report. Empty when
    // the source is gone entirely.
    QStringList leftoverPaths;
    // Those of them that changed after they were copied, or appeared meanwhile: they exist only at
    // the source. The others are duplicates the removal failed to take (a read-only volume, say).
    QStringList changedPaths;
    // The first failure of that removal, with its path; set exactly when leftoverPaths is not empty.
    std::optional<PlatformError> leftoverError;
    // Those of them whose copy was gone from the destination, or changed there, when their turn to go
    // came (see TreeCopier::copyStands): the copy lacks them, so it is not the source any more.
    QStringList lostCopies;
    // With MoveHooks::copyStaysAtDestination: the copy left the destination path while the source
    // was removed (a program moved it aside on the volume); where it stands now, empty when that
    // cannot be told.
    std::optional<QString> copyMovedTo;
    // With MoveHooks::copyStaysAtDestination: while the source was removed, a file system was mounted
    // over the destination's folder or a folder above it, which hides the copy where it stands
    // (see TreeCopier::hiddenUnder); its mount point.
    std::optional<QString> copyHiddenUnder;
    // With MoveHooks::copyChangesAgain: a round that was to copy what changed during the removal
    // failed so (the destination full, say), and what changed stayed at the source.
    std::optional<PlatformError> refreshFailure;
    // After a copy: the extended attributes and ACLs the destination did not take (the data is whole
    // all the same; for the caller to report).
    RefusedAttributes refusedAttributes;

    bool sourceFullyRemoved() const { return leftoverPaths.isEmpty(); }
};

// Moves the item at `source` (a file, a link, a FIFO or a whole directory tree) to `destination`,
// which must not exist: nothing standing there is ever replaced, not even an empty directory or a
// dangling link (EEXIST). The last component of either path is never followed.
//
// On one file system this is a single rename (renameat2 with RENAME_NOREPLACE). Across file
// systems the item is copied straight into `destination` (created exclusively; what the copy keeps
// and refuses is listed at TreeCopier), the destination's file system is flushed, and only then is
// the source removed, never following a link or leaving its file system. An entry of the source
// that changed after it was copied, or appeared meanwhile, is not removed but reported as left over.
//
// Throws PlatformError with the first errno and its path when the move did not happen; then the
// source is as it was and nothing this call created remains at the destination (should removing
// the partial copy itself fail, a warning in the "orvalink.platform.copy" category names what
// stayed; the source is untouched all the same). A source that
// could not be fully removed after a complete copy is not a failure: see MoveResult.
//
// Moments of a copy across file systems that a caller keeping a record of its progress needs to
// know (a rename has nothing in between and calls neither).
struct MoveHooks {
    // The destination itself has just been created (an empty directory, or an empty file for a
    // single file), before anything is copied into it: from here on its identity tells this copy
    // from anything else at that path. Throwing from it stops the copy: the
    // destination is removed again, the source stays as it was, and its exception propagates.
    std::function<void()> created;
    // The copy is complete and flushed (with copyChangesAgain, holding what the source holds now),
    // before anything of the source is removed. Throwing from it undoes the copy the same way.
    std::function<void()> copied;
    // The entry the caller means to move, as it identified it earlier: anything else found at the
    // source (the entry was renamed away and another put in its place meanwhile) is refused with
    // EBUSY and left where it stands; nothing is moved.
    std::optional<EntryIdentity> sourceIdentity;
    // Asked after `copied` and after the files that only their content proves unchanged were
    // compared with their copies, right before the source is removed: which entries programs hold
    // now.
    // Those of the source stay where they are (a directory with everything below it, as a program
    // may yet create files in it) and are reported with the changed ones, since what a program
    // writes into them after this moment would be lost with them. Must not throw.
    std::function<QSet<EntryIdentity>()> inUse;
    // Asked after `copied`, before the comparisons: which files programs map shared now. Those of
    // the source stay as held ones do: a write through such a mapping into a page written before
    // marks no new time, so neither a comparison nor a later look at the status would see it. Must
    // not throw.
    std::function<QSet<EntryIdentity>()> mappedShared;
    // Called after the comparisons and `inUse`, right before anything of the source is removed: the
    // last moment a caller can still refuse the removal by throwing, which undoes the copy as a throw
    // from `copied` does (the source stays whole, its exception propagates).
    std::function<void()> beforeRemoval;
    // The copy stays at the destination path until the source is gone (the caller moves it nowhere
    // meanwhile): a copy that is no longer there when the removal would begin (moved aside on the
    // volume, say) is undone as a throw from `copied` would, with CopyGoneError, or CopyHiddenError
    // when a file system mounted over its way hides it; one moved aside or hidden during the removal
    // is named (see MoveResult::copyMovedTo, MoveResult::copyHiddenUnder). Without it the caller may
    // move the copy in `copied` or `beforeRemoval`. Whatever the setting, an entry goes only while
    // its own copy stands as it was made (see MoveResult::lostCopies).
    bool copyStaysAtDestination = false;
    // The times of the source's files prove nothing: each file goes only once its content equals
    // its copy's, however long ago its time lies. For a source on a volume, whose files a clock
    // that was wrong (after a crash, or on another machine) or a program that restores the time it
    // found after writing (cp -p, touch -r, rsync --inplace -t) may have left with the times the
    // copy took.
    bool timesProveNothing = false;
    // The copy must hold what the source holds when the source goes, not what it held when the copy
    // took it. After the copy and its comparisons, and before `copied`, the source is looked over
    // again (see TreeCopier::refresh): what changed or appeared there is copied anew and what went
    // from it goes from the copy, until a look finds nothing changed, at most kRefreshLooks looks.
    // Should the last still find a change, the copy is undone and KeptChangingError names the first
    // entry that changed (the source stays whole). What changes in the moment between the last look
    // and its removal stays at the source; up to kLaterRefreshes more times it is then copied and
    // removed the same way, nothing going from the copy, each removal right after asking `inUse`
    // again (what programs hold stays). What still stays is in changedPaths.
    bool copyChangesAgain = false;
};

// How many looks over the source a move with MoveHooks::copyChangesAgain takes before it gives up,
// and how many more rounds it gives what changed during the removal.
inline constexpr int kRefreshLooks = 4;
inline constexpr int kLaterRefreshes = 2;

// A move with MoveHooks::copyChangesAgain found its source still changing after its last look:
// EBUSY, with the first entry that changed in that look as its path.
class KeptChangingError : public PlatformError {
public:
    explicit KeptChangingError(const QString& path);
};

// A move whose copy left the destination path before the source could go (see
// MoveHooks::copyStaysAtDestination): ENOENT, with the source's path.
class CopyGoneError : public PlatformError {
public:
    explicit CopyGoneError(const QString& sourcePath);

protected:
    CopyGoneError(const QString& sourcePath, const QString& message);
};

// A move whose copy, standing where it was made, was hidden before the source could go by a file
// system mounted over the destination's folder or a folder above it (see TreeCopier::hiddenUnder):
// a CopyGoneError that names that file system's mount point. The copy was discarded as far as the
// descriptors the move held reached it.
class CopyHiddenError : public CopyGoneError {
public:
    CopyHiddenError(const QString& sourcePath, const QString& mountPoint);
    const QString& mountPoint() const { return m_mountPoint; }

private:
    QString m_mountPoint;
};

MoveResult moveItem(const QString& source, const QString& destination, const MoveHooks& hooks = {});

struct EntryLocation;

// The same for entries already located (see VerifiedDirectory::locate): every call runs relative to
// the two folders' descriptors, so nothing renamed or linked along either path meanwhile can send
// the move anywhere else.
MoveResult moveItem(const EntryLocation& source, const EntryLocation& destination,
                    const MoveHooks& hooks = {});

} // namespace orvalink::platform
