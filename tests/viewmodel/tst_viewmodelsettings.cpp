#include "ViewModelFixture.h"
#include "store/ConfigStore.h"
#include "support/TaskRunner.h"

#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

using namespace orvalink;
using namespace orvalink::test;

class SettingsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ViewModelFixture> m_fixture;
    std::unique_ptr<MainViewModel> m_viewModel;

    MainViewModel& viewModel() { return *m_viewModel; }
    AppConfig stored() const { return ConfigStore(m_fixture->configPath()).load(); }
    QString info() const { return infoLine(*m_viewModel).value_or(QString()); }
    void start(const std::function<void(AppConfig&)>& adjust = {})
    {
        m_viewModel = m_fixture->makeViewModelWithSettings(adjust);
    }

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<ViewModelFixture>(); }
    void cleanup()
    {
        if (m_viewModel)
            QVERIFY(waitUntilIdle(*m_viewModel));
        m_viewModel.reset();
        m_fixture.reset();
    }

    void anUnchangedValueDoesNothing()
    {
        start();
        QSignalSpy configChanges(&m_viewModel->browsing(), &BrowsingState::configChanged);
        const quint64 requests = viewModel().loader().latestScanRequestID();
        viewModel().settings().updateShowHiddenFiles(viewModel().browsing().showHiddenFiles());
        viewModel().settings().updateRealtimeRefreshEnabled(false);
        viewModel().settings().setLanguage(UILanguage::english);
        viewModel().settings().setStrictModeEnabled(true);
        viewModel().settings().updateSmartMigrationProfile(SmartMigrationProfile::other);
        QCOMPARE(configChanges.size(), 0);
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests);
        QVERIFY(!infoLine(viewModel()));
    }

    void eachSettingIsSavedAtOnce()
    {
        start();
        const quint64 requests = viewModel().loader().latestScanRequestID();
        viewModel().settings().updateShowHiddenFiles(false);
        QVERIFY(!viewModel().browsing().showHiddenFiles() && !stored().showHiddenFiles);
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests + 1);

        viewModel().settings().updateRealtimeRefreshEnabled(true);
        QVERIFY(viewModel().browsing().realtimeRefreshEnabled() && stored().realtimeRefreshEnabled);
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests + 2);
        viewModel().settings().updateRealtimeRefreshEnabled(false);
        QVERIFY(!stored().realtimeRefreshEnabled);
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests + 2);

        viewModel().settings().setPresentationPrivacyEnabled(true);
        QVERIFY(stored().presentationPrivacyEnabled);
        QVERIFY(info().startsWith("Presentation privacy is on."));
        viewModel().settings().setStrictModeEnabled(false);
        QVERIFY(!stored().strictModeEnabled);
        QCOMPARE(info(), "Strict mode disabled: critical directory blocking is off, proceed carefully.");
        viewModel().settings().updateSmartMigrationEnabled(true);
        QVERIFY(viewModel().browsing().smartMigrationEnabled() && stored().smartMigrationEnabled);
        QVERIFY(info().startsWith("Smart Migration is on."));
        viewModel().settings().updateSmartMigrationProfile(SmartMigrationProfile::wechat);
        QCOMPARE(stored().smartMigrationProfile, SmartMigrationProfile::wechat);
        QCOMPARE(info(), "Smart Migration is now using WeChat List.");
        viewModel().settings().setLanguage(UILanguage::bilingual);
        QCOMPARE(stored().uiLanguage, UILanguage::bilingual);
        viewModel().settings().updateSmartMigrationProfile(SmartMigrationProfile::other);
        // Each half names the list in its own language.
        QCOMPARE(info(),
                 QStringLiteral("智能迁移列表已切换为 其他列表。 Smart Migration is now using Other List."));
        QCOMPARE(viewModel().browsing().config(), stored());
    }

    void minimumSize_data()
    {
        QTest::addColumn<double>("megabytes");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<double>("storedMegabytes");
        QTest::newRow("negative") << -5.0 << true << qint64(0) << 0.0;
        QTest::newRow("one and a half") << 1.5 << true << qint64(1572864) << 1.5;
        QTest::newRow("fraction of a byte truncated") << 0.0000019 << true << qint64(1) << 0.0000019;
        QTest::newRow("largest that fits")
            << 8796093022207.0 << true << qint64(9223372036853727232) << 8796093022207.0;
        QTest::newRow("not a number") << std::nan("") << true << qint64(0) << 0.0;
        QTest::newRow("too large for 64 bits") << 8796093022208.0 << false << qint64(0) << 0.0;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << false << qint64(0) << 0.0;
        QTest::newRow("minus infinite")
            << -std::numeric_limits<double>::infinity() << false << qint64(0) << 0.0;
    }
    void minimumSize()
    {
        QFETCH(double, megabytes);
        QFETCH(bool, accepted);
        QFETCH(qint64, bytes);
        QFETCH(double, storedMegabytes);
        start();
        const quint64 requests = viewModel().loader().latestScanRequestID();
        viewModel().settings().updateMinimumSizeMB(megabytes);
        if (accepted) {
            QCOMPARE(stored().minLargeSizeBytes, bytes);
            QCOMPARE(viewModel().browsing().minSizeMB(), storedMegabytes);
            QCOMPARE(viewModel().loader().latestScanRequestID(), requests + 1);
        } else {
            QCOMPARE(stored().minLargeSizeBytes, m_fixture->baseConfig().minLargeSizeBytes);
            QCOMPARE(viewModel().browsing().minSizeMB(), 10.0);
            QCOMPARE(viewModel().loader().latestScanRequestID(), requests);
        }
    }

    void targetRootWithoutUnifiedManagement()
    {
        start();
        const QString volume = m_fixture->home.volumes() + "/Backup";
        QDir().mkpath(volume);
        viewModel().settings().setTargetRoot(volume + "/Moved/");
        QCOMPARE(stored().defaultTargetRoot, volume + "/Moved");
        QCOMPARE(viewModel().settings().effectiveTargetRoot(), volume + "/Moved");
        QCOMPARE(info(), QStringLiteral("Migration target updated."));
        QCOMPARE(viewModel().browsing().availableVolumes().size(), 1);
        // A managed root kept from earlier is still shown while unified management is off.
        QCOMPARE(viewModel().settings().managedTargetRootDisplayText(), QStringLiteral("Not set"));
        // Switched on, it asks for the first target and records the next pick.
        viewModel().settings().setUnifiedManagementEnabled(true);
        QCOMPARE(info(),
                 QStringLiteral("Unified management enabled. Please choose the first target location."));
        QVERIFY(!viewModel().settings().isUnifiedTargetLocked());
        QCOMPARE(viewModel().settings().effectiveTargetRoot(), volume + "/Moved");
        viewModel().settings().setTargetRoot(volume + "/First");
        QCOMPARE(info(), QStringLiteral("First target location saved for unified management."));
        QVERIFY(viewModel().settings().isUnifiedTargetLocked());
        QCOMPARE(stored().managedTargetRoot, volume + "/First");
        viewModel().settings().setUnifiedManagementEnabled(false);
        QCOMPARE(stored().managedTargetRoot, volume + "/First");
        QCOMPARE(viewModel().settings().managedTargetRootDisplayText(), volume + "/First");
        viewModel().settings().resetManagedTargetRoot();
        QVERIFY(!stored().managedTargetRoot);
        QCOMPARE(info(), QStringLiteral("Managed first target has been reset. Please choose again."));
    }

    void targetRootUnderUnifiedManagement()
    {
        // A fresh installation: unified management on, the built-in target not chosen by anyone.
        start([](AppConfig& config) { config.unifiedTargetManagementEnabled = true; });
        QVERIFY(!viewModel().settings().isUnifiedTargetLocked());
        QVERIFY(!stored().managedTargetRoot);

        const QString first = m_fixture->home.volumes() + "/First/Root";
        viewModel().settings().setTargetRoot(first);
        QCOMPARE(info(), QStringLiteral("First target location saved for unified management."));
        QCOMPARE(stored().managedTargetRoot, first);

        QDir().mkpath(m_fixture->home.volumes() + "/Later");
        viewModel().settings().setTargetRoot(m_fixture->home.volumes() + "/Second");
        QCOMPARE(info(),
                 QStringLiteral("Unified management is enabled, continuing to use the first target."));
        QCOMPARE(stored().defaultTargetRoot, first);
        QCOMPARE(viewModel().settings().effectiveTargetRoot(), first);
        QVERIFY(viewModel().browsing().availableVolumes().isEmpty()); // not listed again on this road

        viewModel().settings().setUnifiedManagementEnabled(true);
        QCOMPARE(info(), QStringLiteral("Unified management enabled. Using the first selected target."));

        // A reset lets the next pick be the first target again.
        viewModel().settings().resetManagedTargetRoot();
        QVERIFY(!viewModel().settings().isUnifiedTargetLocked());
        QCOMPARE(viewModel().settings().effectiveTargetRoot(), first);
        viewModel().settings().setTargetRoot(m_fixture->home.volumes() + "/Second");
        QCOMPARE(info(), QStringLiteral("First target location saved for unified management."));
        QCOMPARE(stored().managedTargetRoot, m_fixture->home.volumes() + "/Second");
    }

    void aStoredManagedRootKeepsWorking_data()
    {
        QTest::addColumn<bool>("placeholder");
        QTest::newRow("chosen by the user") << false;
        QTest::newRow("the built-in placeholder an earlier start-up recorded") << true;
    }
    // A stored first target keeps the target locked; the placeholder stored by earlier versions
    // does not.
    void aStoredManagedRootKeepsWorking()
    {
        QFETCH(bool, placeholder);
        const QString chosen = m_fixture->home.volumes() + "/Chosen/Root";
        start([&](AppConfig& config) {
            config.unifiedTargetManagementEnabled = true;
            config.managedTargetRoot = placeholder ? builtInTargetRoot() : chosen;
            config.defaultTargetRoot = config.managedTargetRoot.value();
        });
        QCOMPARE(viewModel().settings().isUnifiedTargetLocked(), !placeholder);
        const QString other = m_fixture->home.volumes() + "/Other/Root";
        viewModel().settings().setTargetRoot(other);
        QCOMPARE(viewModel().settings().effectiveTargetRoot(), placeholder ? other : chosen);
        QCOMPARE(info(),
                 placeholder
                     ? QStringLiteral("First target location saved for unified management.")
                     : QStringLiteral("Unified management is enabled, continuing to use the first target."));
        QVERIFY(viewModel().settings().isUnifiedTargetLocked());
    }

    void folderPanels()
    {
        start();
        const QString chosen = m_fixture->tree.dir("Chosen");
        m_fixture->tree.file("Chosen/inside.txt");
        viewModel().navigation().goToDirectoryContext(m_fixture->tree.dir("Visited"));
        QVERIFY(waitUntilIdle(viewModel()));

        runTask(viewModel().settings().selectScanRoot()); // cancelled
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->tree.path("Visited"));
        QCOMPARE(m_fixture->chooser->asked.constLast(),
                 qMakePair(QStringLiteral("Select"), QStringLiteral("Choose a directory to scan")));

        m_fixture->chooser->answer = chosen + "/";
        runTask(viewModel().settings().selectScanRoot());
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), chosen);
        QCOMPARE(viewModel().browsing().pathInput(), chosen);
        QVERIFY(viewModel().navigation().backHistory().isEmpty() &&
                viewModel().navigation().forwardHistory().isEmpty());
        QCOMPARE(stored().defaultScanRoot, chosen);
        QTRY_COMPARE(info(), QStringLiteral("Directory loaded. Click \"Refresh Now\" for deep scan."));
        QCOMPARE(shownNames(viewModel()), QStringList{"inside.txt"});

        // The target panel opens at the volumes folder while the target root does not exist, then
        // at the target root.
        QVERIFY(!QFileInfo::exists(viewModel().settings().effectiveTargetRoot()));
        m_fixture->chooser->answer = m_fixture->home.volumes() + "/Disk/";
        runTask(viewModel().settings().selectTargetRoot());
        QCOMPARE(m_fixture->chooser->asked.constLast().second,
                 QStringLiteral("Choose migration target root on external storage"));
        QCOMPARE(m_fixture->chooser->startDirectories.constLast(), m_fixture->home.volumes());
        QCOMPARE(stored().defaultTargetRoot, m_fixture->home.volumes() + "/Disk");
        QVERIFY(QDir().mkpath(m_fixture->home.volumes() + "/Disk"));
        m_fixture->chooser->answer.reset();
        runTask(viewModel().settings().selectTargetRoot());
        QCOMPARE(m_fixture->chooser->startDirectories.constLast(), m_fixture->home.volumes() + "/Disk");
    }

    void aFailedSaveKeepsTheNewSettingsAndSaysWhy()
    {
        start();
        TestTree(m_fixture->home.root()).file("blocker");
        m_fixture->home.setEnv("ORVALINK_LOG_DIR", m_fixture->home.path("blocker/logs"));
        viewModel().settings().setStrictModeEnabled(false);
        QVERIFY(!viewModel().browsing().config().strictModeEnabled);
        QVERIFY(errorLine(viewModel()) && errorLine(viewModel())->contains("Not a directory"));
        QCOMPARE(info(), "Strict mode disabled: critical directory blocking is off, proceed carefully.");
        m_fixture->home.setEnv("ORVALINK_LOG_DIR", m_fixture->home.logDir());
        QCOMPARE(stored().uiLanguage, UILanguage::english); // the file, not the defaults
        QVERIFY(stored().strictModeEnabled);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_viewmodelsettings.moc"
