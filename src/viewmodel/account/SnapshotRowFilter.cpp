#include "viewmodel/account/SnapshotRowFilter.h"

#include "diskops/JournalCheck.h"
#include "diskops/PathComparison.h"
#include "diskops/PathMappingService.h"
#include "platform/StandardPath.h"

namespace orvalink {

namespace {

bool isStandardAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && platform::standardizedPath(path) == path;
}

bool isSafeSource(const QString& source, const PathMappingService& rules, const QString& anchorUser)
{
    try {
        rules.validateMigrationSource(source, anchorUser, true);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool liesInsideEachOther(const QString& source, const QString& target)
{
    const QString s = comparableForm(source);
    const QString t = comparableForm(target);
    return platform::isSameOrDescendant(s, t) || platform::isSameOrDescendant(t, s);
}

bool isSafeRow(const QString& source, const QString& target, bool targetMayBeEmpty,
               const PathMappingService& rules, const QString& anchorUser)
{
    if (!isStandardAbsolute(source) || !isSafeSource(source, rules, anchorUser))
        return false;
    if (target.isEmpty())
        return targetMayBeEmpty;
    return isStandardAbsolute(target) && !liesInsideEachOther(source, target);
}

} // namespace

SafeSnapshotRows safeSnapshotRows(const MigrationSyncSnapshot& snapshot, const PathMappingService& rules,
                                  const QString& anchorUser)
{
    SafeSnapshotRows safe;
    for (const LinkMapping& mapping : snapshot.mappings) {
        // Undo and repair act on a mapping only where a migration could have put its data.
        if (isSafeRow(mapping.sourcePath, mapping.targetPath, false, rules, anchorUser) &&
            !mappingPlaceProblem(mapping.sourcePath, mapping.targetPath))
            safe.mappings.append(mapping);
        else
            ++safe.droppedCount;
    }
    for (const MigrationTask& task : snapshot.tasks) {
        if (isSafeRow(task.sourcePath, task.targetPath, true, rules, anchorUser))
            safe.tasks.append(task);
        else
            ++safe.droppedCount;
    }
    return safe;
}

} // namespace orvalink
