#include "LongAnswers.h"

#include "WindowTestSupport.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QDateTime>
#include <QUuid>

namespace orvalink::test {

QString keptVersionOf(const QString& source)
{
    return source +
           QStringLiteral("/.log.txt.orvalink-append-preserved-5C0A71E2-0B4D-4A55-9E3C-6F1B2D8A7C40");
}

void beginTakeBack(ViewModelContext& context, const QString& source)
{
    ActivityState& activity = context.activity();
    activity.setCurrentOperationTitle({"迁移", "Migration"});
    activity.setMigrationTotalItems(1);
    activity.setMigrationProcessedItems(0);
    activity.setMigrationFailedItems(0);
    activity.setMigrationTotalBytes(3 << 20);
    activity.setMigrationProcessedBytes(3 << 20);
    activity.setMigrationCurrentPath(source);
    activity.setDiskWork(DiskWork::migration);
    activity.setDiskWorkStep(DiskWorkStep{DiskWorkStep::Kind::comingHome, source, 1 << 20, 3 << 20});
}

void endTakeBack(ViewModelContext& context, const QString& source)
{
    FailedMigrationRecord failed = failedRecord(source);
    failed.status = TaskStatus::rolledBack;
    failed.errorCode = QStringLiteral("E008");
    failed.shortfall = CopyShortfall::keptChanging(source + QStringLiteral("/log.txt"));
    failed.olderVersions = {keptVersionOf(source)};
    ActivityState& activity = context.activity();
    activity.setDiskWorkStep(std::nullopt);
    context.history().setRecentFailedMigrations({failed});
    activity.setMigrationProcessedItems(1);
    activity.setMigrationFailedItems(1);
    activity.setMigrationCurrentPath(std::nullopt);
    activity.setDiskWork(DiskWork::none);
}

void beginStartRecovery(ViewModelContext& context, const QString& source)
{
    ActivityState& activity = context.activity();
    activity.setDiskWork(DiskWork::recovery);
    activity.setCurrentOperationTitle({"处理上次中断的操作", "Operations Interrupted Last Time"});
    activity.setMigrationTotalItems(1);
    activity.setMigrationProcessedItems(0);
    activity.setMigrationSucceededItems(0);
    activity.setMigrationFailedItems(0);
    activity.setMigrationTotalBytes(0);
    activity.setMigrationProcessedBytes(0);
    activity.setMigrationCurrentPath(source);
    activity.setDiskWorkStep(DiskWorkStep{DiskWorkStep::Kind::finishingMigration, source, 2 << 20, 5 << 20});
}

void endStartRecovery(ViewModelContext& context, const QString& source)
{
    const QString kept = keptVersionOf(source);
    const QDateTime at = QDateTime::currentDateTimeUtc();
    // And a migration it completed instead of taking back: the two headed together.
    const QString other = source + QStringLiteral(" Archive");
    context.history().setKeptVersions({{QUuid::createUuid(), source, kept, {kept}, {}, at, {}, {}},
                                       {QUuid::createUuid(),
                                        other,
                                        QStringLiteral("/media/user/External Disk/Store") + other,
                                        {},
                                        {},
                                        at,
                                        {},
                                        {},
                                        true}});
    ActivityState& activity = context.activity();
    activity.setDiskWorkStep(std::nullopt);
    activity.setCurrentOperationTitle({});
    activity.setMigrationTotalItems(0);
    activity.setMigrationCurrentPath(std::nullopt);
    activity.setDiskWork(DiskWork::none);
}

} // namespace orvalink::test
