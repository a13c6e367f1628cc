#pragma once

#include <QString>
#include <QStringList>

namespace orvalink {

class OperationJournal;
struct JournalRecord;

// Which older versions an answer about a migration names: those it kept itself, each once. A start
// finds the versions beside the migration's places by their names, which also finds those an earlier
// operation kept there, and those an earlier answer of the same migration named already; the
// record's knownVersions keeps both apart.

// Written together with the record's newerLeftovers, before anything is put in place beside `root`
// (the source or the target of the migration): what stands beside those places already is no
// version this migration kept.
void noteStandingVersions(JournalRecord& entry, const QString& root);

// Of `versions`, those the record does not know yet, in their order.
QStringList notNamedYet(const JournalRecord& record, const QStringList& versions);

// `versions` were named to the user: a later answer from the same record leaves them out. However
// many they are, the record stays within what a start reads (the rest may be named again).
void noteNamed(OperationJournal& journal, const QStringList& versions);

} // namespace orvalink
