#include "viewmodel/texts/MigrationFailureText.h"

#include "model/FailureOf.h"
#include "viewmodel/state/WorkflowRecords.h"
#include "viewmodel/texts/ErrorText.h"
#include "viewmodel/texts/NameListText.h"

#include <QRegularExpression>

namespace orvalink {

namespace {

BilingualText generalFailureText()
{
    return BilingualText(
        "迁移失败，请检查目录权限、目录占用状态和目标磁盘连接情况。",
        "Migration failed. Check directory permissions, file locks, and the target disk connection.");
}

BilingualText migrationFailedText()
{
    return BilingualText("迁移失败。", "Migration failed.");
}

BilingualText inUseText(const QStringList& processes)
{
    if (processes.isEmpty())
        return BilingualText(
            "目录正在被相关应用、终端或系统进程占用。你可以先手动关闭，或者在失败项里点“终止占用程序并重试”"
            "。",
            "The directory is currently in use. Close the related apps first, or use Terminate Holders "
            "and Retry from the failed item.");
    return BilingualText(
               "目录正在被这些程序占用：%1。你可以先手动关闭，或者在失败项里点“终止占用程序并重试”。",
               "The directory is in use by: %1. Close them first, or use Terminate Holders and "
               "Retry from the failed item.")
        .arg(nameListText(processes));
}

BilingualText unkeptWords(platform::Unkept unkept)
{
    using platform::Unkept;
    switch (unkept) {
    case Unkept::modes:
        return BilingualText("文件权限", "file permissions");
    case Unkept::owners:
        return BilingualText("文件所有者", "file owners");
    case Unkept::symbolicLinks:
        return BilingualText("符号链接", "symbolic links");
    case Unkept::hardLinks:
        return BilingualText("硬链接", "hard links");
    case Unkept::specialFiles:
        return BilingualText("命名管道等特殊文件", "special files such as named pipes");
    case Unkept::extendedAttributes:
        return BilingualText("扩展属性", "extended attributes");
    case Unkept::accessControlLists:
        return BilingualText("访问控制列表（ACL）", "access control lists");
    case Unkept::names:
        return BilingualText("名称中的某些字符", "some characters in names");
    case Unkept::caseOnlyNames:
        return BilingualText("仅大小写不同的名称", "names that differ only in case");
    }
    return BilingualText();
}

// A piece of text that begins a path ("/..." or "~/...") runs to the next white space.
bool isPathToken(QStringView token)
{
    static const QString opening = QStringLiteral("\"'(（“：:");
    while (!token.isEmpty() && opening.contains(token.front()))
        token = token.mid(1);
    return token.startsWith(QLatin1Char('/')) || token.startsWith(QLatin1String("~/"));
}

// Chinese characters stand somewhere other than in a path ("/..." or "~/..." up to the next white
// space).
bool hasChineseOutsidePaths(const QString& text)
{
    static const QRegularExpression chinese(QStringLiteral("[\\x{4E00}-\\x{9FA5}]"));
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"));
    for (const QString& token : text.split(whiteSpace, Qt::SkipEmptyParts)) {
        if (!isPathToken(token) && chinese.match(token).hasMatch())
            return true;
    }
    return false;
}

} // namespace

BilingualText failureCaseText(OrvalinkError::Case errorCase, const QStringList& processes)
{
    using Case = OrvalinkError::Case;
    switch (errorCase) {
    case Case::targetVolumeNotMounted:
        return BilingualText("目标磁盘未连接或未挂载。", "The target disk is not connected or mounted.");
    case Case::insufficientSpace:
        return BilingualText("目标磁盘空间不足，请先释放空间后再试。",
                             "The target disk does not have enough free space.");
    case Case::permissionDenied:
        return BilingualText("权限不足，请先获取管理员权限后再试。",
                             "Permission denied. Grant administrator access and try again.");
    case Case::targetAlreadyExists:
        return BilingualText(
            "目标位置已存在同名目录或文件。通常是目标盘里已经有同一路径的残留内容。你可以在失败项里选择“强制"
            "迁移”，"
            "再决定追加迁移或覆盖迁移。",
            "The target path already exists. Residual content is already present on the target disk. Use "
            "Force Migrate from the failed item to choose append or overwrite.");
    case Case::sourceNotFound:
        return BilingualText(
            "原始目录不存在，可能已被移动、删除，或外置盘当前未连接。",
            "The source path is missing. It may have been moved, removed, or the disk is unavailable.");
    case Case::parentChildConflict:
        return BilingualText("所选目录存在父子级冲突，请不要同时选择上级目录和它的子目录。",
                             "The selected directories contain a parent-child conflict. Do not select a "
                             "parent and its child together.");
    case Case::sourceInUse:
        return inUseText(processes);
    case Case::moveFailed:
        return BilingualText(
            "移动目录失败，请检查目标磁盘、目录占用状态和写入权限。",
            "Failed to move the directory. Check the target disk, file locks, and write permissions.");
    case Case::verifyFailed:
        return BilingualText("迁移后的校验没有通过，请先确认目标目录内容是否完整。",
                             "Post-migration verification failed. Check whether the target directory is "
                             "complete.");
    case Case::symlinkFailed:
        return BilingualText("创建链接失败，请检查原路径和目标路径的权限状态。",
                             "Failed to create the link. Check permissions for the source and target paths.");
    case Case::rollbackFailed:
        return BilingualText("自动回滚失败，数据已保留，请按提示路径手动处理。",
                             "Automatic rollback failed. The data was preserved; follow the provided path "
                             "and handle it manually.");
    case Case::disallowedPath:
        return BilingualText("该目录属于受保护或高风险位置，不建议直接迁移。",
                             "This path is protected or high-risk and should not be migrated directly.");
    case Case::invalidAnchor:
        return BilingualText("当前目录不在允许迁移的用户目录范围内。",
                             "The current path is outside the allowed user area for migration.");
    case Case::undoTargetNotFound:
        return BilingualText("没有可反悔的迁移记录。", "No migration record available to undo.");
    case Case::undoSourceOccupied:
        return BilingualText("无法反悔，因为原路径已被占用。",
                             "Undo is blocked because the source path is occupied.");
    case Case::undoMappingBroken:
        return BilingualText("无法反悔，因为已迁移目标目录不存在。",
                             "Undo is blocked because the mapped target path is missing.");
    case Case::cloudSnapshotDeviceMismatch:
        return BilingualText("该云端记录属于另一台设备，不能直接恢复到当前电脑。",
                             "This cloud snapshot belongs to another device and cannot be restored here "
                             "directly.");
    case Case::sourceOccupiedAfterMove:
        return BilingualText(
            "迁移最后一步发现原路径又被重新创建或占用。你可以在失败项里选择“强制迁移”，再决定追加迁移或覆盖迁"
            "移。",
            "The original path was recreated or occupied again during the final step. Use Force Migrate "
            "from the failed item to choose append or overwrite.");
    case Case::undoTargetUnverified:
        return BilingualText("无法确认外置磁盘上的内容就是迁移出去的数据，因此没有做任何改动。",
                             "What stands on the external disk could not be confirmed as the migrated "
                             "data, so nothing was changed.");
    case Case::historyNotWritten:
        return BilingualText(
            "迁移无法写入历史记录（磁盘可能已满或只读），因此已撤回：数据已回到原来的位置。",
            "The migration could not be written to the history (the disk may be full or read-only), so it "
            "was taken back: the data is at its original location again.");
    case Case::caseCount:
        break;
    }
    return generalFailureText();
}

BilingualText shortfallText(const CopyShortfall& shortfall)
{
    const BilingualText entry = BilingualText::same(shortfall.entry);
    if (shortfall.reason == CopyShortfall::Reason::keptChanging)
        return BilingualText(
                   "%1 在复制期间一直在变化，迁移已撤回，目录仍在原来的位置。请先关闭正在写入它的程序再试。",
                   "%1 kept changing while it was copied, so the migration was taken back and the "
                   "folder is at its original place. Close the program that writes to it, then "
                   "try again.")
            .arg(entry);
    if (shortfall.reason == CopyShortfall::Reason::writtenInRemoval)
        return BilingualText(
                   "%1 在删除原件期间被写入，迁移已撤回，目录仍在原来的位置。请先关闭正在写入它的程序再试。",
                   "%1 was written while the original was being removed, so the migration was "
                   "taken back and the folder is at its original place. Close the program that "
                   "writes to it, then try again.")
            .arg(entry);
    if (shortfall.reason == CopyShortfall::Reason::copyGone)
        return BilingualText(
                   "外置磁盘上 %1 的副本在原件删除之前被删除或改动了，因此迁移已撤回，目录仍在原来的位置。",
                   "The copy of %1 on the external disk was removed or changed before the original "
                   "went, so the migration was taken back and the folder is at its original place.")
            .arg(entry);
    if (shortfall.reason == CopyShortfall::Reason::copyHidden)
        return BilingualText("外置磁盘上 %1 的副本在原件删除之前被挂载在 %2 "
                             "的文件系统遮住了，因此迁移已撤回，目录仍在原来的位置。",
                             "The copy of %1 on the external disk was hidden by a file system mounted at "
                             "%2 before the original went, so the migration was taken back and the folder "
                             "is at its original place.")
            .arg(entry, BilingualText::same(shortfall.mountPoint));
    if (shortfall.reason == CopyShortfall::Reason::copyHiddenAfterRemoval)
        return BilingualText("原件已删除，副本完整地保存在 %1，但被挂载在 %2 "
                             "的文件系统遮住了。请卸载该文件系统，下次启动时会完成迁移。",
                             "The original is gone; its copy is whole at %1, hidden under the file "
                             "system mounted at %2. Unmount that file system, and the next start "
                             "finishes the migration.")
            .arg(entry, BilingualText::same(shortfall.mountPoint));
    if (shortfall.reason == CopyShortfall::Reason::volumeUntold)
        return BilingualText(
                   "无法确认 %1 "
                   "位于哪个外置磁盘上，因此无法检查该磁盘能否完整保留这个文件夹。没有移动任何内容。",
                   "Which disk %1 lies on could not be told, so whether that disk can keep the folder "
                   "as it is could not be tried. Nothing was moved.")
            .arg(entry);
    return BilingualText("外置磁盘的文件系统（%1）无法保留%2，首个涉及的项目：%3。没有移动任何内容。",
                         "The external disk's file system (%1) cannot keep %2; the first entry concerned is "
                         "%3. Nothing was moved.")
        .arg(BilingualText::same(shortfall.fileSystem), unkeptWords(shortfall.unkept), entry);
}

BilingualText localizedMigrationFailureMessage(const std::exception_ptr& error)
{
    if (const std::optional<OrvalinkError> failure = failureOf<OrvalinkError>(error)) {
        if (failure->shortfall())
            return shortfallText(*failure->shortfall());
        return failureCaseText(failure->errorCase(), failure->processes());
    }
    return failureDescriptionText(localizedDescription(error));
}

BilingualText failedItemText(const FailedMigrationRecord& record)
{
    if (!record.olderVersions.isEmpty()) {
        FailedMigrationRecord reason = record;
        reason.olderVersions.clear();
        return failedItemText(reason) + QStringLiteral(" ") +
               BilingualText("迁移期间写入的较新版本已放回原处，被替换的旧版本保留在：%1。",
                             "The newer versions written while it moved are in place; the ones they "
                             "replaced were kept at: %1.")
                   .arg(nameListText(record.olderVersions, 3));
    }
    if (record.shortfall)
        return shortfallText(*record.shortfall);
    if (const std::optional<OrvalinkError::Case> errorCase = record.errorCase())
        return failureCaseText(*errorCase, record.processes);
    if (!record.errorMessage.trimmed().isEmpty())
        return failureDescriptionText(record.errorMessage);
    if (record.status == TaskStatus::rolledBack)
        return BilingualText("迁移失败，已自动回滚。", "Migration failed and was rolled back.");
    return migrationFailedText();
}

BilingualText failureDescriptionText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return migrationFailedText();
    if (hasChineseOutsidePaths(t))
        return BilingualText::same(t);
    return generalFailureText();
}

BilingualText refusedPathsText(const QStringList& paths)
{
    BilingualText listed = BilingualText::same(paths.mid(0, 3).join(QLatin1Char('\n')));
    if (paths.size() <= 3)
        return listed;
    const QString rest = QString::number(paths.size() - 3);
    return listed + BilingualText(QStringLiteral("\n...以及另外 ") + rest + QStringLiteral(" 个路径"),
                                  QStringLiteral("\n...and ") + rest + QStringLiteral(" more path(s)"));
}

BilingualText blockedMigrationPathsText(const QStringList& blocked)
{
    return BilingualText(
               "安全策略已阻止迁移以下路径（属于系统受保护目录、系统托管目录或其他受保护位置）：\n%1"
               "\n\n关闭严格模式只能移除部分限制；像 .Trash 这类系统托管目录仍不建议迁移。",
               "Safety rules blocked these paths because they are the system's protected folders, "
               "system-managed folders, or other protected locations:\n%1"
               "\n\nDisabling Strict Mode only removes part of the protection. System-managed "
               "folders like .Trash should still not be migrated.")
        .arg(refusedPathsText(blocked));
}

} // namespace orvalink
