#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <utility>

namespace orvalink {

class FallbackFileOperations;

// Which side keeps the plain name when an incoming item and an existing one clash.
enum class ClashWinner {
    incoming, // the existing item moves to an "append-preserved" sibling, the incoming one takes its name
    existing  // the incoming item goes to an "append-preserved" sibling of the existing one
};

// The result of one merge: items of the incoming side placed (a merged directory counts once,
// besides its contents) and clashes settled by a reserved path.
struct AppendMergeOutcome {
    qint64 mergedItemCount = 0;
    qint64 conflictCount = 0;
    // The "append-preserved" siblings that the items which lost a clash went to.
    QStringList preservedPaths;

    bool operator==(const AppendMergeOutcome&) const = default;
};

// The moves of one forced step, so that a step failing halfway can put everything back: a merge
// stopped in the middle would otherwise leave the user's data split between two places. Emptied
// directories are removed only once everything is in place.
class MergeJournal {
public:
    explicit MergeJournal(const FallbackFileOperations& files) : m_files(files) {}

    // Moves `from` to the free path `to` and remembers it.
    void move(const QString& from, const QString& to);
    // Remembers a directory whose contents have all been moved out.
    void deferRemoval(const QString& emptiedDirectory);
    // Removes the remembered directories in the order given (innermost first). Throws at the first
    // one that cannot be removed; a directory that is no longer empty is never removed.
    void removeDeferred();
    // Puts every move back, newest first, recreating removed directories where needed. Stops at the
    // first move that cannot be undone and answers false; never throws.
    bool undo() noexcept;

private:
    const FallbackFileOperations& m_files;
    QList<std::pair<QString, QString>> m_moves;
    QStringList m_deferred;
    QStringList m_removed;
};

// Moves the contents of the directory `from` into the directory `into`, recursively. Two real
// directories of the same name are merged; any other pair clashes, and a symbolic link is never a
// directory here, so a merge never walks into a link (it would move files out of an unrelated
// directory elsewhere). Every move goes through `journal`, and emptied incoming directories are left
// to its removeDeferred(). The "append-preserved" siblings are named for `operation` when it is given
// (see makeReservedPath). Throws at the first failure of a listing or a move.
AppendMergeOutcome mergeDirectoryContents(const QString& from, const QString& into, ClashWinner winner,
                                          MergeJournal& journal, const QUuid& operation = QUuid());

} // namespace orvalink
