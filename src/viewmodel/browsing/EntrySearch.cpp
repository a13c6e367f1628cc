#include "viewmodel/browsing/EntrySearch.h"

#include "viewmodel/texts/TextFolding.h"

namespace orvalink {

SearchQuery::SearchQuery(const QString& text)
{
    const QString trimmed = text.trimmed();
    m_isEmpty = trimmed.isEmpty();
    if (m_isEmpty)
        return;
    m_folded = foldForSearch(trimmed);
    m_words = m_folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    m_isSingleUnit = hasOnlySingleUnitCharacters(m_folded);
    m_characters = graphemeClusters(m_folded);
}

bool SearchQuery::matchesFolded(const QString& foldedName, const QString& foldedPath) const
{
    if (m_isEmpty)
        return true;
    if (foldedName.contains(m_folded) || foldedPath.contains(m_folded))
        return true;
    if (!m_words.isEmpty()) {
        bool allWords = true;
        for (const QString& word : m_words) {
            if (!foldedName.contains(word) && !foldedPath.contains(word)) {
                allWords = false;
                break;
            }
        }
        if (allWords)
            return true;
    }
    return isSubsequence(m_characters, foldedName) || isSubsequence(m_characters, foldedPath);
}

bool SearchQuery::matches(const DirectoryEntry& entry) const
{
    if (m_isEmpty)
        return true;
    return matchesFolded(foldForSearch(entry.name), foldForSearch(entry.path));
}

bool isSubsequence(const QStringList& needleCharacters, QStringView haystack)
{
    if (needleCharacters.isEmpty())
        return true;
    qsizetype cursor = 0;
    const qsizetype count = needleCharacters.size();
    if (hasOnlySingleUnitCharacters(haystack)) {
        for (QChar c : haystack) {
            const QString& wanted = needleCharacters.at(cursor);
            if (wanted.size() == 1 && wanted.at(0) == c && ++cursor == count)
                return true;
        }
        return false;
    }
    for (const QString& character : graphemeClusters(haystack)) {
        if (character == needleCharacters.at(cursor) && ++cursor == count)
            return true;
    }
    return false;
}

bool isSubsequence(QStringView needle, QStringView haystack)
{
    return isSubsequence(graphemeClusters(needle), haystack);
}

bool matchesSearch(const DirectoryEntry& entry, const QString& query)
{
    return SearchQuery(query).matches(entry);
}

} // namespace orvalink
