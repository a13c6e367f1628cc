#include "diskops/NewerLeftovers.h"

#include "diskops/DirectoryMerge.h"
#include "platform/EntryLocation.h"
#include "platform/EntryStatus.h"
#include "platform/TreeWalker.h"

#include <QFile>
#include <QHash>
#include <QSet>

namespace orvalink {

namespace {

// Names what a merge puts in place, as waitingLeftovers() describes it.
class WaitingNames : public platform::TreeVisitor {
public:
    QStringList names;

    bool enterDirectory(const platform::WalkEntry& entry, int fd) override
    {
        if (platform::folderNames(fd).empty())
            note(entry);
        return names.size() < kMaxWaitingLeftovers;
    }
    void visitEntry(const platform::WalkEntry& entry) override { note(entry); }
    void leaveDirectory(const platform::WalkEntry&, int) override {}
    void walkFailed(const platform::WalkEntry&, int) override {}

private:
    void note(const platform::WalkEntry& entry)
    {
        if (names.size() < kMaxWaitingLeftovers)
            names.append(QFile::decodeName(entry.relativePath()));
    }
};

bool isFolderOfTheTree(const QString& path)
{
    try {
        return platform::isRealDirectory(path);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

PlacedLeftovers putNewerLeftoversInPlace(const FallbackFileOperations& files, const QString& staging,
                                         const QString& source, const QUuid& operation)
{
    MergeJournal journal(files);
    PlacedLeftovers placed;
    try {
        if (platform::isRealDirectory(staging) && platform::isRealDirectory(source)) {
            placed.olderVersions =
                mergeDirectoryContents(staging, source, ClashWinner::incoming, journal, operation)
                    .preservedPaths;
            journal.deferRemoval(staging);
            journal.removeDeferred();
        } else {
            const QString older = makeReservedPath(source, ReservedSuffix::appendPreserved, operation);
            journal.move(source, older);
            journal.move(staging, source);
            placed.olderVersions = {older};
        }
        placed.placed = true;
    } catch (const std::exception&) {
        journal.undo();
        placed = {};
    }
    return placed;
}

QStringList reservedBesideLeftovers(const QString& root, const QStringList& waiting, ReservedSuffix suffix)
{
    QStringList places;
    QSet<QString> named;
    QHash<QString, bool> isFolder; // of the places met on the way, whether each is a folder of the tree
    const auto add = [&](const QString& place) {
        if (!named.contains(place)) {
            named.insert(place);
            places.append(place);
        }
    };
    for (const QString& relative : waiting) {
        QString place = root;
        if (relative.isEmpty())
            add(place);
        for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            // Only through folders of the tree itself: a link on the way leads elsewhere.
            if (place != root) {
                const auto known = isFolder.constFind(place);
                if (!(known != isFolder.cend() ? *known : *isFolder.insert(place, isFolderOfTheTree(place))))
                    break;
            }
            place += QLatin1Char('/') + part;
            add(place);
        }
    }
    return existingReservedPaths(places, suffix);
}

QStringList waitingLeftovers(const QString& staging)
{
    WaitingNames waiting;
    try {
        const platform::EntryLocation location = platform::EntryLocation::open(staging);
        platform::walkTree(location.parent.get(), location.name, location.path, waiting);
    } catch (const std::exception&) {
        // What could not be read is not named.
    }
    return waiting.names;
}

} // namespace orvalink
