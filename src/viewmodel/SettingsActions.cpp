#include "viewmodel/SettingsActions.h"

#include "platform/StandardPath.h"
#include "viewmodel/DetachedFlow.h"
#include "viewmodel/DirectoryLoader.h"
#include "viewmodel/ErrorText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/Navigator.h"
#include "viewmodel/TargetRootNormalization.h"

#include <QPointer>
#include <cmath>

namespace orvalink {

namespace {

constexpr double kBytesPerMegabyte = 1048576.0;
// 2^63: the first byte count a signed 64-bit integer cannot hold.
constexpr double kFirstUnrepresentableBytes = 9223372036854775808.0;

} // namespace

SettingsActions::SettingsActions(MainViewModel& viewModel, DirectoryLoader& loader, Navigator& navigator)
    : m_viewModel(viewModel), m_loader(loader), m_navigator(navigator)
{}

void SettingsActions::saveConfig()
{
    const AppConfig record = normalizedTargetConfig(m_viewModel.config());
    m_viewModel.setConfig(record);
    try {
        m_viewModel.parts().configStore->save(record);
    } catch (const std::exception& error) {
        m_viewModel.setErrorMessage(localizedDescription(error));
    }
}

void SettingsActions::changeConfig(const std::function<void(AppConfig&)>& change)
{
    AppConfig copy = m_viewModel.config();
    change(copy);
    m_viewModel.setConfig(copy);
    saveConfig();
}

QString SettingsActions::chooserPrompt() const
{
    return m_viewModel.localized(QStringLiteral("选择"), QStringLiteral("Select"));
}

QCoro::Task<> SettingsActions::selectScanRoot()
{
    QPointer<SettingsActions> self(this);
    const std::shared_ptr<FolderChooser> chooser = m_viewModel.platform().folderChooser;
    if (!chooser)
        co_return;
    auto panel = chooser->chooseFolder(chooserPrompt(),
                                       m_viewModel.localized(QStringLiteral("选择要扫描的目录"),
                                                             QStringLiteral("Choose a directory to scan")));
    const std::optional<QString> chosen = co_await std::move(panel);
    if (!self || !chosen || chosen->isEmpty())
        co_return;
    const QString path = platform::standardizedPath(*chosen);
    m_viewModel.setCurrentDirectoryPath(path);
    m_viewModel.setPathInput(path);
    m_navigator.clearHistory();
    changeConfig([&](AppConfig& config) { config.defaultScanRoot = path; });
    startDetached(loadNewScanRoot());
}

QCoro::Task<> SettingsActions::loadNewScanRoot()
{
    QPointer<SettingsActions> self(this);
    auto load = m_loader.loadCurrentDirectoryForNavigation(false);
    co_await std::move(load);
    if (!self)
        co_return;
    // Also after a failed listing, which has left its own error message.
    m_viewModel.setInfoMessage(
        m_viewModel.localized(QStringLiteral("目录已加载。点击“立即扫描”执行深度扫描。"),
                              QStringLiteral("Directory loaded. Click \"Scan Now\" for deep scan.")));
}

QCoro::Task<> SettingsActions::selectTargetRoot()
{
    QPointer<SettingsActions> self(this);
    const std::shared_ptr<FolderChooser> chooser = m_viewModel.platform().folderChooser;
    if (!chooser)
        co_return;
    auto panel = chooser->chooseFolder(
        chooserPrompt(),
        m_viewModel.localized(QStringLiteral("选择外置盘目标根目录"),
                              QStringLiteral("Choose migration target root on external storage")));
    const std::optional<QString> chosen = co_await std::move(panel);
    if (!self || !chosen || chosen->isEmpty())
        co_return;
    setTargetRoot(platform::standardizedPath(*chosen));
}

void SettingsActions::setTargetRoot(const QString& path)
{
    const QString root = platform::standardizedPath(path);
    const AppConfig& config = m_viewModel.config();
    if (config.unifiedTargetManagementEnabled && hasManagedTargetRoot(config)) {
        const QString managed = *config.managedTargetRoot;
        changeConfig([&](AppConfig& copy) { copy.defaultTargetRoot = managed; });
        m_viewModel.setInfoMessage(m_viewModel.localized(
            QStringLiteral("统一管理开启中，继续使用首次目标位置。"),
            QStringLiteral("Unified management is enabled, continuing to use the first target.")));
        m_viewModel.refreshStorageUsageSnapshot();
        return;
    }
    if (config.unifiedTargetManagementEnabled) {
        changeConfig([&](AppConfig& copy) {
            copy.defaultTargetRoot = root;
            copy.managedTargetRoot = root;
        });
        m_viewModel.setInfoMessage(
            m_viewModel.localized(QStringLiteral("已记录首次目标位置，后续将统一使用。"),
                                  QStringLiteral("First target location saved for unified management.")));
    } else {
        changeConfig([&](AppConfig& copy) { copy.defaultTargetRoot = root; });
        m_viewModel.setInfoMessage(m_viewModel.localized(QStringLiteral("已更新迁移目标位置。"),
                                                         QStringLiteral("Migration target updated.")));
    }
    m_viewModel.setAvailableVolumes(m_viewModel.parts().volumeService->listVolumes());
    m_viewModel.refreshStorageUsageSnapshot();
}

void SettingsActions::updateMinimumSizeMB(double megabytes)
{
    // Converting a byte count the integer cannot hold is undefined; such a value is refused. NaN
    // fails the comparison below and so counts as 0, like a negative value.
    if (std::isinf(megabytes))
        return;
    const double value = megabytes >= 0 ? megabytes : 0.0;
    const double bytes = value * kBytesPerMegabyte;
    if (bytes >= kFirstUnrepresentableBytes)
        return;
    m_viewModel.setMinSizeMB(value);
    changeConfig([&](AppConfig& config) { config.minLargeSizeBytes = static_cast<qint64>(bytes); });
    m_loader.startScan();
}

void SettingsActions::updateShowHiddenFiles(bool enabled)
{
    if (enabled == m_viewModel.showHiddenFiles())
        return;
    m_viewModel.setShowHiddenFiles(enabled);
    changeConfig([&](AppConfig& config) { config.showHiddenFiles = enabled; });
    m_loader.startLoad(false);
}

void SettingsActions::updateRealtimeRefreshEnabled(bool enabled)
{
    if (enabled == m_viewModel.realtimeRefreshEnabled())
        return;
    m_viewModel.setRealtimeRefreshEnabled(enabled);
    changeConfig([&](AppConfig& config) { config.realtimeRefreshEnabled = enabled; });
    if (enabled)
        m_loader.startLoad(true);
}

void SettingsActions::setPresentationPrivacyEnabled(bool enabled)
{
    if (enabled == m_viewModel.config().presentationPrivacyEnabled)
        return;
    changeConfig([&](AppConfig& config) { config.presentationPrivacyEnabled = enabled; });
    m_viewModel.setInfoMessage(
        enabled ? m_viewModel.localized(
                      QStringLiteral(
                          "演示脱敏已开启。界面会隐藏账号、路径和外置盘名称等敏感信息，适合录屏演示。"),
                      QStringLiteral(
                          "Presentation privacy is on. The app now hides account, path, and external-disk "
                          "details for safer screen recordings."))
                : m_viewModel.localized(QStringLiteral("演示脱敏已关闭，界面恢复显示完整账号和路径信息。"),
                                        QStringLiteral("Presentation privacy is off. Full account and path "
                                                       "information is visible again.")));
}

void SettingsActions::setStrictModeEnabled(bool enabled)
{
    if (enabled == m_viewModel.config().strictModeEnabled)
        return;
    changeConfig([&](AppConfig& config) { config.strictModeEnabled = enabled; });
    m_viewModel.setInfoMessage(
        enabled ? m_viewModel.localized(
                      QStringLiteral("严格模式已开启：系统关键目录将禁止迁移。"),
                      QStringLiteral("Strict mode enabled: critical system directories are blocked."))
                : m_viewModel.localized(
                      QStringLiteral("严格模式已关闭：不再限制关键目录迁移，请谨慎操作。"),
                      QStringLiteral("Strict mode disabled: critical directory blocking is off, "
                                     "proceed carefully.")));
}

void SettingsActions::updateSmartMigrationEnabled(bool enabled)
{
    if (enabled == m_viewModel.smartMigrationEnabled())
        return;
    m_viewModel.setSmartMigrationEnabled(enabled);
    changeConfig([&](AppConfig& config) { config.smartMigrationEnabled = enabled; });
    m_viewModel.setInfoMessage(
        enabled ? m_viewModel.localized(
                      QStringLiteral(
                          "智能迁移已开启：会显示应用/数据专用推荐目录。微信列表会额外拦截高风险沙盒目录。"),
                      QStringLiteral(
                          "Smart Migration is on. The app now highlights app-specific data folders, and the "
                          "WeChat list adds extra sandbox safety checks."))
                : m_viewModel.localized(
                      QStringLiteral("智能迁移已关闭，目录列表恢复为普通浏览模式。"),
                      QStringLiteral("Smart Migration is off. The directory list is back to normal "
                                     "browsing mode.")));
}

void SettingsActions::updateSmartMigrationProfile(SmartMigrationProfile profile)
{
    if (profile == m_viewModel.smartMigrationProfile())
        return;
    m_viewModel.setSmartMigrationProfile(profile);
    changeConfig([&](AppConfig& config) { config.smartMigrationProfile = profile; });
    const QString name =
        profile == SmartMigrationProfile::wechat
            ? m_viewModel.localized(QStringLiteral("微信列表"), QStringLiteral("WeChat List"))
            : m_viewModel.localized(QStringLiteral("其他列表"), QStringLiteral("Other List"));
    m_viewModel.setInfoMessage(
        m_viewModel.localized(QStringLiteral("智能迁移列表已切换为 ") + name + QStringLiteral("。"),
                              QStringLiteral("Smart Migration is now using ") + name + QStringLiteral(".")));
}

void SettingsActions::setLanguage(UILanguage language)
{
    if (language == m_viewModel.config().uiLanguage)
        return;
    changeConfig([&](AppConfig& config) { config.uiLanguage = language; });
}

void SettingsActions::setUnifiedManagementEnabled(bool enabled)
{
    AppConfig copy = m_viewModel.config();
    if (enabled && hasManagedTargetRoot(copy)) {
        copy.defaultTargetRoot = *copy.managedTargetRoot;
        m_viewModel.setInfoMessage(m_viewModel.localized(
            QStringLiteral("统一管理已开启，将使用首次目标位置。"),
            QStringLiteral("Unified management enabled. Using the first selected target.")));
    } else if (enabled) {
        m_viewModel.setInfoMessage(m_viewModel.localized(
            QStringLiteral("统一管理已开启，请先选择首次目标位置。"),
            QStringLiteral("Unified management enabled. Please choose the first target location.")));
    } else {
        m_viewModel.setInfoMessage(m_viewModel.localized(
            QStringLiteral("统一管理已关闭，可手动修改每次迁移目标。"),
            QStringLiteral("Unified management disabled. You can change migration target each time.")));
    }
    copy.unifiedTargetManagementEnabled = enabled;
    m_viewModel.setConfig(copy);
    saveConfig();
    m_viewModel.refreshStorageUsageSnapshot();
}

void SettingsActions::resetManagedTargetRoot()
{
    changeConfig([](AppConfig& config) { config.managedTargetRoot.reset(); });
    m_viewModel.setInfoMessage(
        m_viewModel.localized(QStringLiteral("已重置首次目标位置，请重新选择。"),
                              QStringLiteral("Managed first target has been reset. Please choose again.")));
}

QString SettingsActions::managedTargetRootDisplayText() const
{
    const AppConfig& config = m_viewModel.config();
    if (hasManagedTargetRoot(config))
        return m_viewModel.displayPath(*config.managedTargetRoot);
    return m_viewModel.localized(QStringLiteral("未设置"), QStringLiteral("Not set"));
}

} // namespace orvalink
