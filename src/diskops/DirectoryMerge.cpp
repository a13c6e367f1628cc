#include "diskops/DirectoryMerge.h"

#include "diskops/FallbackFileOperations.h"
#include "diskops/ReservedPaths.h"
#include "platform/DirectoryListing.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"

#include <QLoggingCategory>
#include <cerrno>

Q_LOGGING_CATEGORY(lcMerge, "orvalink.diskops.merge")

namespace orvalink {

namespace {

QString mergedChildPath(const QString& directory, const QString& name)
{
    return directory + QLatin1Char('/') + name;
}

// The merge below two folders known to be real ones: the caller looked at both, and a pair met
// inside is merged only after the same look.
AppendMergeOutcome mergeRealDirectories(const QString& from, const QString& into, ClashWinner winner,
                                        MergeJournal& journal, const QUuid& operation)
{
    AppendMergeOutcome outcome;
    for (const platform::ListedItem& item : platform::listDirectory(from, true)) {
        const QString incoming = mergedChildPath(from, item.name);
        const QString existing = mergedChildPath(into, item.name);
        const platform::EntryKind existingKind = platform::entryStatus(existing).kind;
        if (existingKind == platform::EntryKind::none) {
            journal.move(incoming, existing);
            ++outcome.mergedItemCount;
            continue;
        }
        if (existingKind == platform::EntryKind::directory && platform::isRealDirectory(incoming)) {
            const AppendMergeOutcome inner =
                mergeRealDirectories(incoming, existing, winner, journal, operation);
            outcome.mergedItemCount += inner.mergedItemCount + 1;
            outcome.conflictCount += inner.conflictCount;
            outcome.preservedPaths += inner.preservedPaths;
            journal.deferRemoval(incoming);
            continue;
        }
        const QString reserved = operation.isNull()
                                     ? makeReservedPath(existing, ReservedSuffix::appendPreserved)
                                     : makeReservedPath(existing, ReservedSuffix::appendPreserved, operation);
        if (winner == ClashWinner::incoming) {
            journal.move(existing, reserved);
            journal.move(incoming, existing);
        } else {
            journal.move(incoming, reserved);
        }
        outcome.preservedPaths.append(reserved);
        ++outcome.mergedItemCount;
        ++outcome.conflictCount;
    }
    return outcome;
}

} // namespace

void MergeJournal::move(const QString& from, const QString& to)
{
    m_files.move(from, to);
    m_moves.append({from, to});
}

void MergeJournal::deferRemoval(const QString& emptiedDirectory)
{
    m_deferred.append(emptiedDirectory);
}

void MergeJournal::removeDeferred()
{
    for (const QString& directory : std::as_const(m_deferred)) {
        m_files.removePlaceholder(directory);
        m_removed.append(directory);
    }
    m_deferred.clear();
}

bool MergeJournal::undo() noexcept
{
    try {
        for (auto it = m_removed.crbegin(); it != m_removed.crend(); ++it)
            m_files.createDirectories(*it);
        m_removed.clear();
        while (!m_moves.isEmpty()) {
            const auto& [from, to] = m_moves.constLast();
            if (!platform::entryExists(platform::parentPath(from)))
                m_files.createDirectories(platform::parentPath(from));
            // A step back may carry an item from the volume home; what a program wrote to it there
            // meanwhile must not go on the word of its times.
            FallbackFileOperations::MoveSteps back;
            back.timesProveNothing = true;
            m_files.move(to, from, back);
            m_moves.removeLast();
        }
        return true;
    } catch (const std::exception& error) {
        qCWarning(lcMerge) << "could not put a merge back:" << error.what();
    } catch (...) {
        qCWarning(lcMerge) << "could not put a merge back";
    }
    return false;
}

AppendMergeOutcome mergeDirectoryContents(const QString& from, const QString& into, ClashWinner winner,
                                          MergeJournal& journal, const QUuid& operation)
{
    // Listing a link would list the folder it leads to, and the moves would carry that folder's
    // entries off: both sides must be folders themselves.
    for (const QString& side : {from, into}) {
        if (!platform::isRealDirectory(side))
            throw platform::PlatformError::fromErrno(ENOTDIR, side);
    }
    return mergeRealDirectories(from, into, winner, journal, operation);
}

} // namespace orvalink
