#pragma once

#include "EngineFixture.h"
#include "diskops/OperationJournal.h"
#include "diskops/OperationRecovery.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orvalink::test {

// The record a migration or an undo of `source` on the fixture's volume writes when it begins, with
// the identities of what stands there now: a migration's item at the source, an undo's item at the
// target. Tests change the fields the state they set up needs.
JournalRecord journalRecordFor(const EngineFixture& fx, JournalKind kind, const QString& source);

// The record as a killed process leaves it: written, never finished, its lock gone with it.
void leaveRecord(const JournalRecord& record);

// The start-up's recovery on the fixture's log and volumes.
QList<RecoveredOperation> recoverOperations(EngineFixture& fx);

// A migrated folder: the link at `source`, the whole tree at the target, one mapping, no task.
// Answers the tree's snapshot.
QStringList migrateFolder(EngineFixture& fx, const QString& source);

// A copy of the tree at `from` made at `to` as `cp -a` makes it: what a copy left at a place.
void copyTree(const QString& from, const QString& to);

// Every name in the operations folder, records set aside and lock files included.
QStringList operationsFolderNames();

} // namespace orvalink::test
