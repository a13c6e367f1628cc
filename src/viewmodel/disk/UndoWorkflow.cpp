#include "viewmodel/disk/UndoWorkflow.h"

#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/RestoreItem.h"
#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/Presentation.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>

namespace orvalink {

namespace {

// An undo that brought the data home but could not rewrite its history: it counts as restored, and
// the listing and the history changed.
bool restoredAllTheSame(const std::exception_ptr& error)
{
    return undoIncompleteOf(error).has_value();
}

// The undo that brought the data home but left entries on the volume, when `outcome` is one; none
// for any other outcome. The one place that reads that outcome of the undo service: such an undo is
// no failure of the data, yet not done either, and the window keeps what stayed in view with the
// append restore that brings it home.
std::optional<LeftBehindRecord> leftBehindOf(const BackgroundResult<UndoResult>& outcome)
{
    if (!outcome.succeeded() || !outcome.value().leftBehind())
        return std::nullopt;
    const UndoResult& result = outcome.value();
    LeftBehindRecord left;
    left.id = result.mapping.id;
    left.mapping = result.mapping;
    left.sourcePath = result.mapping.sourcePath;
    left.targetPath = result.targetPath;
    left.leftoverCount = result.leftBehindPaths.size();
    left.undoneAt = QDateTime::currentDateTime();
    return left;
}

BilingualText cancelledMessage(const LinkMapping& mapping)
{
    return BilingualText(
               "已取消反悔：「%1」仍在外置磁盘上，这条记录仍保留在历史中。",
               "Undo cancelled: %1 stays on the external disk, and its record stays in the history.")
        .arg(QFileInfo(mapping.sourcePath).fileName());
}

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
    context.activity().setDiskWork(DiskWork::none);
    if (settled->cancelled) {
        finishSingleItemProgress(context, false);
        context.activity().setInfoMessage(cancelledMessage(mapping));
        co_return;
    }

    const BackgroundResult<UndoResult>& outcome = settled->outcome;
    if (const std::optional<LeftBehindRecord> left = leftBehindOf(outcome)) {
        finishSingleItemProgress(context, false);
        auto reload = reloadAfterDiskWork(context);
        co_await std::move(reload);
        if (!ticket.isAlive())
            co_return;
        context.history().setUndoLeftovers({*left});
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
        context.activity().setInfoMessage(forceUndoSuccessMessage(context.presentation(), result));
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
    context.activity().setErrorMessage(triageUndoFailure(context, outcome.error(), mapping));
}

struct BatchOutcome {
    QStringList restoredPaths;
    QList<LeftBehindRecord> leftBehind;
    QList<BilingualText> failureTexts;
    qint64 successCount = 0;
    qint64 failureCount = 0;
    // Of the failures: left by the user's Cancel to a question.
    qint64 cancelledCount = 0;
};

// Counts one settled record of a batch into `batch` and the progress counters.
void countSettled(DiskWorkContext& context, BatchOutcome& batch, const LinkMapping& record,
                  const SettledRestore& settled)
{
    const BackgroundResult<UndoResult>& outcome = settled.outcome;
    const auto countFailed = [&] {
        ++batch.failureCount;
        context.activity().setMigrationFailedItems(context.activity().migrationFailedItems() + 1);
    };
    if (const std::optional<LeftBehindRecord> left =
            settled.cancelled ? std::nullopt : leftBehindOf(outcome)) {
        countFailed();
        batch.leftBehind.append(*left);
        batch.failureTexts.append(leftBehindMessage(context, *left));
        return;
    }
    if (!settled.cancelled && (outcome.succeeded() || restoredAllTheSame(outcome.error()))) {
        ++batch.successCount;
        context.activity().setMigrationSucceededItems(context.activity().migrationSucceededItems() + 1);
        batch.restoredPaths.append(record.sourcePath);
        // Restored, but the history still lists it until the next start, or copies stayed on the
        // volume: said all the same.
        if (!outcome.succeeded())
            batch.failureTexts.append(undoFailureMessage(context, outcome.error(), record));
        else if (!outcome.value().leftCopyPaths.isEmpty())
            batch.failureTexts.append(forceUndoSuccessMessage(context.presentation(), outcome.value()));
        return;
    }
    countFailed();
    if (settled.cancelled)
        ++batch.cancelledCount;
    else
        batch.failureTexts.append(triageUndoFailure(context, outcome.error(), record));
}

void reportBatch(DiskWorkContext& context, const BatchOutcome& batch, const QList<LinkMapping>& records)
{
    const QString s = QString::number(batch.successCount);
    const QString f = QString::number(batch.failureCount);
    const BilingualText finished(QStringLiteral("批量反悔完成。成功：") + s + QStringLiteral("，失败：") + f +
                                     QStringLiteral("。"),
                                 QStringLiteral("Undo batch finished. Success: ") + s +
                                     QStringLiteral(", failed: ") + f + QStringLiteral("."));
    if (batch.successCount == 0) {
        finishSingleItemProgress(context, false);
        // Every record was left by the user's own Cancel: nothing failed that needs an alert.
        if (batch.failureTexts.isEmpty() && batch.cancelledCount >= 1) {
            context.activity().setInfoMessage(records.size() == 1 ? cancelledMessage(records.constFirst())
                                                                  : finished);
            return;
        }
        context.activity().setErrorMessage(batch.failureTexts.isEmpty()
                                               ? BilingualText("批量反悔失败。", "Undo batch failed.")
                                               : batch.failureTexts.constFirst());
        return;
    }
    if (batch.failureCount >= 1)
        context.activity().setInfoMessage(finished);
    else if (records.size() == 1)
        context.activity().setInfoMessage(BilingualText("已反悔所选记录。", "Selected record was restored."));
    else
        context.activity().setInfoMessage(
            BilingualText(QStringLiteral("已反悔 ") + s + QStringLiteral(" 条记录。"),
                          QStringLiteral("Restored ") + s + QStringLiteral(" records.")));
    if (!batch.failureTexts.isEmpty())
        context.activity().setErrorMessage(batch.failureTexts.constFirst());
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

    context.activity().setDiskWork(DiskWork::none);
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
