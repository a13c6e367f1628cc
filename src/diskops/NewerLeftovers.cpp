#include "diskops/NewerLeftovers.h"

#include "diskops/DirectoryMerge.h"
#include "diskops/ReservedPaths.h"
#include "platform/EntryStatus.h"

namespace orvalink {

bool putNewerLeftoversInPlace(const FallbackFileOperations& files, const QString& staging,
                              const QString& source)
{
    MergeJournal journal(files);
    try {
        if (platform::isRealDirectory(staging) && platform::isRealDirectory(source)) {
            mergeDirectoryContents(staging, source, ClashWinner::incoming, journal);
            journal.deferRemoval(staging);
            journal.removeDeferred();
        } else {
            journal.move(source, makeReservedPath(source, ReservedSuffix::appendPreserved));
            journal.move(staging, source);
        }
        return true;
    } catch (const std::exception&) {
        journal.undo();
        return false;
    }
}

} // namespace orvalink
