#include "viewmodel/browsing/SortedEntriesCache.h"

#include "viewmodel/browsing/ListingSearch.h"

#include <algorithm>
#include <utility>

namespace orvalink {

SortedEntriesCache::SortedEntriesCache(NameCollator collator)
    : m_collator(std::move(collator)), m_listing(std::make_unique<PreparedListing>())
{}

void SortedEntriesCache::dropResult()
{
    m_sortedIndices.reset();
    m_sortedEntries.reset();
}

void SortedEntriesCache::dropFilteredSet()
{
    m_filtered.reset();
    m_narrowingBase.reset();
    dropResult();
}

bool SortedEntriesCache::setEntries(const QList<DirectoryEntry>& entries)
{
    if (entries == m_listing->entries())
        return false;
    m_listing = std::make_unique<PreparedListing>(entries, m_collator);
    ++m_counters.listingsPrepared;
    m_qualifies.reset();
    m_suggestedIdentities.reset();
    dropFilteredSet();
    return true;
}

bool SortedEntriesCache::setFileTypeFilter(FileTypeFilter filter)
{
    if (filter == m_filters.fileTypeFilter)
        return false;
    m_filters.fileTypeFilter = filter;
    dropFilteredSet();
    return true;
}

bool SortedEntriesCache::setVisibilityFilter(VisibilityFilter filter)
{
    if (filter == m_filters.visibilityFilter)
        return false;
    m_filters.visibilityFilter = filter;
    dropFilteredSet();
    return true;
}

bool SortedEntriesCache::setSearchQuery(const QString& query)
{
    if (query == m_filters.searchQuery)
        return false;
    // Blanks around the query do not change what it matches.
    const bool sameSearch = query.trimmed() == m_filters.searchQuery.trimmed();
    const QString previous = std::exchange(m_filters.searchQuery, query);
    if (sameSearch)
        return false;
    std::optional<std::vector<char>> shownBefore = std::move(m_filtered);
    dropFilteredSet();
    // Typing on at the end of the query only narrows the result: every rule of the search (the
    // whole query, each word, the characters in order) asks at least as much of a longer query
    // whose folded text starts with the shorter one's. Only the entries shown before need testing
    // again. Queries with characters of several code units are matched by whole characters,
    // where a longer text may end in another character; they are searched afresh.
    if (shownBefore) {
        const SearchQuery before(previous);
        const SearchQuery after(query);
        if (!before.isEmpty() && !after.isEmpty() && before.isSingleUnit() && after.isSingleUnit() &&
            after.folded().startsWith(before.folded()))
            m_narrowingBase = std::move(shownBefore);
    }
    return true;
}

bool SortedEntriesCache::setSortOption(SortOption option)
{
    if (option == m_filters.sortOption)
        return false;
    m_filters.sortOption = option;
    dropResult();
    return true;
}

bool SortedEntriesCache::setSmartMigrationCriteria(const SmartMigrationCriteria& criteria)
{
    if (criteria == m_criteria)
        return false;
    // While Smart Migration stays off the profile and roots play no part.
    const bool affectsResult = criteria.enabled || m_criteria.enabled;
    m_criteria = criteria;
    m_qualifies.reset();
    m_suggestedIdentities.reset();
    if (!affectsResult)
        return false;
    dropResult();
    return true;
}

const std::vector<char>& SortedEntriesCache::filteredSet()
{
    if (m_filtered)
        return *m_filtered;
    ++m_counters.filterPasses;
    const qsizetype count = m_listing->size();
    std::vector<char> shown(std::size_t(count), 0);
    const SearchQuery query(m_filters.searchQuery);
    const ListingSearch search(*m_listing, query);
    const auto& entries = m_listing->entries();
    if (m_narrowingBase) {
        // The type and visibility filters are those the base was made with.
        const std::vector<char>& base = *m_narrowingBase;
        for (qsizetype i = 0; i < count; ++i)
            shown[std::size_t(i)] = base[std::size_t(i)] && search.matches(i) ? 1 : 0;
        m_narrowingBase.reset();
        m_filtered = std::move(shown);
        return *m_filtered;
    }
    for (qsizetype i = 0; i < count; ++i) {
        const FileTypeFilter type = m_listing->fileType(i);
        if (m_filters.fileTypeFilter != FileTypeFilter::all && type != m_filters.fileTypeFilter)
            continue;
        const bool hidden = entries.at(i).isHidden;
        if ((m_filters.visibilityFilter == VisibilityFilter::visibleOnly && hidden) ||
            (m_filters.visibilityFilter == VisibilityFilter::hiddenOnly && !hidden))
            continue;
        shown[std::size_t(i)] = search.matches(i) ? 1 : 0;
    }
    m_filtered = std::move(shown);
    return *m_filtered;
}

const std::vector<char>& SortedEntriesCache::qualifications()
{
    if (m_qualifies)
        return *m_qualifies;
    ++m_counters.qualificationPasses;
    const auto& entries = m_listing->entries();
    std::vector<char> qualifies(std::size_t(entries.size()), 0);
    if (m_criteria.enabled) {
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (entries.at(i).kind != EntryKind::directory)
                continue;
            qualifies[std::size_t(i)] =
                qualifiesForSmartMigration(entries.at(i), m_listing->standardizedPath(i), m_criteria) ? 1 : 0;
        }
    }
    m_qualifies = std::move(qualifies);
    return *m_qualifies;
}

