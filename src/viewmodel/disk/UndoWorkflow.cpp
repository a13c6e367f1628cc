#include "viewmodel/disk/UndoWorkflow.h"

#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/MonitoredDiskCall.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/texts/Presentation.h"

#include <algorithm>

namespace orvalink {

namespace {

// Marks the start of a restore run. Busy first: the size estimates that follow may take seconds.
void beginRestoreRun(DiskWorkContext& context)
{
    beginRun(context, DiskWork::undo);
}

// The restore of `mapping` on the background runner, forced when `mode` is given, after ending the
// programs that hold the migrated item with `endHolders`.
auto restoreCall(const DiskWorkContext& context, std::shared_ptr<const ScopedDiskServices> services,
                 const LinkMapping& mapping, std::optional<ForcedUndoRestoreMode> mode,
                 bool endHolders = false)
{
    return [services = std::move(services), id = mapping.id,
            anchorUser = context.browsing().config().anchorUser, mode, endHolders] {
        if (endHolders)
            return services->undo().undoMigrationEndingHolders(id, anchorUser, mode);
        return mode ? services->undo().forceUndoMigration(id, anchorUser, *mode)
                    : services->undo().undoMigration(id, anchorUser);
    };
}

// An undo that could not end but brought the data home all the same: the listing and the history
// changed. Only a history that could not be rewritten still counts as restored; what stayed on the
// volume makes it a failure.
bool cameHome(const std::exception_ptr& error)
{
    return undoIncompleteOf(error).has_value();
}

bool restoredAllTheSame(const std::exception_ptr& error)
{
    const std::optional<UndoIncomplete> incomplete = undoIncompleteOf(error);
    return incomplete && incomplete->kind() == UndoIncomplete::Kind::notRecorded;
}

// One record with one-item progress, for the undo of the last record and the forced restore.
QCoro::Task<> restoreSingle(DiskWorkContext& context, LinkMapping mapping, BilingualText title,
                            std::optional<ForcedUndoRestoreMode> mode,
                            std::shared_ptr<const ScopedDiskServices> services, bool endHolders = false)
{
    const FlowTicket ticket = context.ticket();
    auto estimating = estimateBytesForProgress(context, mapping.targetPath);
    const qint64 estimate = co_await std::move(estimating);
    if (!ticket.isAlive())
        co_return;
    beginProgress(context, title, 1, estimate);
    context.activity().setMigrationCurrentPath(mapping.sourcePath);

    auto restoring = runMonitoredDiskCall(
        context, ticket, mapping.sourcePath, estimate, context.activity().migrationProcessedBytes(),
        restoreCall(context, std::move(services), mapping, mode, endHolders));
    const auto outcome = co_await std::move(restoring);
    if (!outcome)
        co_return;
    context.activity().setDiskWork(DiskWork::none);

    if (outcome->succeeded()) {
        const UndoResult result = outcome->value();
        finishSingleItemProgress(context, true);
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        context.history().setLastRestoredPaths({result.mapping.sourcePath});
        context.activity().setInfoMessage(forceUndoSuccessMessage(context.presentation(), result));
        co_return;
    }
    finishSingleItemProgress(context, restoredAllTheSame(outcome->error()));
    if (cameHome(outcome->error())) {
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        context.history().setLastRestoredPaths({mapping.sourcePath});
    }
    if (const auto text = triageUndoFailure(context, outcome->error(), mapping))
        context.activity().setErrorMessage(*text);
}

struct BatchOutcome {
    QStringList restoredPaths;
    QList<BilingualText> failureTexts;
    qint64 successCount = 0;
    qint64 failureCount = 0;
};

QCoro::Task<> restoreBatch(DiskWorkContext& context, QList<LinkMapping> records,
                           std::shared_ptr<const ScopedDiskServices> services)
{
    const FlowTicket ticket = context.ticket();
    QHash<QString, qint64> estimates;
    for (const LinkMapping& record : records) {
        auto estimating = estimateBytesForProgress(context, record.targetPath);
        estimates.insert(record.sourcePath, co_await std::move(estimating));
        if (!ticket.isAlive())
            co_return;
    }
    const bool isSingle = records.size() == 1;
    qint64 totalBytes = 0;
    for (const LinkMapping& record : records)
        totalBytes += std::max<qint64>(0, estimates.value(record.sourcePath, 0));
    beginProgress(context,
                  isSingle ? BilingualText("反悔所选记录", "Undo Selected Record")
                           : BilingualText("批量反悔所选记录", "Undo Selected Records"),
                  records.size(), totalBytes);

    BatchOutcome batch;
    for (const LinkMapping& record : records) {
        auto next = nextItemMayStart(context, ticket);
        if (!co_await std::move(next))
            co_return;
        const qint64 expected = std::max<qint64>(0, estimates.value(record.sourcePath, 0));
        const qint64 base = context.activity().migrationProcessedBytes();
        context.activity().setMigrationCurrentPath(record.sourcePath);
        auto restoring = runMonitoredDiskCall(context, ticket, record.sourcePath, expected, base,
                                              restoreCall(context, services, record, std::nullopt));
        const auto outcome = co_await std::move(restoring);
        if (!outcome)
            co_return;
        context.activity().setMigrationProcessedItems(context.activity().migrationProcessedItems() + 1);
        context.activity().setMigrationProcessedBytes(
            std::min(context.activity().migrationTotalBytes(), base + expected));
        if (outcome->succeeded() || restoredAllTheSame(outcome->error())) {
            ++batch.successCount;
            context.activity().setMigrationSucceededItems(context.activity().migrationSucceededItems() + 1);
            batch.restoredPaths.append(record.sourcePath);
            // Restored, but the history still lists it until the next start: said all the same.
            if (!outcome->succeeded())
                batch.failureTexts.append(undoFailureMessage(context, outcome->error(), record));
        } else {
            ++batch.failureCount;
            context.activity().setMigrationFailedItems(context.activity().migrationFailedItems() + 1);
            if (const auto text = triageUndoFailure(context, outcome->error(), record))
                batch.failureTexts.append(*text);
        }
    }

    context.activity().setDiskWork(DiskWork::none);
    context.activity().setMigrationCurrentPath(std::nullopt);
    if (context.activity().migrationTotalBytes() >= 1)
        context.activity().setMigrationProcessedBytes(
            std::min(context.activity().migrationProcessedBytes(), context.activity().migrationTotalBytes()));
    context.history().setLastRestoredPaths(batch.restoredPaths);
    auto reload = reloadAfterDiskWork(context);
    co_await std::move(reload);
    if (!ticket.isAlive())
        co_return;

    const bool promptOpen = context.activity().undoConflictPrompt().has_value();
    if (batch.successCount == 0) {
        finishSingleItemProgress(context, false);
        if (!promptOpen)
            context.activity().setErrorMessage(batch.failureTexts.isEmpty()
                                                   ? BilingualText("批量反悔失败。", "Undo batch failed.")
                                                   : batch.failureTexts.constFirst());
    } else if (batch.failureCount >= 1) {
        const QString s = QString::number(batch.successCount);
        const QString f = QString::number(batch.failureCount);
        context.activity().setInfoMessage(
            BilingualText(QStringLiteral("批量反悔完成。成功：") + s + QStringLiteral("，失败：") + f +
                              QStringLiteral("。"),
                          QStringLiteral("Undo batch finished. Success: ") + s +
                              QStringLiteral(", failed: ") + f + QStringLiteral(".")));
        if (!promptOpen && !batch.failureTexts.isEmpty())
            context.activity().setErrorMessage(batch.failureTexts.constFirst());
    } else {
        if (isSingle) {
            context.activity().setInfoMessage(
                BilingualText("已反悔所选记录。", "Selected record was restored."));
        } else {
            const QString n = QString::number(batch.successCount);
            context.activity().setInfoMessage(
                BilingualText(QStringLiteral("已反悔 ") + n + QStringLiteral(" 条记录。"),
                              QStringLiteral("Restored ") + n + QStringLiteral(" records.")));
        }
        if (!promptOpen && !batch.failureTexts.isEmpty())
            context.activity().setErrorMessage(batch.failureTexts.constFirst());
    }
}

} // namespace

QCoro::Task<> undoLastMigration(DiskWorkContext& context)
{
    if (!mayStartDiskWork(context))
        co_return;
    if (context.history().undoHistory().isEmpty()) {
        context.activity().setInfoMessage(
            BilingualText("没有可反悔的迁移记录。", "No migration record available to undo."));
        co_return;
    }
    const LinkMapping newest = context.history().undoHistory().constFirst();
    beginRestoreRun(context);
    auto flow =
        restoreSingle(context, newest, {QStringLiteral("反悔上次迁移"), QStringLiteral("Undo Last Move")},
                      std::nullopt, context.captureServices());
    co_await guardDiskWork(context, std::move(flow));
}

QCoro::Task<> undoSelectedMigration(DiskWorkContext& context)
{
    if (!mayStartDiskWork(context))
        co_return;
    const QList<LinkMapping> records = context.history().selectedUndoMappings();
    if (records.isEmpty()) {
        context.activity().setInfoMessage(
            BilingualText("请先选择至少一条迁移记录。", "Select at least one migration record first."));
        co_return;
    }
    beginRestoreRun(context);
    auto flow = restoreBatch(context, records, context.captureServices());
    co_await guardDiskWork(context, std::move(flow));
}

QCoro::Task<> undoEndingHolders(DiskWorkContext& context, LinkMapping mapping)
{
    if (!mayStartDiskWorkOrSayWhy(context))
        co_return;
    beginRestoreRun(context);
    auto flow = restoreSingle(context, mapping, BilingualText("结束程序并反悔", "End Programs and Undo"),
                              std::nullopt, context.captureServices(), true);
    co_await guardDiskWork(context, std::move(flow));
}

QCoro::Task<> forceUndoMigration(DiskWorkContext& context, LinkMapping mapping, ForcedUndoRestoreMode mode)
{
    if (!mayStartDiskWorkOrSayWhy(context))
        co_return;
    beginRestoreRun(context);
    const BilingualText title = mode == ForcedUndoRestoreMode::overwrite
                                    ? BilingualText("覆盖恢复", "Overwrite Restore")
                                    : BilingualText("追加恢复", "Append Restore");
    auto flow = restoreSingle(context, mapping, title, mode, context.captureServices());
    co_await guardDiskWork(context, std::move(flow));
}

} // namespace orvalink
