#include "viewmodel/account/AccountTexts.h"

#include "viewmodel/context/ViewModelContext.h"

namespace orvalink {

AccountTexts::AccountTexts(const ViewModelContext& context) : m_context(context) {}

std::optional<BackendMigrationDeviceOverview> AccountTexts::currentMigrationOverviewDevice() const
{
    if (!m_context.accountState().migrationAccountOverview())
        return std::nullopt;
    for (const BackendMigrationDeviceOverview& device :
         m_context.accountState().migrationAccountOverview()->devices) {
        if (device.currentDevice)
            return device;
    }
    return std::nullopt;
}

QList<BackendMigrationDeviceOverview> AccountTexts::otherMigrationOverviewDevices() const
{
    QList<BackendMigrationDeviceOverview> others;
    if (!m_context.accountState().migrationAccountOverview())
        return others;
    for (const BackendMigrationDeviceOverview& device :
         m_context.accountState().migrationAccountOverview()->devices) {
        if (!device.currentDevice)
            others.append(device);
    }
    return others;
}

QString AccountTexts::maskedDeviceFingerprint(const QString& fingerprint) const
{
    const QString trimmed = fingerprint.trimmed();
    if (m_context.browsing().config().presentationPrivacyEnabled) {
        if (trimmed.isEmpty())
            return m_context.presentation().localized(BilingualText("已脱敏设备", "Masked Device"));
        return QStringLiteral("demo-") + trimmed.right(4);
    }
    if (trimmed.size() < 11)
        return trimmed;
    return trimmed.left(4) + QStringLiteral("...") + trimmed.right(4);
}

QString AccountTexts::backendAccountSummary() const
{
    if (const std::optional<QString> badge = backendAccountBadgeText())
        return *badge;
    return m_context.presentation().localized(BilingualText("未登录", "Signed out"));
}

std::optional<QString> AccountTexts::backendAccountBadgeText() const
{
    if (!m_context.accountState().backendSession())
        return std::nullopt;
    return m_context.presentation().displayEmail(m_context.accountState().backendSession()->email);
}

QString AccountTexts::migrationSyncScopeSummary() const
{
    if (m_context.localHistoryScope().isGuest())
        return m_context.presentation().localized(
            BilingualText("当前读取游客本地历史。", "Reading guest-local history."));
    const QString email = m_context.presentation().displayEmail(m_context.localHistoryScope().email());
    return m_context.presentation().localized(BilingualText(
        QStringLiteral("当前读取 ") + email + QStringLiteral(" 在本机的独立迁移历史。"),
        QStringLiteral("Reading the device-local migration history for ") + email + QStringLiteral(".")));
}

QString AccountTexts::migrationSyncSnapshotSummary() const
{
    const QString n = QString::number(m_context.history().migratedMappingCount());
    const QString m = QString::number(m_context.history().taskCount());
    return m_context.presentation().localized(BilingualText(
        QStringLiteral("已迁移 ") + n + QStringLiteral(" 项，历史 ") + m + QStringLiteral(" 条"),
        n + QStringLiteral(" migrated items, ") + m + QStringLiteral(" history entries")));
}

QString AccountTexts::migrationOverviewSummary() const
{
    const std::optional<BackendMigrationOverview>& overview =
        m_context.accountState().migrationAccountOverview();
    if (!overview)
        return m_context.presentation().localized(
            BilingualText("当前还没有拉取账号级多设备总览。",
                          "The account-wide multi-device overview has not been loaded yet."));
    const QString d = QString::number(overview->totalDevices);
    const QString n = QString::number(overview->totalMappings);
    const QString m = QString::number(overview->totalTasks);
    return m_context.presentation().localized(
        BilingualText(QStringLiteral("当前账号共 ") + d + QStringLiteral(" 台设备，已迁移 ") + n +
                          QStringLiteral(" 项，历史 ") + m + QStringLiteral(" 条。"),
                      QStringLiteral("This account currently has ") + d + QStringLiteral(" devices, ") + n +
                          QStringLiteral(" migrated items, and ") + m + QStringLiteral(" history entries.")));
}

std::optional<QString> AccountTexts::migrationSyncTimestampSummary() const
{
    if (!m_context.accountState().lastMigrationSyncAt())
        return std::nullopt;
    const QString date = m_context.presentation().formatDate(*m_context.accountState().lastMigrationSyncAt());
    return m_context.presentation().localized(
        BilingualText(QStringLiteral("最近同步：") + date, QStringLiteral("Last sync: ") + date));
}

std::optional<QString> AccountTexts::migrationOverviewTimestampSummary() const
{
    if (!m_context.accountState().migrationAccountOverview() ||
        !m_context.accountState().migrationAccountOverview()->syncedAt)
        return std::nullopt;
    const QString date =
        m_context.presentation().formatDate(*m_context.accountState().migrationAccountOverview()->syncedAt);
    return m_context.presentation().localized(BilingualText(
        QStringLiteral("账号级最近活动：") + date, QStringLiteral("Account-wide latest activity: ") + date));
}

} // namespace orvalink
