#include "guide/GuideDemoData.h"
#include "guide/GuideDemoFolder.h"
#include "guide/GuideWindowRenderer.h"
#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "store/JSONLStore.h"
#include "support/TreeSnapshot.h"
#include "viewmodel/ViewModelFixture.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/account/AccountSession.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/texts/Presentation.h"

#include <QApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>

using namespace orvalink;
using orvalink::test::infoLine;
using orvalink::test::statusLine;
using orvalink::test::ViewModelFixture;

namespace {

const QString kGuideRoot = QStringLiteral("/media/tovra/ux402/home/ux402cd/OrvalinkGuideRoot");
const QString kPathA = QStringLiteral("/home/tovra/.kilo");
const QString kPathB = QStringLiteral("/home/tovra/.cache/bazel");
const QString kPathC = QStringLiteral("/home/tovra/Downloads/ArchiveFootage");
const QString kServiceURL = QStringLiteral("http://127.0.0.1:9");

// The published values a selection step sets.
QString stepState(MainViewModel& model)
{
    const BrowsingState& browsing = model.browsing();
    QStringList selected(browsing.selectedPaths().cbegin(), browsing.selectedPaths().cend());
    selected.sort();
    return QStringList{QString::number(browsing.minSizeMB()),
                       browsing.searchQuery(),
                       selected.join(u','),
                       QString::number(browsing.selectedSizeBytes()),
                       browsing.focusedEntryPath().value_or(QString()),
                       infoLine(model).value_or(QString()),
                       statusLine(model).value_or(QString())}
        .join(u'|');
}

} // namespace

Q_DECLARE_METATYPE(guide::SelectionStep)

class GuideDemoDataTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ViewModelFixture> m_world;

    guide::ViewModelFactory factory()
    {
        return [this] {
            return m_world->makeViewModel();
        };
    }

