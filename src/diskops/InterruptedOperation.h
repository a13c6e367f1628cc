#pragma once

#include "diskops/HeldLeftovers.h"
#include "diskops/OperationJournal.h"
#include "diskops/RecordedEntries.h"
#include "diskops/RecoveredOperation.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

class LogService;
class RecordedTaskIds;
class VolumeService;

// One operation an earlier process left unfinished, as the start-up finds it: what its record says
// and what stands at its paths now, and the few steps shared by the recovery of migrations and
// undos. Every recorded path is reached through folders verified on the way (RecordedPlaces.h: no
// link, from the home or the volumes folder) and looked at and acted on relative to them; every
// step that moves or removes checks first that the path still holds the entry the record names
// (RecordedIdentity.h), and holds to that entry while it works. File operations run with the
// user's rights only. A way that cannot be walked (a link has appeared on it) throws
// platform::PlatformError: the operation is then left as found.
class InterruptedOperation {
public:
    // Whether the volume at the target side is the one the operation worked on.
    enum class Volume {
        recorded, // its target root (or the folder above it) is the recorded entry
        away,     // nothing is mounted there, or the folder is gone: it may come back
        replaced, // something else stands there: another volume, or a folder made since
    };
    // What stands at the target path, judged only on the recorded volume.
    enum class Target {
        absent,
        ours,  // the entry the record names
        empty, // an empty folder or file the record does not name: nothing of value is lost with it
        other,
    };

    using Side = RecordedEntries::Side;
    using Found = RecordedEntries::Found;

    // `tasks` is shared by every operation one recovery puts right.
    InterruptedOperation(OperationJournal& journal, LogService& log, const VolumeService& volumes,
                         RecordedTaskIds& tasks);

    const JournalRecord& record() const { return m_journal.record(); }
    OperationJournal& journal() { return m_journal; }
    LogService& log() { return m_log; }
    // The entries the record names, looked at and acted on through verified folders.
    const RecordedEntries& entries() const { return m_entries; }

    // Throws std::runtime_error, naming each mount point, when more than one mounted volume carries
    // the recorded UUID (a disk and its clone): neither can be told to be the recorded one, so the
    // operation is left as found, and nothing on either is touched.
    Volume volume() const;
    // What stands at the target path; `ours` are the identities that mean this operation's entry.
    Target target(const QStringList& ours) const;
    // The same for another path of the target side (a reserved sibling of the target path).
    Target targetSide(const QString& path, const QStringList& ours) const;

    // Whether the source path is free for the data to come back: nothing there, the link this
    // operation made or met (pointing at the target path, or for an undo naming what the link there
    // named when it began: the same data on a volume that came back under another name), or an
    // empty folder.
    bool sourceIsFree() const;
    // Removes an empty folder or this operation's link at the source path, so a move can take it.
    void clearSource() const;
    // Makes the source path lead to the target again: the operation's link stays, an empty folder
    // gives way to it, a free path gets it. False when anything else stands there.
    bool linkSource() const;
    // The link to the target that a restore exchanged into its sibling, if it stands there.
    void removeExchangedLink() const;

    // Appends the operation's task unless an earlier start already did; throws when it cannot.
    void recordTask(TaskStatus status, const std::optional<OrvalinkError>& error) const;
    // Records an undo that is done as the undo itself does (see recordUndone): its task unless an
    // earlier start wrote it, and the log's line. A task line that cannot be written is logged.
    void recordUndoneTask() const;

    // The data is whole at the source path and recorded so: clears what the operation left at the
    // target side (its copy there, when it is the recorded entry; the folders it made, when empty),
    // then finishes the record. When the volume is away or replaced, the target holds something
    // else, or clearing it fails (a read-only volume), what is there stays: the record is kept
    // (marked settled) for the next start, and the answer, still `done`, names what stays and why.
    // So it is too while anything programs hold stays for a later start: `held` of the staged original,
    // or files of the copy at the target side (which are never removed while held).
    // `done` is the outcome the data reached.
    RecoveredOperation finishAtSource(RecoveredOperation::Outcome done, const HeldLeftovers& held = {});
    // The record is done with: finishes it and answers `outcome`.
    RecoveredOperation finish(RecoveredOperation::Outcome outcome);
    // Nothing more can be done now: everything stays as it is, the record is kept, and the answer
    // names the paths of the operation that hold something. Logged with `why`.
    RecoveredOperation leaveAsFound(const QString& why);
    // leaveAsFound because something that is not the operation's stands at the source path.
    RecoveredOperation leaveSourceOccupied();
    // The volume is away: nothing at all is touched, the record is kept for the next start.
    RecoveredOperation waitForVolume();

    // An answer about this operation with `outcome` and nothing else yet.
    RecoveredOperation answer(RecoveredOperation::Outcome outcome) const;

    // Where the data of the operation `entry` names may be now: the recorded paths where something
    // stands, and what lies kept aside beside the source and the target. Reads only.
    static QStringList foundPaths(const JournalRecord& entry);

private:
    // The task of the operation with `status`; none when it is in the task history already.
    std::optional<MigrationTask> unrecordedTask(TaskStatus status,
                                                const std::optional<OrvalinkError>& error) const;
    void noteTaskRecorded() const;
    // The text of a link is this operation's: it names the target path or the link text the record
    // keeps.
    bool isOperationLink(const std::optional<QString>& text) const;
    // What an operation of the record's kind may have left at the target side, for
    // finishAtSource().
    struct TargetSide {
        bool mayHoldData = true; // false: nothing but the empty folders it made
        QStringList identities;  // the entries at the target path that are the operation's own
        bool cutShort = false;   // the copy there was never whole: it goes as a whole
        QStringList folders;     // the folders it made there, removed when empty
    };
    static TargetSide targetSideOf(const JournalRecord& entry);
    // Clears what `leftover` names on the recorded volume, or tells in `result` why it stays.
    // Throws platform::PlatformError for what could not be looked at or removed.
    void clearTargetSide(const TargetSide& leftover, RecoveredOperation& result) const;

    // What `there`, found at the target path, is (see target()).
    Target judgeTarget(const Found& there, const QStringList& ours) const;
    // True when the identity `now`, read on the target's volume, is the entry `identity`: the same
    // device and inode (and birth time), or, for a volume whose UUID is known then and now, the
    // same UUID and inode.
    bool sameOnVolume(const QString& now, const QString& identity) const;

    OperationJournal& m_journal;
    LogService& m_log;
    const VolumeService& m_volumes;
    RecordedTaskIds& m_tasks;
    const RecordedEntries m_entries;
};

} // namespace orvalink