void SortedEntriesCache::recompute()
{
    ++m_counters.recomputations;
    const std::vector<char>& shown = filteredSet();
    const std::vector<int>& order = m_listing->orderFor(m_filters.sortOption);
    // Restricting the whole listing's stable order to the shown entries is the stable order of the
    // shown entries: the order's rule does not depend on which other entries are shown.
    std::vector<int> result;
    result.reserve(order.size());
    for (const int index : order) {
        if (shown[std::size_t(index)])
            result.push_back(index);
    }
    if (m_criteria.enabled) {
        // Candidates are those of the shown list: an entry is in front when any shown qualifying
        // entry has its standardized path.
        const std::vector<char>& qualifies = qualifications();
        m_prioritizedIdentities.assign(std::size_t(m_listing->pathIdentityCount()), 0);
        bool anyPrioritized = false;
        for (const int index : result) {
            if (qualifies[std::size_t(index)]) {
                m_prioritizedIdentities[std::size_t(m_listing->pathIdentity(index))] = 1;
                anyPrioritized = true;
            }
        }
        if (anyPrioritized) {
            std::stable_partition(result.begin(), result.end(), [this](int index) {
                return m_prioritizedIdentities[std::size_t(m_listing->pathIdentity(index))] != 0;
            });
        }
    }
    m_sortedIndices = std::move(result);
}

const std::vector<int>& SortedEntriesCache::sortedIndices()
{
    if (!m_sortedIndices)
        recompute();
    return *m_sortedIndices;
}

const QList<DirectoryEntry>& SortedEntriesCache::sortedEntries()
{
    if (!m_sortedEntries) {
        const std::vector<int>& indices = sortedIndices();
        ++m_counters.materializations;
        QList<DirectoryEntry> shown;
        shown.reserve(qsizetype(indices.size()));
        const auto& entries = m_listing->entries();
        for (const int index : indices)
            shown.append(entries.at(index));
        m_sortedEntries = std::move(shown);
    }
    return *m_sortedEntries;
}

bool SortedEntriesCache::isSmartMigrationSuggested(int index)
{
    if (!m_criteria.enabled)
        return false;
    if (!m_suggestedIdentities) {
        const std::vector<char>& qualifies = qualifications();
        std::vector<char> suggested(std::size_t(m_listing->pathIdentityCount()), 0);
        for (qsizetype i = 0; i < m_listing->size(); ++i) {
            if (qualifies[std::size_t(i)])
                suggested[std::size_t(m_listing->pathIdentity(i))] = 1;
        }
        m_suggestedIdentities = std::move(suggested);
    }
    return (*m_suggestedIdentities)[std::size_t(m_listing->pathIdentity(index))] != 0;
}

} // namespace orvalink
