#include "viewmodel/disk/WorkflowSupport.h"

#include "diskops/PathMappingService.h"
#include "viewmodel/context/WorkflowSettings.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/Presentation.h"

#include <algorithm>

namespace orvalink {

bool mayStartDiskWork(const DiskWorkContext& context)
{
    return !context.isRetired() && !context.activity().isDiskWorkBusy();
}

std::optional<BilingualText> diskWorkRefusal(const DiskWorkContext& context)
{
    if (context.isRetired())
        return std::nullopt;
    switch (context.activity().diskWork()) {
    case DiskWork::none:
    case DiskWork::recovery:
        return std::nullopt;
    case DiskWork::migration:
        return BilingualText("正在迁移，请等它结束后再试。",
                             "A migration is running. Try again once it has finished.");
    case DiskWork::undo:
        return BilingualText("正在反悔迁移，请等它结束后再试。",
                             "An undo is running. Try again once it has finished.");
    case DiskWork::linkRepair:
        return BilingualText("正在修复链接，请等它结束后再试。",
                             "A link repair is running. Try again once it has finished.");
    }
    return std::nullopt;
}

bool mayStartDiskWorkOrSayWhy(DiskWorkContext& context)
{
    if (mayStartDiskWork(context))
        return true;
    if (const std::optional<BilingualText> refusal = diskWorkRefusal(context))
        context.activity().setInfoMessage(*refusal);
    return false;
}

AppConfig engineConfig(const DiskWorkContext& context)
{
    AppConfig config = context.browsing().config();
    config.defaultTargetRoot = context.effectiveTargetRoot();
    return config;
}

std::optional<QString> plannedTargetPath(const DiskWorkContext& context, const QString& sourcePath,
                                         const AppConfig& settings)
{
    try {
        return context.pathMappingService().buildTargetPath(sourcePath, settings.defaultTargetRoot,
                                                            settings.anchorUser, settings.strictModeEnabled);
    } catch (...) {
        return std::nullopt;
    }
}

QCoro::Task<> guardDiskWork(DiskWorkContext& context, QCoro::Task<> flow)
{
    const FlowTicket ticket = context.ticket();
    try {
        co_await std::move(flow);
    } catch (const std::exception&) {
        if (!ticket.isAlive())
            co_return;
        context.activity().setDiskWork(DiskWork::none);
        context.activity().setErrorMessage(localizedMigrationFailureMessage(std::current_exception()));
    }
}

QCoro::Task<> reloadAfterDiskWork(DiskWorkContext& context)
{
    const FlowTicket ticket = context.ticket();
    auto reload = context.reloadPersistedState();
    co_await std::move(reload);
    if (!ticket.isAlive())
        co_return;
    context.browsing().setAvailableVolumes(context.services().volumeService->listVolumes());
    context.refreshStorageUsageSnapshot();
    context.updateSelectedSize();
    co_await context.loadCurrentDirectoryForNavigation(true);
}

QCoro::Task<bool> nextItemMayStart(DiskWorkContext& context, FlowTicket ticket)
{
    if (!ticket.isAlive())
        co_return false;
    if (!context.hold().isHeld())
        co_return true;
    // Nothing of the batch runs while it waits here: the window may close without waiting for it.
    context.activity().setIsBatchHeld(true);
    auto passing = context.hold().passed();
    co_await std::move(passing);
    if (!ticket.isAlive())
        co_return false;
    context.activity().setIsBatchHeld(false);
    co_return true;
}

void beginRun(DiskWorkContext& context, DiskWork work)
{
    beginRunStatus(context, work);
    context.history().setRecentMigrations({});
    context.history().setRecentFailedMigrations({});
    clearOtherRunsRecords(context);
}

void clearOtherRunsRecords(DiskWorkContext& context)
{
    context.history().setLastRestoredPaths({});
    context.history().setUndoLeftovers({});
    context.history().setLastLinkRepair(std::nullopt);
    context.history().setKeptVersions({});
}

void beginRunStatus(DiskWorkContext& context, DiskWork work)
{
    context.activity().setDiskWork(work);
    context.activity().setInfoMessage(std::nullopt);
    context.activity().setErrorMessage(std::nullopt);
    context.activity().setUndoConflictPrompt(std::nullopt);
    context.activity().setMigrationConflictPrompt(std::nullopt);
}

void beginProgress(DiskWorkContext& context, const BilingualText& title, qint64 totalItems, qint64 totalBytes)
{
    beginProgress(context.activity(), title, totalItems, totalBytes);
}

void beginProgress(ActivityState& activity, const BilingualText& title, qint64 totalItems, qint64 totalBytes)
{
    activity.setCurrentOperationTitle(title);
    activity.setMigrationTotalItems(totalItems);
    activity.setMigrationProcessedItems(0);
    activity.setMigrationSucceededItems(0);
    activity.setMigrationFailedItems(0);
    activity.setMigrationCurrentPath(std::nullopt);
    activity.setMigrationTotalBytes(std::max<qint64>(0, totalBytes));
    activity.setMigrationProcessedBytes(0);
    activity.setDiskWorkStep(std::nullopt);
}

} // namespace orvalink
