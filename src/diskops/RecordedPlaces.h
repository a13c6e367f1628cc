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
// - a symbolic link on the way to any of its paths;
// - a target side that meets the source side: a folder on the way from the volume down to the
//   target, or the target itself, that is the source or a folder above it (a link or bind mount
//   of "/" or of the home on the volume), or a target that lies inside the source;
// - below the folder whose identity the record keeps for the target root (targetAnchorPath), a
//   folder or the target on another file system or mount than that folder.
// Folders that do not exist (a volume that is away, a target not made yet) end the look there;
// they are found again, verified, by whatever acts on them later.
std::optional<QString> placesProblem(const JournalRecord& record);

// The folder holding `path` of the source side, reached from the home folder. Throws
// platform::PlatformError (ELOOP for a link on the way, ENOENT, ...).
platform::VerifiedDirectory sourceSideFolder(const JournalRecord& record, const QString& path);

// The folder holding `path` of the target side, reached from the volumes folder. Throws
// platform::PlatformError.
platform::VerifiedDirectory targetSideFolder(const JournalRecord& record, const QString& path);

} // namespace orvalink
