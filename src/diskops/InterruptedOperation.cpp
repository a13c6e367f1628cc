#include "diskops/InterruptedOperation.h"

#include "diskops/CreatedFolders.h"
#include "diskops/RecordedPlaces.h"
#include "diskops/ReservedPaths.h"
#include "diskops/Rollback.h"
#include "diskops/VolumeService.h"
#include "model/JsonFields.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "platform/DuplicateRemoval.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/MountTable.h"
#include "platform/Placeholder.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"

#include <QFile>
#include <QLoggingCategory>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInterrupted, "orvalink.diskops.recovery")

namespace orvalink {

namespace {

QString kindText(JournalKind kind)
{
    return kind == JournalKind::migration ? QStringLiteral("migration") : QStringLiteral("undo");
}

bool isKnownUUID(const QString& uuid)
{
    return !uuid.isEmpty() && uuid != unknownVolumeUUID();
}

// Whether anything stands at `path`; an entry that cannot even be looked at counts as standing.
bool standsAt(const QString& path)
{
    try {
        return platform::entryStatus(path).kind != platform::EntryKind::none;
    } catch (const std::exception&) {
        return true;
    }
}

// What stands at `location`; none when nothing does or it cannot be looked at.
platform::EntryKind kindAt(const platform::EntryLocation& location)
{
    struct stat info {};
    if (!location.parent.isValid() ||
        ::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return platform::EntryKind::none;
    if (S_ISLNK(info.st_mode))
        return platform::EntryKind::symbolicLink;
    if (S_ISDIR(info.st_mode))
        return platform::EntryKind::directory;
    return S_ISREG(info.st_mode) ? platform::EntryKind::regularFile : platform::EntryKind::other;
}

// An empty folder or an empty file at `location`, opened without following a link.
bool isEmptyEntry(const platform::EntryLocation& location)
{
    struct stat info {};
    if (!location.parent.isValid() ||
        ::fstatat(location.parent.get(), location.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISREG(info.st_mode))
        return info.st_size == 0;
    if (!S_ISDIR(info.st_mode))
        return false;
    const int fd = ::openat(location.parent.get(), location.name.constData(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* directory = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!directory) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bool empty = true;
    while (const dirent* item = ::readdir(directory)) {
        const char* name = item->d_name;
        if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))) {
            empty = false;
            break;
        }
    }
    ::closedir(directory);
    return empty;
}

void appendOnce(QStringList& list, const QString& path)
{
    if (!path.isEmpty() && !list.contains(path))
        list.append(path);
}

} // namespace

InterruptedOperation::InterruptedOperation(OperationJournal& journal, LogService& log,
                                           const VolumeService& volumes)
    : m_journal(journal), m_log(log), m_volumes(volumes)
{}

InterruptedOperation::Found InterruptedOperation::find(Side side, const QString& path) const
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    try {
        const platform::VerifiedDirectory folder =
            side == Side::source ? sourceSideFolder(record(), path) : targetSideFolder(record(), path);
        Found found{folder.locate(name), QString()};
        found.identity = entryIdentityText(found.location.parent.get(), found.location.name);
        return found;
    } catch (const platform::PlatformError& error) {
        if (error.errorNumber() != ENOENT && error.errorNumber() != ENOTDIR)
            throw;
        // Nothing can stand below a folder that is missing; a location that leads nowhere.
        return Found{platform::EntryLocation{path, platform::UniqueFd(), QFile::encodeName(name)}, QString()};
    }
}

QString InterruptedOperation::identityAt(Side side, const QString& path) const
{
    return find(side, path).identity;
}

bool InterruptedOperation::holdsAtSource(const QString& path, const QString& identity) const
{
    return !identity.isEmpty() && !path.isEmpty() && identityAt(Side::source, path) == identity;
}

bool InterruptedOperation::isEmptyAt(Side side, const QString& path) const
{
    const Found found = find(side, path);
    return !found.identity.isEmpty() && isEmptyEntry(found.location);
}

