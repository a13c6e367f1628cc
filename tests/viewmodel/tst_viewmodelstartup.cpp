#include "ViewModelFixture.h"
#include "backend/AuthSessionStore.h"
#include "diskops/OperationJournal.h"
#include "model/AppPaths.h"
#include "model/Formatters.h"
#include "model/JsonFields.h"
#include "model/OrvalinkError.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileIO.h"
#include "platform/FileLock.h"
#include "platform/HeldFiles.h"
#include "platform/StandardPath.h"
#include "store/JSONLStore.h"
#include "store/LogService.h"
#include "support/PausedChild.h"
#include "support/TaskRunner.h"

#include <QFileInfo>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

QDateTime at(int hour, int minute = 0)
{
    return QDateTime(QDate(2025, 3, 1), QTime(hour, minute), QTimeZone::utc());
}

MigrationTask task(const QString& name, std::optional<QDateTime> startedAt)
{
    MigrationTask result;
    result.id = QUuid::createUuid();
    result.sourcePath = QStringLiteral("/home/u/") + name;
    result.targetPath = QStringLiteral("/media/u/Disk/") + name;
    result.status = TaskStatus::completed;
    result.startedAt = startedAt;
    return result;
}

LinkMapping mapping(const QString& name, const QDateTime& created, const QDateTime& updated)
{
    return LinkMapping{QUuid::createUuid(),
                       QStringLiteral("/home/u/") + name,
                       QStringLiteral("/media/u/D/") + name,
                       QStringLiteral("u"),
                       QStringLiteral("unknown"),
                       created,
                       updated};
}

