#include "viewmodel/browsing/EntryOrdering.h"

#include "platform/StandardPath.h"
#include "viewmodel/browsing/EntrySearch.h"
#include "viewmodel/browsing/FileTypes.h"

#include <algorithm>
#include <limits>

namespace orvalink {

qint64 modificationKey(const DirectoryEntry& entry)
{
    return entry.modifiedAt.isValid() ? entry.modifiedAt.toMSecsSinceEpoch()
                                      : std::numeric_limits<qint64>::min();
}

namespace {

bool typeOrderGoesBefore(const DirectoryEntry& lhs, const DirectoryEntry& rhs, bool largerFirst,
                         const NameCollator& collator)
{
    const int lhsType = typePosition(classifyFileType(lhs));
    const int rhsType = typePosition(classifyFileType(rhs));
    if (lhsType != rhsType)
        return lhsType < rhsType;
    if (lhs.sizeBytes != rhs.sizeBytes)
        return largerFirst ? lhs.sizeBytes > rhs.sizeBytes : lhs.sizeBytes < rhs.sizeBytes;
    return collator.compare(lhs.name, rhs.name) < 0;
}

} // namespace

bool passesTypeAndVisibility(const DirectoryEntry& entry, FileTypeFilter fileTypeFilter,
                             VisibilityFilter visibilityFilter)
{
    if (fileTypeFilter != FileTypeFilter::all && classifyFileType(entry) != fileTypeFilter)
        return false;
    switch (visibilityFilter) {
    case VisibilityFilter::all:
        return true;
    case VisibilityFilter::visibleOnly:
        return !entry.isHidden;
    case VisibilityFilter::hiddenOnly:
        return entry.isHidden;
    }
    return true;
}

std::optional<bool> prioritizedSuggestionDecision(const DirectoryEntry& lhs, const DirectoryEntry& rhs,
                                                  const QSet<QString>& prioritizedSuggestionPaths)
{
    if (prioritizedSuggestionPaths.isEmpty())
        return std::nullopt;
    const bool lhsSuggested = prioritizedSuggestionPaths.contains(platform::standardizedPath(lhs.path));
    const bool rhsSuggested = prioritizedSuggestionPaths.contains(platform::standardizedPath(rhs.path));
    if (lhsSuggested == rhsSuggested)
        return std::nullopt;
    return lhsSuggested;
}

bool entryGoesBefore(const DirectoryEntry& lhs, const DirectoryEntry& rhs, SortOption order,
                     const QSet<QString>& prioritizedSuggestionPaths, const NameCollator& collator)
{
    if (const auto decision = prioritizedSuggestionDecision(lhs, rhs, prioritizedSuggestionPaths))
        return *decision;
    switch (order) {
    case SortOption::sizeDesc:
        return lhs.sizeBytes > rhs.sizeBytes;
    case SortOption::sizeAsc:
        return lhs.sizeBytes < rhs.sizeBytes;
    case SortOption::typeSizeDesc:
        return typeOrderGoesBefore(lhs, rhs, true, collator);
    case SortOption::typeSizeAsc:
        return typeOrderGoesBefore(lhs, rhs, false, collator);
    case SortOption::nameAsc:
        return collator.compare(lhs.name, rhs.name) < 0;
    case SortOption::modifiedDesc:
        return modificationKey(lhs) > modificationKey(rhs);
    }
    return false;
}

QList<DirectoryEntry> computeSortedEntries(const QList<DirectoryEntry>& entries,
                                           const ListingFilters& filters,
                                           const SmartMigrationCriteria& criteria,
                                           const NameCollator& collator)
{
    const SearchQuery query(filters.searchQuery);
    QList<DirectoryEntry> shown;
    for (const DirectoryEntry& entry : entries) {
        if (passesTypeAndVisibility(entry, filters.fileTypeFilter, filters.visibilityFilter) &&
            query.matches(entry))
            shown.append(entry);
    }
    const QSet<QString> suggested = smartMigrationSuggestedPathSet(shown, criteria);
    std::stable_sort(shown.begin(), shown.end(), [&](const DirectoryEntry& lhs, const DirectoryEntry& rhs) {
        return entryGoesBefore(lhs, rhs, filters.sortOption, suggested, collator);
    });
    return shown;
}

} // namespace orvalink
