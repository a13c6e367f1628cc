#include "EngineFixture.h"

#include "model/AppPaths.h"
#include "platform/UserLocations.h"
#include "store/JSONLStore.h"
#include "support/MountNamespace.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace orvalink::test {

namespace {

LoopMount::Kind loopKindOf(EngineFixture::Volume volume)
{
    using Volume = EngineFixture::Volume;
    constexpr std::pair<Volume, LoopMount::Kind> kKinds[] = {
        {Volume::wholeSecondsExt4, LoopMount::Kind::wholeSecondsExt4},
        {Volume::vfat, LoopMount::Kind::vfat},
        {Volume::exfatFuse, LoopMount::Kind::exfatFuse},
        {Volume::fatFuse, LoopMount::Kind::fatFuse},
        {Volume::btrfs, LoopMount::Kind::btrfs},
        {Volume::btrfsWithoutAcls, LoopMount::Kind::btrfsWithoutAcls},
    };
    for (const auto& [each, kind] : kKinds) {
        if (each == volume)
            return kind;
    }
    return LoopMount::Kind::ext4;
}

} // namespace

EngineFixture::EngineFixture(Volume volume, qint64 volumeBytes)
    : tree(home.home()),
      volumes(platform::DeviceDirectories{home.path("devices/by-uuid"), home.path("devices/udev"),
                                          home.path("devices/block")}),
      log(AppPaths::logsFile()), runner(std::make_shared<ShellRunner>()), privileged(runner)
{
    // The operations the tests run in a process of their own read the same device facts.
    home.setEnv("ORVALINK_TEST_DEVICES", home.path("devices"));
    switch (volume) {
    case Volume::tmpfs:
        tmpfs = std::make_unique<TmpfsMount>(volumePath(), volumeBytes);
        break;
    case Volume::sameFileSystem:
        QDir().mkpath(home.path(QStringLiteral("disk")));
        bind = std::make_unique<BindMount>(home.path(QStringLiteral("disk")), volumePath());
        break;
    case Volume::wholeSecondsExt4:
    case Volume::vfat:
    case Volume::exfatFuse:
    case Volume::fatFuse:
    case Volume::btrfs:
    case Volume::btrfsWithoutAcls:
        loop = std::make_unique<LoopMount>(volumePath(), loopKindOf(volume), volumeBytes);
        break;
    }
}

std::optional<QString> EngineFixture::skipReason() const
{
    if (!home.isValid())
        return QStringLiteral("no temporary home");
    if (tmpfs && !tmpfs->isValid())
        return tmpfs->skipReason();
    if (bind && !bind->isValid())
        return bind->skipReason();
    if (loop && !loop->isValid())
        return loop->skipReason();
    return std::nullopt;
}

AppConfig EngineFixture::config() const
{
    AppConfig config = AppConfig::defaults(platform::userName());
    config.defaultTargetRoot = targetRoot();
    config.strictModeEnabled = true;
    return config;
}

MigrationEngine::Services EngineFixture::services()
{
    return {scan, pathMapping, volumes, processes, mappingStore, taskStore, log, privileged};
}

MigrationEngine EngineFixture::engine(MigrationEngine::StagedCallback staged,
                                      MigrationEngine::ArrivedCallback arrived)
{
    return MigrationEngine(services(), std::move(staged), std::move(arrived));
}

MigrationExecutionResult EngineFixture::migrate(const QString& sourcePath)
{
    return engine().migrate(sourcePath, config(), std::nullopt, false);
}

UndoService EngineFixture::undoService()
{
    return UndoService(mappingStore, taskStore, log, privileged, pathMapping, volumes, processes);
}

UndoResult EngineFixture::undoNewest(const QString& anchorUser, const UndoAnswers& answers)
{
    const UndoService undo = undoService();
    const QList<LinkMapping> newest = undo.undoHistory(1);
    return undo.undoMigration(newest.isEmpty() ? QUuid() : newest.constFirst().id, anchorUser, answers);
}

QList<MigrationTask> EngineFixture::tasks() const
{
    return JSONLStore::loadAll<MigrationTask>(taskStore.filePath());
}

QList<LinkMapping> EngineFixture::mappings() const
{
    return JSONLStore::loadAll<LinkMapping>(mappingStore.filePath());
}

QList<LogEntry> EngineFixture::logEntries() const
{
    return log.loadRecent(1000);
}

void EngineFixture::setVolumeUUID(const QString& mountPoint, const QString& uuid)
{
    struct stat info {};
    ::stat(QFile::encodeName(mountPoint).constData(), &info);
    TestTree(home.path("devices/udev"))
        .file(QStringLiteral("b%1:%2").arg(major(info.st_dev)).arg(minor(info.st_dev)),
              "E:ID_FS_UUID=" + uuid.toUtf8() + "\n");
}

std::unique_ptr<TmpfsMount> EngineFixture::mountClone(const QString& original, const QString& mountPoint,
                                                      const QString& uuid)
{
    auto clone = std::make_unique<TmpfsMount>(mountPoint);
    if (!clone->isValid())
        return clone;
    setVolumeUUID(mountPoint, uuid);
    if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), QStringLiteral("--"),
                                                 original + QStringLiteral("/."), mountPoint}) != 0)
        qFatal("could not copy %s", qPrintable(original));
    return clone;
}

QStringList EngineFixture::reservedSiblings(const QString& path, const QString& suffix) const
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QDir parent(path.left(slash));
    const QString pattern =
        QLatin1Char('.') + path.mid(slash + 1) + QStringLiteral(".orvalink-") + suffix + QStringLiteral("-*");
    QStringList found;
    for (const QString& name : parent.entryList({pattern}, QDir::AllEntries | QDir::Hidden | QDir::System))
        found.append(parent.filePath(name));
    return found;
}

QString describe(const MigrationExecutionResult& result)
{
    return toText(result.task.status) + QLatin1Char(' ') + result.task.errorCode.value_or(QString()) +
           QLatin1Char(' ') + result.task.errorMessage.value_or(QString());
}

RepairSummary countsOf(RepairSummary summary)
{
    summary.links.clear();
    return summary;
}

} // namespace orvalink::test
