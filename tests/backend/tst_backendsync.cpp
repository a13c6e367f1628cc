#include "AuthFixture.h"
#include "backend/BackendMigrationSyncService.h"
#include "backend/MigrationSyncPayloads.h"
#include "backend/SyncRequestBody.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

const QString kSnapshotPath = QStringLiteral("/api/v1/me/migrations/snapshot");
const QString kOverviewPath = QStringLiteral("/api/v1/me/migrations/overview");
const QUuid kMappingId = QUuid::fromString(QStringLiteral("9F1C2D3E-4A5B-4C6D-8E7F-0123456789AB"));
const QUuid kTaskId = QUuid::fromString(QStringLiteral("0A1B2C3D-4E5F-4A6B-9C7D-8E9FA0B1C2D3"));

QDateTime at(int hour, int msec = 0, int offsetHours = 0)
{
    return QDateTime(QDate(2025, 3, 1), QTime(hour + offsetHours, 30, 0, msec),
                     QTimeZone(offsetHours * 3600));
}

LinkMapping mapping(const QUuid& id, const QString& source)
{
    return LinkMapping{id,
                       source,
                       QStringLiteral("/Volumes/Ext") + source,
                       QStringLiteral("anna"),
                       QStringLiteral("VOL-1"),
                       at(8, 250, 8),
                       at(9)};
}

QList<MigrationTask> sampleTasks()
{
    MigrationTask bare{
        kTaskId,      "/home/anna/Movies", "/media/Ext/Movies",    "anna",      "VOL-1", TaskStatus::failed,
        std::nullopt, std::nullopt,        QStringLiteral("E005"), std::nullopt};
    MigrationTask full{QUuid::createUuid(),    "/home/anna/Music", "/media/Ext/Music", "anna", "VOL-1",
                       TaskStatus::rolledBack, at(10, 5, -5),      at(11, 999),        "E001", "Stopped."};
    return {bare, full};
}

LoopbackReply snapshotReply(const QJsonObject& data)
{
    return LoopbackReply::ok(data);
}

QJsonObject mappingRow(const QString& id)
{
    return QJsonObject{{"id", id},
                       {"sourcePath", "/home/anna/A"},
                       {"targetPath", "/media/Ext/A"},
                       {"anchorUser", "anna"},
                       {"volumeUUID", "VOL-1"},
                       {"createdAt", "2025-03-01T08:30:00Z"},
                       {"updatedAt", 1740817800}};
}

QJsonObject taskRow(const QString& id, const QString& status)
{
    return QJsonObject{{"id", id},
                       {"sourcePath", "/home/anna/A"},
                       {"targetPath", "/media/Ext/A"},
                       {"anchorUser", "anna"},
                       {"volumeUUID", "VOL-1"},
                       {"status", status}};
}

} // namespace

