#include "ui/views/detail/ActivityWorkspace.h"

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/detail/ActivityRecords.h"
#include "ui/views/detail/MigrationProgressCard.h"
#include "ui/views/detail/StartAnswerHeadings.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FittedScrollArea.h"
#include "ui/widgets/FocusRing.h"
#include "ui/widgets/RevealAnimation.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "ui/widgets/TintedBox.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

// The workspace opens and closes over 0.2 s, ease-in-out.
constexpr int kRevealMs = 200;

bool hasFailures(MainViewModel& viewModel)
{
    return !viewModel.history().recentFailedMigrations().isEmpty();
}

bool hasLeftBehind(MainViewModel& viewModel)
{
    return !viewModel.history().undoLeftovers().isEmpty();
}

bool hasUnrepairedLinks(MainViewModel& viewModel)
{
    const std::optional<LinkRepairReport>& repair = viewModel.history().lastLinkRepair();
    return repair && repair->hasUnrepairedLinks();
}

bool hasKeptVersions(MainViewModel& viewModel)
{
    return !viewModel.history().keptVersions().isEmpty();
}

// The header speaks of work that runs, as the window's busy rule does: a finished batch keeps its
// counters for the progress card, and reading them as progress would hold "100%" in the header and
// hide the collapse notice until the next operation. The start-up's recovery runs as a batch does.
bool showsRunningWork(MainViewModel& viewModel)
{
    const ActivityState& activity = viewModel.activity();
    return activity.isMigrating() || activity.isUndoing() || activity.diskWork() == DiskWork::recovery;
}

} // namespace

bool ActivityWorkspace::hasSuccessActivity(MainViewModel& viewModel)
{
    return !viewModel.history().recentMigrations().isEmpty() ||
           !viewModel.history().lastRestoredPaths().isEmpty() || viewModel.history().lastLinkRepair();
}

bool ActivityWorkspace::needsReview(MainViewModel& viewModel)
{
    return hasFailures(viewModel) || hasLeftBehind(viewModel) || hasUnrepairedLinks(viewModel) ||
           hasKeptVersions(viewModel);
}

QString ActivityWorkspace::primaryActivitySystemImage(MainViewModel& viewModel)
{
    const bool progress = showsRunningWork(viewModel);
    if (needsReview(viewModel))
        return QStringLiteral("exclamationmark.triangle.fill");
    if (progress) {
        const ActivityState& activity = viewModel.activity();
        if (activity.diskWork() == DiskWork::recovery)
            return QStringLiteral("arrow.triangle.2.circlepath");
        const bool homeward =
            activity.isUndoing() ||
            (activity.diskWorkStep() && activity.diskWorkStep()->kind == DiskWorkStep::Kind::comingHome);
        return homeward ? QStringLiteral("arrow.uturn.backward.circle.fill")
                        : QStringLiteral("arrow.right.circle.fill");
    }
    if (viewModel.activity().isRepairingLinks())
        return QStringLiteral("wrench.and.screwdriver.fill");
    return QStringLiteral("bolt.circle.fill");
}

QString ActivityWorkspace::activityDockSummaryText(MainViewModel& viewModel, const DashboardViewState& state)
{
    const bool progress = showsRunningWork(viewModel);
    const bool repairing = viewModel.activity().isRepairingLinks();
    // What waits for review: while the workspace is open, that it stays so; once the user closed
    // it, that Expand shows it.
    const auto review = [&viewModel, &state](const BilingualText& open, const BilingualText& closed) {
        return viewModel.presentation().localized(state.showProgressPanel() ? open : closed);
    };
    if (hasFailures(viewModel))
        return review({"存在失败项目，活动台将保持展开直到你手动关闭。",
                       "Failed items are present, so the activity workspace stays open until you close it."},
                      {"存在失败项目，展开即可查看。", "Failed items are present. Expand shows them."});
    if (hasLeftBehind(viewModel))
        return review({"部分内容仍留在外置磁盘上，活动台将保持展开直到你手动关闭。",
                       "Some items stayed on the external disk, so the activity workspace stays open until "
                       "you close it."},
                      {"部分内容仍留在外置磁盘上，展开即可查看。",
                       "Some items stayed on the external disk. Expand shows them."});
    if (hasUnrepairedLinks(viewModel))
        return review(
            {"有链接未能修复，活动台将保持展开直到你手动关闭。",
             "Some links could not be repaired, so the activity workspace stays open until you "
             "close it."},
            {"有链接未能修复，展开即可查看。", "Some links could not be repaired. Expand shows them."});
    if (hasKeptVersions(viewModel)) {
        const StartAnswerHeading heading = startAnswerHeading(viewModel.history().keptVersions());
        return review(heading.whileOpen, heading.whileClosed);
    }
    // Said while it holds: the collapse may wait for the pointer to leave, and once it has come (or
    // the user opened the workspace again) nothing more is timed.
    if (hasSuccessActivity(viewModel) && !progress && !repairing)
        return viewModel.presentation().localized(
            state.activityCollapsePending()
                ? BilingualText("最近操作已完成，活动台将在几秒后自动收起。",
                                "The latest operation finished. The workspace collapses by "
                                "itself in a few seconds.")
                : BilingualText("最近操作已完成。", "The latest operation finished."));
    if (progress) {
        const QString title =
            MigrationProgressCard::progressTitle(viewModel, {"迁移处理中", "Migration in Progress"});
        const QString percent = MigrationProgressCard::progressPercentText(viewModel);
        return percent.isEmpty() ? title : title + QStringLiteral(" · ") + percent;
    }
    if (repairing)
        return viewModel.presentation().localized(
            {"正在后台修复已迁移项目的链接。", "Repairing migrated links in the background."});
    return viewModel.presentation().localized({"当前没有进行中的操作。", "No active operation right now."});
}

