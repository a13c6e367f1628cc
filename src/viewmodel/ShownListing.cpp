#include "viewmodel/ShownListing.h"

#include "platform/UserLocations.h"
#include "viewmodel/MainViewModel.h"

namespace orvalink {

ShownListing::ShownListing(MainViewModel& viewModel) : m_viewModel(viewModel)
{
    MainViewModel* vm = &viewModel;
    connect(vm, &PublishedState::entriesChanged, this, &ShownListing::listingChanged);
    connect(vm, &PublishedState::fileTypeFilterChanged, this,
            [this] { announceIf(m_cache.setFileTypeFilter(m_viewModel.fileTypeFilter())); });
    connect(vm, &PublishedState::visibilityFilterChanged, this,
            [this] { announceIf(m_cache.setVisibilityFilter(m_viewModel.visibilityFilter())); });
    connect(vm, &PublishedState::searchQueryChanged, this,
            [this] { announceIf(m_cache.setSearchQuery(m_viewModel.searchQuery())); });
    connect(vm, &PublishedState::sortOptionChanged, this,
            [this] { announceIf(m_cache.setSortOption(m_viewModel.sortOption())); });
    connect(vm, &PublishedState::smartMigrationEnabledChanged, this, &ShownListing::criteriaMayHaveChanged);
    connect(vm, &PublishedState::smartMigrationProfileChanged, this, &ShownListing::criteriaMayHaveChanged);

    m_cache.setFileTypeFilter(viewModel.fileTypeFilter());
    m_cache.setVisibilityFilter(viewModel.visibilityFilter());
    m_cache.setSearchQuery(viewModel.searchQuery());
    m_cache.setSortOption(viewModel.sortOption());
    m_cache.setEntries(viewModel.entries());
    m_cache.setSmartMigrationCriteria(viewModel.smartMigrationCriteria());
}

const QSet<QString>& ShownListing::suggestedPaths()
{
    if (!m_suggestedPaths)
        m_suggestedPaths =
            smartMigrationSuggestedPathSet(m_cache.entries(), m_cache.smartMigrationCriteria());
    return *m_suggestedPaths;
}

void ShownListing::listingChanged()
{
    // A new listing may come with WeChat's containers created or removed meanwhile.
    const bool criteriaChanged = m_cache.setSmartMigrationCriteria(m_viewModel.smartMigrationCriteria());
    const bool entriesChanged = m_cache.setEntries(m_viewModel.entries());
    announceIf(criteriaChanged || entriesChanged);
}

void ShownListing::criteriaMayHaveChanged()
{
    announceIf(m_cache.setSmartMigrationCriteria(m_viewModel.smartMigrationCriteria()));
}

void ShownListing::announceIf(bool changed)
{
    if (!changed)
        return;
    m_suggestedPaths.reset();
    Q_EMIT m_viewModel.sortedEntriesChanged();
}

} // namespace orvalink
