// Migration and undo on a disk whose history or operation records cannot be written (full or
// read-only): the data stays whole in one place that the answer names, the history keeps every
// record it had, and what could not be recorded is completed at the next start.
#include "JournalScenes.h"
#include "diskops/ActiveProcessService.h"
#include "diskops/UndoIncomplete.h"
#include "diskops/UndoService.h"
#include "model/AppPaths.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "store/JSONLStore.h"
#include "support/FailingFolder.h"
#include "support/HoldingProcess.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <algorithm>
#include <cerrno>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::test::WriteFault)

namespace {

QStringList sourcesOf(const QList<LinkMapping>& mappings)
{
    QStringList sources;
    for (const LinkMapping& mapping : mappings)
        sources.append(mapping.sourcePath);
    sources.sort();
    return sources;
}

void addFaultRows()
{
    QTest::addColumn<WriteFault>("fault");
    for (const WriteFault fault : {WriteFault::diskFull, WriteFault::readOnly})
        QTest::newRow(writeFaultName(fault)) << fault;
}

// Changes one field of the record file at `path`, as a record written without it would read.
void rewriteRecord(const QString& path, const char* key, const QJsonValue& value)
{
    QJsonObject record = QJsonDocument::fromJson(OperationJournal::readRecordFile(path)).object();
    record.insert(QLatin1String(key), value);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.write(QJsonDocument(record).toJson()) > 0);
}

int errnoOf(WriteFault fault)
{
    return fault == WriteFault::diskFull ? ENOSPC : EROFS;
}

} // namespace

class HistoryFaultsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Two folders migrated, the newer undone while the history cannot be written: the data comes
    // home and the answer says so and why it is not recorded; the history keeps both records, the
    // other folder stays undoable, and the next start removes the undone record.
    void undoWhileTheHistoryFails_data() { addFaultRows(); }

    void undoWhileTheHistoryFails()
    {
        QFETCH(WriteFault, fault);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        FailingFolder history(AppPaths::historyDirectory());
        SKIP_WITHOUT(history);
        const QString kept = fx.tree.path(QStringLiteral("Kept"));
        const QString undone = fx.tree.path(QStringLiteral("Undone"));
        const QStringList keptBefore = migrateFolder(fx, kept);
        const QStringList undoneBefore = migrateFolder(fx, undone);
        const QList<LinkMapping> mappings = fx.mappings();
        QCOMPARE(mappings.size(), 2);
        const LinkMapping undoneMapping = mappings.constLast();
        QCOMPARE(undoneMapping.sourcePath, undone);

        QVERIFY(history.fail(fault));
        try {
            fx.undoService().undoMigration(undoneMapping.id, QStringLiteral("user"));
            QFAIL("the undo was reported as done while its record could not be written");
        } catch (const UndoIncomplete& incomplete) {
            QCOMPARE(incomplete.sourcePath(), undone);
            QVERIFY2(incomplete.reason().contains(platform::errnoText(errnoOf(fault))), incomplete.what());
        }
        // The data is home, whole; the other folder and both records are as they were.
        QVERIFY(platform::isRealDirectory(undone));
        QCOMPARE(snapshotTree(undone), undoneBefore);
        QCOMPARE(platform::readSymbolicLink(kept), std::optional(fx.targetOf(kept)));
        QCOMPARE(sourcesOf(fx.mappings()), (QStringList{kept, undone}));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);

        // The next start, with a disk that takes writes again, completes the record.
        history.heal();
        const QList<RecoveredOperation> recovered = recoverOperations(fx);
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(sourcesOf(fx.mappings()), QStringList{kept});
        QVERIFY(OperationJournal::recordPaths().isEmpty());
        QCOMPARE(snapshotTree(undone), undoneBefore);

        // And the other folder is undone as usual.
        fx.undoNewest(QStringLiteral("user"));
        QVERIFY(platform::isRealDirectory(kept));
        QCOMPARE(snapshotTree(kept), keptBefore);
        QVERIFY(fx.mappings().isEmpty());
    }

    // An undo that could not write the history, then the same folder migrated again before any
    // start: the waiting record settles as soon as the history can be written (at that migration;
    // at the next start where the record could not even be marked as waiting), whatever became of
    // the folder, and the history keeps one record of the folder, the new migration's.
    void unrecordedUndoSettlesWhenTheFolderMovesOn_data()
    {
        QTest::addColumn<bool>("markedWaiting");
        QTest::newRow("marked as waiting for the history") << true;
        QTest::newRow("the mark could not be written") << false;
    }

    void unrecordedUndoSettlesWhenTheFolderMovesOn()
    {
        QFETCH(bool, markedWaiting);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        FailingFolder history(AppPaths::historyDirectory());
        SKIP_WITHOUT(history);
        // Another record keeps the rewritten history from being empty, which a full disk would take.
        const QString kept = fx.tree.path(QStringLiteral("Kept"));
        migrateFolder(fx, kept);
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        const QStringList before = migrateFolder(fx, source);
        const QUuid firstMapping = fx.mappings().constLast().id;

        QVERIFY(history.fail(WriteFault::diskFull));
        QVERIFY_THROWS_EXCEPTION(UndoIncomplete,
                                 fx.undoService().undoMigration(firstMapping, QStringLiteral("user")));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
        if (!markedWaiting)
            rewriteRecord(OperationJournal::recordPaths().constFirst(), "historyPending", false);
        history.heal();

        const MigrationExecutionResult again = fx.migrate(source);
        QCOMPARE(again.task.status, TaskStatus::completed);
        QCOMPARE(OperationJournal::recordPaths().size(), markedWaiting ? 0 : 1);
        const QList<RecoveredOperation> recovered = recoverOperations(fx);
        QCOMPARE(recovered.size(), markedWaiting ? 0 : 1);
        if (!markedWaiting)
            QCOMPARE(recovered.constFirst().outcome, RecoveredOperation::Outcome::undoCompleted);
        QVERIFY(recoverOperations(fx).isEmpty());
        QVERIFY(operationsFolderNames().isEmpty());

        const QList<LinkMapping> mappings = fx.mappings();
        QCOMPARE(sourcesOf(mappings), (QStringList{source, kept}));
        QVERIFY(std::none_of(mappings.cbegin(), mappings.cend(),
                             [&](const LinkMapping& each) { return each.id == firstMapping; }));
        const QList<MigrationTask> tasks = fx.tasks();
        QCOMPARE(
            std::count_if(tasks.cbegin(), tasks.cend(),
                          [](const MigrationTask& task) { return task.status == TaskStatus::rolledBack; }),
            1);
        // The folder is where the second migration put it, whole, behind its link.
        QCOMPARE(platform::readSymbolicLink(source), std::optional(fx.targetOf(source)));
        QCOMPARE(snapshotTree(fx.targetOf(source)), before);
    }

    // An undo whose crash record cannot be written does not start: the link, the data on the volume
    // and the history stay as they were, nothing half-copied is left beside the source, and a
    // program the user asked to end for it still runs.
    void undoWithoutItsRecordDoesNotStart_data()
    {
        QTest::addColumn<WriteFault>("fault");
        QTest::addColumn<bool>("endingHolders");
        for (const WriteFault fault : {WriteFault::diskFull, WriteFault::readOnly}) {
            QTest::addRow("%s", writeFaultName(fault)) << fault << false;
            QTest::addRow("%s, a program to end", writeFaultName(fault)) << fault << true;
        }
    }

    void undoWithoutItsRecordDoesNotStart()
    {
        QFETCH(WriteFault, fault);
        QFETCH(bool, endingHolders);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        FailingFolder operations(OperationJournal::directory());
        SKIP_WITHOUT(operations);
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        const QStringList before = migrateFolder(fx, source);
        const QList<LinkMapping> mappings = fx.mappings();
        std::optional<HoldingProcess> holder;
        if (endingHolders) {
            HoldingProcess::Options options;
            options.workingDirectory = fx.targetOf(source) + QStringLiteral("/sub");
            holder.emplace(options);
        }

        QVERIFY(operations.fail(fault));
        try {
            if (endingHolders)
                fx.undoService().undoMigration(mappings.constFirst().id, QStringLiteral("user"),
                                               UndoAnswers{std::nullopt, true});
            else
                fx.undoNewest(QStringLiteral("user"));
            QFAIL("the undo ran without its record");
        } catch (const platform::PlatformError& error) {
            QCOMPARE(error.errorNumber(), errnoOf(fault));
        }
        operations.heal();
        if (holder) {
            const QList<ActiveProcess> holding = fx.processes.activeProcesses(fx.targetOf(source));
            QVERIFY2(std::any_of(holding.cbegin(), holding.cend(),
                                 [&](const ActiveProcess& each) { return each.pid == holder->pid(); }),
                     "the program was ended before the refusal");
        }
        QCOMPARE(platform::readSymbolicLink(source), std::optional(fx.targetOf(source)));
        QCOMPARE(snapshotTree(fx.targetOf(source)), before);
        QCOMPARE(fx.mappings(), mappings);
        QCOMPARE(
            QDir(fx.tree.path(QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("Docs")});
        QVERIFY(operationsFolderNames().isEmpty());
    }

    // A migration whose record cannot be written to the history is taken back: the data is at the
    // source again, and the answer names the history, not a failed move.
    void migrationWhoseHistoryFailsIsTakenBack_data() { addFaultRows(); }

    void migrationWhoseHistoryFailsIsTakenBack()
    {
        QFETCH(WriteFault, fault);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        FailingFolder history(AppPaths::historyDirectory());
        SKIP_WITHOUT(history);
        AppPaths::ensureBaseDirectories();
        fx.tree.file(QStringLiteral("Docs/a.txt"), "alpha");
        fx.tree.file(QStringLiteral("Docs/sub/b.txt"), "beta");
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        const QStringList before = snapshotTree(source);

        QVERIFY(history.fail(fault));
        const MigrationExecutionResult result = fx.migrate(source);
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QCOMPARE(result.task.errorCode,
                 std::optional(OrvalinkError::codeOf(OrvalinkError::Case::historyNotWritten)));
        const QString message = result.task.errorMessage.value_or(QString());
        QVERIFY2(message.startsWith(QStringLiteral("Could not write the history file ")),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Original data was restored")), qPrintable(message));
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(snapshotTree(source), before);
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
        // Its task could not be written either: the log says so.
        const QList<LogEntry> logged = fx.logEntries();
        QVERIFY(std::any_of(logged.begin(), logged.end(), [&](const LogEntry& entry) {
            return entry.level == LogLevel::warning &&
                   entry.message.startsWith("The migration could not be added to the task history (") &&
                   entry.message.contains(platform::errnoText(errnoOf(fault))) &&
                   entry.message.endsWith(source + " -> " + fx.targetOf(source));
        }));
        history.heal();
        QVERIFY(fx.mappings().isEmpty());
        QVERIFY(operationsFolderNames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(HistoryFaultsTest)
#include "tst_historyfaults.moc"
