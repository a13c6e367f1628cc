#include "viewmodel/WorkflowSupport.h"

#include "viewmodel/MainViewModel.h"

#include <algorithm>

namespace orvalink {

bool isDiskWorkBusy(const MainViewModel& viewModel)
{
    return viewModel.isMigrating() || viewModel.isUndoing() || viewModel.isRepairingLinks();
}

AppConfig engineConfig(const MainViewModel& viewModel)
{
    AppConfig config = viewModel.config();
    config.defaultTargetRoot = viewModel.effectiveTargetRoot();
    return config;
}

std::optional<QString> plannedTargetPath(const MainViewModel& viewModel, const QString& sourcePath)
{
    return plannedTargetPath(viewModel, sourcePath, engineConfig(viewModel));
}

std::optional<QString> plannedTargetPath(const MainViewModel& viewModel, const QString& sourcePath,
                                         const AppConfig& settings)
{
    try {
        return viewModel.pathMappingService().buildTargetPath(
            sourcePath, settings.defaultTargetRoot, settings.anchorUser, settings.strictModeEnabled);
    } catch (...) {
        return std::nullopt;
    }
}

QCoro::Task<> reloadAfterDiskWork(MainViewModel& viewModel)
{
    viewModel.reloadPersistedState();
    viewModel.setAvailableVolumes(viewModel.parts().volumeService->listVolumes());
    viewModel.refreshStorageUsageSnapshot();
    viewModel.updateSelectedSize(viewModel.entries());
    co_await viewModel.loadCurrentDirectoryForNavigation(true);
}

void beginProgress(MainViewModel& viewModel, const QString& title, qint64 totalItems, qint64 totalBytes)
{
    viewModel.setCurrentOperationTitle(title);
    viewModel.setMigrationTotalItems(totalItems);
    viewModel.setMigrationProcessedItems(0);
    viewModel.setMigrationSucceededItems(0);
    viewModel.setMigrationFailedItems(0);
    viewModel.setMigrationCurrentPath(std::nullopt);
    viewModel.setMigrationTotalBytes(std::max<qint64>(0, totalBytes));
    viewModel.setMigrationProcessedBytes(0);
}

} // namespace orvalink
