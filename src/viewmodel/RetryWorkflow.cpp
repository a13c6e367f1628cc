#include "viewmodel/RetryWorkflow.h"

#include "model/OrvalinkError.h"
#include "viewmodel/ErrorText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MigrationFailureText.h"
#include "viewmodel/ProgressMonitor.h"
#include "viewmodel/ScopedDiskServices.h"
#include "viewmodel/WorkflowSupport.h"

#include <QFileInfo>

namespace orvalink {

namespace {

QString retryTitle(const MainViewModel& viewModel, std::optional<ForcedMigrationMode> mode, bool terminate)
{
    if (terminate)
        return viewModel.localized(QStringLiteral("终止占用后重试迁移"),
                                   QStringLiteral("Terminate Holders and Retry"));
    if (!mode)
        return viewModel.localized(QStringLiteral("重试迁移"), QStringLiteral("Retry Migration"));
    if (*mode == ForcedMigrationMode::append)
        return viewModel.localized(QStringLiteral("追加迁移"), QStringLiteral("Append Migrate"));
    return viewModel.localized(QStringLiteral("覆盖迁移"), QStringLiteral("Overwrite Migrate"));
}

void showRetryFailure(MainViewModel& viewModel, const FailedMigrationRecord& updated)
{
    if (updated.errorCode == QStringLiteral("E003")) {
        const QString text = viewModel.localized(
            QStringLiteral("迁移目录涉及受保护位置，需要系统管理员权限。你可以立即获取权限后再重试。"),
            QStringLiteral(
                "Migrating this directory touches a protected location and needs macOS administrator "
                "access. Get permission now and retry."));
        viewModel.setInfoMessage(text);
        viewModel.setAccessRequirementPrompt(AccessRequirementPrompt{
            QUuid::createUuid(), AccessRequirementPrompt::Kind::requiresAdministratorAuthorization,
            viewModel.localized(QStringLiteral("需要管理员权限"),
                                QStringLiteral("Administrator Access Required")),
            text});
        return;
    }
    viewModel.setErrorMessage(localizedMigrationFailureMessage(viewModel, updated.errorMessage));
}

QCoro::Task<> runRetry(MainViewModel& viewModel, FailedMigrationRecord record,
                       std::optional<ForcedMigrationMode> forceMode, bool terminateProcesses,
                       std::shared_ptr<const ScopedDiskServices> services)
{
    const QString estimatePath =
        forceMode && !record.targetPath.isEmpty() ? record.targetPath : record.sourcePath;
    auto estimating = estimateBytesForProgress(viewModel, estimatePath);
    const qint64 expected = co_await std::move(estimating);

    beginProgress(viewModel, retryTitle(viewModel, forceMode, terminateProcesses), 1, expected);
    viewModel.setMigrationCurrentPath(record.sourcePath);

    const AppConfig runConfig = engineConfig(viewModel);
    const qint64 base = viewModel.migrationProcessedBytes();
    auto monitor =
        ProgressMonitor::start(viewModel, plannedTargetPath(viewModel, record.sourcePath), expected, base);
    const QString source = record.sourcePath;
    auto work =
        viewModel.background().runCatching([services, source, runConfig, forceMode, terminateProcesses] {
            return services->engine().retryMigration(source, runConfig, forceMode, terminateProcesses);
        });
    auto outcome = co_await std::move(work);
    co_await stopProgressMonitor(std::move(monitor));

    MigrationExecutionResult result;
    if (outcome.succeeded()) {
        result = outcome.value();
    } else {
        result.task.id = QUuid::createUuid();
        result.task.sourcePath = source;
        result.task.status = TaskStatus::failed;
        result.task.errorMessage = localizedDescription(outcome.error());
    }
    const MigrationTask& task = result.task;
    viewModel.setIsMigrating(false);
    viewModel.setMigrationCurrentPath(std::nullopt);
    QList<MigrationTask> tasks = viewModel.tasks();
    tasks.prepend(task);
    viewModel.setTasks(tasks);

    const QDateTime finishedAt = task.endedAt.value_or(viewModel.workflowSettings().clock());
    if (task.status == TaskStatus::completed) {
        finishSingleItemProgress(viewModel, true);
        QList<FailedMigrationRecord> failed = viewModel.recentFailedMigrationPaths();
        failed.removeIf([&](const FailedMigrationRecord& item) { return item.id == record.id; });
        viewModel.setRecentFailedMigrationPaths(failed);
        QList<MigrationPathRecord> done = viewModel.recentMigrationPaths();
        done.prepend({QUuid::createUuid(), task.sourcePath, task.targetPath, finishedAt});
        viewModel.setRecentMigrationPaths(done);
        auto reload = reloadAfterDiskWork(viewModel);
        co_await std::move(reload);
        viewModel.setInfoMessage(forceMigrationSuccessMessage(
            viewModel, record.sourcePath, result.forceMigrationSummary, result.terminatedProcesses));
        co_return;
    }
    finishSingleItemProgress(viewModel, false);
    const FailedMigrationRecord updated{
        record.id,
        record.sourcePath,
        task.targetPath.isEmpty() ? record.targetPath : task.targetPath,
        finishedAt,
        task.status,
        task.errorCode,
        task.errorMessage.value_or(
            viewModel.localized(QStringLiteral("迁移失败。"), QStringLiteral("Migration failed."))),
    };
    replaceFailedMigrationRecord(viewModel, updated);
    showRetryFailure(viewModel, updated);
}

} // namespace

QCoro::Task<> retryFailedMigration(MainViewModel& viewModel, FailedMigrationRecord record,
                                   std::optional<ForcedMigrationMode> forceMode, bool terminateProcesses)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    // Busy before the size estimate: a second press meanwhile must not start a second engine.
    viewModel.setIsMigrating(true);
    viewModel.setErrorMessage(std::nullopt);
    viewModel.setMigrationConflictPrompt(std::nullopt);
    try {
        auto retry = runRetry(viewModel, record, forceMode, terminateProcesses,
                              ScopedDiskServices::capture(viewModel));
        co_await std::move(retry);
    } catch (const std::exception& error) {
        viewModel.setIsMigrating(false);
        viewModel.setErrorMessage(localizedDescription(error));
    }
}

