#include "viewmodel/ShownListing.h"

#include "platform/UserLocations.h"
#include "viewmodel/ViewModelContext.h"

namespace orvalink {

ShownListing::ShownListing(ViewModelContext& context) : m_context(context)
{
    BrowsingState* vm = &context.browsing();
    connect(vm, &BrowsingState::entriesChanged, this, &ShownListing::listingChanged);
    connect(vm, &BrowsingState::fileTypeFilterChanged, this,
            [this] { announceIf(m_cache.setFileTypeFilter(m_context.browsing().fileTypeFilter())); });
    connect(vm, &BrowsingState::visibilityFilterChanged, this,
            [this] { announceIf(m_cache.setVisibilityFilter(m_context.browsing().visibilityFilter())); });
    connect(vm, &BrowsingState::searchQueryChanged, this,
            [this] { announceIf(m_cache.setSearchQuery(m_context.browsing().searchQuery())); });
    connect(vm, &BrowsingState::sortOptionChanged, this,
            [this] { announceIf(m_cache.setSortOption(m_context.browsing().sortOption())); });
    connect(vm, &BrowsingState::smartMigrationEnabledChanged, this, &ShownListing::criteriaMayHaveChanged);
    connect(vm, &BrowsingState::smartMigrationProfileChanged, this, &ShownListing::criteriaMayHaveChanged);

    m_cache.setFileTypeFilter(context.browsing().fileTypeFilter());
    m_cache.setVisibilityFilter(context.browsing().visibilityFilter());
    m_cache.setSearchQuery(context.browsing().searchQuery());
    m_cache.setSortOption(context.browsing().sortOption());
    m_cache.setEntries(context.browsing().entries());
    m_cache.setSmartMigrationCriteria(currentCriteria());
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
    const BrowsingState& browsing = m_context.browsing();
    return SmartMigrationCriteria::of(browsing.smartMigrationEnabled(), browsing.smartMigrationProfile(),
                                      platform::homeDirectory());
}

void ShownListing::listingChanged()
{
    // A new listing may come with WeChat's containers created or removed meanwhile.
    const bool criteriaChanged = m_cache.setSmartMigrationCriteria(currentCriteria());
    const bool entriesChanged = m_cache.setEntries(m_context.browsing().entries());
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
