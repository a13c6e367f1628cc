#include "ViewModelFixture.h"
#include "model/Formatters.h"
#include "platform/UserLocations.h"
#include "support/TaskRunner.h"
#include "support/TmpfsMount.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QSignalSpy>
#include <QTest>
#include <optional>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::UILanguage)

class PresentationTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ViewModelFixture> m_fixture;
    std::unique_ptr<MainViewModel> m_viewModel;

    MainViewModel& viewModel() { return *m_viewModel; }
    QString home() const { return m_fixture->home.home(); }
    QString volumes() const { return m_fixture->home.volumes(); }
    // How privacy shows a path of the temporary home that is no home folder: where the checkout lies
    // below the user's own home, its login name is hidden there too.
    static QString shownOutsideHomes(const QString& path)
    {
        return PrivacyLocations::current().hidingUserName(path);
    }
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

    void theThreeLanguages_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sortTitle");
        QTest::newRow("chinese") << UILanguage::chinese << "中"
                                 << "名称";
        QTest::newRow("english") << UILanguage::english << "en"
                                 << "Name";
        QTest::newRow("bilingual") << UILanguage::bilingual << "中 en"
                                   << "名称 Name";
    }
    void theThreeLanguages()
    {
        QFETCH(UILanguage, language);
        start([](AppConfig& config) { config.uiLanguage = UILanguage::chinese; });
        viewModel().settings().setLanguage(language);
        QTEST(viewModel().presentation().localized({"中", "en"}), "text");
        QTEST(viewModel().presentation().sortTitle(SortOption::nameAsc), "sortTitle");
        ViewModelInternals::context(viewModel()).activity().setMigrationCurrentPath(QString());
        QCOMPARE(viewModel().figures().migrationCurrentItemName(),
                 viewModel().presentation().localized({"等待中", "Waiting"}));
    }

    void privacyMasksWhatIsShownOnly()
    {
        start();
        const QString document = home() + "/Documents/../Desktop/plan.txt";
        // Privacy off: trimmed, not standardized.
        QCOMPARE(viewModel().presentation().displayPath(" " + document + "\n"), document);
        viewModel().settings().setPresentationPrivacyEnabled(true);
        QCOMPARE(viewModel().presentation().displayPath(document), QStringLiteral("~/Desktop/plan.txt"));
        QCOMPARE(viewModel().presentation().displayPath(home()), QStringLiteral("~"));
        // A sibling whose name only begins with the home's name is another user's folder.
        QVERIFY(!viewModel().presentation().displayPath(home() + "2/x").startsWith('~'));
        QVERIFY(viewModel().presentation().displayPath(home() + "2/x").endsWith("/demo/x"));
        const QString shownVolumes = shownOutsideHomes(volumes());
        QCOMPARE(viewModel().presentation().displayPath(volumes() + "/Backup/Moved"),
                 shownVolumes + "/ExternalDisk/Moved");
        QCOMPARE(viewModel().presentation().displayName(volumes() + "/Backup"),
                 QStringLiteral("External Disk"));
        const QString message =
            "Cannot move " + home() + "/Movies to " + volumes() + "/Backup/x for anna@example.com";
        QCOMPARE(viewModel().presentation().sanitizedForPresentation(message),
                 "Cannot move ~/Movies to " + shownVolumes + "/ExternalDisk/x for an***@e***.com");
        QCOMPARE(viewModel().presentation().sanitizedForPresentation("/Users/bob/x on /Volumes/Disk/y"),
                 QStringLiteral("/Users/demo/x on /Volumes/ExternalDisk/y"));

        // The clipboard gets the path as given.
        viewModel().presentation().copyPathToClipboard("  ");
        QVERIFY(m_fixture->clipboard->texts.isEmpty());
        viewModel().presentation().copyPathToClipboard(" " + document + "\n");
        QCOMPARE(m_fixture->clipboard->texts, QStringList{document});
        QCOMPARE(infoLine(viewModel()), QStringLiteral("Path copied."));

        viewModel().settings().setPresentationPrivacyEnabled(false);
        QCOMPARE(viewModel().presentation().sanitizedForPresentation(message), message);
        QCOMPARE(viewModel().presentation().displayEmail(QStringLiteral(" anna@example.com ")),
                 QStringLiteral("anna@example.com"));
    }

    // The folders privacy hides are looked up when it is switched on and at each new list of
    // volumes, never for each shown name; the texts announce each change that makes them read
    // differently, and nothing else.
    void privacyLocationsAreLookedUpOncePerChange()
    {
        BrowsingState browsing;
        AppConfig config = browsing.config();
        config.uiLanguage = UILanguage::english;
        browsing.setConfig(config);
        ActivityState activity;
        const PlatformHooks platform;
        int lookups = 0;
        PrivacyLocations locations = PrivacyLocations::of(home(), volumes(), QStringLiteral("anna"));
        Presentation presentation(browsing, activity, platform, [&] {
            ++lookups;
            return locations;
        });
        QSignalSpy texts(&presentation, &Presentation::textsChanged);
        const QString document = home() + "/Documents/plan.txt";
        const QString volume = volumes() + "/Backup";
        VolumeInfo backup;
        backup.name = QStringLiteral("Backup");
        backup.mountPath = volume;
        const auto showMany = [&] {
            for (int i = 0; i < 200; ++i) {
                presentation.displayPath(document);
                presentation.displayName(volume);
                presentation.sanitizedForPresentation("Cannot move " + document);
                presentation.presentationPrivacy();
            }
        };
        const auto apply = [&](const std::function<void(AppConfig&)>& change) {
            change(config);
            browsing.setConfig(config);
        };

        showMany();
        QCOMPARE(lookups, 0);
        apply([](AppConfig& c) { c.presentationPrivacyEnabled = true; });
        QCOMPARE(lookups, 1);
        QCOMPARE(texts.size(), 1);
        showMany();
        QCOMPARE(lookups, 1);
        QCOMPARE(presentation.displayPath(document), QStringLiteral("~/Documents/plan.txt"));
        QCOMPARE(presentation.displayName(volume), QStringLiteral("External Disk"));

        // A new language reads every text anew without a look-up; another setting changes no text.
        apply([](AppConfig& c) { c.uiLanguage = UILanguage::chinese; });
        QCOMPARE(texts.size(), 2);
        apply([](AppConfig& c) { c.strictModeEnabled = !c.strictModeEnabled; });
        QCOMPARE(texts.size(), 2);
        QCOMPARE(lookups, 1);

        // A new list of volumes looks again: the same folders announce nothing, a home that moved
        // meanwhile is seen and announced.
        browsing.setAvailableVolumes({backup});
        QCOMPARE(lookups, 2);
        QCOMPARE(texts.size(), 2);
        const QString movedHome = m_fixture->home.path("elsewhere/anna");
        locations = PrivacyLocations::of(movedHome, volumes(), QStringLiteral("anna"));
        browsing.setAvailableVolumes({});
        QCOMPARE(lookups, 3);
        QCOMPARE(texts.size(), 3);
        showMany();
        QCOMPARE(lookups, 3);
        QCOMPARE(presentation.displayPath(movedHome + "/Movies"), QStringLiteral("~/Movies"));

        // Off, nothing is looked up, also for new volumes; on again looks up once more.
        apply([](AppConfig& c) { c.presentationPrivacyEnabled = false; });
        QCOMPARE(texts.size(), 4);
        browsing.setAvailableVolumes({backup});
        showMany();
        QCOMPARE(presentation.displayPath(document), document);
        QCOMPARE(lookups, 3);
        apply([](AppConfig& c) { c.presentationPrivacyEnabled = true; });
        QCOMPARE(lookups, 4);
        QCOMPARE(texts.size(), 5);

        // Another lookup (the guide's demo folders) is asked at once and from then on; the texts
        // are announced once. While privacy is off it waits until privacy is switched on.
        int demoLookups = 0;
        const auto demo = [&] {
            ++demoLookups;
            return PrivacyLocations::of(QStringLiteral("/home/tovra"), QStringLiteral("/media/tovra"),
                                        QStringLiteral("tovra"));
        };
        presentation.setLocationsLookup(demo);
        QCOMPARE(demoLookups, 1);
        QCOMPARE(texts.size(), 6);
        QCOMPARE(presentation.displayPath(QStringLiteral("/media/tovra/ux402/home/tovra/.kilo")),
                 QStringLiteral("/media/demo/ExternalDisk/home/demo/.kilo"));
        presentation.setLocationsLookup(demo);
        QCOMPARE(texts.size(), 6);
        apply([](AppConfig& c) { c.presentationPrivacyEnabled = false; });
        presentation.setLocationsLookup(demo);
        QCOMPARE(demoLookups, 2);
        apply([](AppConfig& c) { c.presentationPrivacyEnabled = true; });
        QCOMPARE(demoLookups, 3);
        QCOMPARE(presentation.displayPath(QStringLiteral("/home/tovra")), QStringLiteral("~"));
        QCOMPARE(lookups, 4);
    }

    // The volumes folder of a Linux desktop carries the login name (/media/<user>): with privacy
    // on, no path, breadcrumb, message or volume name shows it.
    void loginNameInTheVolumesFolderIsMasked()
    {
        const QString user = platform::userName();
        const QString volumesFolder = m_fixture->home.path("media/" + user);
        const QString moved = volumesFolder + "/Backup/Moved";
        QVERIFY(QDir().mkpath(moved));
        m_fixture->home.setEnv("ORVALINK_VOLUMES_DIR", volumesFolder);
        start();
        viewModel().settings().setPresentationPrivacyEnabled(true);
        ViewModelInternals::context(viewModel()).browsing().setCurrentDirectoryPath(moved);

        QCOMPARE(viewModel().presentation().displayPath(moved),
                 shownOutsideHomes(m_fixture->home.root()) + "/media/demo/ExternalDisk/Moved");
        QStringList shown{viewModel().presentation().displayPath(moved),
                          viewModel().presentation().displayPath(volumesFolder),
                          viewModel().presentation().sanitizedForPresentation(
                              "Cannot move " + home() + "/Movies to " + moved + ": nothing mounted at " +
                              volumesFolder + ".")};
        for (const QString& crumb : viewModel().navigation().breadcrumbPaths())
            shown << viewModel().presentation().displayName(crumb)
                  << viewModel().presentation().displayPath(crumb);
        QVERIFY(!viewModel().browsing().availableVolumes().isEmpty());
        for (qsizetype i = 0; i < viewModel().browsing().availableVolumes().size(); ++i) {
            const VolumeInfo& volume = viewModel().browsing().availableVolumes().at(i);
            shown << viewModel().presentation().displayVolumeName(volume, int(i + 1))
                  << viewModel().presentation().displayPath(volume.mountPath);
        }
        // The mask itself reads "demo": for a user of that name only the shapes above can be checked.
        static const QRegularExpression separators(QStringLiteral("[/\\s:]+|\\.(?=\\s|$)"));
        for (const QString& text : shown) {
            if (user != QLatin1String("demo"))
                QVERIFY2(!text.split(separators).contains(user), qPrintable(text));
        }

        viewModel().settings().setPresentationPrivacyEnabled(false);
        QCOMPARE(viewModel().presentation().displayPath(moved), moved);
    }

    void revealingAPath()
    {
        start();
        const QString file = m_fixture->tree.file("Docs/a.txt");
        viewModel().presentation().revealInFileManager("   ");
        viewModel().presentation().revealInFileManager(home() + "/Docs/missing/../gone.txt");
        QCOMPARE(errorLine(viewModel()), "Path does not exist: " + home() + "/Docs/gone.txt");
        QVERIFY(m_fixture->revealer->revealed.isEmpty());
        viewModel().presentation().revealInFileManager(" " + home() + "/Docs/./a.txt ");
        QCOMPARE(m_fixture->revealer->revealed, QStringList{file});
        QVERIFY(!infoLine(viewModel()) || !infoLine(viewModel())->startsWith("No file manager"));
    }

    // Nothing could show the item: the info line says so, with the path as privacy shows it. A
    // failure that arrives after the state object went says nothing.
    void aRevealNothingAnsweredIsReported()
    {
        start([](AppConfig& config) { config.presentationPrivacyEnabled = true; });
        const QString file = m_fixture->tree.file("Docs/a.txt");
        m_fixture->revealer->fails = true;
        viewModel().presentation().revealInFileManager(file);
        QCOMPARE(infoLine(viewModel()),
                 std::optional<QString>("No file manager could show the item: ~/Docs/a.txt"));
        QVERIFY(!errorLine(viewModel()));

        m_fixture->revealer->fails = false;
        ViewModelInternals::context(viewModel()).activity().setInfoMessage(std::nullopt);
        viewModel().presentation().revealInFileManager(file);
        QVERIFY(!infoLine(viewModel()));
        m_viewModel.reset();
        m_fixture->revealer->failures.last()();
    }

    void containersNotice()
    {
        start();
        ViewModelInternals::context(viewModel())
            .browsing()
            .setCurrentDirectoryPath(home() + "/Library/Containers/");
        QVERIFY(viewModel().presentation().currentDirectoryContainersNoticeText()->startsWith(
            "This directory is not recommended"));
        ViewModelInternals::context(viewModel())
            .browsing()
            .setCurrentDirectoryPath(home() + "/Library/Containers/app");
        QVERIFY(!viewModel().presentation().currentDirectoryContainersNoticeText());
    }

    void targetOutsideTheVolumesFolder()
    {
        start([&](AppConfig& config) { config.defaultTargetRoot = home() + "/Backups"; });
        QVERIFY(viewModel().browsing().systemVolumeTotalBytes() > 0);
        QVERIFY(viewModel().browsing().systemVolumeFreeBytes() > 0);
        QVERIFY(viewModel().figures().systemVolumeUsageRatio() > 0 &&
                viewModel().figures().systemVolumeUsageRatio() <= 1);
        QCOMPARE(viewModel().browsing().targetVolumeTotalBytes(), 0);
        QCOMPARE(viewModel().figures().targetVolumeUsageRatio(), 0.0);
        QCOMPARE(viewModel().figures().targetVolumeStatus(), QStringLiteral("Not mounted"));
    }

    void aVolumeFolderWithNothingMounted()
    {
        // A folder left behind in the volumes folder lies on the internal disk: it is no target.
        QDir().mkpath(volumes() + "/Gone/Root");
        start([&](AppConfig& config) { config.defaultTargetRoot = volumes() + "/Gone/Root"; });
        QCOMPARE(viewModel().browsing().targetVolumeTotalBytes(), 0);
        QCOMPARE(viewModel().browsing().targetVolumeFreeBytes(), 0);
        QCOMPARE(viewModel().figures().targetVolumeStatus(), QStringLiteral("Not mounted"));
        QCOMPARE(viewModel().browsing().availableVolumes().size(), 1);
        QVERIFY(viewModel().figures().externalVolumes().isEmpty());
    }

    // Quick Select offers the volume while it is mounted, and no more once it is gone, however
    // recent the listing.
    void aMountedTargetVolume()
    {
        std::optional<TmpfsMount> mount(std::in_place, volumes() + "/Disk", 16 * 1024 * 1024);
        if (!mount->isValid())
            QSKIP(qPrintable(mount->skipReason()));
        start([&](AppConfig& config) { config.defaultTargetRoot = volumes() + "/Disk/Orvalink"; });
        QCOMPARE(viewModel().browsing().targetVolumeTotalBytes(), 16 * 1024 * 1024);
        QVERIFY(viewModel().browsing().targetVolumeFreeBytes() > 0);
        QCOMPARE(viewModel().figures().targetVolumeStatus(),
                 "Mounted, free: " + Formatters::sizeString(viewModel().browsing().targetVolumeFreeBytes()));
        QCOMPARE(viewModel().figures().externalVolumes().size(), 1);
        mount.reset();
        QVERIFY(viewModel().browsing().availableVolumes().constFirst().isMounted);
        QVERIFY(viewModel().figures().externalVolumes().isEmpty());
        m_viewModel.reset();
    }

    void progressFigures()
    {
        start();
        QVERIFY(!viewModel().figures().shouldShowMigrationProgress());
        ViewModelInternals::context(viewModel()).activity().setMigrationTotalItems(10);
        ViewModelInternals::context(viewModel()).activity().setMigrationProcessedItems(3);
        ViewModelInternals::context(viewModel())
            .activity()
            .setMigrationCurrentPath(volumes() + "/Backup/Moved/Photos");
        QCOMPARE(viewModel().figures().migrationProgressCountText(), QStringLiteral("3/10"));
        QCOMPARE(viewModel().figures().migrationItemProgressPercentText(), QStringLiteral("30%"));
        QCOMPARE(viewModel().figures().migrationCurrentItemName(), QStringLiteral("Photos"));
        QVERIFY(viewModel().figures().shouldShowMigrationProgress());
    }

    void weChatSuggestionsFollowTheFolders()
    {
        start([](AppConfig& config) {
            config.smartMigrationEnabled = true;
            config.smartMigrationProfile = SmartMigrationProfile::wechat;
        });
        auto cards = viewModel().smartMigration().smartMigrationSuggestions();
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.first().id, QStringLiteral("wechat-unavailable"));

        const QString root = m_fixture->tree.dir("Library/Containers/com.tencent.xinWeChat");
        m_fixture->tree.dir("Library/Group Containers/group.com.tencent.xinWeChat");
        cards = viewModel().smartMigration().smartMigrationSuggestions();
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards.first().id, "wechat-root-" + root);

        // Inside a root, a new listing brings the candidates to the front.
        m_fixture->tree.dir("Library/Containers/com.tencent.xinWeChat/Data/Message Cache");
        m_fixture->tree.fileOfSize("Library/Containers/com.tencent.xinWeChat/Data/zz.bin", 8192);
        m_fixture->tree.dir("Library/Containers/com.tencent.xinWeChat/Data/Preferences Backup");
        viewModel().navigation().goToDirectoryContext(root + "/Data");
        QVERIFY(waitUntilIdle(viewModel()));
        QCOMPARE(shownNames(viewModel()).first(), QStringLiteral("Message Cache"));
        cards = viewModel().smartMigration().smartMigrationSuggestions();
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.first().id, "wechat-entry-" + root + "/Data/Message Cache");
        QVERIFY(viewModel().smartMigration().weChatSmartMigrationValidationMessage(
            {root + "/Data/Library/Caches"}));
        QVERIFY(!viewModel().smartMigration().weChatSmartMigrationValidationMessage({root}));
    }

    void genericSuggestionsFallBackToTheHomeFolders()
    {
        start([](AppConfig& config) { config.smartMigrationEnabled = true; });
        m_fixture->tree.dir("Movies");
        m_fixture->tree.dir("Pictures");
        ViewModelInternals::context(viewModel())
            .browsing()
            .setCurrentDirectoryPath(m_fixture->tree.dir("Plain"));
        QStringList ids;
        for (const auto& card : viewModel().smartMigration().smartMigrationSuggestions())
            ids.append(card.id);
        QCOMPARE(ids,
                 (QStringList{"generic-root-" + home() + "/Movies", "generic-root-" + home() + "/Pictures"}));
        viewModel().settings().updateSmartMigrationEnabled(false);
        QVERIFY(viewModel().smartMigration().smartMigrationSuggestions().isEmpty());
        QVERIFY(
            viewModel().smartMigration().smartMigrationSummary().startsWith("Surface large data folders"));
    }
};

QTEST_GUILESS_MAIN(PresentationTest)
#include "tst_viewmodelpresentation.moc"
