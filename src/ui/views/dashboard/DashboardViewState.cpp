#include "ui/views/dashboard/DashboardViewState.h"

namespace orvalink::ui {

namespace {

template <typename T>
void assign(DashboardViewState* state, T& field, const T& value, void (DashboardViewState::*changed)())
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(state->*changed)();
}

} // namespace

DashboardViewState::DashboardViewState(QObject* parent) : QObject(parent) {}

void DashboardViewState::setActiveSheet(const std::optional<QuickSheet>& sheet)
{
    assign(this, m_activeSheet, sheet, &DashboardViewState::activeSheetChanged);
}

void DashboardViewState::setMinSizeInput(const QString& text)
{
    assign(this, m_minSizeInput, text, &DashboardViewState::minSizeInputChanged);
}

void DashboardViewState::setMinSizeInputFocused(bool focused)
{
    assign(this, m_minSizeInputFocused, focused, &DashboardViewState::minSizeInputFocusedChanged);
}

void DashboardViewState::setShowProgressPanel(bool shown)
{
    assign(this, m_showProgressPanel, shown, &DashboardViewState::showProgressPanelChanged);
}

void DashboardViewState::setShowMigratedItemsPanel(bool shown)
{
    assign(this, m_showMigratedItemsPanel, shown, &DashboardViewState::showMigratedItemsPanelChanged);
}

void DashboardViewState::setShowStorageOverviewExpanded(bool expanded)
{
    assign(this, m_showStorageOverviewExpanded, expanded,
           &DashboardViewState::showStorageOverviewExpandedChanged);
}

} // namespace orvalink::ui
