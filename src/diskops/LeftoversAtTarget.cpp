#include "diskops/LeftoversAtTarget.h"

#include "diskops/NewerLeftovers.h"
#include "diskops/OperationSiblings.h"
#include "diskops/ReservedPaths.h"
#include "platform/DirectoryListing.h"
#include "platform/DuplicateRemoval.h"
#include "platform/EntryLocation.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/TreeCopier.h"
#include "platform/TreeRemoval.h"

#include <QFile>
#include <QLoggingCategory>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcArrival, "orvalink.diskops.recovery.arrival")

namespace orvalink {

namespace {

class Arrival {
public:
    Arrival(const LeftoverArrival& arrival, const QSet<platform::EntryIdentity>& held,
            ArrivedLeftovers& result)
        : m_arrival(arrival), m_held(held), m_result(result)
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
        // A file a program still writes: a copy of it now would be older than what the program
        // writes next.
        struct stat info {};
        if (::lstat(QFile::encodeName(incoming).constData(), &info) == 0 && !S_ISDIR(info.st_mode) &&
            m_held.contains(platform::EntryIdentity::of(info)))
            return;
        const QString arriving = makeReservedPath(existing, ReservedSuffix::arriving, m_arrival.operation);
        const platform::EntryLocation from = platform::EntryLocation::open(incoming);
        const platform::EntryLocation to = platform::EntryLocation::open(arriving);
        platform::TreeCopier copier(from, to); // both must outlive it
        copier.copy();                         // flushed before anything of the target moves
        // The copy's root is known by its identity, which the record learns first. An "arriving"
        // sibling only ever holds a copy of a staged entry that still stands (a start may drop it),
        // but for the target itself, which the record names: the older version leaves by a rename
        // of its own, never through that sibling.
        if (existing == m_arrival.target)
            m_arrival.rootArrival(arriving);
        if (there != platform::EntryKind::none) {
            const QString older =
                makeReservedPath(existing, ReservedSuffix::appendPreserved, m_arrival.operation);
            platform::renameNoReplace(existing, older);
            m_result.olderVersions.append(older);
        }
        platform::renameNoReplace(arriving, existing);
    }

private:
    const LeftoverArrival& m_arrival;
    const QSet<platform::EntryIdentity>& m_held;
    ArrivedLeftovers& m_result;
};

} // namespace

ArrivedLeftovers putLeftoversAtTarget(const LeftoverArrival& arrival)
{
    const QString& staging = arrival.staging;
    const QString& target = arrival.target;
    ArrivedLeftovers result;
    // What earlier starts, cut short, left: the older versions they kept, and copies on their way.
    const OperationSiblings earlier =
        arrival.begunBefore ? findOperationSiblings(target, arrival.operation) : OperationSiblings();
    try {
        QStringList arriving = earlier.arriving;
        arriving += reservedBesideLeftovers(target, arrival.waiting, ReservedSuffix::arriving);
        arriving.removeDuplicates();
        for (const QString& each : std::as_const(arriving))
            platform::removeTree(each);
        if (platform::entryExists(staging)) {
            const QSet<platform::EntryIdentity> held = arrival.inUse();
            Arrival placing(arrival, held, result);
            if (platform::isRealDirectory(staging) && platform::isRealDirectory(target)) {
                for (const platform::ListedItem& item : platform::listDirectory(staging, true))
                    placing.place(staging + QLatin1Char('/') + item.name,
                                  target + QLatin1Char('/') + item.name);
            } else {
                placing.place(staging, target);
            }
        }
    } catch (const std::exception& error) {
        qCWarning(lcArrival) << "what changed after the copy could not all be put in place:" << error.what();
    }
    // What now stands at its place goes from the staging path; the rest stays, and so does what a
    // program holds (looked for right before anything goes).
    if (platform::entryExists(staging)) {
        const QSet<platform::EntryIdentity> held = arrival.inUse();
        const platform::RemovalOutcome removal = platform::removeDuplicateTree(staging, target, held);
        // Kept by the rules: newer than its place, or held; the rest could not be removed.
        result.held = heldLeftovers(heldAmong(removal.keptPaths, held), staging);
        for (const QString& path : removal.leftoverPaths) {
            if (!removal.keptPaths.contains(path))
                result.duplicates.append(path);
            else if (!result.held.paths.contains(path))
                result.waiting.append(path);
        }
    }
    QStringList older = earlier.olderVersions;
    older += result.olderVersions;
    older += reservedBesideLeftovers(target, arrival.waiting, ReservedSuffix::appendPreserved);
    older.removeDuplicates();
    older.sort();
    result.olderVersions = older;
    return result;
}

} // namespace orvalink
