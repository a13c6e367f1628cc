#pragma once

#include "model/DirectoryEntry.h"
#include "viewmodel/browsing/NameCollation.h"
#include "viewmodel/browsing/SmartMigrationRules.h"
#include "viewmodel/state/ListingOptions.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace orvalink {

// What the user chose to see of the listing and in which order.
struct ListingFilters {
    FileTypeFilter fileTypeFilter = FileTypeFilter::all;
    VisibilityFilter visibilityFilter = VisibilityFilter::all;
    QString searchQuery;
    SortOption sortOption = SortOption::sizeDesc;

    bool operator==(const ListingFilters&) const = default;
};

// An entry's modification time as a sort key; entries without a valid date are the earliest.
qint64 modificationKey(const DirectoryEntry& entry);

// The type and hidden-entry filters.
bool passesTypeAndVisibility(const DirectoryEntry& entry, FileTypeFilter fileTypeFilter,
                             VisibilityFilter visibilityFilter);

// Suggested entries go first: true when only `lhs` is in the set of standardized paths, false when
// only `rhs` is, none when both or neither are (or the set is empty).
std::optional<bool> prioritizedSuggestionDecision(const DirectoryEntry& lhs, const DirectoryEntry& rhs,
                                                  const QSet<QString>& prioritizedSuggestionPaths);

// Whether `lhs` goes before `rhs` in `order`, asking the suggestion priority first. Entries the
// order finds equal answer false both ways, so a stable sort keeps their listing order.
//   sizeDesc / sizeAsc: by size; typeSizeDesc / typeSizeAsc: by type position, then size, then name;
//   nameAsc: by name; modifiedDesc: later first. Names compare case-insensitively in the locale.
bool entryGoesBefore(const DirectoryEntry& lhs, const DirectoryEntry& rhs, SortOption order,
                     const QSet<QString>& prioritizedSuggestionPaths, const NameCollator& collator);

// The listing as shown, computed directly: filtered by type, visibility and search, then stably
// sorted by the order with the Smart Migration candidates of the filtered list in front. Every call
// does the whole work; SortedEntriesCache gives the same result without repeating it.
QList<DirectoryEntry> computeSortedEntries(const QList<DirectoryEntry>& entries,
                                           const ListingFilters& filters,
                                           const SmartMigrationCriteria& criteria,
                                           const NameCollator& collator = NameCollator());

} // namespace orvalink
