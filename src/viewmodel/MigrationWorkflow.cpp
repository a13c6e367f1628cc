#include "viewmodel/MigrationWorkflow.h"

#include "diskops/SelectionService.h"
#include "model/OrvalinkError.h"
#include "viewmodel/ErrorText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MigrationFailureText.h"
#include "viewmodel/ProgressMonitor.h"
#include "viewmodel/ScopedDiskServices.h"
#include "viewmodel/WorkflowSupport.h"

#include <algorithm>

namespace orvalink {

namespace {

// The refusal of a selection, or none when it may run.
std::optional<QString> selectionRefusal(MainViewModel& viewModel, QStringList& paths, bool& asError)
{
    asError = true;
    const QSet<QString>& selected = viewModel.selectedPaths();
    if (selected.isEmpty()) {
        asError = false;
        return viewModel.localized(QStringLiteral("未选择文件或目录。"),
                                   QStringLiteral("No file or folder selected."));
    }
    try {
        viewModel.parts().selectionService->validateNoParentChildConflict(selected);
    } catch (const OrvalinkError& error) {
        if (error.errorCase() != OrvalinkError::Case::parentChildConflict)
            return localizedDescription(error);
        return viewModel.localized(
            QStringLiteral("所选目录存在父子级冲突，请不要同时选择上级目录和它内部的子目录。\n\n上级目录：") +
                error.parent() + QStringLiteral("\n子目录：") + error.child(),
            QStringLiteral(
                "The selected directories include a parent-child conflict. Do not select a parent folder and "
                "one of its nested child folders at the same time.\n\nParent: ") +
                error.parent() + QStringLiteral("\nChild: ") + error.child());
    } catch (const std::exception& error) {
        return localizedDescription(error);
    }
    paths = SelectionService::normalized(selected);
    // Items run in ascending path order, whatever order the set gave.
    std::sort(paths.begin(), paths.end());
    const QStringList blocked = blockedMigrationPaths(viewModel, paths, viewModel.config());
    if (!blocked.isEmpty())
        return blockedMigrationPathsText(viewModel, blocked);
    return smartMigrationValidationMessage(viewModel, paths);
}

void removeFromSelection(MainViewModel& viewModel, const QString& path)
{
    QSet<QString> selected = viewModel.selectedPaths();
    selected.remove(path);
    viewModel.setSelectedPaths(selected);
    viewModel.updateSelectedSize(viewModel.entries());
}

struct RunCounts {
    qint64 succeeded = 0;
    qint64 failed = 0;
};

QCoro::Task<> migrateOne(MainViewModel& viewModel, QString path, qint64 expected,
                         std::shared_ptr<const ScopedDiskServices> services, AppConfig runConfig,
                         RunCounts* counts)
{
    const qint64 base = viewModel.migrationProcessedBytes();
    viewModel.setMigrationCurrentPath(path);
    // The root and rules read at the start of the run, like the engine's: a root changed meanwhile
    // must not split the batch.
    const std::optional<QString> builtTarget = plannedTargetPath(viewModel, path, runConfig);
    auto monitor = ProgressMonitor::start(viewModel, builtTarget, expected, base);
    auto work = viewModel.background().runCatching([services, path, runConfig] {
        return services->engine().retryMigration(path, runConfig, std::nullopt, false).task;
    });
    auto outcome = co_await std::move(work);
    co_await stopProgressMonitor(std::move(monitor));

    MigrationTask task;
    if (outcome.succeeded()) {
        task = outcome.value();
    } else {
        // The engine reports failures in its task; should it throw after all, the item still
        // counts as failed rather than ending the batch.
        task.id = QUuid::createUuid();
        task.sourcePath = path;
        task.status = TaskStatus::failed;
        task.errorMessage = localizedDescription(outcome.error());
    }
    const QString recordTarget =
        !task.targetPath.isEmpty() ? task.targetPath : builtTarget.value_or(QString());
    const QDateTime finishedAt = task.endedAt.value_or(viewModel.workflowSettings().clock());
    if (task.status == TaskStatus::failed || task.status == TaskStatus::rolledBack) {
        ++counts->failed;
        viewModel.setMigrationFailedItems(viewModel.migrationFailedItems() + 1);
        removeFromSelection(viewModel, path);
        const QString fallback =
            task.status == TaskStatus::rolledBack
                ? viewModel.localized(QStringLiteral("迁移失败，已自动回滚。"),
                                      QStringLiteral("Migration failed and was rolled back."))
                : viewModel.localized(QStringLiteral("迁移失败。"), QStringLiteral("Migration failed."));
        QList<FailedMigrationRecord> failed = viewModel.recentFailedMigrationPaths();
        failed.prepend({QUuid::createUuid(), path, recordTarget, finishedAt, task.status, task.errorCode,
                        task.errorMessage.value_or(fallback)});
        viewModel.setRecentFailedMigrationPaths(failed);
        viewModel.setMigrationProcessedBytes(base + expected);
    } else if (task.status == TaskStatus::completed) {
        ++counts->succeeded;
        viewModel.setMigrationSucceededItems(viewModel.migrationSucceededItems() + 1);
        removeFromSelection(viewModel, path);
        QList<MigrationPathRecord> done = viewModel.recentMigrationPaths();
        done.prepend({QUuid::createUuid(), path, recordTarget, finishedAt});
        viewModel.setRecentMigrationPaths(done);
        viewModel.setMigrationProcessedBytes(base + expected);
    }
    QList<MigrationTask> tasks = viewModel.tasks();
    tasks.prepend(task);
    viewModel.setTasks(tasks);
    viewModel.setMigrationProcessedItems(viewModel.migrationProcessedItems() + 1);
}

QString summaryText(const MainViewModel& viewModel, const RunCounts& counts)
{
    const QString s = QString::number(counts.succeeded);
    const QString f = QString::number(counts.failed);
    const QList<FailedMigrationRecord>& failed = viewModel.recentFailedMigrationPaths();
    if (counts.failed > 0 && !failed.isEmpty()) {
        // The list is newest first: the first failure of the run is its last record.
        const QString reason = localizedMigrationFailureMessage(viewModel, failed.constLast().errorMessage);
        return viewModel.localized(QStringLiteral("迁移完成。成功：") + s + QStringLiteral("，失败：") + f +
                                       QStringLiteral("。首个失败原因：") + reason,
                                   QStringLiteral("Migration done. Success: ") + s +
                                       QStringLiteral(", failed: ") + f +
                                       QStringLiteral(". First failure: ") + reason);
    }
    return viewModel.localized(QStringLiteral("迁移完成。成功：") + s + QStringLiteral("，失败：") + f +
                                   QStringLiteral("。"),
                               QStringLiteral("Migration done. Success: ") + s +
                                   QStringLiteral(", failed: ") + f + QStringLiteral("."));
}

QCoro::Task<> runBatch(MainViewModel& viewModel, QStringList paths,
                       std::shared_ptr<const ScopedDiskServices> services)
{
    QHash<QString, qint64> listed;
    for (const DirectoryEntry& entry : viewModel.entries())
        listed.insert(entry.path, entry.sizeBytes);
    auto sizing = resolveMigrationSizeByPath(viewModel, paths, listed);
    const QHash<QString, qint64> sizeByPath = co_await std::move(sizing);

    qint64 totalBytes = 0;
    for (const QString& path : paths)
        totalBytes += std::max<qint64>(0, sizeByPath.value(path, 0));
    beginProgress(viewModel, viewModel.localized(QStringLiteral("迁移"), QStringLiteral("Migration")),
                  paths.size(), totalBytes);

    const AppConfig runConfig = engineConfig(viewModel);
    RunCounts counts;
    for (const QString& path : paths) {
        auto item = migrateOne(viewModel, path, std::max<qint64>(0, sizeByPath.value(path, 0)), services,
                               runConfig, &counts);
        co_await std::move(item);
    }

    viewModel.setIsMigrating(false);
    viewModel.setMigrationCurrentPath(std::nullopt);
    viewModel.setMigrationProcessedItems(
        std::min(viewModel.migrationProcessedItems(), viewModel.migrationTotalItems()));
    if (viewModel.migrationTotalBytes() > 0)
        viewModel.setMigrationProcessedBytes(
            std::min(viewModel.migrationProcessedBytes(), viewModel.migrationTotalBytes()));
    auto reload = reloadAfterDiskWork(viewModel);
    co_await std::move(reload);
    viewModel.setInfoMessage(summaryText(viewModel, counts));
}

} // namespace

QCoro::Task<> migrateSelectedItems(MainViewModel& viewModel)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    QStringList paths;
    bool asError = true;
    if (const auto refusal = selectionRefusal(viewModel, paths, asError)) {
        if (asError)
            viewModel.setErrorMessage(*refusal);
        else
            viewModel.setInfoMessage(*refusal);
        co_return;
    }
    viewModel.setIsMigrating(true);
    viewModel.setErrorMessage(std::nullopt);
    viewModel.setMigrationConflictPrompt(std::nullopt);
    viewModel.setRecentMigrationPaths({});
    viewModel.setRecentFailedMigrationPaths({});
    try {
        // The history scope of the whole run is the one in use when it starts.
        auto batch = runBatch(viewModel, paths, ScopedDiskServices::capture(viewModel));
        co_await std::move(batch);
    } catch (const std::exception& error) {
        viewModel.setIsMigrating(false);
        viewModel.setErrorMessage(localizedDescription(error));
    }
}

