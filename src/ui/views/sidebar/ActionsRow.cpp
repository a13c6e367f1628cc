#include "ui/views/sidebar/ActionsRow.h"

#include "ui/views/common/PathLine.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace orvalink::ui {

ActionsRow::ActionsRow(MainViewModel& viewModel, QWidget* parent) : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("actionsRow"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);

    // A long path loses its middle instead of widening the column. The line reads as the captions
    // around it, in their font rather than the monospace one of the root lines.
    m_currentPath = new PathLine(m_viewModel, this, 0, PathLine::Placement::Flush);
    m_currentPath->setObjectName(QStringLiteral("currentPathText"));
    m_currentPath->setFont(styledFont(TextStyle::Caption, font()));
    applySecondaryTextColor(m_currentPath);
    row->addWidget(m_currentPath, 1);
    m_scanning = new BusyIndicator(QStringLiteral("scanIndicator"), BusyIndicator::Compact, this);
    row->addWidget(m_scanning);
    row->addSpacing(8);

    m_rescan = smallButton(this, QStringLiteral("rescanButton"));
    connect(m_rescan, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.loader().scanCurrentDirectory()); });
    row->addWidget(m_rescan);
    m_rescanShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    m_rescanShortcut->setObjectName(QStringLiteral("rescanShortcut"));
    connect(m_rescanShortcut, &QShortcut::activated, m_rescan, &QPushButton::click);

    m_migrate = smallRunButton(this, QStringLiteral("migrateSelectedButton"));
    connect(m_migrate, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.workflows().migrateSelectedItems()); });
    row->addWidget(m_migrate);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.browsing(), &BrowsingState::currentDirectoryPathChanged,
                     &BrowsingState::isScanningChanged, &BrowsingState::isBackgroundScanningChanged,
                     &BrowsingState::selectedPathsChanged);
    // Whether a disk workflow may start: the disk work that runs, not the progress of the one that runs.
    scheduler->watch(&m_viewModel.activity(), &ActivityState::diskWorkChanged);
    refresh();
}

void ActionsRow::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const BrowsingState& browsing = m_viewModel.browsing();
    m_currentPath->setPath(browsing.currentDirectoryPath(),
                           texts.localized({"当前目录", "Current"}) + QStringLiteral(": ") +
                               texts.displayPath(browsing.currentDirectoryPath()));
    // The start-up's recovery comes before the first listing: the list is not dead meanwhile.
    m_scanning->setVisible(browsing.isScanning() || browsing.isBackgroundScanning() ||
                           m_viewModel.activity().diskWork() == DiskWork::recovery);
    m_rescan->setText(texts.localized({"立即刷新", "Refresh Now"}));
    m_migrate->setText(texts.localized({"迁移所选", "Migrate Selected"}));
    m_migrate->setEnabled(m_viewModel.workflows().mayStartDiskWork() && !browsing.selectedPaths().isEmpty());
}

} // namespace orvalink::ui
