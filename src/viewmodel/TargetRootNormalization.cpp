#include "viewmodel/TargetRootNormalization.h"

#include "platform/StandardPath.h"

#include <optional>

namespace orvalink {

AppConfig normalizedTargetConfig(const AppConfig& config)
{
    AppConfig normalized = config;
    const QString target = platform::standardizedPath(config.defaultTargetRoot);
    std::optional<QString> managed;
    if (config.managedTargetRoot) {
        const QString trimmed = config.managedTargetRoot->trimmed();
        if (!trimmed.isEmpty())
            managed = platform::standardizedPath(trimmed);
    }
    if (!config.unifiedTargetManagementEnabled) {
        normalized.defaultTargetRoot = target;
        normalized.managedTargetRoot = managed;
    } else {
        const QString root = managed.value_or(target);
        normalized.defaultTargetRoot = root;
        normalized.managedTargetRoot = root;
    }
    normalized.backendBaseURL = normalizedBackendBaseURL(config.backendBaseURL);
    return normalized;
}

QString normalizedBackendBaseURL(const QString& value)
{
    QString text = value.trimmed();
    if (text.isEmpty())
        return defaultServiceEndpoint();
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("http://"));
    if (text.endsWith(QLatin1Char('/')))
        text.chop(1);
    if (text == QLatin1String("http://127.0.0.1:8080"))
        return defaultServiceEndpoint();
    return text;
}

bool hasManagedTargetRoot(const AppConfig& config)
{
    return config.managedTargetRoot && !config.managedTargetRoot->isEmpty();
}

bool isUnifiedTargetLocked(const AppConfig& config)
{
    return config.unifiedTargetManagementEnabled && hasManagedTargetRoot(config);
}

QString effectiveTargetRoot(const AppConfig& config)
{
    return isUnifiedTargetLocked(config) ? *config.managedTargetRoot : config.defaultTargetRoot;
}

} // namespace orvalink
