#include "viewmodel/launch/LeftoverSweep.h"

#include "diskops/OperationJournal.h"
#include "model/AppPaths.h"
#include "model/Formatters.h"
#include "model/LogEntry.h"
#include "model/StoreNames.h"
#include "platform/HeldFiles.h"
#include "platform/StandardPath.h"
#include "store/LogService.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace orvalink {

namespace {

platform::RemovedFiles removeFrom(const QString& folder, const QStringList& storeNames)
{
    return platform::removeAbandonedTemporaryFiles(
        folder, [&](const QString& finalName) { return storeNames.contains(finalName); });
}

} // namespace

void removeLeftoversOfKilledWrites(LogService& log)
{
    platform::RemovedFiles removed;
    try {
        removed += removeFrom(AppPaths::applicationSupportDirectory(), StoreNames::supportFiles());
        const QString logFile = AppPaths::logsFile();
        removed += removeFrom(platform::parentPath(logFile), {QFileInfo(logFile).fileName()});
        // Every scope's folder, not only the one in use: a scope left by signing out keeps its
        // history. A folder that is a link is not entered (removeUnheldFiles never follows one).
        const QDir history(AppPaths::historyDirectory());
        for (const QString& scope : history.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
            removed += removeFrom(history.filePath(scope), StoreNames::historyFiles());
        removed += OperationJournal::removeLeftovers();
    } catch (const std::exception&) {
        // Leftovers only take room; the start goes on, and the next one tries again.
    }
    if (removed.count == 0)
        return;
    log.append(LogLevel::info, QStringLiteral("Removed what interrupted writes left: %1 temporary files, %2")
                                   .arg(removed.count)
                                   .arg(Formatters::sizeString(removed.bytes)));
}

} // namespace orvalink
