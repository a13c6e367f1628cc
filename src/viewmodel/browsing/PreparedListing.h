#pragma once

#include "model/DirectoryEntry.h"
#include "viewmodel/browsing/NameCollation.h"
#include "viewmodel/browsing/SmartMigrationRules.h"
#include "viewmodel/state/ListingOptions.h"

#include <QCollatorSortKey>
#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace orvalink {

// A listing with what its filters, search and orders need worked out once per entry, so that a
// keystroke or a new order does not fold, classify or collate the same names again. Parts that
// only some inputs need (orders, collation keys, standardized paths) are built on first use.
class PreparedListing {
public:
    // The search form of an entry. When the entry's path is its parent's path, "/" and its name,
    // `foldedPath` is the folded prefix of group `prefixGroup` followed by `foldedName`, and
    // `singleUnit` says whether the name (after the "/") walks one code unit per character.
    struct SearchForm {
        QString foldedName;
        QString foldedPath;
        int prefixGroup = -1;
        bool singleUnit = false;
    };

    // The folded parent path with its trailing "/", shared by the entries of one folder.
    struct PrefixGroup {
        QString foldedPrefix;
        bool singleUnit = false;
    };

    PreparedListing() = default;
    explicit PreparedListing(QList<DirectoryEntry> entries, NameCollator collator = NameCollator());

    const QList<DirectoryEntry>& entries() const { return m_entries; }
    qsizetype size() const { return m_entries.size(); }

    FileTypeFilter fileType(qsizetype index) const { return m_fileTypes[std::size_t(index)]; }
    const SearchForm& searchForm(qsizetype index) const { return m_searchForms[std::size_t(index)]; }
    const std::vector<PrefixGroup>& prefixGroups() const { return m_prefixGroups; }

    // Every index, stably sorted by the order's own rule (no suggestion priority): ties keep the
    // listing order.
    const std::vector<int>& orderFor(SortOption option) const;

    // Identical numbers for entries whose standardized paths are equal, from 0 to pathIdentityCount().
    int pathIdentity(qsizetype index) const;
    int pathIdentityCount() const;
    const QString& standardizedPath(qsizetype index) const;

private:
    void prepareSearchForms();
    void preparePathIdentities() const;
    void prepareNameKeys() const;
    std::vector<int> buildOrder(SortOption option) const;

    QList<DirectoryEntry> m_entries;
    NameCollator m_collator;
    std::vector<FileTypeFilter> m_fileTypes;
    std::vector<qint64> m_modifiedKeys;
    std::vector<SearchForm> m_searchForms;
    std::vector<PrefixGroup> m_prefixGroups;

    mutable std::array<std::optional<std::vector<int>>, allSortOptions.size()> m_orders;
    mutable std::vector<QCollatorSortKey> m_nameKeys;
    mutable bool m_hasNameKeys = false;
    mutable std::vector<int> m_pathIdentities;
    mutable std::vector<QString> m_standardizedPaths;
    mutable int m_pathIdentityCount = -1;
};

} // namespace orvalink
