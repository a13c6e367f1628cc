#pragma once

#include "diskops/ForceMigrationSummary.h"
#include "viewmodel/state/WorkflowRecords.h"

#include <QCoro/QCoroTask>
#include <QStringList>
#include <optional>

namespace orvalink {

class ActivityState;
class DiskWorkContext;
class HistoryState;
class Presentation;

// One more attempt at a failed item: as it was, after ending the processes that hold it, or forced
// (append or overwrite). Marks itself busy before its first pause, so a double click never starts
// two engines on one path. A success moves the record to the successes; a failure updates it in
// place; a permission failure asks for administrator access. Started also from the answer to a
// prompt: while other disk work runs it says so in the info line instead. Never throws.
QCoro::Task<> retryFailedMigration(DiskWorkContext& context, FailedMigrationRecord record,
                                   std::optional<ForcedMigrationMode> forceMode, bool terminateProcesses);

// Publishes the choice between append and overwrite for a failed item.
void presentMigrationConflictPrompt(ActivityState& activity, const Presentation& texts,
                                    const FailedMigrationRecord& record);

BilingualText forceMigrationSuccessMessage(const Presentation& texts, const QString& sourcePath,
                                           const std::optional<ForceMigrationSummary>& summary,
                                           const QStringList& terminatedProcesses);

// Replaces the failed record with the same id in place, or puts it first.
void replaceFailedMigrationRecord(HistoryState& history, const FailedMigrationRecord& record);

} // namespace orvalink
