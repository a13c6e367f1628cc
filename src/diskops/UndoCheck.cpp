#include "diskops/UndoCheck.h"

#include "diskops/CreatedFolders.h"
#include "diskops/JournalCheck.h"
#include "diskops/OperationJournal.h"
#include "diskops/RecordedEntries.h"
#include "diskops/RecordedPlaces.h"
#include "diskops/VolumeService.h"
#include "model/JsonFields.h"
#include "model/LinkMapping.h"
#include "model/OrvalinkError.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"

#include <unistd.h>

namespace orvalink {

namespace {

[[noreturn]] void refuse(const JournalRecord& record, const QString& reason)
{
    throw OrvalinkError::undoTargetUnverified(record.targetPath, reason);
}

// Another user's folder exchanged into the target's place names the same path; only its owner
// tells it from the user's data.
bool ownedByTheUser(uid_t owner)
{
    return owner == ::geteuid() || owner == 0;
}

// The recorded volume is the one mounted there: by its UUID where the migration read one.
void requireRecordedVolume(const JournalRecord& record, const VolumeService& volumes)
{
    const std::optional<QString> mountPoint = volumes.mountPoint(record.targetRoot);
    if (!mountPoint || !platform::MountTable::current().mountedAt(*mountPoint))
        refuse(record,
               QStringLiteral("nothing is mounted at the volume of the target root ") + record.targetRoot);
    if (!isKnownVolumeUUID(record.volumeUUID))
        return;
    // A clone carries the same UUID and, copied block by block, the same identities: the one
    // mounted here may be either.
    if (const std::optional<QString> shared =
            sharedVolumeUUIDProblem(record.volumeUUID, volumes.mountPathsWithUUID(record.volumeUUID)))
        refuse(record, *shared);
    const QString uuidNow = volumes.resolveVolumeUUID(record.targetRoot);
    if (!isKnownVolumeUUID(uuidNow))
        refuse(record, QStringLiteral("the volume at ") + *mountPoint +
                           QStringLiteral(" has no UUID that can be read, so it cannot be confirmed as the "
                                          "migration's ") +
                           record.volumeUUID);
    if (uuidNow.trimmed() != record.volumeUUID.trimmed())
        refuse(record, QStringLiteral("the volume at ") + *mountPoint + QStringLiteral(" is ") + uuidNow +
                           QStringLiteral(", not the migration's ") + record.volumeUUID);
}

} // namespace

QString currentTargetPath(const QString& recordedTarget, const QString& volumeUUID,
                          const VolumeService& volumes)
{
    const QStringList mountPaths = volumes.mountPathsWithUUID(volumeUUID);
    if (const std::optional<QString> shared = sharedVolumeUUIDProblem(volumeUUID, mountPaths))
        throw OrvalinkError::undoTargetUnverified(recordedTarget, *shared);
    if (mountPaths.isEmpty())
        return recordedTarget;
    return remapTargetPath(recordedTarget, mountPaths.constFirst());
}

JournalRecord undoRecordOf(const LinkMapping& mapping, const QString& source, const QString& target,
                           const QString& mappingsFile, const QString& tasksFile)
{
    JournalRecord entry;
    entry.kind = JournalKind::undo;
    entry.id = QUuid::createUuid();
    entry.homeDirectory = platform::standardizedPath(platform::homeDirectory());
    entry.sourcePath = source;
    entry.targetPath = target;
    // A migration builds the target as the root with the source path appended.
    const QStringList mirrored = foldersBelowTargetRoot(source, target);
    entry.targetRoot = platform::parentPath(mirrored.isEmpty() ? target : mirrored.constLast());
    entry.sourceFolderIdentity = sourceFolderIdentityOf(entry.homeDirectory, source);
    entry.mappingID = mapping.id;
    entry.anchorUser = mapping.anchorUser;
    entry.volumeUUID = mapping.volumeUUID;
    entry.startedAt = json::wholeSeconds(QDateTime::currentDateTimeUtc());
    entry.mappingsFile = platform::standardizedPath(mappingsFile);
    entry.tasksFile = platform::standardizedPath(tasksFile);
    return entry;
}

platform::EntryKind verifyUndoTarget(JournalRecord& record, const VolumeService& volumes)
{
    // The record's shape first, as a start-up would judge it: the identities are read only below.
    JournalRecord shape = record;
    shape.itemIdentity = shape.targetRootIdentity = QStringLiteral("0:0");
    if (const std::optional<QString> problem = journalProblem(shape))
        refuse(record, *problem);
    try {
        const RecordedEntries entries(record);
        record.itemIdentity = entries.identityAt(RecordedEntries::Side::target, record.targetPath);
        record.targetRootIdentity = entries.identityAt(RecordedEntries::Side::target, record.targetRoot);
        if (const std::optional<QString> problem = recordProblem(record))
            refuse(record, *problem);
    } catch (const platform::PlatformError& error) {
        refuse(record, QString::fromUtf8(error.what()));
    }
    requireRecordedVolume(record, volumes);
    try {
        const RecordedEntries entries(record);
        const RecordedEntries::Found target = entries.find(RecordedEntries::Side::target, record.targetPath);
        const platform::EntryKind kind = RecordedEntries::kindOf(target.location);
        if (target.identity != record.itemIdentity)
            refuse(record, QStringLiteral("the target changed while it was looked at"));
        if (kind != platform::EntryKind::directory && kind != platform::EntryKind::regularFile)
            refuse(record, QStringLiteral("what stands at the target is neither a folder nor a file"));
        if (!ownedByTheUser(target.owner))
            refuse(record, QStringLiteral("what stands at the target belongs to another user (uid ") +
                               QString::number(target.owner) + QLatin1Char(')'));
        return kind;
    } catch (const platform::PlatformError& error) {
        refuse(record, QString::fromUtf8(error.what()));
    }
}

} // namespace orvalink
