#include "viewmodel/state/ViewModelParts.h"

#include "model/AppPaths.h"

namespace orvalink {

ViewModelParts ViewModelParts::standard(QNetworkAccessManager* network)
{
    ViewModelParts parts;
    if (!network) {
        parts.ownedNetwork = std::make_unique<QNetworkAccessManager>();
        network = parts.ownedNetwork.get();
    }
    const auto file = [](const char* name) {
        return AppPaths::applicationSupportFile(QString::fromLatin1(name));
    };

    parts.configStore = std::make_unique<ConfigStore>(file("config.json"));
    parts.scanCacheStore = std::make_shared<ScanCacheStore>(file("scan_cache.json"));
    parts.taskStore = std::make_shared<TaskStore>();
    parts.mappingStore = std::make_shared<MappingStore>();
    parts.scanService = std::make_shared<ScanService>();
    parts.volumeService = std::make_shared<VolumeService>();
    parts.selectionService = std::make_shared<SelectionService>();
    parts.logService = std::make_shared<LogService>(AppPaths::logsFile());
    parts.activeProcessService = std::make_shared<ActiveProcessService>();
    parts.privilegedFileOperations =
        std::make_shared<PrivilegedFileOperationService>(platform::ProcessCommandRunner::administrator());
    // The two device identity stores share one file; no client or store is shared between services.
    parts.backendAuthService = std::make_shared<BackendAuthService>(
        BackendAPIClient(network), AuthSessionStore(file("auth_session.json")),
        DeviceIdentityStore(file("device_id.txt")));
    parts.backendMigrationSyncService =
        std::make_shared<BackendMigrationSyncService>(BackendAPIClient(network));
    parts.backendFeedbackService = std::make_shared<BackendFeedbackService>(
        BackendAPIClient(network), DeviceIdentityStore(file("device_id.txt")));
    return parts;
}

} // namespace orvalink