QString ActivityWorkspace::badgeText(MainViewModel& viewModel)
{
    // Progress comes before failures here, unlike the icon and the summary; a step without a figure
    // yet still says that something runs.
    if (showsRunningWork(viewModel)) {
        const QString percent = MigrationProgressCard::progressPercentText(viewModel);
        return percent.isEmpty() ? viewModel.presentation().localized({"进行中", "Running"}) : percent;
    }
    if (needsReview(viewModel))
        return viewModel.presentation().localized({"需处理", "Needs Review"});
    // Collapsed, nothing is timed any more; a repair that runs is no finished operation.
    if (hasSuccessActivity(viewModel) && !viewModel.activity().isRepairingLinks())
        return viewModel.presentation().localized({"已完成", "Finished"});
    return {};
}

ActivityWorkspace::ActivityWorkspace(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : CardFrame(parent), m_viewModel(viewModel), m_state(state)
{
    setObjectName(QStringLiteral("activityWorkspace"));
    setCornerRadius(16);
    setShadow(QColor(0, 0, 0, 20), 10, QPointF(0, 4));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    auto* iconDisc = new TintedBox(accentColor(this), 0.14, 10, this);
    iconDisc->setFixedSize(20, 20);
    auto* iconLayout = new QHBoxLayout(iconDisc);
    iconLayout->setContentsMargins(3, 3, 3, 3);
    m_icon = new QLabel(iconDisc);
    m_icon->setObjectName(QStringLiteral("activityIcon"));
    iconLayout->addWidget(m_icon);
    header->addWidget(iconDisc);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    // The title takes one line and the summary, which says why the workspace stays open or when it
    // closes, up to three (both languages need two in a narrow column); beyond that they end in "…"
    // at the badge rather than widening the column, and are whole in their tool tips.
    m_title = elidedLabel(this, QStringLiteral("activityTitle"), TextStyle::Caption, Qt::ElideRight,
                          LabelOption::Semibold);
    m_summary = elidedLabel(this, QStringLiteral("activitySummary"), TextStyle::Caption, Qt::ElideRight,
                            LabelOption::Secondary, 3);
    titles->addWidget(m_title);
    titles->addWidget(m_summary);
    header->addLayout(titles, 1);
    m_badge = textLabel(this, QStringLiteral("activityBadge"), TextStyle::Caption);
    header->addWidget(m_badge);
    m_toggle = smallButton(this, QStringLiteral("activityToggle"));
    m_toggle->setFlat(true);
    // A flat button shows no focus of its own.
    showFocusRing(m_toggle, 6);
    connect(m_toggle, &QPushButton::clicked, this, [this] {
        Q_EMIT panelToggledByUser();
        m_state.setShowProgressPanel(!m_state.showProgressPanel());
    });
    header->addWidget(m_toggle);
    layout->addLayout(header);

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("activityBody"));
    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 10, 0, 0);
    // A body taller than the room the column gives it scrolls inside, the progress card first.
    m_bodyScroll = new FittedScrollArea(m_body);
    m_bodyScroll->setObjectName(QStringLiteral("activityBodyScroll"));
    m_bodyScroll->setKeepsContentInPlace(false);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("activityBodyContent"));
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(10);
    m_progress = new MigrationProgressCard(viewModel, content);
    m_records = new ActivityRecords(viewModel, content);
    sections->addWidget(m_progress);
    sections->addWidget(m_records);
    m_bodyScroll->setContent(content);
    body->addWidget(m_bodyScroll);
    layout->addWidget(m_body);
    m_reveal = new RevealAnimation(m_body, kRevealMs, this);

    // The header and the progress card; every progress sample refreshes them. The records below
    // refresh on their own, only when what they list changes.
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_state, &DashboardViewState::showProgressPanelChanged,
                     &DashboardViewState::activityCollapsePendingChanged);
    scheduler->watch(&m_viewModel.activity(), &ActivityState::diskWorkChanged,
                     &ActivityState::currentOperationTitleChanged, &ActivityState::migrationTotalItemsChanged,
                     &ActivityState::migrationProcessedItemsChanged,
                     &ActivityState::migrationSucceededItemsChanged,
                     &ActivityState::migrationFailedItemsChanged, &ActivityState::migrationTotalBytesChanged,
                     &ActivityState::migrationProcessedBytesChanged,
                     &ActivityState::migrationCurrentPathChanged, &ActivityState::diskWorkStepChanged);
    scheduler->watch(&m_viewModel.history(), &HistoryState::recentMigrationsChanged,
                     &HistoryState::recentFailedMigrationsChanged, &HistoryState::lastRestoredPathsChanged,
                     &HistoryState::undoLeftoversChanged, &HistoryState::lastLinkRepairChanged,
                     &HistoryState::keptVersionsChanged);
    refresh();
}

