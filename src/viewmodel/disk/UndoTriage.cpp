#include "viewmodel/disk/UndoTriage.h"

#include "diskops/UndoIncomplete.h"
#include "diskops/UndoNotDone.h"
#include "diskops/UndoWaitsForMigration.h"
#include "model/FailureOf.h"
#include "model/OrvalinkError.h"
#include "platform/StandardPath.h"
#include "viewmodel/disk/AdministratorAuthorization.h"
#include "viewmodel/disk/DiskWorkContext.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/state/ViewModelServices.h"
#include "viewmodel/texts/ErrorText.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/NameListText.h"
#include "viewmodel/texts/Presentation.h"

#include <QFileInfo>

namespace orvalink {

namespace {

BilingualText notRecordedMessage(const Presentation& texts, const UndoIncomplete& incomplete)
{
    const QString name = QFileInfo(incomplete.sourcePath()).fileName();
    const QString source = texts.displayPath(incomplete.sourcePath());
    return BilingualText(QStringLiteral("「") + name + QStringLiteral("」的数据已移回 ") + source +
                             QStringLiteral("，但历史记录无法更新（") + incomplete.reason() +
                             QStringLiteral("）。下次启动时会补全这条记录。"),
                         name + QStringLiteral(" is back at ") + source +
                             QStringLiteral(", but the history could not be updated (") +
                             incomplete.reason() +
                             QStringLiteral("). The record will be completed at the next start."));
}

BilingualText notDoneMessage(const Presentation& texts, const UndoNotDone& notDone)
{
    const QString name = QFileInfo(notDone.sourcePath()).fileName();
    const QString target = texts.displayPath(notDone.targetPath());
    const QString source = texts.displayPath(notDone.sourcePath());
    // Where it failed, when the failure names a file (one that could not be read, say).
    if (notDone.failedPath().isEmpty())
        return BilingualText(
                   "「%1」没有反悔，什么都没有改动（%2）。数据仍完整地保留在外置磁盘的 %3，%4 "
                   "仍然指向它，这条记录也仍保留在历史中。",
                   "The undo of %1 did not happen and nothing was changed (%2). The data stays "
                   "whole on the external disk at %3, %4 still leads to it, and the record stays in "
                   "the history.")
            .arg(name, notDone.reason(), target, source);
    return BilingualText(
               "「%1」没有反悔，什么都没有改动：%2 出错（%3）。数据仍完整地保留在外置磁盘的 %4，%5 "
               "仍然指向它，这条记录也仍保留在历史中。",
               "The undo of %1 did not happen and nothing was changed: %3 at %2. The data stays "
               "whole on the external disk at %4, %5 still leads to it, and the record stays in the "
               "history.")
        .arg(name, texts.displayPath(notDone.failedPath()), notDone.reason(), target, source);
}

// However many entries a program wrote meanwhile, the message names where they are and how many:
// the log, which has the list, is named for the rest.
BilingualText leftBehindText(const Presentation& texts, const QString& sourcePath, const QString& targetPath,
                             qsizetype leftoverCount, const QString& logFile)
{
    const QString name = QFileInfo(sourcePath).fileName();
    const QString source = texts.displayPath(sourcePath);
    const QString count = QString::number(leftoverCount);
    const QString target = texts.displayPath(targetPath);
    const QString log = texts.displayPath(logFile);
    return BilingualText(
        QStringLiteral("「") + name + QStringLiteral("」的数据已移回 ") + source +
            QStringLiteral("，但反悔期间写入的 ") + count + QStringLiteral(" 项内容仍留在外置磁盘的 ") +
            target + QStringLiteral(" 中，完整列表见日志 ") + log +
            QStringLiteral("。这条记录仍保留在历史中：请先关闭写入这些文件的程序，再对它选择“追加恢复”，把其"
                           "余内容带回。"),
        name + QStringLiteral(" is back at ") + source + QStringLiteral(", but ") + count +
            QStringLiteral(" item(s) written to it during the undo stayed on the external disk in ") +
            target + QStringLiteral("; the log lists them: ") + log +
            QStringLiteral(
                ". The record stays in the history: close the programs that write there, then undo "
                "it again with Append Restore to bring the rest home."));
}

BilingualText unverifiedTargetMessage(const Presentation& texts, const QString& targetPath,
                                      const LinkMapping& mapping)
{
    const QString target = texts.displayPath(targetPath);
    const QString source = texts.displayPath(mapping.sourcePath);
    return BilingualText(
        QStringLiteral("无法反悔：无法确认 ") + target + QStringLiteral(" 处的内容就是从 ") + source +
            QStringLiteral(
                " 迁移出去的数据，因此没有做任何改动，这条记录仍保留在历史中。请检查外置磁盘上的这个位置。"),
        QStringLiteral("Undo was refused: what stands at ") + target +
            QStringLiteral(" could not be confirmed as the data migrated from ") + source +
            QStringLiteral(
                ", so nothing was changed and the record stays in the history. Check that place on the "
                "external disk."));
}

} // namespace

std::optional<OrvalinkError> errorOfCase(const std::exception_ptr& error, OrvalinkError::Case errorCase)
{
    const std::optional<OrvalinkError> failure = failureOf<OrvalinkError>(error);
    if (failure && failure->errorCase() == errorCase)
        return failure;
    return std::nullopt;
}

bool heldOutsideTheData(const OrvalinkError& held, const LinkMapping& mapping)
{
    return !platform::isSameOrDescendant(held.path(), mapping.sourcePath) &&
           !platform::isSameOrDescendant(held.path(), mapping.targetPath);
}

BilingualText undoFailureMessage(DiskWorkContext& context, const std::exception_ptr& error,
                                 const LinkMapping& mapping)
{
    using Case = OrvalinkError::Case;
    const Presentation& texts = context.presentation();
    if (const std::optional<OrvalinkError> unverified = errorOfCase(error, Case::undoTargetUnverified))
        return unverifiedTargetMessage(texts, unverified->path(), mapping);
    if (const std::optional<UndoIncomplete> incomplete = failureOf<UndoIncomplete>(error))
        return notRecordedMessage(texts, *incomplete);
    if (const std::optional<UndoNotDone> notDone = failureOf<UndoNotDone>(error))
        return notDoneMessage(texts, *notDone);
    if (const std::optional<UndoWaitsForMigration> waits = failureOf<UndoWaitsForMigration>(error))
        return BilingualText("反悔暂未进行，没有做任何改动：%1 的迁移尚未完成，原因见日志 %2。"
                             "迁移完成后（启动时会完成它）再反悔。",
                             "The undo waits and changed nothing: the migration of %1 is not finished yet; "
                             "the log %2 says why. Once it is finished (a start finishes it), undo again.")
            .arg(BilingualText::same(texts.displayPath(waits->sourcePath())),
                 BilingualText::same(texts.displayPath(context.services().logService->filePath())));
    if (const std::optional<OrvalinkError> held = errorOfCase(error, Case::sourceInUse);
        held && heldOutsideTheData(*held, mapping))
        return BilingualText(
                   "这些程序仍在占用 %1（%2 的迁移尚未放到位的较新版本）：%3。请先关闭它们，再反悔。",
                   "These programs still hold %1, a newer version the migration of %2 has not put "
                   "in place yet: %3. Close them, then undo again.")
            .arg(BilingualText::same(texts.displayPath(held->path())),
                 BilingualText::same(texts.displayPath(mapping.sourcePath)), nameListText(held->processes()));
    if (const std::optional<OrvalinkError> held = errorOfCase(error, Case::sourceInUse))
        // Still held after the programs were asked to end: the user's own step comes first.
        return BilingualText("这些程序仍在使用 %1 里的文件：%2。请先关闭它们，再反悔。",
                             "These programs still use files in %1: %2. Close them, then undo again.")
            .arg(BilingualText::same(texts.displayPath(mapping.sourcePath)), nameListText(held->processes()));
    // An occupied source is asked about within the run (see RestoreQuestions) and a forced restore
    // is never refused for it; the general text of the case would still say what it is.
    return localizedMigrationFailureMessage(error);
}

BilingualText leftBehindMessage(DiskWorkContext& context, const LeftBehindRecord& record)
{
    const Presentation& texts = context.presentation();
    const QString log = context.services().logService->filePath();
    if (!record.copiesOnly)
        return leftBehindText(texts, record.sourcePath, record.targetPath, record.leftoverCount, log);
    return BilingualText("外置磁盘不允许删除「%1」的 %2 项副本，它们仍留在 %3 中，完整列表见日志 %4。"
                         "数据已完整移回，可以在磁盘允许时手动删除这些副本。",
                         "The external disk would not let %2 copied item(s) of %1 be removed: they stayed "
                         "in %3, and the log lists them: %4. The data is whole at home; remove the copies "
                         "once the disk allows it.")
        .arg(QFileInfo(record.sourcePath).fileName(), QString::number(record.leftoverCount),
             texts.displayPath(record.targetPath), texts.displayPath(log));
}

BilingualText triageUndoFailure(DiskWorkContext& context, const std::exception_ptr& error,
                                const LinkMapping& mapping)
{
    // The rights are needed for the file that could not be read, or else for the data on the volume.
    const std::optional<UndoNotDone> notDone = failureOf<UndoNotDone>(error);
    const std::optional<OrvalinkError> failure = failureOf<OrvalinkError>(error);
    const QString path = notDone && !notDone->failedPath().isEmpty() ? notDone->failedPath()
                         : failure && !failure->path().isEmpty()     ? failure->path()
                                                                     : mapping.targetPath;
    handleAdministratorAuthorizationRequirementIfNeeded(context.activity(), context.presentation(), error,
                                                        QStringLiteral("反悔迁移"),
                                                        QStringLiteral("undo migrations"), path);
    return undoFailureMessage(context, error, mapping);
}

namespace {

BilingualText restoredMessage(const Presentation& texts, const UndoResult& result)
{
    const QString name = QFileInfo(result.mapping.sourcePath).fileName();
    if (!result.forceRestoreSummary) {
        const QString date = texts.formatDate(result.revertedAt);
        return BilingualText(
            QStringLiteral("已反悔：") + name + QStringLiteral("（") + date + QStringLiteral("）"),
            QStringLiteral("Undo completed: ") + name + QStringLiteral(" (") + date + QStringLiteral(")"));
    }
    const ForceUndoRestoreSummary& s = *result.forceRestoreSummary;
    const QString preserved = s.preservedPath ? texts.displayPath(*s.preservedPath) : QString();
    const QString merged = QString::number(s.mergedExistingItemCount);
    const QString renamed = QString::number(s.renamedConflictCount);
    if (s.requestedMode == ForcedUndoRestoreMode::overwrite) {
        if (s.preservedPath)
            return BilingualText(
                QStringLiteral("已覆盖恢复：") + name +
                    QStringLiteral("。原路径已恢复，当前占用内容已保留到 ") + preserved +
                    QStringLiteral("。"),
                QStringLiteral("Overwrite restore completed for ") + name +
                    QStringLiteral(
                        ". The original path was restored and the previously occupying content was "
                        "preserved at ") +
                    preserved + QStringLiteral("."));
        return BilingualText(QStringLiteral("已覆盖恢复：") + name + QStringLiteral("。"),
                             QStringLiteral("Overwrite restore completed for ") + name + QStringLiteral("."));
    }
    if (s.didAppendMerge && s.renamedConflictCount < 1)
        return BilingualText(QStringLiteral("已追加恢复：") + name +
                                 QStringLiteral("。原路径已恢复，并合并了 ") + merged +
                                 QStringLiteral(" 项当前目录内容。"),
                             QStringLiteral("Append restore completed for ") + name +
                                 QStringLiteral(". The original path was restored and ") + merged +
                                 QStringLiteral(" current-folder item(s) were merged."));
    if (s.didAppendMerge)
        return BilingualText(QStringLiteral("已追加恢复：") + name +
                                 QStringLiteral("。原路径已恢复，并合并了 ") + merged +
                                 QStringLiteral(" 项当前目录内容；其中 ") + renamed +
                                 QStringLiteral(" 项同名内容已自动另存保留。"),
                             QStringLiteral("Append restore completed for ") + name +
                                 QStringLiteral(". The original path was restored, ") + merged +
                                 QStringLiteral(" current-folder item(s) were merged, and ") + renamed +
                                 QStringLiteral(" conflicting item(s) were preserved under renamed paths."));
    if (s.preservedPath)
        return BilingualText(
            QStringLiteral("已恢复：") + name + QStringLiteral("。当前占用内容已先保留到 ") + preserved +
                QStringLiteral(
                    "，再用原迁移数据恢复原路径；由于当前路径不是可直接合并的目录，本次未做目录追加。"),
            QStringLiteral("Restore completed for ") + name +
                QStringLiteral(". The current occupying content was first preserved at ") + preserved +
                QStringLiteral(
                    ", then the migrated data was restored to the original path. Directory append was not "
                    "used because the current path was not directly mergeable."));
    return BilingualText(QStringLiteral("已追加恢复：") + name + QStringLiteral("。"),
                         QStringLiteral("Append restore completed for ") + name + QStringLiteral("."));
}

} // namespace

BilingualText forceUndoSuccessMessage(const Presentation& texts, const UndoResult& result)
{
    BilingualText message = restoredMessage(texts, result);
    if (!result.terminatedProcesses.isEmpty())
        message = message + BilingualText(" 已结束的程序：%1。", " Programs ended: %1.")
                                .arg(nameListText(result.terminatedProcesses));
    return message;
}

} // namespace orvalink
