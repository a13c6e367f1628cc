#include "ui/views/detail/RecordRowTexts.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/Presentation.h"
#include "viewmodel/texts/RecoveryTexts.h"

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
        return viewModel.presentation().localized({"失败", "Failed"});
    case TaskStatus::rolledBack:
        return viewModel.presentation().localized({"已回滚", "Rolled Back"});
    default:
        return viewModel.presentation().localized({"异常", "Error"});
    }
}

QString remedyText(MainViewModel& viewModel, FailureRemedy remedy)
{
    switch (remedy) {
    case FailureRemedy::forceMigration:
        return viewModel.presentation().localized({"强制迁移", "Force Migrate"});
    case FailureRemedy::terminateHoldersAndRetry:
        return viewModel.presentation().localized({"终止占用程序并重试", "Terminate Holders and Retry"});
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
            labelled(viewModel.presentation().localized({"目标目录", "Target"}),
                     texts.displayPath(record.targetPath)),
            record.targetPath,
            labelled(viewModel.presentation().localized({"反悔将返回到", "Undo returns to"}),
                     texts.displayPath(record.sourcePath)),
            record.sourcePath};
}

RestoredRecordTexts restoredRecordTexts(MainViewModel& viewModel, const QString& path)
{
    return {viewModel.presentation().displayPath(path), path,
            viewModel.presentation().localized({"复制路径", "Copy Path"}),
            viewModel.presentation().localized({"进入该目录", "Open in Sidebar"}),
            viewModel.presentation().localized({"在文件管理器中显示", "Show in File Manager"})};
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
        shown.plannedTarget = labelled(viewModel.presentation().localized({"计划目标", "Planned Target"}),
                                       texts.displayPath(record.targetPath));
    shown.targetPath = record.targetPath;
    // The engine's message names full paths: the line is masked under presentation privacy. The
    // reason is bilingual itself, so each half of the line holds its own language's reason.
    shown.reason = texts.sanitizedForPresentation(
        texts.localized(BilingualText("失败原因: %1", "Reason: %1").arg(failedItemText(record))));
    shown.remedy = failureRemedy(record);
    shown.remedyText = remedyText(viewModel, shown.remedy);
    shown.remedyEnabled = recoveryEnabled;
    shown.openSource = viewModel.presentation().localized({"进入该目录", "Open in Sidebar"});
    if (!record.targetPath.isEmpty())
        shown.openTarget = viewModel.presentation().localized({"查看目标", "Open Target"});
    return shown;
}

LeftBehindRecordTexts leftBehindRecordTexts(MainViewModel& viewModel, const LeftBehindRecord& record,
                                            bool recoveryEnabled)
{
    const Presentation& texts = viewModel.presentation();
    LeftBehindRecordTexts shown;
    shown.name = QFileInfo(record.sourcePath).fileName();
    shown.badge = texts.localized(record.copiesOnly ? BilingualText("副本未删除", "Copies Stayed")
                                                    : BilingualText("未完成", "Incomplete"));
    shown.date = texts.formatDate(record.undoneAt);
    shown.source = labelled(texts.localized({"数据已移回", "Back at"}), texts.displayPath(record.sourcePath));
    shown.sourcePath = record.sourcePath;
    shown.stayed = labelled(texts.localized({"仍留在", "Stayed in"}), texts.displayPath(record.targetPath));
    shown.targetPath = record.targetPath;
    const QString count = QString::number(record.leftoverCount);
    if (record.copiesOnly) {
        // Nothing to bring home: the undo is done, and only copies stayed.
        shown.advice = texts.localized(
            BilingualText("反悔已完成，数据已完整移回。外置磁盘不允许删除其中 %1 项副本（日志列出了每一项）；"
                          "磁盘允许时可以手动删除它们。",
                          "The undo is done and the data is whole at home. The external disk would not let "
                          "%1 copied item(s) be removed (the log lists each); remove them once the disk "
                          "allows it.")
                .arg(count));
    } else {
        shown.advice = texts.localized(
            BilingualText(
                "有 %1 项内容仍留在外置磁盘上（日志列出了每一项）。请先关闭使用这些文件的程序，再点击"
                "“追加恢复”把它们带回。",
                "%1 item(s) stayed on the external disk (the log lists each). Close the programs "
                "that use them, then press Append Restore to bring them home.")
                .arg(count));
        shown.appendRestore = texts.localized({"追加恢复", "Append Restore"});
    }
    shown.appendEnabled = recoveryEnabled;
    shown.openSource = texts.localized({"进入该目录", "Open in Sidebar"});
    shown.openTarget = texts.localized({"查看目标", "Open Target"});
    return shown;
}

LeftBehindRecordTexts keptVersionsRecordTexts(MainViewModel& viewModel, const KeptVersionsRecord& record)
{
    const Presentation& texts = viewModel.presentation();
    LeftBehindRecordTexts shown;
    shown.name = QFileInfo(record.sourcePath).fileName();
    shown.badge = texts.localized(record.completedInstead ? BilingualText("已改为完成", "Completed Instead")
                                  : record.keptVersions() ? BilingualText("保留了旧版本", "Versions Kept")
                                                          : BilingualText("仍被占用", "Still Held"));
    shown.date = texts.formatDate(record.keptAt);
    shown.source = labelled(texts.localized({"文件夹", "Folder"}), texts.displayPath(record.sourcePath));
    shown.sourcePath = record.sourcePath;
    shown.stayed = labelled(texts.localized(record.completedInstead ? BilingualText("现在位于", "Now at")
                                                                    : BilingualText("保留在", "Kept at")),
                            texts.displayPath(record.targetPath));
    shown.targetPath = record.targetPath;
    QList<BilingualText> said;
    if (record.completedInstead)
        said.append(completedInsteadText(record.sourcePath, record.targetPath, texts));
    if (const auto kept = keptVersionsText(record.olderVersions, record.keptPaths, texts))
        said.append(*kept);
    if (const auto held = heldFilesText(record.sourcePath, record.heldPaths, record.holders, texts))
        said.append(*held);
    BilingualText advice;
    for (const BilingualText& sentence : said)
        advice = advice.isEmpty() ? sentence : advice + QStringLiteral(" ") + sentence;
    shown.advice = texts.localized(advice);
    shown.openSource = texts.localized({"进入该目录", "Open in Sidebar"});
    shown.openTarget =
        texts.localized(record.completedInstead ? BilingualText("查看目标", "Open Target")
                                                : BilingualText("查看保留位置", "Open Kept Place"));
    return shown;
}

LinkRecordTexts linkRecordTexts(MainViewModel& viewModel, const LinkRepairRecord& record)
{
    const Presentation& texts = viewModel.presentation();
    LinkRecordTexts shown;
    shown.name = QFileInfo(record.sourcePath).fileName();
    shown.repaired = record.repaired;
    shown.badge = texts.localized(record.repaired ? BilingualText("已修复", "Repaired")
                                                  : BilingualText("未修复", "Not Repaired"));
    shown.date = texts.formatDate(record.repairedAt);
    shown.link = labelled(texts.localized({"链接", "Link"}), texts.displayPath(record.sourcePath));
    shown.sourcePath = record.sourcePath;
    shown.target = labelled(texts.localized(record.repaired ? BilingualText("现在指向", "Points to")
                                                            : BilingualText("记录的目标", "Recorded Target")),
                            texts.displayPath(record.targetPath));
    shown.targetPath = record.targetPath;
    return shown;
}

} // namespace orvalink::ui
