// Failures after the source has left its place: the rollback, what it keeps aside, its messages,
// and a rollback that fails and names where the data was left.
#include "EngineFixture.h"
#include "diskops/CreatedFolders.h"
#include "diskops/FallbackFileOperations.h"
#include "diskops/OperationJournal.h"
#include "diskops/Rollback.h"
#include "model/OrvalinkError.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "support/ImmutableFlag.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <algorithm>

using namespace orvalink;
using test::EngineFixture;

namespace {

const QString kRestored = QStringLiteral(" Original data was restored to its previous location.");

bool hasLogLine(const EngineFixture& fx, LogLevel level, const QString& message)
{
    for (const LogEntry& entry : fx.logEntries()) {
        if (entry.level == level && entry.message == message)
            return true;
    }
    return false;
}

} // namespace

class MigrationRollbackTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rollbackRefusesWhatItCannotDo()
    {
        EngineFixture fx;
        const FallbackFileOperations files(fx.privileged, fx.log);
        const MigrationRollback rollback(files, fx.log);
        const QString source = fx.tree.file("Kept/file.txt", "x").section('/', 0, -2);
        const auto failure = [&](const QString& target) -> QString {
            try {
                rollback.rollback(source, target, fx.tree.path(".Kept.orvalink-staging-none"));
            } catch (const OrvalinkError& error) {
                return error.code() + QLatin1Char(' ') + error.errorDescription();
            }
            return QStringLiteral("no error");
        };
        QCOMPARE(failure(QString()), "E011 Rollback failed for " + source + ": Invalid rollback paths");
        // The directory at the source is not a placeholder: it is kept aside before the error.
        QCOMPARE(failure(fx.tree.path("nowhere")),
                 "E011 Rollback failed for " + source + ": Target path missing during rollback");
        QCOMPARE(fx.reservedSiblings(source, "rollback-conflict").size(), 1);
    }

    // The folders a failed migration made on the volume go when empty; one that cannot even be looked
    // at (the volume went away meanwhile) stays, and the failure is answered all the same.
    void foldersOfAFailedMigrationGoQuietly()
    {
        test::TestHome home;
        test::TestTree tree(home.path("volume"));
        const QString empty = tree.dir("Store/home/empty");
        const QString full = tree.file("Store/home/full/kept.txt", "kept").section('/', 0, -2);
        tree.symlink("loop", "loop");

        removeEmptyFolders({tree.path("loop/below"), empty, full});

        QVERIFY(!platform::entryExists(empty));
        QVERIFY(platform::entryExists(full + "/kept.txt"));
    }

    void failedLinkIsRolledBack()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Photos/a.jpg", "jpeg");
        const QString source = fx.tree.path("Photos");
        const QStringList before = test::snapshotTree(source);
        std::optional<test::ImmutableFlag> frozen;
        // The user may not create the link, and the administrator prompt is dismissed.
        fx.runner->before = [&](const QString& command) -> std::optional<platform::CommandOutcome> {
            frozen.reset();
            return command.startsWith("/bin/ln") ? std::optional(test::refusedOutcome()) : std::nullopt;
        };
        const auto arrived = [&](const QString&, const QString&, const QString&) {
            frozen.emplace(fx.tree.root());
        };

        const auto result = fx.engine({}, arrived).migrate(source, fx.config(), std::nullopt, false);
        if (frozen && !frozen->isSet())
            QSKIP(qPrintable(frozen->skipReason()));

        QCOMPARE(result.task.errorCode, QStringLiteral("E010"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QVERIFY(result.task.errorMessage->startsWith("Failed to create symlink " + source + " -> "));
        QVERIFY(result.task.errorMessage->endsWith(kRestored));
        QCOMPARE(test::snapshotTree(source), before);
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(fx.tasks().constLast().status, TaskStatus::rolledBack);
        QCOMPARE(asSentence(fx.logEntries().constLast().message),
                 "[E010] " + result.task.errorMessage->chopped(kRestored.size()));
    }

    // The link already exists when the mapping cannot be written: it goes, and the data comes back.
    // A copy the volume will not give up (an immutable file) stays there, and the answer and the log
    // say so and where.
    void unwritableMappingsUndoTheMigration_data()
    {
        QTest::addColumn<bool>("copyStays");
        QTest::newRow("the volume gives the copy up") << false;
        QTest::newRow("an immutable copy on the volume") << true;
    }
    void unwritableMappingsUndoTheMigration()
    {
        QFETCH(bool, copyStays);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Photos/a.jpg", "jpeg");
        const QString source = fx.tree.path("Photos");
        const QString copy = fx.targetOf(source) + "/a.jpg";
        QVERIFY(QDir().mkpath(fx.mappingStore.filePath()));
        std::optional<test::ImmutableFlag> frozen;
        const auto arrived = [&](const QString&, const QString&, const QString&) {
            if (copyStays)
                frozen.emplace(copy);
        };

        const auto result = fx.engine({}, arrived).migrate(source, fx.config(), std::nullopt, false);
        if (frozen && !frozen->isSet())
            QSKIP(qPrintable(frozen->skipReason()));

        // Named for what failed: the history, not the move.
        QCOMPARE(result.task.errorCode, QStringLiteral("E020"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QVERIFY(result.task.errorMessage->startsWith("Could not write the history file " +
                                                     fx.mappingStore.filePath()));
        QVERIFY(QFileInfo(source).isDir() && !QFileInfo(source).isSymLink());
        QCOMPARE(fx.tree.read("Photos/a.jpg"), QByteArray("jpeg"));
        // The data came back through a sibling that is gone again, and so is its journal.
        QVERIFY(fx.reservedSiblings(source, "restoring").isEmpty());
        QVERIFY(OperationJournal::recordPaths().isEmpty());
        if (!copyStays) {
            // And so are the folders the migration made on the volume.
            QVERIFY(result.task.errorMessage->endsWith(kRestored));
            QVERIFY(!platform::entryExists(fx.targetRoot()));
            return;
        }
        // The removal names what stayed from the top (the folder that holds the file), and the
        // failure the file itself.
        const QString stayed = " Copies that could not be removed stayed on the external disk: ";
        QVERIFY2(result.task.errorMessage->contains(kRestored + stayed + fx.targetOf(source)) &&
                     result.task.errorMessage->endsWith(copy + ")."),
                 qPrintable(*result.task.errorMessage));
        QCOMPARE(platform::readWholeFile(copy), QByteArray("jpeg"));
        const QList<LogEntry> logged = fx.logEntries();
        QVERIFY(std::any_of(logged.begin(), logged.end(), [&](const LogEntry& entry) {
            return entry.level == LogLevel::warning &&
                   entry.message.startsWith("Rollback of " + source +
                                            ": copies that could not be removed stayed at " +
                                            fx.targetOf(source) + " (") &&
                   entry.message.contains(copy);
        }));
    }

    void recreatedItemAtTheSource_data()
    {
        QTest::addColumn<bool>("placeholder");
        QTest::newRow("a file is kept aside") << false;
        QTest::newRow("an empty directory is removed") << true;
    }
    void recreatedItemAtTheSource()
    {
        QFETCH(bool, placeholder);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Photos/a.jpg", "jpeg");
        const QString source = fx.tree.path("Photos");
        const QStringList before = test::snapshotTree(source);
        const auto arrived = [&](const QString&, const QString&, const QString&) {
            placeholder ? fx.tree.dir("Photos") : fx.tree.file("Photos", "written by an app meanwhile");
        };

        const auto result = fx.engine({}, arrived).migrate(source, fx.config(), std::nullopt, false);

        if (placeholder) {
            QCOMPARE(result.task.status, TaskStatus::completed);
            QCOMPARE(result.forceMigrationSummary->removedPlaceholderPaths, QStringList{source});
            return;
        }
        QCOMPARE(result.task.errorCode, QStringLiteral("E018"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        const QStringList kept = fx.reservedSiblings(source, "rollback-conflict");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fx.tree.read(QFileInfo(kept[0]).fileName()), QByteArray("written by an app meanwhile"));
        QVERIFY(result.task.errorMessage->endsWith(
            " Original data was restored, and any newly recreated files were preserved at: " + kept[0] +
            "."));
        QVERIFY(hasLogLine(fx, LogLevel::warning,
                           "Rollback preserved conflict path: " + source + " -> " + kept[0]));
        QCOMPARE(test::snapshotTree(source), before);
    }

    // What appeared at the target after the occupancy check is not the migration's: the rollback
    // keeps it whole instead of clearing the target.
    void itemThatAppearedAtTheTargetIsKept()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Photos/a.jpg", "jpeg");
        const QString source = fx.tree.path("Photos");
        const QString target = fx.targetOf(source);
        const auto staged = [&](const QString&, const QString&) {
            test::TestTree(target).file("someone-elses.txt", "precious");
        };

        const auto result = fx.engine(staged).migrate(source, fx.config(), std::nullopt, false);

        QCOMPARE(result.task.errorCode, QStringLiteral("E004"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        const QStringList kept = fx.reservedSiblings(target, "rollback-conflict");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(test::TestTree(kept[0]).read("someone-elses.txt"), QByteArray("precious"));
        QVERIFY(result.task.errorMessage->endsWith(
            kRestored + " What stood at the target path was preserved at: " + kept[0] + "."));
        QVERIFY(hasLogLine(fx, LogLevel::warning,
                           "Rollback preserved conflict path: " + target + " -> " + kept[0]));
        QCOMPARE(fx.tree.read("Photos/a.jpg"), QByteArray("jpeg"));
    }

    void failedRollbackNamesWhereTheDataIs_data()
    {
        QTest::addColumn<bool>("beforeTheTarget");
        QTest::newRow("still in the staging path") << true;
        QTest::newRow("already at the target") << false;
    }
    void failedRollbackNamesWhereTheDataIs()
    {
        QFETCH(bool, beforeTheTarget);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Photos/a.jpg", "jpeg");
        const QString source = fx.tree.path("Photos");
        const QString target = fx.targetOf(source);
        const QStringList before = test::snapshotTree(source);
        std::optional<test::ImmutableFlag> frozen; // not even the administrator can write there now
        QString stagingPath;
        const auto staged = [&](const QString&, const QString& staging) {
            stagingPath = staging;
            if (beforeTheTarget) {
                frozen.emplace(fx.tree.root());
                test::TestTree(target).file("occupant.txt");
            }
        };
        const auto arrived = [&](const QString&, const QString&, const QString&) {
            frozen.emplace(fx.tree.root());
        };

        const auto result = fx.engine(staged, arrived).migrate(source, fx.config(), std::nullopt, false);
        if (frozen && !frozen->isSet())
            QSKIP(qPrintable(frozen->skipReason()));
        frozen.reset();

        const QString place = beforeTheTarget ? stagingPath : target;
        QCOMPARE(result.task.errorCode, QStringLiteral("E011"));
        QCOMPARE(result.task.status, TaskStatus::failed);
        QVERIFY(result.task.errorMessage->startsWith("Rollback failed for " + source + ": "));
        QVERIFY(result.task.errorMessage->endsWith(" Original data was preserved at: " + place +
                                                   ". Close related apps first, then move it back to " +
                                                   source + " manually."));
        QCOMPARE(test::snapshotTree(place), before);
        QVERIFY(!fx.logEntries().constLast().message.contains("Original data was preserved"));
    }
};

QTEST_GUILESS_MAIN(MigrationRollbackTest)
#include "tst_migrationrollback.moc"
