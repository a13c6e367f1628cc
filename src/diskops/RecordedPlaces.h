#pragma once

#include "platform/VerifiedDirectory.h"

#include <QString>
#include <optional>

namespace orvalink {

struct JournalRecord;

// Where the start-up may act for an operation record, looked at on disk. A record is text: its
// paths say nothing about what they lead to once links and mounts are taken into account, and
// identities copied from real objects pass any comparison of identities alone. So every path is
// reached from a starting folder the record does not choose, one component at a time without
// following links (platform::VerifiedDirectory): the source side (source, staging and restore
// paths) from the home folder, the target side (target path, target root, created folders) from
// the volumes folder that holds the target root. Recovery acts only through the folders reached so.

// Why recovery must not act on the record, or none; reads only, for a record that passed
// journalProblem(). Refused:
// - a symbolic link on the way to any of its paths, but for links of the user's own on the way to
//   the source's folder when the record keeps that folder's identity (sourceFolderIdentity);
// - a forced restore's occupant (at the source or where it was set aside) that is a symbolic link,
//   or that is to be merged and is no folder;
// - a target side that meets the source side: a folder on the way from the volume down to the
//   target, or the target itself, that is the source or a folder above it (a link or bind mount
//   of "/" or of the home on the volume), or a target that lies inside the source;
// - below the folder whose identity the record keeps for the target root (targetAnchorPath), a
//   folder or the target on another file system or mount than that folder.
// Folders that do not exist (a volume that is away, a target not made yet) end the look there;
// they are found again, verified, by whatever acts on them later. A file system mounted on the
// target path itself, or over the way below that folder with nothing at the target path beyond it,
// hides what the operation made there: platform::PlatformError (EBUSY) then, as for any place that
// cannot be looked at now.
std::optional<QString> placesProblem(const JournalRecord& record);

// Whether nothing stands at the record's target path because a file system is mounted over its way,
// on the volume that holds the target root: what the operation made there may lie whole below it.
// Reads the mount table only.
bool targetHiddenByMount(const JournalRecord& record);

// Why no operation may act on the record, or none: journalProblem(), then placesProblem(). The
// check a start-up applies to a record it finds, and an operation to its own before it begins, so
// that whatever it leaves behind can be taken up again. Throws like placesProblem().
std::optional<QString> recordProblem(const JournalRecord& record);

// The folder holding `path` of the source side, reached from the home folder. Where the record keeps
// the folder's identity, the user's own links on the way are followed, and the folder must be that
// very one: when it cannot be reached now (a disk behind a link is away) or another stands there,
// platform::PlatformError with ESTALE, never ENOENT, since nothing can be concluded about what it
// holds. Throws platform::PlatformError (ELOOP for a link on the way, ENOENT, ...).
platform::VerifiedDirectory sourceSideFolder(const JournalRecord& record, const QString& path);

// The identity to keep as sourceFolderIdentity for an operation on `sourcePath` beginning now: the
// folder holding it, reached from `homeDirectory` through the user's own links. Empty when it
// cannot be reached so (then the way must hold no link at all). Never throws.
QString sourceFolderIdentityOf(const QString& homeDirectory, const QString& sourcePath);

// The folder holding `path` of the target side, reached from the volumes folder. Throws
// platform::PlatformError.
platform::VerifiedDirectory targetSideFolder(const JournalRecord& record, const QString& path);

} // namespace orvalink
