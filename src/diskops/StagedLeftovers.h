#pragma once

#include "diskops/HeldLeftovers.h"
#include "diskops/InterruptedOperation.h"
#include "diskops/RecoveredOperation.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// What a start does with what stayed of a migration's staged original once the data is whole at the
// target or came home to the source: newer than the data (written or made after the copy took it),
// it takes its place there, each older version beside it in an "append-preserved" sibling named for
// the migration, so that every one is named however many there are and wherever an earlier start
// was cut short. What a program holds is left where it is for a later start.

// What placeNewerAtSource found and did.
struct SourceLeftovers {
    bool stood = false; // the staged original still stood at this start
    QStringList olderVersions;
    HeldLeftovers held;
};

// Why what stays of the staged original cannot be put in place at the source path: what stands there
// is not what came home (a link, say, once the folder was migrated again, or nothing); none when
// nothing of it stays, or it can.
std::optional<QString> sourceUnlikeStaged(const InterruptedOperation& operation);

// The data came home to the source path: what stays of the staged original once its duplicates went
// takes its place there by renames, as the migration would have put it (recorded first). While a
// program holds a file of it, all of it stays where it is (`held`): a merge moves files and removes
// the folders it emptied, and what a program makes by name in a folder it works in would land
// elsewhere. None when it could not be put in place: it stays then.
std::optional<SourceLeftovers> placeNewerAtSource(InterruptedOperation& operation);

// A single file's merge into the source was cut short between its two renames: the version that came
// home stands in the migration's "append-preserved" sibling of the source path, the newer one at the
// staging path, and nothing at the source path. The newer one takes the source path, as the merge
// would have gone on. False (nothing done) when that is not what stands.
bool resumeSingleFileMerge(InterruptedOperation& operation);

// A single file's newer version was on its way to the target path when a start was cut short: its
// whole copy, which the record names, stands in the migration's "arriving" sibling. It takes the
// target path, the older copy moving aside first if it still stands there, as that start would have
// gone on. Anything else at the target path stays, and so does the rest. For the recorded volume.
void finishRootArrival(InterruptedOperation& operation);

// The whole copy stands at the target: of the staged original `staged`, what the copy holds unchanged
// goes, and what stays is newer and takes its place there (see putLeftoversAtTarget). What a program
// holds stays where it is. `done` learns what stayed and where the older versions are.
void placeNewerAtTarget(InterruptedOperation& operation, const RecordedEntries::Found& staged,
                        RecoveredOperation& done);

// The sentences of the log that name where the older versions and what programs held stay.
QString keptSentences(const QStringList& olderVersions, const HeldLeftovers& held);

} // namespace orvalink