void replaceFailedMigrationRecord(MainViewModel& viewModel, const FailedMigrationRecord& record)
{
    QList<FailedMigrationRecord> failed = viewModel.recentFailedMigrationPaths();
    const auto found = std::find_if(failed.begin(), failed.end(),
                                    [&](const FailedMigrationRecord& item) { return item.id == record.id; });
    if (found != failed.end())
        *found = record;
    else
        failed.prepend(record);
    viewModel.setRecentFailedMigrationPaths(failed);
}

void presentMigrationConflictPrompt(MainViewModel& viewModel, const FailedMigrationRecord& record)
{
    const QString source = viewModel.displayPath(record.sourcePath);
    const QString target = viewModel.displayPath(record.targetPath);
    QString message;
    if (record.errorCode == QStringLiteral("E004")) {
        message = viewModel.localized(
            QStringLiteral("目标位置已存在同名目录或文件。\n\n源路径：") + source +
                QStringLiteral("\n目标路径：") + target +
                QStringLiteral("\n\n追加迁移（推荐）：把当前源目录里的内容合并进现有目标目录，同名冲突会优先"
                               "保留当前源目录的数据，并把目标侧旧内容另存到隐藏备份路径。\n覆盖迁移：把现有"
                               "目标目录整体另存到隐藏备份路径，再用当前源目录重新迁移过去。"),
            QStringLiteral("The target already contains a file or folder with the same path.\n\nSource: ") +
                source + QStringLiteral("\nTarget: ") + target +
                QStringLiteral(
                    "\n\nAppend Migrate (Recommended): merge the current source contents into the existing "
                    "target, keep the current source as the primary copy, and preserve older target-side "
                    "conflicts in hidden backup paths.\nOverwrite Migrate: preserve the current target in a "
                    "hidden backup path, then migrate the source again."));
    } else {
        message = viewModel.localized(
            QStringLiteral("迁移最后一步发现原路径又被重新创建或占用了。\n\n源路径：") + source +
                QStringLiteral("\n目标路径：") + target +
                QStringLiteral(
                    "\n\n追加迁移（推荐）：把原路径里新出现的内容合并进已迁移目录，再把原路径重新替换成链接。"
                    "\n覆盖迁移：先把当前原路径另存到隐藏备份路径，再把原路径重新替换成链接。"),
            QStringLiteral("The original path was recreated or occupied again during the final migration "
                           "step.\n\nSource: ") +
                source + QStringLiteral("\nTarget: ") + target +
                QStringLiteral(
                    "\n\nAppend Migrate (Recommended): merge the newly recreated source-side contents into "
                    "the migrated target, then replace the source path with a link again.\nOverwrite "
                    "Migrate: preserve the current source path in a hidden backup path first, then replace "
                    "it with the link again."));
    }
    viewModel.setMigrationConflictPrompt(
        MigrationConflictPrompt{QUuid::createUuid(), record,
                                viewModel.localized(QStringLiteral("选择强制迁移方式"),
                                                    QStringLiteral("Choose a Force Migration Mode")),
                                message});
    viewModel.setInfoMessage(viewModel.localized(
        QStringLiteral("检测到可强制处理的迁移冲突，请选择“追加迁移（推荐）”或“覆盖迁移”。"),
        QStringLiteral(
            "A migration conflict can be force-resolved. Choose Append Migrate (Recommended) or Overwrite "
            "Migrate.")));
}

