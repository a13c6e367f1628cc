#pragma once

#include "ui/views/common/QuickSheet.h"
#include "viewmodel/state/PublishedObject.h"

#include <QObject>
#include <QString>
#include <optional>

namespace orvalink::ui {

// The main window's own view state, beside the application state: which quick sheet is open, the
// text of the minimum-size field and which panels of the detail column are expanded. The dashboard
// owns it; the sidebar, the detail column and the sheet host read it and write it. Each setter
// emits its change signal only when the value changes.
class DashboardViewState : public PublishedObject {
    Q_OBJECT

public:
    // The window opened the normal way: no sheet, the activity workspace and the migrated items
    // collapsed, the storage overview expanded.
    explicit DashboardViewState(QObject* parent = nullptr);

    const std::optional<QuickSheet>& activeSheet() const { return m_activeSheet; }
    void setActiveSheet(const std::optional<QuickSheet>& sheet);

    const QString& minSizeInput() const { return m_minSizeInput; }
    void setMinSizeInput(const QString& text);
    // True while the minimum-size field has the keyboard focus: a new minimum size then leaves the
    // text as the user typed it.
    bool minSizeInputFocused() const { return m_minSizeInputFocused; }
    void setMinSizeInputFocused(bool focused);

    bool showProgressPanel() const { return m_showProgressPanel; }
    void setShowProgressPanel(bool shown);
    // The activity workspace is open and will collapse by itself soon (a collapse is timed).
    bool activityCollapsePending() const { return m_activityCollapsePending; }
    void setActivityCollapsePending(bool pending);
    bool showMigratedItemsPanel() const { return m_showMigratedItemsPanel; }
    void setShowMigratedItemsPanel(bool shown);
    bool showStorageOverviewExpanded() const { return m_showStorageOverviewExpanded; }
    void setShowStorageOverviewExpanded(bool expanded);

Q_SIGNALS:
    void activeSheetChanged();
    void minSizeInputChanged();
    void minSizeInputFocusedChanged();
    void showProgressPanelChanged();
    void activityCollapsePendingChanged();
    void showMigratedItemsPanelChanged();
    void showStorageOverviewExpandedChanged();

private:
    std::optional<QuickSheet> m_activeSheet;
    QString m_minSizeInput;
    bool m_minSizeInputFocused = false;
    bool m_showProgressPanel = false;
    bool m_activityCollapsePending = false;
    bool m_showMigratedItemsPanel = false;
    bool m_showStorageOverviewExpanded = true;
};

} // namespace orvalink::ui
