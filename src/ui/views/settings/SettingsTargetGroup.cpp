#include "ui/views/settings/SettingsTargetGroup.h"

#include "ui/views/common/PathContextMenu.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/settings/SettingsActions.h"
#include "viewmodel/texts/Presentation.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace orvalink::ui {

SettingsTargetGroup::SettingsTargetGroup(MainViewModel& viewModel, QWidget* parent)
    : GroupPanel(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("unifiedManagementGroup"));
    QVBoxLayout* layout = contentLayout();
    layout->setSpacing(10);
    m_unified = new QCheckBox(this);
    m_unified->setObjectName(QStringLiteral("unifiedManagementToggle"));
    layout->addWidget(m_unified);

    auto* rows = new QFormLayout;
    rows->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_firstLabel = new QLabel(this);
    m_first = new SelectablePathField(this, 12);
    m_first->setObjectName(QStringLiteral("firstTargetValue"));
    m_activeLabel = new QLabel(this);
    m_active = new SelectablePathField(this, 12);
    m_active->setObjectName(QStringLiteral("activeTargetValue"));
    rows->addRow(m_firstLabel, m_first);
    rows->addRow(m_activeLabel, m_active);
    layout->addLayout(rows);

    auto* buttons = new QHBoxLayout;
    m_choose = new QPushButton(this);
    m_choose->setObjectName(QStringLiteral("chooseTargetButton"));
    m_reset = new QPushButton(this);
    m_reset->setObjectName(QStringLiteral("resetFirstTargetButton"));
    buttons->addWidget(m_choose);
    buttons->addWidget(m_reset);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_lockNote = textLabel(this, QStringLiteral("targetLockNote"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    layout->addWidget(m_lockNote);

    SettingsActions& settings = viewModel.settings();
    connect(m_unified, &QCheckBox::clicked, this,
            [&settings](bool checked) { settings.setUnifiedManagementEnabled(checked); });
    connect(m_choose, &QPushButton::clicked, this,
            [&settings] { startDetached(settings.selectTargetRoot()); });
    connect(m_reset, &QPushButton::clicked, this, [&settings] { settings.resetManagedTargetRoot(); });
}

void SettingsTargetGroup::refresh()
{
    const AppConfig& config = m_viewModel.browsing().config();
    const SettingsActions& settings = m_viewModel.settings();
    setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("统一管理"), QStringLiteral("Unified Management")}));
    m_unified->setText(m_viewModel.presentation().localized(
        {"启用统一管理（默认开启）", "Enable unified management (default on)"}));
    m_unified->setChecked(config.unifiedTargetManagementEnabled);
    m_firstLabel->setText(m_viewModel.presentation().localized(
        {QStringLiteral("首次目标位置"), QStringLiteral("First target location")}));
    // The lines show the masked paths under presentation privacy; Copy Path gives the real ones.
    m_first->setPath(settings.hasManagedTargetRoot() ? *config.managedTargetRoot : QString(),
                     settings.managedTargetRootDisplayText());
    m_activeLabel->setText(m_viewModel.presentation().localized(
        {QStringLiteral("当前生效位置"), QStringLiteral("Active target location")}));
    m_active->setPath(settings.effectiveTargetRoot(),
                      m_viewModel.presentation().displayPath(settings.effectiveTargetRoot()));
    m_first->setCopyActionText(copyPathText(m_viewModel));
    m_active->setCopyActionText(copyPathText(m_viewModel));
    m_choose->setText(m_viewModel.presentation().localized(
        {QStringLiteral("选择目标位置"), QStringLiteral("Choose target location")}));
    m_choose->setEnabled(!settings.isUnifiedTargetLocked());
    m_reset->setText(m_viewModel.presentation().localized(
        {QStringLiteral("重置首次位置"), QStringLiteral("Reset first location")}));
    m_reset->setEnabled(settings.hasManagedTargetRoot());
    m_lockNote->setVisible(settings.isUnifiedTargetLocked());
    setTextIfChanged(m_lockNote,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("统一管理已锁定首次位置，若要更改请先重置或关闭统一管理。"),
                          QStringLiteral("Unified management is locked to the first location. Reset or "
                                         "disable it to change.")}));
}

} // namespace orvalink::ui
