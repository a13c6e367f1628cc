#include "viewmodel/state/ViewModelServices.h"

#include "model/AppPaths.h"
#include "model/StoreNames.h"

namespace orvalink {

ViewModelServices ViewModelServices::standard(QNetworkAccessManager* network)
{
    ViewModelServices services;
    if (!network) {
        services.ownedNetwork = std::make_unique<QNetworkAccessManager>();
        network = services.ownedNetwork.get();
    }
    const auto file = [](const QString& name) {
        return AppPaths::applicationSupportFile(name);
    };

    services.configStore = std::make_unique<ConfigStore>(file(StoreNames::config()));
    services.scanCacheStore = std::make_shared<ScanCacheStore>(file(StoreNames::scanCache()));
    services.taskStore = std::make_shared<TaskStore>();
    services.mappingStore = std::make_shared<MappingStore>();
    services.scanService = std::make_shared<ScanService>();
    services.volumeService = std::make_shared<VolumeService>();
    services.selectionService = std::make_shared<SelectionService>();
    services.logService = std::make_shared<LogService>(AppPaths::logsFile());
    services.activeProcessService = std::make_shared<ActiveProcessService>();
    services.privilegedFileOperations =
        std::make_shared<PrivilegedFileOperationService>(platform::ProcessCommandRunner::administrator());
    // The two device identity stores share one file; no client or store is shared between services.
    services.backendAuthService = std::make_shared<BackendAuthService>(
        BackendAPIClient(network), AuthSessionStore(file(StoreNames::authSession())),
        DeviceIdentityStore(file(StoreNames::deviceID())));
    services.backendMigrationSyncService =
        std::make_shared<BackendMigrationSyncService>(BackendAPIClient(network));
    services.backendFeedbackService = std::make_shared<BackendFeedbackService>(
        BackendAPIClient(network), DeviceIdentityStore(file(StoreNames::deviceID())));
    return services;
}

} // namespace orvalink
