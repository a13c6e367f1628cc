#pragma once

#include "viewmodel/browsing/SortedEntriesCache.h"
#include "viewmodel/state/ListingOptions.h"

#include <QObject>
#include <QSet>
#include <optional>
#include <vector>

namespace orvalink {

class BrowsingState;

// Keeps the shown listing up to date: hands every change of the listing, the
// filters, the search, the order and the Smart Migration settings to a SortedEntriesCache and
// announces a new result through sortedEntriesChanged(). The Smart Migration
// criteria (with the WeChat containers that exist) are rebuilt on each settings change and each
// new listing. Also the list options that are not saved settings: the search, the order, the file
// type and whether rows recommend a link kind.
class ShownListing : public QObject {
    Q_OBJECT

public:
    explicit ShownListing(BrowsingState& browsing);

    void setSearchQuery(const QString& query);
    void setSortOption(SortOption option);
    void setFileTypeFilter(FileTypeFilter filter);
    void setShowLinkMode(bool shown);

    const QList<DirectoryEntry>& sortedEntries() { return m_cache.sortedEntries(); }
    const std::vector<int>& sortedIndices() { return m_cache.sortedIndices(); }
    const SmartMigrationCriteria& criteria() const { return m_cache.smartMigrationCriteria(); }
    // The Smart Migration candidates of the whole listing, by standardized path.
    const QSet<QString>& suggestedPaths();

Q_SIGNALS:
    // The shown listing changed: its entries, order, filters or Smart Migration candidates.
    void sortedEntriesChanged();

private:
    void listingChanged();
    void criteriaMayHaveChanged();
    void announceIf(bool changed);
    SmartMigrationCriteria currentCriteria() const;

    BrowsingState& m_browsing;
    SortedEntriesCache m_cache;
    std::optional<QSet<QString>> m_suggestedPaths;
};

} // namespace orvalink
