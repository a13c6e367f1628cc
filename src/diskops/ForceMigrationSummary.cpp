#include "diskops/ForceMigrationSummary.h"

namespace orvalink {

namespace {

QStringList sortedUnion(const QStringList& first, const QStringList& second)
{
    QStringList all = first + second;
    all.sort();
    all.removeDuplicates();
    return all;
}

} // namespace

ForceMigrationSummary placeholderRemovalSummary(std::optional<ForcedMigrationMode> mode, const QString& path)
{
    ForceMigrationSummary summary;
    summary.requestedMode = mode.value_or(ForcedMigrationMode::append);
    summary.removedPlaceholderPaths = {path};
    return summary;
}

ForceMigrationSummary mergedForceMigrationSummary(const std::optional<ForceMigrationSummary>& sofar,
                                                  const ForceMigrationSummary& next)
{
    if (!sofar)
        return next;
    ForceMigrationSummary merged;
    merged.requestedMode = sofar->requestedMode;
    merged.didAppendMerge = sofar->didAppendMerge || next.didAppendMerge;
    merged.preservedPaths = sortedUnion(sofar->preservedPaths, next.preservedPaths);
    merged.mergedIncomingItemCount = sofar->mergedIncomingItemCount + next.mergedIncomingItemCount;
    merged.preservedConflictCount = sofar->preservedConflictCount + next.preservedConflictCount;
    merged.removedPlaceholderPaths =
        sortedUnion(sofar->removedPlaceholderPaths, next.removedPlaceholderPaths);
    merged.terminatedProcesses = sortedUnion(sofar->terminatedProcesses, next.terminatedProcesses);
    return merged;
}

} // namespace orvalink
