#pragma once

#include <QString>
#include <QStringList>

namespace orvalink {

// The safety rules that decide which source paths may be migrated, the target path of a source under
// a target root, and the list of blocked patterns shown in the settings. Stateless apart from the
// protected list given at construction: the home directory is read afresh on every call. Every rule
// compares standardized paths (platform::standardizedPath). Safe to call from any thread.
class PathMappingService {
public:
    // The three lists of the strict mode.
    struct StrictRules {
        QStringList exact;     // refused themselves
        QStringList childOnly; // their direct children are refused
        QStringList subtree;   // everything below them is refused
    };

    explicit PathMappingService(QStringList strictSystemProtectedPaths = systemProtectedPaths());

    // The protected system locations the application always passes: the fifteen classic roots
    // ("/", "/System", ..., "/Volumes") first and in that order, then the Linux system roots.
    static QStringList systemProtectedPaths();

    const QStringList& strictSystemProtectedPaths() const { return m_protectedPaths; }

    // Returns when `path` may be migrated; otherwise throws OrvalinkError: invalidAnchor (E013) or
    // disallowedPath (E012), both carrying the standardized path. The Trash, application container
    // roots and "/" are refused always; with `strictModeEnabled` the protected locations, the home
    // directory, its Library folder and that folder's direct children as well. `anchorUser` only
    // fills the invalidAnchor error.
    void validateMigrationSource(const QString& path, const QString& anchorUser,
                                 bool strictModeEnabled) const;

    // Validates the source as above, then repeats its whole absolute path under the standardized
    // target root: /home/u/Movies under /media/u/Disk/Store gives /media/u/Disk/Store/home/u/Movies.
    // The target root is neither validated nor looked at on disk.
    QString buildTargetPath(const QString& sourcePath, const QString& targetRoot, const QString& anchorUser,
                            bool strictModeEnabled) const;

    // Display text of every blocked pattern ("*" one component, "/**" anything below), base and strict
    // rules together whatever the mode, without repeats.
    QStringList strictDisallowedPaths() const;

    // The parts of the rules, computed afresh from the home directory H on every call.
    StrictRules strictDisallowedRules() const;
    // The Trash folders: H/.Trash and H/.local/share/Trash.
    QStringList alwaysDisallowedExactPaths() const;
    // H/Library/Containers and H/Library/Group Containers.
    QStringList alwaysDisallowedManagedContainerRoots() const;
    // True for a direct child of a container root and for that child's "Data" folder.
    bool isManagedContainerRootSelection(const QString& standardizedPath) const;

private:
    QStringList m_protectedPaths;
};

// The list without repeats, first occurrences kept in order.
QStringList uniquePaths(const QStringList& paths);

} // namespace orvalink
