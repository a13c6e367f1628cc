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
        const bool putBack = journal.undo();
        log.append(LogLevel::warning,
                   QStringLiteral("Undo completed, but what stood at the source could not be merged (") +
                       QString::fromUtf8(error.what()) + QStringLiteral("); it was kept at: ") +
                       occupantPath + (putBack ? QString() : QStringLiteral(" and partly inside ") + source));
    }
    return std::nullopt;
}

} // namespace orvalink