bool InterruptedOperation::holdsOnVolume(const QString& path, const QString& identity) const
{
    return sameOnVolume(identityAt(Side::target, path), identity);
}

bool InterruptedOperation::sameOnVolume(const QString& now, const QString& identity) const
{
    if (now.isEmpty() || identity.isEmpty())
        return false;
    // A disk plugged in again may get another device number, and another disk the old one.
    const QString recordedUUID = record().volumeUUID;
    const QString currentUUID = m_volumes.resolveVolumeUUID(record().targetRoot);
    if (isKnownUUID(recordedUUID) && isKnownUUID(currentUUID))
        return recordedUUID == currentUUID && sameEntryOnAnyDevice(now, identity);
    return now == identity;
}

InterruptedOperation::Volume InterruptedOperation::volume() const
{
    const std::optional<QString> mountPoint = m_volumes.mountPoint(record().targetRoot);
    if (mountPoint && !platform::MountTable::current().mountedAt(*mountPoint))
        return Volume::away;
    const QString anchor = identityAt(Side::target, targetAnchorPath(record()));
    if (anchor.isEmpty())
        return Volume::away;
    return sameOnVolume(anchor, record().targetRootIdentity) ? Volume::recorded : Volume::replaced;
}

InterruptedOperation::Target InterruptedOperation::target(const QStringList& ours) const
{
    return judgeTarget(find(Side::target, record().targetPath), ours);
}

InterruptedOperation::Target InterruptedOperation::judgeTarget(const Found& there,
                                                               const QStringList& ours) const
{
    if (there.identity.isEmpty())
        return Target::absent;
    if (std::any_of(ours.cbegin(), ours.cend(),
                    [&](const QString& identity) { return sameOnVolume(there.identity, identity); }))
        return Target::ours;
    return isEmptyEntry(there.location) ? Target::empty : Target::other;
}

bool InterruptedOperation::sourceIsFree() const
{
    const Found source = find(Side::source, record().sourcePath);
    switch (kindAt(source.location)) {
    case platform::EntryKind::none:
        return true;
    case platform::EntryKind::symbolicLink:
        return platform::readSymbolicLink(source.location) == record().targetPath;
    case platform::EntryKind::directory:
        return isEmptyEntry(source.location);
    default:
        return false;
    }
}

void InterruptedOperation::clearSource() const
{
    const Found source = find(Side::source, record().sourcePath);
    if (!source.identity.isEmpty())
        platform::removePlaceholder(source.location);
}

bool InterruptedOperation::linkSource() const
{
    if (!sourceIsFree())
        return false;
    const Found source = find(Side::source, record().sourcePath);
    if (kindAt(source.location) == platform::EntryKind::symbolicLink)
        return true; // this operation's own link
    if (!source.identity.isEmpty())
        platform::removePlaceholder(source.location);
    platform::createSymbolicLink(source.location, record().targetPath);
    return true;
}

void InterruptedOperation::removeExchangedLink() const
{
    if (record().restorePath.isEmpty())
        return;
    const Found sibling = find(Side::source, record().restorePath);
    if (kindAt(sibling.location) == platform::EntryKind::symbolicLink &&
        platform::readSymbolicLink(sibling.location) == record().targetPath)
        platform::removePlaceholder(sibling.location);
}

void InterruptedOperation::removeTree(const Found& found) const
{
    if (const std::optional<platform::EntryIdentity> entry = entryIdentityOf(found.identity))
        platform::removeTree(found.location, *entry);
}

QStringList InterruptedOperation::removeDuplicate(const Found& found, Side copySide,
                                                  const QString& copyPath) const
{
    const std::optional<platform::EntryIdentity> entry = entryIdentityOf(found.identity);
    const Found copy = find(copySide, copyPath);
    if (!entry)
        return {};
    if (copy.identity.isEmpty())
        return {found.location.path}; // nothing to compare with: everything stays
    return platform::removeDuplicateTree(found.location, copy.location, *entry).leftoverPaths;
}

