// Runs one migration and nothing else, for the test that kills migrations at random moments:
//   orvalink-test-migrate-once SOURCE TARGET_ROOT
// Prints "ready" once everything is set up (the kill timer starts there), then the final status.
// The environment decides the application folders and the volumes directory.
#include "diskops/ActiveProcessService.h"
#include "diskops/MigrationEngine.h"
#include "diskops/PathMappingService.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "diskops/ScanService.h"
#include "diskops/VolumeService.h"
#include "model/AppConfig.h"
#include "model/AppPaths.h"
#include "platform/UserLocations.h"
#include "store/HistoryStores.h"
#include "store/LogService.h"

#include <cstdio>

using namespace orvalink;

namespace {

// No administrator here: a permission error is a failure.
class NoAdministrator : public platform::CommandRunner {
public:
    platform::CommandOutcome run(const QString&) override { return {126, false, {}, "no administrator"}; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: orvalink-test-migrate-once SOURCE TARGET_ROOT\n", stderr);
        return 2;
    }
    const ScanService scan(1);
    const PathMappingService pathMapping;
    const VolumeService volumes;
    const ActiveProcessService processes;
    const MappingStore mappings;
    const TaskStore tasks;
    LogService log(AppPaths::logsFile());
    const PrivilegedFileOperationService privileged(std::make_shared<NoAdministrator>());
    const MigrationEngine engine({scan, pathMapping, volumes, processes, mappings, tasks, log, privileged});
    AppConfig config = AppConfig::defaults(platform::userName());
    config.defaultTargetRoot = QString::fromLocal8Bit(argv[2]);

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    const MigrationExecutionResult result =
        engine.retryMigration(QString::fromLocal8Bit(argv[1]), config, std::nullopt, false);
    std::printf("%s %s\n", qPrintable(toText(result.task.status)),
                qPrintable(result.task.errorMessage.value_or("")));
    return result.task.status == TaskStatus::completed ? 0 : 1;
}
