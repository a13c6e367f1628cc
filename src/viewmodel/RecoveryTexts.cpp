#include "viewmodel/RecoveryTexts.h"

#include "viewmodel/Presentation.h"

#include <QStringList>

namespace orvalink {

namespace {

QString sentenceFor(const RecoveredOperation& operation, const Presentation& presentation)
{
    const QString source = presentation.displayPath(operation.sourcePath);
    const QString target = presentation.displayPath(operation.targetPath);
    switch (operation.outcome) {
    case RecoveredOperation::Outcome::migrationRolledBack:
        return presentation.localized(
            QStringLiteral("中断的迁移已撤回，数据已回到原位置：%1。").arg(source),
            QStringLiteral("An interrupted migration was undone; the data is back at %1.").arg(source));
    case RecoveredOperation::Outcome::migrationCompleted:
        return presentation.localized(
            QStringLiteral("中断的迁移已完成：%1 → %2。").arg(source, target),
            QStringLiteral("An interrupted migration was completed: %1 -> %2.").arg(source, target));
    case RecoveredOperation::Outcome::undoStopped:
        return presentation.localized(
            QStringLiteral("中断的撤销已停止，链接保留：%1 → %2。").arg(source, target),
            QStringLiteral("An interrupted undo was stopped; the link was kept: %1 -> %2.")
                .arg(source, target));
    case RecoveredOperation::Outcome::undoCompleted:
        return presentation.localized(
            QStringLiteral("中断的撤销已完成，数据已回到：%1。").arg(source),
            QStringLiteral("An interrupted undo was completed; the data is back at %1.").arg(source));
    case RecoveredOperation::Outcome::leftAsFound:
        break;
    }
    QStringList paths;
    for (const QString& path : operation.foundPaths)
        paths.append(presentation.displayPath(path));
    const QString listed = paths.join(QStringLiteral(", "));
    return presentation.localized(
        QStringLiteral("中断的操作无法自动恢复，以下位置未做任何改动，请检查：%1。").arg(listed),
        QStringLiteral("An interrupted operation could not be put right; nothing was changed at these paths, "
                       "please check them: %1.")
            .arg(listed));
}

std::optional<QString> joined(const QStringList& sentences)
{
    if (sentences.isEmpty())
        return std::nullopt;
    return sentences.join(QLatin1Char(' '));
}

} // namespace

RecoveryTexts recoveryTexts(const QList<RecoveredOperation>& recovered, const Presentation& presentation)
{
    QStringList done;
    QStringList left;
    for (const RecoveredOperation& operation : recovered) {
        (operation.outcome == RecoveredOperation::Outcome::leftAsFound ? left : done)
            .append(sentenceFor(operation, presentation));
    }
    return {joined(done), joined(left)};
}

} // namespace orvalink
