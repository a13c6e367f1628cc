#include "model/AppConfig.h"

#include "model/JsonFields.h"
#include "platform/UserLocations.h"

#include <algorithm>

namespace orvalink {

QString toText(UILanguage language)
{
    switch (language) {
    case UILanguage::chinese:
        return QStringLiteral("zh");
    case UILanguage::english:
        return QStringLiteral("en");
    case UILanguage::bilingual:
        return QStringLiteral("bi");
    }
    return QString();
}

std::optional<UILanguage> uiLanguageFromText(const QString& text)
{
    for (UILanguage language : {UILanguage::chinese, UILanguage::english, UILanguage::bilingual}) {
        if (toText(language) == text)
            return language;
    }
    return std::nullopt;
}

QString toText(SmartMigrationProfile profile)
{
    return profile == SmartMigrationProfile::wechat ? QStringLiteral("wechat") : QStringLiteral("other");
}

std::optional<SmartMigrationProfile> smartMigrationProfileFromText(const QString& text)
{
    for (SmartMigrationProfile profile : {SmartMigrationProfile::wechat, SmartMigrationProfile::other}) {
        if (toText(profile) == text)
            return profile;
    }
    return std::nullopt;
}

QString defaultServiceEndpoint()
{
    return QStringLiteral("https://api.orvalink.app");
}

QString builtInTargetRoot()
{
    return platform::volumesDirectory() + QStringLiteral("/ExtSSD/OrvalinkRoot");
}

AppConfig AppConfig::defaults(const QString& currentUser)
{
    AppConfig config;
    // The folder of home folders is the parent of $HOME on this platform; the scan root is the
    // home folder itself.
    config.defaultScanRoot = platform::homeDirectory();
    config.defaultTargetRoot = builtInTargetRoot();
    config.anchorUser = currentUser;
    return config;
}

AppConfig AppConfig::fromJson(const QJsonObject& object)
{
    using namespace json;
    AppConfig config;
    config.defaultScanRoot = requireString(object, "defaultScanRoot");
    config.defaultTargetRoot = requireString(object, "defaultTargetRoot");
    config.minLargeSizeBytes = requireInt64(object, "minLargeSizeBytes");
    config.anchorUser = requireString(object, "anchorUser");
    config.maxConcurrentScanTasks = requireInt64(object, "maxConcurrentScanTasks");
    if (const auto text = optionalString(object, "uiLanguage")) {
        const auto language = uiLanguageFromText(*text);
        if (!language)
            throw DecodeError("unknown uiLanguage");
        config.uiLanguage = *language;
    }
    config.unifiedTargetManagementEnabled =
        optionalBool(object, "unifiedTargetManagementEnabled").value_or(true);
    config.managedTargetRoot = optionalString(object, "managedTargetRoot");
    config.showHiddenFiles = optionalBool(object, "showHiddenFiles").value_or(true);
    config.realtimeRefreshEnabled = optionalBool(object, "realtimeRefreshEnabled").value_or(false);
    config.strictModeEnabled = optionalBool(object, "strictModeEnabled").value_or(true);
    config.presentationPrivacyEnabled = optionalBool(object, "presentationPrivacyEnabled").value_or(false);
    config.smartMigrationEnabled = optionalBool(object, "smartMigrationEnabled").value_or(false);
    if (const auto text = optionalString(object, "smartMigrationProfile")) {
        const auto profile = smartMigrationProfileFromText(*text);
        if (!profile)
            throw DecodeError("unknown smartMigrationProfile");
        config.smartMigrationProfile = *profile;
    }
    config.backendBaseURL = optionalString(object, "backendBaseURL").value_or(defaultServiceEndpoint());
    return config;
}

QJsonObject AppConfig::toJson() const
{
    QJsonObject object{
        {QStringLiteral("defaultScanRoot"), defaultScanRoot},
        {QStringLiteral("defaultTargetRoot"), defaultTargetRoot},
        {QStringLiteral("minLargeSizeBytes"), minLargeSizeBytes},
        {QStringLiteral("anchorUser"), anchorUser},
        {QStringLiteral("maxConcurrentScanTasks"), maxConcurrentScanTasks},
        {QStringLiteral("uiLanguage"), toText(uiLanguage)},
        {QStringLiteral("unifiedTargetManagementEnabled"), unifiedTargetManagementEnabled},
        {QStringLiteral("showHiddenFiles"), showHiddenFiles},
        {QStringLiteral("realtimeRefreshEnabled"), realtimeRefreshEnabled},
        {QStringLiteral("strictModeEnabled"), strictModeEnabled},
        {QStringLiteral("presentationPrivacyEnabled"), presentationPrivacyEnabled},
        {QStringLiteral("smartMigrationEnabled"), smartMigrationEnabled},
        {QStringLiteral("smartMigrationProfile"), toText(smartMigrationProfile)},
        {QStringLiteral("backendBaseURL"), backendBaseURL},
    };
    if (managedTargetRoot)
        object.insert(QStringLiteral("managedTargetRoot"), *managedTargetRoot);
    return object;
}

int effectiveScanConcurrency(const AppConfig& config)
{
    return static_cast<int>(std::clamp<qint64>(config.maxConcurrentScanTasks, 1, 16));
}

} // namespace orvalink
