#include "diskops/PathMappingService.h"

#include "diskops/PathComparison.h"
#include "model/OrvalinkError.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"

#include <QSet>

namespace orvalink {

namespace {

QString standardized(const QString& path)
{
    return platform::standardizedPath(path);
}

QString homePath()
{
    return standardized(platform::homeDirectory());
}

QString libraryPath()
{
    return standardized(homePath() + QStringLiteral("/Library"));
}

QStringList comparable(const QStringList& paths)
{
    QStringList result;
    result.reserve(paths.size());
    for (const QString& path : paths)
        result.append(comparableForm(path));
    return result;
}

bool liesUnderAny(const QString& path, const QStringList& directories)
{
    for (const QString& directory : directories) {
        if (liesUnder(path, directory))
            return true;
    }
    return false;
}

QStringList suffixed(const QStringList& paths, const QString& suffix)
{
    QStringList result;
    for (const QString& path : paths)
        result.append(path + suffix);
    return result;
}

} // namespace

PathMappingService::PathMappingService(QStringList strictSystemProtectedPaths)
    : m_protectedPaths(std::move(strictSystemProtectedPaths))
{}

QStringList PathMappingService::systemProtectedPaths()
{
    return {
        QStringLiteral("/"),
        QStringLiteral("/System"),
        QStringLiteral("/Library"),
        QStringLiteral("/private"),
        QStringLiteral("/bin"),
        QStringLiteral("/sbin"),
        QStringLiteral("/usr"),
        QStringLiteral("/etc"),
        QStringLiteral("/var"),
        QStringLiteral("/dev"),
        QStringLiteral("/cores"),
        QStringLiteral("/opt"),
        QStringLiteral("/tmp"),
        QStringLiteral("/Network"),
        QStringLiteral("/Volumes"),
        // Linux system roots.
        QStringLiteral("/boot"),
        QStringLiteral("/lib"),
        QStringLiteral("/lib32"),
        QStringLiteral("/lib64"),
        QStringLiteral("/proc"),
        QStringLiteral("/root"),
        QStringLiteral("/run"),
        QStringLiteral("/srv"),
        QStringLiteral("/sys"),
        QStringLiteral("/mnt"),
        QStringLiteral("/media"),
    };
}

QStringList PathMappingService::alwaysDisallowedExactPaths() const
{
    const QString home = homePath();
    return {standardized(home + QStringLiteral("/.Trash")),
            standardized(home + QStringLiteral("/.local/share/Trash"))};
}

QStringList PathMappingService::alwaysDisallowedManagedContainerRoots() const
{
    const QString home = homePath();
    return {standardized(home + QStringLiteral("/Library/Containers")),
            standardized(home + QStringLiteral("/Library/Group Containers"))};
}

PathMappingService::StrictRules PathMappingService::strictDisallowedRules() const
{
    StrictRules rules;
    for (const QString& entry : m_protectedPaths) {
        const QString standard = standardized(entry);
        rules.exact.append(standard);
        if (standard != QLatin1String("/"))
            rules.subtree.append(standard);
    }
    rules.exact.append(homePath());
    rules.exact.append(libraryPath());
    rules.childOnly.append(libraryPath());
    return rules;
}

bool PathMappingService::isManagedContainerRootSelection(const QString& standardizedPath) const
{
    const QString path = comparableForm(standardizedPath);
    for (const QString& root : comparable(alwaysDisallowedManagedContainerRoots())) {
        if (!liesUnder(path, root))
            continue;
        const QStringList pieces = path.mid(root.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (pieces.size() == 1 || (pieces.size() == 2 && pieces[1] == QLatin1String("Data")))
            return true;
    }
    return false;
}

void PathMappingService::validateMigrationSource(const QString& path, const QString& anchorUser,
                                                 bool strictModeEnabled) const
{
    const QString standard = standardized(path);
    if (!standard.startsWith(QLatin1Char('/')))
        throw OrvalinkError::invalidAnchor(anchorUser, standard);
    const QString p = comparableForm(standard);

    const QStringList trash = comparable(alwaysDisallowedExactPaths());
    if (trash.contains(p) || liesUnderAny(p, trash))
        throw OrvalinkError::disallowedPath(standard);
    if (isManagedContainerRootSelection(standard))
        throw OrvalinkError::disallowedPath(standard);

    if (!strictModeEnabled) {
        if (p == QLatin1String("/"))
            throw OrvalinkError::disallowedPath(standard);
        return;
    }

    const StrictRules rules = strictDisallowedRules();
    if (comparable(rules.exact).contains(p) || liesUnderAny(p, comparable(rules.subtree)))
        throw OrvalinkError::disallowedPath(standard);
    for (const QString& directory : comparable(rules.childOnly)) {
        if (p != directory && liesUnder(p, directory) && comparableForm(platform::parentPath(p)) == directory)
            throw OrvalinkError::disallowedPath(standard);
    }
}

QString PathMappingService::buildTargetPath(const QString& sourcePath, const QString& targetRoot,
                                            const QString& anchorUser, bool strictModeEnabled) const
{
    const QString source = standardized(sourcePath);
    validateMigrationSource(source, anchorUser, strictModeEnabled);
    if (!source.startsWith(QLatin1Char('/')))
        throw OrvalinkError::invalidAnchor(anchorUser, source);
    QString target = standardized(targetRoot);
    for (const QString& piece : source.mid(1).split(QLatin1Char('/'), Qt::SkipEmptyParts))
        target += QLatin1Char('/') + piece;
    return standardized(target);
}

QStringList PathMappingService::strictDisallowedPaths() const
{
    const QStringList trash = alwaysDisallowedExactPaths();
    const QStringList containers = alwaysDisallowedManagedContainerRoots();
    const StrictRules rules = strictDisallowedRules();
    QStringList all;
    all << trash << suffixed(trash, QStringLiteral("/**"));
    all << suffixed(containers, QStringLiteral("/*")) << suffixed(containers, QStringLiteral("/*/Data"));
    all << rules.exact << suffixed(rules.childOnly, QStringLiteral("/*"));
    all << suffixed(rules.subtree, QStringLiteral("/**"));
    return uniquePaths(all);
}

QStringList uniquePaths(const QStringList& paths)
{
    QSet<QString> seen;
    QStringList result;
    for (const QString& path : paths) {
        const QString key = comparableForm(path);
        if (!seen.contains(key)) {
            seen.insert(key);
            result.append(path);
        }
    }
    return result;
}

} // namespace orvalink
