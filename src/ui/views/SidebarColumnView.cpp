#include "ui/views/SidebarColumnView.h"

namespace orvalink::ui {

SidebarColumnView::SidebarColumnView(MainViewModel& /*viewModel*/, DashboardViewState& /*state*/,
                                     QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sidebarColumn"));
}

} // namespace orvalink::ui
