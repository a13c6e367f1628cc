#include "diskops/HistoryRecordSafety.h"

#include "diskops/PathComparison.h"
#include "diskops/PathMappingService.h"
#include "model/OrvalinkError.h"
#include "platform/StandardPath.h"

namespace orvalink {

namespace {

bool isStandardAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && platform::standardizedPath(path) == path;
}

} // namespace

void validateHistoryRecordPaths(const QString& sourcePath, const QString& targetPath,
                                const PathMappingService& pathMapping)
{
    const OrvalinkError refusal = OrvalinkError::disallowedPath(sourcePath);
    if (!isStandardAbsolute(sourcePath) || !isStandardAbsolute(targetPath))
        throw refusal;
    // Without strict mode the rules refuse "/", the Trash and container roots: these hold for any
    // record. The protected locations themselves are refused whatever the mode.
    try {
        pathMapping.validateMigrationSource(sourcePath, QString(), false);
    } catch (const OrvalinkError&) {
        throw refusal;
    }
    QStringList protectedPaths;
    for (const QString& path : pathMapping.strictDisallowedRules().exact)
        protectedPaths.append(comparableForm(path));
    if (targetPath == QLatin1String("/") || protectedPaths.contains(comparableForm(sourcePath)) ||
        protectedPaths.contains(comparableForm(targetPath)))
        throw refusal;
    if (platform::isSameOrDescendant(sourcePath, targetPath) ||
        platform::isSameOrDescendant(targetPath, sourcePath))
        throw refusal;
}

} // namespace orvalink
