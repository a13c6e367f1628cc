#include "ui/views/account/MigrationSyncCards.h"

#include "ui/views/account/AccountNotes.h"
#include "ui/views/common/PathContextMenu.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "ui/widgets/TintedBox.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

QVBoxLayout* cardLayout(QWidget* card, int spacing)
{
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(spacing);
    return layout;
}

QLabel* semiboldLabel(const QString& objectName, const QString& text, QWidget* parent)
{
    QLabel* label =
        textLabel(parent, objectName, TextStyle::Subheadline, LabelOption::Wrap | LabelOption::Semibold);
    label->setText(text);
    return label;
}

QLabel* captionLabel(const QString& objectName, const QString& text, QWidget* parent, LabelOptions extra = {})
{
    QLabel* label =
        textLabel(parent, objectName, TextStyle::Caption, LabelOption::Secondary | LabelOption::Wrap | extra);
    label->setText(text);
    return label;
}

QLabel* monospaceLabel(const QString& objectName, const QString& text, int pixelSize, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setFont(monoFont(pixelSize));
    return label;
}

// The accent dot of a device card.
class AccentDot : public QWidget {
public:
    AccentDot(const QColor& accent, QWidget* parent) : QWidget(parent), m_accent(accent)
    {
        setFixedSize(12, 16);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(m_accent, 0.2));
        painter.drawEllipse(QRectF(0, 4, 12, 12));
    }

private:
    QColor m_accent;
};

QString dated(MainViewModel& viewModel, const QString& zh, const QString& en, const QDateTime& date)
{
    return localizedText(viewModel, zh, en) + QLatin1Char(' ') + viewModel.presentation().formatDate(date);
}

QStringList localChips(MainViewModel& viewModel)
{
    const QString n = QString::number(viewModel.history().migratedMappings().size());
    const QString m = QString::number(viewModel.history().tasks().size());
    QStringList chips{localizedText(viewModel, QStringLiteral("已迁移 ") + n + QStringLiteral(" 项"),
                                    n + QStringLiteral(" migrated")),
                      localizedText(viewModel, QStringLiteral("历史 ") + m + QStringLiteral(" 条"),
                                    m + QStringLiteral(" history"))};
    const auto& fingerprint = viewModel.accountState().currentMigrationDeviceFingerprint();
    if (fingerprint && !fingerprint->isEmpty()) {
        const QString masked = viewModel.account().texts().maskedDeviceFingerprint(*fingerprint);
        chips.append(
            localizedText(viewModel, QStringLiteral("设备 ") + masked, QStringLiteral("Device ") + masked));
    }
    return chips;
}

QStringList accountChips(MainViewModel& viewModel)
{
    const auto& overview = viewModel.accountState().migrationAccountOverview();
    if (!overview)
        return {localizedText(viewModel, QStringLiteral("尚未刷新"), QStringLiteral("Not refreshed yet"))};
    const QString d = QString::number(overview->totalDevices);
    const QString c = QString::number(overview->conflicts.size());
    QStringList chips{localizedText(viewModel, d + QStringLiteral(" 台设备"), d + QStringLiteral(" devices")),
                      localizedText(viewModel, QStringLiteral("冲突 ") + c + QStringLiteral(" 项"),
                                    c + QStringLiteral(" conflicts"))};
    const auto others = viewModel.account().texts().otherMigrationOverviewDevices();
    if (!others.isEmpty()) {
        const QString k = QString::number(others.size());
        chips.append(localizedText(viewModel, QStringLiteral("其他设备 ") + k + QStringLiteral(" 台"),
                                   k + QStringLiteral(" other devices")));
    }
    return chips;
}

