#include "ui/views/sidebar/TargetVolumeGroup.h"

#include "platform/StandardPath.h"
#include "ui/views/common/PathLine.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

QString volumeTargetRoot(const VolumeInfo& volume)
{
    return platform::standardizedPath(volume.mountPath + QStringLiteral("/OrvalinkRoot"));
}

TargetVolumeGroup::TargetVolumeGroup(MainViewModel& viewModel, QWidget* parent)
    : GroupPanel(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("targetGroup"));
    QVBoxLayout* column = contentLayout();
    // Compact: every line the sidebar's groups take is taken from the directory list.
    setCompact();

    // The root shares its line with its volume's state; a long root loses its middle.
    auto* rootRow = new QHBoxLayout;
    m_rootLabel = new QLabel(this);
    rootRow->addWidget(m_rootLabel);
    m_rootPath = new PathLine(m_viewModel, this, 12);
    m_rootPath->setObjectName(QStringLiteral("targetRootPath"));
    rootRow->addWidget(m_rootPath, 1);
    m_status = elidedLabel(this, QStringLiteral("targetVolumeStatus"), TextStyle::Caption, Qt::ElideRight,
                           LabelOption::Secondary);
    rootRow->addWidget(m_status);
    column->addLayout(rootRow);

    // The three buttons share a line while it has room for them.
    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("targetButtons"));
    auto* flow = new FlowLayout(buttons, 6, 6);
    m_selectTarget = new QPushButton(buttons);
    m_selectTarget->setObjectName(QStringLiteral("selectTargetButton"));
    connect(m_selectTarget, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.settings().selectTargetRoot()); });
    flow->addWidget(m_selectTarget);
    m_refreshVolumes = new QPushButton(buttons);
    m_refreshVolumes->setObjectName(QStringLiteral("refreshVolumesButton"));
    connect(m_refreshVolumes, &QPushButton::clicked, this,
            [this] { m_viewModel.persisted().refreshVolumes(); });
    flow->addWidget(m_refreshVolumes);

    m_volumeButton = new QPushButton(buttons);
    m_volumeButton->setObjectName(QStringLiteral("quickSelectVolumeButton"));
    m_volumeMenu = new QMenu(m_volumeButton);
    m_volumeMenu->setObjectName(QStringLiteral("quickSelectVolumeMenu"));
    m_volumeButton->setMenu(m_volumeMenu);
    connect(m_volumeMenu, &QMenu::aboutToShow, this, &TargetVolumeGroup::rebuildVolumeMenu);
    flow->addWidget(m_volumeButton);
    column->addWidget(buttons);

    m_lockNote = textLabel(this, QStringLiteral("unifiedTargetLockNote"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_lockNote);

    // The volume's state reads the disk; it is read again whenever the storage figures are.
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.browsing(), &BrowsingState::configChanged,
                     &BrowsingState::availableVolumesChanged, &BrowsingState::targetVolumeTotalBytesChanged,
                     &BrowsingState::targetVolumeFreeBytesChanged);
    refresh();
}

void TargetVolumeGroup::rebuildVolumeMenu()
{
    m_volumeMenu->clear();
    const QList<VolumeInfo> volumes = m_viewModel.figures().externalVolumes();
    const Presentation& texts = m_viewModel.presentation();
    if (volumes.isEmpty()) {
        m_volumeMenu
            ->addAction(texts.localized(
                {QStringLiteral("未发现外置磁盘"), QStringLiteral("No external volume found")}))
            ->setEnabled(false);
        return;
    }
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        const QString target = volumeTargetRoot(volumes.at(i));
        QAction* action = m_volumeMenu->addAction(texts.displayVolumeName(volumes.at(i), int(i) + 1));
        action->setData(volumes.at(i).id.toString());
        connect(action, &QAction::triggered, this,
                [this, target] { m_viewModel.settings().setTargetRoot(target); });
    }
}

void TargetVolumeGroup::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const bool locked = m_viewModel.settings().isUnifiedTargetLocked();
    setTitle(m_viewModel.presentation().localized({"目标", "Target"}));
    m_rootLabel->setText(m_viewModel.presentation().localized({"根目录", "Root"}));
    const QString root = m_viewModel.settings().effectiveTargetRoot();
    m_rootPath->setPath(root, texts.displayPath(root));
    m_status->setText(m_viewModel.figures().targetVolumeStatus());
    m_selectTarget->setText(m_viewModel.presentation().localized({"选择目标", "Select Target"}));
    m_selectTarget->setEnabled(!locked);
    m_refreshVolumes->setText(m_viewModel.presentation().localized({"刷新磁盘", "Refresh Volumes"}));
    m_volumeButton->setText(m_viewModel.presentation().localized({"快速选择磁盘", "Quick Select Volume"}));
    m_volumeButton->setEnabled(!locked);
    m_lockNote->setText(m_viewModel.presentation().localized(
        {"统一管理已锁定首次目标位置，可在设置中关闭或重置。",
         "Unified management locked to the first target. Disable or reset in Settings."}));
    m_lockNote->setVisible(locked);
}

} // namespace orvalink::ui
