#include "viewmodel/browsing/ListingSearch.h"

#include <algorithm>

namespace orvalink {

namespace {

// Where an occurrence of a needle of `length` units may begin and still reach past `prefixLength`:
// anything starting earlier lies inside the prefix, which was searched once for the whole folder.
qsizetype searchStart(qsizetype prefixLength, qsizetype length)
{
    return std::max<qsizetype>(0, prefixLength - length + 1);
}

} // namespace

ListingSearch::ListingSearch(const PreparedListing& listing, const SearchQuery& query)
    : m_listing(listing), m_query(query)
{
    if (m_query.isEmpty())
        return;
    const QString& folded = m_query.folded();
    const QStringList& words = m_query.words();
    m_checkWords = folded.contains(QLatin1Char(' '));
    for (const PreparedListing::PrefixGroup& group : m_listing.prefixGroups()) {
        GroupState state;
        state.usable = group.singleUnit && m_query.isSingleUnit();
        if (state.usable) {
            const QString& prefix = group.foldedPrefix;
            for (const QString& word : words)
                state.containsWord.push_back(prefix.contains(word));
            for (QChar c : prefix) {
                if (state.subsequenceProgress < folded.size() && c == folded.at(state.subsequenceProgress))
                    ++state.subsequenceProgress;
            }
        }
        m_groups.push_back(std::move(state));
    }
}

bool ListingSearch::matchesAfterPrefix(const PreparedListing::SearchForm& form, const GroupState& group) const
{
    // The path is the prefix followed by the name, so whatever the name holds the path holds too:
    // only the path needs testing, and only from where the prefix leaves off. A query held whole
    // is also held in order, so the in-order walk answers the substring test too; and a query
    // without a space is its only word.
    const QString& path = form.foldedPath;
    const qsizetype nameStart = path.size() - form.foldedName.size();
    const QStringList& words = m_query.words();
    if (m_checkWords && !words.isEmpty()) {
        bool allWords = true;
        for (qsizetype w = 0; w < words.size() && allWords; ++w) {
            const QString& word = words.at(w);
            allWords = group.containsWord[std::size_t(w)] ||
                       path.indexOf(word, searchStart(nameStart, word.size())) >= 0;
        }
        if (allWords)
            return true;
    }
    const QString& folded = m_query.folded();
    qsizetype progress = group.subsequenceProgress;
    if (progress == folded.size())
        return true;
    const QChar* wanted = folded.constData();
    const QChar* end = path.constData() + path.size();
    for (const QChar* c = path.constData() + nameStart; c != end; ++c) {
        if (*c == wanted[progress] && ++progress == folded.size())
            return true;
    }
    return false;
}

bool ListingSearch::matches(qsizetype index) const
{
    if (m_query.isEmpty())
        return true;
    const PreparedListing::SearchForm& form = m_listing.searchForm(index);
    if (form.prefixGroup >= 0 && form.singleUnit) {
        const GroupState& group = m_groups[std::size_t(form.prefixGroup)];
        if (group.usable)
            return matchesAfterPrefix(form, group);
    }
    return m_query.matchesFolded(form.foldedName, form.foldedPath);
}

} // namespace orvalink
