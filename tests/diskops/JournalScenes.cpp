#include "JournalScenes.h"

#include "diskops/CreatedFolders.h"
#include "diskops/ReservedPaths.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace orvalink::test {

JournalRecord journalRecordFor(const EngineFixture& fx, JournalKind kind, const QString& source)
{
    JournalRecord record;
    record.kind = kind;
    record.id = QUuid::createUuid();
    record.homeDirectory = platform::standardizedPath(platform::homeDirectory());
    record.sourcePath = source;
    record.targetPath = fx.targetOf(source);
    record.targetRoot = fx.targetRoot();
    record.mappingID = fx.mappings().isEmpty() ? QUuid::createUuid() : fx.mappings().constFirst().id;
    record.anchorUser = QStringLiteral("user");
    record.volumeUUID = fx.volumes.resolveVolumeUUID(fx.targetRoot());
    record.startedAt = QDateTime::currentDateTimeUtc();
    record.mappingsFile = fx.mappingStore.filePath();
    record.tasksFile = fx.taskStore.filePath();
    if (kind == JournalKind::migration) {
        record.stagingPath = makeReservedPath(source, ReservedSuffix::staging);
        record.itemIdentity = entryIdentityText(source);
        record.createdDirectories = missingFolders(platform::parentPath(record.targetPath));
    } else {
        record.itemIdentity = entryIdentityText(record.targetPath);
    }
    record.targetRootIdentity = entryIdentityText(targetAnchorPath(record));
    return record;
}

void leaveRecord(const JournalRecord& record)
{
    OperationJournal journal(record);
}

QList<RecoveredOperation> recoverOperations(EngineFixture& fx)
{
    return OperationRecovery(fx.log, fx.volumes).recoverInterruptedOperations();
}

QStringList migrateFolder(EngineFixture& fx, const QString& source)
{
    TestTree tree(source);
    tree.file("a.txt", "alpha");
    tree.fileOfSize("sub/b.bin", 96 * 1024);
    const QStringList whole = snapshotTree(source);
    const auto result = fx.migrate(source);
    if (result.task.status != TaskStatus::completed)
        qFatal("%s", qPrintable(describe(result)));
    QFile::remove(fx.taskStore.filePath());
    return whole;
}

void copyTree(const QString& from, const QString& to)
{
    QCOMPARE(QProcess::execute("cp", {"-a", "--", from, to}), 0);
}

QStringList operationsFolderNames()
{
    return QDir(OperationJournal::directory())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace orvalink::test
