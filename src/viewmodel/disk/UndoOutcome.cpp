#include "viewmodel/disk/UndoOutcome.h"

#include "model/FailureOf.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/ProgressMonitor.h"
#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/texts/Presentation.h"

#include <QDateTime>
#include <QFileInfo>

namespace orvalink {

bool restoredAllTheSame(const std::exception_ptr& error)
{
    return failureOf<UndoIncomplete>(error).has_value();
}

std::optional<LeftBehindRecord> leftOnVolumeOf(const SettledRestore& settled)
{
    if (settled.cancelled || !settled.outcome.succeeded())
        return std::nullopt;
    const UndoResult& result = settled.outcome.value();
    if (!result.leftBehind() && result.leftCopyPaths.isEmpty())
        return std::nullopt;
    LeftBehindRecord left;
    left.id = result.mapping.id;
    left.mapping = result.mapping;
    left.sourcePath = result.mapping.sourcePath;
    left.targetPath = result.targetPath;
    left.copiesOnly = !result.leftBehind();
    left.leftoverCount = left.copiesOnly ? settled.copiesFound : result.leftBehindPaths.size();
    left.undoneAt = QDateTime::currentDateTime();
    return left;
}

BilingualText doneMessage(DiskWorkContext& context, const UndoResult& result,
                          const std::optional<LeftBehindRecord>& copies)
{
    const BilingualText done = forceUndoSuccessMessage(context.presentation(), result);
    return copies ? done + QStringLiteral(" ") + leftBehindMessage(context, *copies) : done;
}

BilingualText cancelledMessage(const LinkMapping& mapping)
{
    return BilingualText(
               "已取消反悔：「%1」仍在外置磁盘上，这条记录仍保留在历史中。",
               "Undo cancelled: %1 stays on the external disk, and its record stays in the history.")
        .arg(QFileInfo(mapping.sourcePath).fileName());
}

void countSettled(DiskWorkContext& context, BatchOutcome& batch, const LinkMapping& record,
                  const SettledRestore& settled)
{
    const BackgroundResult<UndoResult>& outcome = settled.outcome;
    const auto countFailed = [&] {
        ++batch.failureCount;
        context.activity().setMigrationFailedItems(context.activity().migrationFailedItems() + 1);
    };
    const std::optional<LeftBehindRecord> left = leftOnVolumeOf(settled);
    if (left && !left->copiesOnly) {
        countFailed();
        batch.leftBehind.append(*left);
        batch.failureTexts.append(leftBehindMessage(context, *left));
        return;
    }
    if (!settled.cancelled && (outcome.succeeded() || restoredAllTheSame(outcome.error()))) {
        ++batch.successCount;
        context.activity().setMigrationSucceededItems(context.activity().migrationSucceededItems() + 1);
        batch.restoredPaths.append(record.sourcePath);
        // Restored, but the history still lists it until the next start: said all the same.
        if (!outcome.succeeded())
            batch.failureTexts.append(undoFailureMessage(context, outcome.error(), record));
        if (left) {
            batch.leftBehind.append(*left);
            if (!batch.firstCopies)
                batch.firstCopies.emplace(outcome.value(), *left);
        }
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
        const BilingualText failure = batch.failureTexts.isEmpty()
                                          ? BilingualText("批量反悔失败。", "Undo batch failed.")
                                          : batch.failureTexts.constFirst();
        context.activity().setInfoMessage(records.size() == 1 ? failure : finished);
        context.activity().setErrorMessage(failure);
        return;
    }
    BilingualText summary =
        batch.failureCount >= 1 ? finished
        : records.size() == 1   ? BilingualText("已反悔所选记录。", "Selected record was restored.")
                              : BilingualText(QStringLiteral("已反悔 ") + s + QStringLiteral(" 条记录。"),
                                              QStringLiteral("Restored ") + s + QStringLiteral(" records."));
    // Copies that stayed on the volume are said with the summary, no failure: one record reads as
    // the undo of the last record does.
    if (const auto& copies = batch.firstCopies)
        summary = records.size() == 1
                      ? doneMessage(context, copies->first, copies->second)
                      : summary + QStringLiteral(" ") + leftBehindMessage(context, copies->second);
    context.activity().setInfoMessage(summary);
    if (!batch.failureTexts.isEmpty())
        context.activity().setErrorMessage(batch.failureTexts.constFirst());
}

} // namespace orvalink
