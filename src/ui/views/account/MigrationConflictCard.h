#pragma once

#include "backend/MigrationSyncRecords.h"
#include "ui/widgets/TintedBox.h"

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class MetaChipRow;
class SelectablePathField;

// One source path that more than one device of the account manages: the path (masked as the window
// shows paths, copied whole), how many devices and targets, the masked fingerprints and the targets.
// The same card follows its path across refreshes: setConflict() updates it in place.
class MigrationConflictCard : public TintedBox {
    Q_OBJECT

public:
    MigrationConflictCard(MainViewModel& viewModel, QWidget* parent = nullptr);

    void setConflict(const BackendMigrationConflict& conflict);

private:
    MainViewModel& m_viewModel;
    SelectablePathField* m_source = nullptr;
    MetaChipRow* m_chips = nullptr;
    QLabel* m_devices = nullptr;
    QLabel* m_targets = nullptr;
};

} // namespace orvalink::ui
