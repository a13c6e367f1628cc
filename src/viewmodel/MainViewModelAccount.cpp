// MainViewModel: the account flows (each a thin call into AccountWorkflows) and the account texts,
// which read the published values at the moment of the call and keep nothing.

#include "viewmodel/AccountWorkflows.h"
#include "viewmodel/MainViewModel.h"

namespace orvalink {

AccountWorkflows& MainViewModel::accountWorkflows()
{
    return *m_account;
}

void MainViewModel::activateLocalHistoryScope(const std::optional<QString>& email)
{
    m_account->session().activateLocalHistoryScope(email);
}

bool MainViewModel::handleAuthenticationLossIfNeeded(const std::exception_ptr& error)
{
    return m_account->session().handleAuthenticationLossIfNeeded(error);
}

QCoro::Task<> MainViewModel::signIn(QString email, QString password, std::optional<QString> captchaId,
                                    std::optional<QString> captchaCode)
{
    return m_account->auth().signIn(std::move(email), std::move(password), std::move(captchaId),
                                    std::move(captchaCode));
}

QCoro::Task<> MainViewModel::registerAndSignIn(QString email, QString password, QString nickName,
                                               std::optional<QString> captchaId,
                                               std::optional<QString> captchaCode)
{
    return m_account->auth().registerAndSignIn(std::move(email), std::move(password), std::move(nickName),
                                               std::move(captchaId), std::move(captchaCode));
}

QCoro::Task<> MainViewModel::signOutFromBackend()
{
    return m_account->auth().signOutFromBackend();
}

QCoro::Task<> MainViewModel::changeBackendPassword(QString currentPassword, QString newPassword)
{
    return m_account->auth().changeBackendPassword(std::move(currentPassword), std::move(newPassword));
}

QCoro::Task<> MainViewModel::refreshAuthRequirements(bool userInitiated)
{
    return m_account->requirements().refreshAuthRequirements(userInitiated);
}

QCoro::Task<> MainViewModel::refreshAuthCaptcha(bool userInitiated)
{
    return m_account->requirements().refreshAuthCaptcha(userInitiated);
}

QCoro::Task<> MainViewModel::refreshFeedbackDashboard(bool userInitiated)
{
    return m_account->feedback().refreshFeedbackDashboard(userInitiated);
}

QCoro::Task<> MainViewModel::submitFeedback(FeedbackCategory category, QString subject, QString content)
{
    return m_account->feedback().submitFeedback(category, std::move(subject), std::move(content));
}

QCoro::Task<> MainViewModel::restoreMigrationSnapshotFromCloudIfNeeded(bool userInitiated)
{
    return m_account->cloudSync().restoreMigrationSnapshotFromCloudIfNeeded(userInitiated);
}

QCoro::Task<> MainViewModel::syncMigrationSnapshot(bool userInitiated)
{
    return m_account->cloudSync().syncMigrationSnapshot(userInitiated);
}

QCoro::Task<> MainViewModel::refreshMigrationOverview(bool userInitiated)
{
    return m_account->overview().refreshMigrationOverview(userInitiated);
}

// Account texts.

std::optional<BackendMigrationDeviceOverview> MainViewModel::currentMigrationOverviewDevice() const
{
    if (!migrationAccountOverview())
        return std::nullopt;
    for (const BackendMigrationDeviceOverview& device : migrationAccountOverview()->devices) {
        if (device.currentDevice)
            return device;
    }
    return std::nullopt;
}

QList<BackendMigrationDeviceOverview> MainViewModel::otherMigrationOverviewDevices() const
{
    QList<BackendMigrationDeviceOverview> others;
    if (!migrationAccountOverview())
        return others;
    for (const BackendMigrationDeviceOverview& device : migrationAccountOverview()->devices) {
        if (!device.currentDevice)
            others.append(device);
    }
    return others;
}

QString MainViewModel::maskedDeviceFingerprint(const QString& fingerprint) const
{
    const QString trimmed = fingerprint.trimmed();
    if (config().presentationPrivacyEnabled) {
        if (trimmed.isEmpty())
            return localized(QStringLiteral("已脱敏设备"), QStringLiteral("Masked Device"));
        return QStringLiteral("demo-") + trimmed.right(4);
    }
    if (trimmed.size() < 11)
        return trimmed;
    return trimmed.left(4) + QStringLiteral("...") + trimmed.right(4);
}

QString MainViewModel::backendAccountSummary() const
{
    if (const std::optional<QString> badge = backendAccountBadgeText())
        return *badge;
    return localized(QStringLiteral("未登录"), QStringLiteral("Signed out"));
}

std::optional<QString> MainViewModel::backendAccountBadgeText() const
{
    if (!backendSession())
        return std::nullopt;
    return displayEmail(backendSession()->email);
}

QString MainViewModel::migrationSyncScopeSummary() const
{
    if (localHistoryScope().isGuest())
        return localized(QStringLiteral("当前读取游客本地历史。"),
                         QStringLiteral("Reading guest-local history."));
    const QString email = displayEmail(localHistoryScope().email());
    return localized(QStringLiteral("当前读取 ") + email + QStringLiteral(" 在本机的独立迁移历史。"),
                     QStringLiteral("Reading the device-local migration history for ") + email +
                         QStringLiteral("."));
}

QString MainViewModel::migrationSyncSnapshotSummary() const
{
    const QString n = QString::number(migratedMappings().size());
    const QString m = QString::number(tasks().size());
    return localized(QStringLiteral("已迁移 ") + n + QStringLiteral(" 项，历史 ") + m + QStringLiteral(" 条"),
                     n + QStringLiteral(" migrated items, ") + m + QStringLiteral(" history entries"));
}

QString MainViewModel::migrationOverviewSummary() const
{
    const std::optional<BackendMigrationOverview>& overview = migrationAccountOverview();
    if (!overview)
        return localized(QStringLiteral("当前还没有拉取账号级多设备总览。"),
                         QStringLiteral("The account-wide multi-device overview has not been loaded yet."));
    const QString d = QString::number(overview->totalDevices);
    const QString n = QString::number(overview->totalMappings);
    const QString m = QString::number(overview->totalTasks);
    return localized(QStringLiteral("当前账号共 ") + d + QStringLiteral(" 台设备，已迁移 ") + n +
                         QStringLiteral(" 项，历史 ") + m + QStringLiteral(" 条。"),
                     QStringLiteral("This account currently has ") + d + QStringLiteral(" devices, ") + n +
                         QStringLiteral(" migrated items, and ") + m + QStringLiteral(" history entries."));
}

std::optional<QString> MainViewModel::migrationSyncTimestampSummary() const
{
    if (!lastMigrationSyncAt())
        return std::nullopt;
    const QString date = formatDate(*lastMigrationSyncAt());
    return localized(QStringLiteral("最近同步：") + date, QStringLiteral("Last sync: ") + date);
}

std::optional<QString> MainViewModel::migrationOverviewTimestampSummary() const
{
    if (!migrationAccountOverview() || !migrationAccountOverview()->syncedAt)
        return std::nullopt;
    const QString date = formatDate(*migrationAccountOverview()->syncedAt);
    return localized(QStringLiteral("账号级最近活动：") + date,
                     QStringLiteral("Account-wide latest activity: ") + date);
}

} // namespace orvalink