// Snapshot download, upload and the multi-device overview.
class BackendSyncTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AuthFixture> m_fixture;
    std::unique_ptr<BackendMigrationSyncService> m_sync;
    QString m_token;
    QString m_thisDevice;

    QString base() const { return m_fixture->base(); }
    LoopbackHttpServer& http() { return m_fixture->service.http(); }

    MigrationSyncSnapshot upload(const QString& device, const QList<LinkMapping>& mappings,
                                 const QList<MigrationTask>& tasks = {})
    {
        return runTask(m_sync->sync(base(), m_token, device, mappings, tasks));
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<AuthFixture>();
        QVERIFY(m_fixture->isReady());
        m_token = m_fixture->signIn().accessToken;
        m_thisDevice = AuthFixture::deviceStore().currentFingerprint();
        m_sync = std::make_unique<BackendMigrationSyncService>(BackendAPIClient(m_fixture->network.get()));
        http().clearRequests();
    }

    void cleanup()
    {
        QCOMPARE(wireRuleViolation(http().requests()), QString());
        m_sync.reset();
        m_fixture.reset();
    }

    // The body written row by row is the request object's compact JSON, byte for byte, with or
    // without rows of either kind and with text that needs escaping.
    void aBodyWrittenRowByRowIsTheRequestObject()
    {
        const QList<LinkMapping> mappings{
            mapping(kMappingId, QStringLiteral("/home/anna/Movies")),
            mapping(QUuid::createUuid(), QStringLiteral("/home/anna/\"q\" \\ 照片\n"))};
        const QList<MigrationTask> tasks = sampleTasks();
        const QList<QPair<QList<LinkMapping>, QList<MigrationTask>>> cases{
            {mappings, tasks}, {{}, tasks}, {mappings, {}}, {{}, {}}};
        for (const auto& [someMappings, someTasks] : cases) {
            syncwire::SyncRequestBody body(QStringLiteral("device \"7\""));
            for (const LinkMapping& each : someMappings)
                body.addMapping(each);
            for (const MigrationTask& each : someTasks)
                body.addTask(each);
            QCOMPARE(body.take(), QJsonDocument(syncwire::makeSyncRequest(QStringLiteral("device \"7\""),
                                                                          someMappings, someTasks))
                                      .toJson(QJsonDocument::Compact));
        }
    }

    void uploadBodyIsNormalized()
    {
        const LinkMapping local = mapping(kMappingId, QStringLiteral("/home/anna/Movies"));
        const QList<MigrationTask> tasks = sampleTasks();
        const MigrationSyncSnapshot stored = upload(m_thisDevice, {local}, tasks);

        const LoopbackRequest request = http().requests().constLast();
        QCOMPARE(request.header("Authorization"), "Bearer " + m_token.toUtf8());
        const QJsonObject body = request.jsonBody();
        QCOMPARE(body.value("deviceFingerprint").toString(), m_thisDevice);
        const QJsonObject sentMapping = body.value("mappings")[0].toObject();
        QCOMPARE(sentMapping.value("id").toString(), QStringLiteral("9f1c2d3e-4a5b-4c6d-8e7f-0123456789ab"));
        QCOMPARE(sentMapping.value("createdAt").toString(), QStringLiteral("2025-03-01T08:30:00.250Z"));
        QCOMPARE(sentMapping.value("updatedAt").toString(), QStringLiteral("2025-03-01T09:30:00.000Z"));
        const QJsonObject bare = body.value("tasks")[0].toObject();
        QCOMPARE(bare.value("id").toString(), QStringLiteral("0a1b2c3d-4e5f-4a6b-9c7d-8e9fa0b1c2d3"));
        const QStringList bareKeys = bare.keys();
        QCOMPARE(QSet<QString>(bareKeys.cbegin(), bareKeys.cend()),
                 (QSet<QString>{"id", "sourcePath", "targetPath", "anchorUser", "volumeUUID", "status",
                                "errorCode"}));
        QCOMPARE(bare.value("status").toString(), QStringLiteral("failed"));
        const QJsonObject full = body.value("tasks")[1].toObject();
        QCOMPARE(full.value("status").toString(), QStringLiteral("rolledBack"));
        QCOMPARE(full.value("startedAt").toString(), QStringLiteral("2025-03-01T10:30:00.005Z"));
        QCOMPARE(full.value("endedAt").toString(), QStringLiteral("2025-03-01T11:30:00.999Z"));
        QCOMPARE(full.value("errorMessage").toString(), QStringLiteral("Stopped."));

        QCOMPARE(stored.deviceFingerprint, m_thisDevice);
        QCOMPARE(stored.mappings, QList<LinkMapping>{local});
        QCOMPARE(stored.tasks, tasks);
        QVERIFY(stored.syncedAt);
    }

    void snapshotBelongsToItsDevice()
    {
        upload(m_thisDevice, {mapping(kMappingId, QStringLiteral("/home/anna/Movies"))});
        const MigrationSyncSnapshot own = runTask(m_sync->fetchSnapshot(base(), m_token, m_thisDevice));
        QCOMPARE(own.mappings.size(), 1);
        QVERIFY(own.syncedAt);

        const MigrationSyncSnapshot other =
            runTask(m_sync->fetchSnapshot(base(), m_token, QStringLiteral("device-b")));
        QCOMPARE(other.deviceFingerprint, QStringLiteral("device-b"));
        QVERIFY(other.mappings.isEmpty() && other.tasks.isEmpty());
        QVERIFY(!other.syncedAt);
    }

    void fingerprintIsOneQueryValue()
    {
        const QString fingerprint = QStringLiteral("a&b=c+d e");
        runTask(m_sync->fetchSnapshot(base(), m_token, fingerprint));
        runTask(m_sync->fetchOverview(base(), m_token, fingerprint));
        const QList<LoopbackRequest> requests = http().requests();
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests[0].target.endsWith("?deviceFingerprint=a%26b%3Dc%2Bd%20e"));
        QCOMPARE(requests[0].queryValue("deviceFingerprint"), fingerprint);
        QCOMPARE(requests[1].queryValue("currentDeviceFingerprint"), fingerprint);
    }

    void unusableRowsAreDropped()
    {
        const QString upperId = QStringLiteral("9F1C2D3E-4A5B-4C6D-8E7F-0123456789AB");
        const QString lowerId = upperId.toLower();
        const QJsonObject data{
            {"deviceFingerprint", "Another-Device"},
            {"mappings", QJsonArray{mappingRow(upperId), mappingRow("word")}},
            {"tasks", QJsonArray{taskRow(lowerId, "COMPLETED"), taskRow(upperId, "rolledback"),
                                 taskRow(lowerId, "Completed"), taskRow(lowerId, "paused"),
                                 taskRow("xyz", "completed")}},
            {"syncedAt", QJsonValue::Null}};
        http().answerNext(kSnapshotPath, snapshotReply(data));
        const MigrationSyncSnapshot snapshot = runTask(m_sync->fetchSnapshot(base(), m_token, m_thisDevice));
        QCOMPARE(snapshot.deviceFingerprint, QStringLiteral("Another-Device"));
        QCOMPARE(snapshot.mappings.size(), 1);
        QCOMPARE(snapshot.mappings[0].id, kMappingId);
        QCOMPARE(snapshot.mappings[0].updatedAt,
                 QDateTime(QDate(2025, 3, 1), QTime(8, 30), QTimeZone::utc()));
        QCOMPARE(snapshot.tasks.size(), 3);
        QCOMPARE(snapshot.tasks[0].status, TaskStatus::completed);
        QCOMPARE(snapshot.tasks[1].status, TaskStatus::rolledBack);
        QCOMPARE(snapshot.tasks[2].status, TaskStatus::completed);
        QVERIFY(!snapshot.tasks[0].startedAt && !snapshot.tasks[0].errorCode);
        QVERIFY(!snapshot.syncedAt);
    }

    void incompleteSnapshotIsInvalid_data()
    {
        QTest::addColumn<QJsonObject>("data");
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QJsonObject noCreatedAt = mappingRow(id);
        noCreatedAt.remove("createdAt");
        QJsonObject digitDate = mappingRow(id);
        digitDate.insert("createdAt", "1740817800");
        QJsonObject noStatus = taskRow(id, "completed");
        noStatus.remove("status");
        const auto snapshot = [](const QJsonArray& mappings, const QJsonArray& tasks) {
            return QJsonObject{{"deviceFingerprint", "d"}, {"mappings", mappings}, {"tasks", tasks}};
        };
        QTest::newRow("mapping without createdAt") << snapshot({noCreatedAt}, {});
        QTest::newRow("date as a digit string") << snapshot({digitDate}, {});
        QTest::newRow("task without status") << snapshot({}, {noStatus});
        QTest::newRow("no task list") << QJsonObject{{"deviceFingerprint", "d"}, {"mappings", QJsonArray()}};
        QTest::newRow("no fingerprint") << QJsonObject{{"mappings", QJsonArray()}, {"tasks", QJsonArray()}};
    }

    void incompleteSnapshotIsInvalid()
    {
        QFETCH(QJsonObject, data);
        http().answerNext(kSnapshotPath, snapshotReply(data));
        const auto error = clientErrorOf(m_sync->fetchSnapshot(base(), m_token, m_thisDevice));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
    }

    void overviewAcrossDevices()
    {
        upload(m_thisDevice, {mapping(kMappingId, QStringLiteral("/home/anna/Movies"))}, sampleTasks());
        upload(QStringLiteral("device-b"),
               {mapping(QUuid::createUuid(), QStringLiteral("/home/anna/movies")),
                mapping(QUuid::createUuid(), QStringLiteral("/home/anna/Music"))});
        const BackendMigrationOverview overview =
            runTask(m_sync->fetchOverview(base(), m_token, m_thisDevice));
        QCOMPARE(overview.currentDeviceFingerprint, std::optional<QString>(m_thisDevice));
        QCOMPARE(overview.totalDevices, 2);
        QCOMPARE(overview.totalMappings, 3);
        QCOMPARE(overview.totalTasks, 2);
        QCOMPARE(overview.devices.size(), 2);
        for (const BackendMigrationDeviceOverview& device : overview.devices) {
            QCOMPARE(device.currentDevice, device.id() == m_thisDevice);
            QVERIFY(device.latestActivityAt);
        }
        QCOMPARE(overview.conflicts.size(), 1);
        const BackendMigrationConflict conflict = overview.conflicts.constFirst();
        QCOMPARE(conflict.id(), QStringLiteral("/home/anna/movies"));
        QCOMPARE(conflict.deviceFingerprints.size(), 2);
        QCOMPARE(conflict.targetPaths.size(), 2);
        QVERIFY(overview.syncedAt);
    }

    void overviewIsTakenAsSent()
    {
        const QJsonObject conflict{{"sourcePath", "/Home/A"},
                                   {"deviceFingerprints", QJsonArray{"x", "y"}},
                                   {"targetPaths", QJsonArray{"/t"}}};
        QJsonObject otherCase = conflict;
        otherCase.insert("sourcePath", "/home/a");
        const QJsonObject data{{"totalDevices", 5},
                               {"totalMappings", 7},
                               {"totalTasks", 0},
                               {"devices", QJsonArray{QJsonObject{{"deviceFingerprint", "x"},
                                                                  {"mappingCount", 1},
                                                                  {"taskCount", 0},
                                                                  {"currentDevice", false}}}},
                               {"conflicts", QJsonArray{conflict, otherCase}}};
        http().answerNext(kOverviewPath, LoopbackReply::ok(data));
        const BackendMigrationOverview overview =
            runTask(m_sync->fetchOverview(base(), m_token, m_thisDevice));
        QVERIFY(!overview.currentDeviceFingerprint && !overview.syncedAt);
        QCOMPARE(overview.totalDevices, 5);
        QCOMPARE(overview.totalMappings, 7);
        QCOMPARE(overview.devices,
                 (QList<BackendMigrationDeviceOverview>{{QStringLiteral("x"), 1, 0, std::nullopt, false}}));
        QCOMPARE(overview.conflicts.size(), 2);
        QCOMPARE(overview.conflicts[0].id(), overview.conflicts[1].id());
        QVERIFY(overview.conflicts[0] != overview.conflicts[1]);

        QJsonObject broken = data;
        broken.remove("conflicts");
        http().answerNext(kOverviewPath, LoopbackReply::ok(broken));
        const auto error = clientErrorOf(m_sync->fetchOverview(base(), m_token, m_thisDevice));
        QVERIFY(error);
        QCOMPARE(error->kind(), ClientError::Kind::invalidResponse);
    }
};

QTEST_GUILESS_MAIN(BackendSyncTest)
#include "tst_backendsync.moc"
