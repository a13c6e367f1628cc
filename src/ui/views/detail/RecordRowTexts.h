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

} // namespace orvalink::ui
