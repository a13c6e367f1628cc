#pragma once

#include <QString>
#include <QStringList>

namespace orvalink {

class FallbackFileOperations;
class OperationJournal;

// Brings the item at the record's target path back to its source path without a partial tree ever
// standing at the source path: the item moves into a reserved sibling of the source (across file
// systems: copied and flushed), then takes the source's place in one step (see placeAtSource), and
// only then is the target removed. Each step is recorded in `journal` before it is taken.
//
// The target is reached from the volumes folder without following a link (RecordedEntries), and
// what stands there must be one of `identities`, the item the operation itself made or found there:
// anything else is refused with EBUSY before anything moves, and the move holds to that very entry
// whatever is renamed or linked on the way meanwhile. The source's folder must exist.
//
// Answers what stayed at the target after a copy across file systems (see RestoredLeftovers); the
// item as copied stands at the source path all the same. Nothing stays when the target is gone
// entirely. What programs hold or map there stays (see RestoredLeftovers::changedPaths); the caller
// reports what stayed, as the move's own warning does not.
//
// Throws when the item could not be put in place. The item is then whole at the target and nothing of
// it remains at the sibling, except after a failure no step could undo: then the journal keeps the
// sibling's path for the next start.
struct RestoredLeftovers {
    // Entries that changed or appeared at the target while the copy ran (a program writing through
    // the old link; a file of the target goes only once its content equals its copy's, whatever its
    // times say, and its status stayed the same through that comparison), files that programs map
    // shared before the comparison, and those that programs hold right before the target is removed
    // (see platform::MoveHooks): they exist only there.
    QStringList changedPaths;
    // Copies of what stands at the source now, which the removal of the target could not take (a
    // read-only volume, an immutable file), with the first failure of that removal.
    QStringList copyPaths;
    QString copyFailure;
};
RestoredLeftovers restoreThroughSibling(const FallbackFileOperations& files, OperationJournal& journal,
                                        const QStringList& identities);

// Puts the whole item at `sibling` in place at `source`, in one step where a symbolic link stands
// there (the two are exchanged, then the link is removed); a free path or an empty directory's
// place is taken by a rename. Anything else at `source` is refused with EEXIST and stays.
void placeAtSource(const FallbackFileOperations& files, const QString& sibling, const QString& source);

} // namespace orvalink