void InterruptedOperation::placeAtSource(const QString& sibling, const QStringList& identities) const
{
    const Found from = find(Side::source, sibling);
    if (from.identity.isEmpty() || !identities.contains(from.identity))
        throw platform::PlatformError::fromErrno(EBUSY, sibling);
    const Found source = find(Side::source, record().sourcePath);
    if (kindAt(source.location) == platform::EntryKind::symbolicLink) {
        platform::exchangePaths(from.location, source.location);
        try {
            platform::removePlaceholder(from.location); // the link now stands at the sibling path
        } catch (const std::exception& error) {
            qCWarning(lcInterrupted) << "could not remove the replaced link:" << error.what();
        }
        return;
    }
    if (!source.identity.isEmpty())
        platform::removePlaceholder(source.location); // an empty folder; anything else refuses
    platform::renameNoReplace(from.location, source.location);
}

void InterruptedOperation::removeEmptyFolders(const QStringList& folders) const
{
    for (const QString& folder : folders) {
        try {
            const Found found = find(Side::target, folder);
            if (kindAt(found.location) == platform::EntryKind::directory)
                platform::removePlaceholder(found.location); // rmdir: only an empty one goes
        } catch (const std::exception&) {
            // What cannot be reached or removed stays.
        }
    }
}

void InterruptedOperation::recordTask(TaskStatus status, const std::optional<OrvalinkError>& error) const
{
    const JournalRecord& entry = record();
    const QList<MigrationTask> tasks = JSONLStore::loadAll<MigrationTask>(entry.tasksFile);
    if (std::any_of(tasks.cbegin(), tasks.cend(),
                    [&](const MigrationTask& task) { return task.id == entry.id; }))
        return;
    const QDateTime now = json::wholeSeconds(QDateTime::currentDateTimeUtc());
    MigrationTask task;
    task.id = entry.id;
    task.sourcePath = entry.sourcePath;
    task.targetPath = entry.targetPath;
    task.anchorUser = entry.anchorUser;
    task.volumeUUID = entry.volumeUUID;
    task.status = status;
    task.startedAt = entry.kind == JournalKind::undo ? now : entry.startedAt;
    task.endedAt = now;
    if (error) {
        task.errorCode = error->code();
        task.errorMessage = rollbackMessage(*error, true, std::nullopt);
    }
    JSONLStore::append(task, entry.tasksFile);
}

