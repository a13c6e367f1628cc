#include "diskops/NamedVersions.h"

#include "diskops/NewerLeftovers.h"
#include "diskops/OperationJournal.h"
#include "diskops/ReservedPaths.h"

namespace orvalink {

void noteStandingVersions(JournalRecord& entry, const QString& root)
{
    entry.knownVersions +=
        reservedBesideLeftovers(root, entry.newerLeftovers, ReservedSuffix::appendPreserved);
    entry.knownVersions.removeDuplicates();
}

QStringList notNamedYet(const JournalRecord& record, const QStringList& versions)
{
    QStringList named;
    for (const QString& version : versions) {
        if (!record.knownVersions.contains(version))
            named.append(version);
    }
    return named;
}

void noteNamed(OperationJournal& journal, const QStringList& versions)
{
    const QStringList added = notNamedYet(journal.record(), versions);
    if (!added.isEmpty())
        journal.update([&added](JournalRecord& entry) { entry.knownVersions += added; });
}

} // namespace orvalink
