// Undo of migrations: the history order, undo of the last and of a chosen record, occupied source
// paths and the forced restore modes, failures that put the link back, and unsafe records.
#include "EngineFixture.h"
#include "diskops/PrivilegedFileOperationError.h"
#include "diskops/UndoNotDone.h"
#include "diskops/UndoService.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/Placeholder.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "store/JSONLStore.h"
#include "support/FileOpenGate.h"
#include "support/ImmutableFlag.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <sys/stat.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

QString errorCodeOf(const std::function<void()>& work)
{
    try {
        work();
    } catch (const OrvalinkError& error) {
        return error.code();
    }
    return QStringLiteral("no error");
}

LinkMapping mappingAt(const QString& source, const QString& createdAt, const QString& updatedAt)
{
    return {QUuid::createUuid(),
            source,
            "/target" + source,
            "user",
            "UUID",
            QDateTime::fromString(createdAt, Qt::ISODate),
            QDateTime::fromString(updatedAt, Qt::ISODate)};
}

QStringList sourcesOf(const QList<LinkMapping>& mappings)
{
    QStringList sources;
    for (const LinkMapping& mapping : mappings)
        sources.append(mapping.sourcePath);
    return sources;
}

// Migrates each named folder of the home (a few files each); returns their snapshots by name.
QHash<QString, QStringList> migrateAll(EngineFixture& fx, const QStringList& names)
{
    QHash<QString, QStringList> snapshots;
    for (const QString& name : names) {
        fx.tree.file(name + "/a.txt", name.toUtf8());
        fx.tree.file(name + "/sub/b.txt", "b of " + name.toUtf8());
        snapshots.insert(name, test::snapshotTree(fx.tree.path(name)));
        const auto result = fx.migrate(fx.tree.path(name));
        if (result.task.status != TaskStatus::completed)
            qFatal("migration failed: %s", qPrintable(test::describe(result)));
    }
    return snapshots;
}

} // namespace

class UndoServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyHistory()
    {
        EngineFixture fx;
        const UndoService undo = fx.undoService();
        QVERIFY(undo.undoHistory(300).isEmpty());
        QCOMPARE(errorCodeOf([&] { fx.undoNewest(); }), QStringLiteral("E014"));
        QCOMPARE(errorCodeOf([&] { undo.undoMigration(QUuid::createUuid(), "user"); }),
                 QStringLiteral("E014"));
    }

    void historyIsNewestFirstByTheLaterDate()
    {
        EngineFixture fx;
        const QList<LinkMapping> file = {
            mappingAt("/a", "2024-01-01T10:00:00Z", "2024-01-01T10:00:00Z"),
            mappingAt("/b-updated-later", "2023-01-01T10:00:00Z", "2024-03-01T10:00:00Z"),
            mappingAt("/c-tie-first", "2024-02-01T10:00:00Z", "2024-02-01T10:00:00Z"),
            mappingAt("/d-tie-second", "2024-02-01T10:00:00Z", "2024-01-01T10:00:00Z"),
        };
        JSONLStore::writeAll(file, fx.mappingStore.filePath());
        const UndoService undo = fx.undoService();
        QCOMPARE(sourcesOf(undo.undoHistory(300)),
                 QStringList({"/b-updated-later", "/c-tie-first", "/d-tie-second", "/a"}));
        QCOMPARE(sourcesOf(undo.undoHistory(2)), QStringList({"/b-updated-later", "/c-tie-first"}));

        QList<LinkMapping> many;
        for (int i = 0; i < 301; ++i)
            many.append(
                mappingAt(QStringLiteral("/m%1").arg(i),
                          QDateTime::fromSecsSinceEpoch(1700000000 + i, Qt::UTC).toString(Qt::ISODate),
                          "2000-01-01T00:00:00Z"));
        JSONLStore::writeAll(many, fx.mappingStore.filePath());
        const QList<LinkMapping> newest = undo.undoHistory(300);
        QCOMPARE(newest.size(), 300);
        QCOMPARE(newest.constFirst().sourcePath, QStringLiteral("/m300"));
        QCOMPARE(newest.constLast().sourcePath, QStringLiteral("/m1"));
    }

    void undoLastRestoresTheNewest()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto snapshots = migrateAll(fx, {"Older", "Newer"});
        QList<LinkMapping> mappings = fx.mappings();
        mappings[0].createdAt = mappings[0].updatedAt = mappings[0].createdAt.addSecs(-3600);
        JSONLStore::writeAll(mappings, fx.mappingStore.filePath());

        const UndoResult result = fx.undoNewest("someone");

        const QString source = fx.tree.path("Newer");
        QCOMPARE(result.mapping, mappings[1]);
        QVERIFY(!result.forceRestoreSummary);
        QCOMPARE(test::snapshotTree(source), snapshots["Newer"]);
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
        QCOMPARE(fx.mappings(), QList<LinkMapping>{mappings[0]});
        QCOMPARE(platform::readSymbolicLink(fx.tree.path("Older")), fx.targetOf(fx.tree.path("Older")));

        const MigrationTask task = fx.tasks().constLast();
        QCOMPARE(task.status, TaskStatus::rolledBack);
        QCOMPARE(task.sourcePath, source);
        QCOMPARE(task.targetPath, fx.targetOf(source));
        QCOMPARE(task.anchorUser, QStringLiteral("someone"));
        QCOMPARE(task.volumeUUID, mappings[1].volumeUUID);
        QCOMPARE(task.startedAt, result.revertedAt);
        QCOMPARE(task.endedAt, result.revertedAt);
        QVERIFY(!task.errorCode && !task.errorMessage);
        QCOMPARE(fx.logEntries().constLast().message,
                 "Manual undo completed: " + fx.targetOf(source) + " -> " + source);
    }

    // Of mappings equally recent the first in the file counts as the newest. The read passes over
    // lines that are not mappings, and the rewrite keeps them.
    void undoLastOfEqualTimesTakesTheFirstInTheFile()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto snapshots = migrateAll(fx, {"First", "Second"});
        QList<LinkMapping> mappings = fx.mappings();
        const QDateTime same = mappings[0].createdAt;
        for (LinkMapping& each : mappings)
            each.createdAt = each.updatedAt = same;
        const auto line = [](const LinkMapping& each) {
            return JSONLStore::encodeLine(each.toJson()) + '\n';
        };
        const QByteArray junk = "{\"kind\":\"not a mapping\"}\n";
        test::TestTree(fx.home.root())
            .file(fx.mappingStore.filePath().mid(fx.home.root().size() + 1),
                  line(mappings[0]) + junk + line(mappings[1]));

        QCOMPARE(fx.undoNewest("user").mapping, mappings[0]);
        QCOMPARE(test::snapshotTree(fx.tree.path("First")), snapshots["First"]);
        QCOMPARE(
            test::TestTree(fx.home.root()).read(fx.mappingStore.filePath().mid(fx.home.root().size() + 1)),
            junk + line(mappings[1]));
    }

    void undoOfAChosenRecordKeepsTheOthersInOrder()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto snapshots = migrateAll(fx, {"One", "Two", "Three"});
        const QList<LinkMapping> mappings = fx.mappings();
        const UndoService undo = fx.undoService();

        const UndoResult result = undo.undoMigration(mappings[1].id, "user");

        QCOMPARE(result.mapping, mappings[1]);
        QCOMPARE(test::snapshotTree(fx.tree.path("Two")), snapshots["Two"]);
        QCOMPARE(fx.mappings(), QList<LinkMapping>({mappings[0], mappings[2]}));
        QCOMPARE(errorCodeOf([&] { undo.undoMigration(mappings[1].id, "user"); }), QStringLiteral("E014"));
    }

    void missingTargetChangesNothing()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        migrateAll(fx, {"Gone"});
        const QString source = fx.tree.path("Gone");
        platform::removeTree(fx.targetOf(source));
        QCOMPARE(errorCodeOf([&] { fx.undoNewest("user"); }), QStringLiteral("E016"));
        QCOMPARE(platform::readSymbolicLink(source), fx.targetOf(source));
        QCOMPARE(fx.mappings().size(), 1);
    }

    // What a migration leaves, or a leftover placeholder, is replaced without asking (lstat: a
    // dangling link is a placeholder too).
    void placeholderAtTheSourceIsReplaced_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("the migration's link") << "link";
        QTest::newRow("empty directory") << "empty";
        QTest::newRow("dangling link") << "dangling";
    }
    void placeholderAtTheSourceIsReplaced()
    {
        QFETCH(QString, kind);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto snapshots = migrateAll(fx, {"Docs"});
        const QString source = fx.tree.path("Docs");
        if (kind != "link") {
            platform::removePlaceholder(source);
            kind == "empty" ? (void)fx.tree.dir("Docs") : (void)fx.tree.symlink("Docs", "/nothing/here");
        }
        const UndoResult result = fx.undoService().undoMigration(
            fx.mappings()[0].id, "user", UndoAnswers{ForcedUndoRestoreMode::overwrite, false});
        QVERIFY(!result.forceRestoreSummary); // nothing needed forcing
        QCOMPARE(test::snapshotTree(source), snapshots["Docs"]);
    }

    void occupiedSourceStopsAPlainUndo_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("a file") << false;
        QTest::newRow("a directory with content") << true;
    }
    void occupiedSourceStopsAPlainUndo()
    {
        QFETCH(bool, directory);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        migrateAll(fx, {"Docs"});
        const QString source = fx.tree.path("Docs");
        const QString target = fx.targetOf(source);
        platform::removePlaceholder(source);
        directory ? (void)fx.tree.file("Docs/new.txt", "new") : (void)fx.tree.file("Docs", "new");
        const QStringList occupant = test::snapshotTree(source);
        const QStringList migrated = test::snapshotTree(target);

        QCOMPARE(errorCodeOf([&] { fx.undoNewest("user"); }), QStringLiteral("E015"));
        QCOMPARE(test::snapshotTree(source), occupant);
        QCOMPARE(test::snapshotTree(target), migrated);
        QCOMPARE(fx.mappings().size(), 1);
    }

    void forcedRestoreModes_data()
    {
        QTest::addColumn<ForcedUndoRestoreMode>("mode");
        QTest::addColumn<bool>("occupantIsDirectory");
        QTest::newRow("overwrite") << ForcedUndoRestoreMode::overwrite << true;
        QTest::newRow("append of two directories") << ForcedUndoRestoreMode::append << true;
        QTest::newRow("append of a file") << ForcedUndoRestoreMode::append << false;
    }
    void forcedRestoreModes()
    {
        QFETCH(ForcedUndoRestoreMode, mode);
        QFETCH(bool, occupantIsDirectory);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        migrateAll(fx, {"Docs"});
        const QString source = fx.tree.path("Docs");
        const QStringList migrated = test::snapshotTree(fx.targetOf(source));
        platform::removePlaceholder(source);
        if (occupantIsDirectory) {
            fx.tree.file("Docs/a.txt", "the occupant's a");
            fx.tree.file("Docs/extra.txt", "extra");
        } else {
            fx.tree.file("Docs", "a file");
        }
        const QStringList occupant = test::snapshotTree(source);

        const UndoResult result =
            fx.undoService().undoMigration(fx.mappings()[0].id, "user", UndoAnswers{mode, false});

        QVERIFY(result.forceRestoreSummary);
        const ForceUndoRestoreSummary& summary = *result.forceRestoreSummary;
        QCOMPARE(summary.requestedMode, mode);
        if (mode == ForcedUndoRestoreMode::append && occupantIsDirectory) {
            QVERIFY(summary.didAppendMerge);
            QVERIFY(!summary.preservedPath);
            QCOMPARE(summary.mergedExistingItemCount, 2);
            QCOMPARE(summary.renamedConflictCount, 1);
            // The restored data keeps its names; the occupant's clashing item waits beside it.
            QCOMPARE(fx.tree.read("Docs/a.txt"), QByteArray("Docs"));
            QCOMPARE(fx.tree.read("Docs/extra.txt"), QByteArray("extra"));
            const QStringList renamed = fx.reservedSiblings(source + "/a.txt", "append-preserved");
            QCOMPARE(renamed.size(), 1);
            QCOMPARE(fx.tree.read("Docs/" + QFileInfo(renamed[0]).fileName()),
                     QByteArray("the occupant's a"));
        } else {
            QVERIFY(!summary.didAppendMerge);
            QCOMPARE(summary.mergedExistingItemCount + summary.renamedConflictCount, 0);
            QCOMPARE(QStringList{summary.preservedPath.value_or(QString())},
                     fx.reservedSiblings(source, "overwrite-preserved"));
            QCOMPARE(test::snapshotTree(*summary.preservedPath), occupant);
            QCOMPARE(test::snapshotTree(source), migrated);
        }
        QVERIFY(fx.mappings().isEmpty());
    }

    // The move back runs out of space: what stood at the source path comes back, the link the
    // undo removed or the occupant a forced restore set aside, and the data stays whole at the target.
    void failedMoveBackPutsTheSourceBack_data()
    {
        QTest::addColumn<QString>("forced");
        QTest::newRow("plain undo, the link") << "";
        QTest::newRow("append restore, the occupant") << "append";
        QTest::newRow("overwrite restore, the occupant") << "overwrite";
    }
    void failedMoveBackPutsTheSourceBack()
    {
        QFETCH(QString, forced);
        const std::optional<ForcedUndoRestoreMode> mode =
            forced.isEmpty()     ? std::nullopt
            : forced == "append" ? std::optional(ForcedUndoRestoreMode::append)
                                 : std::optional(ForcedUndoRestoreMode::overwrite);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        test::TmpfsMount small(fx.tree.path("small"), 1024 * 1024);
        QVERIFY(small.isValid());
        test::TestTree disk(small.mountPoint());
        disk.fileOfSize("Data/big.bin", 600 * 1024);
        const QString source = disk.path("Data");
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        if (mode) {
            platform::removePlaceholder(source);
            disk.file("Data/new.txt", "written after the migration");
        }
        disk.fileOfSize("filler.bin", mode ? 500 * 1024 : 700 * 1024);
        const QStringList occupant = test::snapshotTree(source);
        const QStringList migrated = test::snapshotTree(fx.targetOf(source));

        try {
            fx.undoNewest("user", UndoAnswers{mode, false});
            QFAIL("the undo went through onto a full disk");
        } catch (const UndoNotDone& notDone) {
            // Everything went back where it was: the answer says so, with what failed and where.
            QCOMPARE(notDone.cause().errorNumber, ENOSPC);
            QVERIFY2(notDone.failedPath().startsWith(small.mountPoint() + "/"), notDone.what());
            QCOMPARE(notDone.targetPath(), fx.targetOf(source));
            QVERIFY(fx.logEntries().constLast().message.startsWith("Undo failed, nothing was changed"));
        }

        if (mode)
            QCOMPARE(test::snapshotTree(source), occupant);
        else
            QCOMPARE(platform::readSymbolicLink(source), fx.targetOf(source));
        QCOMPARE(test::snapshotTree(fx.targetOf(source)), migrated);
        QVERIFY(fx.reservedSiblings(source, "append-preserved").isEmpty());
        QVERIFY(fx.reservedSiblings(source, "overwrite-preserved").isEmpty());
        QCOMPARE(fx.mappings().size(), 1);
    }

    // A file on the volume that cannot be read, even by root (refused at its opening): the undo does
    // not happen, and says so, naming the file; the link, the data on the volume and the record are
    // as they were, nothing of the copy stays at home, and the log has a line of it.
    void unreadableFileLeavesEverythingAsItWas()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "alpha");
        fx.tree.fileOfSize("Docs/secret.bin", 64 * 1024);
        const QString source = fx.tree.path("Docs");
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        const QString target = fx.targetOf(source);
        const QString unreadable = target + "/secret.bin";
        const QStringList migrated = test::snapshotTree(target);
        struct stat refused {};
        QCOMPARE(::lstat(QFile::encodeName(unreadable).constData(), &refused), 0);
        // Asked, the administrator is not given.
        fx.runner->before = [](const QString&) {
            return std::optional(platform::CommandOutcome{126, false, {}, "Request dismissed"});
        };

        {
            const test::FileOpenGate gate(
                target, [] {}, test::FileOpenGate::Openings::files,
                [&](const struct stat& info) {
                    return info.st_ino == refused.st_ino && info.st_dev == refused.st_dev;
                });
            SKIP_WITHOUT(gate);
            try {
                fx.undoNewest();
                QFAIL("the undo went through without reading a file");
            } catch (const UndoNotDone& notDone) {
                QCOMPARE(notDone.failedPath(), unreadable);
                QCOMPARE(notDone.reason(), platform::errnoText(EPERM));
                QCOMPARE(notDone.sourcePath(), source);
                QCOMPARE(notDone.targetPath(), target);
            }
        }
        QCOMPARE(platform::readSymbolicLink(source), std::optional(target));
        QCOMPARE(test::snapshotTree(target), migrated);
        QVERIFY(fx.reservedSiblings(source, "restoring").isEmpty());
        QCOMPARE(fx.mappings().size(), 1);
        const QString logged = fx.logEntries().constLast().message;
        QVERIFY2(logged.startsWith("Undo failed, nothing was changed (" + platform::errnoText(EPERM) + ": " +
                                   unreadable + "): "),
                 qPrintable(logged));
    }

    // A migration that finishes while an undo moves its data back appends a record; the undo's
    // rewrite of the history must not lose it.
    void recordsAppendedDuringAnUndoSurvive()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        migrateAll(fx, {"First", "Second"});
        const QList<LinkMapping> before = fx.mappings();
        const LinkMapping meanwhile =
            mappingAt("/appended/meanwhile", "2030-01-01T00:00:00Z", "2030-01-01T00:00:00Z");
        // The link sits in a folder the user may not change, so its removal asks the
        // administrator; while that prompt is open the other migration finishes.
        test::ImmutableFlag frozen(fx.tree.root());
        if (!frozen.isSet())
            QSKIP(qPrintable(frozen.skipReason()));
        fx.runner->before = [&](const QString&) -> std::optional<platform::CommandOutcome> {
            JSONLStore::append(meanwhile, fx.mappingStore.filePath());
            frozen.clear();
            return std::nullopt;
        };

        fx.undoService().undoMigration(before[0].id, "user");

        QCOMPARE(fx.runner->commands.size(), 1);
        QCOMPARE(fx.mappings(), QList<LinkMapping>({before[1], meanwhile}));
        QVERIFY(QFileInfo(fx.tree.path("First")).isDir() && !QFileInfo(fx.tree.path("First")).isSymLink());
    }

    // A record that names its paths in another form (as an older version or another computer may
    // have written them) is undone on the paths in standard form.
    void recordsInAnotherFormAreStandardized_data()
    {
        QTest::addColumn<QString>("sourceSuffix");
        QTest::addColumn<QString>("targetSuffix");
        QTest::newRow("trailing slashes") << "/"
                                          << "/";
        QTest::newRow("dot components") << "/../Docs/."
                                        << "/./";
    }
    void recordsInAnotherFormAreStandardized()
    {
        QFETCH(QString, sourceSuffix);
        QFETCH(QString, targetSuffix);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto snapshots = migrateAll(fx, {"Docs"});
        const QString source = fx.tree.path("Docs");
        LinkMapping recorded = fx.mappings().constFirst();
        recorded.sourcePath += sourceSuffix;
        recorded.targetPath += targetSuffix;
        JSONLStore::writeAll(QList<LinkMapping>{recorded}, fx.mappingStore.filePath());

        const UndoResult result = fx.undoService().undoMigration(recorded.id, "user");

        QCOMPARE(result.mapping, recorded);
        QVERIFY(platform::entryStatus(source).kind == platform::EntryKind::directory);
        QCOMPARE(test::snapshotTree(source), snapshots["Docs"]);
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
        QVERIFY(fx.mappings().isEmpty());
    }

    // A protected location (here a folder added to the protected list) can only be a source when
    // strict mode was off. Its record is undone while the link there is the one the migration left;
    // anything else at the source path is not the record's to act on.
    void protectedSourceIsUndoneOnlyThroughItsOwnLink_data()
    {
        QTest::addColumn<QString>("atSource");
        QTest::addColumn<QString>("code");
        QTest::newRow("the migration's link") << "link"
                                              << "no error";
        QTest::newRow("a link to elsewhere") << "other link"
                                             << "E012";
        QTest::newRow("nothing") << "nothing"
                                 << "E012";
    }
    void protectedSourceIsUndoneOnlyThroughItsOwnLink()
    {
        QFETCH(QString, atSource);
        QFETCH(QString, code);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto snapshots = migrateAll(fx, {"Opt"});
        const QString source = fx.tree.path("Opt");
        const QString target = fx.targetOf(source);
        if (atSource != "link")
            QVERIFY(QFile::remove(source));
        if (atSource == "other link")
            fx.tree.symlink("Opt", fx.tree.dir("Elsewhere"));
        const PathMappingService protecting(PathMappingService::systemProtectedPaths() << source);
        const UndoService undo(fx.mappingStore, fx.taskStore, fx.log, fx.privileged, protecting, fx.volumes,
                               fx.processes);
        const QStringList volume = test::snapshotTree(fx.volumePath());

        QCOMPARE(errorCodeOf([&] { undo.undoMigration(fx.mappings().constFirst().id, "user"); }), code);

        if (code == "no error") {
            QCOMPARE(test::snapshotTree(source), snapshots["Opt"]);
            QVERIFY(fx.mappings().isEmpty());
        } else {
            QCOMPARE(test::snapshotTree(fx.volumePath()), volume);
            QCOMPARE(fx.mappings().size(), 1);
            QVERIFY(platform::entryExists(target));
        }
    }

    // A move back that needs the administrator, who refuses: the failure still says what it was,
    // so the caller can offer to get the permission.
    void refusedAdministratorIsKeptInTheRollbackError()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Locked/Docs/a.txt", "a");
        const QString source = fx.tree.path("Locked/Docs");
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        QVERIFY(QFile::remove(source)); // the link is gone already: nothing to remove first
        test::ImmutableFlag frozen(fx.tree.path("Locked"));
        if (!frozen.isSet())
            QSKIP(qPrintable(frozen.skipReason()));
        fx.runner->before = [](const QString&) {
            return std::optional(platform::CommandOutcome{126, false, {}, "Request dismissed"});
        };

        try {
            fx.undoNewest("user");
            QFAIL("the undo succeeded");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.code(), QStringLiteral("E011"));
            QCOMPARE(error.underlying().description, QStringLiteral("Request dismissed"));
            QVERIFY(error.underlying().error);
            try {
                std::rethrow_exception(error.underlying().error);
            } catch (const PrivilegedFileOperationError& refused) {
                QCOMPARE(refused.message(), QStringLiteral("Request dismissed"));
            } catch (...) {
                QFAIL("the administrator's refusal was lost");
            }
        }
        QVERIFY(!fx.runner->commands.isEmpty());
        frozen.clear();
        QCOMPARE(test::TestTree(fx.targetOf(source)).read("a.txt"), QByteArray("a"));
        QCOMPARE(fx.mappings().size(), 1);
    }

    // Records may come from a cloud snapshot: paths that are unsafe to act on are refused.
    void unsafeRecordsAreRefused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::newRow("relative source") << "Docs"
                                         << "@vol/Docs";
        QTest::newRow("relative target") << "@home/Docs"
                                         << "Docs";
        QTest::newRow("the root") << "/"
                                  << "@vol/Docs";
        QTest::newRow("the home directory") << "@home"
                                            << "@vol/Docs";
        QTest::newRow("a system location") << "/usr"
                                           << "@vol/Docs";
        QTest::newRow("the Trash") << "@home/.local/share/Trash/files/Docs"
                                   << "@vol/Docs";
        QTest::newRow("target inside the source") << "@home/Docs"
                                                  << "@home/Docs/inner";
        QTest::newRow("source inside the target") << "@vol/Docs/inner"
                                                  << "@vol/Docs";
        QTest::newRow("a system location as target") << "@home/Docs"
                                                     << "/usr";
        QTest::newRow("the home directory, standardized") << "@home/x/../"
                                                          << "@vol/Docs";
    }
    void unsafeRecordsAreRefused()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto expand = [&](QString path) {
            return path.replace("@home", fx.home.home()).replace("@vol", fx.targetRoot());
        };
        const LinkMapping mapping{QUuid::createUuid(),
                                  expand(source),
                                  expand(target),
                                  "user",
                                  "UUID",
                                  QDateTime::currentDateTimeUtc(),
                                  QDateTime::currentDateTimeUtc()};
        test::TestTree(fx.targetRoot()).file("Docs/inner/data.txt", "data");
        const QStringList volume = test::snapshotTree(fx.targetRoot());
        JSONLStore::append(mapping, fx.mappingStore.filePath());

        QCOMPARE(errorCodeOf([&] {
                     fx.undoService().undoMigration(mapping.id, "user",
                                                    UndoAnswers{ForcedUndoRestoreMode::overwrite, false});
                 }),
                 QStringLiteral("E012"));
        QCOMPARE(test::snapshotTree(fx.targetRoot()), volume);
        QCOMPARE(fx.mappings().size(), 1);
        QCOMPARE(fx.mappings().constFirst().id, mapping.id);
    }
};

QTEST_GUILESS_MAIN(UndoServiceTest)
#include "tst_undoservice.moc"
