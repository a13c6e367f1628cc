#include "viewmodel/smart/SmartMigrationAdvisor.h"

#include "platform/StandardPath.h"
#include "viewmodel/browsing/NameCollation.h"
#include "viewmodel/texts/PathText.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <utility>

namespace orvalink {

namespace {

using Tone = SmartMigrationSuggestion::Tone;

constexpr qint64 kOneGiB = 1073741824;

constexpr std::array<const char*, 5> kGenericFallbackFolders{"/Downloads", "/Movies", "/Pictures",
                                                             "/Documents", "/Library/Caches"};

bool isSameOrUnderAny(const QString& path, const QStringList& roots)
{
    return std::any_of(roots.cbegin(), roots.cend(),
                       [&](const QString& root) { return path == root || isStrictlyUnder(path, root); });
}

} // namespace

SmartMigrationAdvisor::SmartMigrationAdvisor(SmartMigrationCriteria criteria, QString homeDirectory,
                                             PresentationPrivacy privacy, UILanguage language,
                                             DirectoryProbe isDirectory)
    : m_criteria(std::move(criteria)), m_homeDirectory(platform::standardizedPath(homeDirectory)),
      m_privacy(std::move(privacy)), m_language(language), m_isDirectory(std::move(isDirectory))
{
    if (!m_isDirectory)
        m_isDirectory = [](const QString& path) {
            return QFileInfo(path).isDir();
        };
}

QList<DirectoryEntry> SmartMigrationAdvisor::candidates(const QList<DirectoryEntry>& entries) const
{
    const QSet<QString> suggested = smartMigrationSuggestedPathSet(entries, m_criteria);
    QList<DirectoryEntry> result;
    for (const DirectoryEntry& entry : entries) {
        if (suggested.contains(platform::standardizedPath(entry.path)))
            result.append(entry);
    }
    return result;
}

QList<SmartMigrationSuggestion>
SmartMigrationAdvisor::smartMigrationSuggestions(const QList<DirectoryEntry>& entries,
                                                 const QString& currentDirectoryPath) const
{
    if (!m_criteria.enabled)
        return {};
    if (m_criteria.profile == SmartMigrationProfile::wechat)
        return buildWeChatSmartMigrationSuggestions(entries, currentDirectoryPath);
    return buildGenericSmartMigrationSuggestions(entries);
}

QList<SmartMigrationSuggestion>
SmartMigrationAdvisor::buildWeChatSmartMigrationSuggestions(const QList<DirectoryEntry>& entries,
                                                            const QString& currentDirectoryPath) const
{
    const QStringList& roots = m_criteria.weChatRoots;
    if (roots.isEmpty()) {
        return {
            {QStringLiteral("wechat-unavailable"),
             BilingualText("未发现微信容器", "WeChat Container Not Found").in(m_language),
             BilingualText("这台电脑上没有找到微信容器目录。先启动微信一次，再回到这里使用智能迁移。",
                           "The WeChat container was not found on this computer. Launch WeChat once, then "
                           "return here to use Smart Migration.")
                 .in(m_language),
             currentDirectoryPath, Tone::caution}};
    }
    QList<SmartMigrationSuggestion> cards;
    const QString current = platform::standardizedPath(currentDirectoryPath);
    if (!isSameOrUnderAny(current, roots)) {
        for (const QString& root : roots) {
            cards.append(
                {QStringLiteral("wechat-root-") + root,
                 BilingualText("打开微信数据入口", "Open WeChat Data Root").in(m_language),
                 BilingualText("只浏览并选择更深层的大缓存、下载或媒体目录；不要整迁容器根或 Data 根。",
                               "Browse only deeper cache, download, or media folders. Do not migrate "
                               "the container root or the Data root.")
                     .in(m_language),
                 root, Tone::entrypoint});
        }
    }
    QList<DirectoryEntry> found = candidates(entries);
    std::stable_sort(found.begin(), found.end(), [](const DirectoryEntry& lhs, const DirectoryEntry& rhs) {
        return lhs.sizeBytes > rhs.sizeBytes;
    });
    for (const DirectoryEntry& entry : found) {
        cards.append({QStringLiteral("wechat-entry-") + entry.path, m_privacy.displayName(entry.path),
                      weChatSuggestionNote(entry), entry.path, Tone::recommended});
    }
    if (cards.isEmpty()) {
        cards.append(
            {QStringLiteral("wechat-empty-") + current,
             BilingualText("当前目录暂无推荐项", "No Recommended Items Here").in(m_language),
             BilingualText("进入更深层的下载、缓存、媒体或附件目录后，智能迁移会把更适合迁移的目录排到前面。",
                           "Go deeper into download, cache, media, or attachment folders and Smart Migration "
                           "will bring safer candidates to the top.")
                 .in(m_language),
             current, Tone::caution});
    }
    return cards;
}

QList<SmartMigrationSuggestion>
SmartMigrationAdvisor::buildGenericSmartMigrationSuggestions(const QList<DirectoryEntry>& entries) const
{
    QList<DirectoryEntry> found = candidates(entries);
    const NameCollator collator;
    std::stable_sort(found.begin(), found.end(), [&](const DirectoryEntry& lhs, const DirectoryEntry& rhs) {
        if (lhs.sizeBytes != rhs.sizeBytes)
            return lhs.sizeBytes > rhs.sizeBytes;
        return collator.compare(lhs.name, rhs.name) < 0;
    });
    QList<SmartMigrationSuggestion> cards;
    for (const DirectoryEntry& entry : found) {
        const QString note = entry.sizeBytes < kOneGiB
                                 ? BilingualText("属于常见的大资料/缓存目录，可优先检查。",
                                                 "A common large data/cache folder worth checking first.")
                                       .in(m_language)
                                 : BilingualText("已达到 1GB 以上，优先考虑迁移。",
                                                 "Larger than 1 GB. This is a strong migration candidate.")
                                       .in(m_language);
        cards.append({QStringLiteral("generic-entry-") + entry.path, m_privacy.displayName(entry.path), note,
                      entry.path, Tone::recommended});
    }
    if (!cards.isEmpty())
        return cards;
    for (const char* folder : kGenericFallbackFolders) {
        const QString path = m_homeDirectory + QLatin1String(folder);
        if (!m_isDirectory(path))
            continue;
        cards.append(
            {QStringLiteral("generic-root-") + path, m_privacy.displayName(path),
             BilingualText("优先检查这里是否有 500M 以上的大目录，再决定是否迁移。",
                           "Check for folders larger than 500 MB here before deciding what to migrate.")
                 .in(m_language),
             path, Tone::entrypoint});
    }
    return cards;
}

QString SmartMigrationAdvisor::smartMigrationSummary() const
{
    if (m_criteria.profile == SmartMigrationProfile::wechat) {
        return BilingualText("为微信这类沙盒应用优先推荐更深层的大媒体、缓存和下载目录，并额外"
                             "拦下高风险容器目录。",
                             "Prioritize deeper media, cache, and download folders for "
                             "sandboxed apps like WeChat, and "
                             "block risky container paths.")
            .in(m_language);
    }
    return BilingualText("适合常见的大型资料目录、下载目录、缓存目录和媒体目录，帮助你更快定位可迁内容。",
                         "Surface large data folders, downloads, caches, and media directories to help "
                         "you find safer "
                         "migration candidates faster.")
        .in(m_language);
}

std::optional<QString>
SmartMigrationAdvisor::smartMigrationHintText(const DirectoryEntry& entry,
                                              const QSet<QString>& suggestedPaths) const
{
    if (!m_criteria.enabled || !suggestedPaths.contains(platform::standardizedPath(entry.path)))
        return std::nullopt;
    return BilingualText("智能推荐", "Smart Pick").in(m_language);
}

QString SmartMigrationAdvisor::weChatSuggestionNote(const DirectoryEntry& entry) const
{
    const QString name = entry.name.toLower();
    if (name.contains(QLatin1String("cache"))) {
        return BilingualText("更偏缓存/临时数据，迁移风险通常更低。",
                             "Mostly cache or temporary data, which is usually safer to migrate.")
            .in(m_language);
    }
    if (name.contains(QLatin1String("download")) || name.contains(QLatin1String("attachment"))) {
        return BilingualText("更像下载或附件目录，适合先做小范围验证。",
                             "Looks like a downloads or attachments folder and is a good first candidate.")
            .in(m_language);
    }
    return BilingualText("更像媒体或资源目录，先迁这一类通常更稳。",
                         "Looks like a media or resource folder, which is a safer place to start.")
        .in(m_language);
}

} // namespace orvalink
