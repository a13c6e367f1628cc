#pragma once

#include <QByteArray>
#include <QString>
#include <sys/stat.h>
#include <vector>

namespace orvalink::platform {

// One entry met by walkTree(). Valid only during the callback that receives it.
struct WalkEntry {
    int parentFd;                     // the directory holding the entry
    const QByteArray& name;           // the entry's name in that directory
    const struct stat& info;          // lstat of the entry (zeroed in walkFailed when it could not be read)
    int depth;                        // 0 for the root of the walk
    const QString& rootPath;          // the root's path, for messages
    const QByteArray& parentRelative; // "" for entries of the root, "a/b/" for entries of a/b

    // The path below the root ("" for the root itself, "a/b" for b in a).
    QByteArray relativePath() const { return depth == 0 ? QByteArray() : parentRelative + name; }
    // The full path, for messages.
    QString path() const;
};

class TreeVisitor {
public:
    virtual ~TreeVisitor() = default;
    // A directory whose listing has been read; `fd` is open on it. Answer false to leave its contents
    // alone (leaveDirectory then does not follow).
    virtual bool enterDirectory(const WalkEntry& entry, int fd) = 0;
    // Anything that is not a directory: file, link, FIFO, socket, device.
    virtual void visitEntry(const WalkEntry& entry) = 0;
    // After the directory's contents. entry.parentFd is open on its parent again; `fd` is still open
    // on the directory itself.
    virtual void leaveDirectory(const WalkEntry& entry, int fd) = 0;
    // The walk itself could not go on at `entry` (stat, open or listing failed; EXDEV for a
    // directory on another mount; EBUSY for one replaced while being walked or for a root that is a
    // mount point). The walk skips the entry and goes on, except when it could not climb back to a
    // parent: then it stops.
    virtual void walkFailed(const WalkEntry& entry, int errorNumber) = 0;
};

// Walks the entry `name` of the directory `parentFd` (the root, named `rootPath` in messages) and
// everything below it, depth first, contents before their directory's leaveDirectory. It never
// follows a symbolic link and never enters another mounted file system. It keeps one directory
// open at a time (climbing back through ".." and checking it is the same directory), so neither
// the depth of the tree nor the length of its paths is limited by the stack, PATH_MAX or the
// descriptor limit. Each directory's listing is read before any of its entries is visited.
// Exceptions thrown by the visitor pass through.
void walkTree(int parentFd, const QByteArray& name, const QString& rootPath, TreeVisitor& visitor);

// The names in the folder open at `folder` (without "." and ".."), read through a descriptor of its
// own, so from the start whatever was read through `folder` before; empty when it cannot be read.
std::vector<QByteArray> folderNames(int folder);

} // namespace orvalink::platform
