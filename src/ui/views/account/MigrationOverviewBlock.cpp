#include "ui/views/account/MigrationOverviewBlock.h"

#include "ui/views/account/MigrationCardTexts.h"
#include "ui/views/account/MigrationConflictCard.h"
#include "ui/views/account/MigrationDeviceCard.h"
#include "ui/views/account/MigrationOverviewCard.h"
#include "ui/views/common/ViewText.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

// A column inside the block's column, spaced as it is, so its items stand as if they were the
// block's own.
QVBoxLayout* innerColumn()
{
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    return column;
}

QStringList localChips(MainViewModel& viewModel)
{
    QStringList chips = recordCountChips(viewModel, viewModel.history().migratedMappingCount(),
                                         viewModel.history().taskCount());
    const auto& fingerprint = viewModel.accountState().currentMigrationDeviceFingerprint();
    if (fingerprint && !fingerprint->isEmpty()) {
        const QString masked = viewModel.account().texts().maskedDeviceFingerprint(*fingerprint);
        chips.append(viewModel.presentation().localized(
            {QStringLiteral("设备 ") + masked, QStringLiteral("Device ") + masked}));
    }
    return chips;
}

QStringList accountChips(MainViewModel& viewModel)
{
    const auto& overview = viewModel.accountState().migrationAccountOverview();
    if (!overview)
        return {viewModel.presentation().localized(
            {QStringLiteral("尚未刷新"), QStringLiteral("Not refreshed yet")})};
    const QString d = QString::number(overview->totalDevices);
    const QString c = QString::number(overview->conflicts.size());
    QStringList chips{
        viewModel.presentation().localized({d + QStringLiteral(" 台设备"), d + QStringLiteral(" devices")}),
        viewModel.presentation().localized(
            {QStringLiteral("冲突 ") + c + QStringLiteral(" 项"), c + QStringLiteral(" conflicts")})};
    const auto others = viewModel.account().texts().otherMigrationOverviewDevices();
    if (!others.isEmpty()) {
        const QString k = QString::number(others.size());
        chips.append(viewModel.presentation().localized(
            {QStringLiteral("其他设备 ") + k + QStringLiteral(" 台"), k + QStringLiteral(" other devices")}));
    }
    return chips;
}

std::optional<DeviceCardFacts> thisDeviceFacts(MainViewModel& viewModel, const QColor& accent)
{
    const QString title = viewModel.presentation().localized({"这台电脑", "This Computer"});
    if (const auto device = viewModel.account().texts().currentMigrationOverviewDevice()) {
        return DeviceCardFacts{
            title,
            viewModel.presentation().localized(
                {QStringLiteral("这里只会恢复这台电脑的快照，不会拉别的设备的数据覆盖本机。"),
                 QStringLiteral("Only this computer's snapshot can be restored here. Other-device data will "
                                "not overwrite this machine.")}),
            device->deviceFingerprint,
            device->mappingCount,
            device->taskCount,
            device->latestActivityAt,
            accent};
    }
    const auto& fingerprint = viewModel.accountState().currentMigrationDeviceFingerprint();
    if (!fingerprint)
        return std::nullopt;
    return DeviceCardFacts{
        title,
        viewModel.presentation().localized(
            {QStringLiteral("当前云端还没有这台设备的记录，但本机仍会继续使用本地备份。"),
             QStringLiteral("There is no cloud record for this device yet, but this computer continues to "
                            "use its local backup.")}),
        *fingerprint,
        viewModel.history().migratedMappingCount(),
        viewModel.history().taskCount(),
        viewModel.accountState().lastMigrationSyncAt(),
        accent};
}

} // namespace