void saveSession(const QString& email)
{
    const BackendSession session{email, QStringLiteral("access"), QStringLiteral("refresh"), at(23), at(8)};
    AuthSessionStore(AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"))).save(session);
}

QString historyFile(const QString& scopeFolder, const QString& name)
{
    return AppPaths::historyDirectory() + QLatin1Char('/') + scopeFolder + QLatin1Char('/') + name;
}

QStringList sourceNames(const QList<MigrationTask>& tasks)
{
    QStringList names;
    for (const MigrationTask& entry : tasks)
        names.append(entry.sourcePath.section(QLatin1Char('/'), -1));
    return names;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// The log directory cannot be created: a file stands where a parent folder should be.
void blockLogDirectory(TestHome& home)
{
    TestTree(home.root()).file(QStringLiteral("blocker"));
    home.setEnv("ORVALINK_LOG_DIR", home.path(QStringLiteral("blocker/logs")));
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptySupportFolder()
    {
        ViewModelFixture fixture;
        auto viewModel = fixture.makeViewModel();
        QVERIFY(viewModel->persisted().localHistoryScope().isGuest());
        QCOMPARE(viewModel->browsing().currentDirectoryPath(), fixture.home.home());
        QCOMPARE(viewModel->browsing().pathInput(), fixture.home.home());
        QCOMPARE(viewModel->browsing().minSizeMB(), 10.0);
        // Unified management is on by default, but the built-in target, which nobody chose, locks
        // nothing: the user's first pick becomes the managed root.
        QVERIFY(viewModel->browsing().config().unifiedTargetManagementEnabled);
        QVERIFY(!viewModel->settings().isUnifiedTargetLocked());
        QVERIFY(!viewModel->browsing().config().managedTargetRoot);
        QCOMPARE(viewModel->settings().effectiveTargetRoot(),
                 fixture.home.volumes() + QStringLiteral("/ExtSSD/OrvalinkRoot"));
        QVERIFY(QFileInfo::exists(fixture.configPath()));
        QVERIFY(viewModel->browsing().entries().isEmpty());
        QVERIFY(viewModel->history().tasks().isEmpty() && viewModel->history().migratedMappings().isEmpty());
        QVERIFY(!errorLine(*viewModel) && !viewModel->accountState().backendSession());
        QVERIFY(viewModel->browsing().undoModeActive());
        QVERIFY(!viewModel->browsing().isScanning() && !viewModel->browsing().showLinkMode() &&
                !viewModel->browsing().showAllFiles());
        QCOMPARE(viewModel->browsing().sortOption(), SortOption::sizeDesc);
        QCOMPARE(viewModel->browsing().fileTypeFilter(), FileTypeFilter::all);

        fixture.tree.file(QStringLiteral("notes.txt"), "hello");
        runTask(viewModel->launch().bootstrap());
        QVERIFY(waitUntilIdle(*viewModel));
        QCOMPARE(shownNames(*viewModel), QStringList{QStringLiteral("notes.txt")});
        QVERIFY(!errorLine(*viewModel));
        QCOMPARE(*infoLine(*viewModel),
                 QStringLiteral("已加载目录。点击“立即刷新”执行深度扫描。 Directory loaded. "
                                "Click \"Refresh Now\" for deep scan."));
    }

    void populatedSupportFolder()
    {
        ViewModelFixture fixture;
        AppConfig config = fixture.baseConfig();
        config.minLargeSizeBytes = 524288000;
        config.smartMigrationEnabled = true;
        config.smartMigrationProfile = SmartMigrationProfile::wechat;
        config.showHiddenFiles = false;
        config.uiLanguage = UILanguage::english;
        config.backendBaseURL = QStringLiteral("http://127.0.0.1:1");
        fixture.writeConfig(config);
        saveSession(QStringLiteral("  Anna@Example.COM \n"));
        const QString scope = QStringLiteral("anna_example_com");
        for (const auto& entry : {task("ten", at(10)), task("none", std::nullopt), task("eleven", at(11))})
            JSONLStore::append(entry, historyFile(scope, QStringLiteral("tasks.jsonl")));
        const LinkMapping updatedLate = mapping("late", at(9), at(12));
        const LinkMapping createdAtEleven = mapping("eleven", at(11), at(11));
        const LinkMapping sameTimeFirst = mapping("same1", at(10), at(10));
        const LinkMapping sameTimeSecond = mapping("same2", at(10), at(10));
        for (const auto& entry : {createdAtEleven, sameTimeFirst, updatedLate, sameTimeSecond})
            JSONLStore::append(entry, historyFile(scope, QStringLiteral("mappings.jsonl")));
        // 305 log lines whose times run backwards: the last 300 of the file, newest first.
        for (int i = 0; i < 305; ++i) {
            JSONLStore::append(
                LogEntry{QUuid::createUuid(), LogLevel::info, QString::number(i), at(20).addSecs(-i)},
                AppPaths::logsFile());
        }
        const QByteArray configBefore = readFile(fixture.configPath());
        const QDateTime configWritten = QFileInfo(fixture.configPath()).lastModified();

        auto viewModel = fixture.makeViewModel();
        QCOMPARE(viewModel->persisted().localHistoryScope(),
                 LocalHistoryScope::account(QStringLiteral("anna@example.com")));
        QVERIFY(!viewModel->accountState().backendSession());
        QCOMPARE(viewModel->browsing().minSizeMB(), 500.0);
        QVERIFY(viewModel->browsing().smartMigrationEnabled());
        QCOMPARE(viewModel->browsing().smartMigrationProfile(), SmartMigrationProfile::wechat);
        QVERIFY(!viewModel->browsing().showHiddenFiles());
        QCOMPARE(sourceNames(viewModel->history().tasks()), (QStringList{"eleven", "ten", "none"}));
        QCOMPARE(viewModel->history().migratedMappings(),
                 (QList<LinkMapping>{updatedLate, createdAtEleven, sameTimeFirst, sameTimeSecond}));
        QCOMPARE(viewModel->history().undoHistory(), viewModel->history().migratedMappings());
        QCOMPARE(viewModel->history().logs().size(), 300);
        QCOMPARE(viewModel->history().logs().first().message, QStringLiteral("5"));
        QCOMPARE(viewModel->history().logs().last().message, QStringLiteral("304"));
        // Already normalized: not written again.
        QCOMPARE(QFileInfo(fixture.configPath()).lastModified(), configWritten);
        QCOMPARE(readFile(fixture.configPath()), configBefore);
    }

    void savedSessionChoosesTheScope_data()
    {
        QTest::addColumn<QByteArray>("sessionFile"); // empty: none
        QTest::addColumn<bool>("guest");
        QTest::newRow("no file") << QByteArray() << true;
        QTest::newRow("blank e-mail") << QByteArray("blank") << true;
        QTest::newRow("not a session") << QByteArray("{\"email\": 3}") << true;
        QTest::newRow("valid") << QByteArray("valid") << false;
    }
    void savedSessionChoosesTheScope()
    {
        QFETCH(QByteArray, sessionFile);
        QFETCH(bool, guest);
        ViewModelFixture fixture;
        const QString path = AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"));
        if (sessionFile == "valid")
            saveSession(QStringLiteral("b@example.com"));
        else if (sessionFile == "blank")
            saveSession(QStringLiteral(" \t "));
        else if (!sessionFile.isEmpty())
            writeFile(path, sessionFile);
        auto viewModel = fixture.makeViewModel();
        QCOMPARE(viewModel->persisted().localHistoryScope().isGuest(), guest);
        QCOMPARE(QFileInfo::exists(path), !sessionFile.isEmpty());
        QVERIFY(!errorLine(*viewModel));
    }

    void baseDirectoriesThatCannotBeMade()
    {
        ViewModelFixture fixture;
        saveSession(QStringLiteral("b@example.com"));
        blockLogDirectory(fixture.home);
        auto viewModel = fixture.makeViewModel();
        QVERIFY(viewModel->persisted().localHistoryScope().isGuest());
        QVERIFY(!errorLine(*viewModel));

        // Start-up reports it and goes on.
        runTask(viewModel->launch().bootstrap());
        QVERIFY(errorLine(*viewModel));
        QVERIFY2(errorLine(*viewModel)->contains(QStringLiteral("Not a directory")),
                 qPrintable(*errorLine(*viewModel)));
        QVERIFY(infoLine(*viewModel));
    }

    void configurationIsWrittenBackOnlyWhenNormalizationChangedIt()
    {
        ViewModelFixture fixture;
        AppConfig config = fixture.baseConfig();
        config.defaultTargetRoot = fixture.home.volumes() + QStringLiteral("/Disk/Root/");
        config.backendBaseURL = QStringLiteral("127.0.0.1:9000/");
        fixture.writeConfig(config);
        auto viewModel = fixture.makeViewModel();
        const AppConfig stored = ConfigStore(fixture.configPath()).load();
        QCOMPARE(stored.defaultTargetRoot, fixture.home.volumes() + QStringLiteral("/Disk/Root"));
        QCOMPARE(stored.backendBaseURL, QStringLiteral("http://127.0.0.1:9000"));
        QCOMPARE(viewModel->browsing().config(), stored);
    }

    void storedScanConcurrencyReachesTheWalker_data()
    {
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<int>("used");
        QTest::newRow("in range") << qint64(7) << 7;
        QTest::newRow("too many") << qint64(40) << 16;
        QTest::newRow("none") << qint64(0) << 1;
    }
    void storedScanConcurrencyReachesTheWalker()
    {
        QFETCH(qint64, stored);
        QFETCH(int, used);
        ViewModelFixture fixture;
        AppConfig config = fixture.baseConfig();
        config.maxConcurrentScanTasks = stored;
        fixture.writeConfig(config);
        std::shared_ptr<ScanService> scanService;
        auto viewModel =
            fixture.makeViewModel([&](ViewModelServices& services) { scanService = services.scanService; });
        QCOMPARE(scanService->concurrency(), used);
    }

    // Rewrites killed before their rename, in the history of the scope in use and of another one,
    // of the settings, beside the log and of a first operation record, leave their temporary files
    // (and the record's lock); the start removes them and says how much went. A rewrite that
    // another process is still making keeps its file and ends well.
    void leftoversOfKilledWritesGoAtStart()
    {
        ViewModelFixture fixture;
        AppPaths::ensureBaseDirectories();
        const QString guestTasks = historyFile(QStringLiteral("guest"), QStringLiteral("tasks.jsonl"));
        const QStringList stores{
            historyFile(QStringLiteral("guest"), QStringLiteral("mappings.jsonl")),
            historyFile(QStringLiteral("guest"), QStringLiteral("mappings.jsonl.bak")),
            historyFile(QStringLiteral("anna_example_com"), QStringLiteral("tasks.jsonl")),
            fixture.configPath(),
            AppPaths::logsFile(),
        };
        for (const QString& store : stores + QStringList{guestTasks}) {
            if (!QFileInfo::exists(store))
                JSONLStore::append(task(QFileInfo(store).fileName(), at(10)), store);
        }
        const QString operations = OperationJournal::directory();
        platform::createDirectories(operations);
        QMap<QString, QStringList> before;
        for (const QString& store : stores + QStringList{operations + QStringLiteral("/none")})
            before.insert(platform::parentPath(store), namesIn(platform::parentPath(store)));

        qint64 bytes = 0;
        for (qsizetype index = 0; index < stores.size(); ++index) {
            const qsizetype size = 1000 * (index + 1);
            pausedRewrite(stores[index], size, true)->kill();
            bytes += size;
        }
        const QUuid operation = QUuid::createUuid();
        PausedChild firstRecord([operation, operations]() -> PausedChild::Rest {
            const QString name = operations + QLatin1Char('/') + json::uuidText(operation);
            auto lock = std::make_shared<platform::UniqueFd>(platform::lockFile(name + ".lock", true));
            auto record = std::make_shared<platform::AtomicFileWriter>(name + ".json", 0600);
            record->write(QByteArray(500, '{'));
            record->seal();
            return [lock, record] {
                record->commit();
            };
        });
        QVERIFY(firstRecord.isPaused());
        firstRecord.kill();
        bytes += 500;
        auto live = pausedRewrite(guestTasks, 300, true);
        QVERIFY(live->isPaused());
        QStringList held;
        for (const QString& name : namesIn(platform::parentPath(guestTasks))) {
            if (platform::finalNameOfTemporaryFile(name) == QLatin1String("tasks.jsonl"))
                held.append(name);
        }
        QCOMPARE(held.size(), 1);

        auto viewModel = fixture.makeViewModel();
        runTask(viewModel->launch().bootstrap());

        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QStringList after = namesIn(it.key());
            for (const QString& name : it.value())
                QVERIFY2(after.contains(name), qPrintable(it.key() + QLatin1Char('/') + name));
            for (const QString& name : after) {
                const bool temporary = !platform::finalNameOfTemporaryFile(name).isEmpty();
                QVERIFY2(!temporary || held.contains(name), qPrintable(it.key() + QLatin1Char('/') + name));
            }
        }
        QCOMPARE(namesIn(operations), QStringList());
        QStringList told;
        for (const LogEntry& entry : LogService(AppPaths::logsFile()).loadRecent(20)) {
            if (entry.message.contains(QLatin1String("interrupted writes")))
                told.append(entry.message);
        }
        QCOMPARE(told,
                 QStringList{QStringLiteral("Removed what interrupted writes left: 7 temporary files, ") +
                             Formatters::sizeString(bytes)});
        QVERIFY(live->resume());
        QCOMPARE(platform::readWholeFile(guestTasks), QByteArray(300, 'x'));
    }

    void aFailedFirstListingStillEndsWithTheLoadedText()
    {
        ViewModelFixture fixture;
        AppConfig config = fixture.baseConfig();
        config.defaultScanRoot = fixture.home.path(QStringLiteral("missing"));
        config.uiLanguage = UILanguage::english;
        fixture.writeConfig(config);
        auto viewModel = fixture.makeViewModel();
        runTask(viewModel->launch().bootstrap());
        QCOMPARE(errorLine(*viewModel),
                 OrvalinkError::sourceNotFound(config.defaultScanRoot).errorDescription());
        QCOMPARE(infoLine(*viewModel),
                 QStringLiteral("Directory loaded. Click \"Refresh Now\" for deep scan."));
        QVERIFY(viewModel->browsing().entries().isEmpty());
        QVERIFY(!viewModel->browsing().isScanning());
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_viewmodelstartup.moc"
