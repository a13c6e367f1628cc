#pragma once

#include "platform/EntryLocation.h"
#include "platform/EntryStatus.h"

#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace orvalink {

class OperationJournal;
struct JournalRecord;

// The entries an operation record names, as the start-up may look at and act on them: each path
// is reached through folders verified on the way (RecordedPlaces.h: no link, from the home folder
// or the volumes folder), and every call runs relative to them. An act holds to the entry that was
// looked at: a removal or a move that finds another entry at the path (exchanged, renamed, linked
// there meanwhile) leaves it whole and throws or reports it. A way that cannot be walked (a link
// has appeared on it) throws platform::PlatformError.
class RecordedEntries {
public:
    // Which starting folder a recorded path is reached from: the home folder for the source, the
    // staging and the restore paths; the volumes folder for the target side.
    enum class Side { source, target };
    // A recorded path as reached, with the identity of what stood there when it was looked at
    // (empty: nothing; then the location may have no folder either).
    struct Found {
        platform::EntryLocation location;
        QString identity;
        uid_t owner = 0; // of that entry, read in the same look
        mode_t type = 0; // its file type bits (S_IFDIR, S_IFLNK, ...), read in the same look
    };

    // Reads the record from `journal` at each call, so steps recorded meanwhile count; the journal
    // must stay where it is (not be moved from) while this lives.
    explicit RecordedEntries(const OperationJournal& journal);
    // For an operation about to begin, whose record is not written yet: `record` must outlive this.
    explicit RecordedEntries(const JournalRecord& record) : m_record(record) {}

    // Reaches `path`; a missing folder on the way means nothing stands there.
    Found find(Side side, const QString& path) const;
    // The identity of what stands at `path` now; empty when nothing does.
    QString identityAt(Side side, const QString& path) const;
    // True when the source-side `path` holds the entry `identity`; never for an empty identity.
    bool holdsAtSource(const QString& path, const QString& identity) const;
    // An empty folder or an empty file: what a copy leaves when it dies right after creating it.
    bool isEmptyAt(Side side, const QString& path) const;
    static bool isEmpty(const platform::EntryLocation& location);
    // What stands at `location`, not followed; none when nothing does or it cannot be looked at.
    static platform::EntryKind kindOf(const platform::EntryLocation& location);

    // Removes the tree `found` names, only while that entry stands there (platform::removeTree).
    // Throws platform::PlatformError for what stays.
    void removeTree(const Found& found) const;
    // What removeDuplicate() left.
    struct Remainder {
        QStringList stayed; // everything that stays
        QStringList held;   // of it, the files a program holds
    };
    // Of the tree `found` names, removes what the tree at `copyPath` holds unchanged, only while that
    // entry stands there (platform::removeDuplicateTree: every file's content is compared), but no
    // file a program holds (looked for right before: platform::entriesInUse).
    Remainder removeDuplicate(const Found& found, Side copySide, const QString& copyPath) const;
    // Puts the whole item at `sibling`, a reserved sibling of the source, at the source path, only
    // while it is one of `identities`: exchanged with the operation's link there (which then goes),
    // or renamed into a free path or an empty folder's place. For a caller that has found the
    // source free. Throws platform::PlatformError (EBUSY: another entry at `sibling`).
    void placeAtSource(const QString& sibling, const QStringList& identities) const;
    // Removes each of `folders` of the target side (deepest first) that is an empty real
    // directory; anything else stays. Never throws.
    void removeEmptyFolders(const QStringList& folders) const;
    // Removes what a volume probe killed in the target-side `folder` left there (see
    // platform::removeProbeLeftovers). Never throws.
    void removeProbeLeftovers(const QString& folder) const;

private:
    const JournalRecord& m_record; // the journal's own, which each step it records updates in place
};

} // namespace orvalink
