#include "viewmodel/browsing/SmartMigrationRules.h"

#include "platform/StandardPath.h"
#include "viewmodel/browsing/FileTypes.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/PathText.h"

#include <QFileInfo>
#include <array>

namespace orvalink {

namespace {

constexpr std::array<const char*, 7> kProtectedSubPaths{"Data/Library",
                                                        "Data/Library/Application Support",
                                                        "Data/Library/Preferences",
                                                        "Data/Library/WebKit",
                                                        "Data/Library/Cookies",
                                                        "Data/Library/Saved Application State",
                                                        "Data/tmp"};

constexpr std::array<const char*, 4> kProtectedNameEndings{".sqlite", ".db", "-wal", "-shm"};

constexpr std::array<const char*, 5> kProtectedNames{"preferences", "webkit", "cookies",
                                                     "saved application state", "tmp"};

constexpr std::array<const char*, 21> kWeChatKeywords{
    "cache",   "caches",   "download", "downloads",  "image",       "images",      "video",
    "videos",  "audio",    "media",    "attachment", "attachments", "filestorage", "storage",
    "message", "messages", "log",      "logs",       "backup",      "resource",    "resources"};

constexpr std::array<const char*, 19> kGenericKeywords{
    "download", "downloads", "movie",     "movies",   "video",  "videos",  "picture",
    "pictures", "image",     "images",    "cache",    "caches", "archive", "backup",
    "media",    "project",   "workspace", "resource", "assets"};

constexpr qint64 kGenericSizeThreshold = 524288000; // 500 MiB
constexpr qint64 kAliasSizeLimit = 2147483648;      // 2 GiB

template <std::size_t N> bool containsAny(const QString& text, const std::array<const char*, N>& words)
{
    for (const char* word : words) {
        if (text.contains(QLatin1String(word)))
            return true;
    }
    return false;
}

template <std::size_t N> bool equalsAny(const QString& text, const std::array<const char*, N>& words)
{
    for (const char* word : words) {
        if (text == QLatin1String(word))
            return true;
    }
    return false;
}

bool isExistingDirectory(const QString& path)
{
    return QFileInfo(path).isDir();
}

bool isSameOrUnder(const QString& path, const QString& root)
{
    return path == root || isStrictlyUnder(path, root);
}

} // namespace

SmartMigrationCriteria SmartMigrationCriteria::of(bool enabled, SmartMigrationProfile profile,
                                                  const QString& homeDirectory)
{
    return {enabled, profile, existingWeChatContainerRoots(homeDirectory)};
}

QStringList weChatContainerRootCandidates(const QString& homeDirectory)
{
    const QString home = platform::standardizedPath(homeDirectory);
    return {home + QStringLiteral("/Library/Containers/com.tencent.xinWeChat"),
            home + QStringLiteral("/Library/Group Containers/group.com.tencent.xinWeChat")};
}

QStringList existingWeChatContainerRoots(const QString& homeDirectory)
{
    QStringList roots;
    for (const QString& candidate : weChatContainerRootCandidates(homeDirectory)) {
        if (isExistingDirectory(candidate))
            roots.append(candidate);
    }
    return roots;
}

bool isWeChatProtectedSelection(const QString& path, const QStringList& weChatRoots)
{
    const QString p = platform::standardizedPath(path);
    for (const QString& root : weChatRoots) {
        if (!isSameOrUnder(p, root))
            continue;
        for (const char* subPath : kProtectedSubPaths) {
            const QString q = platform::standardizedPath(root + QLatin1Char('/') + QLatin1String(subPath));
            if (isSameOrUnder(p, q))
                return true;
        }
        const QString name = lastPathComponent(p).toLower();
        for (const char* ending : kProtectedNameEndings) {
            if (name.endsWith(QLatin1String(ending)))
                return true;
        }
        if (equalsAny(name, kProtectedNames))
            return true;
    }
    return false;
}

bool isWeChatSuggestedDirectory(const QString& path, const QString& name, const QStringList& weChatRoots)
{
    const QString p = platform::standardizedPath(path);
    bool underRoot = false;
    for (const QString& root : weChatRoots)
        underRoot = underRoot || isStrictlyUnder(p, root);
    if (!underRoot)
        return false;
    const QString lowered = name.toLower();
    if (containsAny(lowered, kProtectedNames))
        return false;
    return containsAny(lowered, kWeChatKeywords);
}

bool isGenericSuggestedDirectory(const DirectoryEntry& entry)
{
    return entry.sizeBytes >= kGenericSizeThreshold || containsAny(entry.name.toLower(), kGenericKeywords);
}

bool qualifiesForSmartMigration(const DirectoryEntry& entry, const QString& standardizedEntryPath,
                                const SmartMigrationCriteria& criteria)
{
    if (!criteria.enabled || entry.kind != EntryKind::directory)
        return false;
    if (criteria.profile == SmartMigrationProfile::wechat)
        return isWeChatSuggestedDirectory(standardizedEntryPath, entry.name, criteria.weChatRoots);
    return isGenericSuggestedDirectory(entry);
}

QSet<QString> smartMigrationSuggestedPathSet(const QList<DirectoryEntry>& entries,
                                             const SmartMigrationCriteria& criteria)
{
    QSet<QString> paths;
    if (!criteria.enabled)
        return paths;
    for (const DirectoryEntry& entry : entries) {
        const QString standardized = platform::standardizedPath(entry.path);
        if (qualifiesForSmartMigration(entry, standardized, criteria))
            paths.insert(standardized);
    }
    return paths;
}

std::optional<BilingualText> weChatSmartMigrationValidationMessage(const QStringList& selectedPaths,
                                                                   const QStringList& weChatRoots)
{
    QStringList blocked;
    for (const QString& path : selectedPaths) {
        if (isWeChatProtectedSelection(path, weChatRoots))
            blocked.append(path);
    }
    if (blocked.isEmpty())
        return std::nullopt;
    return BilingualText("微信智能迁移已拦下这些高风险目录：\n%1\n\n这类目录通常包含数据库、配置、WebKit "
                         "或沙盒核心状态。请改选更深层的缓存、下载、媒体或附件目录。",
                         "Smart Migration blocked these high-risk WeChat paths:\n%1\n\nThese folders usually "
                         "contain databases, preferences, WebKit data, or core sandbox state. Choose deeper "
                         "cache, download, media, or attachment folders instead.")
        .arg(refusedPathsText(blocked));
}

std::optional<LinkRecommendation> recommendationKind(const DirectoryEntry& entry)
{
    if (entry.isSymbolicLink || entry.isAliasFile)
        return std::nullopt;
    if (entry.kind == EntryKind::directory)
        return LinkRecommendation::symlink;
    const QString lowered = platform::standardizedPath(entry.path).toLower();
    const bool inDesktopOrDocuments =
        lowered.contains(QLatin1String("/desktop/")) || lowered.contains(QLatin1String("/documents/"));
    const FileTypeFilter type = classifyFileType(entry);
    const bool aliasType = type == FileTypeFilter::document || type == FileTypeFilter::image ||
                           type == FileTypeFilter::audio || type == FileTypeFilter::video;
    if (inDesktopOrDocuments && aliasType && entry.sizeBytes <= kAliasSizeLimit)
        return LinkRecommendation::alias;
    return LinkRecommendation::symlink;
}

BilingualText linkRecommendationTitle(LinkRecommendation recommendation)
{
    if (recommendation == LinkRecommendation::alias)
        return BilingualText("建议别名", "Use Alias");
    return BilingualText("建议符号链接", "Use Symlink");
}

} // namespace orvalink
