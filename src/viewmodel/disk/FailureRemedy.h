#pragma once

#include "viewmodel/state/WorkflowRecords.h"

namespace orvalink {

// What the window offers to put a failed migration right, besides opening its folders.
enum class FailureRemedy {
    // Nothing the workflows can do: the reason says what the user has to change.
    none,
    // Something occupies the target, or the source came back after the move: migrate again, after
    // the user chose to append to what is there or to overwrite it (the migration conflict prompt).
    forceMigration,
    // Running processes hold the source: end them and retry.
    terminateHoldersAndRetry,
};

// Decided by the record's error code alone; a record without one has no remedy.
FailureRemedy failureRemedy(const FailedMigrationRecord& record);

} // namespace orvalink
