#include "viewmodel/browsing/ShownListing.h"

#include "platform/UserLocations.h"
#include "viewmodel/state/BrowsingState.h"

namespace orvalink {

ShownListing::ShownListing(BrowsingState& browsing) : m_browsing(browsing)
{
    const BrowsingState* state = &browsing;
    connect(state, &BrowsingState::entriesChanged, this, &ShownListing::listingChanged);
    connect(state, &BrowsingState::fileTypeFilterChanged, this,
            [this] { announceIf(m_cache.setFileTypeFilter(m_browsing.fileTypeFilter())); });
    connect(state, &BrowsingState::visibilityFilterChanged, this,
            [this] { announceIf(m_cache.setVisibilityFilter(m_browsing.visibilityFilter())); });
    connect(state, &BrowsingState::searchQueryChanged, this,
            [this] { announceIf(m_cache.setSearchQuery(m_browsing.searchQuery())); });
    connect(state, &BrowsingState::sortOptionChanged, this,
            [this] { announceIf(m_cache.setSortOption(m_browsing.sortOption())); });
    connect(state, &BrowsingState::smartMigrationEnabledChanged, this, &ShownListing::criteriaMayHaveChanged);
    connect(state, &BrowsingState::smartMigrationProfileChanged, this, &ShownListing::criteriaMayHaveChanged);

    m_cache.setFileTypeFilter(browsing.fileTypeFilter());
    m_cache.setVisibilityFilter(browsing.visibilityFilter());
    m_cache.setSearchQuery(browsing.searchQuery());
    m_cache.setSortOption(browsing.sortOption());
    m_cache.setEntries(browsing.entries());
    m_cache.setSmartMigrationCriteria(currentCriteria());
}

void ShownListing::setSearchQuery(const QString& query)
{
    m_browsing.setSearchQuery(query);
}

void ShownListing::setSortOption(SortOption option)
{
    m_browsing.setSortOption(option);
}

void ShownListing::setFileTypeFilter(FileTypeFilter filter)
{
    m_browsing.setFileTypeFilter(filter);
}

void ShownListing::setShowLinkMode(bool shown)
{
    m_browsing.setShowLinkMode(shown);
}

const QSet<QString>& ShownListing::suggestedPaths()
{
    if (!m_suggestedPaths)
        m_suggestedPaths =
            smartMigrationSuggestedPathSet(m_cache.entries(), m_cache.smartMigrationCriteria());
    return *m_suggestedPaths;
}

SmartMigrationCriteria ShownListing::currentCriteria() const
{
    const BrowsingState& browsing = m_browsing;
    return SmartMigrationCriteria::of(browsing.smartMigrationEnabled(), browsing.smartMigrationProfile(),
                                      platform::homeDirectory());
}

void ShownListing::listingChanged()
{
    // A new listing may come with WeChat's containers created or removed meanwhile.
    const bool criteriaChanged = m_cache.setSmartMigrationCriteria(currentCriteria());
    const bool entriesChanged = m_cache.setEntries(m_browsing.entries());
    announceIf(criteriaChanged || entriesChanged);
}

void ShownListing::criteriaMayHaveChanged()
{
    announceIf(m_cache.setSmartMigrationCriteria(currentCriteria()));
}

void ShownListing::announceIf(bool changed)
{
    if (!changed)
        return;
    m_suggestedPaths.reset();
    Q_EMIT sortedEntriesChanged();
}

} // namespace orvalink
