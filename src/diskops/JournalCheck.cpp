#include "diskops/JournalCheck.h"

#include "diskops/NewerLeftovers.h"
#include "diskops/OperationJournal.h"
#include "diskops/ReservedPaths.h"
#include "model/AppPaths.h"
#include "model/StoreNames.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace orvalink {

namespace {

bool isStandardAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && platform::standardizedPath(path) == path;
}

// A NUL ends the text the kernel sees, and a text the local encoding cannot carry names some other
// file: either way the path acted on would not be the one checked.
bool canStandOnDisk(const QString& path)
{
    return !path.contains(QChar(0)) && QFile::decodeName(QFile::encodeName(path)) == path;
}

bool isStrictlyBelow(const QString& path, const QString& ancestor)
{
    return path != ancestor && platform::isSameOrDescendant(path, ancestor);
}

// The history folder of the file, when `path` is "<application support>/history/<scope>/<name>".
std::optional<QString> historyScopeFolder(const QString& path, const QString& name)
{
    static const QRegularExpression folder(QStringLiteral("^[a-z0-9_-]+$"));
    const QString prefix = platform::standardizedPath(AppPaths::historyDirectory()) + QLatin1Char('/');
    const QString suffix = QLatin1Char('/') + name;
    if (!path.startsWith(prefix) || !path.endsWith(suffix))
        return std::nullopt;
    const QString scope = path.mid(prefix.size(), path.size() - prefix.size() - suffix.size());
    if (!folder.match(scope).hasMatch())
        return std::nullopt;
    return scope;
}

std::optional<QString> pathProblem(const JournalRecord& record)
{
    QStringList required{record.homeDirectory, record.sourcePath,   record.targetPath,
                         record.targetRoot,    record.mappingsFile, record.tasksFile};
    switch (record.kind) {
    case JournalKind::migration:
        required.append(record.stagingPath);
        break;
    case JournalKind::undo:
        break;
    }
    if (!record.restorePath.isEmpty())
        required.append(record.restorePath);
    required.append(record.createdDirectories);
    if (!record.occupantPath.isEmpty())
        required.append(record.occupantPath);
    for (const QString& path : required + QStringList{record.stagingPath, record.restorePath}) {
        if (!canStandOnDisk(path))
            return QStringLiteral("a path cannot stand on disk: \"") +
                   QString(path).replace(QChar(0), QStringLiteral("\\0")) + QLatin1Char('"');
    }
    for (const QString& path : required) {
        if (!isStandardAbsolute(path))
            return QStringLiteral("a path is not absolute and in standard form: \"") + path +
                   QLatin1Char('"');
    }
    return std::nullopt;
}

