#include "JournalScenes.h"

#include "diskops/CreatedFolders.h"
#include "diskops/ReservedPaths.h"
#include "platform/StandardPath.h"
#include "platform/UserLocations.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

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

namespace {

bool moveMount(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::mount(source.constData(), target.constData(), nullptr, MS_MOVE, nullptr) == 0)
        return true;
    // A shared parent mount refuses MS_MOVE: mount it again there and take the old one away.
    return ::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) == 0 &&
           ::umount2(source.constData(), MNT_DETACH) == 0;
}

} // namespace

VolumeAway::VolumeAway(QString volume, QString away)
    : m_volume(std::move(volume)), m_awayPath(std::move(away))
{
    m_away = moveMount(m_volume, m_awayPath);
}

VolumeAway::~VolumeAway()
{
    if (m_away && !moveMount(m_awayPath, m_volume))
        qWarning("could not put the volume back at %s", qPrintable(m_volume));
}

QStringList operationsFolderNames()
{
    return QDir(OperationJournal::directory())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace orvalink::test
