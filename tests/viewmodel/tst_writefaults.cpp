// Every file the program rewrites whole, rewritten on a disk that is full or read-only: the old
// content stays byte for byte, nothing half-written is left beside it, and the failure is reported
// (only the scan cache, a cache, fails quietly).
#include "backend/AuthSessionStore.h"
#include "backend/DeviceIdentityStore.h"
#include "diskops/OperationJournal.h"
#include "model/AppConfig.h"
#include "model/AppPaths.h"
#include "model/DirectoryEntry.h"
#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "store/ConfigStore.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/ScanCacheStore.h"
#include "support/FailingFolder.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "viewmodel/history/FileSetReplacement.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <functional>
#include <memory>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::test::WriteFault)

namespace {

LinkMapping mappingNamed(const QString& name)
{
    LinkMapping mapping;
    mapping.id = QUuid::createUuid();
    mapping.sourcePath = QStringLiteral("/home/anna/") + name;
    mapping.targetPath = QStringLiteral("/media/anna/VOL/Orvalink/home/anna/") + name;
    mapping.anchorUser = QStringLiteral("anna");
    mapping.volumeUUID = QStringLiteral("1234-ABCD");
    mapping.createdAt = mapping.updatedAt = QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC);
    return mapping;
}

MigrationTask taskFor(const LinkMapping& mapping)
{
    MigrationTask task;
    task.id = QUuid::createUuid();
    task.sourcePath = mapping.sourcePath;
    task.targetPath = mapping.targetPath;
    task.anchorUser = mapping.anchorUser;
    task.volumeUUID = mapping.volumeUUID;
    task.status = TaskStatus::completed;
    task.startedAt = task.endedAt = mapping.createdAt;
    return task;
}

JournalRecord undoRecordFor(const LinkMapping& mapping)
{
    JournalRecord record;
    record.kind = JournalKind::undo;
    record.id = QUuid::createUuid();
    record.sourcePath = mapping.sourcePath;
    record.targetPath = mapping.targetPath;
    record.mappingID = mapping.id;
    record.anchorUser = mapping.anchorUser;
    record.volumeUUID = mapping.volumeUUID;
    record.startedAt = mapping.createdAt;
    record.itemIdentity = QStringLiteral("1:2");
    return record;
}

// Every entry below `folder` but the fault's own filler, with its content, so that a leftover
// temporary file or a changed byte shows.
QMap<QString, QByteArray> contentsOf(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(folder.size() + 1);
        if (relative == QLatin1String(".filler"))
            continue;
        QFile file(path);
        contents.insert(relative, it.fileInfo().isDir() || !file.open(QIODevice::ReadOnly)
                                      ? QByteArray("<dir>")
                                      : file.readAll());
    }
    return contents;
}

// One store: what it holds before the fault, and the rewrite tried during it.
struct StoreCase {
    std::function<void()> seed;
    std::function<void()> rewrite;
    bool reportsFailure = true;
};

} // namespace

class WriteFaultsTest : public QObject {
    Q_OBJECT

    // The stores, each with its seed and rewrite; shared state lives as long as the case.
    static QHash<QString, StoreCase> storeCases()
    {
        const auto journal = std::make_shared<std::optional<OperationJournal>>();
        const LinkMapping kept = mappingNamed(QStringLiteral("Kept"));
        const LinkMapping undone = mappingNamed(QStringLiteral("Undone"));
        const auto mappingsFile = [] {
            return MappingStore().filePath();
        };
        const auto tasksFile = [] {
            return TaskStore().filePath();
        };
        const auto seedHistory = [=] {
            JSONLStore::append(kept, mappingsFile());
            JSONLStore::append(undone, mappingsFile());
            JSONLStore::append(taskFor(kept), tasksFile());
        };
        DirectoryEntry entry;
        entry.id = QUuid::createUuid();
        entry.name = QStringLiteral("Big");
        entry.path = QStringLiteral("/home/anna/Big");
        entry.kind = EntryKind::directory;
        entry.sizeBytes = 1'180'000'000;
        const QString scanned = QStringLiteral("/home/anna");

        BackendSession session;
        session.email = QStringLiteral("anna@example.com");
        session.accessToken = QStringLiteral("access");
        session.refreshToken = QStringLiteral("refresh");
        session.accessTokenExpiresAt = session.signedInAt =
            QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC);

