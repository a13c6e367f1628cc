#include "ui/views/SettingsSheetView.h"

namespace orvalink::ui {

SettingsSheetView::SettingsSheetView(MainViewModel& /*viewModel*/, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("settingsSheet"));
}

} // namespace orvalink::ui
