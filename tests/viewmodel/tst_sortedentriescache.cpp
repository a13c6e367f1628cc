#include "ListingFixtures.h"
#include "viewmodel/browsing/EntryOrdering.h"
#include "viewmodel/browsing/SortedEntriesCache.h"

#include <QRandomGenerator>
#include <QTest>

using namespace orvalink;
using orvalink::test::fileEntry;
using orvalink::test::folderEntry;

namespace {

const QString kWeChatRoot = QStringLiteral("/home/alice/Library/Containers/com.tencent.xinWeChat");

// A listing that exercises every shortcut of the cache: several parent folders, names that are not
// the last component of their path, paths that are not in standard form (two of them the same
// folder), accents, full-width and CJK letters, emoji, hidden entries, equal sizes and dates.
QList<DirectoryEntry> randomListing(quint32 seed, int count)
{
    QRandomGenerator random(seed);
    const QStringList parents{"/home/alice/Stuff", QStringLiteral("/home/alice/Café Ｍｅｄｉａ"),
                              kWeChatRoot + "/Data", QStringLiteral("/media/alice/微信备份"),
                              "/home/alice/./Stuff/"};
    const QStringList stems{"Movies",
                            "cache",
                            QStringLiteral("Résumé"),
                            QStringLiteral("ＤＯＣＳ"),
                            "Project Archive",
                            QStringLiteral("照片"),
                            QStringLiteral("🇫🇷 trip"),
                            "notes",
                            "Downloads",
                            "e\u0301te",
                            "Preferences Backup",
                            "Message Cache",
                            "x"};
    const QStringList extensions{"",     ".mp4",   ".TS",  ".png", ".tar.gz",
                                 ".pdf", ".swift", ".iso", ".app", ".bin"};
    QList<DirectoryEntry> entries;
    for (int i = 0; i < count; ++i) {
        const QString parent = parents.at(random.bounded(int(parents.size())));
        QString name = stems.at(random.bounded(int(stems.size())));
        if (random.bounded(3) == 0)
            name += QString::number(random.bounded(5));
        name += extensions.at(random.bounded(int(extensions.size())));
        if (random.bounded(6) == 0)
            name.prepend(QLatin1Char('.'));
        const qint64 size = QList<qint64>{0, 100, 524287999, 524288000, 2000000000}.at(random.bounded(5));
        DirectoryEntry entry = random.bounded(2)
                                   ? folderEntry(parent + "/" + name, size, name.startsWith('.'))
                                   : fileEntry(parent + "/" + name, size, name.startsWith('.'));
        if (random.bounded(10) == 0)
            entry.name = QStringLiteral("Display ") + name; // a name that is not the path's last part
        entry.modifiedAt = QDateTime::fromSecsSinceEpoch(1700000000 + random.bounded(4), Qt::UTC);
        entries.append(entry);
    }
    return entries;
}

void verifyMatchesDefinition(SortedEntriesCache& cache)
{
    const QList<DirectoryEntry> expected =
        computeSortedEntries(cache.entries(), cache.filters(), cache.smartMigrationCriteria());
    QCOMPARE(cache.sortedEntries(), expected);
}

} // namespace

class SortedEntriesCacheTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void equalsTheDefinitionAfterEveryKindOfChange()
    {
        const QStringList queries{"", "  ", "a", "mv", "doc", QStringLiteral("ＤＯＣ"), "cafe movies",
                                  QStringLiteral("résumé"), QStringLiteral("微"), QStringLiteral("🇫🇷"), "e",
                                  "stuff x", "/", "zzzz", "media alice", "alice.", "d/m",
                                  // words that run across the "/" between folder and name
                                  "f/mov alice", "a/c home", "a/ca ta/c",
                                  // marks that fold away, leaving only a space
                                  "\u0301 \u0301"};
        const QList<SmartMigrationCriteria> criteria{{false, SmartMigrationProfile::other, {}},
                                                     {true, SmartMigrationProfile::other, {}},
                                                     {true, SmartMigrationProfile::wechat, {kWeChatRoot}},
                                                     {true, SmartMigrationProfile::wechat, {}}};
        for (quint32 seed : {1u, 2u, 3u}) {
            SortedEntriesCache cache;
            cache.setEntries(randomListing(seed, 300));
            verifyMatchesDefinition(cache);
            for (const SmartMigrationCriteria& smart : criteria) {
                cache.setSmartMigrationCriteria(smart);
                verifyMatchesDefinition(cache);
                for (SortOption option : allSortOptions) {
                    cache.setSortOption(option);
                    verifyMatchesDefinition(cache);
                }
                for (const QString& query : queries) {
                    cache.setSearchQuery(query);
                    verifyMatchesDefinition(cache);
                }
                for (FileTypeFilter type : allFileTypeFilters) {
                    cache.setFileTypeFilter(type);
                    verifyMatchesDefinition(cache);
                }
                cache.setFileTypeFilter(FileTypeFilter::all);
                for (VisibilityFilter visibility : allVisibilityFilters) {
                    cache.setVisibilityFilter(visibility);
                    verifyMatchesDefinition(cache);
                }
                cache.setEntries(randomListing(seed + 100, 200));
                verifyMatchesDefinition(cache);
            }
        }
    }

    // Typing a query one character at a time (the search then only re-tests what the shorter query
    // kept) and deleting it again gives exactly the listing of each text searched afresh, also
    // with characters of several code units, spaces that start new words and filters in between.
    void typingAndDeletingEqualsTheDefinition()
    {
        const QStringList typed{"movies x",
                                QStringLiteral("résumé 1"),
                                "e\u0301te",
                                QStringLiteral("照片 a"),
                                QStringLiteral("🇫🇷 t"),
                                "stuff/cache",
                                "a  b",
                                "ＤＯＣＳ"};
        SortedEntriesCache cache;
        cache.setEntries(randomListing(7, 400));
        cache.setSortOption(SortOption::nameAsc);
        for (const QString& text : typed) {
            for (qsizetype length = 1; length <= text.size(); ++length) {
                cache.setSearchQuery(text.left(length));
                verifyMatchesDefinition(cache);
                if (length == 2) {
                    cache.setFileTypeFilter(FileTypeFilter::folder);
                    verifyMatchesDefinition(cache);
                }
            }
            for (qsizetype length = text.size() - 1; length >= 0; --length) {
                cache.setSearchQuery(text.left(length));
                verifyMatchesDefinition(cache);
            }
            cache.setFileTypeFilter(FileTypeFilter::all);
        }
    }

    void nothingIsRecomputedWithoutAChange()
    {
        SortedEntriesCache cache;
        const QList<DirectoryEntry> listing = randomListing(7, 100);
        cache.setEntries(listing);
        const QList<DirectoryEntry> first = cache.sortedEntries();
        QCOMPARE(cache.counters().recomputations, 1u);
        QCOMPARE(cache.counters().materializations, 1u);

        // Reads, and inputs set to the values they have.
        cache.sortedEntries();
        cache.sortedIndices();
        QVERIFY(!cache.setEntries(listing));
        QVERIFY(!cache.setEntries(QList<DirectoryEntry>(listing))); // an equal copy
        QVERIFY(!cache.setSortOption(SortOption::sizeDesc));
        QVERIFY(!cache.setFileTypeFilter(FileTypeFilter::all));
        QVERIFY(!cache.setVisibilityFilter(VisibilityFilter::all));
        QVERIFY(!cache.setSearchQuery(QString()));
        QVERIFY(!cache.setSearchQuery(QStringLiteral("   "))); // blanks match everything too
        QVERIFY(!cache.setSmartMigrationCriteria({}));
        // While Smart Migration stays off its profile plays no part.
        QVERIFY(!cache.setSmartMigrationCriteria({false, SmartMigrationProfile::wechat, {kWeChatRoot}}));
        QCOMPARE(cache.sortedEntries(), first);
        QCOMPARE(cache.counters().recomputations, 1u);
        QCOMPARE(cache.counters().materializations, 1u);
        QCOMPARE(cache.counters().listingsPrepared, 1u);
    }

    void eachChangeRedoesOnlyWhatDependsOnIt()
    {
        SortedEntriesCache cache;
        cache.setEntries(randomListing(11, 100));
        cache.sortedIndices();
        const auto counters = [&] {
            return cache.counters();
        };
        QCOMPARE(counters().filterPasses, 1u);

        // A new order reuses the filtered set.
        QVERIFY(cache.setSortOption(SortOption::nameAsc));
        cache.sortedIndices();
        QCOMPARE(counters().recomputations, 2u);
        QCOMPARE(counters().filterPasses, 1u);

        // A keystroke filters again, once, however often it is read.
        QVERIFY(cache.setSearchQuery(QStringLiteral("m")));
        cache.sortedIndices();
        cache.sortedEntries();
        cache.sortedEntries();
        QCOMPARE(counters().recomputations, 3u);
        QCOMPARE(counters().filterPasses, 2u);
        QCOMPARE(counters().materializations, 1u);

        // Blanks around the same query change nothing.
        QVERIFY(!cache.setSearchQuery(QStringLiteral(" m ")));
        cache.sortedIndices();
        QCOMPARE(counters().recomputations, 3u);

        // Turning Smart Migration on reorders without filtering again.
        QVERIFY(cache.setSmartMigrationCriteria({true, SmartMigrationProfile::other, {}}));
        cache.sortedIndices();
        QCOMPARE(counters().recomputations, 4u);
        QCOMPARE(counters().filterPasses, 2u);
        QCOMPARE(counters().qualificationPasses, 1u);

        // Nothing is computed until somebody reads.
        QVERIFY(cache.setFileTypeFilter(FileTypeFilter::folder));
        QVERIFY(cache.setVisibilityFilter(VisibilityFilter::visibleOnly));
        QCOMPARE(counters().recomputations, 4u);
        cache.sortedIndices();
        QCOMPARE(counters().recomputations, 5u);
        QCOMPARE(counters().filterPasses, 3u);

        // A new listing starts over.
        QVERIFY(cache.setEntries(randomListing(12, 50)));
        cache.sortedIndices();
        QCOMPARE(counters().listingsPrepared, 2u);
        QCOMPARE(counters().filterPasses, 4u);
        QCOMPARE(counters().qualificationPasses, 2u);
        verifyMatchesDefinition(cache);
    }

    void duplicatePathsShareTheirCandidacy()
    {
        // Two rows for one folder, written differently: when one of them qualifies and is shown,
        // both go to the front, as the set of standardized paths says.
        SortedEntriesCache cache;
        DirectoryEntry named = folderEntry("/home/alice/Stuff/Downloads", 1);
        DirectoryEntry other = folderEntry("/home/alice/Stuff/./Downloads/", 0);
        other.name = QStringLiteral("plain");
        const QList<DirectoryEntry> listing{folderEntry("/home/alice/Stuff/big", 50), other, named};
        cache.setEntries(listing);
        cache.setSmartMigrationCriteria({true, SmartMigrationProfile::other, {}});
        QCOMPARE(test::namesOf(cache.sortedEntries()), QStringList({"Downloads", "plain", "big"}));
        verifyMatchesDefinition(cache);
        // The qualifying row hidden by the search takes the other one's place in front with it.
        cache.setSearchQuery(QStringLiteral("plain big"));
        verifyMatchesDefinition(cache);
        QVERIFY(cache.isSmartMigrationSuggested(1));
        QVERIFY(cache.isSmartMigrationSuggested(2));
        QVERIFY(!cache.isSmartMigrationSuggested(0));
    }

    void emptyListing()
    {
        SortedEntriesCache cache;
        QVERIFY(cache.sortedEntries().isEmpty());
        cache.setSearchQuery(QStringLiteral("x"));
        QVERIFY(cache.sortedIndices().empty());
    }
};

QTEST_GUILESS_MAIN(SortedEntriesCacheTest)
#include "tst_sortedentriescache.moc"
