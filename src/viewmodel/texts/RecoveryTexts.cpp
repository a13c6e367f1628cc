#include "viewmodel/texts/RecoveryTexts.h"

#include "viewmodel/texts/NameListText.h"
#include "viewmodel/texts/Presentation.h"

#include <QStringList>
#include <algorithm>

namespace orvalink {

namespace {

using Outcome = RecoveredOperation::Outcome;

QString listed(const QStringList& paths, const Presentation& presentation)
{
    QStringList shown;
    for (const QString& path : paths)
        shown.append(presentation.displayPath(path));
    return shown.join(QStringLiteral(", "));
}

// As many paths as changed after a copy, which can be a whole tree: the first few, then a count (the
// log lists every one). Only those shown are put in their shown form: the entries of one tree share
// the folders a mask hides, so they stay distinct in it and the count holds.
BilingualText shownPaths(QStringList paths, const Presentation& presentation)
{
    constexpr qsizetype kShown = 3;
    for (qsizetype i = 0; i < std::min(kShown, paths.size()); ++i)
        paths[i] = presentation.displayPath(paths.at(i));
    return nameListText(paths, kShown);
}

// What happened to the data, when anything did.
std::optional<BilingualText> outcomeSentence(const RecoveredOperation& operation,
                                             const Presentation& presentation)
{
    const QString source = presentation.displayPath(operation.sourcePath);
    const QString target = presentation.displayPath(operation.targetPath);
    switch (operation.outcome) {
    case Outcome::migrationRolledBack:
        return BilingualText(
            QStringLiteral("中断的迁移已撤回，数据已回到原位置：%1。").arg(source),
            QStringLiteral("An interrupted migration was undone; the data is back at %1.").arg(source));
    case Outcome::migrationCompleted:
        if (operation.completedInstead)
            return completedInsteadText(operation.sourcePath, operation.targetPath, presentation);
        return BilingualText(
            QStringLiteral("中断的迁移已完成：%1 → %2。").arg(source, target),
            QStringLiteral("An interrupted migration was completed: %1 -> %2.").arg(source, target));
    case Outcome::migrationUnfinished:
        return BilingualText(
            QStringLiteral("中断的迁移尚未完成：%1 已链接到 %2，但复制后又有改动的内容还没有放到原位。")
                .arg(source, target),
            QStringLiteral("An interrupted migration is not complete yet: %1 leads to %2, but what changed "
                           "after it was copied is not in place yet.")
                .arg(source, target));
    case Outcome::undoStopped:
        return BilingualText(QStringLiteral("中断的撤销已停止，链接保留：%1 → %2。").arg(source, target),
                             QStringLiteral("An interrupted undo was stopped; the link was kept: %1 -> %2.")
                                 .arg(source, target));
    case Outcome::forcedUndoStopped:
        return BilingualText(
            QStringLiteral("中断的强制恢复已停止：原路径 %1 上原有的内容已放回，迁移的数据仍在 %2。")
                .arg(source, target),
            QStringLiteral(
                "An interrupted forced restore was stopped: what stood at %1 is back there, and the "
                "migrated data stays at %2.")
                .arg(source, target));
    case Outcome::undoCompleted:
        return BilingualText(
            QStringLiteral("中断的撤销已完成，数据已回到：%1。").arg(source),
            QStringLiteral("An interrupted undo was completed; the data is back at %1.").arg(source));
    case Outcome::leftoversCleared:
        return BilingualText(
            QStringLiteral("中断的操作留在 %1 的副本已清除。").arg(target),
            QStringLiteral("The copy an interrupted operation left at %1 was removed.").arg(target));
    case Outcome::setAside:
        return std::nullopt;
    case Outcome::leftAsFound:
        break;
    }
    if (operation.foundPaths.isEmpty())
        return std::nullopt;
    const QString paths = listed(operation.foundPaths, presentation);
    return BilingualText(
        QStringLiteral("中断的操作无法自动恢复，以下位置未做任何改动，请检查：%1。").arg(paths),
        QStringLiteral("An interrupted operation could not be put right; nothing was changed at these paths, "
                       "please check them: %1.")
            .arg(paths));
}

// What needs the user: the operation waits, was left partly as found, or was set aside.
QList<BilingualText> attentionSentences(const RecoveredOperation& operation, const Presentation& presentation)
{
    QList<BilingualText> sentences;
    if (operation.outcome == Outcome::setAside) {
        const QString record = presentation.displayPath(operation.recordPath);
        sentences.append(
            operation.sourcePath.isEmpty()
                ? BilingualText(
                      QStringLiteral("一条无法读取的操作记录已移到一旁，未做任何改动：%1。").arg(record),
                      QStringLiteral("An operation record that could not be read was set aside; nothing was "
                                     "changed: %1.")
                          .arg(record))
                : BilingualText(
                      QStringLiteral("%1 的操作记录不可信，已移到一旁，未做任何改动，请检查该位置：%2。")
                          .arg(presentation.displayPath(operation.sourcePath), record),
                      QStringLiteral(
                          "The record of an interrupted operation on %1 could not be trusted and was "
                          "set aside; nothing was changed, please check that path. Record: %2.")
                          .arg(presentation.displayPath(operation.sourcePath), record)));
    }
    if (operation.waitingForVolume) {
        const QString root = presentation.displayPath(*operation.waitingForVolume);
        sentences.append(BilingualText(
            QStringLiteral("正在等待 %1 所在的磁盘：请连接它，下次启动时会处理中断的操作在那里留下的内容。")
                .arg(root),
            QStringLiteral(
                "Waiting for the volume of %1: connect it, and what the interrupted operation left "
                "there is dealt with at the next start.")
                .arg(root)));
    }
    if (operation.outcome != Outcome::leftAsFound && !operation.foundPaths.isEmpty()) {
        const QString paths = listed(operation.foundPaths, presentation);
        sentences.append(BilingualText(
            QStringLiteral("以下位置保持原样，请检查：%1。").arg(paths),
            QStringLiteral("These paths were left as they were found, please check them: %1.").arg(paths)));
    }
    if (!operation.waitingPaths.isEmpty())
        sentences.append(
            BilingualText("复制后又有改动的内容暂时无法放到原位（原因见日志），仍保留在：%1。"
                          "下次启动时会再试。",
                          "What changed after it was copied could not be put in place yet (the log "
                          "says why) and waits at: %1. The next start tries again.")
                .arg(shownPaths(operation.waitingPaths, presentation)));
    if (const std::optional<BilingualText> held =
            heldFilesText(operation.sourcePath, operation.heldPaths, operation.holders, presentation))
        sentences.append(*held);
    if (operation.needsAdministrator && operation.outcome == Outcome::leftAsFound) {
        sentences.append(
            BilingualText("这一步需要管理员权限，启动时不会请求，因此未做改动。",
                          "This needs administrator rights, which are not asked for at start-up, so nothing "
                          "was changed."));
    } else if (operation.needsAdministrator) {
        // The data was put right; only what it left behind, named just above, stays.
        sentences.append(BilingualText("清除这些位置需要管理员权限，启动时不会请求。",
                                       "Clearing these paths needs administrator rights, which are not asked "
                                       "for at start-up."));
    }
    return sentences;
}

std::optional<BilingualText> joined(const QList<BilingualText>& sentences)
{
    if (sentences.isEmpty())
        return std::nullopt;
    BilingualText text = sentences.constFirst();
    for (qsizetype i = 1; i < sentences.size(); ++i)
        text += QStringLiteral(" ") + sentences.at(i);
    return text;
}

} // namespace

RecoveryTexts recoveryTexts(const QList<RecoveredOperation>& recovered, const Presentation& presentation)
{
    QList<BilingualText> done;
    QList<BilingualText> attention;
    for (const RecoveredOperation& operation : recovered) {
        if (const std::optional<BilingualText> sentence = outcomeSentence(operation, presentation))
            (operation.outcome == Outcome::leftAsFound || operation.outcome == Outcome::migrationUnfinished
                 ? attention
                 : done)
                .append(*sentence);
        if (const std::optional<BilingualText> kept =
                keptVersionsText(operation.olderVersions, operation.keptPaths, presentation))
            done.append(*kept);
        attention.append(attentionSentences(operation, presentation));
    }
    return {joined(done), joined(attention)};
}

std::optional<BilingualText> keptVersionsText(const QStringList& olderVersions, const QStringList& keptPaths,
                                              const Presentation& presentation)
{
    QList<BilingualText> sentences;
    if (!keptPaths.isEmpty())
        sentences.append(BilingualText("复制后又有改动的项目已保留：%1。",
                                       "Items that changed after they were copied were kept: %1.")
                             .arg(shownPaths(keptPaths, presentation)));
    if (!olderVersions.isEmpty())
        sentences.append(BilingualText("复制后又有改动的项目已放到原位，被替换的旧版本保留在：%1。",
                                       "What changed after it was copied took its place; the versions it "
                                       "replaced were kept at: %1.")
                             .arg(shownPaths(olderVersions, presentation)));
    return joined(sentences);
}

std::optional<BilingualText> heldFilesText(const QString& sourcePath, const QStringList& heldPaths,
                                           const QStringList& holders, const Presentation& presentation)
{
    if (heldPaths.isEmpty())
        return std::nullopt;
    return BilingualText("%1 中的文件仍被程序打开（%2），因此保持原样：%3。程序关闭后，"
                         "下次启动时会完成剩下的工作。",
                         "Files of %1 were left where they are because a program still has them open (%2): "
                         "%3. Once nothing holds them any more, the next start finishes with them.")
        .arg(BilingualText::same(presentation.displayPath(sourcePath)),
             BilingualText::same(holders.join(QStringLiteral(", "))), shownPaths(heldPaths, presentation));
}

BilingualText completedInsteadText(const QString& sourcePath, const QString& targetPath,
                                   const Presentation& presentation)
{
    const QString source = presentation.displayPath(sourcePath);
    const QString target = presentation.displayPath(targetPath);
    return BilingualText(
        QStringLiteral("应用停止时，%1 的迁移正在撤回；外置磁盘上的副本完整，因此已改为完成迁移：%1 → %2。")
            .arg(source, target),
        QStringLiteral("The migration of %1 was being taken back when the application stopped; its copy on "
                       "the external disk was whole, so the migration was completed instead: %1 -> %2.")
            .arg(source, target));
}

BilingualText recoveryInProgressText(const QStringList& sourcePaths, const Presentation& presentation)
{
    // Folder names only: the line must stay short enough to be read at a glance; the report that
    // follows gives the full paths.
    QStringList names;
    for (const QString& path : sourcePaths)
        names.append(presentation.displayName(path));
    return BilingualText(
        QStringLiteral("正在收尾上次中断的操作：%1。稍后显示文件夹列表。")
            .arg(names.join(QStringLiteral("、"))),
        QStringLiteral("Finishing what was interrupted last time: %1. The folder list follows.")
            .arg(names.join(QStringLiteral(", "))));
}

} // namespace orvalink
