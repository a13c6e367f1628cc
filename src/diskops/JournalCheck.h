#pragma once

#include <QString>
#include <optional>

namespace orvalink {

struct JournalRecord;

// Whether the start-up may act on an operation record at all, judged from the record alone before
// anything on disk is touched: a record that a bug, a damaged disk or another program wrote must
// not make the recovery move or remove what belongs to nobody's operation. Answers why not (for
// the log), or none. Required:
// - every path absolute and in standard form;
// - the home the record was written for is the home in use now, and the source lies inside it;
// - a migration's staging path (and any restore path) is exactly a reserved name of the source
//   that makeReservedPath gives; an undo has no staging path;
// - the target is the target root with the source path appended, the root on a volume of the
//   volumes folder and not above the home, and source and target apart;
// - the folders the migration created lie above the target, on the volume;
// - the task and mapping files are the application's own history files of one scope;
// - the identities of the moved item and of the target root are there.
std::optional<QString> journalProblem(const JournalRecord& record);

// The place of the volumes folder that holds `targetRoot`: where volumes are mounted may differ
// between starts (/run/media/$USER is gone until the first volume is mounted), so any of its
// places will do, the deepest that holds the root counts. None when the root is on no volume.
std::optional<QString> volumesFolderHolding(const QString& targetRoot);

// Why `targetRoot` (in standard form) cannot be a migration's target root, or none: it is "/" or
// holds the home folder, or it lies on no volume of the volumes folder.
std::optional<QString> targetRootProblem(const QString& targetRoot);

// Why `targetPath` cannot be where a migration put `sourcePath`, or none: a migration moves a source
// below the home folder in use to its own path below a target root (see targetRootProblem), and the
// two lie apart; both are absolute and in standard form. The one rule of places that every record
// acted on is held to (an operation's record, a mapping undone or repaired, a row of a cloud
// snapshot). Reads nothing on disk.
std::optional<QString> mappingPlaceProblem(const QString& sourcePath, const QString& targetPath);

} // namespace orvalink
