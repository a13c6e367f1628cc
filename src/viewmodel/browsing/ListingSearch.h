#pragma once

#include "viewmodel/browsing/EntrySearch.h"
#include "viewmodel/browsing/PreparedListing.h"

#include <vector>

namespace orvalink {

// One search query applied to a prepared listing; gives the same answers as SearchQuery::matches
// on each entry. The part of the work that depends only on an entry's parent folder (does the
// folded parent path hold the query or a word, how far does the in-order test get through it) is
// done once per folder, so each entry only looks at its name.
class ListingSearch {
public:
    ListingSearch(const PreparedListing& listing, const SearchQuery& query);

    bool matches(qsizetype index) const;

private:
    struct GroupState {
        std::vector<bool> containsWord;
        // Query characters found, in order, in the folder prefix.
        qsizetype subsequenceProgress = 0;
        bool usable = false;
    };

    bool matchesAfterPrefix(const PreparedListing::SearchForm& form, const GroupState& group) const;

    const PreparedListing& m_listing;
    const SearchQuery& m_query;
    std::vector<GroupState> m_groups;
    // Only a query with a space has words other than itself.
    bool m_checkWords = false;
};

} // namespace orvalink
