#include "viewmodel/RepairWorkflow.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/ScopedDiskServices.h"
#include "viewmodel/WorkflowSupport.h"

#include <algorithm>

namespace orvalink {

namespace {

QString batchText(const MainViewModel& viewModel, const RepairSummary& s)
{
    const QString scanned = QString::number(s.scannedCount);
    const QString fixed = QString::number(s.fixedCount);
    const QString failed = QString::number(s.failedCount);
    if (s.scannedCount >= s.totalCount)
        return viewModel.localized(
            QStringLiteral("修复完成。已扫描：") + scanned + QStringLiteral("，修复：") + fixed +
                QStringLiteral("，失败：") + failed + QStringLiteral("。"),
            QStringLiteral("Repair finished. Scanned: ") + scanned + QStringLiteral(", fixed: ") + fixed +
                QStringLiteral(", failed: ") + failed + QStringLiteral("."));
    const QString total = QString::number(s.totalCount);
    const QString remaining = QString::number(std::max<qint64>(0, s.totalCount - s.scannedCount));
    return viewModel.localized(
        QStringLiteral("本轮修复完成。已扫描：") + scanned + QStringLiteral("/") + total +
            QStringLiteral("，修复：") + fixed + QStringLiteral("，失败：") + failed +
            QStringLiteral("，剩余：") + remaining + QStringLiteral("。可再次点击继续。"),
        QStringLiteral("Repair batch finished. Scanned: ") + scanned + QStringLiteral("/") + total +
            QStringLiteral(", fixed: ") + fixed + QStringLiteral(", failed: ") + failed +
            QStringLiteral(", remaining: ") + remaining + QStringLiteral(". Click again to continue."));
}

QString selectedText(const MainViewModel& viewModel, const RepairSummary& s, qsizetype count)
{
    const QString fixed = QString::number(s.fixedCount);
    const QString failed = QString::number(s.failedCount);
    if (s.fixedCount < 1)
        return viewModel.localized(
            QStringLiteral("所选链接无需修复或修复失败。"),
            count == 1 ? QStringLiteral("Selected link did not need repair or repair failed.")
                       : QStringLiteral("Selected links did not need repair or repair failed."));
    if (s.failedCount != 0)
        return viewModel.localized(QStringLiteral("所选链接修复完成。成功：") + fixed +
                                       QStringLiteral("，失败：") + failed + QStringLiteral("。"),
                                   QStringLiteral("Selected link repair finished. Success: ") + fixed +
                                       QStringLiteral(", failed: ") + failed + QStringLiteral("."));
    if (count == 1)
        return viewModel.localized(QStringLiteral("所选链接修复成功。"),
                                   QStringLiteral("Selected link repaired successfully."));
    return viewModel.localized(QStringLiteral("已修复 ") + fixed + QStringLiteral(" 条所选链接。"),
                               QStringLiteral("Repaired ") + fixed + QStringLiteral(" selected links."));
}

} // namespace

QCoro::Task<> repairBrokenLinks(MainViewModel& viewModel)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    viewModel.setIsRepairingLinks(true);
    viewModel.setInfoMessage(viewModel.localized(QStringLiteral("正在修复失效链接，请稍候..."),
                                                 QStringLiteral("Repairing broken links, please wait...")));
    const auto services = ScopedDiskServices::capture(viewModel);
    const qsizetype offset = viewModel.repairPosition();
    const qsizetype batchSize = viewModel.workflowSettings().repairBatchSize;
    auto work = viewModel.background().runCatching(
        [services, offset, batchSize] { return services->repair().repairBrokenLinks(offset, batchSize); });
    auto outcome = co_await std::move(work);
    viewModel.setIsRepairingLinks(false);
    const RepairSummary summary = outcome.succeeded() ? outcome.value() : RepairSummary{};
    // A scope change meanwhile already reset the position; the result belongs to the old scope.
    if (services->scope() == viewModel.parts().mappingStore->scope())
        viewModel.setRepairPosition(summary.scannedCount >= summary.totalCount ? 0 : summary.scannedCount);
    viewModel.setAvailableVolumes(viewModel.parts().volumeService->listVolumes());
    viewModel.refreshStorageUsageSnapshot();
    viewModel.setInfoMessage(batchText(viewModel, summary));
}

QCoro::Task<> repairMigratedLinks(MainViewModel& viewModel, QSet<QUuid> mappingIDs)
{
    if (isDiskWorkBusy(viewModel))
        co_return;
    const auto& mappings = viewModel.migratedMappings();
    const qsizetype count =
        std::count_if(mappings.cbegin(), mappings.cend(),
                      [&](const LinkMapping& mapping) { return mappingIDs.contains(mapping.id); });
    if (count == 0) {
        viewModel.setInfoMessage(
            viewModel.localized(QStringLiteral("请先选择至少一条已迁移项目。"),
                                QStringLiteral("Please select at least one migrated item first.")));
        co_return;
    }
    viewModel.setIsRepairingLinks(true);
    viewModel.setInfoMessage(
        count == 1 ? viewModel.localized(QStringLiteral("正在修复所选链接，请稍候..."),
                                         QStringLiteral("Repairing selected link, please wait..."))
                   : viewModel.localized(QStringLiteral("正在批量修复所选链接，请稍候..."),
                                         QStringLiteral("Repairing selected links, please wait...")));
    const auto services = ScopedDiskServices::capture(viewModel);
    auto work = viewModel.background().runCatching(
        [services, mappingIDs] { return services->repair().repairBrokenLinks(mappingIDs); });
    auto outcome = co_await std::move(work);
    viewModel.setIsRepairingLinks(false);
    viewModel.reloadPersistedState();
    viewModel.setInfoMessage(
        selectedText(viewModel, outcome.succeeded() ? outcome.value() : RepairSummary{}, count));
}

} // namespace orvalink
