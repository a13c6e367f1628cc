#include "viewmodel/disk/RetryWorkflow.h"

#include "model/OrvalinkError.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/MigrationItemRun.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/NameListText.h"
#include "viewmodel/texts/Presentation.h"

#include <QFileInfo>

namespace orvalink {

namespace {

BilingualText retryTitle(std::optional<ForcedMigrationMode> mode, bool terminate)
{
    if (terminate)
        return {QStringLiteral("终止占用后重试迁移"), QStringLiteral("Terminate Holders and Retry")};
    if (!mode)
        return {QStringLiteral("重试迁移"), QStringLiteral("Retry Migration")};
    if (*mode == ForcedMigrationMode::append)
        return {QStringLiteral("追加迁移"), QStringLiteral("Append Migrate")};
    return {QStringLiteral("覆盖迁移"), QStringLiteral("Overwrite Migrate")};
}

void showRetryFailure(DiskWorkContext& context, const FailedMigrationRecord& updated)
{
    if (updated.errorCase() == OrvalinkError::Case::permissionDenied) {
        const BilingualText text(
            QStringLiteral("迁移目录涉及受保护位置，需要系统管理员权限。你可以立即获取权限后再重试。"),
            QStringLiteral(
                "Migrating this directory touches a protected location and needs administrator rights, "
                "which the system asks for in its own prompt. Get permission now and retry."));
        context.activity().setInfoMessage(text);
        context.activity().setAccessRequirementPrompt(AccessRequirementPrompt{
            QUuid::createUuid(), AccessRequirementPrompt::Kind::requiresAdministratorAuthorization,
            BilingualText("需要管理员权限", "Administrator Access Required"), text});
        return;
    }
    context.activity().setErrorMessage(failedItemText(updated));
}

QCoro::Task<> runRetry(DiskWorkContext& context, FailedMigrationRecord record,
                       std::optional<ForcedMigrationMode> forceMode, bool terminateProcesses,
                       std::shared_ptr<const ScopedDiskServices> services)
{
    const FlowTicket ticket = context.ticket();
    const QString estimatePath =
        forceMode && !record.targetPath.isEmpty() ? record.targetPath : record.sourcePath;
    auto estimating = estimateBytesForProgress(context, estimatePath);
    const qint64 expected = co_await std::move(estimating);
    if (!ticket.isAlive())
        co_return;

    beginProgress(context, retryTitle(forceMode, terminateProcesses), 1, expected);

    MigrationItemRun item(context, std::move(services), engineConfig(context),
                          {record.sourcePath, expected, forceMode, terminateProcesses});
    auto running = item.execute(ticket);
    if (!co_await std::move(running))
        co_return;
    context.activity().setMigrationCurrentPath(std::nullopt);

    if (item.succeeded()) {
        finishSingleItemProgress(context, true);
        QList<FailedMigrationRecord> failed = context.history().recentFailedMigrations();
        failed.removeIf([&](const FailedMigrationRecord& other) { return other.id == record.id; });
        context.history().setRecentFailedMigrations(failed);
        item.recordSuccess();
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        // The disk work ends with its answer: nothing else starts, and no other answer comes, between.
        context.activity().setDiskWork(DiskWork::none);
        context.activity().setInfoMessage(forceMigrationSuccessMessage(
            context.presentation(), record.sourcePath, item.result().forceMigrationSummary,
            item.result().terminatedProcesses));
        co_return;
    }
    finishSingleItemProgress(context, false);
    const FailedMigrationRecord updated = item.failureRecord(record.id, record.targetPath);
    replaceFailedMigrationRecord(context.history(), updated);
    context.activity().setDiskWork(DiskWork::none);
    showRetryFailure(context, updated);
}

} // namespace

QCoro::Task<> retryFailedMigration(DiskWorkContext& context, FailedMigrationRecord record,
                                   std::optional<ForcedMigrationMode> forceMode, bool terminateProcesses)
{
    if (!mayStartDiskWorkOrSayWhy(context))
        co_return;
    // Busy before the size estimate: a second press meanwhile must not start a second engine. The
    // retry goes on with the records of the migration whose item it retries; what an undo or a link
    // repair did since is another run's.
    beginRunStatus(context, DiskWork::migration);
    clearOtherRunsRecords(context);
    auto retry = runRetry(context, record, forceMode, terminateProcesses, context.captureServices());
    co_await guardDiskWork(context, std::move(retry));
}

void replaceFailedMigrationRecord(HistoryState& history, const FailedMigrationRecord& record)
{
    QList<FailedMigrationRecord> failed = history.recentFailedMigrations();
    const auto found = std::find_if(failed.begin(), failed.end(),
                                    [&](const FailedMigrationRecord& item) { return item.id == record.id; });
    if (found != failed.end())
        *found = record;
    else
        failed.prepend(record);
    history.setRecentFailedMigrations(failed);
}

void presentMigrationConflictPrompt(ActivityState& activity, const Presentation& texts,
                                    const FailedMigrationRecord& record)
{
    const QString source = texts.displayPath(record.sourcePath);
    const QString target = texts.displayPath(record.targetPath);
    BilingualText message;
    if (record.errorCase() == OrvalinkError::Case::targetAlreadyExists) {
        message = BilingualText(
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
        message = BilingualText(
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
    activity.setMigrationConflictPrompt(
        MigrationConflictPrompt{QUuid::createUuid(), record,
                                BilingualText("选择强制迁移方式", "Choose a Force Migration Mode"), message});
    activity.setInfoMessage(BilingualText(
        "检测到可强制处理的迁移冲突，请选择“追加迁移（推荐）”或“覆盖迁移”。",
        "A migration conflict can be force-resolved. Choose Append Migrate (Recommended) or Overwrite "
        "Migrate."));
}

BilingualText forceMigrationSuccessMessage(const Presentation& texts, const QString& sourcePath,
                                           const std::optional<ForceMigrationSummary>& summary,
                                           const QStringList& terminatedProcesses)
{
    const QString name = QFileInfo(sourcePath).fileName();
    const auto terminatedText = [&] {
        return BilingualText("已终止占用程序并完成迁移：%1。已处理：%2。",
                             "Terminated holders and migrated %1. Processes handled: %2.")
            .arg(BilingualText::same(name), nameListText(terminatedProcesses));
    };
    if (!summary) {
        if (terminatedProcesses.isEmpty())
            return BilingualText(QStringLiteral("已重新迁移：") + name + QStringLiteral("。"),
                                 QStringLiteral("Migration retried successfully for ") + name +
                                     QStringLiteral("."));
        return terminatedText();
    }
    const bool append = summary->requestedMode == ForcedMigrationMode::append;
    const bool preserved = !summary->preservedPaths.isEmpty();
    const QString first = preserved ? texts.displayPath(summary->preservedPaths.constFirst()) : QString();
    const QString merged = QString::number(summary->mergedIncomingItemCount);
    const QString conflicts = QString::number(summary->preservedConflictCount);
    if (preserved && !append)
        return BilingualText(
            QStringLiteral("已覆盖迁移：") + name + QStringLiteral("。旧内容已保留到 ") + first +
                QStringLiteral(" 等隐藏备份路径。"),
            QStringLiteral("Overwrite migration completed for ") + name +
                QStringLiteral(". Previous content was preserved in hidden backup paths such as ") + first +
                QStringLiteral("."));
    if (preserved && summary->didAppendMerge && summary->preservedConflictCount > 0)
        return BilingualText(
            QStringLiteral("已追加迁移：") + name + QStringLiteral("。已合并 ") + merged +
                QStringLiteral(" 项内容，并把 ") + conflicts + QStringLiteral(" 项目标侧旧内容另存到 ") +
                first + QStringLiteral(" 等隐藏备份路径。"),
            QStringLiteral("Append migration completed for ") + name + QStringLiteral(". ") + merged +
                QStringLiteral(" item(s) were merged, and ") + conflicts +
                QStringLiteral(
                    " older target-side conflict(s) were preserved in hidden backup paths such as ") +
                first + QStringLiteral("."));
    if (append && summary->didAppendMerge)
        return BilingualText(QStringLiteral("已追加迁移：") + name + QStringLiteral("。已合并 ") + merged +
                                 QStringLiteral(" 项内容。"),
                             QStringLiteral("Append migration completed for ") + name + QStringLiteral(". ") +
                                 merged + QStringLiteral(" item(s) were merged."));
    if (preserved)
        return BilingualText(QStringLiteral("已完成强制迁移：") + name +
                                 QStringLiteral("。当前占位内容已先保留到 ") + first +
                                 QStringLiteral("，再完成迁移。"),
                             QStringLiteral("Forced migration completed for ") + name +
                                 QStringLiteral(". The occupying content was preserved at ") + first +
                                 QStringLiteral(" before migration continued."));
    if (!terminatedProcesses.isEmpty())
        return terminatedText();
    return BilingualText(QStringLiteral("已完成强制迁移：") + name + QStringLiteral("。"),
                         QStringLiteral("Forced migration completed for ") + name + QStringLiteral("."));
}

} // namespace orvalink
