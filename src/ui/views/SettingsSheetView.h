#pragma once

#include <QWidget>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The settings sheet's content: a plain widget the sheet host shows in a window-modal dialog.
class SettingsSheetView : public QWidget {
    Q_OBJECT

public:
    SettingsSheetView(MainViewModel& viewModel, QWidget* parent = nullptr);
};

} // namespace orvalink::ui
