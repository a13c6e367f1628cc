#include "diskops/SiblingRestore.h"

#include "diskops/FallbackFileOperations.h"
#include "diskops/OperationJournal.h"
#include "diskops/PlaceholderTest.h"
#include "diskops/PrivilegeFallback.h"
#include "diskops/RecordedEntries.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/ProcessTable.h"

#include <QLoggingCategory>
#include <cerrno>

Q_LOGGING_CATEGORY(lcRestore, "orvalink.diskops.restore")

namespace orvalink {

void placeAtSource(const FallbackFileOperations& files, const QString& sibling, const QString& source)
{
    const platform::EntryKind occupant = platform::entryStatus(source).kind;
    if (occupant == platform::EntryKind::symbolicLink) {
        try {
            platform::exchangePaths(sibling, source);
        } catch (const std::exception& error) {
            if (!shouldUsePrivilegeFallback(error) || !files.asksAdministrator())
                throw;
            // The administrator has no exchange: the link goes first, for as short a time as can be.
            files.removePlaceholder(source);
            files.move(sibling, source);
            return;
        }
        try {
            files.removePlaceholder(sibling); // the link now stands at the hidden sibling path
        } catch (const std::exception& error) {
            qCWarning(lcRestore) << "could not remove the replaced link:" << error.what();
        }
        return;
    }
    if (occupant != platform::EntryKind::none) {
        if (!isPlaceholder(source))
            throw platform::PlatformError::fromErrno(EEXIST, source);
        files.removePlaceholder(source);
    }
    files.move(sibling, source);
}

RestoredLeftovers restoreThroughSibling(const FallbackFileOperations& files, OperationJournal& journal,
                                        const QStringList& identities)
{
    const RecordedEntries entries(journal);
    const QString source = journal.record().sourcePath;
    const QString targetPath = journal.record().targetPath;
    const RecordedEntries::Found target = entries.find(RecordedEntries::Side::target, targetPath);
    const std::optional<platform::EntryIdentity> item = entryIdentityOf(target.identity);
    if (!item || !identities.contains(target.identity))
        throw platform::PlatformError(EBUSY, QStringLiteral("the target does not hold the item the operation "
                                                            "moved there: ") +
                                                 targetPath);
    const QString sibling = makeReservedPath(source, ReservedSuffix::restoring);
    journal.update([&](JournalRecord& entry) { entry.restorePath = sibling; });
    const RecordedEntries::Found free = entries.find(RecordedEntries::Side::source, sibling);
    const auto siblingIdentity = [&] {
        return entries.identityAt(RecordedEntries::Side::source, sibling);
    };
    bool placed = false;
    bool keepSibling = false;
    FallbackFileOperations::MoveSteps steps;
    // What stands at the sibling from here on is this restore's own, whole or not.
    steps.created = [&] {
        journal.update([&](JournalRecord& entry) { entry.restoreSiblingIdentity = siblingIdentity(); });
    };
    // Across file systems the target is still whole here: putting the copy in place now means the
    // target is removed only once the source path holds the data.
    steps.copied = [&] {
        // Should the record fail, the copy is removed again: the record must not call it whole.
        journal.update([&](JournalRecord& entry) { entry.restoreIdentity = siblingIdentity(); });
        try {
            placeAtSource(files, sibling, source);
        } catch (...) {
            // The copy is removed again when this throws; the record must first stop calling it whole.
            try {
                journal.update([](JournalRecord& entry) { entry.restoreIdentity.clear(); });
            } catch (const std::exception& error) {
                qCWarning(lcRestore) << "keeping the restored copy at" << sibling << error.what();
                keepSibling = true;
                return;
            }
            throw;
        }
        placed = true;
    };
    // A program may have opened or mapped something of the target since the caller last looked:
    // what it holds once the data is home stays on the volume, as what it writes there would be lost.
    // The look for holders comes after the comparison of what the copy took, right before the
    // removal; the one for shared mappings before that comparison, which cannot see all they write.
    steps.inUse = [targetPath] {
        return platform::entriesInUse(targetPath);
    };
    steps.mappedShared = [targetPath] {
        return platform::entriesMappedShared(targetPath);
    };
    // What stayed is the caller's to report, named after the user's paths.
    steps.shownDestination = source;
    steps.callerReportsLeftovers = true;
    // The target lies on a volume: its times may tell of a clock that was wrong or of a program that
    // put back the time it found, so only the content proves a file there unchanged.
    steps.timesProveNothing = true;
    // The administrator's command follows paths: it runs only while they still lead to the item.
    steps.beforeAdministrator = [&] {
        if (entries.identityAt(RecordedEntries::Side::target, targetPath) != target.identity)
            throw platform::PlatformError::fromErrno(EBUSY, targetPath);
        journal.update([](JournalRecord& entry) { entry.administrator = true; });
    };
    const platform::MoveResult moved = files.move(target.location, free.location, *item, steps);
    if (placed) {
        RestoredLeftovers leftovers{moved.changedPaths, {}, QString()};
        for (const QString& path : moved.leftoverPaths) {
            if (!moved.changedPaths.contains(path))
                leftovers.copyPaths.append(path);
        }
        if (!leftovers.copyPaths.isEmpty() && moved.leftoverError)
            leftovers.copyFailure = moved.leftoverError->message();
        return leftovers;
    }
    if (keepSibling)
        throw platform::PlatformError::fromErrno(EEXIST, source);

    // A rename (or the administrator) moved the whole item at once.
    try {
        journal.update([&](JournalRecord& entry) { entry.restoreIdentity = siblingIdentity(); });
        placeAtSource(files, sibling, source);
    } catch (...) {
        try {
            platform::renameNoReplace(free.location, target.location);
        } catch (const std::exception& error) {
            qCWarning(lcRestore) << "the restored item stays at" << sibling << error.what();
        }
        throw;
    }
    return {};
}

} // namespace orvalink
