#include "diskops/NamedVersions.h"

#include "diskops/NewerLeftovers.h"
#include "diskops/OperationJournal.h"
#include "diskops/ReservedPaths.h"

#include <QSet>

namespace orvalink {

namespace {

// The record must stay readable whatever the tree held (see OperationJournal::kMaxRecordBytes): past
// this many bytes of paths, versions are no longer noted. A later answer may name those again, which
// costs a repeated name, never the record.
constexpr qsizetype kMaxKnownVersionBytes = 256 * 1024;

void addKnown(JournalRecord& entry, const QStringList& versions)
{
    qsizetype bytes = 0;
    for (const QString& known : std::as_const(entry.knownVersions))
        bytes += known.size() * 3;
    for (const QString& version : versions) {
        bytes += version.size() * 3; // as UTF-8, at the most
        if (bytes > kMaxKnownVersionBytes)
            return;
        entry.knownVersions.append(version);
    }
}

} // namespace

void noteStandingVersions(JournalRecord& entry, const QString& root)
{
    addKnown(entry, notNamedYet(entry, reservedBesideLeftovers(root, entry.newerLeftovers,
                                                               ReservedSuffix::appendPreserved)));
}

QStringList notNamedYet(const JournalRecord& record, const QStringList& versions)
{
    const QSet<QString> known(record.knownVersions.cbegin(), record.knownVersions.cend());
    QStringList named;
    for (const QString& version : versions) {
        if (!known.contains(version))
            named.append(version);
    }
    return named;
}

void noteNamed(OperationJournal& journal, const QStringList& versions)
{
    const QStringList added = notNamedYet(journal.record(), versions);
    if (!added.isEmpty())
        journal.update([&added](JournalRecord& entry) { addKnown(entry, added); });
}

} // namespace orvalink
