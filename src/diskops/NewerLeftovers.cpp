#include "diskops/NewerLeftovers.h"

#include "diskops/DirectoryMerge.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryLocation.h"
#include "platform/EntryStatus.h"
#include "platform/TreeWalker.h"

#include <QFile>

namespace orvalink {

namespace {

// Names what a merge puts in place, as waitingLeftovers() describes it.
class WaitingNames : public platform::TreeVisitor {
public:
    QStringList names;

    bool enterDirectory(const platform::WalkEntry& entry, int fd) override
    {
        if (entry.depth > 0 && platform::folderNames(fd).empty())
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

} // namespace

PlacedLeftovers putNewerLeftoversInPlace(const FallbackFileOperations& files, const QString& staging,
                                         const QString& source)
{
    MergeJournal journal(files);
    PlacedLeftovers placed;
    try {
        if (platform::isRealDirectory(staging) && platform::isRealDirectory(source)) {
            placed.olderVersions =
                mergeDirectoryContents(staging, source, ClashWinner::incoming, journal).preservedPaths;
            journal.deferRemoval(staging);
            journal.removeDeferred();
        } else {
            const QString older = makeReservedPath(source, ReservedSuffix::appendPreserved);
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
