#pragma once

#include "platform/EntryIdentity.h"
#include "platform/PlatformError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace orvalink::platform {

// Removes `path` and everything below it without ever following a symbolic link (a link is
// removed as a link) and without entering another mounted file system; a path that is itself a
// mount point is refused with EBUSY. Meant only for data that is whole somewhere else or worthless:
// a partial copy, or a source after its complete copy. Removes what it can and then throws
// PlatformError with the first failure and its path when anything is left. Nothing at `path` is
// no error.
void removeTree(const QString& path);

struct EntryLocation;

// The same for an entry already located (see VerifiedDirectory::locate), and only while it is the
// entry `expected`: when another entry takes its place, before or during the removal, nothing of
// that one is removed and EBUSY is thrown.
void removeTree(const EntryLocation& location, const EntryIdentity& expected);

// What a removal may take.
struct RemovalRules {
    // Entries for which this answers false stay, with everything below them. Empty: all may go.
    std::function<bool(const struct stat&)> mayRemove;
    // The same, for a rule that needs to know where in the tree the entry lies: `relativePath` is ""
    // for the root, "a/b" for b in a. Both rules must allow an entry.
    std::function<bool(const struct stat& info, const QByteArray& relativePath)> mayRemoveAt;
    // Whether an entry kept by mayRemove counts as left over (reported with EBUSY).
    bool keptIsLeftover = true;
    // Gives each directory it enters mode 0700 first, so entries of a read-only directory can go.
    // Only for trees the caller created itself.
    bool makeDirectoriesWritable = false;
    // The entry the root must be. Another one found at its place stays whole (reported with
    // EBUSY): a path exchanged while the removal begins cannot hand it somebody else's folder.
    std::optional<EntryIdentity> root;
};

// What a removal could not take.
struct RemovalOutcome {
    // Where removal stopped, each named once: a directory whose entries could not be removed (no
    // permission, immutable, read-only), or an entry that could not be removed or entered. Their
    // ancestors remain too.
    QStringList leftoverPaths;
    // Those of them that the rules kept (with keptIsLeftover): they stay by choice, not by failure;
    // and directories that could not go because something was made in them after they were listed.
    QStringList keptPaths;
    // The first failure, with its path.
    std::optional<PlatformError> firstError;
};

// The removal behind removeTree(), for the entry `name` of the directory `parentFd`, named `path`
// in messages. Never throws for what it meets in the tree. Each directory is opened relative to the
// one holding it and checked to be the entry just listed (TreeWalker.h), and is removed only while
// its name in that directory still leads to it, so a path exchanged during the work cannot
// redirect it.
RemovalOutcome removeTreeAt(int parentFd, const QByteArray& name, const QString& path,
                            const RemovalRules& rules);

} // namespace orvalink::platform
