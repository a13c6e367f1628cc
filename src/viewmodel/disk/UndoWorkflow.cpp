#include "viewmodel/disk/UndoWorkflow.h"

#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/RestoreItem.h"
#include "viewmodel/disk/UndoOutcome.h"
#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/HistoryState.h"

#include <algorithm>

namespace orvalink {

namespace {

// One record with one-item progress, for the undo of the last record and the forced restore.
QCoro::Task<> restoreSingle(DiskWorkContext& context, LinkMapping mapping, BilingualText title,
                            UndoAnswers answers, std::shared_ptr<const ScopedDiskServices> services)
{
    const FlowTicket ticket = context.ticket();
    auto estimating = estimateBytesForProgress(context, mapping.targetPath);
    const qint64 estimate = co_await std::move(estimating);
    if (!ticket.isAlive())
        co_return;
    beginProgress(context, title, 1, estimate);
    context.activity().setMigrationCurrentPath(mapping.sourcePath);

    auto settling = settleRestore(context, ticket, std::move(services), mapping, answers, estimate,
                                  context.activity().migrationProcessedBytes());
    const std::optional<SettledRestore> settled = co_await std::move(settling);
    if (!settled)
        co_return;
    // The disk work ends with its answer (the history and the listing read again first): nothing
    // else starts, and no other answer comes, between the two.
    if (settled->cancelled) {
        finishSingleItemProgress(context, false);
        context.activity().setDiskWork(DiskWork::none);
        context.activity().setInfoMessage(cancelledMessage(mapping));
        co_return;
    }

    const BackgroundResult<UndoResult>& outcome = settled->outcome;
    const std::optional<LeftBehindRecord> left = leftOnVolumeOf(*settled);
    if (left && !left->copiesOnly) {
        finishSingleItemProgress(context, false);
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        context.history().setUndoLeftovers({*left});
        context.activity().setDiskWork(DiskWork::none);
        context.activity().setErrorMessage(leftBehindMessage(context, *left));
        co_return;
    }
    if (outcome.succeeded()) {
        const UndoResult result = outcome.value();
        finishSingleItemProgress(context, true);
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        context.history().setLastRestoredPaths({result.mapping.sourcePath});
        if (left)
            context.history().setUndoLeftovers({*left});
        context.activity().setDiskWork(DiskWork::none);
        context.activity().setInfoMessage(doneMessage(context, result, left));
        co_return;
    }
    const bool restored = restoredAllTheSame(outcome.error());
    finishSingleItemProgress(context, restored);
    if (restored) {
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        context.history().setLastRestoredPaths({mapping.sourcePath});
    }
    context.activity().setDiskWork(DiskWork::none);
    // The status line keeps the answer once its alert (and a question for rights) is dismissed.
    const BilingualText failure = triageUndoFailure(context, outcome.error(), mapping);
    context.activity().setInfoMessage(failure);
    context.activity().setErrorMessage(failure);
}

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
    qint64 totalBytes = 0;
    for (const LinkMapping& record : records)
        totalBytes += std::max<qint64>(0, estimates.value(record.sourcePath, 0));
    beginProgress(context,
                  records.size() == 1 ? BilingualText("反悔所选记录", "Undo Selected Record")
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
        // A question the record asks is answered within its turn: it counts once, when settled.
        auto settling = settleRestore(context, ticket, services, record, {}, expected, base);
        const std::optional<SettledRestore> settled = co_await std::move(settling);
        if (!settled)
            co_return;
        context.activity().setMigrationProcessedItems(context.activity().migrationProcessedItems() + 1);
        context.activity().setMigrationProcessedBytes(
            std::min(context.activity().migrationTotalBytes(), base + expected));
        countSettled(context, batch, record, *settled);
    }

    context.activity().setMigrationCurrentPath(std::nullopt);
    if (context.activity().migrationTotalBytes() >= 1)
        context.activity().setMigrationProcessedBytes(
            std::min(context.activity().migrationProcessedBytes(), context.activity().migrationTotalBytes()));
    context.history().setLastRestoredPaths(batch.restoredPaths);
    context.history().setUndoLeftovers(batch.leftBehind);
    auto reload = reloadAfterDiskWork(context);
    co_await std::move(reload);
    if (!ticket.isAlive())
        co_return;
    // The disk work ends with its answer: nothing else starts, and no other answer comes, between.
    context.activity().setDiskWork(DiskWork::none);
    reportBatch(context, batch, records);
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
    // Busy first: the size estimates that follow may take seconds.
    beginRun(context, DiskWork::undo);
    auto flow =
        restoreSingle(context, newest, {QStringLiteral("反悔上次迁移"), QStringLiteral("Undo Last Move")}, {},
                      context.captureServices());
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
    beginRun(context, DiskWork::undo);
    auto flow = restoreBatch(context, records, context.captureServices());
    co_await guardDiskWork(context, std::move(flow));
}

QCoro::Task<> forceUndoMigration(DiskWorkContext& context, LinkMapping mapping, ForcedUndoRestoreMode mode)
{
    if (!mayStartDiskWorkOrSayWhy(context))
        co_return;
    beginRun(context, DiskWork::undo);
    const BilingualText title = mode == ForcedUndoRestoreMode::overwrite
                                    ? BilingualText("覆盖恢复", "Overwrite Restore")
                                    : BilingualText("追加恢复", "Append Restore");
    auto flow = restoreSingle(context, mapping, title, UndoAnswers{mode, false}, context.captureServices());
    co_await guardDiskWork(context, std::move(flow));
}

void answerUndoConflict(DiskWorkContext& context, const QUuid& promptID, UndoConflictAnswer answer)
{
    const std::optional<UndoConflictPrompt>& prompt = context.activity().undoConflictPrompt();
    if (prompt && prompt->id == promptID)
        context.activity().setUndoConflictPrompt(std::nullopt);
    context.question().answer(promptID, answer);
}

} // namespace orvalink
