#include "diskops/SelectionService.h"

#include "diskops/PathComparison.h"
#include "model/OrvalinkError.h"
#include "platform/StandardPath.h"

#include <algorithm>
#include <vector>

namespace orvalink {

namespace {
struct SortedPath {
    QString standard;
    QString comparable;
    QByteArray order; // UTF-8 of the NFC form: byte order equals Unicode scalar order
};
} // namespace

QStringList SelectionService::normalized(const QSet<QString>& paths)
{
    QStringList result;
    for (const QString& path : paths)
        result.append(platform::standardizedPath(path));
    return result;
}

void SelectionService::validateNoParentChildConflict(const QSet<QString>& paths) const
{
    std::vector<SortedPath> sorted;
    for (const QString& standard : normalized(paths)) {
        const QString key = comparableForm(standard);
        sorted.push_back(SortedPath{standard, key, key.toUtf8()});
    }
    if (sorted.size() < 2)
        return;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SortedPath& a, const SortedPath& b) { return a.order < b.order; });
    // Every pair, not only neighbours: "/a-b" sorts between "/a" and "/a/b".
    for (size_t i = 0; i + 1 < sorted.size(); ++i) {
        for (size_t j = i + 1; j < sorted.size(); ++j) {
            if (sorted[j].comparable == sorted[i].comparable ||
                liesUnder(sorted[j].comparable, sorted[i].comparable))
                throw OrvalinkError::parentChildConflict(sorted[i].standard, sorted[j].standard);
        }
    }
}

} // namespace orvalink
