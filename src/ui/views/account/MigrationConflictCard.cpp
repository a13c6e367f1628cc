#include "ui/views/account/MigrationConflictCard.h"

#include "ui/views/account/MigrationCardTexts.h"
#include "ui/views/common/PathContextMenu.h"
#include "ui/views/common/ViewText.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/MetaChipRow.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

MigrationConflictCard::MigrationConflictCard(MainViewModel& viewModel, QWidget* parent)
    : TintedBox(QColor(255, 149, 0), 20 / 255.0, 12, parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("conflictCard"));
    QVBoxLayout* column = cardColumn(this, 8);
    m_source = new SelectablePathField(this, 12, SelectablePathField::Placement::Flush);
    m_source->setObjectName(QStringLiteral("conflictSource"));
    column->addWidget(m_source);
    m_chips = new MetaChipRow({}, this);
    column->addWidget(m_chips);
    m_devices = textLabel(this, QStringLiteral("conflictDevices"), TextStyle::Caption,
                          LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_devices);
    m_targets = textLabel(this, QStringLiteral("conflictTargets"), TextStyle::Caption,
                          LabelOption::Secondary | LabelOption::Wrap | LabelOption::Selectable);
    column->addWidget(m_targets);
}

void MigrationConflictCard::setConflict(const BackendMigrationConflict& conflict)
{
    m_source->setCopyActionText(copyPathText(m_viewModel));
    m_source->setPath(conflict.sourcePath, m_viewModel.presentation().displayPath(conflict.sourcePath));

    const QString n = QString::number(conflict.deviceFingerprints.size());
    const QString m = QString::number(conflict.targetPaths.size());
    QStringList chips{
        m_viewModel.presentation().localized(
            {QStringLiteral("涉及 ") + n + QStringLiteral(" 台设备"), n + QStringLiteral(" devices")}),
        m_viewModel.presentation().localized(
            {QStringLiteral("目标 ") + m + QStringLiteral(" 个"), m + QStringLiteral(" targets")})};
    if (conflict.latestUpdatedAt) {
        chips.append(datedText(m_viewModel, {"最近更新", "Latest Update"}, *conflict.latestUpdatedAt));
    }
    m_chips->setTexts(chips);

    QStringList devices;
    for (const QString& fingerprint : conflict.deviceFingerprints)
        devices.append(m_viewModel.account().texts().maskedDeviceFingerprint(fingerprint));
    const QString joinedDevices = devices.join(QStringLiteral(" / "));
    setTextIfChanged(m_devices,
                     m_viewModel.presentation().localized({QStringLiteral("设备指纹：") + joinedDevices,
                                                           QStringLiteral("Devices: ") + joinedDevices}));

    QStringList targets;
    for (const QString& target : conflict.targetPaths)
        targets.append(m_viewModel.presentation().displayPath(target));
    const QString joinedTargets = targets.join(QStringLiteral(" / "));
    setTextIfChanged(m_targets,
                     m_viewModel.presentation().localized({QStringLiteral("目标位置：") + joinedTargets,
                                                           QStringLiteral("Targets: ") + joinedTargets}));
    m_targets->setVisible(!conflict.targetPaths.isEmpty());
}

} // namespace orvalink::ui
