#include "diskops/ForcedPreparation.h"

#include "diskops/DirectoryMerge.h"
#include "diskops/FallbackFileOperations.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"

namespace orvalink {

PreparationOutcome ForcedPreparation::prepareExistingTarget(const QString& stagingPath,
                                                            const QString& targetPath,
                                                            ForcedMigrationMode mode) const
{
    PreparationOutcome outcome;
    outcome.summary = clear(stagingPath, targetPath, mode, targetPath, ReservedSuffix::targetPreserved);
    outcome.stagingMergedIntoTarget = outcome.summary.didAppendMerge;
    return outcome;
}

ForceMigrationSummary ForcedPreparation::prepareOccupiedSource(const QString& sourcePath,
                                                               const QString& targetPath,
                                                               ForcedMigrationMode mode) const
{
    return clear(sourcePath, targetPath, mode, sourcePath, ReservedSuffix::sourcePreserved);
}

ForceMigrationSummary ForcedPreparation::clear(const QString& incoming, const QString& targetPath,
                                               ForcedMigrationMode mode, const QString& occupant,
                                               ReservedSuffix suffix) const
{
    ForceMigrationSummary summary;
    summary.requestedMode = mode;
    // Overwrite makes no directory test; append reads the incoming side first, then the target.
    const bool merge = mode == ForcedMigrationMode::append && platform::isRealDirectory(incoming) &&
                       platform::isRealDirectory(targetPath);
    if (!merge) {
        const QString reserved = makeReservedPath(occupant, suffix);
        m_files.move(occupant, reserved);
        summary.preservedPaths = {reserved};
        return summary;
    }

    MergeJournal journal(m_files);
    try {
        const AppendMergeOutcome merged =
            mergeDirectoryContents(incoming, targetPath, ClashWinner::incoming, journal);
        if (platform::entryExists(incoming))
            journal.deferRemoval(incoming);
        journal.removeDeferred();
        summary.didAppendMerge = true;
        summary.mergedIncomingItemCount = merged.mergedItemCount;
        summary.preservedConflictCount = merged.conflictCount;
    } catch (...) {
        journal.undo();
        throw;
    }
    return summary;
}

} // namespace orvalink
