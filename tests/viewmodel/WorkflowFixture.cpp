#include "WorkflowFixture.h"

#include "diskops/CreatedFolders.h"
#include "diskops/OperationJournal.h"
#include "diskops/OperationRecovery.h"
#include "diskops/PrivilegedFileOperationService.h"
#include "diskops/RecordedIdentity.h"
#include "diskops/ReservedPaths.h"
#include "model/AppPaths.h"
#include "model/LocalHistoryScope.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"
#include "support/TaskRunner.h"
#include "support/TreeSnapshot.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/launch/LaunchSequence.h"
#include "viewmodel/texts/BrowsingTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
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

WorkflowFixture::~WorkflowFixture()
{
    if (copyGate)
        copyGate->open();
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
        viewModel = fx.makeViewModel([devices, gate = copyGate,
                                      runner = administrator](ViewModelServices& services) {
            if (gate)
                services.migrationStaged = WorkerGate::atStaging(gate);
            if (runner)
                services.privilegedFileOperations = std::make_shared<PrivilegedFileOperationService>(runner);
            services.volumeService = std::make_shared<VolumeService>(platform::DeviceDirectories{
                devices + QStringLiteral("/by-uuid"), devices + QStringLiteral("/udev"),
                devices + QStringLiteral("/block")});
            services.activeProcessService = std::make_shared<ActiveProcessService>(
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

void migrate(MainViewModel& vm, const QStringList& paths)
{
    ViewModelInternals::context(vm).browsing().setSelectedPaths(QSet<QString>(paths.cbegin(), paths.cend()));
    finish(vm.workflows().migrateSelectedItems());
}

QString migrateThenOccupy(WorkflowFixture& fixture)
{
    const QString alpha = fixture.tree.file("Alpha/a.txt", "a").section('/', 0, -2);
    migrate(fixture.vm(), {alpha});
    QFile::remove(alpha);
    fixture.tree.file("Alpha/new.txt", "occupant");
    return alpha;
}

WriterDuringUndo::WriterDuringUndo(WorkflowFixture& fixture, const QString& source, const QString& name)
    : m_path(fixture.targetOf(source) + QLatin1Char('/') + name)
{
    // The undo updates its record once the copy at home is whole, before the link gives way to it:
    // the write comes at that moment, whatever the speed of the disk.
    QDir().mkpath(OperationJournal::directory());
    const QDir parent = QFileInfo(source).dir();
    m_gate = std::make_unique<FileOpenGate>(
        OperationJournal::directory(), [source, parent, path = m_path, written = m_written] {
            if (*written)
                return;
            for (const QString& entry :
                 parent.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
                const QString copy = parent.filePath(entry);
                if (!isReservedPathOf(source, copy, ReservedSuffix::restoring))
                    continue;
                if (snapshotContents(copy) != snapshotContents(QFileInfo(path).path()))
                    return;
                QFile file(path);
                *written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write("late") == 4 &&
                           file.flush();
            }
        });
}

QString WriterDuringUndo::writtenPath() const
{
    return m_path;
}

namespace {

QCoro::Task<> watched(QCoro::Task<> flow, std::shared_ptr<bool> ended)
{
    co_await std::move(flow);
    *ended = true;
}

} // namespace

QuestionedRun::QuestionedRun(MainViewModel& vm, QCoro::Task<> flow) : m_vm(vm)
{
    startDetached(watched(std::move(flow), m_ended));
}

std::optional<UndoConflictPrompt> QuestionedRun::question()
{
    return nextQuestion(std::nullopt, 20000);
}

std::optional<UndoConflictPrompt> QuestionedRun::answer(const UndoConflictPrompt& asked,
                                                        UndoConflictAnswer answer)
{
    m_vm.workflows().answerUndoConflict(asked.id, answer);
    return nextQuestion(asked.id, 60000);
}

std::optional<UndoConflictPrompt> QuestionedRun::nextQuestion(const std::optional<QUuid>& answered,
                                                              int milliseconds)
{
    const auto asked = [&] {
        const std::optional<UndoConflictPrompt>& prompt = m_vm.activity().undoConflictPrompt();
        return prompt && prompt->id != answered;
    };
    // The caller judges by what it gets: a question, or none once the run ended (or on time-out).
    (void)QTest::qWaitFor([&] { return asked() || *m_ended; }, milliseconds);
    return asked() ? m_vm.activity().undoConflictPrompt() : std::nullopt;
}

TwoFolderBatch makeTwoFolderBatch(WorkflowFixture& fixture)
{
    fixture.copyGate = std::make_shared<WorkerGate>();
    for (int i = 0; i < 16; ++i)
        fixture.tree.fileOfSize(QStringLiteral("Alpha/part%1/data%2.bin").arg(i % 4).arg(i), 64 * 1024);
    fixture.tree.fileOfSize(QStringLiteral("Beta/data.bin"), 64 * 1024);
    TwoFolderBatch batch;
    batch.first = fixture.tree.path(QStringLiteral("Alpha"));
    batch.second = fixture.tree.path(QStringLiteral("Beta"));
    stampDistinctTimes(batch.first);
    batch.firstBefore = snapshotTree(batch.first);
    batch.secondBefore = snapshotTree(batch.second);
    return batch;
}

bool startHeldMigration(WorkflowFixture& fixture, const QStringList& paths)
{
    MainViewModel& vm = fixture.vm();
    ViewModelInternals::context(vm).browsing().setSelectedPaths(QSet<QString>(paths.cbegin(), paths.cend()));
    startDetached(vm.workflows().migrateSelectedItems());
    return fixture.copyGate && fixture.copyGate->waitForArrivals(1);
}

QString neverMigrated(WorkflowFixture& fixture, const QString& source, const QStringList& before)
{
    if (fixture.copyGate && fixture.copyGate->arrivals().contains(source))
        return source + QStringLiteral(" was staged");
    if (snapshotTree(source) != before)
        return source + QStringLiteral(" changed");
    if (QFileInfo::exists(fixture.targetOf(source)))
        return fixture.targetOf(source) + QStringLiteral(" exists");
    return {};
}

QString freshStartReports(WorkflowFixture& fixture, const QStringList& migrated)
{
    QStringList problems;
    const QStringList pending = OperationRecovery::pendingSourcePaths();
    if (!pending.isEmpty())
        problems.append(QStringLiteral("left to put right: ") + pending.join(QStringLiteral(", ")));

    auto reopened = fixture.fx.makeViewModel();
    runTask(reopened->launch().bootstrap(), std::chrono::seconds(60));
    const QString loaded = reopened->presentation().localized(startupListedText());
    if (infoLine(*reopened) != loaded)
        problems.append(QStringLiteral("info line: ") + infoLine(*reopened).value_or(QStringLiteral("none")));
    if (const std::optional<QString> error = errorLine(*reopened))
        problems.append(QStringLiteral("error line: ") + *error);

    const HistoryState& history = reopened->history();
    QStringList tasks;
    for (const MigrationTask& task : history.tasks()) {
        if (task.status != TaskStatus::completed || !migrated.contains(task.sourcePath))
            tasks.append(task.sourcePath + QLatin1Char(' ') + toText(task.status));
    }
    if (!tasks.isEmpty())
        problems.append(QStringLiteral("tasks: ") + tasks.join(QStringLiteral(", ")));
    QStringList mapped;
    for (const LinkMapping& mapping : history.migratedMappings())
        mapped.append(mapping.sourcePath);
    mapped.sort();
    if (mapped != migrated)
        problems.append(QStringLiteral("mappings: ") + mapped.join(QStringLiteral(", ")));
    for (const FailedMigrationRecord& failed : history.recentFailedMigrations())
        problems.append(QStringLiteral("failed record: ") + failed.sourcePath);
    for (const LogEntry& entry : history.logs()) {
        if (entry.message.contains(QStringLiteral("nterrupted")))
            problems.append(QStringLiteral("log: ") + entry.message);
    }
    return problems.join(QStringLiteral("; "));
}

JournalRecord leaveStagedMigration(WorkflowFixture& w, const QString& source,
                                   const std::function<void(JournalRecord&)>& change)
{
    JournalRecord record;
    record.id = QUuid::createUuid();
    record.homeDirectory = w.fx.home.home();
    record.sourcePath = source;
    record.targetRoot = w.targetRoot();
    record.targetPath = w.targetOf(source);
    record.stagingPath = makeReservedPath(source, ReservedSuffix::staging);
    record.itemIdentity = entryIdentityText(source);
    record.createdDirectories = missingFolders(platform::parentPath(record.targetPath));
    record.targetRootIdentity = entryIdentityText(targetAnchorPath(record));
    record.mappingID = QUuid::createUuid();
    record.anchorUser = QStringLiteral("user");
    record.volumeUUID = QStringLiteral("unknown");
    record.startedAt = QDateTime::currentDateTimeUtc();
    const QString guest =
        AppPaths::historyDirectory() + QLatin1Char('/') + LocalHistoryScope::guest().directoryName();
    record.mappingsFile = guest + QStringLiteral("/mappings.jsonl");
    record.tasksFile = guest + QStringLiteral("/tasks.jsonl");
    platform::renameNoReplace(source, record.stagingPath);
    if (change)
        change(record);
    OperationJournal journal(record); // dropped unfinished: its record stays for the next start
    return record;
}

void copyTree(const QString& from, const QString& to)
{
    platform::createDirectories(platform::parentPath(to));
    if (QProcess::execute("cp", {"-a", "--", from, to}) != 0)
        qFatal("cannot copy %s", qPrintable(from));
}

} // namespace orvalink::test
