#include "ui/views/account/MigrationSyncSection.h"

#include "ui/views/account/MigrationOverviewBlock.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace orvalink::ui {

MigrationSyncSection::MigrationSyncSection(MainViewModel& viewModel, QWidget* parent)
    : CollapsibleSection(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("migrationSyncSection"));
    setSymbol(QStringLiteral("arrow.triangle.2.circlepath"));

    const SectionSummary summary =
        makeSectionSummary(this, QStringLiteral("syncScopeSummary"), QStringLiteral("syncOverviewSummary"));
    m_scopeSummary = summary.title;
    m_overviewSummary = summary.note;

    auto* body = new QWidget;
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(12);
    m_note = textLabel(body, QStringLiteral("syncNote"), TextStyle::Caption,
                       LabelOption::Secondary | LabelOption::Wrap);
    bodyLayout->addWidget(m_note);
    m_blockHost = new QVBoxLayout;
    m_blockHost->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addLayout(m_blockHost);
    auto* actions = new QHBoxLayout;
    m_sync = new QPushButton(body);
    m_sync->setObjectName(QStringLiteral("syncNowButton"));
    m_refresh = new QPushButton(body);
    m_refresh->setObjectName(QStringLiteral("refreshOverviewButton"));
    m_busy = new BusyIndicator(QStringLiteral("syncBusyIndicator"), BusyIndicator::Standard, body);
    actions->addWidget(m_sync);
    actions->addWidget(m_refresh);
    actions->addStretch(1);
    actions->addWidget(m_busy);
    bodyLayout->addLayout(actions);
    setBody(body);

    connect(m_sync, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.account().cloudSync().syncMigrationSnapshot(true)); });
    connect(m_refresh, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.account().overview().refreshMigrationOverview(true)); });

    // The cards show masked paths and fingerprints, which change with the texts; the history read
    // follows the session, since a new session switches the local history scope.
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(this, &CollapsibleSection::expandedChanged);
    scheduler->watch(&viewModel.accountState(), &AccountState::backendSessionChanged,
                     &AccountState::migrationAccountOverviewChanged,
                     &AccountState::currentMigrationDeviceFingerprintChanged,
                     &AccountState::lastMigrationSyncAtChanged,
                     &AccountState::isSyncingMigrationSnapshotChanged,
                     &AccountState::isRefreshingMigrationOverviewChanged);
    scheduler->watch(&viewModel.history(), &HistoryState::taskCountChanged,
                     &HistoryState::migratedMappingCountChanged);
    scheduler->refreshNow();
}

void MigrationSyncSection::refresh()
{
    const AccountTexts& texts = m_viewModel.account().texts();
    const AccountState& account = m_viewModel.accountState();
    setTitle(m_viewModel.presentation().localized({"迁移同步", "Migration Sync"}));
    setToggleTexts(m_viewModel.presentation().localized({"展开", "Expand"}),
                   m_viewModel.presentation().localized({"收起", "Collapse"}));
    setTextIfChanged(m_scopeSummary, texts.migrationSyncScopeSummary());
    setTextIfChanged(m_overviewSummary, texts.migrationOverviewSummary());
    setTextIfChanged(
        m_note,
        m_viewModel.presentation().localized(
            {QStringLiteral("同一账号可以登录多台电脑，但迁移记录不会直接混成一份。默认先读当前账号在这台"
                            "机器上的本地备份；本地为空时，才会从云端恢复这台电脑"
                            "自己的快照。其他电脑的记录只做只读展示，不会直接恢复到当前机器。"),
             QStringLiteral("The same account can sign in on multiple computers, but migration records are "
                            "not merged into one live snapshot. The app reads this computer's local backup "
                            "first; when it is empty, it restores only this computer's cloud snapshot. "
                            "Records from other computers are shown read-only and are not restored onto "
                            "the current machine.")}));
    m_sync->setText(m_viewModel.presentation().localized({"一键同步", "Sync Now"}));
    m_sync->setEnabled(!account.isSyncingMigrationSnapshot());
    m_refresh->setText(m_viewModel.presentation().localized(
        {QStringLiteral("刷新总览"), QStringLiteral("Refresh Overview")}));
    m_refresh->setEnabled(!account.isRefreshingMigrationOverview());
    m_busy->setVisible(account.isSyncingMigrationSnapshot() || account.isRefreshingMigrationOverview());
    // The cards are only built while the section is open.
    if (!isExpanded()) {
        delete std::exchange(m_block, nullptr);
        return;
    }
    if (!m_block) {
        m_block = new MigrationOverviewBlock(m_viewModel, body());
        m_blockHost->addWidget(m_block);
    }
    m_block->refresh();
}

} // namespace orvalink::ui