RecoveredOperation InterruptedOperation::finishAtSource(RecoveredOperation::Outcome done)
{
    const JournalRecord& entry = record();
    RecoveredOperation result = answer(done);
    const bool migration = entry.kind == JournalKind::migration;
    // A migration that never began to move left nothing at the target but empty folders, which are
    // not worth keeping the record for when they cannot be reached.
    if (migration && !entry.moving) {
        if (!entry.createdDirectories.isEmpty() && volume() == Volume::recorded)
            removeEmptyFolders(entry.createdDirectories);
        return finish(done);
    }

    const Volume side = volume();
    if (side == Volume::recorded) {
        const Found there = find(Side::target, entry.targetPath);
        switch (judgeTarget(there, migration ? QStringList{entry.targetIdentity, entry.itemIdentity}
                                             : QStringList{entry.itemIdentity})) {
        case Target::absent:
            break;
        case Target::ours:
        case Target::empty:
            if (migration && !entry.arrived) {
                removeTree(there); // a copy cut short, never linked to
            } else {
                // A whole copy that was in use: only what the source holds unchanged goes.
                result.keptPaths = removeDuplicate(there, Side::source, entry.sourcePath);
            }
            break;
        case Target::other:
            result.foundPaths.append(entry.targetPath);
            break;
        }
    }
    if (side == Volume::recorded) {
        removeEmptyFolders(migration ? entry.createdDirectories
                                     : foldersBelowTargetRoot(entry.sourcePath, entry.targetPath));
    } else if (side == Volume::away) {
        result.waitingForVolume = entry.targetRoot;
    } else {
        appendOnce(result.foundPaths,
                   standsAt(entry.targetPath) ? entry.targetPath : targetAnchorPath(entry));
    }

    if (result.waitingForVolume || !result.foundPaths.isEmpty()) {
        if (done == RecoveredOperation::Outcome::leftoversCleared)
            result.outcome = RecoveredOperation::Outcome::leftAsFound; // nothing changed this time
        try {
            if (!entry.settled)
                m_journal.update([](JournalRecord& changed) { changed.settled = true; });
        } catch (const std::exception& error) {
            qCWarning(lcInterrupted) << "could not record the settled operation:" << error.what();
        }
        m_log.append(
            LogLevel::warning,
            QStringLiteral("Interrupted ") + kindText(entry.kind) +
                QStringLiteral(": the data is whole at ") + entry.sourcePath +
                (result.waitingForVolume
                     ? QStringLiteral("; waiting for the volume of ") + entry.targetRoot +
                           QStringLiteral(" to clear what it left there")
                     : QStringLiteral("; left as found: ") + result.foundPaths.join(QStringLiteral(", "))));
        return result;
    }
    if (!result.keptPaths.isEmpty()) {
        m_log.append(LogLevel::warning, QStringLiteral("Kept what changed after it was copied: ") +
                                            result.keptPaths.join(QStringLiteral(", ")));
    }
    m_journal.finish();
    return result;
}

RecoveredOperation InterruptedOperation::finish(RecoveredOperation::Outcome outcome)
{
    RecoveredOperation result = answer(outcome);
    m_journal.finish();
    return result;
}

RecoveredOperation InterruptedOperation::leaveAsFound(const QString& why)
{
    RecoveredOperation left = answer(RecoveredOperation::Outcome::leftAsFound);
    left.foundPaths = foundPaths(record());
    m_log.append(LogLevel::error, QStringLiteral("Interrupted ") + kindText(record().kind) +
                                      QStringLiteral(" left as found (") + why + QStringLiteral("): ") +
                                      left.foundPaths.join(QStringLiteral(", ")));
    return left;
}

RecoveredOperation InterruptedOperation::leaveSourceOccupied()
{
    return leaveAsFound(QStringLiteral("something else stands at the source path"));
}

RecoveredOperation InterruptedOperation::waitForVolume()
{
    RecoveredOperation waiting = answer(RecoveredOperation::Outcome::leftAsFound);
    waiting.waitingForVolume = record().targetRoot;
    m_log.append(LogLevel::warning, QStringLiteral("Interrupted ") + kindText(record().kind) +
                                        QStringLiteral(": waiting for the volume of ") + record().targetRoot +
                                        QStringLiteral(": nothing was changed at ") + record().sourcePath);
    return waiting;
}

RecoveredOperation InterruptedOperation::answer(RecoveredOperation::Outcome outcome) const
{
    RecoveredOperation result;
    result.outcome = outcome;
    result.kind = record().kind;
    result.sourcePath = record().sourcePath;
    result.targetPath = record().targetPath;
    return result;
}

QStringList InterruptedOperation::foundPaths(const JournalRecord& entry)
{
    QStringList found;
    for (const QString& path : {entry.sourcePath, entry.stagingPath, entry.targetPath, entry.restorePath}) {
        if (!path.isEmpty() && standsAt(path))
            appendOnce(found, path);
    }
    // What the operation, or an earlier one, kept aside beside either path.
    for (const QString& path :
         existingReservedPaths(entry.sourcePath) + existingReservedPaths(entry.targetPath))
        appendOnce(found, path);
    return found;
}

} // namespace orvalink
