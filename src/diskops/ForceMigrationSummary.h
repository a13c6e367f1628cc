#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// How a retried migration may clear an occupied target or a recreated source.
enum class ForcedMigrationMode {
    append,   // merge two directories, incoming items winning each clash
    overwrite // keep the occupant whole in a hidden reserved path
};

// What the forced steps (and placeholder removals) of one migration did.
struct ForceMigrationSummary {
    ForcedMigrationMode requestedMode = ForcedMigrationMode::append;
    bool didAppendMerge = false;
    QStringList preservedPaths; // reserved paths that now hold whole occupants
    qint64 mergedIncomingItemCount = 0;
    qint64 preservedConflictCount = 0; // existing items a merge moved aside
    QStringList removedPlaceholderPaths;
    QStringList terminatedProcesses;

    bool operator==(const ForceMigrationSummary&) const = default;
};

// The summary of a removed placeholder: the mode (append when none was asked for) and the path.
ForceMigrationSummary placeholderRemovalSummary(std::optional<ForcedMigrationMode> mode, const QString& path);

// `next` added to what was gathered so far: with nothing so far, `next` unchanged; otherwise the
// first mode, either merge flag, the counts added, and each list the sorted union without repeats.
ForceMigrationSummary mergedForceMigrationSummary(const std::optional<ForceMigrationSummary>& sofar,
                                                  const ForceMigrationSummary& next);

} // namespace orvalink
