#include "diskops/HistoryRecordSafety.h"

#include "diskops/PathComparison.h"
#include "diskops/PathMappingService.h"
#include "model/OrvalinkError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"

namespace orvalink {

HistoryRecordPaths validateHistoryRecordPaths(const QString& sourcePath, const QString& targetPath,
                                              const PathMappingService& pathMapping)
{
    // A relative path would be taken against whatever the current directory happens to be.
    if (!sourcePath.startsWith(QLatin1Char('/')) || !targetPath.startsWith(QLatin1Char('/')))
        throw OrvalinkError::disallowedPath(sourcePath);
    const HistoryRecordPaths paths{platform::standardizedPath(sourcePath),
                                   platform::standardizedPath(targetPath)};
    const OrvalinkError refusal = OrvalinkError::disallowedPath(paths.sourcePath);
    // Without strict mode the rules refuse "/", the Trash and container roots: these hold for any
    // record.
    try {
        pathMapping.validateMigrationSource(paths.sourcePath, QString(), false);
    } catch (const OrvalinkError&) {
        throw refusal;
    }
    QStringList protectedPaths;
    for (const QString& path : pathMapping.strictDisallowedRules().exact)
        protectedPaths.append(comparableForm(path));
    if (paths.targetPath == QLatin1String("/") || protectedPaths.contains(comparableForm(paths.targetPath)))
        throw refusal;
    if (platform::isSameOrDescendant(paths.sourcePath, paths.targetPath) ||
        platform::isSameOrDescendant(paths.targetPath, paths.sourcePath))
        throw refusal;
    if (protectedPaths.contains(comparableForm(paths.sourcePath)) &&
        platform::symbolicLinkDestination(paths.sourcePath) != paths.targetPath)
        throw refusal;
    return paths;
}

} // namespace orvalink
