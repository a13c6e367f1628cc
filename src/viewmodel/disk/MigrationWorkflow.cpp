#include "viewmodel/disk/MigrationWorkflow.h"

#include "diskops/PathMappingService.h"
#include "diskops/SelectionService.h"
#include "model/OrvalinkError.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/MigrationItemRun.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/Presentation.h"

#include <algorithm>

namespace orvalink {

namespace {

// The refusal of a selection, or none when it may run.
std::optional<BilingualText> selectionRefusal(DiskWorkContext& context, QStringList& paths, bool& asError)
{
    asError = true;
    const QSet<QString>& selected = context.browsing().selectedPaths();
    if (selected.isEmpty()) {
        asError = false;
        return BilingualText("未选择文件或目录。", "No file or folder selected.");
    }
    try {
        context.services().selectionService->validateNoParentChildConflict(selected);
    } catch (const OrvalinkError& error) {
        if (error.errorCase() != OrvalinkError::Case::parentChildConflict)
            return localizedMigrationFailureMessage(std::current_exception());
        return BilingualText(
            QStringLiteral("所选目录存在父子级冲突，请不要同时选择上级目录和它内部的子目录。\n\n上级目录：") +
                error.parent() + QStringLiteral("\n子目录：") + error.child(),
            QStringLiteral(
                "The selected directories include a parent-child conflict. Do not select a parent folder and "
                "one of its nested child folders at the same time.\n\nParent: ") +
                error.parent() + QStringLiteral("\nChild: ") + error.child());
    } catch (const std::exception&) {
        return localizedMigrationFailureMessage(std::current_exception());
    }
    paths = SelectionService::normalized(selected);
    // Items run in ascending path order, whatever order the set gave.
    std::sort(paths.begin(), paths.end());
    const QStringList blocked = blockedMigrationPaths(context, paths, context.browsing().config());
    if (!blocked.isEmpty())
        return blockedMigrationPathsText(blocked);
    return context.smartMigrationValidationMessage(paths);
}

void removeFromSelection(DiskWorkContext& context, const QString& path)
{
    QSet<QString> selected = context.browsing().selectedPaths();
    selected.remove(path);
    context.browsing().setSelectedPaths(selected);
    context.updateSelectedSize();
}

struct RunCounts {
    qint64 succeeded = 0;
    qint64 failed = 0;
};

// Stops without touching anything once `ticket` is stale: the engine call itself always runs to its
// end (migrated with its link, or rolled back), whatever happens to the owner meanwhile.
QCoro::Task<> migrateOne(DiskWorkContext& context, FlowTicket ticket, QString path, qint64 expected,
                         std::shared_ptr<const ScopedDiskServices> services, AppConfig runConfig,
                         RunCounts* counts)
{
    MigrationItemRun item(context, std::move(services), std::move(runConfig),
                          {path, expected, std::nullopt, false});
    auto running = item.execute(ticket);
    if (!co_await std::move(running))
        co_return;

    if (item.failed()) {
        ++counts->failed;
        context.activity().setMigrationFailedItems(context.activity().migrationFailedItems() + 1);
        removeFromSelection(context, path);
        QList<FailedMigrationRecord> failed = context.history().recentFailedMigrations();
        failed.prepend(item.failureRecord(QUuid::createUuid(), item.plannedTargetPath()));
        context.history().setRecentFailedMigrations(failed);
        context.activity().setMigrationProcessedBytes(item.baseBytes() + expected);
    } else if (item.succeeded()) {
        ++counts->succeeded;
        context.activity().setMigrationSucceededItems(context.activity().migrationSucceededItems() + 1);
        removeFromSelection(context, path);
        item.recordSuccess();
        context.activity().setMigrationProcessedBytes(item.baseBytes() + expected);
    }
    context.activity().setMigrationProcessedItems(context.activity().migrationProcessedItems() + 1);
}

BilingualText summaryText(const DiskWorkContext& context, const RunCounts& counts)
{
    const QString s = QString::number(counts.succeeded);
    const QString f = QString::number(counts.failed);
    const QList<FailedMigrationRecord>& failed = context.history().recentFailedMigrations();
    if (counts.failed > 0 && !failed.isEmpty()) {
        // The list is newest first: the first failure of the run is its last record.
        // The reason is bilingual itself: each half of the summary holds its own language's.
        return BilingualText("迁移完成。成功：%1，失败：%2。首个失败原因：%3",
                             "Migration done. Success: %1, failed: %2. First failure: %3")
            .arg(s, f, failedItemText(failed.constLast()));
    }
    return BilingualText(QStringLiteral("迁移完成。成功：") + s + QStringLiteral("，失败：") + f +
                             QStringLiteral("。"),
                         QStringLiteral("Migration done. Success: ") + s + QStringLiteral(", failed: ") + f +
                             QStringLiteral("."));
}

QCoro::Task<> runBatch(DiskWorkContext& context, FlowTicket ticket, QStringList paths,
                       std::shared_ptr<const ScopedDiskServices> services)
{
    QHash<QString, qint64> listed;
    for (const DirectoryEntry& entry : context.browsing().entries())
        listed.insert(entry.path, entry.sizeBytes);
    auto sizing = resolveMigrationSizeByPath(context, paths, listed);
    const QHash<QString, qint64> sizeByPath = co_await std::move(sizing);
    if (!ticket.isAlive())
        co_return;

    qint64 totalBytes = 0;
    for (const QString& path : paths)
        totalBytes += std::max<qint64>(0, sizeByPath.value(path, 0));
    beginProgress(context, {QStringLiteral("迁移"), QStringLiteral("Migration")}, paths.size(), totalBytes);

    const AppConfig runConfig = engineConfig(context);
    RunCounts counts;
    for (const QString& path : paths) {
        auto next = nextItemMayStart(context, ticket);
        if (!co_await std::move(next))
            co_return;
        auto item = migrateOne(context, ticket, path, std::max<qint64>(0, sizeByPath.value(path, 0)),
                               services, runConfig, &counts);
        co_await std::move(item);
    }
    if (!ticket.isAlive())
        co_return;

    context.activity().setMigrationCurrentPath(std::nullopt);
    context.activity().setMigrationProcessedItems(
        std::min(context.activity().migrationProcessedItems(), context.activity().migrationTotalItems()));
    if (context.activity().migrationTotalBytes() > 0)
        context.activity().setMigrationProcessedBytes(
            std::min(context.activity().migrationProcessedBytes(), context.activity().migrationTotalBytes()));
    auto reload = reloadAfterDiskWork(context);
    co_await std::move(reload);
    if (!ticket.isAlive())
        co_return;
    // The disk work ends with its answer: nothing else starts, and no other answer comes, between.
    context.activity().setDiskWork(DiskWork::none);
    context.activity().setInfoMessage(summaryText(context, counts));
}

} // namespace

QCoro::Task<> migrateSelectedItems(DiskWorkContext& context)
{
    if (!mayStartDiskWork(context))
        co_return;
    QStringList paths;
    bool asError = true;
    if (const auto refusal = selectionRefusal(context, paths, asError)) {
        if (asError)
            context.activity().setErrorMessage(*refusal);
        else
            context.activity().setInfoMessage(*refusal);
        co_return;
    }
    beginRun(context, DiskWork::migration);
    // The history scope of the whole run is the one in use when it starts.
    auto batch = runBatch(context, context.ticket(), paths, context.captureServices());
    co_await guardDiskWork(context, std::move(batch));
}

QStringList blockedMigrationPaths(const DiskWorkContext& context, const QStringList& paths,
                                  const AppConfig& config)
{
    QStringList blocked;
    if (!config.strictModeEnabled)
        return blocked;
    for (const QString& path : paths) {
        try {
            context.pathMappingService().validateMigrationSource(path, config.anchorUser, true);
        } catch (...) {
            blocked.append(path);
        }
    }
    return blocked;
}

QCoro::Task<QHash<QString, qint64>> resolveMigrationSizeByPath(DiskWorkContext& context, QStringList paths,
                                                               QHash<QString, qint64> listedSizeByPath)
{
    const FlowTicket ticket = context.ticket();
    QHash<QString, qint64> sizes;
    for (const QString& path : paths) {
        const qint64 listed = listedSizeByPath.value(path, 0);
        if (listed > 0) {
            sizes.insert(path, listed);
            continue;
        }
        if (!ticket.isAlive())
            break;
        auto measuring = estimateBytesForProgress(context, path);
        sizes.insert(path, std::max<qint64>(0, co_await std::move(measuring)));
    }
    co_return sizes;
}

} // namespace orvalink