void ActivityWorkspace::setBodyHeightCap(int pixels)
{
    m_bodyScroll->setHeightCap(pixels);
}

void ActivityWorkspace::refresh()
{
    const bool expanded = m_state.showProgressPanel();
    const QString icon = primaryActivitySystemImage(m_viewModel);
    if (icon != m_shownIcon) {
        m_shownIcon = icon;
        m_icon->setPixmap(Symbols::icon(icon, accentColor(this)).pixmap(14, 14));
        m_icon->setProperty("symbol", icon);
    }
    setTextIfChanged(m_title, m_viewModel.presentation().localized({"活动托盘", "Activity Dock"}));
    setTextIfChanged(m_summary, activityDockSummaryText(m_viewModel, m_state));

    const QString badge = expanded ? QString() : badgeText(m_viewModel);
    setTextIfChanged(m_badge, badge);
    m_badge->setVisible(!badge.isEmpty());
    const bool progress = showsRunningWork(m_viewModel);
    QFont badgeFont = styledFont(TextStyle::Caption, m_badge->font());
    const bool review = needsReview(m_viewModel);
    badgeFont.setWeight(progress || review ? QFont::DemiBold : QFont::Normal);
    m_badge->setFont(badgeFont);
    if (progress)
        applyTextColor(m_badge, accentColor(this));
    else if (review)
        applyTextColor(m_badge, QColor(255, 59, 48));
    else
        applySecondaryTextColor(m_badge);

    m_toggle->setText(expanded ? m_viewModel.presentation().localized({"折叠", "Collapse"})
                               : m_viewModel.presentation().localized({"展开", "Expand"}));
    // Opening and closing the workspace is animated; the first refresh only takes the state.
    m_reveal->setShown(expanded, m_hasRefreshed);
    m_hasRefreshed = true;
    if (expanded) {
        // The card keeps the final counts of a finished batch on show.
        const bool card = m_viewModel.figures().shouldShowMigrationProgress();
        m_progress->setVisible(card);
        if (card)
            m_progress->refresh();
    }
    keepWhatMattersInView();
}

void ActivityWorkspace::keepWhatMattersInView()
{
    // On a short screen the body holds less than the progress card and the records: the progress
    // of running work comes first, and once the work ended, the items that wait for the user
    // (failed migrations, what undos left on the volume, links not repaired, what the start kept
    // aside), whatever lists stand above them. Asked again only when that changes, so a scroll of
    // the user's stays.
    const qsizetype failures = m_viewModel.history().recentFailedMigrations().size();
    QWidget* matters = showsRunningWork(m_viewModel)     ? m_progress
                       : failures > 0                    ? m_records->failedSection()
                       : hasLeftBehind(m_viewModel)      ? m_records->leftBehindSection()
                       : hasUnrepairedLinks(m_viewModel) ? m_records->linkRepairSection()
                       : hasKeptVersions(m_viewModel)    ? m_records->keptVersionsSection()
                                                         : nullptr;
    if (matters && (matters != m_keptInView || failures != m_keptFailures))
        m_bodyScroll->keepInView(matters);
    m_keptInView = matters;
    m_keptFailures = failures;
}

} // namespace orvalink::ui
