#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

namespace orvalink {

enum class UILanguage { chinese, english, bilingual };
enum class SmartMigrationProfile { wechat, other };

// "zh", "en", "bi"; parsing is exact and case-sensitive.
QString toText(UILanguage language);
std::optional<UILanguage> uiLanguageFromText(const QString& text);
// "wechat", "other".
QString toText(SmartMigrationProfile profile);
std::optional<SmartMigrationProfile> smartMigrationProfileFromText(const QString& text);

// The built-in address of the account service: the settings default and the replacement of blank,
// loopback-development and retired addresses.
QString defaultServiceEndpoint();

// The target root of a fresh installation, "ExtSSD/OrvalinkRoot" in the volumes directory (read
// afresh): a placeholder the user never chose.
QString builtInTargetRoot();

// Every user setting; the content of "config.json".
struct AppConfig {
    QString defaultScanRoot;
    QString defaultTargetRoot;
    qint64 minLargeSizeBytes = 10485760;
    QString anchorUser;
    qint64 maxConcurrentScanTasks = 4;
    UILanguage uiLanguage = UILanguage::bilingual;
    bool unifiedTargetManagementEnabled = true;
    std::optional<QString> managedTargetRoot;
    bool showHiddenFiles = true;
    bool realtimeRefreshEnabled = false;
    bool strictModeEnabled = true;
    bool presentationPrivacyEnabled = false;
    bool smartMigrationEnabled = false;
    SmartMigrationProfile smartMigrationProfile = SmartMigrationProfile::other;
    QString backendBaseURL = defaultServiceEndpoint();

    // Defaults for the account `currentUser`; the scan root is that user's home folder.
    static AppConfig defaults(const QString& currentUser);

    // Five keys are required; the others take their defaults when missing or null. Any wrong type or
    // unknown enumeration text raises json::DecodeError.
    static AppConfig fromJson(const QJsonObject& object);
    // All fields; managedTargetRoot only when it has a value.
    QJsonObject toJson() const;

    bool operator==(const AppConfig&) const = default;
};

// The scan concurrency the walkers use: the stored setting clamped to 1..16.
int effectiveScanConcurrency(const AppConfig& config);

} // namespace orvalink