        const auto supportFile = [](const char* name) {
            return AppPaths::applicationSupportFile(QString::fromLatin1(name));
        };
        return {
            {QStringLiteral("mappings rewritten by an undo"),
             {seedHistory,
              [=] {
                  JSONLStore::removeWhere<LinkMapping>(
                      mappingsFile(), [&](const LinkMapping& each) { return each.id == undone.id; });
              }}},
            {QStringLiteral("tasks rewritten whole"),
             {seedHistory,
              [=] {
                  JSONLStore::writeAll(QList<MigrationTask>{taskFor(undone)}, tasksFile());
              }}},
            {QStringLiteral("history installed with its backup"),
             {seedHistory,
              [=] {
                  replaceFilesTogether(
                      {{mappingsFile(), JSONLStore::encodeLine(undone.toJson()) + '\n'},
                       {tasksFile(), JSONLStore::encodeLine(taskFor(undone).toJson()) + '\n'}});
              }}},
            {QStringLiteral("operation record, a step"),
             {[=] { journal->emplace(undoRecordFor(undone)); },
              [=] {
                  (*journal)->update([](JournalRecord& record) { record.forced = true; });
              }}},
            {QStringLiteral("operation record, a new one"),
             {[] { platform::createDirectories(OperationJournal::directory()); },
              [=] {
                  OperationJournal started(undoRecordFor(kept));
              }}},
            {QStringLiteral("configuration"),
             {[=] {
                  AppConfig config = AppConfig::defaults(QStringLiteral("anna"));
                  config.minLargeSizeBytes = 7 * 1024 * 1024;
                  ConfigStore(supportFile("config.json")).save(config);
              },
              [=] {
                  ConfigStore(supportFile("config.json")).save(AppConfig::defaults(QStringLiteral("anna")));
              }}},
            {QStringLiteral("session"),
             {[=] { AuthSessionStore(supportFile("auth_session.json")).save(session); },
              [=] {
                  BackendSession renewed = session;
                  renewed.accessToken = QStringLiteral("renewed");
                  AuthSessionStore(supportFile("auth_session.json")).save(renewed);
              }}},
            {QStringLiteral("device identity"),
             {// A file that holds no identity is replaced by a new one.
              [=] { platform::writeFileAtomically(supportFile("device_id.txt"), "  \n", 0600); },
              [=] {
                  DeviceIdentityStore(supportFile("device_id.txt")).currentFingerprint();
              }}},
            {QStringLiteral("scan cache"),
             {[=] { ScanCacheStore(supportFile("scan_cache.json")).saveEntries({entry}, scanned, false); },
              [=] {
                  DirectoryEntry moved = entry;
                  moved.isSymbolicLink = true;
                  ScanCacheStore(supportFile("scan_cache.json")).saveEntries({moved}, scanned, false);
              },
              false}},
        };
    }

    // A fresh home whose application folder lies on a file system that can fail, with one store's
    // content written there.
    struct SeededStore {
        explicit SeededStore(const QString& store) : storeCase(storeCases().value(store))
        {
            if (support.skipReason())
                return;
            AppPaths::ensureBaseDirectories();
            storeCase.seed();
            before = contentsOf(home.appSupport());
        }
        TestHome home;
        mutable FailingFolder support{home.appSupport()};
        StoreCase storeCase;
        QMap<QString, QByteArray> before;
    };

private Q_SLOTS:
    void failedRewriteKeepsTheOldContent_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<WriteFault>("fault");
        const QStringList stores = storeCases().keys();
        for (const QString& store : stores) {
            for (const WriteFault fault : {WriteFault::diskFull, WriteFault::readOnly})
                QTest::addRow("%s, %s", qPrintable(store), writeFaultName(fault)) << store << fault;
        }
    }

    void failedRewriteKeepsTheOldContent()
    {
        QFETCH(QString, store);
        QFETCH(WriteFault, fault);
        const SeededStore seeded(store);
        SKIP_WITHOUT(seeded.support);
        const StoreCase& storeCase = seeded.storeCase;
        const QMap<QString, QByteArray>& before = seeded.before;

        QVERIFY(seeded.support.fail(fault));
        const int expected = fault == WriteFault::diskFull ? ENOSPC : EROFS;
        try {
            storeCase.rewrite();
            QVERIFY2(!storeCase.reportsFailure, "the failed rewrite was reported as done");
        } catch (const platform::PlatformError& error) {
            QVERIFY2(storeCase.reportsFailure, error.what());
            QCOMPARE(error.errorNumber(), expected);
        }
        seeded.support.heal();
        // A backup kept beside a file before the fault may stay: the old content twice is not lost.
        QMap<QString, QByteArray> after = contentsOf(seeded.home.appSupport());
        for (auto it = after.begin(); it != after.end();) {
            const bool backup = !before.contains(it.key()) && it.key().endsWith(QLatin1String(".bak")) &&
                                before.value(it.key().chopped(4)) == it.value();
            it = backup ? after.erase(it) : std::next(it);
        }
        QCOMPARE(after, before);
    }

    // The same rewrite with room to spare goes through: the cases above fail for the fault alone.
    void rewriteWithRoomChangesTheFile_data()
    {
        QTest::addColumn<QString>("store");
        for (const QString& store : storeCases().keys())
            QTest::newRow(qPrintable(store)) << store;
    }

    void rewriteWithRoomChangesTheFile()
    {
        QFETCH(QString, store);
        const SeededStore seeded(store);
        SKIP_WITHOUT(seeded.support);
        seeded.storeCase.rewrite();
        QVERIFY(contentsOf(seeded.home.appSupport()) != seeded.before);
    }
};

QTEST_GUILESS_MAIN(WriteFaultsTest)
#include "tst_writefaults.moc"