MigrationOverviewBlock::MigrationOverviewBlock(MainViewModel& viewModel, QWidget* parent)
    : PlainCard(QStringLiteral("migrationOverviewBlock"), parent), m_viewModel(viewModel)
{
    QVBoxLayout* column = cardColumn(this, 8);
    m_local = new MigrationOverviewCard(QStringLiteral("localSnapshotCard"), this);
    column->addWidget(m_local);
    m_lastSync = textLabel(this, QStringLiteral("lastSyncLine"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_lastSync);
    m_account = new MigrationOverviewCard(QStringLiteral("accountOverviewCard"), this);
    column->addWidget(m_account);
    m_currentDevice = new MigrationDeviceCard(viewModel, this);
    m_currentDevice->setObjectName(QStringLiteral("currentDeviceCard"));
    column->addWidget(m_currentDevice);

    m_otherDevicesTitle = textLabel(this, QStringLiteral("otherDevicesTitle"), TextStyle::Subheadline,
                                    LabelOption::Wrap | LabelOption::Semibold);
    column->addWidget(m_otherDevicesTitle);
    m_otherDevicesNote = textLabel(this, QStringLiteral("otherDevicesNote"), TextStyle::Caption,
                                   LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_otherDevicesNote);
    QVBoxLayout* otherDevices = innerColumn();
    m_otherDevices.attach(otherDevices);
    column->addLayout(otherDevices);

    m_conflictsTitle = textLabel(this, QStringLiteral("conflictsTitle"), TextStyle::Subheadline,
                                 LabelOption::Wrap | LabelOption::Semibold);
    column->addWidget(m_conflictsTitle);
    m_noConflicts = new PlainCard(QStringLiteral("noConflictsCard"), this);
    m_noConflictsText = textLabel(m_noConflicts, QStringLiteral("noConflictsText"), TextStyle::Caption,
                                  LabelOption::Secondary | LabelOption::Wrap);
    cardColumn(m_noConflicts, 0)->addWidget(m_noConflictsText);
    column->addWidget(m_noConflicts);
    m_conflictsNote = textLabel(this, QStringLiteral("conflictsNote"), TextStyle::Caption,
                                LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_conflictsNote);
    QVBoxLayout* conflicts = innerColumn();
    m_conflicts.attach(conflicts);
    column->addLayout(conflicts);
}

void MigrationOverviewBlock::refresh()
{
    const AccountTexts& texts = m_viewModel.account().texts();
    m_local->setContent(
        m_viewModel.presentation().localized(
            {QStringLiteral("本机本地记录"), QStringLiteral("This Computer's Local Snapshot")}),
        texts.migrationSyncSnapshotSummary(), texts.migrationSyncScopeSummary(), localChips(m_viewModel));
    const std::optional<QString> lastSync = texts.migrationSyncTimestampSummary();
    setTextIfChanged(m_lastSync, lastSync.value_or(QString()));
    m_lastSync->setVisible(lastSync.has_value());
    m_account->setContent(
        m_viewModel.presentation().localized(
            {QStringLiteral("账号级云端总览"), QStringLiteral("Account-wide Cloud Overview")}),
        texts.migrationOverviewSummary(),
        texts.migrationOverviewTimestampSummary().value_or(m_viewModel.presentation().localized(
            {QStringLiteral("还没有刷新到账号级总览时，会继续沿用本机本地记录。"),
             QStringLiteral("Until the account-wide overview is loaded, the app continues to use "
                            "this computer's local records.")})),
        accountChips(m_viewModel));
    const std::optional<DeviceCardFacts> thisDevice =
        thisDeviceFacts(m_viewModel, palette().color(QPalette::Highlight));
    if (thisDevice)
        m_currentDevice->setFacts(*thisDevice);
    m_currentDevice->setVisible(thisDevice.has_value());
    refreshOtherDevices();
    refreshConflicts();
}

void MigrationOverviewBlock::refreshOtherDevices()
{
    const auto& overview = m_viewModel.accountState().migrationAccountOverview();
    const QList<BackendMigrationDeviceOverview> others =
        m_viewModel.account().texts().otherMigrationOverviewDevices();
    m_otherDevicesTitle->setVisible(!others.isEmpty());
    m_otherDevicesNote->setVisible(!others.isEmpty());
    setTextIfChanged(m_otherDevicesTitle, m_viewModel.presentation().localized(
                                              {QStringLiteral("同账号其他电脑"),
                                               QStringLiteral("Other Computers on This Account")}));
    setTextIfChanged(
        m_otherDevicesNote,
        m_viewModel.presentation().localized(
            {QStringLiteral("这些记录只用于总览和冲突提醒，不会直接恢复到当前机器。"),
             QStringLiteral("These records are shown for overview and conflict warnings only. They "
                            "are not restored onto this computer.")}));
    const QString subtitle =
        overview && overview->totalDevices >= 2
            ? m_viewModel.presentation().localized(
                  {QStringLiteral("建议只在原设备上执行恢复或继续迁移，避免同一路径被多台电脑反复改写。"),
                   QStringLiteral("Prefer undoing or continuing migrations on the original device to "
                                  "avoid multiple computers rewriting the same path.")})
            : m_viewModel.presentation().localized(
                  {QStringLiteral("当前没有其他设备。"), QStringLiteral("No other devices.")});
    const QString title = m_viewModel.presentation().localized({"其他设备", "Other Device"});
    m_otherDevices.sync(
        others, [](const BackendMigrationDeviceOverview& device) { return device.id(); },
        [this](const BackendMigrationDeviceOverview&) { return new MigrationDeviceCard(m_viewModel, this); },
        [&](MigrationDeviceCard* card, const BackendMigrationDeviceOverview& device) {
            card->setFacts(DeviceCardFacts{title, subtitle, device.deviceFingerprint, device.mappingCount,
                                           device.taskCount, device.latestActivityAt, QColor(Qt::blue)});
        });
}

void MigrationOverviewBlock::refreshConflicts()
{
    const auto& overview = m_viewModel.accountState().migrationAccountOverview();
    const QList<BackendMigrationConflict> conflicts =
        overview ? overview->conflicts : QList<BackendMigrationConflict>();
    m_conflictsTitle->setVisible(overview.has_value());
    m_noConflicts->setVisible(overview && conflicts.isEmpty());
    m_conflictsNote->setVisible(!conflicts.isEmpty());
    setTextIfChanged(m_conflictsTitle,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("冲突提醒"), QStringLiteral("Conflict Warnings")}));
    setTextIfChanged(
        m_noConflictsText,
        m_viewModel.presentation().localized(
            {QStringLiteral("暂未发现同一路径被多台电脑同时管理。"),
             QStringLiteral("No shared path is currently being managed by multiple computers.")}));
    setTextIfChanged(
        m_conflictsNote,
        m_viewModel.presentation().localized(
            {QStringLiteral("如果同一路径同时出现在多台电脑"
                            "上，请只保留一台继续迁移或恢复，避免外置盘目录与链接状态互相打架。"),
             QStringLiteral("If the same path appears on multiple computers, keep only one machine "
                            "responsible for future migration or restore work to avoid conflicting "
                            "links and external-disk layouts.")}));
    m_conflicts.sync(
        conflicts, [](const BackendMigrationConflict& conflict) { return conflict.id(); },
        [this](const BackendMigrationConflict&) { return new MigrationConflictCard(m_viewModel, this); },
        [](MigrationConflictCard* card, const BackendMigrationConflict& conflict) {
            card->setConflict(conflict);
        });
}

} // namespace orvalink::ui