std::optional<DeviceCardFacts> thisDeviceFacts(MainViewModel& viewModel, const QColor& accent)
{
    const QString title =
        localizedText(viewModel, QStringLiteral("这台电脑"), QStringLiteral("This Computer"));
    if (const auto device = viewModel.account().texts().currentMigrationOverviewDevice()) {
        return DeviceCardFacts{
            title,
            localizedText(
                viewModel, QStringLiteral("这里只会恢复这台电脑的快照，不会拉别的设备的数据覆盖本机。"),
                QStringLiteral("Only this computer's snapshot can be restored here. Other-device data will "
                               "not overwrite this machine.")),
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
        localizedText(
            viewModel, QStringLiteral("当前云端还没有这台设备的记录，但本机仍会继续使用本地备份。"),
            QStringLiteral("There is no cloud record for this device yet, but this computer continues to "
                           "use its local backup.")),
        *fingerprint,
        viewModel.history().migratedMappings().size(),
        viewModel.history().tasks().size(),
        viewModel.accountState().lastMigrationSyncAt(),
        accent};
}

void addOtherDevices(MainViewModel& viewModel, const BackendMigrationOverview& overview, QVBoxLayout* layout,
                     QWidget* parent)
{
    const auto others = viewModel.account().texts().otherMigrationOverviewDevices();
    if (others.isEmpty())
        return;
    layout->addWidget(semiboldLabel(QStringLiteral("otherDevicesTitle"),
                                    localizedText(viewModel, QStringLiteral("同账号其他电脑"),
                                                  QStringLiteral("Other Computers on This Account")),
                                    parent));
    layout->addWidget(captionLabel(
        QStringLiteral("otherDevicesNote"),
        localizedText(
            viewModel, QStringLiteral("这些记录只用于总览和冲突提醒，不会直接恢复到当前机器。"),
            QStringLiteral("These records are shown for overview and conflict warnings only. They are "
                           "not restored onto this computer.")),
        parent));
    const QString subtitle =
        overview.totalDevices >= 2
            ? localizedText(
                  viewModel,
                  QStringLiteral("建议只在原设备上执行恢复或继续迁移，避免同一路径被多台电脑反复改写。"),
                  QStringLiteral("Prefer undoing or continuing migrations on the original device to "
                                 "avoid multiple computers rewriting the same path."))
            : localizedText(viewModel, QStringLiteral("当前没有其他设备。"),
                            QStringLiteral("No other devices."));
    const QString title =
        localizedText(viewModel, QStringLiteral("其他设备"), QStringLiteral("Other Device"));
    for (const BackendMigrationDeviceOverview& device : others) {
        layout->addWidget(migrationDeviceCard(viewModel,
                                              DeviceCardFacts{title, subtitle, device.deviceFingerprint,
                                                              device.mappingCount, device.taskCount,
                                                              device.latestActivityAt, QColor(Qt::blue)},
                                              parent));
    }
}

void addConflicts(MainViewModel& viewModel, const BackendMigrationOverview& overview, QVBoxLayout* layout,
                  QWidget* parent)
{
    layout->addWidget(semiboldLabel(
        QStringLiteral("conflictsTitle"),
        localizedText(viewModel, QStringLiteral("冲突提醒"), QStringLiteral("Conflict Warnings")), parent));
    if (overview.conflicts.isEmpty()) {
        QFrame* empty = makeCardBackground(QStringLiteral("noConflictsCard"), parent);
        cardLayout(empty, 0)->addWidget(captionLabel(
            QStringLiteral("noConflictsText"),
            localizedText(viewModel, QStringLiteral("暂未发现同一路径被多台电脑同时管理。"),
                          QStringLiteral("No shared path is currently being managed by multiple computers.")),
            empty));
        layout->addWidget(empty);
        return;
    }
    layout->addWidget(captionLabel(
        QStringLiteral("conflictsNote"),
        localizedText(viewModel,
                      QStringLiteral("如果同一路径同时出现在多台电脑"
                                     "上，请只保留一台继续迁移或恢复，避免外置盘目录与链接状态互相打架。"),
                      QStringLiteral("If the same path appears on multiple computers, keep only one machine "
                                     "responsible for future migration or restore work to avoid conflicting "
                                     "links and external-disk layouts.")),
        parent));
    for (const BackendMigrationConflict& conflict : overview.conflicts)
        layout->addWidget(migrationConflictCard(viewModel, conflict, parent));
}

} // namespace

QWidget* migrationOverviewCard(const QString& title, const QString& subtitle, const QString& note,
                               const QStringList& chips, QWidget* parent)
{
    QFrame* card = makeCardBackground(QStringLiteral("overviewCard"), parent);
    QVBoxLayout* layout = cardLayout(card, 8);
    layout->addWidget(semiboldLabel(QStringLiteral("cardTitle"), title, card));
    layout->addWidget(captionLabel(QStringLiteral("cardSubtitle"), subtitle, card));
    if (!chips.isEmpty())
        layout->addWidget(metaChipRow(chips, card));
    layout->addWidget(captionLabel(QStringLiteral("cardNote"), note, card));
    return card;
}

