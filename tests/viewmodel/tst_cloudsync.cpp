#include "AccountFixture.h"
#include "backend/MigrationSyncPayloads.h"
#include "model/OrvalinkError.h"
#include "platform/FileIO.h"
#include "store/JSONLStore.h"
#include "support/TaskRunner.h"
#include "support/TmpfsMount.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QFileInfo>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

QString text(const std::optional<QString>& value)
{
    return value.value_or(QStringLiteral("<none>"));
}

LoopbackReply snapshotReply(const QString& fingerprint, const QList<LinkMapping>& mappings,
                            const QList<MigrationTask>& tasks = {})
{
    QJsonObject data = syncwire::makeSyncRequest(fingerprint, mappings, tasks);
    data.insert(QStringLiteral("syncedAt"), QStringLiteral("2025-03-01T08:30:00.000Z"));
    return LoopbackReply::ok(data);
}

template <typename Record> QStringList sourcesOf(const QList<Record>& records)
{
    QStringList sources;
    for (const Record& record : records)
        sources.append(record.sourcePath.section(QLatin1Char('/'), -1));
    return sources;
}

QStringList storedMappings()
{
    return sourcesOf(
        JSONLStore::loadAll<LinkMapping>(AccountFixture::historyOf(AccountFixture::email).mappingsPath));
}

QStringList storedTasks()
{
    return sourcesOf(
        JSONLStore::loadAll<MigrationTask>(AccountFixture::historyOf(AccountFixture::email).tasksPath));
}

} // namespace

