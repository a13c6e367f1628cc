#include "ui/views/DetailPaneView.h"

namespace orvalink::ui {

DetailPaneView::DetailPaneView(MainViewModel& /*viewModel*/, DashboardViewState& /*state*/, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("detailPane"));
}

} // namespace orvalink::ui
