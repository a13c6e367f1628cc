#pragma once

#include "ShellRunners.h"
#include "diskops/ActiveProcessService.h"
#include "diskops/LinkRepairService.h"
#include "diskops/MigrationEngine.h"
#include "diskops/PathMappingService.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "diskops/ScanService.h"
#include "diskops/UndoService.h"
#include "diskops/VolumeService.h"
#include "model/AppConfig.h"
#include "model/LinkMapping.h"
#include "model/LogEntry.h"
#include "model/MigrationTask.h"
#include "store/HistoryStores.h"
#include "store/LogService.h"
#include "support/BindMount.h"
#include "support/LoopMount.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TmpfsMount.h"

#include <QList>
#include <memory>
#include <optional>

namespace orvalink::test {

// Everything a migration, undo or repair needs, inside a temporary home below the build tree (strict
// mode stays on): a source tree in the home, a volume "External" in the volumes directory (a tmpfs,
// so moves cross file systems, a bind mount of a folder on the build tree's file system, or a
// loop-mounted file system that keeps coarse times), the services, the stores and a recording
// administrator runner. Needs root or the tests' own mount namespace for the mount (root alone for
// a loop mount); check skipReason() first.
class EngineFixture {
public:
    enum class Volume {
        tmpfs,
        sameFileSystem,
        wholeSecondsExt4,
        vfat,
        exfatFuse,
        fatFuse,
        btrfs,
        btrfsWithoutAcls
    };

    explicit EngineFixture(Volume volume = Volume::tmpfs, qint64 volumeBytes = 64 * 1024 * 1024);

    std::optional<QString> skipReason() const;

    QString volumePath() const { return home.volumes() + QStringLiteral("/External"); }
    // The target root of config(): a folder on the volume.
    QString targetRoot() const { return volumePath() + QStringLiteral("/Store"); }
    // Where a migrated source lands.
    QString targetOf(const QString& sourcePath) const { return targetRoot() + sourcePath; }

    AppConfig config() const;
    MigrationEngine::Services services();
    MigrationEngine engine(MigrationEngine::StagedCallback staged = {},
                           MigrationEngine::ArrivedCallback arrived = {});

    // Shorthand: a plain migration with no forced mode and no termination.
    MigrationExecutionResult migrate(const QString& sourcePath);

    // The undo service over the fixture's stores and services.
    UndoService undoService();
    // Undoes the newest mapping of the history (E014 when there is none) with `answers`.
    UndoResult undoNewest(const QString& anchorUser = QStringLiteral("user"),
                          const UndoAnswers& answers = {});

    QList<MigrationTask> tasks() const;
    QList<LinkMapping> mappings() const;
    QList<LogEntry> logEntries() const;
    // Gives the file system mounted at `mountPoint` the UUID `uuid` in the fake udev database.
    void setVolumeUUID(const QString& mountPoint, const QString& uuid);
    // A clone of the volume mounted at `original`, as a disk copied block by block is: another file
    // system mounted at `mountPoint`, with the UUID `uuid` and a copy of everything on the original.
    // Unmounted when the answer dies; not valid when no file system could be mounted.
    std::unique_ptr<TmpfsMount> mountClone(const QString& original, const QString& mountPoint,
                                           const QString& uuid);

    // Hidden reserved siblings of `path` with the given name part ("staging", "rollback-conflict").
    QStringList reservedSiblings(const QString& path, const QString& suffix) const;

    TestHome home;
    TestTree tree; // the home directory
    std::unique_ptr<TmpfsMount> tmpfs;
    std::unique_ptr<BindMount> bind;
    std::unique_ptr<LoopMount> loop;
    ScanService scan{1};
    PathMappingService pathMapping;
    // Reads device facts from fake folders below the home: a volume has a UUID only when a test
    // writes one with setVolumeUUID(). ORVALINK_TEST_DEVICES names them for the operations a test
    // runs in a process of their own.
    VolumeService volumes;
    ActiveProcessService processes{{std::chrono::milliseconds(1500), std::chrono::milliseconds(50)}};
    MappingStore mappingStore;
    TaskStore taskStore;
    LogService log;
    std::shared_ptr<ShellRunner> runner;
    PrivilegedFileOperationService privileged;
};

// The outcome of a migration in a few words, for failure messages.
QString describe(const MigrationExecutionResult& result);

// The counts of a repair call, without its list of links.
RepairSummary countsOf(RepairSummary summary);

} // namespace orvalink::test
