#include "diskops/LeftoversAtTarget.h"

#include "diskops/NewerLeftovers.h"
#include "diskops/ReservedPaths.h"
#include "platform/DirectoryListing.h"
#include "platform/DuplicateRemoval.h"
#include "platform/EntryLocation.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/TreeCopier.h"
#include "platform/TreeRemoval.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcArrival, "orvalink.diskops.recovery.arrival")

namespace orvalink {

namespace {

class Arrival {
public:
    Arrival(const QString& target, const RootArrival& rootArrival, ArrivedLeftovers& result)
        : m_target(target), m_rootArrival(rootArrival), m_result(result)
    {}

    // The entry `incoming` of the staging path takes the place `existing` in the target.
    void place(const QString& incoming, const QString& existing)
    {
        const platform::EntryKind there = platform::entryStatus(existing).kind;
        if (there == platform::EntryKind::directory && platform::isRealDirectory(incoming)) {
            for (const platform::ListedItem& item : platform::listDirectory(incoming, true))
                place(incoming + QLatin1Char('/') + item.name, existing + QLatin1Char('/') + item.name);
            return;
        }
        const QString arriving = makeReservedPath(existing, ReservedSuffix::arriving);
        const platform::EntryLocation from = platform::EntryLocation::open(incoming);
        const platform::EntryLocation to = platform::EntryLocation::open(arriving);
        platform::TreeCopier copier(from, to); // both must outlive it
        copier.copy();                         // flushed before anything of the target moves
        // The copy's root is known by its identity, which the record learns first. An "arriving"
        // sibling only ever holds a copy of a staged entry that still stands (a start may drop it):
        // the older version leaves by a rename of its own, never through that sibling.
        if (existing == m_target)
            m_rootArrival(arriving);
        if (there != platform::EntryKind::none) {
            const QString older = makeReservedPath(existing, ReservedSuffix::appendPreserved);
            platform::renameNoReplace(existing, older);
            m_result.olderVersions.append(older);
        }
        platform::renameNoReplace(arriving, existing);
    }

private:
    const QString& m_target;
    const RootArrival& m_rootArrival;
    ArrivedLeftovers& m_result;
};

} // namespace

ArrivedLeftovers putLeftoversAtTarget(const QString& staging, const QString& target,
                                      const QStringList& waiting, const RootArrival& rootArrival)
{
    ArrivedLeftovers result;
    try {
        // Left by a start cut short while the staged entry was still whole: of no use.
        for (const QString& arriving : reservedBesideLeftovers(target, waiting, ReservedSuffix::arriving))
            platform::removeTree(arriving);
        if (platform::entryExists(staging)) {
            Arrival arrival(target, rootArrival, result);
            if (platform::isRealDirectory(staging) && platform::isRealDirectory(target)) {
                for (const platform::ListedItem& item : platform::listDirectory(staging, true))
                    arrival.place(staging + QLatin1Char('/') + item.name,
                                  target + QLatin1Char('/') + item.name);
            } else if (platform::entryExists(staging)) {
                arrival.place(staging, target);
            }
        }
    } catch (const std::exception& error) {
        qCWarning(lcArrival) << "what changed after the copy could not all be put in place:" << error.what();
    }
    // What now stands at its place goes from the staging path; the rest stays.
    if (platform::entryExists(staging))
        result.stayed = platform::removeDuplicateTree(staging, target).leftoverPaths;
    for (const QString& older : reservedBesideLeftovers(target, waiting, ReservedSuffix::appendPreserved)) {
        if (!result.olderVersions.contains(older))
            result.olderVersions.append(older);
    }
    return result;
}

} // namespace orvalink
