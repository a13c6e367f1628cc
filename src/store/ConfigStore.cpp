#include "store/ConfigStore.h"

#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/UserLocations.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonParseError>
#include <array>

namespace orvalink {

namespace {

constexpr qint64 kOutdatedSizeThreshold = 1073741824;
constexpr qint64 kSizeThresholdReplacement = 10485760;

// True when the bytes parse as a JSON object that has no entry for `key` (null counts as present).
bool configFileMissingKey(const char* key, const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    return !document.object().contains(QLatin1String(key));
}

AppConfig defaultsWithOverrides()
{
    return ConfigStore::applyEnvironmentOverrides(AppConfig::defaults(platform::userName()));
}

} // namespace

ConfigStore::ConfigStore(QString filePath) : m_filePath(std::move(filePath)) {}

QByteArray ConfigStore::encode(const AppConfig& config)
{
    return QJsonDocument(config.toJson()).toJson(QJsonDocument::Indented);
}

AppConfig ConfigStore::load()
{
    try {
        AppPaths::ensureBaseDirectories();
        if (!platform::entryExists(m_filePath)) {
            const AppConfig config = defaultsWithOverrides();
            save(config);
            return config;
        }
        QByteArray bytes;
        AppConfig config;
        try {
            bytes = platform::readWholeFile(m_filePath);
            config = AppConfig::fromJson(json::parseObject(bytes));
        } catch (...) {
            m_fileIsUnreadable = true;
            throw;
        }
        bool rewrite = configFileMissingKey("backendBaseURL", bytes);
        if (config.minLargeSizeBytes == kOutdatedSizeThreshold) {
            config.minLargeSizeBytes = kSizeThresholdReplacement;
            rewrite = true;
        }
        if (shouldMigrateToOfficialBackendBaseURL(config.backendBaseURL)) {
            config.backendBaseURL = defaultServiceEndpoint();
            rewrite = true;
        }
        if (rewrite) {
            try {
                save(config);
            } catch (const platform::PlatformError&) {
                // The corrected values still serve this run; the file keeps its old content.
            }
        }
        return applyEnvironmentOverrides(config);
    } catch (const platform::PlatformError&) {
    } catch (const json::DecodeError&) {
    }
    return defaultsWithOverrides();
}

void ConfigStore::save(const AppConfig& config)
{
    AppPaths::ensureBaseDirectories();
    if (m_fileIsUnreadable)
        preserveUnreadableFile();
    platform::writeFileAtomically(m_filePath, encode(config));
}

void ConfigStore::preserveUnreadableFile()
{
    if (platform::entryExists(m_filePath)) {
        const QString stamp =
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
        QString keep = m_filePath + QStringLiteral(".invalid-") + stamp;
        for (int attempt = 1; platform::entryExists(keep); ++attempt)
            keep = m_filePath + QStringLiteral(".invalid-") + stamp + QStringLiteral("-%1").arg(attempt);
        platform::renameNoReplace(m_filePath, keep);
    }
    m_fileIsUnreadable = false;
}

bool ConfigStore::shouldMigrateToOfficialBackendBaseURL(const QString& value)
{
    static const std::array<const char*, 4> loopbackDevelopment{"http://127.0.0.1:8080", "127.0.0.1:8080",
                                                                "http://localhost:8080", "localhost:8080"};
    const QString trimmed = value.trimmed();
    for (const char* address : loopbackDevelopment) {
        if (trimmed == QLatin1String(address))
            return true;
    }
    // The service has no retired public address yet; list one here when it moves.
    return false;
}

AppConfig ConfigStore::applyEnvironmentOverrides(AppConfig config)
{
    const QString trimmed = config.backendBaseURL.trimmed();
    if (trimmed.isEmpty() || shouldMigrateToOfficialBackendBaseURL(trimmed))
        config.backendBaseURL = defaultServiceEndpoint();
    if (const auto overridden = platform::trimmedEnvironmentValue("ORVALINK_BACKEND_BASE_URL"))
        config.backendBaseURL = *overridden;
    return config;
}

} // namespace orvalink
