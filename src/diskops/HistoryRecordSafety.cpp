#include "diskops/HistoryRecordSafety.h"

#include "diskops/PathComparison.h"
#include "diskops/PathMappingService.h"
#include "model/OrvalinkError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"

namespace orvalink {

namespace {

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// True when a symbolic link stands at `linkPath` and its text, resolved against the link's folder,
// names `target`. Both in standard form.
bool linkPointsAt(const QString& linkPath, const QString& target)
{
    const auto text = platform::readSymbolicLink(linkPath);
    if (!text)
        return false;
    const QString destination =
        text->startsWith(QLatin1Char('/')) ? *text : parentOf(linkPath) + QLatin1Char('/') + *text;
    return platform::standardizedPath(destination) == target;
}

} // namespace

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
        !linkPointsAt(paths.sourcePath, paths.targetPath))
        throw refusal;
    return paths;
}

} // namespace orvalink
