#include "viewmodel/texts/BrowsingTexts.h"

#include "platform/StandardPath.h"

namespace orvalink {

std::optional<BilingualText> currentDirectoryContainersNoticeText(const QString& currentDirectoryPath,
                                                                  const QString& homeDirectory)
{
    const QString containers =
        platform::standardizedPath(homeDirectory + QStringLiteral("/Library/Containers"));
    if (platform::standardizedPath(currentDirectoryPath) != containers)
        return std::nullopt;
    return BilingualText(
        "该目录不建议迁移。请只迁移微信等应用容器里的深层大文件目录，不要迁移整个容器根目录。",
        "This directory is not recommended for migration. Only move deep large-data folders inside "
        "app containers, not the container root.");
}

QString formatDate(const QDateTime& date, const QLocale& locale)
{
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    // A "medium" time shows seconds; the locale's short pattern stops at the minutes.
    if (!timeFormat.contains(QLatin1Char('s'))) {
        const qsizetype minutes = timeFormat.lastIndexOf(QLatin1String("mm"));
        if (minutes >= 0)
            timeFormat.insert(minutes + 2, QStringLiteral(":ss"));
    }
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(local.time(), timeFormat);
}

BilingualText pathCopiedText()
{
    return BilingualText("已复制路径。", "Path copied.");
}

BilingualText startupListedText()
{
    return BilingualText("已加载目录。点击“立即刷新”执行深度扫描。",
                         "Directory loaded. Click \"Refresh Now\" for deep scan.");
}

std::optional<QString> revealTargetPath(const QString& path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return platform::standardizedPath(trimmed);
}

BilingualText pathDoesNotExistText(const QString& standardizedPath)
{
    return BilingualText(QStringLiteral("路径不存在：") + standardizedPath,
                         QStringLiteral("Path does not exist: ") + standardizedPath);
}

BilingualText revealFailedText(const QString& shownPath)
{
    return BilingualText(QStringLiteral("没有文件管理器能显示该项目：") + shownPath,
                         QStringLiteral("No file manager could show the item: ") + shownPath);
}

} // namespace orvalink
