#include "WorkflowFixture.h"

#include "support/TaskRunner.h"
#include "support/TreeSnapshot.h"

#include <QSignalSpy>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvalink::test {

WorkflowFixture::WorkflowFixture(UILanguage language, qint64 volumeBytes)
{
    volume = std::make_unique<TmpfsMount>(volumePath(), volumeBytes);
    AppConfig config = fx.baseConfig();
    config.defaultTargetRoot = targetRoot();
    config.strictModeEnabled = true;
    config.uiLanguage = language;
    fx.writeConfig(config);
}

std::optional<QString> WorkflowFixture::skipReason() const
{
    if (!volume->isValid())
        return volume->skipReason();
    return std::nullopt;
}

void WorkflowFixture::setVolumeUUID(const QString& mountPoint, const QString& uuid)
{
    struct stat info {};
    ::stat(QFile::encodeName(mountPoint).constData(), &info);
    TestTree(fx.home.path(QStringLiteral("devices/udev")))
        .file(QStringLiteral("b%1:%2").arg(major(info.st_dev)).arg(minor(info.st_dev)),
              "E:ID_FS_UUID=" + uuid.toUtf8() + "\n");
}

MainViewModel& WorkflowFixture::vm()
{
    if (!viewModel) {
        const QString devices = fx.home.path(QStringLiteral("devices"));
        viewModel = fx.makeViewModel([devices](ViewModelParts& parts) {
            parts.volumeService = std::make_shared<VolumeService>(platform::DeviceDirectories{
                devices + QStringLiteral("/by-uuid"), devices + QStringLiteral("/udev"),
                devices + QStringLiteral("/block")});
            parts.activeProcessService = std::make_shared<ActiveProcessService>(
                ActiveProcessService::Timing{std::chrono::milliseconds(1500), std::chrono::milliseconds(50)});
        });
        viewModel->workflows().workflowSettings().progressInterval = std::chrono::milliseconds(5);
    }
    return *viewModel;
}

void finish(QCoro::Task<> flow)
{
    runTask(std::move(flow), std::chrono::seconds(60));
}

LargeAndSmallBatch makeLargeAndSmallBatch(WorkflowFixture& fixture)
{
    constexpr qint64 kMiB = 1024 * 1024;
    for (int i = 0; i < 96; ++i)
        fixture.tree.fileOfSize(QStringLiteral("Large/part%1/data%2.bin").arg(i % 8).arg(i), kMiB);
    fixture.tree.fileOfSize(QStringLiteral("Small/data.bin"), 64 * 1024);
    LargeAndSmallBatch batch;
    batch.large = fixture.tree.path(QStringLiteral("Large"));
    batch.small = fixture.tree.path(QStringLiteral("Small"));
    stampDistinctTimes(batch.large);
    batch.largeBefore = snapshotTree(batch.large);
    batch.smallBefore = snapshotTree(batch.small);
    return batch;
}

bool waitUntilMigrating(MainViewModel& vm, const QString& source)
{
    QSignalSpy progress(&vm.activity(), &ActivityState::migrationProcessedBytesChanged);
    while (vm.activity().migrationCurrentPath() != std::optional<QString>(source) ||
           vm.activity().migrationProcessedBytes() <= 0) {
        if (!progress.wait(20000))
            return false;
    }
    return true;
}

} // namespace orvalink::test
