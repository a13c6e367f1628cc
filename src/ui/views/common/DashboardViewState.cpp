#include "ui/views/common/DashboardViewState.h"

namespace orvalink::ui {

DashboardViewState::DashboardViewState(QObject* parent) : PublishedObject(parent) {}

void DashboardViewState::setActiveSheet(const std::optional<QuickSheet>& sheet)
{
    publish(m_activeSheet, sheet, &DashboardViewState::activeSheetChanged);
}

void DashboardViewState::setMinSizeInput(const QString& text)
{
    publish(m_minSizeInput, text, &DashboardViewState::minSizeInputChanged);
}

void DashboardViewState::setMinSizeInputFocused(bool focused)
{
    publish(m_minSizeInputFocused, focused, &DashboardViewState::minSizeInputFocusedChanged);
}

void DashboardViewState::setShowProgressPanel(bool shown)
{
    publish(m_showProgressPanel, shown, &DashboardViewState::showProgressPanelChanged);
}

void DashboardViewState::setActivityCollapsePending(bool pending)
{
    publish(m_activityCollapsePending, pending, &DashboardViewState::activityCollapsePendingChanged);
}

void DashboardViewState::setShowMigratedItemsPanel(bool shown)
{
    publish(m_showMigratedItemsPanel, shown, &DashboardViewState::showMigratedItemsPanelChanged);
}

void DashboardViewState::setShowStorageOverviewExpanded(bool expanded)
{
    publish(m_showStorageOverviewExpanded, expanded, &DashboardViewState::showStorageOverviewExpandedChanged);
}

} // namespace orvalink::ui