private Q_SLOTS:
    void init()
    {
        m_world = std::make_unique<ViewModelFixture>();
        AppConfig config = m_world->baseConfig();
        config.uiLanguage = UILanguage::english;
        config.backendBaseURL = kServiceURL;
        m_world->writeConfig(config);
    }
    void cleanup() { m_world.reset(); }

    void demoModelHoldsTheTutorialState()
    {
        const QDateTime before = QDateTime::currentDateTimeUtc();
        const std::unique_ptr<MainViewModel> model = guide::makeDemoViewModel(factory());
        const QDateTime after = QDateTime::currentDateTimeUtc();
        const BrowsingState& browsing = model->browsing();
        const AppConfig& config = browsing.config();
        QCOMPARE(config.defaultScanRoot, QStringLiteral("/home/tovra"));
        QCOMPARE(config.defaultTargetRoot, kGuideRoot);
        QCOMPARE(config.managedTargetRoot, std::optional<QString>(kGuideRoot));
        QCOMPARE(config.uiLanguage, UILanguage::bilingual);
        QVERIFY(config.presentationPrivacyEnabled);
        QVERIFY(config.smartMigrationEnabled);
        QCOMPARE(config.smartMigrationProfile, SmartMigrationProfile::wechat);
        QCOMPARE(config.anchorUser, QStringLiteral("tovra"));
        QCOMPARE(config.backendBaseURL, kServiceURL);
        // The window reads the smart-migration switch from its own value.
        QVERIFY(browsing.smartMigrationEnabled());
        QCOMPARE(browsing.currentDirectoryPath(), QStringLiteral("/home/tovra"));
        QCOMPARE(browsing.selectedSizeBytes(), 46994137088);
        QCOMPARE(browsing.minSizeMB(), 1024.0);
        QCOMPARE(browsing.selectedPaths(), (QSet<QString>{kPathA, kPathB, kPathC}));
        QCOMPARE(browsing.availableVolumes().size(), 2);
        QCOMPARE(browsing.availableVolumes().at(1).mountPath, QStringLiteral("/media/tovra/ux402"));
        QCOMPARE(browsing.availableVolumes().at(1).id.toString(QUuid::WithoutBraces).toUpper(),
                 QStringLiteral("B1000000-0000-0000-0000-000000000002"));

        const QList<DirectoryEntry>& entries = browsing.entries();
        QCOMPARE(entries.size(), 4);
        const QDateTime d0 = entries.at(0).modifiedAt;
        QVERIFY(d0 >= before.addSecs(-86400) && d0 <= after.addSecs(-86400));
        const QList<qint64> offsets{0, 6000, 12000, 18000};
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(d0.secsTo(entries.at(i).modifiedAt), offsets.at(i));
            QCOMPARE(entries.at(i).isHidden, i == 0);
            QVERIFY(entries.at(i).isDirectory());
        }

        const HistoryState& history = model->history();
        QCOMPARE(history.migratedMappings().size(), 3);
        QCOMPARE(history.undoHistory(), history.migratedMappings());
        const QList<MigrationPathRecord>& recent = history.recentMigrations();
        QCOMPARE(recent.size(), 3);
        const QDateTime d1 = d0.addSecs(3600);
        for (int i = 0; i < 3; ++i) {
            const LinkMapping& mapping = history.migratedMappings().at(i);
            QCOMPARE(mapping.targetPath, kGuideRoot + mapping.sourcePath);
            QCOMPARE(mapping.updatedAt, d1.addSecs(120 * i));
            QCOMPARE(recent.at(i).migratedAt, mapping.updatedAt);
            QCOMPARE(recent.at(i).sourcePath, mapping.sourcePath);
        }
        QCOMPARE(history.tasks().size(), 2);
        QCOMPARE(history.tasks().at(1).startedAt, std::optional<QDateTime>(d0.addSecs(70)));
        QCOMPARE(history.logs().size(), 1);
        QCOMPARE(history.logs().at(0).message, QStringLiteral("Guide snapshot loaded"));
        // The information line the start-up leaves.
        QCOMPARE(infoLine(*model), std::optional<QString>(QStringLiteral(
                                       "已加载目录。点击“立即刷新”执行深度扫描。 "
                                       "Directory loaded. Click \"Refresh Now\" for deep scan.")));

        const AccountState& account = model->accountState();
        QVERIFY(account.backendSession().has_value());
        QCOMPARE(account.backendSession()->accessToken, QStringLiteral("snap-entry-key-001"));
        QCOMPARE(account.backendSession()->signedInAt, d0);
        QCOMPARE(statusLine(*model),
                 std::optional<QString>(QStringLiteral("当前截图基于演示数据生成，用于官网图文教程。")));
    }

    void twoDemoModelsShareAllButTheRecentRecordIds()
    {
        const std::unique_ptr<MainViewModel> first = guide::makeDemoViewModel(factory());
        const std::unique_ptr<MainViewModel> second = guide::makeDemoViewModel(factory());
        QVERIFY(first.get() != second.get());
        QCOMPARE(first->browsing().entries().at(2).id, second->browsing().entries().at(2).id);
        QCOMPARE(first->history().migratedMappings().at(0).id, second->history().migratedMappings().at(0).id);
        QCOMPARE(first->history().tasks().at(0).id, second->history().tasks().at(0).id);
        QCOMPARE(first->history().logs().at(0).id, second->history().logs().at(0).id);
        for (int i = 0; i < 3; ++i)
            QVERIFY(first->history().recentMigrations().at(i).id !=
                    second->history().recentMigrations().at(i).id);
        // A change to one leaves the other alone.
        ViewModelInternals::context(*first).browsing().setSearchQuery(QStringLiteral("x"));
        QCOMPARE(second->browsing().searchQuery(), QString());
    }

    // Every path of the demo is a Linux one: the home in /home, the disk in the volumes folder of
    // the demo user, no folder of another system's layout.
    void demoPathsAreLinuxPaths()
    {
        const std::unique_ptr<MainViewModel> model = guide::makeDemoViewModel(factory());
        QStringList paths{model->browsing().config().defaultScanRoot,
                          model->browsing().config().defaultTargetRoot};
        for (const VolumeInfo& volume : model->browsing().availableVolumes())
            paths.append(volume.mountPath);
        for (const DirectoryEntry& entry : model->browsing().entries())
            paths.append(entry.path);
        for (const LinkMapping& mapping : model->history().migratedMappings())
            paths += {mapping.sourcePath, mapping.targetPath};
        for (const MigrationTask& task : model->history().tasks())
            paths += {task.sourcePath, task.targetPath};
        QCOMPARE(paths.size(), 2 + 2 + 4 + 6 + 4);
        for (const QString& path : paths) {
            QVERIFY2(path == QLatin1String("/") || path.startsWith(QStringLiteral("/home/tovra")) ||
                         path.startsWith(QStringLiteral("/media/tovra/ux402")),
                     qPrintable(path));
            for (const char* foreign : {"/Users", "/Volumes", "Library/"})
                QVERIFY2(!path.contains(QLatin1String(foreign)), qPrintable(path));
        }
    }

    // With privacy on, the demo user's home and login name are hidden in every path as the window
    // hides the user's own, also where the home stands inside a target path.
    void privacyHidesTheDemoHome_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("home") << QStringLiteral("/home/tovra") << QStringLiteral("~");
        QTest::newRow("source") << kPathB << QStringLiteral("~/.cache/bazel");
        QTest::newRow("target root") << kGuideRoot
                                     << QStringLiteral(
                                            "/media/demo/ExternalDisk/home/ux402cd/OrvalinkGuideRoot");
        QTest::newRow("target") << kGuideRoot + kPathA
                                << QStringLiteral("/media/demo/ExternalDisk/home/ux402cd/OrvalinkGuideRoot"
                                                  "/home/demo/.kilo");
    }
    void privacyHidesTheDemoHome()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        const std::unique_ptr<MainViewModel> model = guide::makeDemoViewModel(factory());
        const Presentation& texts = model->presentation();
        QCOMPARE(texts.displayPath(path), shown);
        const QString sentence = QStringLiteral("Moved to ") + path + QLatin1Char('.');
        QVERIFY2(!texts.sanitizedForPresentation(sentence).contains(QStringLiteral("tovra")),
                 qPrintable(texts.sanitizedForPresentation(sentence)));
    }

    void selectionSteps_data()
    {
        QTest::addColumn<guide::SelectionStep>("step");
        QTest::addColumn<double>("minSizeMB");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QSet<QString>>("selected");
        QTest::addColumn<qint64>("selectedSize");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("statusPrefix");
        QTest::newRow("start") << guide::SelectionStep::start << 500.0 << QString() << QSet<QString>{}
                               << qint64(0) << kPathA << QStringLiteral("Selection flow step 1 / ");
        QTest::newRow("filtered") << guide::SelectionStep::filtered << 1024.0 << QStringLiteral("bazel")
                                  << QSet<QString>{kPathB} << qint64(12347981824) << kPathB
                                  << QStringLiteral("Selection flow step 2 / ");
        QTest::newRow("ready") << guide::SelectionStep::ready << 500.0 << QString()
                               << QSet<QString>{kPathA, kPathB, kPathC}
                               << qint64(17179869184 + 12347981824 + 9663676416) << kPathC
                               << QStringLiteral("Selection flow step 3 / ");
    }
    void selectionSteps()
    {
        QFETCH(guide::SelectionStep, step);
        QFETCH(double, minSizeMB);
        QFETCH(QString, search);
        QFETCH(QSet<QString>, selected);
        QFETCH(qint64, selectedSize);
        QFETCH(QString, focused);
        QFETCH(QString, statusPrefix);
        const std::unique_ptr<MainViewModel> model = guide::makeDemoViewModel(factory());
        guide::applySelectionStep(*model, step);
        QCOMPARE(model->browsing().minSizeMB(), minSizeMB);
        QCOMPARE(model->browsing().searchQuery(), search);
        QCOMPARE(model->browsing().selectedPaths(), selected);
        QCOMPARE(model->browsing().selectedSizeBytes(), selectedSize);
        QCOMPARE(model->browsing().focusedEntryPath(), std::optional<QString>(focused));
        QVERIFY(infoLine(*model).has_value());
        QVERIFY(statusLine(*model).value_or(QString()).startsWith(statusPrefix));
        // Built on the full demo state.
        QCOMPARE(model->history().migratedMappings().size(), 3);
    }

    // The export walks one object through the steps; in any order, each step leaves what it
    // leaves on a fresh demo model.
    void stepsFollowOneAnotherOnOneObject()
    {
        using guide::SelectionStep;
        QMap<SelectionStep, QString> fresh;
        for (SelectionStep step : {SelectionStep::start, SelectionStep::filtered, SelectionStep::ready}) {
            const std::unique_ptr<MainViewModel> model = guide::makeDemoViewModel(factory());
            guide::applySelectionStep(*model, step);
            fresh.insert(step, stepState(*model));
        }
        const std::unique_ptr<MainViewModel> walked = guide::makeDemoViewModel(factory());
        for (SelectionStep step : {SelectionStep::start, SelectionStep::filtered, SelectionStep::ready,
                                   SelectionStep::filtered, SelectionStep::start}) {
            guide::applySelectionStep(*walked, step);
            QCOMPARE(stepState(*walked), fresh.value(step));
        }
    }

    // The demo settings (bilingual, privacy on, another target root) and the demo session live only
    // in the objects: every file of the application-support folder stays as it was, rendering
    // included.
    void nothingIsSaved()
    {
        const QString sessionPath = AppPaths::applicationSupportFile(QStringLiteral("auth_session.json"));
        const BackendSession saved{QStringLiteral("someone@example.org"), QStringLiteral("a"),
                                   QStringLiteral("r"), QDateTime::fromSecsSinceEpoch(2000000000, Qt::UTC),
                                   QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)};
        platform::writeFileAtomically(sessionPath, QJsonDocument(saved.toJson()).toJson(), 0600);
        const QStringList before = test::snapshotTree(m_world->home.appSupport());
        QVERIFY(!before.isEmpty());
        {
            const std::unique_ptr<MainViewModel> demo = guide::makeDemoViewModel(factory());
            guide::applySelectionStep(*demo, guide::SelectionStep::filtered);
            guide::prepareGuideRendering();
            const QImage image = guide::renderGuideWindowImage(*demo, QSize(1280, 804), QSize(1224, 748),
                                                               true, guide::GuideOverlayKind::account);
            QCOMPARE(image.size(), QSize(1280, 804));
            QCoreApplication::processEvents();
        }
        QCOMPARE(test::snapshotTree(m_world->home.appSupport()), before);
    }

    // The export's state objects read an empty folder of their own: the user's saved account, its
    // history scope and its history never reach a picture, and the user's folder stays as it was.
    void demoFolderKeepsTheUsersAccountAndHistoryOut()
    {
        const QString email = QStringLiteral("real.person@private.example");
        const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        const BackendSession saved{email, QStringLiteral("a"), QStringLiteral("r"), when.addYears(5), when};
        platform::writeFileAtomically(AppPaths::applicationSupportFile(QStringLiteral("auth_session.json")),
                                      QJsonDocument(saved.toJson()).toJson(), 0600);
        const LinkMapping secret{QUuid::createUuid(),
                                 QStringLiteral("/home/real/Secret Project"),
                                 QStringLiteral("/media/real/disk/Secret Project"),
                                 QStringLiteral("real"),
                                 QStringLiteral("REAL-UUID"),
                                 when,
                                 when};
        JSONLStore::append(secret, MappingStore().filePath(historyScopeForEmail(email)));
        {
            // Over the user's folder a state object does pick them up.
            const std::unique_ptr<MainViewModel> own = m_world->makeViewModel();
            QVERIFY(!own->persisted().localHistoryScope().isGuest());
            QCOMPARE(own->history().migratedMappings().size(), 1);
        }
        const QStringList before = test::snapshotTree(m_world->home.appSupport());
        const QByteArray supportVariable = qgetenv("ORVALINK_APP_SUPPORT_DIR");
        QString temporary;
        {
            const guide::GuideDemoFolder folder;
            temporary = folder.path();
            const std::unique_ptr<MainViewModel> plain = folder.makeViewModel();
            QVERIFY(plain->persisted().localHistoryScope().isGuest());
            QVERIFY(plain->history().migratedMappings().isEmpty());
            QVERIFY(
                !ViewModelInternals::context(*plain).services().backendAuthService->sessionStore().load());

            const std::unique_ptr<MainViewModel> demo =
                guide::makeDemoViewModel([&folder] { return folder.makeViewModel(); });
            const QString scope = demo->account().texts().migrationSyncScopeSummary();
            QVERIFY2(
                scope.contains(demo->presentation().displayEmail(QStringLiteral("tovra.guide@example.com"))),
                qPrintable(scope));
            QVERIFY2(!scope.contains(demo->presentation().displayEmail(email)), qPrintable(scope));
            for (const LinkMapping& mapping : demo->history().migratedMappings())
                QVERIFY(mapping.id != secret.id);
        }
        QCOMPARE(qgetenv("ORVALINK_APP_SUPPORT_DIR"), supportVariable);
        QVERIFY(!QFileInfo::exists(temporary));
        QCOMPARE(test::snapshotTree(m_world->home.appSupport()), before);
    }
};

QTEST_MAIN(GuideDemoDataTest)
#include "tst_guidedemodata.moc"
