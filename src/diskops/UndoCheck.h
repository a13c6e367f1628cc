#pragma once

#include "platform/EntryStatus.h"

#include <QString>

namespace orvalink {

class VolumeService;
struct JournalRecord;
struct LinkMapping;

// Where the data of a mapping stands now: the recorded target path, or the same place on the volume
// with the recorded UUID where that volume is mounted under another name now (a repair re-points the
// link there and leaves the record as it was). Reads only. Throws
// OrvalinkError::undoTargetUnverified, naming each mount point, when more than one mounted volume
// carries the UUID: which of them holds the data cannot be told.
QString currentTargetPath(const QString& recordedTarget, const QString& volumeUUID,
                          const VolumeService& volumes);

// The record an undo of `mapping` begins with: `source` and `target` are the mapping's paths in
// standard form, the target where the data stands now (see currentTargetPath), the history files
// those of the mapping's scope. Of the disk it reads only the identity of the source's folder; the
// target's identities come from verifyUndoTarget.
JournalRecord undoRecordOf(const LinkMapping& mapping, const QString& source, const QString& target,
                           const QString& mappingsFile, const QString& tasksFile);

// Reads the identities of the target and its root into the undo `record` through folders reached
// from the volumes folder without a link, then throws OrvalinkError::undoTargetUnverified unless the
// undo may act on what the record names: the checks a start-up applies to an operation's record (no
// link on the way, the target the source's place below a target root on a volume of the volumes
// folder, nothing mounted over the way), and besides: that volume is mounted; where the record names
// a UUID, the volume has that very one (a volume whose UUID cannot be read cannot be confirmed) and
// no other mounted volume carries it (a clone may be mounted in the volume's place); the
// target is a folder or a file, owned by the user or by root (a folder moved with administrator
// rights), the owner read in the same look as the identity the move then holds to. Answers what
// stands at the target. Changes nothing on disk. Link repair checks the target it points a link at
// the same way.
platform::EntryKind verifyUndoTarget(JournalRecord& record, const VolumeService& volumes);

} // namespace orvalink
