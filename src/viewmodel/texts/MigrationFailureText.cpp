#include "viewmodel/texts/MigrationFailureText.h"

#include "viewmodel/texts/ErrorText.h"

#include <QRegularExpression>
#include <optional>

namespace orvalink {

namespace {

// How a known English description begins (or a phrase it holds), and the user's text for it; none
// for the rules answered below in the code.
struct FailureRule {
    const char* phrase;
    bool prefix; // else anywhere in the text
    std::optional<BilingualText> text;
};

BilingualText inUseText()
{
    return {
        "目录正在被相关应用、终端或系统进程占用。你可以先手动关闭，或者在失败项里点“终止占用程序并重试”。",
        "The directory is currently in use. Close the related apps first, or use Terminate Holders and "
        "Retry from the failed item."};
}

// In the order they are tried; the holder-name rule sits before the plain in-use rule.
const FailureRule kRules[] = {
    {"Target volume is not mounted", true,
     BilingualText("目标磁盘未连接或未挂载。", "The target disk is not connected or mounted.")},
    {"Insufficient space", true,
     BilingualText("目标磁盘空间不足，请先释放空间后再试。",
                   "The target disk does not have enough free space.")},
    {"Permission denied:", true,
     BilingualText("权限不足，请先获取管理员权限后再试。",
                   "Permission denied. Grant administrator access and try again.")},
    {"Target path already exists:", true,
     BilingualText(
         "目标位置已存在同名目录或文件。通常是目标盘里已经有同一路径的残留内容。你可以在失败项里选择“强制迁移"
         "”，"
         "再决定追加迁移或覆盖迁移。",
         "The target path already exists. Residual content is already present on the target disk. Use Force "
         "Migrate from the "
         "failed item to choose append or overwrite.")},
    {"Source path not found:", true,
     BilingualText(
         "原始目录不存在，可能已被移动、删除，或外置盘当前未连接。",
         "The source path is missing. It may have been moved, removed, or the disk is unavailable.")},
    {"currently in use by:", false, std::nullopt},
    {"currently in use", false, std::nullopt},
    {"Selected directories include a parent-child conflict:", true,
     BilingualText(
         "所选目录存在父子级冲突，请不要同时选择上级目录和它的子目录。",
         "The selected directories contain a parent-child conflict. Do not select a parent and its child "
         "together.")},
    {"Failed to move ", true,
     BilingualText(
         "移动目录失败，请检查目标磁盘、目录占用状态和写入权限。",
         "Failed to move the directory. Check the target disk, file locks, and write permissions.")},
    {"Verification failed for:", true,
     BilingualText("迁移后的校验没有通过，请先确认目标目录内容是否完整。",
                   "Post-migration verification failed. Check whether the target directory is complete.")},
    {"Failed to create symlink ", true,
     BilingualText("创建链接失败，请检查原路径和目标路径的权限状态。",
                   "Failed to create the link. Check permissions for the source and target paths.")},
    {"Could not write the history file ", true,
     BilingualText(
         "迁移无法写入历史记录（磁盘可能已满或只读），因此已撤回：数据已回到原来的位置。",
         "The migration could not be written to the history (the disk may be full or read-only), so "
         "it was taken back: the data is at its original location again.")},
    {"Rollback failed for ", true,
     BilingualText("自动回滚失败，数据已保留，请按提示路径手动处理。",
                   "Automatic rollback failed. The data was preserved; follow the provided path and handle "
                   "it manually.")},
    {"Disallowed path:", true, std::nullopt},
    {"cannot be migrated directly", false, std::nullopt},
    {"Cannot create the migration link because the source path was recreated or is occupied again:", true,
     BilingualText("迁移最后一步发现原路径又被重新创建或占用。你可以在失败项里选择“强制迁移”，再决定追加迁移"
                   "或覆盖迁移。",
                   "The original path was recreated or occupied again during the final step. Use Force "
                   "Migrate from the "
                   "failed item to "
                   "choose append or overwrite.")},
    {"Invalid source path for user ", true,
     BilingualText("当前目录不在允许迁移的用户目录范围内。",
                   "The current path is outside the allowed user area for migration.")},
    {"Cannot undo because source path is occupied:", true,
     BilingualText("无法反悔，因为原路径已被占用。", "Undo is blocked because the source path is occupied.")},
    {"Cannot undo because mapped target path is missing:", true,
     BilingualText("无法反悔，因为已迁移目标目录不存在。",
                   "Undo is blocked because the mapped target path is missing.")},
    {"Cloud snapshot belongs to another device.", true,
     BilingualText("该云端记录属于另一台设备，不能直接恢复到当前电脑。",
                   "This cloud snapshot belongs to another device and cannot be restored here directly.")},
    // What a migration run records for a failure the engine gave no description of.
    {"Migration failed and was rolled back.", true,
     BilingualText("迁移失败，已自动回滚。", "Migration failed and was rolled back.")},
    {"Migration failed.", true, BilingualText("迁移失败。", "Migration failed.")},
};

BilingualText holderText(const QString& text)
{
    QStringList pieces = text.split(QStringLiteral("by:"));
    pieces.removeFirst();
    QString names = pieces.join(QStringLiteral("by:"));
    names.replace(QStringLiteral("Close them first."), QString());
    names.remove(QLatin1Char('.'));
    names = names.trimmed();
    if (names.isEmpty())
        return inUseText();
    return BilingualText(
        QStringLiteral("目录正在被这些程序占用：") + names +
            QStringLiteral("。你可以先手动关闭，或者在失败项里点“终止占用程序并重试”。"),
        QStringLiteral("The directory is in use by: ") + names +
            QStringLiteral(". Close them first, or use Terminate Holders and Retry from the failed item."));
}

// The text of the first known English form `t` takes, or none when it takes none of them.
std::optional<BilingualText> ruleText(const QString& t)
{
    for (const FailureRule& rule : kRules) {
        const QString phrase = QString::fromUtf8(rule.phrase);
        if (!(rule.prefix ? t.startsWith(phrase) : t.contains(phrase)))
            continue;
        if (phrase == QLatin1String("currently in use by:"))
            return holderText(t);
        if (phrase == QLatin1String("currently in use"))
            return inUseText();
        if (!rule.text)
            return BilingualText("该目录属于受保护或高风险位置，不建议直接迁移。",
                                 "This path is protected or high-risk and should not be migrated directly.");
        return *rule.text;
    }
    return std::nullopt;
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

BilingualText localizedMigrationFailureMessage(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return BilingualText("迁移失败。", "Migration failed.");
    // Known forms first: a path with Chinese in it does not make an English description Chinese.
    if (const std::optional<BilingualText> known = ruleText(t))
        return *known;
    if (hasChineseOutsidePaths(t))
        return BilingualText::same(t);
    return BilingualText(
        "迁移失败，请检查目录权限、目录占用状态和目标磁盘连接情况。",
        "Migration failed. Check directory permissions, file locks, and the target disk connection.");
}

BilingualText localizedMigrationFailureMessage(const std::exception_ptr& error)
{
    return localizedMigrationFailureMessage(localizedDescription(error));
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
