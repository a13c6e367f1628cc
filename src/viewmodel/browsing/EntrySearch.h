#pragma once

#include "model/DirectoryEntry.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace orvalink {

// The forgiving search of the listing. A query matches an entry when, after trimming and folding
// (see foldForSearch) both sides:
//   1. the query is empty, or
//   2. the folded name or the folded path contains the folded query, or
//   3. every word of the query (split at " ", empty pieces dropped) occurs in the name or in the
//      path, each word in either, or
//   4. the query's characters occur in order, with gaps allowed, in the name or in the path.
class SearchQuery {
public:
    explicit SearchQuery(const QString& text = QString());

    // True when the trimmed query is empty: every entry matches.
    bool isEmpty() const { return m_isEmpty; }
    const QString& folded() const { return m_folded; }
    const QStringList& words() const { return m_words; }
    // The user-perceived characters of the folded query, for the in-order test.
    const QStringList& characters() const { return m_characters; }
    // True when each character of the folded query is one code unit.
    bool isSingleUnit() const { return m_isSingleUnit; }

    // The test on an entry's name and path, both already folded.
    bool matchesFolded(const QString& foldedName, const QString& foldedPath) const;
    bool matches(const DirectoryEntry& entry) const;

private:
    bool m_isEmpty = true;
    QString m_folded;
    QStringList m_words;
    QStringList m_characters;
    bool m_isSingleUnit = true;
};

// True when the characters of `needle` occur in `haystack` in the same order, not necessarily
// adjacent; compares user-perceived characters. An empty needle is always found.
bool isSubsequence(QStringView needle, QStringView haystack);
// The same with the needle already split into its characters.
bool isSubsequence(const QStringList& needleCharacters, QStringView haystack);

// Convenience for one entry and one raw query.
bool matchesSearch(const DirectoryEntry& entry, const QString& query);

} // namespace orvalink
