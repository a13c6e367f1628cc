#include "diskops/OccupantMerge.h"

#include "diskops/FallbackFileOperations.h"
#include "store/LogService.h"

namespace orvalink {

std::optional<AppendMergeOutcome> mergeOccupantIntoRestored(const FallbackFileOperations& files,
                                                            LogService& log, const QString& occupantPath,
                                                            const QString& source)
{
    // On the home's file system, so nothing crosses to the volume and back.
    MergeJournal journal(files);
    try {
        const AppendMergeOutcome merged =
            mergeDirectoryContents(occupantPath, source, ClashWinner::existing, journal);
        journal.deferRemoval(occupantPath);
        journal.removeDeferred();
        return merged;
    } catch (const std::exception& error) {
        const QString why = QString::fromUtf8(error.what());
        if (journal.undo()) {
            log.append(LogLevel::warning,
                       QStringLiteral("Undo completed, but what stood at the source could not be merged (") +
                           why + QStringLiteral("); it was kept at: ") + occupantPath);
            return std::nullopt;
        }
        log.append(LogLevel::warning, QStringLiteral("What stood at the source could not be merged (") + why +
                                          QStringLiteral(") nor put back whole; it is partly at ") +
                                          occupantPath + QStringLiteral(" and partly inside ") + source +
                                          QStringLiteral(", and the merge goes on at the next start"));
        throw;
    }
}

} // namespace orvalink
