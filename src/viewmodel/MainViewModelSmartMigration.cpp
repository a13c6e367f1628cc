// MainViewModel: Smart Migration suggestions, hints and link recommendations, over the published
// listing and settings.

#include "platform/UserLocations.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/ShownListing.h"
#include "viewmodel/SmartMigrationAdvisor.h"

namespace orvalink {

SmartMigrationCriteria MainViewModel::smartMigrationCriteria() const
{
    return SmartMigrationCriteria::of(smartMigrationEnabled(), smartMigrationProfile(),
                                      platform::homeDirectory());
}

SmartMigrationAdvisor MainViewModel::advisor() const
{
    return SmartMigrationAdvisor(smartMigrationCriteria(), platform::homeDirectory(), presentationPrivacy(),
                                 localizer());
}

QStringList MainViewModel::existingWeChatContainerRoots() const
{
    return orvalink::existingWeChatContainerRoots(platform::homeDirectory());
}

bool MainViewModel::isWeChatProtectedSelection(const QString& path) const
{
    return orvalink::isWeChatProtectedSelection(path, existingWeChatContainerRoots());
}

bool MainViewModel::isWeChatSuggestedDirectory(const QString& path, const QString& name) const
{
    return orvalink::isWeChatSuggestedDirectory(path, name, existingWeChatContainerRoots());
}

bool MainViewModel::isGenericSuggestedDirectory(const DirectoryEntry& entry) const
{
    return orvalink::isGenericSuggestedDirectory(entry);
}

QString MainViewModel::weChatSuggestionNote(const DirectoryEntry& entry) const
{
    return advisor().weChatSuggestionNote(entry);
}

std::optional<QString>
MainViewModel::weChatSmartMigrationValidationMessage(const QStringList& selectedPaths) const
{
    return orvalink::weChatSmartMigrationValidationMessage(selectedPaths, existingWeChatContainerRoots(),
                                                           localizer());
}

QSet<QString> MainViewModel::smartMigrationSuggestedPathSet(const QString& /*currentDirectoryPath*/,
                                                            const QList<DirectoryEntry>& entries) const
{
    // The current directory does not change which entries qualify.
    return orvalink::smartMigrationSuggestedPathSet(entries, smartMigrationCriteria());
}

QList<SmartMigrationSuggestion> MainViewModel::buildWeChatSmartMigrationSuggestions() const
{
    return advisor().buildWeChatSmartMigrationSuggestions(entries(), currentDirectoryPath());
}

QList<SmartMigrationSuggestion> MainViewModel::buildGenericSmartMigrationSuggestions() const
{
    return advisor().buildGenericSmartMigrationSuggestions(entries());
}

QList<SmartMigrationSuggestion> MainViewModel::smartMigrationSuggestions() const
{
    return advisor().smartMigrationSuggestions(entries(), currentDirectoryPath());
}

QString MainViewModel::smartMigrationSummary() const
{
    return advisor().smartMigrationSummary();
}

std::optional<QString> MainViewModel::smartMigrationHintText(const DirectoryEntry& entry)
{
    // The candidate set of the listing is kept with the shown listing, not rebuilt for every row.
    return advisor().smartMigrationHintText(entry, m_listing->suggestedPaths());
}

std::optional<LinkRecommendation> MainViewModel::recommendationKind(const DirectoryEntry& entry) const
{
    return orvalink::recommendationKind(entry);
}

} // namespace orvalink
