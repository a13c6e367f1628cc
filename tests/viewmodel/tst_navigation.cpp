#include "ListingFixtures.h"
#include "ViewModelFixture.h"
#include "store/ConfigStore.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QDir>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

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
        ViewModelInternals::context(viewModel()).browsing().setSortOption(SortOption::nameAsc);
        ViewModelInternals::context(viewModel()).browsing().setEntries(entries);
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
        QSignalSpy historyChanged(&viewModel().navigation(), &Navigator::historyChanged);
        viewModel().navigation().goBack();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), home);
        QCOMPARE(historyChanged.size(), 0);
        const QString a = dir("A"), b = dir("B"), c = dir("C"), d = dir("D");
        for (const QString& target : {a, b, c})
            viewModel().navigation().goToDirectoryContext(target);
        viewModel().navigation().goBack();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), b);
        QCOMPARE(viewModel().browsing().pathInput(), b);
        QCOMPARE(viewModel().navigation().backHistory(), (QStringList{home, a}));
        QCOMPARE(viewModel().navigation().forwardHistory(), QStringList{c});
        viewModel().navigation().goForward();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), c);
        viewModel().navigation().goBack();
        viewModel().navigation().goToDirectoryContext(d);
        QVERIFY(viewModel().navigation().forwardHistory().isEmpty());
        QCOMPARE(viewModel().navigation().backHistory(), (QStringList{home, a, b}));
        // Three visits, back, forward, back, a visit: each moved the histories.
        QCOMPARE(historyChanged.size(), 7);
        settle();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), d);
        viewModel().navigation().clearHistory();
        viewModel().navigation().clearHistory();
        QVERIFY(viewModel().navigation().backHistory().isEmpty());
        QCOMPARE(historyChanged.size(), 8);
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
        const quint64 requests = viewModel().loader().latestScanRequestID();
        viewModel().navigation().setPathInput(m_fixture->home.home() + suffix);
        viewModel().navigation().enterPathFromInput();
        QCOMPARE(viewModel().browsing().pathInput(), m_fixture->home.home());
        QVERIFY(viewModel().navigation().backHistory().isEmpty());
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests);
    }

    void parentDirectory()
    {
        const QString a = dir("A");
        viewModel().navigation().goToDirectoryContext(a);
        viewModel().navigation().goToParentDirectory();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->home.home());
        QCOMPARE(viewModel().navigation().backHistory().last(), a);
        settle();

        ViewModelInternals::context(viewModel()).browsing().setCurrentDirectoryPath(QStringLiteral("/"));
        const quint64 requests = viewModel().loader().latestScanRequestID();
        viewModel().navigation().goToParentDirectory();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), QStringLiteral("/"));
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests);
    }

    void folderOfAPath()
    {
        const QString docs = dir("Docs");
        const QString file = m_fixture->tree.file("Docs/report.pdf");
        viewModel().navigation().goToDirectoryContext("  " + file + "\n");
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), docs);
        viewModel().navigation().goToDirectoryContext(m_fixture->tree.path("Docs/deleted.pdf"));
        QCOMPARE(viewModel().navigation().backHistory().size(), 1); // the folder shown already: no new entry
        viewModel().navigation().goToDirectoryContext("   ");
        QVERIFY(!errorLine(viewModel()));
        const QString nowhere = m_fixture->tree.path("Missing/deeper/file");
        viewModel().navigation().goToDirectoryContext(nowhere);
        QCOMPARE(errorLine(viewModel()), "Unable to locate a directory for " + nowhere);
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), docs);
        settle();
    }

    void typedPath()
    {
        const QString spaced = dir("With Space");
        ViewModelInternals::context(viewModel()).browsing().setPathInput(" " + spaced + "/ ");
        viewModel().navigation().enterPathFromInput();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), spaced);
        settle();

        // A leading tilde is the home folder, as in the field's own example.
        const QString docs = dir("Docs");
        ViewModelInternals::context(viewModel()).browsing().setPathInput(" ~/Docs/ ");
        viewModel().navigation().enterPathFromInput();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), docs);
        QCOMPARE(viewModel().browsing().pathInput(), docs);
        ViewModelInternals::context(viewModel()).browsing().setPathInput("~");
        viewModel().navigation().enterPathFromInput();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->home.home());
        settle();
        ViewModelInternals::context(viewModel()).browsing().setPathInput("~/Missing");
        viewModel().navigation().enterPathFromInput();
        QCOMPARE(errorLine(viewModel()),
                 "Directory does not exist or is not a directory: " + m_fixture->home.home() + "/Missing");
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->home.home());
    }

    void relativePathsAreRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("relative") << "Docs";
        QTest::newRow("dot") << "./Docs";
        QTest::newRow("another user's tilde") << "~bob/Docs";
    }
    // Even where the program's working directory holds such a folder.
    void relativePathsAreRefused()
    {
        QFETCH(QString, typed);
        dir("Docs");
        const auto restore = qScopeGuard([before = QDir::currentPath()] { QDir::setCurrent(before); });
        QDir::setCurrent(m_fixture->home.home());
        const quint64 requests = viewModel().loader().latestScanRequestID();
        ViewModelInternals::context(viewModel()).browsing().setPathInput(typed);
        viewModel().navigation().enterPathFromInput();
        QCOMPARE(errorLine(viewModel()), "Enter a full path that begins with / or ~: " + typed);
        QCOMPARE(viewModel().browsing().pathInput(), typed);
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->home.home());
        QCOMPARE(viewModel().loader().latestScanRequestID(), requests);
    }

    void applicationsFolder()
    {
        viewModel().navigation().goToSystemApplicationsDirectory();
        QCOMPARE(errorLine(viewModel()), QStringLiteral("System Applications directory not found."));
        QDir().mkpath(m_fixture->applicationsDirectory);
        viewModel().navigation().goToSystemApplicationsDirectory();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->applicationsDirectory);
        settle();
    }

    void keyboardFocus()
    {
        viewModel().navigation().focusNextEntry();
        QVERIFY(!viewModel().browsing().focusedEntryPath());
        showListing({folderEntry("/data/a"), fileEntry("/data/b", 1, true), fileEntry("/data/c")});
        viewModel().navigation().focusPreviousEntry();
        QCOMPARE(viewModel().browsing().focusedEntryPath(), QStringLiteral("/data/c"));
        viewModel().navigation().focusNextEntry();
        QCOMPARE(viewModel().browsing().focusedEntryPath(), QStringLiteral("/data/c"));
        viewModel().navigation().focusPreviousEntry();
        viewModel().navigation().focusPreviousEntry();
        viewModel().navigation().focusPreviousEntry();
        QCOMPARE(viewModel().browsing().focusedEntryPath(), QStringLiteral("/data/a"));
        ViewModelInternals::context(viewModel()).browsing().setFocusedEntryPath(QStringLiteral("/data/b"));
        ViewModelInternals::context(viewModel())
            .browsing()
            .setVisibilityFilter(VisibilityFilter::visibleOnly);
        viewModel().navigation().focusNextEntry();
        QCOMPARE(viewModel().browsing().focusedEntryPath(), QStringLiteral("/data/a"));
    }

    void openingTheFocusedEntry()
    {
        const QString folder = dir("Folder");
        const QString file = m_fixture->tree.file("file.txt");
        showListing({folderEntry(folder), fileEntry(file)});
        viewModel().navigation().openFocusedEntry();
        ViewModelInternals::context(viewModel()).browsing().setFocusedEntryPath(file);
        viewModel().navigation().openFocusedEntry();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), m_fixture->home.home());
        ViewModelInternals::context(viewModel()).browsing().setFocusedEntryPath(folder);
        viewModel().navigation().openFocusedEntry();
        QCOMPARE(viewModel().browsing().currentDirectoryPath(), folder);
        QVERIFY(!viewModel().browsing().focusedEntryPath());
        settle();
    }

    void selectionSurvivesNavigation()
    {
        m_fixture->tree.fileOfSize("big.bin", 8192);
        dir("Elsewhere");
        runTask(viewModel().loader().loadCurrentDirectoryForNavigation(false));
        settle();
        const auto entries = viewModel().browsing().entries();
        const auto big = std::find_if(entries.cbegin(), entries.cend(),
                                      [](const DirectoryEntry& entry) { return entry.name == "big.bin"; });
        QVERIFY(big != entries.cend());
        viewModel().navigation().setSelection(*big, true);
        QCOMPARE(viewModel().browsing().selectedSizeBytes(), 8192);
        viewModel().navigation().goToDirectoryContext(m_fixture->tree.path("Elsewhere"));
        settle();
        QVERIFY(viewModel().browsing().selectedPaths().contains(big->path));
        QCOMPARE(viewModel().browsing().selectedSizeBytes(), 0);
        viewModel().navigation().goBack();
        settle();
        QCOMPARE(viewModel().browsing().selectedSizeBytes(), 8192);
        viewModel().navigation().setSelection(*big, false);
        QCOMPARE(viewModel().browsing().selectedSizeBytes(), 0);
        viewModel().navigation().setSelection(*big, true);
        viewModel().navigation().clearSelection();
        QVERIFY(viewModel().browsing().selectedPaths().isEmpty());
        QCOMPARE(viewModel().browsing().selectedSizeBytes(), 0);
    }

    void breadcrumbs()
    {
        ViewModelInternals::context(viewModel())
            .browsing()
            .setCurrentDirectoryPath(QStringLiteral("/home/a/b/"));
        QCOMPARE(viewModel().navigation().breadcrumbPaths(),
                 (QStringList{"/", "/home", "/home/a", "/home/a/b"}));
        ViewModelInternals::context(viewModel()).browsing().setCurrentDirectoryPath(QStringLiteral("/"));
        QCOMPARE(viewModel().navigation().breadcrumbPaths(), QStringList{"/"});
    }

    void theHiddenOnlyFilterListsHiddenEntries()
    {
        viewModel().settings().updateVisibilityFilter(VisibilityFilter::visibleOnly);
        QVERIFY(!viewModel().browsing().showHiddenFiles());
        viewModel().settings().updateVisibilityFilter(VisibilityFilter::hiddenOnly);
        QCOMPARE(viewModel().browsing().visibilityFilter(), VisibilityFilter::hiddenOnly);
        QVERIFY(viewModel().browsing().showHiddenFiles());
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
        ViewModelInternals::context(viewModel()).browsing().setEntries(entries);
        QSignalSpy changed(&m_viewModel->listing(), &ShownListing::sortedEntriesChanged);
        ViewModelInternals::context(viewModel()).browsing().setSortOption(order);
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
        ViewModelInternals::context(viewModel())
            .browsing()
            .setVisibilityFilter(VisibilityFilter::visibleOnly);
        ViewModelInternals::context(viewModel()).browsing().setSearchQuery(query);
        QCOMPARE(shownNames(viewModel()), expected);
        ViewModelInternals::context(viewModel()).browsing().setFileTypeFilter(FileTypeFilter::document);
        QCOMPARE(shownNames(viewModel()).size(), qsizetype(expected.contains("Café Menu.pdf") ? 1 : 0) +
                                                     qsizetype(expected.contains("Report.txt") ? 1 : 0));
    }

    void smartMigrationCandidatesComeFirst()
    {
        showListing(
            {folderEntry("/data/Alpha", 10), folderEntry("/data/Downloads", 1), fileEntry("/data/cache.db")});
        QCOMPARE(shownNames(viewModel()), (QStringList{"Alpha", "cache.db", "Downloads"}));
        QSignalSpy changed(&m_viewModel->listing(), &ShownListing::sortedEntriesChanged);
        viewModel().settings().updateSmartMigrationEnabled(true);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(shownNames(viewModel()), (QStringList{"Downloads", "Alpha", "cache.db"}));
        QCOMPARE(viewModel().smartMigration().smartMigrationHintText(viewModel().browsing().entries()[1]),
                 QStringLiteral("Smart Pick"));
        QVERIFY(!viewModel().smartMigration().smartMigrationHintText(viewModel().browsing().entries()[0]));
    }

    void selectedHistoryRecordsKeepTheListOrder()
    {
        QList<LinkMapping> mappings;
        for (int i = 0; i < 3; ++i)
            mappings.append(LinkMapping{QUuid::createUuid(), QString::number(i), {}, {}, {}, {}, {}});
        ViewModelInternals::context(viewModel()).history().setMigratedMappings(mappings);
        ViewModelInternals::context(viewModel())
            .history()
            .setSelectedMigratedMappingIDs({mappings[2].id, mappings[0].id, QUuid::createUuid()});
        QCOMPARE(viewModel().history().selectedMigratedMappings(),
                 (QList<LinkMapping>{mappings[0], mappings[2]}));
        QVERIFY(viewModel().history().selectedUndoMappings().isEmpty());

        QVERIFY(!viewModel().accountState().isBackendBusy());
        ViewModelInternals::context(viewModel()).accountState().setIsSubmittingFeedback(true);
        QVERIFY(viewModel().accountState().isBackendBusy());
    }
};

QTEST_GUILESS_MAIN(NavigationTest)
#include "tst_navigation.moc"