QString forceMigrationSuccessMessage(const MainViewModel& viewModel, const QString& sourcePath,
                                     const std::optional<ForceMigrationSummary>& summary,
                                     const QStringList& terminatedProcesses)
{
    const QString name = QFileInfo(sourcePath).fileName();
    const QString holders = terminatedProcesses.join(QStringLiteral("、"));
    const auto terminatedText = [&] {
        return viewModel.localized(QStringLiteral("已终止占用程序并完成迁移：") + name +
                                       QStringLiteral("。已处理：") + holders + QStringLiteral("。"),
                                   QStringLiteral("Terminated holders and migrated ") + name +
                                       QStringLiteral(". Processes handled: ") + holders +
                                       QStringLiteral("."));
    };
    if (!summary) {
        if (terminatedProcesses.isEmpty())
            return viewModel.localized(QStringLiteral("已重新迁移：") + name + QStringLiteral("。"),
                                       QStringLiteral("Migration retried successfully for ") + name +
                                           QStringLiteral("."));
        return terminatedText();
    }
    const bool append = summary->requestedMode == ForcedMigrationMode::append;
    const bool preserved = !summary->preservedPaths.isEmpty();
    const QString first = preserved ? viewModel.displayPath(summary->preservedPaths.constFirst()) : QString();
    const QString merged = QString::number(summary->mergedIncomingItemCount);
    const QString conflicts = QString::number(summary->preservedConflictCount);
    if (preserved && !append)
        return viewModel.localized(
            QStringLiteral("已覆盖迁移：") + name + QStringLiteral("。旧内容已保留到 ") + first +
                QStringLiteral(" 等隐藏备份路径。"),
            QStringLiteral("Overwrite migration completed for ") + name +
                QStringLiteral(". Previous content was preserved in hidden backup paths such as ") + first +
                QStringLiteral("."));
    if (preserved && summary->didAppendMerge && summary->preservedConflictCount > 0)
        return viewModel.localized(
            QStringLiteral("已追加迁移：") + name + QStringLiteral("。已合并 ") + merged +
                QStringLiteral(" 项内容，并把 ") + conflicts + QStringLiteral(" 项目标侧旧内容另存到 ") +
                first + QStringLiteral(" 等隐藏备份路径。"),
            QStringLiteral("Append migration completed for ") + name + QStringLiteral(". ") + merged +
                QStringLiteral(" item(s) were merged, and ") + conflicts +
                QStringLiteral(
                    " older target-side conflict(s) were preserved in hidden backup paths such as ") +
                first + QStringLiteral("."));
    if (append && summary->didAppendMerge)
        return viewModel.localized(QStringLiteral("已追加迁移：") + name + QStringLiteral("。已合并 ") +
                                       merged + QStringLiteral(" 项内容。"),
                                   QStringLiteral("Append migration completed for ") + name +
                                       QStringLiteral(". ") + merged +
                                       QStringLiteral(" item(s) were merged."));
    if (preserved)
        return viewModel.localized(QStringLiteral("已完成强制迁移：") + name +
                                       QStringLiteral("。当前占位内容已先保留到 ") + first +
                                       QStringLiteral("，再完成迁移。"),
                                   QStringLiteral("Forced migration completed for ") + name +
                                       QStringLiteral(". The occupying content was preserved at ") + first +
                                       QStringLiteral(" before migration continued."));
    if (!terminatedProcesses.isEmpty())
        return terminatedText();
    return viewModel.localized(QStringLiteral("已完成强制迁移：") + name + QStringLiteral("。"),
                               QStringLiteral("Forced migration completed for ") + name +
                                   QStringLiteral("."));
}

} // namespace orvalink
