#pragma once

#include <QString>

namespace orvalink {

class FallbackFileOperations;
class OperationJournal;

// Brings the item at `target` back to the path `source` without a partial tree ever standing at
// `source`: the item moves into a reserved sibling of `source` (across file systems: copied and
// flushed), then takes the source's place in one step (see placeAtSource), and only then is the
// target removed. With a `journal`, each step is recorded before it is taken.
//
// Throws when the item could not be put in place. The item is then whole at `target` and nothing of
// it remains at the sibling, except after a failure no step could undo: then the journal keeps the
// sibling's path for the next start.
void restoreThroughSibling(const FallbackFileOperations& files, const QString& target, const QString& source,
                           OperationJournal* journal);

// Puts the whole item at `sibling` in place at `source`, in one step where a symbolic link stands
// there (the two are exchanged, then the link is removed); a free path or an empty directory's
// place is taken by a rename. Anything else at `source` is refused with EEXIST and stays.
void placeAtSource(const FallbackFileOperations& files, const QString& sibling, const QString& source);

} // namespace orvalink
