#include "ViewModelFixture.h"
#include "model/AppPaths.h"
#include "model/OrvalinkError.h"
#include "store/ScanCacheStore.h"
#include "support/TaskRunner.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

namespace {

std::optional<QList<DirectoryEntry>> cachedListing(const QString& directory, bool hidden = true)
{
    return ScanCacheStore(AppPaths::applicationSupportFile(QStringLiteral("scan_cache.json")))
        .loadEntries(directory, hidden);
}

qint64 sizeOf(const QList<DirectoryEntry>& entries, const QString& name)
{
    for (const DirectoryEntry& entry : entries) {
        if (entry.name == name)
            return entry.sizeBytes;
    }
    return -1;
}

// What a cached listing keeps of the shown one (dates lose their fraction of a second).
QStringList namesAndSizes(const QList<DirectoryEntry>& entries)
{
    QStringList result;
    for (const DirectoryEntry& entry : entries)
        result.append(entry.name + QLatin1Char('=') + QString::number(entry.sizeBytes));
    return result;
}

QStringList names(const QList<DirectoryEntry>& entries)
{
    QStringList result;
    for (const DirectoryEntry& entry : entries)
        result.append(entry.name);
    result.sort();
    return result;
}

// Counts how often a flag went on.
int timesSwitchedOn(const QList<bool>& values)
{
    return int(std::count(values.cbegin(), values.cend(), true));
}

} // namespace

class DirectoryLoadingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ViewModelFixture> m_fixture;
    std::unique_ptr<MainViewModel> m_viewModel;
    QList<bool> m_backgroundStates;

    MainViewModel& viewModel() { return *m_viewModel; }
    void load(bool forceLiveRefresh = false)
    {
        runTask(m_viewModel->loader().loadCurrentDirectoryForNavigation(forceLiveRefresh));
        QVERIFY(waitUntilIdle(*m_viewModel));
    }

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<ViewModelFixture>();
        AppConfig config = m_fixture->baseConfig();
        config.uiLanguage = UILanguage::english;
        config.minLargeSizeBytes = 1024 * 1024;
        m_fixture->writeConfig(config);
        m_fixture->tree.fileOfSize(QStringLiteral("Alpha/inner.bin"), 3 * 4096);
        m_fixture->tree.fileOfSize(QStringLiteral("file.txt"), 4096);
        m_viewModel = m_fixture->makeViewModel();
        m_backgroundStates.clear();
        connect(&m_viewModel->browsing(), &BrowsingState::isBackgroundScanningChanged, this,
                [this] { m_backgroundStates.append(m_viewModel->browsing().isBackgroundScanning()); });
    }
    void cleanup()
    {
        m_viewModel.reset();
        m_fixture.reset();
    }

    // A folder moved away and linked, or a link replaced by its folder again, while no listing was
    // reloaded: the next load from the cache shows what each name is now (a link counts nothing,
    // a folder back in place is measured again), drops what is gone, and saves the correction.
    void aCachedListingShowsWhatIsOnDiskNow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("folder moved and linked") << "linked";
        QTest::newRow("link replaced by its folder") << "restored";
        QTest::newRow("folder gone") << "gone";
    }

    void aCachedListingShowsWhatIsOnDiskNow()
    {
        QFETCH(QString, change);
        const QString home = m_fixture->home.home();
        const QString alpha = m_fixture->tree.path(QStringLiteral("Alpha"));
        const QString away = m_fixture->home.path(QStringLiteral("away/Alpha"));
        QVERIFY(QDir().mkpath(QFileInfo(away).path()));
        if (change == "restored") {
            QVERIFY(QDir().rename(alpha, away));
            QVERIFY(QFile::link(away, alpha));
        }
        load(true);
        QVERIFY(cachedListing(home));
        const qint64 before = viewModel().browsing().currentDirectorySizeBytes();

        if (change == "linked") {
            QVERIFY(QDir().rename(alpha, away));
            QVERIFY(QFile::link(away, alpha));
        } else if (change == "restored") {
            QVERIFY(QFile::remove(alpha));
            QVERIFY(QDir().rename(away, alpha));
        } else {
            QVERIFY(QDir(alpha).removeRecursively());
        }
        load();
        const QList<DirectoryEntry>& shown = viewModel().browsing().entries();
        const auto entryOf = [&shown](const QString& name) -> std::optional<DirectoryEntry> {
            for (const DirectoryEntry& entry : shown) {
                if (entry.name == name)
                    return entry;
            }
            return std::nullopt;
        };
        QVERIFY(entryOf(QStringLiteral("file.txt")));
        const std::optional<DirectoryEntry> entry = entryOf(QStringLiteral("Alpha"));
        if (change == "gone") {
            QVERIFY(!entry);
            QCOMPARE(viewModel().browsing().currentDirectorySizeBytes(), before - 3 * 4096);
        } else if (change == "linked") {
            QVERIFY(entry && entry->isSymbolicLink);
            QCOMPARE(entry->sizeBytes, 0);
            QCOMPARE(viewModel().browsing().currentDirectorySizeBytes(), before - 3 * 4096);
        } else {
            QVERIFY(entry && !entry->isSymbolicLink && entry->isDirectory());
            QCOMPARE(entry->sizeBytes, 3 * 4096);
            QCOMPARE(viewModel().browsing().currentDirectorySizeBytes(), before + 3 * 4096);
        }
        // What the next start reads is the corrected listing.
        const auto cached = cachedListing(home);
        QVERIFY(cached);
        QCOMPARE(namesAndSizes(*cached), namesAndSizes(shown));
    }

    // A folder and a link made after the cache was saved show at the first load from it: the link
    // as a link, the folder unsized until the refresh measures it. The cache holds both before that
    // refresh starts, so a start that comes first shows them too; and a search finds them.
    void namesTheCacheLacksShowAtOnce()
    {
        const QString home = m_fixture->home.home();
        load();
        QCOMPARE(namesAndSizes(*cachedListing(home)).size(), 2);
        m_fixture->tree.fileOfSize(QStringLiteral("Archive/old.bin"), 2 * 4096);
        QVERIFY(QFile::link(m_fixture->tree.path(QStringLiteral("Alpha")),
                            m_fixture->tree.path(QStringLiteral("Shortcut"))));

        QList<QList<DirectoryEntry>> published;
        connect(&m_viewModel->browsing(), &BrowsingState::entriesChanged, this,
                [&] { published.append(viewModel().browsing().entries()); });
        std::optional<QStringList> cachedWhenMeasuring;
        connect(&m_viewModel->browsing(), &BrowsingState::isBackgroundScanningChanged, this, [&] {
            if (viewModel().browsing().isBackgroundScanning() && !cachedWhenMeasuring)
                cachedWhenMeasuring = names(cachedListing(home).value_or(QList<DirectoryEntry>{}));
        });
        load();
        QVERIFY(!published.isEmpty());
        const QList<DirectoryEntry>& first = published.constFirst();
        QCOMPARE(names(first), (QStringList{"Alpha", "Archive", "Shortcut", "file.txt"}));
        const auto entryIn = [](const QList<DirectoryEntry>& entries, const QString& name) {
            return *std::find_if(entries.cbegin(), entries.cend(),
                                 [&name](const DirectoryEntry& entry) { return entry.name == name; });
        };
        QVERIFY(entryIn(first, "Shortcut").isSymbolicLink);
        QCOMPARE(entryIn(first, "Shortcut").sizeBytes, 0);
        QVERIFY(entryIn(first, "Archive").isDirectory() && !entryIn(first, "Archive").isSymbolicLink);
        QCOMPARE(entryIn(first, "Archive").sizeBytes, 0);
        QCOMPARE(entryIn(first, "Alpha").sizeBytes, 3 * 4096);
        QCOMPARE(cachedWhenMeasuring, std::optional(names(first)));

        QCOMPARE(sizeOf(viewModel().browsing().entries(), "Archive"), 2 * 4096);
        QCOMPARE(namesAndSizes(*cachedListing(home)), namesAndSizes(viewModel().browsing().entries()));
        // The search looks at whole paths too, so a checkout whose path spells the query in order
        // shows the other names as well: what counts is that the new folder is among those shown.
        viewModel().listing().setSearchQuery(QStringLiteral("Archive"));
        QVERIFY(shownNames(viewModel()).contains(QStringLiteral("Archive")));
    }

    // A live listing of the folder shown (as after a migration or undo) keeps the sizes the folders
    // showed until the refresh measures them anew; a folder now a link shows as a link. The listing
    // reaches the cache before that refresh starts.
    void aLiveListingKeepsTheKnownSizesUntilMeasured()
    {
        const QString home = m_fixture->home.home();
        const QString beta = m_fixture->tree.path(QStringLiteral("Beta"));
        m_fixture->tree.fileOfSize(QStringLiteral("Beta/b.bin"), 4096);
        m_fixture->tree.fileOfSize(QStringLiteral("Gamma/g.bin"), 5 * 4096);
        load();
        QCOMPARE(sizeOf(viewModel().browsing().entries(), "Alpha"), 3 * 4096);

        m_fixture->tree.fileOfSize(QStringLiteral("Alpha/more.bin"), 4096);
        const QString away = m_fixture->home.path(QStringLiteral("away/Beta"));
        QVERIFY(QDir().mkpath(QFileInfo(away).path()));
        QVERIFY(QDir().rename(beta, away));
        QVERIFY(QFile::link(away, beta));
        m_fixture->tree.dir(QStringLiteral("Delta"));

        QStringList publishedSizes;
        connect(&m_viewModel->browsing(), &BrowsingState::entriesChanged, this, [&] {
            const QList<DirectoryEntry>& entries = viewModel().browsing().entries();
            publishedSizes.append(QStringLiteral("Alpha=%1 Gamma=%2")
                                      .arg(sizeOf(entries, "Alpha"))
                                      .arg(sizeOf(entries, "Gamma")));
        });
        std::optional<QStringList> cachedWhenMeasuring;
        connect(&m_viewModel->browsing(), &BrowsingState::isBackgroundScanningChanged, this, [&] {
            if (viewModel().browsing().isBackgroundScanning() && !cachedWhenMeasuring)
                cachedWhenMeasuring = namesAndSizes(cachedListing(home).value_or(QList<DirectoryEntry>{}));
        });
        load(true);
        QCOMPARE(publishedSizes, (QStringList{QStringLiteral("Alpha=12288 Gamma=20480"),
                                              QStringLiteral("Alpha=16384 Gamma=20480")}));
        const QList<DirectoryEntry>& shown = viewModel().browsing().entries();
        const auto linked = std::find_if(shown.cbegin(), shown.cend(),
                                         [&beta](const DirectoryEntry& entry) { return entry.path == beta; });
        QVERIFY(linked != shown.cend() && linked->isSymbolicLink);
        QCOMPARE(linked->sizeBytes, 0);
        QVERIFY(cachedWhenMeasuring);
        QVERIFY2(cachedWhenMeasuring->contains("Alpha=12288") && cachedWhenMeasuring->contains("Beta=0") &&
                     cachedWhenMeasuring->contains("Delta=0"),
                 qPrintable(cachedWhenMeasuring->join(' ')));
        QCOMPARE(namesAndSizes(*cachedListing(home)), namesAndSizes(shown));
    }

    // A first visit writes the cache once, with the sizes: no older listing stands under its key
    // that an unsized one would have to replace first.
    void aCacheMissListsLiveThenSizesAndCaches()
    {
        const QString home = m_fixture->home.home();
        QVERIFY(!cachedListing(home));
        std::optional<bool> cachedWhenMeasuring;
        const QMetaObject::Connection measuring =
            connect(&m_viewModel->browsing(), &BrowsingState::isBackgroundScanningChanged, this, [&] {
                if (viewModel().browsing().isBackgroundScanning())
                    cachedWhenMeasuring = cachedListing(home).has_value();
            });
        load();
        disconnect(measuring);
        QCOMPARE(cachedWhenMeasuring, std::optional(false));
        QCOMPARE(timesSwitchedOn(m_backgroundStates), 1);
        QCOMPARE(sizeOf(viewModel().browsing().entries(), "Alpha"), 3 * 4096);
        QCOMPARE(viewModel().browsing().currentDirectorySizeBytes(), 4 * 4096);
        const auto cached = cachedListing(home);
        QVERIFY(cached);
        QCOMPARE(namesAndSizes(*cached), namesAndSizes(viewModel().browsing().entries()));

        // The next load shows the cache without any scan, every folder having a size; a file made
        // since shows with it, sized by the listing.
        m_fixture->tree.file(QStringLiteral("new.txt"));
        load();
        QCOMPARE(names(viewModel().browsing().entries()), (QStringList{"Alpha", "file.txt", "new.txt"}));
        QCOMPARE(timesSwitchedOn(m_backgroundStates), 1);

        // Real-time refresh skips the cache and refreshes once, without a timer.
        viewModel().settings().updateRealtimeRefreshEnabled(true);
        QVERIFY(waitUntilIdle(viewModel()));
        QTRY_COMPARE(names(viewModel().browsing().entries()), (QStringList{"Alpha", "file.txt", "new.txt"}));
        QCOMPARE(timesSwitchedOn(m_backgroundStates), 2);
        QCOMPARE(ConfigStore(m_fixture->configPath()).load().realtimeRefreshEnabled, true);
        QCOMPARE(cachedListing(home)->size(), 3);
    }

    void aCachedEmptyFolderIsSizedAgainOnEveryLoad()
    {
        m_fixture->tree.dir(QStringLiteral("Empty"));
        load();
        QCOMPARE(sizeOf(*cachedListing(m_fixture->home.home()), "Empty"), 0);
        load();
        load();
        QCOMPARE(timesSwitchedOn(m_backgroundStates), 3);
    }

    void anEmptyLiveListingIsCachedAtOnce()
    {
        const QString empty = m_fixture->tree.dir(QStringLiteral("Nothing"));
        ViewModelInternals::context(viewModel()).browsing().setCurrentDirectoryPath(empty);
        runTask(viewModel().loader().loadCurrentDirectoryForNavigation(false));
        QCOMPARE(cachedListing(empty), QList<DirectoryEntry>{});
        QVERIFY(m_backgroundStates.isEmpty());
    }

    void onlyTheNewestNavigationIsShown()
    {
        const QString first = m_fixture->tree.dir(QStringLiteral("First"));
        m_fixture->tree.file(QStringLiteral("First/first.txt"));
        const QString second = m_fixture->tree.dir(QStringLiteral("Second"));
        m_fixture->tree.file(QStringLiteral("Second/second.txt"));
        QStringList seen;
        connect(&m_viewModel->browsing(), &BrowsingState::entriesChanged, this,
                [&] { seen += names(viewModel().browsing().entries()); });
        const quint64 before = viewModel().loader().latestScanRequestID();
        viewModel().navigation().goToDirectoryContext(first);
        viewModel().navigation().goToDirectoryContext(second);
        QVERIFY(waitUntilIdle(viewModel()));
        QCOMPARE(viewModel().loader().latestScanRequestID(), before + 2);
        QCOMPARE(names(viewModel().browsing().entries()), QStringList{"second.txt"});
        // A first listing that ended before the second navigation began was the newest then and
        // may have been shown; it never shows after the second's.
        const qsizetype lastFirst = seen.lastIndexOf("first.txt");
        QVERIFY2(lastFirst < 0 || lastFirst < seen.lastIndexOf("second.txt"), qPrintable(seen.join(' ')));
        if (!seen.contains("first.txt"))
            QVERIFY(!cachedListing(first));
    }

    void aDeepScanDropsTheRunningSizeRefresh()
    {
        m_fixture->tree.fileOfSize(QStringLiteral("Big/data.bin"), 2 * 1024 * 1024);
        m_fixture->tree.fileOfSize(QStringLiteral("Small/x.bin"), 10);
        // The scan starts while the refresh that the live listing started is still running.
        bool scanStarted = false;
        connect(&m_viewModel->browsing(), &BrowsingState::isBackgroundScanningChanged, this, [&] {
            if (viewModel().browsing().isBackgroundScanning() && !scanStarted) {
                scanStarted = true;
                viewModel().loader().scanCurrentDirectory();
            }
        });
        runTask(viewModel().loader().loadCurrentDirectoryForNavigation(false));
        QVERIFY(scanStarted);
        QVERIFY(waitUntilIdle(viewModel()));
        QTRY_VERIFY(infoLine(viewModel()).has_value());
        QCOMPARE(names(viewModel().browsing().entries()), QStringList{"Big"});
        QCOMPARE(*infoLine(viewModel()), "Scanned 1 items from " + m_fixture->home.home());
        QVERIFY(!viewModel().browsing().isBackgroundScanning());
        // The scan measured every entry: the cache keeps all of them, the small ones too, so the
        // next start shows what this scan found.
        const auto cached = cachedListing(m_fixture->home.home());
        QVERIFY(cached);
        QCOMPARE(names(*cached), (QStringList{"Alpha", "Big", "Small", "file.txt"}));
        QCOMPARE(sizeOf(*cached, "Big"), sizeOf(viewModel().browsing().entries(), "Big"));
        QCOMPARE(sizeOf(*cached, "Alpha"), 3 * 4096);
        QVERIFY(sizeOf(*cached, "Small") > 0);
    }

    void aDeepScanOfEverythingIsCached()
    {
        ViewModelInternals::context(viewModel()).browsing().setShowAllFiles(true);
        runTask(viewModel().loader().scanCurrentDirectory());
        QCOMPARE(names(viewModel().browsing().entries()), (QStringList{"Alpha", "file.txt"}));
        QCOMPARE(sizeOf(viewModel().browsing().entries(), "Alpha"), 3 * 4096);
        QCOMPARE(namesAndSizes(*cachedListing(m_fixture->home.home())),
                 namesAndSizes(viewModel().browsing().entries()));
        QCOMPARE(*infoLine(viewModel()), "Scanned 2 items from " + m_fixture->home.home());
    }

    void aFailedListingEmptiesTheView()
    {
        load();
        ViewModelInternals::context(viewModel())
            .browsing()
            .setFocusedEntryPath(m_fixture->tree.path("file.txt"));
        viewModel().navigation().setSelection(viewModel().browsing().entries().constFirst(), true);
        QVERIFY(viewModel().browsing().selectedSizeBytes() > 0);
        const QString missing = m_fixture->home.path(QStringLiteral("gone"));
        ViewModelInternals::context(viewModel()).browsing().setCurrentDirectoryPath(missing);
        load();
        QCOMPARE(errorLine(viewModel()), OrvalinkError::sourceNotFound(missing).errorDescription());
        QVERIFY(viewModel().browsing().entries().isEmpty());
        QCOMPARE(viewModel().browsing().currentDirectorySizeBytes(), 0);
        QCOMPARE(viewModel().browsing().selectedSizeBytes(), 0);
        QVERIFY(!viewModel().browsing().focusedEntryPath());
        QVERIFY(!viewModel().browsing().isScanning());
    }

    void installingAListingKeepsOnlyAListedFocus()
    {
        load();
        ViewModelInternals::context(viewModel())
            .browsing()
            .setFocusedEntryPath(m_fixture->tree.path("file.txt"));
        load();
        QCOMPARE(viewModel().browsing().focusedEntryPath(), m_fixture->tree.path("file.txt"));
        QVERIFY(QFile::remove(m_fixture->tree.path("file.txt")));
        load(true);
        QVERIFY(!viewModel().browsing().focusedEntryPath());
    }

    void windowsLoadingAtOnceKeepEachOthersCache()
    {
        // Four windows list four folders at the same time; every listing ends up in the one cache.
        std::vector<std::unique_ptr<MainViewModel>> windows;
        QStringList folders;
        for (int i = 0; i < 4; ++i) {
            folders.append(m_fixture->tree.dir(QStringLiteral("Window%1").arg(i)));
            m_fixture->tree.fileOfSize(QStringLiteral("Window%1/Sub/data").arg(i), 4096 * (i + 1));
            windows.push_back(m_fixture->makeViewModel());
            ViewModelInternals::context(*windows.back()).browsing().setCurrentDirectoryPath(folders.last());
        }
        for (auto& window : windows)
            window->loader().loadCurrentDirectoryForNavigation(false);
        for (auto& window : windows)
            QVERIFY(waitUntilIdle(*window));
        for (int i = 0; i < 4; ++i) {
            const auto cached = cachedListing(folders[i]);
            QVERIFY2(cached, qPrintable(folders[i]));
            QCOMPARE(sizeOf(*cached, "Sub"), 4096 * (i + 1));
        }
    }
};

QTEST_GUILESS_MAIN(DirectoryLoadingTest)
#include "tst_directoryloading.moc"
