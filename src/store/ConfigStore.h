#pragma once

#include "model/AppConfig.h"

#include <QByteArray>
#include <QString>

namespace orvalink {

// Owns "config.json". load() never fails: whatever goes wrong, the caller gets usable settings.
// A file that cannot be read back is never overwritten in place: the first save over it keeps it
// beside itself as "config.json.invalid-<UTC timestamp>" for manual repair.
class ConfigStore {
public:
    explicit ConfigStore(QString filePath);

    const QString& filePath() const { return m_filePath; }

    // Creates the file with defaults when missing, corrects outdated stored values in the file, and
    // lays the ORVALINK_BACKEND_BASE_URL override over the result.
    AppConfig load();

    // Writes the whole record atomically. Throws platform::PlatformError.
    void save(const AppConfig& config);

    // The file form: pretty-printed with sorted keys.
    static QByteArray encode(const AppConfig& config);

    // True for the loopback development addresses and the retired public addresses of the
    // service, which are replaced by the default service endpoint.
    static bool shouldMigrateToOfficialBackendBaseURL(const QString& value);

    // A blank or retired address becomes the default endpoint; then a non-blank
    // ORVALINK_BACKEND_BASE_URL (trimmed) replaces it.
    static AppConfig applyEnvironmentOverrides(AppConfig config);

private:
    void preserveUnreadableFile();

    QString m_filePath;
    bool m_fileIsUnreadable = false;
};

} // namespace orvalink
