#include "ui/views/MainDashboardView.h"

#include "ui/views/DetailPaneView.h"
#include "ui/views/SidebarColumnView.h"

#include <QHBoxLayout>

namespace orvalink::ui {

MainDashboardView::MainDashboardView(MainViewModel& viewModel, DashboardOptions options, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_options(std::move(options))
{
    setObjectName(QStringLiteral("mainDashboard"));
    m_state.setShowProgressPanel(m_options.initialShowProgressPanel);
    m_state.setShowMigratedItemsPanel(m_options.initialShowMigratedItemsPanel);
    m_state.setShowStorageOverviewExpanded(m_options.initialShowStorageOverviewExpanded);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(new SidebarColumnView(m_viewModel, m_state, this));
    layout->addWidget(new DetailPaneView(m_viewModel, m_state, this));
}

} // namespace orvalink::ui
