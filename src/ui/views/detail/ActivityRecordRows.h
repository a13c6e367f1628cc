#pragma once

#include "viewmodel/disk/WorkflowRecords.h"

#include <QString>

class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// One row per record of the latest operations, as the workflows published them.
QWidget* recentMigrationRecordView(MainViewModel& viewModel, const MigrationPathRecord& record,
                                   QWidget* parent);
QWidget* restoredPathView(MainViewModel& viewModel, const QString& path, QWidget* parent);
// A failure with its reason (masked under presentation privacy) and its recovery actions: force
// migration for an occupied target, ending the holders for a source in use, and the folders.
QWidget* failedMigrationRecordView(MainViewModel& viewModel, const FailedMigrationRecord& record,
                                   QWidget* parent);

} // namespace orvalink::ui
