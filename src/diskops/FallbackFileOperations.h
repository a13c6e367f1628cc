#pragma once

#include "platform/FileMove.h"

#include <QString>
#include <functional>

namespace orvalink::platform {
struct EntryIdentity;
struct EntryLocation;
} // namespace orvalink::platform

namespace orvalink {

class LogService;
class PrivilegedFileOperationService;

// The file operations of migration, rollback and undo. Each is tried with the user's rights first;
// only a permission error (EACCES or EPERM) leads to one second attempt through the administrator
// commands. Those commands replace what they meet (mv -f, ln -sfn, rm -rf), so right before that
// attempt the path is checked again, and the command runs only while the situation it is meant
// for still holds. Nothing here ever replaces an existing item or removes anything but a
// placeholder.
class FallbackFileOperations {
public:
    // Moments of a move that a caller keeping a record of its progress needs to know.
    struct MoveSteps {
        // A copy across file systems has just created the destination itself, empty (see
        // platform::MoveHooks). Throwing from it undoes the copy.
        std::function<void()> created;
        // A copy across file systems is complete and flushed; the source is still whole. Throwing
        // from it undoes the copy (see platform::moveItem).
        std::function<void()> copied;
        // Right before a copy across file systems removes its source: the entries in use then,
        // which stay (see platform::MoveHooks).
        std::function<QSet<platform::EntryIdentity>()> inUse;
        // Before the comparisons: the files mapped shared then, which stay as held ones do (see
        // platform::MoveHooks).
        std::function<QSet<platform::EntryIdentity>()> mappedShared;
        // The last moment to refuse the removal of the source after a copy across file systems, by
        // throwing: the copy is undone and the source stays whole (see platform::MoveHooks).
        std::function<void()> beforeRemoval;
        // A copy across file systems compares every file of the source with its copy before it
        // goes, whatever its times (see platform::MoveHooks).
        bool timesProveNothing = false;
        // What changed at the source after a copy across file systems took it is copied again before
        // the source goes (see platform::MoveHooks::copyChangesAgain); the caller answers for what
        // still changed during the removal.
        bool copyChangesAgain = false;
        // The copy across file systems stays at the destination until the source is gone (see
        // platform::MoveHooks::copyStaysAtDestination).
        bool copyStaysAtDestination = false;
        // Right before the administrator attempt, whose progress nobody can watch.
        std::function<void()> beforeAdministrator;
        // The paths that the warnings of the move name, when the real ones (a hidden staging or
        // restore path) would mean nothing to the user.
        QString shownSource;
        QString shownDestination;
        // The caller reports what the source kept after a complete copy in its own words: no
        // warning of the move's own then.
        bool callerReportsLeftovers = false;
    };

    // `log` receives the warning of a move that could not clear its source after a complete copy.
    FallbackFileOperations(const PrivilegedFileOperationService& privileged, LogService& log);
    // The same operations with the user's rights only: a permission error is thrown as it came,
    // and nobody is ever asked for a password (for work nobody started by hand, such as the
    // recovery at start-up).
    static FallbackFileOperations withoutAdministrator(LogService& log);

    // Whether a permission error leads to the administrator attempt.
    bool asksAdministrator() const { return m_privileged != nullptr; }

    // Moves the item at `source` to the free path `destination` (see platform::moveItem). The
    // administrator attempt is refused with EEXIST when `destination` has been taken meanwhile.
    // What the source kept after a complete copy, and extended attributes the destination refused,
    // are written to the log as warnings, and answered for the caller to report (the administrator's
    // command tells nothing of them: its result is empty).
    platform::MoveResult move(const QString& source, const QString& destination,
                              const MoveSteps& steps) const;
    // The same with no moments to learn of.
    platform::MoveResult move(const QString& source, const QString& destination) const;
    // The same for an entry already located, which must still be the entry `identity` (see
    // platform::moveItem with located entries: every call of the user's attempt runs relative to the
    // two folders). The administrator's command takes paths only: it runs once the destination is
    // still free and `steps.beforeAdministrator`, which is required here and throws unless the paths
    // still lead to the located entries, has passed.
    platform::MoveResult move(const platform::EntryLocation& source,
                              const platform::EntryLocation& destination,
                              const platform::EntryIdentity& identity, const MoveSteps& steps) const;

    // Removes the placeholder at `path`: a symbolic link or an empty directory (never recursive).
    // The administrator attempt runs only while `path` still holds a placeholder.
    void removePlaceholder(const QString& path) const;

    // Creates `path` and its missing parents (mode 0755, as a directory made by hand would get).
    void createDirectories(const QString& path) const;

    // Creates at `linkPath` a symbolic link whose text is `destination`. The administrator attempt
    // is refused with EEXIST when `linkPath` has been taken meanwhile.
    void createSymbolicLink(const QString& linkPath, const QString& destination) const;

private:
    FallbackFileOperations(const PrivilegedFileOperationService* privileged, LogService& log);
    void attempt(const std::function<void()>& userAttempt,
                 const std::function<void()>& privilegedAttempt) const;
    // Writes what a completed move did not carry over (extended attributes, leftovers at the source).
    void reportMove(const platform::MoveResult& result, const QString& source, const QString& destination,
                    const MoveSteps& steps) const;

    const PrivilegedFileOperationService* m_privileged;
    LogService& m_log;
};

} // namespace orvalink
