#pragma once

#include "diskops/RecordedIdentity.h"
#include "platform/HeldFiles.h"
#include "platform/UniqueFd.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <optional>
#include <stdexcept>

namespace orvalink {

enum class JournalKind { migration, undo };

// The kind as a record stores it ("migration", "undo"), also the word the recovery log uses.
QString journalKindText(JournalKind kind);

// Where a migration or an undo stands, written and flushed before each step that moves data, so a
// start after a crash can tell where the whole data is and finish the operation one way or the
// other. Flags only ever turn true. The identities (see RecordedIdentity.h) let that start act on
// a path only while it still holds the entry the operation itself put or found there.
struct JournalRecord {
    JournalKind kind = JournalKind::migration;
    QUuid id; // of the operation and of the task it records
    // The home folder the operation ran for; the source lies inside it.
    QString homeDirectory;
    QString sourcePath;
    QString targetPath;
    // The folder the target path is built under (source path appended); for an undo, taken from the
    // mapping's paths.
    QString targetRoot;
    QString stagingPath; // a migration's hidden sibling of the source, from the first record on
    // The folder that holds the source (and its staging and restore siblings) as the operation found
    // it from the home folder, links its user made on the way followed (a Documents folder that is
    // a link to another disk): the way there is walked again only to this very folder. Empty in a
    // record written before it was kept; such a way must hold no link at all.
    QString sourceFolderIdentity;
    // A migration: the item before it left the source path (renames keep it, so the staged item has
    // it too). An undo: the migrated item at the target path when the undo began.
    QString itemIdentity;
    // The target root's identity, or, where the migration creates the root, that of the nearest
    // folder above it that stood before (see targetAnchorPath): tells the volume the operation
    // worked on from another one mounted in its place.
    QString targetRootIdentity;
    // A migration across file systems: the copy at the target path, from the moment it was created.
    QString targetIdentity;
    // Folders the migration creates above the target, deepest first, listed before they are made.
    QStringList createdDirectories;
    bool moving = false;        // the move into the target began: what stands there is ours
    bool administrator = false; // a move was handed to the administrator command: no progress known
    bool arrived = false;       // the whole item stands at the target and is on disk
    bool forced = false;        // a forced mode merges or sets aside what it meets
    // A forced restore: where what stood at the source path goes while the data comes back (a
    // reserved sibling of the source), written before it moves there, with its identity at the
    // source and whether it is merged into the restored data once that is back (an append of two
    // folders); an overwrite leaves it there. Empty in a record written before they were kept.
    QString occupantPath;
    QString occupantIdentity;
    bool occupantMerge = false;
    // An undo: the text of the link at the source path when it began. With the volume back under
    // another name (or after a repair), it names another path than targetPath, where the undo found
    // the data. Empty when no link stood there, or in a record written before it was kept.
    QString sourceLinkText;
    // The data is whole at the source path and the history says so; all that is left are the
    // operation's own leftovers at the target path, on a volume that was away or replaced.
    bool settled = false;
    // An undo: the data came home whole and the target side is clear; only the history is left to
    // say so (it could not be written then). Whatever became of the folder since, the mapping goes
    // and the undo is recorded as soon as the history can be written.
    bool historyPending = false;
    // Bringing the item back from the target goes through a reserved sibling of the source.
    QString restorePath;
    // What the restore created at restorePath, whole or not, from the moment it was created.
    QString restoreSiblingIdentity;
    // The whole item at restorePath, once it is there and on disk; it keeps it when it takes the
    // source's place.
    QString restoreIdentity;
    // A migration: what stayed at the staging path after its removal, newer than what the data holds
    // at the target and at the source after it came home (changed or made during the removal, or
    // whose copy was lost), written before it is put in place over that data, each older version
    // beside it: paths below the staging path ("" for the staged item itself), at most
    // kMaxWaitingLeftovers of them. Empty until then, and in a record written before it was kept.
    QStringList newerLeftovers;
    // A migration: older versions that its later answers leave unnamed, whatever finds them beside
    // its places: those that stood there before it put anything in place (an earlier operation's,
    // written with newerLeftovers), and those an answer of it named already (its run's, or an
    // earlier start's that kept the record). Names only: nothing is done with them.
    QStringList knownVersions;
    // A migration whose staged original is a single file newer than its copy: the newer version's
    // whole copy in its "arriving" sibling of the target path, from the moment it is whole there until
    // it takes the target path's place (after the older copy moved aside). Empty otherwise.
    QString arrivingIdentity;
    QUuid mappingID; // the mapping a migration writes, or the one an undo removes
    QString anchorUser;
    // Of the target's volume, "unknown" when it has none that can be read.
    QString volumeUUID;
    QDateTime startedAt;
    QString mappingsFile; // the history files of the scope the operation began in
    QString tasksFile;

