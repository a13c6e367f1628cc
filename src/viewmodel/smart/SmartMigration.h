#pragma once

#include "model/DirectoryEntry.h"
#include "viewmodel/browsing/SmartMigrationRules.h"
#include "viewmodel/smart/SmartMigrationSuggestion.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink {

class BrowsingState;
class Presentation;
class ShownListing;
class SmartMigrationAdvisor;

// Smart Migration over the published listing and settings: the suggestion cards, the row hints,
// the WeChat rules and the link recommendations. Reads the state at every call and keeps nothing
// but what the shown listing caches.
class SmartMigration {
public:
    SmartMigration(const BrowsingState& browsing, const Presentation& presentation, ShownListing& listing);

    SmartMigrationCriteria smartMigrationCriteria() const;
    QStringList existingWeChatContainerRoots() const;
    bool isWeChatProtectedSelection(const QString& path) const;
    bool isWeChatSuggestedDirectory(const QString& path, const QString& name) const;
    bool isGenericSuggestedDirectory(const DirectoryEntry& entry) const;
    QString weChatSuggestionNote(const DirectoryEntry& entry) const;
    std::optional<BilingualText>
    weChatSmartMigrationValidationMessage(const QStringList& selectedPaths) const;
    QSet<QString> smartMigrationSuggestedPathSet(const QString& currentDirectoryPath,
                                                 const QList<DirectoryEntry>& entries) const;
    QList<SmartMigrationSuggestion> buildWeChatSmartMigrationSuggestions() const;
    QList<SmartMigrationSuggestion> buildGenericSmartMigrationSuggestions() const;
    QList<SmartMigrationSuggestion> smartMigrationSuggestions() const;
    QString smartMigrationSummary() const;
    std::optional<QString> smartMigrationHintText(const DirectoryEntry& entry);
    std::optional<LinkRecommendation> recommendationKind(const DirectoryEntry& entry) const;

    // The refusal of Smart Migration's WeChat list for a migration of `paths`, or none while the
    // WeChat profile is not in force.
    std::optional<BilingualText> smartMigrationValidationMessage(const QStringList& paths) const;

private:
    SmartMigrationAdvisor advisor() const;

    const BrowsingState& m_browsing;
    const Presentation& m_presentation;
    ShownListing& m_listing;
};

} // namespace orvalink