// The newer leftovers are places below the staging path, as few as a migration writes.
std::optional<QString> leftoversProblem(const JournalRecord& record)
{
    if ((!record.arrivingIdentity.isEmpty() || !record.knownVersions.isEmpty()) &&
        record.kind != JournalKind::migration)
        return QStringLiteral("newer leftovers are named by a record that cannot have them");
    if (record.newerLeftovers.isEmpty())
        return std::nullopt;
    if (record.kind != JournalKind::migration || record.newerLeftovers.size() > kMaxWaitingLeftovers)
        return QStringLiteral("newer leftovers are named by a record that cannot have them");
    for (const QString& relative : record.newerLeftovers) {
        const bool whole = relative.isEmpty() && record.newerLeftovers.size() == 1;
        const QStringList parts = relative.split(QLatin1Char('/'));
        const bool below =
            !relative.isEmpty() && canStandOnDisk(relative) &&
            std::none_of(parts.cbegin(), parts.cend(), [](const QString& part) {
                return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
            });
        if (!whole && !below)
            return QStringLiteral("a newer leftover is no place below the staging path: \"") +
                   QString(relative).replace(QChar(0), QStringLiteral("\\0")) + QLatin1Char('"');
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> journalProblem(const JournalRecord& record)
{
    if (const auto problem = pathProblem(record))
        return problem;
    const QString& home = record.homeDirectory;
    const QString& source = record.sourcePath;
    const QString& target = record.targetPath;
    const QString& root = record.targetRoot;
    if (home != platform::standardizedPath(platform::homeDirectory()))
        return QStringLiteral("it was written for another home folder: ") + home;
    if (const std::optional<QString> problem = targetRootProblem(root))
        return problem;
    if (const std::optional<QString> problem = mappingPlaceProblem(source, target))
        return problem;
    if (target != root + source)
        return QStringLiteral("the target is not the source's place under the target root: ") + target;

    switch (record.kind) {
    case JournalKind::migration:
        if (!isReservedPathOf(source, record.stagingPath, ReservedSuffix::staging))
            return QStringLiteral("the staging path is not a reserved name of the source: ") +
                   record.stagingPath;
        break;
    case JournalKind::undo:
        if (!record.stagingPath.isEmpty())
            return QStringLiteral("an undo names a staging path: ") + record.stagingPath;
        break;
    }
    if (!record.occupantPath.isEmpty()) {
        const ReservedSuffix aside =
            record.occupantMerge ? ReservedSuffix::appendPreserved : ReservedSuffix::overwritePreserved;
        if (record.kind != JournalKind::undo || !record.forced || record.occupantIdentity.isEmpty() ||
            !isReservedPathOf(source, record.occupantPath, aside))
            return QStringLiteral("the path of what stood at the source is not a forced restore's reserved "
                                  "name of the source: ") +
                   record.occupantPath;
    }
    if (record.historyPending && record.kind != JournalKind::undo)
        return QStringLiteral("only an undo waits for its history to be written");
    if (!record.restorePath.isEmpty() &&
        !isReservedPathOf(source, record.restorePath, ReservedSuffix::restoring))
        return QStringLiteral("the restore path is not a reserved name of the source: ") + record.restorePath;

    if (const std::optional<QString> problem = leftoversProblem(record))
        return problem;

    const QString volumes = *volumesFolderHolding(root);
    for (const QString& folder : record.createdDirectories) {
        if (!isStrictlyBelow(target, folder) || !isStrictlyBelow(folder, volumes))
            return QStringLiteral("a created folder is not one above the target on its volume: ") + folder;
    }

    const auto tasksScope = historyScopeFolder(record.tasksFile, StoreNames::tasks());
    const auto mappingsScope = historyScopeFolder(record.mappingsFile, StoreNames::mappings());
    if (!tasksScope || !mappingsScope || *tasksScope != *mappingsScope)
        return QStringLiteral("the history files are not the application's own: ") + record.tasksFile +
               QStringLiteral(", ") + record.mappingsFile;

    if (record.itemIdentity.isEmpty() || record.targetRootIdentity.isEmpty())
        return QStringLiteral("the identities of the moved item and the target root are missing");
    return std::nullopt;
}

std::optional<QString> targetRootProblem(const QString& targetRoot)
{
    if (targetRoot == QLatin1String("/") ||
        platform::isSameOrDescendant(platform::standardizedPath(platform::homeDirectory()), targetRoot))
        return QStringLiteral("the target root holds the home folder: ") + targetRoot;
    // A migration refuses any target root that is not on a volume mounted in the volumes folder.
    if (!volumesFolderHolding(targetRoot))
        return QStringLiteral("the target root is not on a volume: ") + targetRoot;
    return std::nullopt;
}

std::optional<QString> mappingPlaceProblem(const QString& sourcePath, const QString& targetPath)
{
    if (!isStandardAbsolute(sourcePath) || !isStandardAbsolute(targetPath))
        return QStringLiteral("a path is not absolute and in standard form: \"") + sourcePath +
               QStringLiteral("\", \"") + targetPath + QLatin1Char('"');
    if (!isStrictlyBelow(sourcePath, platform::standardizedPath(platform::homeDirectory())))
        return QStringLiteral("the source lies outside the home folder: ") + sourcePath;
    if (!targetPath.endsWith(sourcePath) || targetPath.size() == sourcePath.size())
        return QStringLiteral("the target is not the source's place under a target root: ") + targetPath;
    if (const std::optional<QString> problem =
            targetRootProblem(targetPath.left(targetPath.size() - sourcePath.size())))
        return problem;
    if (platform::isSameOrDescendant(targetPath, sourcePath) ||
        platform::isSameOrDescendant(sourcePath, targetPath))
        return QStringLiteral("the source and the target lie inside each other");
    return std::nullopt;
}

std::optional<QString> volumesFolderHolding(const QString& targetRoot)
{
    QString volumes;
    for (const QString& candidate : platform::volumesDirectoryCandidates()) {
        const QString folder = platform::standardizedPath(candidate);
        if (isStrictlyBelow(targetRoot, folder) && folder.size() > volumes.size())
            volumes = folder;
    }
    if (volumes.isEmpty())
        return std::nullopt;
    return volumes;
}

} // namespace orvalink
