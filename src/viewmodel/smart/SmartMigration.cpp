// Smart Migration suggestions, hints and link recommendations, over the published listing and
// settings.
#include "viewmodel/smart/SmartMigration.h"

#include "platform/UserLocations.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/smart/SmartMigrationAdvisor.h"
#include "viewmodel/state/BrowsingState.h"
#include "viewmodel/texts/Presentation.h"

namespace orvalink {

SmartMigration::SmartMigration(const BrowsingState& browsing, const Presentation& presentation,
                               ShownListing& listing)
    : m_browsing(browsing), m_presentation(presentation), m_listing(listing)
{}

SmartMigrationCriteria SmartMigration::smartMigrationCriteria() const
{
    return SmartMigrationCriteria::of(m_browsing.smartMigrationEnabled(), m_browsing.smartMigrationProfile(),
                                      platform::homeDirectory());
}

SmartMigrationAdvisor SmartMigration::advisor() const
{
    return SmartMigrationAdvisor(smartMigrationCriteria(), platform::homeDirectory(),
                                 m_presentation.presentationPrivacy(), m_presentation.language());
}

QStringList SmartMigration::existingWeChatContainerRoots() const
{
    return orvalink::existingWeChatContainerRoots(platform::homeDirectory());
}

bool SmartMigration::isWeChatProtectedSelection(const QString& path) const
{
    return orvalink::isWeChatProtectedSelection(path, existingWeChatContainerRoots());
}

bool SmartMigration::isWeChatSuggestedDirectory(const QString& path, const QString& name) const
{
    return orvalink::isWeChatSuggestedDirectory(path, name, existingWeChatContainerRoots());
}

bool SmartMigration::isGenericSuggestedDirectory(const DirectoryEntry& entry) const
{
    return orvalink::isGenericSuggestedDirectory(entry);
}

QString SmartMigration::weChatSuggestionNote(const DirectoryEntry& entry) const
{
    return advisor().weChatSuggestionNote(entry);
}

std::optional<BilingualText>
SmartMigration::weChatSmartMigrationValidationMessage(const QStringList& selectedPaths) const
{
    return orvalink::weChatSmartMigrationValidationMessage(selectedPaths, existingWeChatContainerRoots());
}

QSet<QString> SmartMigration::smartMigrationSuggestedPathSet(const QString& /*currentDirectoryPath*/,
                                                             const QList<DirectoryEntry>& entries) const
{
    // The current directory does not change which entries qualify.
    return orvalink::smartMigrationSuggestedPathSet(entries, smartMigrationCriteria());
}

QList<SmartMigrationSuggestion> SmartMigration::buildWeChatSmartMigrationSuggestions() const
{
    return advisor().buildWeChatSmartMigrationSuggestions(m_browsing.entries(),
                                                          m_browsing.currentDirectoryPath());
}

QList<SmartMigrationSuggestion> SmartMigration::buildGenericSmartMigrationSuggestions() const
{
    return advisor().buildGenericSmartMigrationSuggestions(m_browsing.entries());
}

QList<SmartMigrationSuggestion> SmartMigration::smartMigrationSuggestions() const
{
    return advisor().smartMigrationSuggestions(m_browsing.entries(), m_browsing.currentDirectoryPath());
}

QString SmartMigration::smartMigrationSummary() const
{
    return advisor().smartMigrationSummary();
}

std::optional<QString> SmartMigration::smartMigrationHintText(const DirectoryEntry& entry)
{
    // The candidate set of the listing is kept with the shown listing, not rebuilt for every row.
    return advisor().smartMigrationHintText(entry, m_listing.suggestedPaths());
}

std::optional<LinkRecommendation> SmartMigration::recommendationKind(const DirectoryEntry& entry) const
{
    return orvalink::recommendationKind(entry);
}

std::optional<BilingualText> SmartMigration::smartMigrationValidationMessage(const QStringList& paths) const
{
    if (!m_browsing.smartMigrationEnabled() ||
        m_browsing.smartMigrationProfile() != SmartMigrationProfile::wechat)
        return std::nullopt;
    return weChatSmartMigrationValidationMessage(paths);
}

} // namespace orvalink
