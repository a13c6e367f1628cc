// Runs one disk operation and nothing else, for the tests that kill operations at chosen moments:
//   orvalink-test-disk-operation migrate SOURCE TARGET_ROOT
//   orvalink-test-disk-operation undo
//   orvalink-test-disk-operation force-undo append|overwrite
//   orvalink-test-disk-operation recover
// "undo" undoes the newest migration, "force-undo" restores it into its occupied source path;
// "recover" runs the start-up recovery of interrupted operations. Prints "ready" once everything is
// set up (the kill timer starts there), then the outcome. The environment decides the application
// folders, the volumes directory and, with ORVALINK_TEST_DEVICES, the folder of the device facts
// (by-uuid, udev, block) the test gave its volumes.
#include "diskops/ActiveProcessService.h"
#include "diskops/MigrationEngine.h"
#include "diskops/OperationRecovery.h"
#include "diskops/PathMappingService.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "diskops/ScanService.h"
#include "diskops/UndoService.h"
#include "diskops/VolumeService.h"
#include "model/AppConfig.h"
#include "model/AppPaths.h"
#include "platform/UserLocations.h"
#include "store/HistoryStores.h"
#include "store/LogService.h"

#include <cstdio>
#include <cstring>

using namespace orvalink;

namespace {

// No administrator here: a permission error is a failure.
class NoAdministrator : public platform::CommandRunner {
public:
    platform::CommandOutcome run(const QString&) override { return {126, false, {}, "no administrator"}; }
};

void ready()
{
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
}

platform::DeviceDirectories deviceDirectories()
{
    const QString folder = qEnvironmentVariable("ORVALINK_TEST_DEVICES");
    if (folder.isEmpty())
        return {};
    return {folder + QStringLiteral("/by-uuid"), folder + QStringLiteral("/udev"),
            folder + QStringLiteral("/block")};
}

int usage()
{
    std::fputs("usage: orvalink-test-disk-operation migrate SOURCE TARGET_ROOT | undo | force-undo "
               "append|overwrite | recover\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const char* mode = argv[1];
    const ScanService scan(1);
    const PathMappingService pathMapping;
    const VolumeService volumes(deviceDirectories());
    const ActiveProcessService processes;
    const MappingStore mappings;
    const TaskStore tasks;
    LogService log(AppPaths::logsFile());
    const PrivilegedFileOperationService privileged(std::make_shared<NoAdministrator>());

    if (std::strcmp(mode, "migrate") == 0 && argc == 4) {
        const MigrationEngine engine(
            {scan, pathMapping, volumes, processes, mappings, tasks, log, privileged});
        AppConfig config = AppConfig::defaults(platform::userName());
        config.defaultTargetRoot = QString::fromLocal8Bit(argv[3]);
        ready();
        const MigrationExecutionResult result =
            engine.migrate(QString::fromLocal8Bit(argv[2]), config, std::nullopt, false);
        std::printf("%s %s\n", qPrintable(toText(result.task.status)),
                    qPrintable(result.task.errorMessage.value_or("")));
        return result.task.status == TaskStatus::completed ? 0 : 1;
    }
    const bool forced = std::strcmp(mode, "force-undo") == 0 && argc == 3;
    if ((std::strcmp(mode, "undo") == 0 && argc == 2) || forced) {
        const UndoService undo(mappings, tasks, log, privileged, pathMapping, volumes, processes);
        UndoAnswers answers;
        if (forced) {
            const bool append = std::strcmp(argv[2], "append") == 0;
            if (!append && std::strcmp(argv[2], "overwrite") != 0)
                return usage();
            answers.mode = append ? ForcedUndoRestoreMode::append : ForcedUndoRestoreMode::overwrite;
        }
        const QList<LinkMapping> newest = undo.undoHistory(1);
        ready();
        try {
            undo.undoMigration(newest.isEmpty() ? QUuid() : newest.constFirst().id, platform::userName(),
                               answers);
        } catch (const std::exception& error) {
            std::printf("failed %s\n", error.what());
            return 1;
        }
        std::puts("undone");
        return 0;
    }
    if (std::strcmp(mode, "recover") == 0 && argc == 2) {
        ready();
        const auto recovered = OperationRecovery(log, volumes).recoverInterruptedOperations();
        std::printf("recovered %d\n", int(recovered.size()));
        return 0;
    }
    return usage();
}
