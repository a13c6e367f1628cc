#include "viewmodel/disk/RestoreQuestions.h"

#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/state/ActivityState.h"
#include "viewmodel/texts/NameListText.h"
#include "viewmodel/texts/Presentation.h"

namespace orvalink {

namespace {

QUuid publishHoldersQuestion(ActivityState& activity, const Presentation& texts, const OrvalinkError& held,
                             const LinkMapping& mapping)
{
    const QStringList& holders = held.processes();
    const QString folder = texts.displayPath(mapping.sourcePath);
    const BilingualText names = nameListText(holders);
    // The folder goes in as a value: a "%1" in its name is not a place marker.
    const BilingualText message =
        heldOutsideTheData(held, mapping)
            ? BilingualText(
                  "这些程序正在占用 %1，它是 %2 中的一个较新版本，迁移尚未把它放到位：%3。你可以先自己"
                  "关闭它们再反悔，或者结束这些程序：先完成迁移，再立即反悔。",
                  "These programs hold %1, a newer version of a file in %2 that its migration has not "
                  "put in place yet: %3. Close them yourself and undo again, or end them: the "
                  "migration is finished first, then the undo runs.")
                  .arg(BilingualText::same(texts.displayPath(held.path())), BilingualText::same(folder),
                       names)
            : BilingualText(
                  "这些程序正在使用 %1 "
                  "里的文件：%2。现在反悔的话，它们在数据搬回期间写入的内容会留在外置磁盘上。你可以先"
                  "自己关闭它们再反悔，或者结束这些程序并立即反悔。",
                  "These programs are using files in %1: %2. If the undo ran now, what they write while the "
                  "data is moved back would stay on the external disk. Close them yourself and undo again, "
                  "or "
                  "end them and undo now.")
                  .arg(BilingualText::same(folder), names);
    const QUuid id = QUuid::createUuid();
    activity.setUndoConflictPrompt(
        UndoConflictPrompt{id, mapping, BilingualText("程序正在使用此目录", "Programs Are Using This Folder"),
                           message, holders});
    activity.setInfoMessage(BilingualText("反悔之前需要先关闭正在使用该目录的程序：%1。",
                                          "Close the programs using this folder before the undo: %1.")
                                .arg(names));
    return id;
}

QUuid publishModeQuestion(ActivityState& activity, const Presentation& texts, const QString& occupiedPath,
                          const LinkMapping& mapping)
{
    const QString occupied = texts.displayPath(occupiedPath);
    const QString preserved = texts.displayPath(mapping.targetPath);
    const BilingualText message(
        QStringLiteral("原路径已被占用：") + occupied + QStringLiteral("。已迁移的数据仍保留在 ") +
            preserved +
            QStringLiteral("。\n\n追加恢复（推荐）：把当前目录里新出现的内容和原迁移数据合并，尽量两边都保留"
                           "。\n覆盖恢复：用原迁移数据恢复原路径，并把当前占用目录另存到隐藏备份路径，适合你"
                           "确认当前目录内容不重要的时候。"),
        QStringLiteral("The original path is occupied: ") + occupied +
            QStringLiteral(". Migrated data is still preserved at ") + preserved +
            QStringLiteral(
                ".\n\nAppend Restore (Recommended): merge the current folder contents with the migrated "
                "data so both sides are kept when possible.\nOverwrite Restore: restore the migrated data "
                "back to the original path and preserve the currently occupying folder in a hidden backup "
                "path. Use this only when the current folder contents are not important."));
    const QUuid id = QUuid::createUuid();
    activity.setUndoConflictPrompt(UndoConflictPrompt{
        id, mapping, BilingualText("选择强制恢复方式", "Choose a Force Restore Mode"), message});
    activity.setInfoMessage(BilingualText(
        "检测到原路径已被重新占用。请选择“追加恢复（推荐）”或“覆盖恢复”。",
        "The original path has been occupied again. Choose Append Restore (Recommended) or Overwrite "
        "Restore."));
    return id;
}

} // namespace

std::optional<QUuid> publishRestoreQuestion(ActivityState& activity, const Presentation& texts,
                                            const std::exception_ptr& error, const LinkMapping& mapping,
                                            const UndoAnswers& given)
{
    using Case = OrvalinkError::Case;
    if (const std::optional<OrvalinkError> occupied = errorOfCase(error, Case::undoSourceOccupied);
        occupied && !given.mode)
        return publishModeQuestion(activity, texts, occupied->path(), mapping);
    if (const std::optional<OrvalinkError> held = errorOfCase(error, Case::sourceInUse);
        held && !held->processes().isEmpty() && !given.endPrograms)
        return publishHoldersQuestion(activity, texts, *held, mapping);
    return std::nullopt;
}

bool takeRestoreAnswer(UndoAnswers& given, UndoConflictAnswer answer)
{
    switch (answer) {
    case UndoConflictAnswer::cancel:
        return false;
    case UndoConflictAnswer::appendRestore:
        given.mode = ForcedUndoRestoreMode::append;
        return true;
    case UndoConflictAnswer::overwriteRestore:
        given.mode = ForcedUndoRestoreMode::overwrite;
        return true;
    case UndoConflictAnswer::endPrograms:
        given.endPrograms = true;
        return true;
    }
    return false;
}

} // namespace orvalink
