#pragma once

#include "model/DirectoryEntry.h"
#include "viewmodel/browsing/EntryOrdering.h"
#include "viewmodel/browsing/PreparedListing.h"
#include "viewmodel/browsing/SmartMigrationRules.h"

#include <QList>
#include <memory>
#include <optional>
#include <vector>

namespace orvalink {

// The listing as shown (see computeSortedEntries for its definition), kept between reads. The
// owner hands over every input when it changes; setting an input to its current value keeps the
// result. A new input redoes only what depends on it: a new order reuses the filtered set, a
// keystroke reuses the orders, and a new listing starts over.
class SortedEntriesCache {
public:
    // How often each stage ran; for tests and measurements.
    struct Counters {
        quint64 listingsPrepared = 0;
        quint64 filterPasses = 0;
        quint64 qualificationPasses = 0;
        quint64 recomputations = 0;
        quint64 materializations = 0;
    };

    explicit SortedEntriesCache(NameCollator collator = NameCollator());

    // Each returns true when the value differed and the result was dropped.
    bool setEntries(const QList<DirectoryEntry>& entries);
    bool setFileTypeFilter(FileTypeFilter filter);
    bool setVisibilityFilter(VisibilityFilter filter);
    bool setSearchQuery(const QString& query);
    bool setSortOption(SortOption option);
    bool setSmartMigrationCriteria(const SmartMigrationCriteria& criteria);

    const QList<DirectoryEntry>& entries() const { return m_listing->entries(); }
    const ListingFilters& filters() const { return m_filters; }
    const SmartMigrationCriteria& smartMigrationCriteria() const { return m_criteria; }

    // Positions in entries() of the shown entries, in shown order.
    const std::vector<int>& sortedIndices();
    // The shown entries themselves.
    const QList<DirectoryEntry>& sortedEntries();
    // Whether the standardized path of the entry at a position of entries() is in the Smart
    // Migration set of the whole listing (what a row's hint shows).
    bool isSmartMigrationSuggested(int index);

    const Counters& counters() const { return m_counters; }

private:
    void dropFilteredSet();
    void dropResult();
    const std::vector<char>& filteredSet();
    const std::vector<char>& qualifications();
    void recompute();

    NameCollator m_collator;
    std::unique_ptr<PreparedListing> m_listing;
    ListingFilters m_filters;
    SmartMigrationCriteria m_criteria;

    std::optional<std::vector<char>> m_filtered;
    // The filtered set of a shorter query the next filter pass narrows (see setSearchQuery).
    std::optional<std::vector<char>> m_narrowingBase;
    std::optional<std::vector<char>> m_qualifies;
    std::optional<std::vector<int>> m_sortedIndices;
    std::vector<char> m_prioritizedIdentities;
    std::optional<std::vector<char>> m_suggestedIdentities;
    std::optional<QList<DirectoryEntry>> m_sortedEntries;
    Counters m_counters;
};

} // namespace orvalink
