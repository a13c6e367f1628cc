#pragma once

#include "diskops/ForceMigrationSummary.h"
#include "diskops/ReservedPaths.h"

#include <QString>

namespace orvalink {

class FallbackFileOperations;

// What preparing an occupied target did.
struct PreparationOutcome {
    ForceMigrationSummary summary;
    // True when the staged item has already been merged into the target and must not be moved there.
    bool stagingMergedIntoTarget = false;
};

// The forced modes of a retried migration: they free an occupied path without destroying anything.
// `overwrite`, and `append` when either side is not a real directory, move the occupant whole into a
// hidden reserved path; `append` of two directories merges the incoming side into the directory that
// stands at the target, incoming items winning every clash (the losers are kept as "append-preserved"
// siblings). A merge that fails halfway is put back before the error is thrown, so the incoming data
// is whole again in its own place.
class ForcedPreparation {
public:
    explicit ForcedPreparation(const FallbackFileOperations& files) : m_files(files) {}

    // Frees or fills the occupied `targetPath` for the item staged at `stagingPath`.
    PreparationOutcome prepareExistingTarget(const QString& stagingPath, const QString& targetPath,
                                             ForcedMigrationMode mode) const;

    // Frees `sourcePath`, which something reoccupied, for the link to `targetPath` (which now holds
    // the migrated data): the occupant is kept aside ("source-preserved") or merged into the target.
    ForceMigrationSummary prepareOccupiedSource(const QString& sourcePath, const QString& targetPath,
                                                ForcedMigrationMode mode) const;

private:
    // Merges `incoming` into `targetPath` when both are real directories and the mode is append;
    // otherwise moves `occupant` (one of the two) whole into a reserved path with `suffix`.
    ForceMigrationSummary clear(const QString& incoming, const QString& targetPath, ForcedMigrationMode mode,
                                const QString& occupant, ReservedSuffix suffix) const;

    const FallbackFileOperations& m_files;
};

} // namespace orvalink
