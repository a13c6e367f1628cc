#include "ui/views/detail/RecordRowTexts.h"

#include "ui/views/common/ViewText.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/disk/DiskWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QFileInfo>

namespace orvalink::ui {

namespace {

QString labelled(const QString& label, const QString& text)
{
    return label + QStringLiteral(": ") + text;
}

QString statusBadgeText(MainViewModel& viewModel, TaskStatus status)
{
    switch (status) {
    case TaskStatus::failed:
        return localizedText(viewModel, "失败", "Failed");
    case TaskStatus::rolledBack:
        return localizedText(viewModel, "已回滚", "Rolled Back");
    default:
        return localizedText(viewModel, "异常", "Error");
    }
}

QString remedyText(MainViewModel& viewModel, FailureRemedy remedy)
{
    switch (remedy) {
    case FailureRemedy::forceMigration:
        return localizedText(viewModel, "强制迁移", "Force Migrate");
    case FailureRemedy::terminateHoldersAndRetry:
        return localizedText(viewModel, "终止占用程序并重试", "Terminate Holders and Retry");
    case FailureRemedy::none:
        break;
    }
    return {};
}

} // namespace

MigratedRecordTexts migratedRecordTexts(MainViewModel& viewModel, const MigrationPathRecord& record)
{
    const Presentation& texts = viewModel.presentation();
    return {QFileInfo(record.sourcePath).fileName(),
            texts.formatDate(record.migratedAt),
            labelled(localizedText(viewModel, "目标目录", "Target"), texts.displayPath(record.targetPath)),
            record.targetPath,
            labelled(localizedText(viewModel, "反悔将返回到", "Undo returns to"),
                     texts.displayPath(record.sourcePath)),
            record.sourcePath};
}

RestoredRecordTexts restoredRecordTexts(MainViewModel& viewModel, const QString& path)
{
    return {viewModel.presentation().displayPath(path), path,
            localizedText(viewModel, "复制路径", "Copy Path"),
            localizedText(viewModel, "进入该目录", "Open in Sidebar"),
            localizedText(viewModel, "在文件管理器中显示", "Show in File Manager")};
}

FailedRecordTexts failedRecordTexts(MainViewModel& viewModel, const FailedMigrationRecord& record,
                                    bool recoveryEnabled)
{
    const Presentation& texts = viewModel.presentation();
    FailedRecordTexts shown;
    shown.name = QFileInfo(record.sourcePath).fileName();
    shown.badge = statusBadgeText(viewModel, record.status);
    shown.date = texts.formatDate(record.failedAt);
    shown.source = texts.displayPath(record.sourcePath);
    shown.sourcePath = record.sourcePath;
    if (!record.targetPath.isEmpty())
        shown.plannedTarget = labelled(localizedText(viewModel, "计划目标", "Planned Target"),
                                       texts.displayPath(record.targetPath));
    shown.targetPath = record.targetPath;
    // The engine's message names full paths; the localized message comes masked under presentation
    // privacy.
    shown.reason = labelled(localizedText(viewModel, "失败原因", "Reason"),
                            viewModel.workflows().localizedMigrationFailureMessage(record.errorMessage));
    shown.remedy = failureRemedy(record);
    shown.remedyText = remedyText(viewModel, shown.remedy);
    shown.remedyEnabled = recoveryEnabled;
    shown.openSource = localizedText(viewModel, "进入该目录", "Open in Sidebar");
    if (!record.targetPath.isEmpty())
        shown.openTarget = localizedText(viewModel, "查看目标", "Open Target");
    return shown;
}

} // namespace orvalink::ui
