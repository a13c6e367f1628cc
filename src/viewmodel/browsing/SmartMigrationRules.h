#pragma once

#include "model/AppConfig.h"
#include "model/DirectoryEntry.h"
#include "viewmodel/state/BilingualText.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

// What decides which folders Smart Migration suggests. `weChatRoots` are the WeChat container
// roots that exist as directories (see existingWeChatContainerRoots), standardized, in table
// order; the owner asks the file system for them when it builds the criteria.
struct SmartMigrationCriteria {
    bool enabled = false;
    SmartMigrationProfile profile = SmartMigrationProfile::other;
    QStringList weChatRoots;

    bool operator==(const SmartMigrationCriteria&) const = default;

    // The criteria of the settings, with the WeChat roots that exist below the home directory now.
    static SmartMigrationCriteria of(bool enabled, SmartMigrationProfile profile,
                                     const QString& homeDirectory);
};

// The two WeChat container roots below the standardized home directory, in order.
QStringList weChatContainerRootCandidates(const QString& homeDirectory);
// Those of them that exist as directories; the file system is asked at every call.
QStringList existingWeChatContainerRoots(const QString& homeDirectory);

// A path inside an existing root that holds WeChat's databases, settings or sandbox state: below
// one of the protected sub-paths ("Data/Library" and deeper), a name ending in ".sqlite", ".db",
// "-wal" or "-shm", or one of the protected names. The roots themselves are not protected.
bool isWeChatProtectedSelection(const QString& path, const QStringList& weChatRoots);

// A folder strictly below an existing root whose lower-cased name holds a WeChat keyword and none
// of the excluded words.
bool isWeChatSuggestedDirectory(const QString& path, const QString& name, const QStringList& weChatRoots);

// 500 MiB or more, or a lower-cased name holding one of the generic keywords.
bool isGenericSuggestedDirectory(const DirectoryEntry& entry);

// A directory entry the criteria suggest; `standardizedEntryPath` is the standardized form of the
// entry's path. Always false while Smart Migration is off.
bool qualifiesForSmartMigration(const DirectoryEntry& entry, const QString& standardizedEntryPath,
                                const SmartMigrationCriteria& criteria);

// The standardized paths of the qualifying entries; membership is tested with the standardized
// path of an entry.
QSet<QString> smartMigrationSuggestedPathSet(const QList<DirectoryEntry>& entries,
                                             const SmartMigrationCriteria& criteria);

// The message that refuses a selection holding protected WeChat paths (at most three listed, then a
// count of the others), or none when nothing selected is protected.
std::optional<BilingualText> weChatSmartMigrationValidationMessage(const QStringList& selectedPaths,
                                                                   const QStringList& weChatRoots);

// The kind of link a list row recommends.
enum class LinkRecommendation { symlink, alias };

// None for links and alias files; `alias` for a document, image, audio or video file of at most
// 2 GiB whose lower-cased path holds "/desktop/" or "/documents/"; `symlink` otherwise.
std::optional<LinkRecommendation> recommendationKind(const DirectoryEntry& entry);
BilingualText linkRecommendationTitle(LinkRecommendation recommendation);

} // namespace orvalink
