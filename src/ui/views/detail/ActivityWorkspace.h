#pragma once

#include "ui/widgets/CardFrame.h"

class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class ActivityRecords;
class DashboardViewState;
class FittedScrollArea;
class RevealAnimation;
class MigrationProgressCard;

// The panel at the top of the detail column: a header that always shows what the application is
// doing (icon, summary, a badge while collapsed, Expand/Collapse), and while expanded the progress
// card, the record sections and the link-repair row.
class ActivityWorkspace : public CardFrame {
    Q_OBJECT

public:
    ActivityWorkspace(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);

    void refresh();
    // The most height the body takes; beyond it the body scrolls inside.
    void setBodyHeightCap(int pixels);

    // The header's decisions, from the published state.
    // Finished work to show: migrated items, restored paths or the report of a link repair.
    static bool hasSuccessActivity(MainViewModel& viewModel);
    // What the user has to look at is listed (failed migrations, what undos left on the volume,
    // links a repair could not repair, versions the start-up kept aside): the workspace stays open
    // until the user closes it.
    static bool needsReview(MainViewModel& viewModel);
    static QString primaryActivitySystemImage(MainViewModel& viewModel);
    // What the workspace is doing; or what waits for review, and while the workspace is open that it
    // stays so; or that it collapses by itself soon while a collapse is timed.
    static QString activityDockSummaryText(MainViewModel& viewModel, const DashboardViewState& state);
    // The collapsed panel's badge text; empty for no badge.
    static QString badgeText(MainViewModel& viewModel);

Q_SIGNALS:
    // The user pressed Expand/Collapse; emitted before the panel flag flips, so a pending automatic
    // collapse can be cancelled first.
    void panelToggledByUser();

private:
    // Keeps in view what matters now, when that changed.
    void keepWhatMattersInView();

    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    QLabel* m_icon = nullptr;
    QString m_shownIcon;
    QLabel* m_title = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_badge = nullptr;
    QPushButton* m_toggle = nullptr;
    QWidget* m_body = nullptr;
    FittedScrollArea* m_bodyScroll = nullptr;
    RevealAnimation* m_reveal = nullptr;
    bool m_hasRefreshed = false;
    MigrationProgressCard* m_progress = nullptr;
    ActivityRecords* m_records = nullptr;
    // What the body was last asked to keep in view, and how many failed items were listed then.
    QWidget* m_keptInView = nullptr;
    qsizetype m_keptFailures = 0;
};

} // namespace orvalink::ui
