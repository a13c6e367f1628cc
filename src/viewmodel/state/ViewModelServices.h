#pragma once

#include "backend/BackendAuthService.h"
#include "backend/BackendFeedbackService.h"
#include "backend/BackendMigrationSyncService.h"
#include "diskops/ActiveProcessService.h"
#include "diskops/MigrationEngine.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "diskops/ScanService.h"
#include "diskops/SelectionService.h"
#include "diskops/VolumeService.h"
#include "store/ConfigStore.h"
#include "store/HistoryStores.h"
#include "store/LogService.h"
#include "store/ScanCacheStore.h"

#include <QNetworkAccessManager>
#include <memory>

namespace orvalink {

// The stores and services the state object is built from. Objects that background work uses are
// shared, so the history stores and the log can be handed to the disk services built from them
// and a scope change on a store is seen by all of them at once.
struct ViewModelServices {
    // Declared first so that it outlives the clients that send through it.
    std::unique_ptr<QNetworkAccessManager> ownedNetwork;

    std::unique_ptr<ConfigStore> configStore;
    std::shared_ptr<ScanCacheStore> scanCacheStore;
    std::shared_ptr<TaskStore> taskStore;
    std::shared_ptr<MappingStore> mappingStore;
    std::shared_ptr<ScanService> scanService;
    std::shared_ptr<SelectionService> selectionService;
    std::shared_ptr<VolumeService> volumeService;
    std::shared_ptr<LogService> logService;
    // Finds and ends the processes that hold a path (tests shorten its deadline).
    std::shared_ptr<ActiveProcessService> activeProcessService;
    // Runs the administrator commands (tests give it a runner that needs no password dialog).
    std::shared_ptr<PrivilegedFileOperationService> privilegedFileOperations;
    // Shared with the account flows that await them: a reply may resume a flow after the state
    // object is gone, and the service's own code then still runs on a live object.
    std::shared_ptr<BackendAuthService> backendAuthService;
    std::shared_ptr<BackendMigrationSyncService> backendMigrationSyncService;
    std::shared_ptr<BackendFeedbackService> backendFeedbackService;
    // Called on the worker thread once an item of a migration or retry has moved into its staging
    // sibling, before it is copied to the target; none in the program. Tests hold the copy there to
    // act while an item is midway, whatever the speed of the disk.
    MigrationEngine::StagedCallback migrationStaged;

    // Every service on the files of the application-support directory and the log file, with guest
    // history scopes; nothing is read or written yet. Each account service has a client of its own;
    // all of them send through `network`, or through an access manager made for them when none is
    // given (main thread only).
    static ViewModelServices standard(QNetworkAccessManager* network = nullptr);
};

} // namespace orvalink
