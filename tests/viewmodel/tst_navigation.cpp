#include "ListingFixtures.h"
#include "ViewModelFixture.h"
#include "store/ConfigStore.h"
#include "support/TaskRunner.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::SortOption)

class NavigationTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ViewModelFixture> m_fixture;
    std::unique_ptr<MainViewModel> m_viewModel;

    MainViewModel& viewModel() { return *m_viewModel; }
    QString dir(const QString& name) { return m_fixture->tree.dir(name); }
    void settle() { QVERIFY(waitUntilIdle(*m_viewModel)); }
    // A listing of made-up entries below /data, shown in name order unless a test says otherwise.
    void showListing(const QList<DirectoryEntry>& entries)
    {
        viewModel().setSortOption(SortOption::nameAsc);
        viewModel().setEntries(entries);
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<ViewModelFixture>();
        AppConfig config = m_fixture->baseConfig();
        config.uiLanguage = UILanguage::english;
        config.showHiddenFiles = false;
        m_fixture->writeConfig(config);
        m_viewModel = m_fixture->makeViewModel();
    }
    void cleanup()
    {
        m_viewModel.reset();
        m_fixture.reset();
    }

    void backAndForward()
    {
        const QString home = m_fixture->home.home();
        viewModel().goBack();
        QCOMPARE(viewModel().currentDirectoryPath(), home);
        const QString a = dir("A"), b = dir("B"), c = dir("C"), d = dir("D");
        for (const QString& target : {a, b, c})
            viewModel().goToDirectoryContext(target);
        viewModel().goBack();
        QCOMPARE(viewModel().currentDirectoryPath(), b);
        QCOMPARE(viewModel().pathInput(), b);
        QCOMPARE(viewModel().backHistory(), (QStringList{home, a}));
        QCOMPARE(viewModel().forwardHistory(), QStringList{c});
        viewModel().goForward();
        QCOMPARE(viewModel().currentDirectoryPath(), c);
        viewModel().goBack();
        viewModel().goToDirectoryContext(d);
        QVERIFY(viewModel().forwardHistory().isEmpty());
        QCOMPARE(viewModel().backHistory(), (QStringList{home, a, b}));
        settle();
        QCOMPARE(viewModel().currentDirectoryPath(), d);
    }

    void theShownDirectoryRecordsNothing_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("trailing slash") << "/";
        QTest::newRow("dot") << "/.";
        QTest::newRow("down and up") << "/A/..";
    }
    void theShownDirectoryRecordsNothing()
    {
        QFETCH(QString, suffix);
        dir("A");
        const quint64 requests = viewModel().latestScanRequestID();
        viewModel().setPathInput(m_fixture->home.home() + suffix);
        viewModel().enterPathFromInput();
        QCOMPARE(viewModel().pathInput(), m_fixture->home.home());
        QVERIFY(viewModel().backHistory().isEmpty());
        QCOMPARE(viewModel().latestScanRequestID(), requests);
    }

    void parentDirectory()
    {
        const QString a = dir("A");
        viewModel().goToDirectoryContext(a);
        viewModel().goToParentDirectory();
        QCOMPARE(viewModel().currentDirectoryPath(), m_fixture->home.home());
        QCOMPARE(viewModel().backHistory().last(), a);
        settle();

        viewModel().setCurrentDirectoryPath(QStringLiteral("/"));
        const quint64 requests = viewModel().latestScanRequestID();
        viewModel().goToParentDirectory();
        QCOMPARE(viewModel().currentDirectoryPath(), QStringLiteral("/"));
        QCOMPARE(viewModel().latestScanRequestID(), requests);
    }

    void folderOfAPath()
    {
        const QString docs = dir("Docs");
        const QString file = m_fixture->tree.file("Docs/report.pdf");
        viewModel().goToDirectoryContext("  " + file + "\n");
        QCOMPARE(viewModel().currentDirectoryPath(), docs);
        viewModel().goToDirectoryContext(m_fixture->tree.path("Docs/deleted.pdf"));
        QCOMPARE(viewModel().backHistory().size(), 1); // the folder shown already: no new entry
        viewModel().goToDirectoryContext("   ");
        QVERIFY(!viewModel().errorMessage());
        const QString nowhere = m_fixture->tree.path("Missing/deeper/file");
        viewModel().goToDirectoryContext(nowhere);
        QCOMPARE(viewModel().errorMessage(), "Unable to locate a directory for " + nowhere);
        QCOMPARE(viewModel().currentDirectoryPath(), docs);
        settle();
    }

    void typedPath()
    {
        const QString spaced = dir("With Space");
        viewModel().setPathInput(" " + spaced + "/ ");
        viewModel().enterPathFromInput();
        QCOMPARE(viewModel().currentDirectoryPath(), spaced);
        settle();

        // A tilde is not expanded: it names a folder "~" in the working directory.
        viewModel().setPathInput("~/Docs");
        viewModel().enterPathFromInput();
        QCOMPARE(viewModel().errorMessage(),
                 "Directory does not exist or is not a directory: " + QDir::currentPath() + "/~/Docs");
        QCOMPARE(viewModel().pathInput(), QStringLiteral("~/Docs"));
        QCOMPARE(viewModel().currentDirectoryPath(), spaced);
    }

    void applicationsFolder()
    {
        viewModel().goToSystemApplicationsDirectory();
        QCOMPARE(viewModel().errorMessage(), QStringLiteral("System Applications directory not found."));
        QDir().mkpath(m_fixture->applicationsDirectory);
        viewModel().goToSystemApplicationsDirectory();
        QCOMPARE(viewModel().currentDirectoryPath(), m_fixture->applicationsDirectory);
        settle();
    }

    void keyboardFocus()
    {
        viewModel().focusNextEntry();
        QVERIFY(!viewModel().focusedEntryPath());
        showListing({folderEntry("/data/a"), fileEntry("/data/b", 1, true), fileEntry("/data/c")});
        viewModel().focusPreviousEntry();
        QCOMPARE(viewModel().focusedEntryPath(), QStringLiteral("/data/c"));
        viewModel().focusNextEntry();
        QCOMPARE(viewModel().focusedEntryPath(), QStringLiteral("/data/c"));
        viewModel().focusPreviousEntry();
        viewModel().focusPreviousEntry();
        viewModel().focusPreviousEntry();
        QCOMPARE(viewModel().focusedEntryPath(), QStringLiteral("/data/a"));
        viewModel().setFocusedEntryPath(QStringLiteral("/data/b"));
        viewModel().setVisibilityFilter(VisibilityFilter::visibleOnly);
        viewModel().focusNextEntry();
        QCOMPARE(viewModel().focusedEntryPath(), QStringLiteral("/data/a"));
    }

    void openingTheFocusedEntry()
    {
        const QString folder = dir("Folder");
        const QString file = m_fixture->tree.file("file.txt");
        showListing({folderEntry(folder), fileEntry(file)});
        viewModel().openFocusedEntry();
        viewModel().setFocusedEntryPath(file);
        viewModel().openFocusedEntry();
        QCOMPARE(viewModel().currentDirectoryPath(), m_fixture->home.home());
        viewModel().setFocusedEntryPath(folder);
        viewModel().openFocusedEntry();
        QCOMPARE(viewModel().currentDirectoryPath(), folder);
        QVERIFY(!viewModel().focusedEntryPath());
        settle();
    }

    void selectionSurvivesNavigation()
    {
        m_fixture->tree.fileOfSize("big.bin", 8192);
        dir("Elsewhere");
        runTask(viewModel().loadCurrentDirectoryForNavigation(false));
        settle();
        const auto entries = viewModel().entries();
        const auto big = std::find_if(entries.cbegin(), entries.cend(),
                                      [](const DirectoryEntry& entry) { return entry.name == "big.bin"; });
        QVERIFY(big != entries.cend());
        viewModel().setSelection(*big, true);
        QCOMPARE(viewModel().selectedSizeBytes(), 8192);
        viewModel().goToDirectoryContext(m_fixture->tree.path("Elsewhere"));
        settle();
        QVERIFY(viewModel().selectedPaths().contains(big->path));
        QCOMPARE(viewModel().selectedSizeBytes(), 0);
        viewModel().goBack();
        settle();
        QCOMPARE(viewModel().selectedSizeBytes(), 8192);
        viewModel().setSelection(*big, false);
        QCOMPARE(viewModel().selectedSizeBytes(), 0);
    }

    void breadcrumbs()
    {
        viewModel().setCurrentDirectoryPath(QStringLiteral("/home/a/b/"));
        QCOMPARE(viewModel().breadcrumbPaths(), (QStringList{"/", "/home", "/home/a", "/home/a/b"}));
        viewModel().setCurrentDirectoryPath(QStringLiteral("/"));
        QCOMPARE(viewModel().breadcrumbPaths(), QStringList{"/"});
    }

    void theHiddenOnlyFilterListsHiddenEntries()
    {
        viewModel().updateVisibilityFilter(VisibilityFilter::visibleOnly);
        QVERIFY(!viewModel().showHiddenFiles());
        viewModel().updateVisibilityFilter(VisibilityFilter::hiddenOnly);
        QCOMPARE(viewModel().visibilityFilter(), VisibilityFilter::hiddenOnly);
        QVERIFY(viewModel().showHiddenFiles());
        QVERIFY(ConfigStore(m_fixture->configPath()).load().showHiddenFiles);
        settle();
    }

    void ordersThroughTheStateObject_data()
    {
        QTest::addColumn<SortOption>("order");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("size desc") << SortOption::sizeDesc
                                   << QStringList{"b.png", "Movies", "a.txt", "c.mp4"};
        QTest::newRow("size asc") << SortOption::sizeAsc << QStringList{"c.mp4", "a.txt", "Movies", "b.png"};
        QTest::newRow("type, size desc")
            << SortOption::typeSizeDesc << QStringList{"Movies", "b.png", "c.mp4", "a.txt"};
        QTest::newRow("type, size asc")
            << SortOption::typeSizeAsc << QStringList{"Movies", "b.png", "c.mp4", "a.txt"};
        QTest::newRow("name") << SortOption::nameAsc << QStringList{"a.txt", "b.png", "c.mp4", "Movies"};
        QTest::newRow("modified") << SortOption::modifiedDesc
                                  << QStringList{"c.mp4", "Movies", "b.png", "a.txt"};
    }
    void ordersThroughTheStateObject()
    {
        QFETCH(SortOption, order);
        QFETCH(QStringList, expected);
        QList<DirectoryEntry> entries{fileEntry("/data/a.txt", 30), fileEntry("/data/b.png", 90),
                                      folderEntry("/data/Movies", 50), fileEntry("/data/c.mp4", 10)};
        for (qsizetype i = 0; i < entries.size(); ++i)
            entries[i].modifiedAt = QDateTime::fromSecsSinceEpoch(1700000000 + 100 * i, Qt::UTC);
        entries[3].modifiedAt = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
        viewModel().setEntries(entries);
        QSignalSpy changed(m_viewModel.get(), &MainViewModel::sortedEntriesChanged);
        viewModel().setSortOption(order);
        QCOMPARE(changed.size(), order == SortOption::sizeDesc ? 0 : 1);
        QCOMPARE(shownNames(viewModel()), expected);
    }

    void filtersAndSearch_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("blank") << "   "
                               << QStringList{"Café Menu.pdf", "ｐｒｏｊｅｃｔ", "Report.txt", "Tools"};
        QTest::newRow("accent folded") << "cafe" << QStringList{"Café Menu.pdf"};
        QTest::newRow("full width") << "PROJ" << QStringList{"ｐｒｏｊｅｃｔ"};
        QTest::newRow("words in path and name") << "alice report" << QStringList{"Report.txt"};
        QTest::newRow("letters in order") << "tls" << QStringList{"Tools"};
        QTest::newRow("nothing") << "zzz" << QStringList{};
    }
    void filtersAndSearch()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        showListing({fileEntry("/home/alice/Café Menu.pdf"), folderEntry("/home/alice/ｐｒｏｊｅｃｔ"),
                     fileEntry("/home/alice/Report.txt"), folderEntry("/srv/Tools"),
                     fileEntry("/home/alice/.hidden", 0, true)});
        viewModel().setVisibilityFilter(VisibilityFilter::visibleOnly);
        viewModel().setSearchQuery(query);
        QCOMPARE(shownNames(viewModel()), expected);
        viewModel().setFileTypeFilter(FileTypeFilter::document);
        QCOMPARE(shownNames(viewModel()).size(), qsizetype(expected.contains("Café Menu.pdf") ? 1 : 0) +
                                                     qsizetype(expected.contains("Report.txt") ? 1 : 0));
    }

    void smartMigrationCandidatesComeFirst()
    {
        showListing(
            {folderEntry("/data/Alpha", 10), folderEntry("/data/Downloads", 1), fileEntry("/data/cache.db")});
        QCOMPARE(shownNames(viewModel()), (QStringList{"Alpha", "cache.db", "Downloads"}));
        QSignalSpy changed(m_viewModel.get(), &MainViewModel::sortedEntriesChanged);
        viewModel().updateSmartMigrationEnabled(true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(shownNames(viewModel()), (QStringList{"Downloads", "Alpha", "cache.db"}));
        QCOMPARE(viewModel().smartMigrationHintText(viewModel().entries()[1]), QStringLiteral("Smart Pick"));
        QVERIFY(!viewModel().smartMigrationHintText(viewModel().entries()[0]));
    }

    void selectedHistoryRecordsKeepTheListOrder()
    {
        QList<LinkMapping> mappings;
        for (int i = 0; i < 3; ++i)
            mappings.append(LinkMapping{QUuid::createUuid(), QString::number(i), {}, {}, {}, {}, {}});
        viewModel().setMigratedMappings(mappings);
        viewModel().setSelectedMigratedMappingIDs({mappings[2].id, mappings[0].id, QUuid::createUuid()});
        QCOMPARE(viewModel().selectedMigratedMappings(), (QList<LinkMapping>{mappings[0], mappings[2]}));
        QVERIFY(viewModel().selectedUndoMappings().isEmpty());

        QVERIFY(!viewModel().isBackendBusy());
        viewModel().setIsSubmittingFeedback(true);
        QVERIFY(viewModel().isBackendBusy());
    }
};

QTEST_GUILESS_MAIN(NavigationTest)
#include "tst_navigation.moc"
