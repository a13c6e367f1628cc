#pragma once

#include "ui/views/DashboardViewState.h"

#include <QWidget>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The left column of the main window: quick-access bar, scan, target and navigation groups, actions,
// notices, the smart-migration panel, search, the directory list and the status lines.
class SidebarColumnView : public QWidget {
    Q_OBJECT

public:
    SidebarColumnView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);
};

} // namespace orvalink::ui
