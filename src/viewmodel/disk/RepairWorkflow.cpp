#include "viewmodel/disk/RepairWorkflow.h"

#include "viewmodel/context/WorkflowSettings.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/disk/ScopedDiskServices.h"
#include "viewmodel/disk/WorkflowSupport.h"
#include "viewmodel/flow/BackgroundRunner.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/state/HistoryState.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/Presentation.h"

#include <QDateTime>
#include <algorithm>

namespace orvalink {

namespace {

BilingualText batchText(const RepairSummary& s)
{
    const QString scanned = QString::number(s.scannedCount);
    const QString fixed = QString::number(s.fixedCount);
    const QString failed = QString::number(s.failedCount);
    if (s.scannedCount >= s.totalCount)
        return BilingualText(QStringLiteral("修复完成。已扫描：") + scanned + QStringLiteral("，修复：") +
                                 fixed + QStringLiteral("，失败：") + failed + QStringLiteral("。"),
                             QStringLiteral("Repair finished. Scanned: ") + scanned +
                                 QStringLiteral(", fixed: ") + fixed + QStringLiteral(", failed: ") + failed +
                                 QStringLiteral("."));
    const QString total = QString::number(s.totalCount);
    const QString remaining = QString::number(std::max<qint64>(0, s.totalCount - s.scannedCount));
    return BilingualText(QStringLiteral("本轮修复完成。已扫描：") + scanned + QStringLiteral("/") + total +
                             QStringLiteral("，修复：") + fixed + QStringLiteral("，失败：") + failed +
                             QStringLiteral("，剩余：") + remaining + QStringLiteral("。可再次点击继续。"),
                         QStringLiteral("Repair batch finished. Scanned: ") + scanned + QStringLiteral("/") +
                             total + QStringLiteral(", fixed: ") + fixed + QStringLiteral(", failed: ") +
                             failed + QStringLiteral(", remaining: ") + remaining +
                             QStringLiteral(". Click again to continue."));
}

BilingualText selectedText(const RepairSummary& s, qsizetype count)
{
    const QString fixed = QString::number(s.fixedCount);
    const QString failed = QString::number(s.failedCount);
    if (s.fixedCount < 1)
        return BilingualText(QStringLiteral("所选链接无需修复或修复失败。"),
                             count == 1
                                 ? QStringLiteral("Selected link did not need repair or repair failed.")
                                 : QStringLiteral("Selected links did not need repair or repair failed."));
    if (s.failedCount != 0)
        return BilingualText(QStringLiteral("所选链接修复完成。成功：") + fixed + QStringLiteral("，失败：") +
                                 failed + QStringLiteral("。"),
                             QStringLiteral("Selected link repair finished. Success: ") + fixed +
                                 QStringLiteral(", failed: ") + failed + QStringLiteral("."));
    if (count == 1)
        return BilingualText("所选链接修复成功。", "Selected link repaired successfully.");
    return BilingualText(QStringLiteral("已修复 ") + fixed + QStringLiteral(" 条所选链接。"),
                         QStringLiteral("Repaired ") + fixed + QStringLiteral(" selected links."));
}

// What the dock shows of a repair: its own summary `text` (with where to read why, when a link could
// not be repaired) and the links it acted on, those it could not repair first, as they are what the
// user has to look at.
LinkRepairReport reportOf(const RepairSummary& summary, const BilingualText& text)
{
    LinkRepairReport report;
    report.summary = summary.failedCount < 1
                         ? text
                         : text + BilingualText(" 每条链接未能修复的原因见日志。",
                                                " The log says why each link could not be repaired.");
    const QDateTime now = QDateTime::currentDateTime();
    for (const RepairedLink& link : summary.links)
        report.links.append({link.mappingID, link.sourcePath, link.targetPath, link.repaired, now});
    std::stable_partition(report.links.begin(), report.links.end(),
                          [](const LinkRepairRecord& link) { return !link.repaired; });
    return report;
}

// Marks the start of a repair run, from a clean dock: a repair counts no items, so the progress card
// of the run before goes with its records.
void beginRepairRun(DiskWorkContext& context)
{
    beginRun(context, DiskWork::linkRepair);
    beginProgress(context, BilingualText(), 0, 0);
}

} // namespace

QCoro::Task<> repairBrokenLinks(DiskWorkContext& context)
{
    if (!mayStartDiskWork(context))
        co_return;
    const FlowTicket ticket = context.ticket();
    beginRepairRun(context);
    context.activity().setInfoMessage(
        BilingualText("正在修复失效链接，请稍候...", "Repairing broken links, please wait..."));
    const auto services = context.captureServices();
    const qsizetype offset = context.repairPosition();
    const qsizetype batchSize = context.workflowSettings().repairBatchSize;
    auto work = context.background().runCatching(
        [services, offset, batchSize] { return services->repair().repairBrokenLinks(offset, batchSize); });
    auto outcome = co_await std::move(work);
    if (!ticket.isAlive())
        co_return;
    const RepairSummary summary = outcome.succeeded() ? outcome.value() : RepairSummary{};
    const BilingualText text = batchText(summary);
    // Published before the repair ends, so the dock never stands open with nothing to show.
    context.history().setLastLinkRepair(reportOf(summary, text));
    context.activity().setDiskWork(DiskWork::none);
    // A scope change meanwhile already reset the position; the result belongs to the old scope.
    if (services->scope() == context.services().mappingStore->scope())
        context.setRepairPosition(summary.scannedCount >= summary.totalCount ? 0 : summary.scannedCount);
    context.browsing().setAvailableVolumes(context.services().volumeService->listVolumes());
    context.refreshStorageUsageSnapshot();
    context.activity().setInfoMessage(text);
}

QCoro::Task<> repairMigratedLinks(DiskWorkContext& context, QSet<QUuid> mappingIDs)
{
    if (!mayStartDiskWorkOrSayWhy(context))
        co_return;
    const FlowTicket ticket = context.ticket();
    const auto& mappings = context.history().migratedMappings();
    const qsizetype count =
        std::count_if(mappings.cbegin(), mappings.cend(),
                      [&](const LinkMapping& mapping) { return mappingIDs.contains(mapping.id); });
    if (count == 0) {
        context.activity().setInfoMessage(
            BilingualText("请先选择至少一条已迁移项目。", "Please select at least one migrated item first."));
        co_return;
    }
    beginRepairRun(context);
    context.activity().setInfoMessage(
        count == 1
            ? BilingualText("正在修复所选链接，请稍候...", "Repairing selected link, please wait...")
            : BilingualText("正在批量修复所选链接，请稍候...", "Repairing selected links, please wait..."));
    const auto services = context.captureServices();
    auto work = context.background().runCatching(
        [services, mappingIDs] { return services->repair().repairBrokenLinks(mappingIDs); });
    auto outcome = co_await std::move(work);
    if (!ticket.isAlive())
        co_return;
    const RepairSummary summary = outcome.succeeded() ? outcome.value() : RepairSummary{};
    const BilingualText text = selectedText(summary, count);
    context.history().setLastLinkRepair(reportOf(summary, text));
    auto reload = context.reloadPersistedState();
    co_await std::move(reload);
    if (!ticket.isAlive())
        co_return;
    // The disk work ends with its answer: nothing else starts, and no other answer comes, between.
    context.activity().setDiskWork(DiskWork::none);
    context.activity().setInfoMessage(text);
}

} // namespace orvalink