QStringList blockedMigrationPaths(const MainViewModel& viewModel, const QStringList& paths,
                                  const AppConfig& config)
{
    QStringList blocked;
    if (!config.strictModeEnabled)
        return blocked;
    for (const QString& path : paths) {
        try {
            viewModel.pathMappingService().validateMigrationSource(path, config.anchorUser, true);
        } catch (...) {
            blocked.append(path);
        }
    }
    return blocked;
}

std::optional<QString> smartMigrationValidationMessage(const MainViewModel& viewModel,
                                                       const QStringList& paths)
{
    if (!viewModel.smartMigrationEnabled() ||
        viewModel.smartMigrationProfile() != SmartMigrationProfile::wechat)
        return std::nullopt;
    return viewModel.weChatSmartMigrationValidationMessage(paths);
}

QCoro::Task<QHash<QString, qint64>> resolveMigrationSizeByPath(MainViewModel& viewModel, QStringList paths,
                                                               QHash<QString, qint64> listedSizeByPath)
{
    QHash<QString, qint64> sizes;
    for (const QString& path : paths) {
        const qint64 listed = listedSizeByPath.value(path, 0);
        if (listed > 0) {
            sizes.insert(path, listed);
            continue;
        }
        auto measuring = estimateBytesForProgress(viewModel, path);
        sizes.insert(path, std::max<qint64>(0, co_await std::move(measuring)));
    }
    co_return sizes;
}

} // namespace orvalink
