#include "viewmodel/UndoWorkflow.h"

#include "viewmodel/ErrorText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/ProgressMonitor.h"
#include "viewmodel/ScopedDiskServices.h"
#include "viewmodel/UndoTriage.h"
#include "viewmodel/WorkflowSupport.h"

#include <algorithm>

namespace orvalink {

namespace {

// Marks the start of a restore run. Busy first: the size estimates that follow may take seconds.
void beginRestoreRun(MainViewModel& viewModel)
{
    viewModel.setIsUndoing(true);
    viewModel.setErrorMessage(std::nullopt);
    viewModel.setUndoConflictPrompt(std::nullopt);
    viewModel.setLastRestoredPaths({});
}

QCoro::Task<BackgroundResult<UndoResult>> restore(MainViewModel& viewModel,
                                                  std::shared_ptr<const ScopedDiskServices> services,
                                                  LinkMapping mapping,
                                                  std::optional<ForcedUndoRestoreMode> mode)
{
    const QString anchorUser = viewModel.config().anchorUser;
    const QUuid id = mapping.id;
    auto work = viewModel.background().runCatching([services, id, anchorUser, mode] {
        return mode ? services->undo().forceUndoMigration(id, anchorUser, *mode)
                    : services->undo().undoMigration(id, anchorUser);
    });
    co_return co_await std::move(work);
}

// One record with one-item progress, for the undo of the last record and the forced restore.
QCoro::Task<> restoreSingle(MainViewModel& viewModel, LinkMapping mapping, QString title,
                            std::optional<ForcedUndoRestoreMode> mode,
                            std::shared_ptr<const ScopedDiskServices> services)
{
    auto estimating = estimateBytesForProgress(viewModel, mapping.targetPath);
    const qint64 estimate = co_await std::move(estimating);
    beginProgress(viewModel, title, 1, estimate);
    viewModel.setMigrationCurrentPath(mapping.sourcePath);

    auto monitor =
        ProgressMonitor::start(viewModel, mapping.sourcePath, estimate, viewModel.migrationProcessedBytes());
    auto restoring = restore(viewModel, services, mapping, mode);
    auto outcome = co_await std::move(restoring);
    co_await stopProgressMonitor(std::move(monitor));
    viewModel.setIsUndoing(false);

    if (outcome.succeeded()) {
        const UndoResult result = outcome.value();
        finishSingleItemProgress(viewModel, true);
        auto reload = reloadAfterDiskWork(viewModel);
        co_await std::move(reload);
        viewModel.setLastRestoredPaths({result.mapping.sourcePath});
        viewModel.setInfoMessage(forceUndoSuccessMessage(viewModel, result));
        co_return;
    }
    finishSingleItemProgress(viewModel, false);
    if (const auto text = triageUndoFailure(viewModel, outcome.error(), mapping))
        viewModel.setErrorMessage(*text);
}

struct BatchOutcome {
    QStringList restoredPaths;
    QStringList failureTexts;
    qint64 successCount = 0;
    qint64 failureCount = 0;
};

QCoro::Task<> restoreBatch(MainViewModel& viewModel, QList<LinkMapping> records,
                           std::shared_ptr<const ScopedDiskServices> services)
{
    QHash<QString, qint64> estimates;
    for (const LinkMapping& record : records) {
        auto estimating = estimateBytesForProgress(viewModel, record.targetPath);
        estimates.insert(record.sourcePath, co_await std::move(estimating));
    }
    const bool isSingle = records.size() == 1;
    qint64 totalBytes = 0;
    for (const LinkMapping& record : records)
        totalBytes += std::max<qint64>(0, estimates.value(record.sourcePath, 0));
    beginProgress(
        viewModel,
        isSingle ? viewModel.localized(QStringLiteral("反悔所选记录"), QStringLiteral("Undo Selected Record"))
                 : viewModel.localized(QStringLiteral("批量反悔所选记录"),
                                       QStringLiteral("Undo Selected Records")),
        records.size(), totalBytes);

    BatchOutcome batch;
    for (const LinkMapping& record : records) {
        const qint64 expected = std::max<qint64>(0, estimates.value(record.sourcePath, 0));
        const qint64 base = viewModel.migrationProcessedBytes();
        viewModel.setMigrationCurrentPath(record.sourcePath);
        auto monitor = ProgressMonitor::start(viewModel, record.sourcePath, expected, base);
        auto restoring = restore(viewModel, services, record, std::nullopt);
        auto outcome = co_await std::move(restoring);
        co_await stopProgressMonitor(std::move(monitor));
        viewModel.setMigrationProcessedItems(viewModel.migrationProcessedItems() + 1);
        viewModel.setMigrationProcessedBytes(std::min(viewModel.migrationTotalBytes(), base + expected));
        if (outcome.succeeded()) {
            ++batch.successCount;
            viewModel.setMigrationSucceededItems(viewModel.migrationSucceededItems() + 1);
            batch.restoredPaths.append(outcome.value().mapping.sourcePath);
        } else {
            ++batch.failureCount;
            viewModel.setMigrationFailedItems(viewModel.migrationFailedItems() + 1);
            if (const auto text = triageUndoFailure(viewModel, outcome.error(), record))
                batch.failureTexts.append(*text);
        }
    }

    viewModel.setIsUndoing(false);
    viewModel.setMigrationCurrentPath(std::nullopt);
    if (viewModel.migrationTotalBytes() >= 1)
        viewModel.setMigrationProcessedBytes(
            std::min(viewModel.migrationProcessedBytes(), viewModel.migrationTotalBytes()));
    viewModel.setLastRestoredPaths(batch.restoredPaths);
    auto reload = reloadAfterDiskWork(viewModel);
    co_await std::move(reload);

    const bool promptOpen = viewModel.undoConflictPrompt().has_value();
    if (batch.successCount == 0) {
        finishSingleItemProgress(viewModel, false);
        if (!promptOpen)
            viewModel.setErrorMessage(batch.failureTexts.isEmpty()
                                          ? viewModel.localized(QStringLiteral("批量反悔失败。"),
                                                                QStringLiteral("Undo batch failed."))
                                          : batch.failureTexts.constFirst());
    } else if (batch.failureCount >= 1) {
        const QString s = QString::number(batch.successCount);
        const QString f = QString::number(batch.failureCount);
        viewModel.setInfoMessage(
            viewModel.localized(QStringLiteral("批量反悔完成。成功：") + s + QStringLiteral("，失败：") + f +
                                    QStringLiteral("。"),
                                QStringLiteral("Undo batch finished. Success: ") + s +
                                    QStringLiteral(", failed: ") + f + QStringLiteral(".")));
        if (!promptOpen && !batch.failureTexts.isEmpty())
            viewModel.setErrorMessage(batch.failureTexts.constFirst());
    } else if (isSingle) {
        viewModel.setInfoMessage(viewModel.localized(QStringLiteral("已反悔所选记录。"),
                                                     QStringLiteral("Selected record was restored.")));
    } else {
        const QString n = QString::number(batch.successCount);
        viewModel.setInfoMessage(
            viewModel.localized(QStringLiteral("已反悔 ") + n + QStringLiteral(" 条记录。"),
                                QStringLiteral("Restored ") + n + QStringLiteral(" records.")));
    }
}

// Runs a restore flow that has already marked itself busy; whatever escapes ends the run.
QCoro::Task<> guardedRestore(MainViewModel& viewModel, QCoro::Task<> flow)
{
    try {
        co_await std::move(flow);
    } catch (const std::exception& error) {
        viewModel.setIsUndoing(false);
        viewModel.setErrorMessage(localizedDescription(error));
    }
}

} // namespace

QCoro::Task<> undoLastMigration(MainViewModel& viewModel)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    if (viewModel.undoHistory().isEmpty()) {
        viewModel.setInfoMessage(
            viewModel.localized(QStringLiteral("没有可反悔的迁移记录。"),
                                QStringLiteral("No migration record available to undo.")));
        co_return;
    }
    const LinkMapping newest = viewModel.undoHistory().constFirst();
    beginRestoreRun(viewModel);
    auto flow =
        restoreSingle(viewModel, newest,
                      viewModel.localized(QStringLiteral("反悔上次迁移"), QStringLiteral("Undo Last Move")),
                      std::nullopt, ScopedDiskServices::capture(viewModel));
    co_await guardedRestore(viewModel, std::move(flow));
}

QCoro::Task<> undoSelectedMigration(MainViewModel& viewModel)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    const QList<LinkMapping> records = viewModel.selectedUndoMappings();
    if (records.isEmpty()) {
        viewModel.setInfoMessage(
            viewModel.localized(QStringLiteral("请先选择至少一条迁移记录。"),
                                QStringLiteral("Select at least one migration record first.")));
        co_return;
    }
    beginRestoreRun(viewModel);
    auto flow = restoreBatch(viewModel, records, ScopedDiskServices::capture(viewModel));
    co_await guardedRestore(viewModel, std::move(flow));
}

QCoro::Task<> forceUndoMigration(MainViewModel& viewModel, LinkMapping mapping, ForcedUndoRestoreMode mode)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    beginRestoreRun(viewModel);
    const QString title =
        mode == ForcedUndoRestoreMode::overwrite
            ? viewModel.localized(QStringLiteral("覆盖恢复"), QStringLiteral("Overwrite Restore"))
            : viewModel.localized(QStringLiteral("追加恢复"), QStringLiteral("Append Restore"));
    auto flow = restoreSingle(viewModel, mapping, title, mode, ScopedDiskServices::capture(viewModel));
    co_await guardedRestore(viewModel, std::move(flow));
}

} // namespace orvalink
