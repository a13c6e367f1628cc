#pragma once

#include "platform/TreeRemoval.h"

#include <QSet>
#include <QString>

namespace orvalink::platform {

// Removes from the tree at `original` what the tree at `copy` holds unchanged, for the moment after
// a copy whose progress was cut short: the copy is known to have been whole once, but what was
// written to either side since is known nowhere. An entry of `original` goes only when the entry at
// the same place in `copy` is of the same kind and, for a file, of the same size and modification
// time (a copy keeps them to the nanosecond) and of the same content, for a link, of the same text;
// a directory goes once it is empty. The content of every such file is read: after a crash neither
// the clock nor the times a program left prove that nothing was written since the copy. Everything
// else stays and is reported as left over (EBUSY), with the first failure. Never follows a link (in
// either tree) and never enters another mounted file system. Nothing at `original` is no error;
// nothing at `copy` keeps everything. Of the entries `inUse` (that programs hold), the files stay
// whatever they hold, with the folders above them, and count as kept (see RemovalOutcome::keptPaths):
// what a program writes into a file that went lands in no file. A folder a program merely has open
// or works in may go: what it makes there afterwards fails, and is not lost unnoticed.
RemovalOutcome removeDuplicateTree(const QString& original, const QString& copy,
                                   const QSet<EntryIdentity>& inUse = {});

struct EntryLocation;

// The same for entries already located (see VerifiedDirectory::locate), and only while `original`
// is the entry `expected`: another one found at its place stays whole (left over, EBUSY).
RemovalOutcome removeDuplicateTree(const EntryLocation& original, const EntryLocation& copy,
                                   const EntryIdentity& expected, const QSet<EntryIdentity>& inUse = {});

} // namespace orvalink::platform
