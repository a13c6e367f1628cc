#pragma once

#include "ui/views/detail/RecordRowLayout.h"
#include "viewmodel/state/WorkflowRecords.h"

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// What each record row shows, from the state object at the moment of the call: texts in the
// window's language, paths (and the failure's reason, which names paths) masked under
// presentation privacy, the raw paths for the menus.
MigratedRecordTexts migratedRecordTexts(MainViewModel& viewModel, const MigrationPathRecord& record);
RestoredRecordTexts restoredRecordTexts(MainViewModel& viewModel, const QString& path);
FailedRecordTexts failedRecordTexts(MainViewModel& viewModel, const FailedMigrationRecord& record,
                                    bool recoveryEnabled);
LeftBehindRecordTexts leftBehindRecordTexts(MainViewModel& viewModel, const LeftBehindRecord& record,
                                            bool recoveryEnabled);
LinkRecordTexts linkRecordTexts(MainViewModel& viewModel, const LinkRepairRecord& record);
// Drawn as the row of what an undo left behind: the folder, where something was kept, and the
// start-up's own words for what it kept.
LeftBehindRecordTexts keptVersionsRecordTexts(MainViewModel& viewModel, const KeptVersionsRecord& record);

} // namespace orvalink::ui
