#include "viewmodel/settings/SettingsActions.h"

#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "viewmodel/browsing/DirectoryLoader.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/context/TargetRootNormalization.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/history/PersistedStateReader.h"
#include "viewmodel/texts/BrowsingTexts.h"
#include "viewmodel/texts/ErrorText.h"

#include <QFileInfo>
#include <cmath>

namespace orvalink {

namespace {

constexpr double kBytesPerMegabyte = 1048576.0;
// 2^63: the first byte count a signed 64-bit integer cannot hold.
constexpr double kFirstUnrepresentableBytes = 9223372036854775808.0;

} // namespace

SettingsActions::SettingsActions(ViewModelContext& context, DirectoryLoader& loader, Navigator& navigator,
                                 PersistedStateReader& persisted)
    : m_context(context), m_loader(loader), m_navigator(navigator), m_persisted(persisted)
{}

void SettingsActions::saveConfig()
{
    const AppConfig record = normalizedTargetConfig(m_context.browsing().config());
    m_context.browsing().setConfig(record);
    try {
        m_context.services().configStore->save(record);
    } catch (const std::exception& error) {
        m_context.activity().setErrorMessage(BilingualText::same(localizedDescription(error)));
    }
}

void SettingsActions::changeConfig(const std::function<void(AppConfig&)>& change)
{
    AppConfig copy = m_context.browsing().config();
    change(copy);
    m_context.browsing().setConfig(copy);
    saveConfig();
}

QString SettingsActions::chooserPrompt() const
{
    return m_context.presentation().localized({"选择", "Select"});
}

QCoro::Task<> SettingsActions::selectScanRoot()
{
    const FlowTicket ticket = m_flows.ticket();
    const std::shared_ptr<FolderChooser> chooser = m_context.platform().folderChooser;
    if (!chooser)
        co_return;
    auto panel = chooser->chooseFolder(
        chooserPrompt(),
        m_context.presentation().localized({"选择要扫描的目录", "Choose a directory to scan"}), QString());
    const std::optional<QString> chosen = co_await std::move(panel);
    if (!ticket.isAlive() || !chosen || chosen->isEmpty())
        co_return;
    const QString path = platform::standardizedPath(*chosen);
    m_context.browsing().setCurrentDirectoryPath(path);
    m_context.browsing().setPathInput(path);
    m_navigator.clearHistory();
    changeConfig([&](AppConfig& config) { config.defaultScanRoot = path; });
    startDetached(loadNewScanRoot());
}

QCoro::Task<> SettingsActions::loadNewScanRoot()
{
    const FlowTicket ticket = m_flows.ticket();
    auto load = m_loader.loadCurrentDirectoryForNavigation(false);
    co_await std::move(load);
    if (!ticket.isAlive())
        co_return;
    // Also after a failed listing, which has left its own error message.
    m_context.activity().setInfoMessage(startupListedText());
}

void SettingsActions::announceSwitch(bool on, const BilingualText& whenOn, const BilingualText& whenOff)
{
    m_context.activity().setInfoMessage(on ? whenOn : whenOff);
}

QString SettingsActions::targetChooserStart() const
{
    // Targets live on external volumes; the program's working directory means nothing here.
    const QString current = m_context.effectiveTargetRoot();
    if (!current.isEmpty() && QFileInfo(current).isDir())
        return current;
    return platform::volumesDirectory();
}

QCoro::Task<> SettingsActions::selectTargetRoot()
{
    const FlowTicket ticket = m_flows.ticket();
    const std::shared_ptr<FolderChooser> chooser = m_context.platform().folderChooser;
    if (!chooser)
        co_return;
    auto panel = chooser->chooseFolder(
        chooserPrompt(),
        m_context.presentation().localized(
            {"选择外置盘目标根目录", "Choose migration target root on external storage"}),
        targetChooserStart());
    const std::optional<QString> chosen = co_await std::move(panel);
    if (!ticket.isAlive() || !chosen || chosen->isEmpty())
        co_return;
    setTargetRoot(platform::standardizedPath(*chosen));
}

void SettingsActions::setTargetRoot(const QString& path)
{
    const QString root = platform::standardizedPath(path);
    const AppConfig& config = m_context.browsing().config();
    if (config.unifiedTargetManagementEnabled && orvalink::hasManagedTargetRoot(config)) {
        const QString managed = *config.managedTargetRoot;
        changeConfig([&](AppConfig& copy) { copy.defaultTargetRoot = managed; });
        m_context.activity().setInfoMessage(
            BilingualText("统一管理开启中，继续使用首次目标位置。",
                          "Unified management is enabled, continuing to use the first target."));
        m_persisted.refreshStorageUsageSnapshot();
        return;
    }
    if (config.unifiedTargetManagementEnabled) {
        changeConfig([&](AppConfig& copy) {
            copy.defaultTargetRoot = root;
            copy.managedTargetRoot = root;
        });
        m_context.activity().setInfoMessage(BilingualText(
            "已记录首次目标位置，后续将统一使用。", "First target location saved for unified management."));
    } else {
        changeConfig([&](AppConfig& copy) { copy.defaultTargetRoot = root; });
        m_context.activity().setInfoMessage(
            BilingualText("已更新迁移目标位置。", "Migration target updated."));
    }
    m_context.browsing().setAvailableVolumes(m_context.services().volumeService->listVolumes());
    m_persisted.refreshStorageUsageSnapshot();
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
    m_context.browsing().setMinSizeMB(value);
    changeConfig([&](AppConfig& config) { config.minLargeSizeBytes = static_cast<qint64>(bytes); });
    m_loader.startScan();
}

void SettingsActions::updateShowHiddenFiles(bool enabled)
{
    if (enabled == m_context.browsing().showHiddenFiles())
        return;
    m_context.browsing().setShowHiddenFiles(enabled);
    changeConfig([&](AppConfig& config) { config.showHiddenFiles = enabled; });
    m_loader.startLoad(false);
}

void SettingsActions::updateVisibilityFilter(VisibilityFilter filter)
{
    if (filter == m_context.browsing().visibilityFilter())
        return;
    m_context.browsing().setVisibilityFilter(filter);
    // Hidden entries must be listed at all before the filter can show them.
    if (filter == VisibilityFilter::hiddenOnly && !m_context.browsing().showHiddenFiles())
        updateShowHiddenFiles(true);
}

void SettingsActions::updateRealtimeRefreshEnabled(bool enabled)
{
    if (enabled == m_context.browsing().realtimeRefreshEnabled())
        return;
    m_context.browsing().setRealtimeRefreshEnabled(enabled);
    changeConfig([&](AppConfig& config) { config.realtimeRefreshEnabled = enabled; });
    if (enabled)
        m_loader.startLoad(true);
}

void SettingsActions::setPresentationPrivacyEnabled(bool enabled)
{
    if (enabled == m_context.browsing().config().presentationPrivacyEnabled)
        return;
    changeConfig([&](AppConfig& config) { config.presentationPrivacyEnabled = enabled; });
    announceSwitch(
        enabled,
        {QStringLiteral("演示脱敏已开启。界面会隐藏账号、路径和外置盘名称等敏感信息，适合录屏演示。"),
         QStringLiteral("Presentation privacy is on. The app now hides account, path, and external-disk "
                        "details for safer screen recordings.")},
        {QStringLiteral("演示脱敏已关闭，界面恢复显示完整账号和路径信息。"),
         QStringLiteral("Presentation privacy is off. Full account and path information is visible "
                        "again.")});
}

void SettingsActions::setStrictModeEnabled(bool enabled)
{
    if (enabled == m_context.browsing().config().strictModeEnabled)
        return;
    changeConfig([&](AppConfig& config) { config.strictModeEnabled = enabled; });
    announceSwitch(
        enabled,
        {QStringLiteral("严格模式已开启：系统关键目录将禁止迁移。"),
         QStringLiteral("Strict mode enabled: critical system directories are blocked.")},
        {QStringLiteral("严格模式已关闭：不再限制关键目录迁移，请谨慎操作。"),
         QStringLiteral("Strict mode disabled: critical directory blocking is off, proceed carefully.")});
}

void SettingsActions::updateSmartMigrationEnabled(bool enabled)
{
    if (enabled == m_context.browsing().smartMigrationEnabled())
        return;
    m_context.browsing().setSmartMigrationEnabled(enabled);
    changeConfig([&](AppConfig& config) { config.smartMigrationEnabled = enabled; });
    announceSwitch(
        enabled,
        {QStringLiteral("智能迁移已开启：会显示应用/数据专用推荐目录。微信列表会额外拦截高风险沙盒目录。"),
         QStringLiteral(
             "Smart Migration is on. The app now highlights app-specific data folders, and the WeChat "
             "list adds extra sandbox safety checks.")},
        {QStringLiteral("智能迁移已关闭，目录列表恢复为普通浏览模式。"),
         QStringLiteral("Smart Migration is off. The directory list is back to normal browsing mode.")});
}

void SettingsActions::updateSmartMigrationProfile(SmartMigrationProfile profile)
{
    if (profile == m_context.browsing().smartMigrationProfile())
        return;
    m_context.browsing().setSmartMigrationProfile(profile);
    changeConfig([&](AppConfig& config) { config.smartMigrationProfile = profile; });
    const BilingualText name = profile == SmartMigrationProfile::wechat
                                   ? BilingualText("微信列表", "WeChat List")
                                   : BilingualText("其他列表", "Other List");
    m_context.activity().setInfoMessage(
        BilingualText("智能迁移列表已切换为 %1。", "Smart Migration is now using %1.").arg(name));
}

void SettingsActions::setLanguage(UILanguage language)
{
    if (language == m_context.browsing().config().uiLanguage)
        return;
    changeConfig([&](AppConfig& config) { config.uiLanguage = language; });
}

void SettingsActions::setUnifiedManagementEnabled(bool enabled)
{
    AppConfig copy = m_context.browsing().config();
    if (enabled && orvalink::hasManagedTargetRoot(copy)) {
        copy.defaultTargetRoot = *copy.managedTargetRoot;
        m_context.activity().setInfoMessage(
            BilingualText("统一管理已开启，将使用首次目标位置。",
                          "Unified management enabled. Using the first selected target."));
    } else if (enabled) {
        m_context.activity().setInfoMessage(
            BilingualText("统一管理已开启，请先选择首次目标位置。",
                          "Unified management enabled. Please choose the first target location."));
    } else {
        m_context.activity().setInfoMessage(
            BilingualText("统一管理已关闭，可手动修改每次迁移目标。",
                          "Unified management disabled. You can change migration target each time."));
    }
    copy.unifiedTargetManagementEnabled = enabled;
    m_context.browsing().setConfig(copy);
    saveConfig();
    m_persisted.refreshStorageUsageSnapshot();
}

void SettingsActions::resetManagedTargetRoot()
{
    changeConfig([](AppConfig& config) { config.managedTargetRoot.reset(); });
    m_context.activity().setInfoMessage(BilingualText(
        "已重置首次目标位置，请重新选择。", "Managed first target has been reset. Please choose again."));
}

QString SettingsActions::managedTargetRootDisplayText() const
{
    const AppConfig& config = m_context.browsing().config();
    if (orvalink::hasManagedTargetRoot(config))
        return m_context.presentation().displayPath(*config.managedTargetRoot);
    return m_context.presentation().localized({"未设置", "Not set"});
}

bool SettingsActions::hasManagedTargetRoot() const
{
    return m_context.hasManagedTargetRoot();
}

bool SettingsActions::isUnifiedTargetLocked() const
{
    return m_context.isUnifiedTargetLocked();
}

QString SettingsActions::effectiveTargetRoot() const
{
    return m_context.effectiveTargetRoot();
}

QStringList SettingsActions::strictModeBlockedPaths() const
{
    return m_context.pathMappingService().strictDisallowedPaths();
}

} // namespace orvalink
