#pragma once

#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "model/OrvalinkError.h"
#include "viewmodel/state/BilingualText.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace orvalink {

// A successful migration, remembered by the migration workflows for the current session only.
// Two records with the same id but another path or time are different.
struct MigrationPathRecord {
    QUuid id;
    QString sourcePath;
    QString targetPath;
    QDateTime migratedAt;

    bool operator==(const MigrationPathRecord&) const = default;
};

// A failed migration kept for a retry, for the current session only.
struct FailedMigrationRecord {
    QUuid id;
    QString sourcePath;
    QString targetPath;
    QDateTime failedAt;
    TaskStatus status = TaskStatus::failed;
    std::optional<QString> errorCode;
    // The engine's English description, as the history records it: for the log, never for the window,
    // which says a failure by its case and fields.
    QString errorMessage;
    // The programs that held the source, for an in-use failure (the error's own list, not its text).
    QStringList processes = {};
    // Why the copy fell short, for a migration refused rather than made with less than the folder.
    std::optional<CopyShortfall> shortfall = {};
    // Where the versions that newer ones replaced in the folder that came home were kept.
    QStringList olderVersions = {};

    // The error case the recorded code stands for; none without a code or for a code no case has.
    std::optional<OrvalinkError::Case> errorCase() const;

    bool operator==(const FailedMigrationRecord&) const = default;
};

// An undo that brought the data home but left entries on the volume, for the current session only:
// - entries that exist only there (written there or held by a program while it ran): its mapping
//   stays in the history, and an append restore of it brings the rest home;
// - with `copiesOnly`, copies of what is home that the volume would not give up (a read-only
//   volume, an immutable file): the undo is done, its mapping gone; the copies are the user's to
//   remove once the volume allows it.
struct LeftBehindRecord {
    QUuid id; // the mapping's
    LinkMapping mapping;
    QString sourcePath; // where the data stands now: the mapping's source
    QString targetPath; // the folder on the volume that holds what stayed
    // How many entries the user finds there (copies: files, and folders that hold nothing).
    qsizetype leftoverCount = 0;
    QDateTime undoneAt;
    bool copiesOnly = false;

    bool operator==(const LeftBehindRecord&) const = default;
};

// An operation an earlier run left unfinished that the start-up put right keeping versions aside,
// for the current session only: what changed after its copy took the place of the versions it
// replaced (kept beside it), or was kept itself; or a migration it completed instead of taking it
// back (`completedInstead`).
struct KeptVersionsRecord {
    QUuid id;
    QString sourcePath; // the folder at the user's path
    QString targetPath; // the first place something was kept
    QStringList olderVersions;
    QStringList keptPaths;
    QDateTime keptAt;
    // Of the staged original, what programs (`holders`) still held: it waits for a later start.
    QStringList heldPaths;
    QStringList holders;
    // The migration was being taken back when the application stopped and was completed instead:
    // the data is at `targetPath`.
    bool completedInstead = false;

    // Whether the start kept something aside itself (older versions, or newer ones that wait).
    bool keptVersions() const { return !olderVersions.isEmpty() || !keptPaths.isEmpty(); }
    bool operator==(const KeptVersionsRecord&) const = default;
};

// A link the last link repair acted on, for the current session only: pointed at its volume's new
// mount, or broken and left as it was (the log says why).
struct LinkRepairRecord {
    QUuid id; // the mapping's
    QString sourcePath;
    // Where the link leads now when repaired; the target the record names when not.
    QString targetPath;
    bool repaired = false;
    QDateTime repairedAt;

    bool operator==(const LinkRepairRecord&) const = default;
};

// What the last link repair did, as the activity dock shows it: the repair's own summary and the
// links it could not repair, then those it repaired, each in the order examined.
struct LinkRepairReport {
    BilingualText summary;
    QList<LinkRepairRecord> links;

    // Some link could not be repaired: the dock stays open for the user to see which.
    bool hasUnrepairedLinks() const;

    bool operator==(const LinkRepairReport&) const = default;
};

size_t qHash(const MigrationPathRecord& record, size_t seed = 0);
size_t qHash(const FailedMigrationRecord& record, size_t seed = 0);

// A pending alert that asks for a sign-in (the session was lost) or for administrator rights (a
// protected path).
struct AccessRequirementPrompt {
    enum class Kind { requiresSignIn, requiresAdministratorAuthorization };

    QUuid id;
    Kind kind = Kind::requiresSignIn;
    BilingualText title;
    BilingualText message;

    bool operator==(const AccessRequirementPrompt&) const = default;
};

// A question of a restore run about one mapping: how to force it into an occupied original path,
// or, when `holders` names programs that hold files inside the migrated item, whether to end them
// and undo. The run waits for the answer and goes on with the same item (DiskWorkflows::
// answerUndoConflict).
struct UndoConflictPrompt {
    QUuid id;
    LinkMapping mapping;
    BilingualText title;
    BilingualText message;
    QStringList holders = {};

    bool operator==(const UndoConflictPrompt&) const = default;
};

// The user's answer to an UndoConflictPrompt: leave the item as it is (the Cancel button, Esc or
// closing the prompt), restore it forced in one of the two modes, or end the programs and undo.
enum class UndoConflictAnswer { cancel, appendRestore, overwriteRestore, endPrograms };

// A pending choice of how to force the retry of one failed migration.
struct MigrationConflictPrompt {
    QUuid id;
    FailedMigrationRecord record;
    BilingualText title;
    BilingualText message;

    bool operator==(const MigrationConflictPrompt&) const = default;
};

} // namespace orvalink
