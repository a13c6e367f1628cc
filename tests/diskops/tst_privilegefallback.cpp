// The administrator fallback of the file operations: one second attempt on a permission error and
// on nothing else, and whole migrations and undos by a user who may not write where the data lives.
#include "EngineFixture.h"
#include "diskops/FallbackFileOperations.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "diskops/UndoService.h"
#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "support/ChildProcess.h"
#include "support/ImmutableFlag.h"
#include "support/TreeSnapshot.h"
#include "support/Unprivileged.h"

#include <QDirIterator>
#include <QTest>
#include <cerrno>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;
using Service = PrivilegedFileOperationService;

namespace {

void chownTree(const QString& root, uid_t uid, gid_t gid)
{
    ::lchown(QFile::encodeName(root).constData(), uid, gid);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), uid, gid);
}

} // namespace

class PrivilegeFallbackTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Inside an immutable folder every change fails with EPERM, the error a prompt can overcome.
    void permissionErrorsAskTheAdministratorOnce_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("move") << "move";
        QTest::newRow("remove a placeholder") << "remove";
        QTest::newRow("create directories") << "mkdir";
        QTest::newRow("create a link") << "link";
    }
    void permissionErrorsAskTheAdministratorOnce()
    {
        QFETCH(QString, operation);
        EngineFixture fx;
        test::TestTree locked(fx.tree.path("locked"));
        locked.file("item", "x");
        locked.dir("empty");
        fx.tree.dir("open");
        test::ImmutableFlag frozen(locked.root());
        if (!frozen.isSet())
            QSKIP(qPrintable(frozen.skipReason()));
        // Granted, but nothing is run: only the command text matters here.
        fx.runner->before = [](const QString&) {
            return std::optional(platform::CommandOutcome{});
        };
        const FallbackFileOperations files(fx.privileged, fx.log);

        QString expected;
        if (operation == "move") {
            files.move(locked.path("item"), fx.tree.path("open/item"));
            expected = Service::moveCommand(locked.path("item"), fx.tree.path("open/item"));
        } else if (operation == "remove") {
            files.removePlaceholder(locked.path("empty"));
            expected = Service::removeCommand(locked.path("empty"));
        } else if (operation == "mkdir") {
            files.createDirectories(locked.path("new/deeper"));
            expected = Service::createDirectoryCommand(locked.path("new/deeper"));
        } else {
            files.createSymbolicLink(locked.path("link"), "/somewhere");
            expected = Service::createSymbolicLinkCommand(locked.path("link"), "/somewhere");
        }
        QCOMPARE(fx.runner->commands, QStringList{expected});
    }

    // Other failures are not for the administrator: the command would replace or delete what the
    // operation refused to touch.
    void otherFailuresNeverReachTheAdministrator_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("expectedErrno");
        QTest::newRow("move onto a taken path") << "move" << EEXIST;
        QTest::newRow("remove a directory with content") << "remove" << ENOTEMPTY;
        QTest::newRow("remove a file") << "removeFile" << ENOTDIR;
        QTest::newRow("link over a directory") << "link" << EEXIST;
    }
    void otherFailuresNeverReachTheAdministrator()
    {
        QFETCH(QString, operation);
        QFETCH(int, expectedErrno);
        EngineFixture fx;
        fx.tree.file("full/data", "keep");
        fx.tree.file("other/data", "other");
        const QStringList before = test::snapshotTree(fx.tree.root());
        const FallbackFileOperations files(fx.privileged, fx.log);
        try {
            if (operation == "move")
                files.move(fx.tree.path("other/data"), fx.tree.path("full/data"));
            else if (operation == "remove")
                files.removePlaceholder(fx.tree.path("full"));
            else if (operation == "removeFile")
                files.removePlaceholder(fx.tree.path("full/data"));
            else
                files.createSymbolicLink(fx.tree.path("full"), "/somewhere");
            QFAIL("the operation succeeded");
        } catch (const platform::PlatformError& error) {
            QCOMPARE(error.errorNumber(), expectedErrno);
        }
        QVERIFY(fx.runner->commands.isEmpty());
        QCOMPARE(test::snapshotTree(fx.tree.root()), before);
    }

    void migrationAndUndoByAnUnprivilegedUser_data()
    {
        QTest::addColumn<bool>("unreadableFile");
        QTest::newRow("a user who may write neither beside the source nor on the volume") << false;
        QTest::newRow("a file of the folder only the administrator may read") << true;
    }
    // A user who may write neither beside the source nor on the volume: every move and link that
    // needs more rights goes through the administrator, and the migration and its undo still
    // complete. The folder the target goes into is there already: creating it is never done as root.
    // So do they where the user's own copy made the target and met a file it may not read: the
    // administrator's move brings the whole folder, and the link leads to what it brought, not to
    // the copy the user's attempt made and discarded.
    void migrationAndUndoByAnUnprivilegedUser()
    {
        QFETCH(bool, unreadableFile);
        if (const auto reason = test::Unprivileged::skipReason())
            QSKIP(qPrintable(*reason));
        EngineFixture fx;
        if (const auto reason = fx.skipReason())
            QSKIP(qPrintable(*reason));
        fx.tree.file("Docs/a.txt", "alpha");
        fx.tree.file("Docs/sub/b.txt", "beta");
        const QString source = fx.tree.path("Docs");
        const QString target = fx.targetOf(source);
        QVERIFY(QDir().mkpath(target.section('/', 0, -2)));
        if (unreadableFile) {
            QCOMPARE(
                ::chmod(QFile::encodeName(fx.tree.file("Docs/sub/secret.txt", "secret")).constData(), 0600),
                0);
            chownTree(target.section('/', 0, -2), test::unprivilegedUid(), test::unprivilegedGid());
        }
        const QStringList before = test::snapshotTree(source);
        AppPaths::ensureBaseDirectories();
        fx.log.append(LogLevel::info, "created before the user drops its rights");
        test::Unprivileged::openUp(fx.home.root());
        chownTree(fx.home.appSupport(), test::unprivilegedUid(), test::unprivilegedGid());
        chownTree(fx.home.logDir(), test::unprivilegedUid(), test::unprivilegedGid());

        const test::ChildOutcome child = test::runInChildAsNobodyKeepingRoot([&](QByteArray& output) {
            auto runner = std::make_shared<test::ElevatedShellRunner>();
            const PrivilegedFileOperationService administrator(runner);
            MigrationEngine::Services services = fx.services();
            const MigrationEngine engine({services.scan, services.pathMapping, services.volumes,
                                          services.processes, services.mappings, services.tasks, services.log,
                                          administrator});
            const auto result = engine.migrate(source, fx.config(), std::nullopt, false);
            output +=
                test::describe(result).toUtf8() + '\n' + runner->commands.join('\n').toUtf8() + "\n--\n";
            runner->commands.clear();
            UndoService(fx.mappingStore, fx.taskStore, fx.log, administrator, fx.pathMapping, fx.volumes,
                        fx.processes)
                .undoMigration(fx.mappings().constFirst().id, "user");
            output += runner->commands.join('\n').toUtf8();
            return 0;
        });

        QVERIFY2(child.exitCode == 0, child.output.constData());
        const QStringList parts = QString::fromUtf8(child.output).split("\n--\n");
        QCOMPARE(parts.size(), 2);
        const QStringList migration = parts[0].split('\n');
        QVERIFY2(migration[0].startsWith("completed"), qPrintable(parts[0]));
        const QString staging = migration.value(1).section("' '", 1).chopped(1);
        QVERIFY2(staging.startsWith(fx.tree.path(".Docs.orvalink-staging-")), qPrintable(parts[0]));
        QCOMPARE(migration.mid(1),
                 QStringList({Service::moveCommand(source, staging), Service::moveCommand(staging, target),
                              Service::createSymbolicLinkCommand(source, target)}));
        // The data comes back beside the link first; the link goes only once it is whole there.
        const QStringList undo = parts[1].split('\n');
        const QString restoring = undo.value(0).section("' '", 1).chopped(1);
        QVERIFY2(restoring.startsWith(fx.tree.path(".Docs.orvalink-restoring-")), qPrintable(parts[1]));
        QCOMPARE(undo, QStringList({Service::moveCommand(target, restoring), Service::removeCommand(source),
                                    Service::moveCommand(restoring, source)}));
        QCOMPARE(test::snapshotTree(source), before);
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.mappings().isEmpty());
    }
};

QTEST_GUILESS_MAIN(PrivilegeFallbackTest)
#include "tst_privilegefallback.moc"
