#include "viewmodel/browsing/PreparedListing.h"

#include "platform/StandardPath.h"
#include "viewmodel/browsing/EntryOrdering.h"
#include "viewmodel/browsing/FileTypes.h"
#include "viewmodel/texts/TextFolding.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

namespace orvalink {

namespace {

// True when standardizing would return the path unchanged; saves the split and join for the
// absolute, clean paths that listings hold.
bool isInStandardForm(QStringView path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return false;
    if (path.size() == 1)
        return true;
    if (path.endsWith(QLatin1Char('/')))
        return false;
    qsizetype componentStart = 1;
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path.at(i) != QLatin1Char('/'))
            continue;
        const QStringView component = path.mid(componentStart, i - componentStart);
        if (component.isEmpty() || component == u"." || component == u"..")
            return false;
        componentStart = i + 1;
    }
    return true;
}

} // namespace

PreparedListing::PreparedListing(QList<DirectoryEntry> entries, NameCollator collator)
    : m_entries(std::move(entries)), m_collator(std::move(collator))
{
    const std::size_t count = std::size_t(m_entries.size());
    m_fileTypes.reserve(count);
    m_modifiedKeys.reserve(count);
    for (const DirectoryEntry& entry : std::as_const(m_entries)) {
        m_fileTypes.push_back(classifyFileType(entry));
        m_modifiedKeys.push_back(modificationKey(entry));
    }
    prepareSearchForms();
}

void PreparedListing::prepareSearchForms()
{
    m_searchForms.resize(std::size_t(m_entries.size()));
    QHash<QString, int> groupOfParent;
    QString lastParent;
    int lastGroup = -1;
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const DirectoryEntry& entry = m_entries.at(i);
        SearchForm& form = m_searchForms[std::size_t(i)];
        form.foldedName = foldForSearch(entry.name);
        // Folding works character by character and "/" starts a character of its own, so the fold
        // of "<parent>/<name>" is the fold of the parent, "/" and the fold of the name.
        const qsizetype parentLength = entry.path.size() - entry.name.size() - 1;
        const bool splitsAtName = !entry.name.isEmpty() && parentLength >= 0 &&
                                  entry.path.endsWith(entry.name) &&
                                  entry.path.at(parentLength) == QLatin1Char('/');
        if (!splitsAtName) {
            form.foldedPath = foldForSearch(entry.path);
            continue;
        }
        const QStringView parent = QStringView(entry.path).left(parentLength);
        if (lastGroup < 0 || parent != lastParent) {
            lastParent = parent.toString();
            const auto found = groupOfParent.constFind(lastParent);
            if (found != groupOfParent.cend()) {
                lastGroup = found.value();
            } else {
                const QString prefix = foldForSearch(parent) + QLatin1Char('/');
                lastGroup = int(m_prefixGroups.size());
                m_prefixGroups.push_back({prefix, hasOnlySingleUnitCharacters(prefix)});
                groupOfParent.insert(lastParent, lastGroup);
            }
        }
        const PrefixGroup& group = m_prefixGroups[std::size_t(lastGroup)];
        form.prefixGroup = lastGroup;
        form.foldedPath = group.foldedPrefix + form.foldedName;
        // "/" joins no character before or after it except one that extends it, which a name may
        // begin with; so the slash is checked with the name.
        form.singleUnit = hasOnlySingleUnitCharactersAfterSlash(form.foldedName);
    }
}

void PreparedListing::prepareNameKeys() const
{
    if (m_hasNameKeys)
        return;
    m_nameKeys.reserve(std::size_t(m_entries.size()));
    for (const DirectoryEntry& entry : m_entries)
        m_nameKeys.push_back(m_collator.sortKey(entry.name));
    m_hasNameKeys = true;
}

std::vector<int> PreparedListing::buildOrder(SortOption option) const
{
    std::vector<int> order(std::size_t(m_entries.size()));
    std::iota(order.begin(), order.end(), 0);
    const auto size = [this](int i) {
        return m_entries.at(i).sizeBytes;
    };
    const auto nameBefore = [this](int lhs, int rhs) {
        return m_nameKeys[std::size_t(lhs)].compare(m_nameKeys[std::size_t(rhs)]) < 0;
    };
    const auto typeOrder = [&](bool largerFirst) {
        prepareNameKeys();
        return [&, largerFirst](int lhs, int rhs) {
            const int lhsType = typePosition(m_fileTypes[std::size_t(lhs)]);
            const int rhsType = typePosition(m_fileTypes[std::size_t(rhs)]);
            if (lhsType != rhsType)
                return lhsType < rhsType;
            if (size(lhs) != size(rhs))
                return largerFirst ? size(lhs) > size(rhs) : size(lhs) < size(rhs);
            return nameBefore(lhs, rhs);
        };
    };
    switch (option) {
    case SortOption::sizeDesc:
        std::stable_sort(order.begin(), order.end(), [&](int lhs, int rhs) { return size(lhs) > size(rhs); });
        break;
    case SortOption::sizeAsc:
        std::stable_sort(order.begin(), order.end(), [&](int lhs, int rhs) { return size(lhs) < size(rhs); });
        break;
    case SortOption::typeSizeDesc:
        std::stable_sort(order.begin(), order.end(), typeOrder(true));
        break;
    case SortOption::typeSizeAsc:
        std::stable_sort(order.begin(), order.end(), typeOrder(false));
        break;
    case SortOption::nameAsc:
        prepareNameKeys();
        std::stable_sort(order.begin(), order.end(), nameBefore);
        break;
    case SortOption::modifiedDesc:
        std::stable_sort(order.begin(), order.end(), [this](int lhs, int rhs) {
            return m_modifiedKeys[std::size_t(lhs)] > m_modifiedKeys[std::size_t(rhs)];
        });
        break;
    }
    return order;
}

const std::vector<int>& PreparedListing::orderFor(SortOption option) const
{
    auto& order = m_orders[std::size_t(option)];
    if (!order)
        order = buildOrder(option);
    return *order;
}

void PreparedListing::preparePathIdentities() const
{
    if (m_pathIdentityCount >= 0)
        return;
    QHash<QString, int> identities;
    m_pathIdentities.reserve(std::size_t(m_entries.size()));
    m_standardizedPaths.reserve(std::size_t(m_entries.size()));
    for (const DirectoryEntry& entry : m_entries) {
        QString standardized =
            isInStandardForm(entry.path) ? entry.path : platform::standardizedPath(entry.path);
        auto identity = identities.constFind(standardized);
        if (identity == identities.cend())
            identity = identities.insert(standardized, int(identities.size()));
        m_pathIdentities.push_back(identity.value());
        m_standardizedPaths.push_back(std::move(standardized));
    }
    m_pathIdentityCount = int(identities.size());
}

int PreparedListing::pathIdentity(qsizetype index) const
{
    preparePathIdentities();
    return m_pathIdentities[std::size_t(index)];
}

int PreparedListing::pathIdentityCount() const
{
    preparePathIdentities();
    return m_pathIdentityCount;
}

const QString& PreparedListing::standardizedPath(qsizetype index) const
{
    preparePathIdentities();
    return m_standardizedPaths[std::size_t(index)];
}

} // namespace orvalink
