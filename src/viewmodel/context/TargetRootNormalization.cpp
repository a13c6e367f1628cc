#include "viewmodel/context/TargetRootNormalization.h"

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
        // Earlier start-ups recorded the built-in placeholder as the first target; the user never
        // chose it, so it locks nothing.
        if (!trimmed.isEmpty() &&
            platform::standardizedPath(trimmed) != platform::standardizedPath(builtInTargetRoot()))
            managed = platform::standardizedPath(trimmed);
    }
    normalized.defaultTargetRoot = config.unifiedTargetManagementEnabled && managed ? *managed : target;
    normalized.managedTargetRoot = managed;
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
