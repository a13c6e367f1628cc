#include "ui/views/sidebar/SidebarColumnView.h"

#include "ui/models/DirectoryIconCache.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/sidebar/ActionsRow.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/views/sidebar/DirectoryRowLayout.h"
#include "ui/views/sidebar/NavigationGroup.h"
#include "ui/views/sidebar/QuickAccessBar.h"
#include "ui/views/sidebar/ScanRootGroup.h"
#include "ui/views/sidebar/SearchRow.h"
#include "ui/views/sidebar/SmartMigrationPanel.h"
#include "ui/views/sidebar/TargetVolumeGroup.h"
#include "ui/views/sidebar/ViewModelDirectoryListSource.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FittedScrollArea.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

const QColor kOrange(0xf0, 0x8a, 0x00);
constexpr int kLeastListRows = 4;
constexpr int kMostInfoLines = 10;

} // namespace

SidebarColumnView::SidebarColumnView(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_state(state),
      m_listSource(std::make_unique<ViewModelDirectoryListSource>(viewModel)),
      m_icons(std::make_unique<DirectoryIconCache>(Symbols::icon(QStringLiteral("folder.fill")),
                                                   Symbols::icon(QStringLiteral("doc"))))
{
    setObjectName(QStringLiteral("sidebarColumn"));
    auto* column = new QVBoxLayout(this);
    // Less below: the status line at the bottom keeps the room of two lines, and a message of one
    // (most of them) leaves the second as the margin.
    column->setContentsMargins(12, 12, 12, 4);
    // Tighter than the detail column: every line given to the groups is taken from the list.
    column->setSpacing(4);

    // The groups above the list scroll on their own where the column is too short for them and
    // the list's least rows: the list, its search and the status line below stay in view.
    auto* groups = new QWidget;
    groups->setObjectName(QStringLiteral("sidebarGroups"));
    auto* stack = new QVBoxLayout(groups);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    m_groupsScroll = new FittedScrollArea(this);
    m_groupsScroll->setObjectName(QStringLiteral("sidebarScroll"));
    m_groupsScroll->setContent(groups);
    column->addWidget(m_groupsScroll);

    m_quickAccess = new QuickAccessBar(m_viewModel, m_state, groups);
    stack->addWidget(m_quickAccess);
    m_scanGroup = new ScanRootGroup(m_viewModel, m_state, groups);
    stack->addWidget(m_scanGroup);
    m_targetGroup = new TargetVolumeGroup(m_viewModel, groups);
    stack->addWidget(m_targetGroup);
    m_navigationGroup = new NavigationGroup(m_viewModel, groups);
    stack->addWidget(m_navigationGroup);
    m_actions = new ActionsRow(m_viewModel, groups);
    stack->addWidget(m_actions);

    m_containersNotice = textLabel(groups, QStringLiteral("containersNotice"), TextStyle::Caption);
    applyTextColor(m_containersNotice, kOrange);
    m_containersNotice->setWordWrap(true);
    stack->addWidget(m_containersNotice);

    m_smartPanel = new SmartMigrationPanel(m_viewModel, groups);
    stack->addWidget(m_smartPanel);

    m_search = new SearchRow(m_viewModel, this);
    column->addWidget(m_search);

    m_listModel = new DirectoryListModel(*m_listSource, m_icons.get(), this);
    m_listSource->attach(*m_listModel);
    m_listView = new DirectoryListView(m_listModel, this);
    // The list takes all the height the elements around it leave, and never less than this many
    // rows: the groups above give way first.
    m_listView->setMinimumHeight(kLeastListRows * DirectoryRowLayout::rowHeight +
                                 2 * m_listView->frameWidth());
    column->addWidget(m_listView, 1);

    m_noMatch = textLabel(this, QStringLiteral("noMatchText"), TextStyle::Caption, LabelOption::Secondary);
    column->addWidget(m_noMatch);
    // Two lines whatever the message takes, and also with none (a run clears the message until its
    // summary), so the list above keeps its height from one message to the next and through a run.
    // A longer message wraps whole onto the lines it needs, taking them from the list, up to a
    // limit beyond which it ends in "…" and is whole in the tool tip.
    m_info = elidedLabel(this, QStringLiteral("infoText"), TextStyle::Caption, Qt::ElideRight,
                         LabelOption::Secondary, kMostInfoLines);
    m_info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_info->setLeastLines(2);
    QSizePolicy keepsRoom = m_info->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    m_info->setSizePolicy(keepsRoom);
    column->addWidget(m_info);

    // Each group refreshes itself on the values it shows; this refresh covers the lines between.
    m_scheduler = new RefreshScheduler([this] { refresh(); }, this);
    m_scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    m_scheduler->watch(&m_viewModel.browsing(), &BrowsingState::currentDirectoryPathChanged,
                       &BrowsingState::smartMigrationEnabledChanged, &BrowsingState::searchQueryChanged);
    m_scheduler->watch(&m_viewModel.listing(), &ShownListing::sortedEntriesChanged);
    m_scheduler->watch(&m_viewModel.activity(), &ActivityState::infoMessageChanged);
    refresh();
}

SidebarColumnView::~SidebarColumnView()
{
    // The list and its model refer to the source and the icons, which die with this object's
    // members, before the base class deletes the children.
    delete m_listView;
    delete m_listModel;
}

void SidebarColumnView::flushRefresh()
{
    RefreshScheduler::flushAll(this);
}

void SidebarColumnView::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const BrowsingState& browsing = m_viewModel.browsing();
    const std::optional<QString> notice = texts.currentDirectoryContainersNoticeText();
    m_containersNotice->setVisible(notice.has_value());
    m_containersNotice->setText(notice.value_or(QString()));

    m_smartPanel->setVisible(browsing.smartMigrationEnabled());

    const bool noMatch =
        !browsing.searchQuery().trimmed().isEmpty() && m_viewModel.listing().sortedEntries().isEmpty();
    m_noMatch->setVisible(noMatch);
    m_noMatch->setText(texts.localized({"未找到匹配结果", "No matching results"}));

    const std::optional<BilingualText>& info = m_viewModel.activity().infoMessage();
    m_info->setVisible(info.has_value());
    m_info->setText(info ? texts.sanitizedForPresentation(texts.localized(*info)) : QString());
}

} // namespace orvalink::ui
