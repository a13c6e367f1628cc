#pragma once

#include "ui/views/DashboardViewState.h"

#include <QWidget>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The right column of the main window: activity workspace, storage overview, undo controls, migration
// history, migrated items and the selection footer.
class DetailPaneView : public QWidget {
    Q_OBJECT

public:
    DetailPaneView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);
};

} // namespace orvalink::ui