QWidget* migrationDeviceCard(MainViewModel& viewModel, const DeviceCardFacts& facts, QWidget* parent)
{
    QFrame* card = makeCardBackground(QStringLiteral("deviceCard"), parent);
    QVBoxLayout* layout = cardLayout(card, 8);
    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(new AccentDot(facts.accent, card), 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(6);
    titles->addWidget(semiboldLabel(QStringLiteral("cardTitle"), facts.title, card));
    QLabel* fingerprint =
        monospaceLabel(QStringLiteral("deviceFingerprint"),
                       viewModel.account().texts().maskedDeviceFingerprint(facts.fingerprint), 11, card);
    applySecondaryTextColor(fingerprint);
    titles->addWidget(fingerprint);
    header->addLayout(titles, 1);
    layout->addLayout(header);

    const QString n = QString::number(facts.mappingCount);
    const QString m = QString::number(facts.taskCount);
    QStringList chips{localizedText(viewModel, QStringLiteral("已迁移 ") + n + QStringLiteral(" 项"),
                                    n + QStringLiteral(" migrated")),
                      localizedText(viewModel, QStringLiteral("历史 ") + m + QStringLiteral(" 条"),
                                    m + QStringLiteral(" history"))};
    if (facts.latestActivityAt) {
        chips.append(dated(viewModel, QStringLiteral("最近活动"), QStringLiteral("Latest Activity"),
                           *facts.latestActivityAt));
    }
    layout->addWidget(metaChipRow(chips, card));
    layout->addWidget(captionLabel(QStringLiteral("cardSubtitle"), facts.subtitle, card));
    return card;
}

QWidget* migrationConflictCard(MainViewModel& viewModel, const BackendMigrationConflict& conflict,
                               QWidget* parent)
{
    auto* card = new TintedBox(QColor(255, 149, 0), 20 / 255.0, 12, parent);
    card->setObjectName(QStringLiteral("conflictCard"));
    QVBoxLayout* layout = cardLayout(card, 8);
    auto* source = new SelectablePathField(card, 12, SelectablePathField::Placement::Flush);
    source->setObjectName(QStringLiteral("conflictSource"));
    source->setCopyActionText(copyPathText(viewModel));
    source->setPath(conflict.sourcePath, viewModel.presentation().displayPath(conflict.sourcePath));
    layout->addWidget(source);

    const QString n = QString::number(conflict.deviceFingerprints.size());
    const QString m = QString::number(conflict.targetPaths.size());
    QStringList chips{localizedText(viewModel, QStringLiteral("涉及 ") + n + QStringLiteral(" 台设备"),
                                    n + QStringLiteral(" devices")),
                      localizedText(viewModel, QStringLiteral("目标 ") + m + QStringLiteral(" 个"),
                                    m + QStringLiteral(" targets"))};
    if (conflict.latestUpdatedAt)
        chips.append(dated(viewModel, QStringLiteral("最近更新"), QStringLiteral("Latest Update"),
                           *conflict.latestUpdatedAt));
    layout->addWidget(metaChipRow(chips, card));

    QStringList devices;
    for (const QString& fingerprint : conflict.deviceFingerprints)
        devices.append(viewModel.account().texts().maskedDeviceFingerprint(fingerprint));
    const QString joinedDevices = devices.join(QStringLiteral(" / "));
    layout->addWidget(captionLabel(QStringLiteral("conflictDevices"),
                                   localizedText(viewModel, QStringLiteral("设备指纹：") + joinedDevices,
                                                 QStringLiteral("Devices: ") + joinedDevices),
                                   card));
    if (!conflict.targetPaths.isEmpty()) {
        QStringList targets;
        for (const QString& target : conflict.targetPaths)
            targets.append(viewModel.presentation().displayPath(target));
        const QString joinedTargets = targets.join(QStringLiteral(" / "));
        QLabel* line = captionLabel(QStringLiteral("conflictTargets"),
                                    localizedText(viewModel, QStringLiteral("目标位置：") + joinedTargets,
                                                  QStringLiteral("Targets: ") + joinedTargets),
                                    card, LabelOption::Selectable);
        layout->addWidget(line);
    }
    return card;
}

QWidget* migrationOverviewBlock(MainViewModel& viewModel, QWidget* parent)
{
    QFrame* block = makeCardBackground(QStringLiteral("migrationOverviewBlock"), parent);
    QVBoxLayout* layout = cardLayout(block, 8);
    const AccountTexts& texts = viewModel.account().texts();
    QWidget* local = migrationOverviewCard(localizedText(viewModel, QStringLiteral("本机本地记录"),
                                                         QStringLiteral("This Computer's Local Snapshot")),
                                           texts.migrationSyncSnapshotSummary(),
                                           texts.migrationSyncScopeSummary(), localChips(viewModel), block);
    local->setObjectName(QStringLiteral("localSnapshotCard"));
    layout->addWidget(local);
    if (const auto lastSync = texts.migrationSyncTimestampSummary())
        layout->addWidget(captionLabel(QStringLiteral("lastSyncLine"), *lastSync, block));
    QWidget* account = migrationOverviewCard(
        localizedText(viewModel, QStringLiteral("账号级云端总览"),
                      QStringLiteral("Account-wide Cloud Overview")),
        texts.migrationOverviewSummary(),
        texts.migrationOverviewTimestampSummary().value_or(localizedText(
            viewModel, QStringLiteral("还没有刷新到账号级总览时，会继续沿用本机本地记录。"),
            QStringLiteral("Until the account-wide overview is loaded, the app continues to use "
                           "this computer's local records."))),
        accountChips(viewModel), block);
    account->setObjectName(QStringLiteral("accountOverviewCard"));
    layout->addWidget(account);

    const QColor accent = block->palette().color(QPalette::Highlight);
    if (const auto facts = thisDeviceFacts(viewModel, accent)) {
        QWidget* card = migrationDeviceCard(viewModel, *facts, block);
        card->setObjectName(QStringLiteral("currentDeviceCard"));
        layout->addWidget(card);
    }
    if (const auto& overview = viewModel.accountState().migrationAccountOverview()) {
        addOtherDevices(viewModel, *overview, layout, block);
        addConflicts(viewModel, *overview, layout, block);
    }
    return block;
}

} // namespace orvalink::ui