    QJsonObject toJson() const;
    // Throws json::DecodeError. Identities, the home and the target root may be missing (a record
    // written before they were kept): they read as empty.
    static JournalRecord fromJson(const QJsonObject& object);
};

// The folder whose identity targetRootIdentity holds: the target root, or the deepest of its
// ancestors that the migration did not create.
QString targetAnchorPath(const JournalRecord& record);

// The folder a migration tried its volume in before anything moved: the deepest folder above its
// target that stood then (the one the shallowest of the folders it creates goes into).
QString probedFolderPath(const JournalRecord& record);

// Thrown by OperationJournal::claim() for a record that cannot be decoded; it has been set aside.
class UnreadableJournal : public std::runtime_error {
public:
    UnreadableJournal(const std::string& reason, QString setAsidePath)
        : std::runtime_error(reason), m_setAsidePath(std::move(setAsidePath))
    {}
    const QString& setAsidePath() const { return m_setAsidePath; }

private:
    QString m_setAsidePath;
};

// One operation's record in "<application support>/operations/<id>.json". The process that runs the
// operation holds a lock on "<id>.lock" for as long as it owns the record, so a second process
// never takes over an operation that is still alive; the lock dies with the process, and its file
// goes with the owner that lets the record go.
class OperationJournal {
public:
    // Starts the record of a new operation: creates the folder, takes the lock and writes `record`.
    // Throws platform::PlatformError.
    explicit OperationJournal(JournalRecord record);
    // Lets the record go: the lock and its file; the record itself stays unless finish() or
    // setAside() ran.
    ~OperationJournal();
    OperationJournal(OperationJournal&&) = default;
    OperationJournal& operator=(OperationJournal&&) = default;

    // No record comes near this size; anything larger is not one and is never read into memory.
    static constexpr qint64 kMaxRecordBytes = qint64(1) << 20;

    // Takes over the record at `path` left by a process that ended without finishing it. None when
    // a live process holds it or it is gone. A record that cannot be decoded, or that is no regular
    // file (a link, a FIFO, a folder, ...) or larger than kMaxRecordBytes, is set aside (see
    // setAside) and UnreadableJournal is thrown; platform::PlatformError, the record kept, when the
    // lock cannot be taken or the file cannot be read now.
    static std::optional<OperationJournal> claim(const QString& path);

    // The bytes of the record file at `path`, read the one safe way: see
    // platform::readRegularFile, with kMaxRecordBytes. Throws like it.
    static QByteArray readRecordFile(const QString& path);

    // The records in the folder, oldest name first, whatever kind of entry bears the name; none
    // when there is no folder. Records set aside are not among them.
    static QStringList recordPaths();
    static QString directory();

    // Removes what processes killed while they began or wrote a record left in the folder: the
    // temporary files of records that no writer holds any more, and lock files that nobody holds
    // with no record beside them. Records, set aside or not, are the recovery's and stay, and so do
    // their locks. Never throws.
    static platform::RemovedFiles removeLeftovers();

    const JournalRecord& record() const { return m_record; }
    const QString& path() const { return m_path; }

    // The one way to record a step: `change` is applied to a copy of the record, which is written
    // and flushed and only then becomes record(). When the write fails (a full disk, say), the file
    // still holds the record as it was and the failure is thrown: platform::PlatformError.
    void update(const std::function<void(JournalRecord&)>& change);

    // The operation ended, whichever way: removes the record and the lock file. Never throws.
    void finish();

    // Takes the record out of the set that later starts look at, without touching anything it
    // names: renamed to "<name>.set-aside" (or "<name>.set-aside-<n>" when that is taken) and let
    // go. Answers the new path, or the old one when the rename failed. Never throws.
    QString setAside();

private:
    OperationJournal(JournalRecord record, QString path, platform::UniqueFd lock);
    void release();

    JournalRecord m_record;
    QString m_path;
    platform::UniqueFd m_lock;
};

} // namespace orvalink
