#pragma once

#include "platform/UniqueFd.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <optional>

namespace orvalink {

enum class JournalKind { migration, undo };

// Where a migration or an undo stands, written and flushed before each step that moves data, so a
// start after a crash can tell where the whole data is and finish the operation one way or the
// other. Flags only ever turn true.
struct JournalRecord {
    JournalKind kind = JournalKind::migration;
    QUuid id; // of the operation and of the task it records
    QString sourcePath;
    QString targetPath;
    QString stagingPath; // a migration's hidden sibling of the source, from the first record on
    // "device:inode" of the migrated item before it left the source path; renames keep it, so it
    // tells the item itself from anything else that later stands at the source or staging path.
    QString itemIdentity;
    // Folders the migration creates above the target, deepest first, listed before they are made.
    QStringList createdDirectories;
    bool moving = false;        // the move into the target began: what stands there is ours
    bool administrator = false; // a move was handed to the administrator command: no progress known
    bool arrived = false;       // the whole item stands at the target and is on disk
    bool rollingBack = false;   // a failure of the migration is being undone
    bool forced = false;        // a forced mode merges or sets aside what it meets
    // Bringing the item back from the target goes through a reserved sibling of the source.
    QString restorePath;
    // "device:inode" of the whole item at restorePath, once it is there and on disk; it keeps it
    // when it takes the source's place.
    QString restoreIdentity;
    bool restorePlaced = false; // it has been put in place at the source path
    QUuid mappingID;            // the mapping a migration writes, or the one an undo removes
    QString anchorUser;
    QString volumeUUID;
    QDateTime startedAt;
    QString mappingsFile; // the history files of the scope the operation began in
    QString tasksFile;

    QJsonObject toJson() const;
    // Throws json::DecodeError.
    static JournalRecord fromJson(const QJsonObject& object);
};

// One operation's record in "<application support>/operations/<id>.json". The process that runs the
// operation holds a lock on "<id>.lock" for as long as it owns the record, so a second process
// never takes over an operation that is still alive; the lock dies with the process.
// "device:inode" of what stands at `path` (not following a link there); empty when nothing does.
QString entryIdentityText(const QString& path);

class OperationJournal {
public:
    // Starts the record of a new operation: creates the folder, takes the lock and writes `record`.
    // Throws platform::PlatformError.
    explicit OperationJournal(JournalRecord record);
    ~OperationJournal(); // releases the lock; the record stays unless finish() ran
    OperationJournal(OperationJournal&&) = default;
    OperationJournal& operator=(OperationJournal&&) = default;

    // Takes over the record at `path` left by a process that ended without finishing it. None when
    // a live process holds it or it is gone. Throws json::DecodeError or platform::PlatformError
    // when the record cannot be read.
    static std::optional<OperationJournal> claim(const QString& path);

    // The records in the folder, oldest name first; none when there is no folder.
    static QStringList recordPaths();
    static QString directory();

    JournalRecord& record() { return m_record; }
    const JournalRecord& record() const { return m_record; }
    const QString& path() const { return m_path; }

    // Replaces the record on disk with record() and flushes it. Throws platform::PlatformError.
    void write();
    // Records a step that is undone when the recording fails: `change` is applied and written; on
    // failure `revert` is applied and written as far as possible (a failed write may still have
    // replaced the file), then the failure is thrown.
    void update(const std::function<void(JournalRecord&)>& change,
                const std::function<void(JournalRecord&)>& revert);
    // The operation ended, whichever way: removes the record and the lock file. Never throws.
    void finish();

private:
    OperationJournal(JournalRecord record, QString path, platform::UniqueFd lock);

    JournalRecord m_record;
    QString m_path;
    platform::UniqueFd m_lock;
};

} // namespace orvalink