// Cloud restore and sync of the migration history, against the loopback account service.
class CloudSyncTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AccountFixture> m_fixture;

    AccountFixture& fixture() { return *m_fixture; }
    MainViewModel& viewModel() { return m_fixture->viewModel(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }

    // Signed in with nothing in the cloud yet, so the sign-in restores nothing.
    void startSignedIn()
    {
        fixture().start();
        QVERIFY(fixture().signIn());
        http().clearRequests();
    }
    void appendLocal(const QList<LinkMapping>& mappings, const QList<MigrationTask>& tasks = {})
    {
        const HistoryFiles files = AccountFixture::historyOf(AccountFixture::email);
        for (const LinkMapping& mapping : mappings)
            JSONLStore::append(mapping, files.mappingsPath);
        for (const MigrationTask& task : tasks)
            JSONLStore::append(task, files.tasksPath);
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AccountFixture>();
        QVERIFY(m_fixture->isReady());
    }
    void cleanup() { m_fixture.reset(); }

    void aSignInRestoresTheSnapshotIntoAnEmptyHistory()
    {
        fixture().storeCloudSnapshot(AccountFixture::thisDevice(),
                                     {fixture().mapping("A"), fixture().mapping("B")}, {fixture().task("A")});
        // Only an empty tasks file: still an empty history.
        platform::createDirectories(
            QFileInfo(AccountFixture::historyOf(AccountFixture::email).tasksPath).path());
        platform::writeFileAtomically(AccountFixture::historyOf(AccountFixture::email).tasksPath,
                                      QByteArray());
        fixture().start();
        QVERIFY(fixture().signIn());

        QCOMPARE(text(statusLine(viewModel())),
                 QStringLiteral(
                     "Restored the migration snapshot for this account on this device from the cloud."));
        QCOMPARE(storedMappings(), (QStringList{"A", "B"}));
        QCOMPARE(storedTasks(), QStringList{"A"});
        // The restored history is read off the main thread.
        QTRY_COMPARE(viewModel().history().migratedMappings().size(), 2);
        QTRY_COMPARE(viewModel().history().tasks().size(), 1);
        QVERIFY(viewModel().accountState().lastMigrationSyncAt());
        QCOMPARE(viewModel().accountState().migrationAccountOverview()->totalMappings, 2);
        QCOMPARE(viewModel().accountState().currentMigrationDeviceFingerprint(),
                 std::optional(AccountFixture::thisDevice()));
        QVERIFY(!viewModel().accountState().isSyncingMigrationSnapshot());
    }

    void theUploadRoadKeepsBackupsOfTheReplacedFiles()
    {
        startSignedIn();
        appendLocal({fixture().mapping("A"), fixture().mapping("B")}, {fixture().task("A")});
        const HistoryFiles files = AccountFixture::historyOf(AccountFixture::email);
        const QByteArray mappingsBefore = platform::readWholeFile(files.mappingsPath);
        const QByteArray tasksBefore = platform::readWholeFile(files.tasksPath);
        ViewModelInternals::context(viewModel())
            .activity()
            .setErrorMessage(BilingualText::same(QStringLiteral("an older error")));

        runTask(viewModel().account().cloudSync().syncMigrationSnapshot(true));
        QCOMPARE(
            text(statusLine(viewModel())),
            QStringLiteral("Synced this account's migration records for this device: 2 migrated items and "
                           "1 history entries."));
        QVERIFY(!errorLine(viewModel()));
        QCOMPARE(fixture().requestsTo(kSyncPath), 1);
        QCOMPARE(fixture().requestsTo(kSnapshotPath), 0);
        QCOMPARE(storedMappings(), (QStringList{"A", "B"}));
        QCOMPARE(platform::readWholeFile(files.mappingsPath + ".bak"), mappingsBefore);
        QCOMPARE(platform::readWholeFile(files.tasksPath + ".bak"), tasksBefore);
        QCOMPARE(QFileInfo(files.tasksPath).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
        QVERIFY(viewModel().accountState().lastMigrationSyncAt());
        QCOMPARE(viewModel().accountState().migrationAccountOverview()->totalMappings, 2);
    }

    void theDownloadRoad_data()
    {
        QTest::addColumn<bool>("cloudHasHistory");
        QTest::addColumn<QString>("status");
        QTest::newRow("cloud history")
            << true << "Local history was empty, so the device snapshot was restored from the cloud.";
        QTest::newRow("nothing in the cloud")
            << false << "There is no cloud migration history for this account on this device yet.";
    }
    void theDownloadRoad()
    {
        QFETCH(bool, cloudHasHistory);
        startSignedIn();
        if (cloudHasHistory)
            fixture().storeCloudSnapshot(AccountFixture::thisDevice(), {fixture().mapping("A")});
        http().setDelay(kSnapshotPath, std::chrono::milliseconds(100));

        auto sync = viewModel().account().cloudSync().syncMigrationSnapshot(true);
        QVERIFY(viewModel().accountState().isSyncingMigrationSnapshot());
        // Neither flow of the shared flag starts again meanwhile.
        runTask(viewModel().account().cloudSync().syncMigrationSnapshot(true));
        runTask(viewModel().account().cloudSync().restoreMigrationSnapshotFromCloudIfNeeded(false));
        runTask(std::move(sync));

        QTEST(text(statusLine(viewModel())), "status");
        QCOMPARE(fixture().requestsTo(kSnapshotPath), 1);
        QCOMPARE(fixture().requestsTo(kSyncPath), 0);
        QCOMPARE(fixture().requestsTo(kOverviewPath), 1);
        QCOMPARE(storedMappings(), cloudHasHistory ? QStringList{"A"} : QStringList());
        QCOMPARE(viewModel().accountState().lastMigrationSyncAt().has_value(), cloudHasHistory);
        QVERIFY(!viewModel().accountState().isSyncingMigrationSnapshot());
    }

    void theSnapshotMustBelongToThisDevice_data()
    {
        QTest::addColumn<bool>("otherDevice");
        QTest::newRow("another device") << true;
        QTest::newRow("this device in other letter case and spaces") << false;
    }
    void theSnapshotMustBelongToThisDevice()
    {
        QFETCH(bool, otherDevice);
        startSignedIn();
        const QString fingerprint = otherDevice
                                        ? QStringLiteral("device-b")
                                        : QStringLiteral(" ") + AccountFixture::thisDevice().toUpper();
        http().answerNext(kSnapshotPath, snapshotReply(fingerprint, {fixture().mapping("A")}));

        runTask(viewModel().account().cloudSync().syncMigrationSnapshot(true));
        QCOMPARE(viewModel().accountState().currentMigrationDeviceFingerprint(),
                 std::optional(AccountFixture::thisDevice()));
        if (otherDevice) {
            const OrvalinkError expected = OrvalinkError::cloudSnapshotDeviceMismatch(
                AccountFixture::thisDevice(), QStringLiteral("device-b"));
            QCOMPARE(expected.code(), QStringLiteral("E017"));
            QVERIFY(expected.errorDescription().startsWith("Cloud snapshot belongs to another device."));
            // The product error is shown through the failure texts, in the user's language.
            QCOMPARE(
                text(errorLine(viewModel())),
                QStringLiteral(
                    "This cloud snapshot belongs to another device and cannot be restored here directly."));
            QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Failed to sync migration history."));
            QVERIFY(!QFileInfo::exists(AccountFixture::historyOf(AccountFixture::email).mappingsPath));
        } else {
            QVERIFY(!errorLine(viewModel()));
            QCOMPARE(storedMappings(), QStringList{"A"});
        }
    }

    void unsafeRowsAreDropped_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("asTask");
        QTest::addColumn<int>("dropped");
        const QString movies = QStringLiteral("<home>/Movies/X");
        // Where a migration to the target root "<volumes>/Ext" puts the movie.
        const QString disk = QStringLiteral("<volumes>/Ext<home>/Movies/X");
        QTest::newRow("relative source") << "Movies/X" << disk << false << 1;
        QTest::newRow("source not in standard form") << "<home>/Music/../Movies/X" << disk << false << 1;
        QTest::newRow("target with a trailing slash") << movies << disk + "/" << false << 1;
        QTest::newRow("protected source") << "/etc/ssh" << disk << false << 1;
        QTest::newRow("the home folder itself") << "<home>" << disk << false << 1;
        QTest::newRow("target inside the source") << movies << movies + "/inner" << false << 1;
        QTest::newRow("source inside the target") << movies << "<home>" << false << 1;
        QTest::newRow("mapping without a target") << movies << "" << false << 1;
        QTest::newRow("task without a target") << movies << "" << true << 0;
        QTest::newRow("unsafe task") << "/usr/lib" << disk << true << 1;
        QTest::newRow("target not the source's place below a root")
            << movies << "<volumes>/Ext/X" << false << 1;
        QTest::newRow("target on no volume") << movies << "<home>/Elsewhere<home>/Movies/X" << false << 1;
        QTest::newRow("source outside the home") << "<root>/outside/X"
                                                 << "<volumes>/Ext<root>/outside/X" << false << 1;
        QTest::newRow("safe mapping") << movies << disk << false << 0;
    }
    void unsafeRowsAreDropped()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(bool, asTask);
        QFETCH(int, dropped);
        startSignedIn();
        const auto resolve = [this](QString path) {
            return path.replace("<home>", fixture().world.home.home())
                .replace("<volumes>", fixture().world.home.volumes())
                .replace("<root>", fixture().world.home.root());
        };
        LinkMapping mapping = fixture().mapping("Y");
        mapping.sourcePath = resolve(source);
        mapping.targetPath = resolve(target);
        MigrationTask task = fixture().task("Y");
        task.sourcePath = mapping.sourcePath;
        task.targetPath = mapping.targetPath;
        const LinkMapping safe = fixture().mapping("Safe");
        http().answerNext(kSnapshotPath, asTask
                                             ? snapshotReply(AccountFixture::thisDevice(), {safe}, {task})
                                             : snapshotReply(AccountFixture::thisDevice(), {safe, mapping}));

        runTask(viewModel().account().cloudSync().syncMigrationSnapshot(true));
        const qsizetype stored = storedMappings().size() + storedTasks().size();
        QCOMPARE(stored, 2 - dropped);
        QCOMPARE(storedMappings().first(), QStringLiteral("Safe"));
        const QString restored =
            QStringLiteral("Local history was empty, so the device snapshot was restored from the cloud.");
        QCOMPARE(text(statusLine(viewModel())),
                 dropped == 0 ? restored : restored + " Ignored 1 cloud records with unsafe paths.");
    }

    void theDroppedRowsInTheThreeLanguages_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("status");
        QTest::newRow("english") << UILanguage::english
                                 << "Local history was empty, so the device snapshot was restored from the "
                                    "cloud. Ignored 1 cloud records with unsafe paths.";
        QTest::newRow("chinese")
            << UILanguage::chinese
            << "本地历史为空，已从云端恢复当前账号在这台设备上的迁移记录。已忽略 1 条路径不安全的云端记录。";
        QTest::newRow("bilingual")
            << UILanguage::bilingual
            << "本地历史为空，已从云端恢复当前账号在这台设备上的迁移记录。已忽略 1 "
               "条路径不安全的云端记录。 Local history was empty, so the device snapshot "
               "was restored from the cloud. Ignored 1 cloud records with unsafe paths.";
    }
    void theDroppedRowsInTheThreeLanguages()
    {
        QFETCH(UILanguage, language);
        startSignedIn();
        viewModel().settings().setLanguage(language);
        LinkMapping unsafe = fixture().mapping("Y");
        unsafe.sourcePath = QStringLiteral("/etc");
        http().answerNext(kSnapshotPath,
                          snapshotReply(AccountFixture::thisDevice(), {fixture().mapping("A"), unsafe}));
        runTask(viewModel().account().cloudSync().syncMigrationSnapshot(true));
        QTEST(text(statusLine(viewModel())), "status");
    }

    // A migration that finishes (and an undo that removes a record) while the upload is out: the
    // install keeps both changes instead of the history as it was sent.
    void changesMadeWhileTheUploadIsOutSurvive()
    {
        startSignedIn();
        const LinkMapping undone = fixture().mapping("Undone");
        appendLocal({fixture().mapping("A"), undone}, {fixture().task("A")});
        http().setDelay(kSyncPath, std::chrono::milliseconds(100));

        // The upload is built before the flow first waits; the reply comes back later.
        auto sync = viewModel().account().cloudSync().syncMigrationSnapshot(true);
        appendLocal({fixture().mapping("New")}, {fixture().task("New")});
        JSONLStore::removeWhere<LinkMapping>(
            AccountFixture::historyOf(AccountFixture::email).mappingsPath,
            [&](const LinkMapping& record) { return record.id == undone.id; });
        runTask(std::move(sync));

        QCOMPARE(storedMappings(), (QStringList{"A", "New"}));
        QCOMPARE(storedTasks(), (QStringList{"A", "New"}));
        QCOMPARE(
            text(statusLine(viewModel())),
            QStringLiteral("Synced this account's migration records for this device: 2 migrated items and "
                           "2 history entries."));
        QCOMPARE(viewModel().history().migratedMappings().size(), 2);
    }

    void aDownloadIsNotInstalledOverAHistoryThatFilledMeanwhile()
    {
        startSignedIn();
        fixture().storeCloudSnapshot(AccountFixture::thisDevice(), {fixture().mapping("Cloud")});
        http().setDelay(kSnapshotPath, std::chrono::milliseconds(100));

        auto sync = viewModel().account().cloudSync().syncMigrationSnapshot(true);
        appendLocal({}, {fixture().task("Local")});
        runTask(std::move(sync));

        QCOMPARE(storedMappings(), QStringList());
        QCOMPARE(storedTasks(), QStringList{"Local"});
        QVERIFY(!viewModel().accountState().isSyncingMigrationSnapshot());
    }

    void aResultArrivingAfterSignOutIsDropped()
    {
        startSignedIn();
        appendLocal({fixture().mapping("A")});
        const QByteArray before =
            platform::readWholeFile(AccountFixture::historyOf(AccountFixture::email).mappingsPath);
        http().setDelay(kSyncPath, std::chrono::milliseconds(1000));

        auto sync = viewModel().account().cloudSync().syncMigrationSnapshot(true);
        runTask(viewModel().account().auth().signOutFromBackend());
        runTask(std::move(sync));

        QVERIFY(!QFileInfo::exists(AccountFixture::historyOf(QString()).mappingsPath));
        QCOMPARE(platform::readWholeFile(AccountFixture::historyOf(AccountFixture::email).mappingsPath),
                 before);
        QVERIFY(!QFileInfo::exists(AccountFixture::historyOf(AccountFixture::email).mappingsPath + ".bak"));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Signed out."));
        QVERIFY(!viewModel().accountState().isSyncingMigrationSnapshot());
        QVERIFY(!viewModel().accountState().lastMigrationSyncAt());
    }

    // The tasks file does not fit on the disk: neither file is replaced.
    void bothHistoryFilesAreReplacedOrNeither()
    {
        startSignedIn();
        TmpfsMount mount(QFileInfo(AccountFixture::historyOf(AccountFixture::email).mappingsPath).path(),
                         64 * 1024);
        if (!mount.isValid())
            QSKIP(qPrintable(mount.skipReason()));
        appendLocal({fixture().mapping("A")}, {fixture().task("A")});
        const HistoryFiles files = AccountFixture::historyOf(AccountFixture::email);
        const QByteArray mappingsBefore = platform::readWholeFile(files.mappingsPath);
        const QByteArray tasksBefore = platform::readWholeFile(files.tasksPath);
        QList<MigrationTask> manyTasks;
        for (int index = 0; index < 600; ++index)
            manyTasks.append(fixture().task(QStringLiteral("T%1").arg(index)));
        http().answerNext(
            kSyncPath, snapshotReply(AccountFixture::thisDevice(), {fixture().mapping("Other")}, manyTasks));

        runTask(viewModel().account().cloudSync().syncMigrationSnapshot(true));
        QCOMPARE(text(statusLine(viewModel())), QStringLiteral("Failed to sync migration history."));
        QVERIFY(errorLine(viewModel()));
        QCOMPARE(platform::readWholeFile(files.mappingsPath), mappingsBefore);
        QCOMPARE(platform::readWholeFile(files.tasksPath), tasksBefore);
    }
};

QTEST_GUILESS_MAIN(CloudSyncTest)
#include "tst_cloudsync.moc"
