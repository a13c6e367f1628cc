// Link repair after the volume came back under another name: whole-history batches that continue
// press after press, repair of chosen items, the history selections; and the administrator check
// with its access prompt.
#include "WorkflowFixture.h"
#include "diskops/ErrorDetails.h"
#include "diskops/PrivilegedFileOperationError.h"
#include "model/OrvalinkError.h"
#include "platform/PlatformError.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TaskRunner.h"
#include "support/WorkerGate.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/browsing/Figures.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/AdministratorAuthorization.h"

#include <QDir>
#include <QTest>
#include <cerrno>

Q_DECLARE_METATYPE(std::exception_ptr)

using namespace orvalink;
using test::errorLine;
using test::finish;
using test::infoLine;
using test::shown;
using test::WorkflowFixture;

namespace {

bool resolves(const QString& link)
{
    return QFileInfo(link).isSymLink() && QFileInfo(link).exists();
}

// Answers the administrator check with a fixed outcome once the test opens the gate (so that the
// test sees the check still running however fast the worker is), and counts the commands.
class ScriptedRunner : public platform::CommandRunner {
public:
    ScriptedRunner(platform::CommandOutcome outcome, std::shared_ptr<test::WorkerGate> gate)
        : m_outcome(std::move(outcome)), m_gate(std::move(gate))
    {}
    platform::CommandOutcome run(const QString& command) override
    {
        commands.append(command);
        m_gate->pass(command);
        return m_outcome;
    }
    QStringList commands;

private:
    platform::CommandOutcome m_outcome;
    std::shared_ptr<test::WorkerGate> m_gate;
};

// Three items migrated to a volume with a UUID, which then comes back as "Renamed".
struct RemountedHistory {
    explicit RemountedHistory(WorkflowFixture& w)
    {
        w.setVolumeUUID(w.volumePath(), "REPAIR-VOLUME");
        for (const char* name : {"One", "Two", "Three"})
            sources.append(w.tree.file(QString(name) + "/a.txt", name).section('/', 0, -2));
        MainViewModel& vm = w.vm();
        ViewModelInternals::context(vm).browsing().setSelectedPaths(
            QSet<QString>(sources.cbegin(), sources.cend()));
        finish(vm.workflows().migrateSelectedItems());
        moved = std::make_unique<test::MovedMount>(w.volumePath(), w.fx.home.volumes() + "/Renamed");
    }
    QStringList sources;
    std::unique_ptr<test::MovedMount> moved;
};

} // namespace

class RepairWorkflowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each press repairs the next batch; at the end of the list the next press starts over.
    void batchRepairContinuesPressAfterPress()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        RemountedHistory history(w);
        QVERIFY(history.moved->isValid());
        MainViewModel& vm = w.vm();
        QCOMPARE(vm.activity().migrationSucceededItems(), 3);
        for (const QString& source : history.sources)
            QVERIFY(!resolves(source));
        vm.workflows().workflowSettings().repairBatchSize = 2;

        finish(vm.workflows().repairBrokenLinks());
        QCOMPARE(infoLine(vm),
                 std::optional<QString>("Repair batch finished. Scanned: 2/3, fixed: 2, failed: 0, "
                                        "remaining: 1. Click again to continue."));
        QVERIFY(!vm.activity().isRepairingLinks());
        finish(vm.workflows().repairBrokenLinks());
        QCOMPARE(infoLine(vm), std::optional<QString>("Repair finished. Scanned: 3, fixed: 1, failed: 0."));
        for (const QString& source : history.sources)
            QVERIFY2(resolves(source), qPrintable(source));
        finish(vm.workflows().repairBrokenLinks());
        QCOMPARE(infoLine(vm),
                 std::optional<QString>("Repair batch finished. Scanned: 2/3, fixed: 0, failed: 0, "
                                        "remaining: 1. Click again to continue."));
        vm.persisted().reloadPersistedState(); // a reload starts over as well
        finish(vm.workflows().repairBrokenLinks());
        QVERIFY(infoLine(vm)->startsWith("Repair batch finished. Scanned: 2/3"));
    }

    void selectedRepair()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        RemountedHistory history(w);
        QVERIFY(history.moved->isValid());
        MainViewModel& vm = w.vm();
        const QList<LinkMapping> mappings = vm.history().migratedMappings();
        QCOMPARE(mappings.size(), 3);

        finish(vm.workflows().repairMigratedLinks({QUuid::createUuid()}));
        QCOMPARE(infoLine(vm), std::optional<QString>("Please select at least one migrated item first."));
        vm.workflows().toggleMigratedMappingSelection(mappings.at(0).id);
        vm.workflows().toggleMigratedMappingSelection(mappings.at(1).id);
        vm.workflows().toggleMigratedMappingSelection(mappings.at(1).id);
        QCOMPARE(vm.history().selectedMigratedMappingIDs(), QSet<QUuid>{mappings.at(0).id});
        finish(vm.workflows().repairMigratedLinks(vm.history().selectedMigratedMappingIDs()));
        QCOMPARE(infoLine(vm), std::optional<QString>("Selected link repaired successfully."));
        QVERIFY(resolves(mappings.at(0).sourcePath));
        QVERIFY(!resolves(mappings.at(1).sourcePath));
        finish(vm.workflows().repairMigratedLinks({mappings.at(0).id}));
        QCOMPARE(infoLine(vm), std::optional<QString>("Selected link did not need repair or repair failed."));
        vm.workflows().selectAllMigratedMappings();
        finish(vm.workflows().repairMigratedLinks(vm.history().selectedMigratedMappingIDs()));
        QCOMPARE(infoLine(vm), std::optional<QString>("Repaired 2 selected links."));
    }

    // A repair speaks of itself, not of the migration before it: the dock's records of that run go
    // when the repair starts, and the repair publishes its summary with the links it repaired and
    // the one it could not (its data gone from the volume). The next run's start takes that away.
    void aRepairReportsItself()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        RemountedHistory history(w);
        QVERIFY(history.moved->isValid());
        MainViewModel& vm = w.vm();
        QCOMPARE(vm.history().recentMigrations().size(), 3);
        const QString renamed = w.fx.home.volumes() + "/Renamed/Store";
        QVERIFY(QDir(renamed + history.sources.at(2)).removeRecursively());

        finish(vm.workflows().repairBrokenLinks());
        QVERIFY(vm.history().recentMigrations().isEmpty());
        QVERIFY(vm.history().recentFailedMigrations().isEmpty());
        QVERIFY(vm.history().lastRestoredPaths().isEmpty());
        QVERIFY(!vm.figures().shouldShowMigrationProgress());
        const std::optional<LinkRepairReport> report = vm.history().lastLinkRepair();
        QVERIFY(report);
        QCOMPARE(infoLine(vm), std::optional<QString>("Repair finished. Scanned: 3, fixed: 2, failed: 1."));
        QCOMPARE(shown(vm, report->summary),
                 *infoLine(vm) + " The log says why each link could not be repaired.");
        QVERIFY(report->hasUnrepairedLinks());
        QCOMPARE(report->links.size(), 3);
        // What the user has to look at comes first.
        QCOMPARE(report->links.constFirst().sourcePath, history.sources.at(2));
        for (const LinkRepairRecord& link : report->links) {
            const bool gone = link.sourcePath == history.sources.at(2);
            QCOMPARE(link.repaired, !gone);
            QCOMPARE(link.targetPath, (gone ? w.targetRoot() : renamed) + link.sourcePath);
            QCOMPARE(resolves(link.sourcePath), !gone);
        }

        // The chosen link alone, already healthy: the report says so and lists nothing.
        const QList<LinkMapping>& mappings = vm.history().migratedMappings();
        const auto first = std::find_if(mappings.cbegin(), mappings.cend(), [&](const LinkMapping& mapping) {
            return mapping.sourcePath == history.sources.at(0);
        });
        QVERIFY(first != mappings.cend());
        finish(vm.workflows().repairMigratedLinks({first->id}));
        QCOMPARE(vm.history().lastLinkRepair(),
                 std::optional(
                     LinkRepairReport{BilingualText("所选链接无需修复或修复失败。",
                                                    "Selected link did not need repair or repair failed."),
                                      {}}));
        // Whichever record is the newest (their times may lie in one second or two), the undo's
        // start takes the report away.
        finish(vm.workflows().undoLastMigration());
        QVERIFY(!vm.history().lastLinkRepair());
    }

    void administratorCheck_data()
    {
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("error");
        QTest::newRow("granted")
            << 0 << QByteArray()
            << "Administrator authorization verified. Protected migrations will request system "
               "permission."
            << QString();
        QTest::newRow("rejected, silent") << 126 << QByteArray(" \n") << QString()
                                          << "Administrator authorization failed: Authorization rejected";
        QTest::newRow("rejected, told") << 127 << QByteArray("Not authorized\n") << QString()
                                        << "Administrator authorization failed: Not authorized";
    }
    void administratorCheck()
    {
        QFETCH(int, exitStatus);
        QFETCH(QByteArray, standardError);
        QFETCH(QString, info);
        QFETCH(QString, error);
        WorkflowFixture w;
        MainViewModel& vm = w.vm();
        const auto gate = std::make_shared<test::WorkerGate>();
        auto runner = std::make_shared<ScriptedRunner>(
            platform::CommandOutcome{exitStatus, false, {}, standardError}, gate);
        vm.workflows().workflowSettings().administratorCheckRunner = runner;
        auto check = vm.workflows().requestAdministratorAuthorization();
        QVERIFY(gate->waitForArrivals(1));
        QVERIFY(vm.activity().isRequestingAdminAuthorization());
        finish(vm.workflows().requestAdministratorAuthorization()); // ignored while the first runs
        gate->open();
        finish(std::move(check));
        QCOMPARE(runner->commands, QStringList{"/bin/true"});
        QVERIFY(!vm.activity().isRequestingAdminAuthorization());
        QCOMPARE(infoLine(vm), info.isEmpty() ? std::nullopt : std::optional<QString>(info));
        QCOMPARE(errorLine(vm), error.isEmpty() ? std::nullopt : std::optional<QString>(error));
    }

    void permissionFailures_data()
    {
        QTest::addColumn<std::exception_ptr>("error");
        QTest::addColumn<bool>("needsAdministrator");
        const auto of = [](auto error) {
            return std::make_exception_ptr(error);
        };
        QTest::newRow("administrator command refused")
            << of(PrivilegedFileOperationError::authorizationFailed("no")) << true;
        QTest::newRow("permission denied") << of(OrvalinkError::permissionDenied("/x")) << true;
        QTest::newRow("rollback, EACCES")
            << of(OrvalinkError::rollbackFailed("/x", {"Permission denied", EACCES, true, {}})) << true;
        QTest::newRow("rollback, ENOENT")
            << of(OrvalinkError::rollbackFailed("/x", {"No such file", ENOENT, false, {}})) << false;
        QTest::newRow("EPERM") << of(platform::PlatformError(EPERM, "Operation not permitted")) << true;
        QTest::newRow("EIO wrapping EACCES")
            << of(platform::PlatformError(EIO, "I/O", platform::PlatformError(EACCES, "denied"))) << false;
        QTest::newRow("no errno, wrapping EACCES")
            << of(platform::PlatformError(0, "wrapped", platform::PlatformError(EACCES, "denied"))) << true;
        QTest::newRow("occupied") << of(OrvalinkError::undoSourceOccupied("/x")) << false;
        // A failed move back wraps the error of the move; its kind decides, as for the error alone.
        const auto rollbackOf = [&](const auto& cause) {
            return of(OrvalinkError::rollbackFailed("/x", underlyingOf(cause)));
        };
        QTest::newRow("rollback, administrator dialog dismissed")
            << rollbackOf(PrivilegedFileOperationError::authorizationFailed("dismissed")) << true;
        QTest::newRow("rollback, permission denied")
            << rollbackOf(OrvalinkError::permissionDenied("/x")) << true;
        QTest::newRow("rollback, no errno, wrapping EACCES")
            << rollbackOf(platform::PlatformError(0, "wrapped", platform::PlatformError(EACCES, "denied")))
            << true;
        QTest::newRow("rollback, EIO wrapping EACCES")
            << rollbackOf(platform::PlatformError(EIO, "I/O", platform::PlatformError(EACCES, "denied")))
            << false;
        QTest::newRow("rollback of a rollback, dialog dismissed")
            << rollbackOf(OrvalinkError::rollbackFailed(
                   "/y", underlyingOf(PrivilegedFileOperationError::authorizationFailed("dismissed"))))
            << true;
        QTest::newRow("rollback, occupied") << rollbackOf(OrvalinkError::undoSourceOccupied("/x")) << false;
    }
    // A permission failure opens the access prompt with the action's texts and the path it needs
    // rights for, and leaves the status line to the caller; anything else leaves the state alone.
    void permissionFailures()
    {
        QFETCH(std::exception_ptr, error);
        QFETCH(bool, needsAdministrator);
        WorkflowFixture w;
        MainViewModel& vm = w.vm();
        QCOMPARE(requiresAdministratorAuthorization(error), needsAdministrator);
        QCOMPARE(handleAdministratorAuthorizationRequirementIfNeeded(
                     ViewModelInternals::context(vm).activity(), vm.presentation(), error, "反悔迁移",
                     "undo migrations", "/media/u/Disk/a.mov"),
                 needsAdministrator);
        QCOMPARE(vm.activity().accessRequirementPrompt().has_value(), needsAdministrator);
        QCOMPARE(infoLine(vm), std::nullopt);
        if (!needsAdministrator)
            return;
        const AccessRequirementPrompt prompt = *vm.activity().accessRequirementPrompt();
        QCOMPARE(prompt.kind, AccessRequirementPrompt::Kind::requiresAdministratorAuthorization);
        QCOMPARE(shown(vm, prompt.title), QStringLiteral("Administrator Access Required"));
        QVERIFY(
            shown(vm, prompt.message)
                .startsWith("Undo Migrations needs administrator rights for /media/u/Disk/a.mov, asked for "
                            "through the system's authorization prompt."));
    }
};

QTEST_GUILESS_MAIN(RepairWorkflowTest)
#include "tst_repairworkflow.moc"
