#include "ListingFixtures.h"
#include "viewmodel/browsing/EntryOrdering.h"

#include <QTest>

using namespace orvalink;
using orvalink::test::fileEntry;
using orvalink::test::folderEntry;
using orvalink::test::namesOf;

Q_DECLARE_METATYPE(orvalink::SortOption)
Q_DECLARE_METATYPE(orvalink::FileTypeFilter)
Q_DECLARE_METATYPE(orvalink::VisibilityFilter)

namespace {

const QString kDir = QStringLiteral("/home/alice/Stuff");

DirectoryEntry modified(DirectoryEntry entry, qint64 secs)
{
    entry.modifiedAt = QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
    return entry;
}

// Sizes and dates chosen so that every order differs, with ties that must keep listing order.
QList<DirectoryEntry> mixedListing()
{
    return {
        modified(fileEntry(kDir + "/beta.txt", 300), 50),   modified(folderEntry(kDir + "/Gamma", 300), 10),
        modified(fileEntry(kDir + "/alpha.mp4", 900), 40),  modified(folderEntry(kDir + "/delta", 700), 30),
        modified(fileEntry(kDir + "/Zed.zip", 100), 60),    modified(fileEntry(kDir + "/echo", 100), 20),
        modified(folderEntry(kDir + "/Tool.app", 500), 70),
    };
}

QList<DirectoryEntry> sorted(const QList<DirectoryEntry>& entries, SortOption option,
                             const SmartMigrationCriteria& criteria = {})
{
    ListingFilters filters;
    filters.sortOption = option;
    return computeSortedEntries(entries, filters, criteria);
}

} // namespace

class EntryOrderingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void orders_data()
    {
        QTest::addColumn<SortOption>("option");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("sizeDesc: equal sizes keep listing order")
            << SortOption::sizeDesc
            << QStringList{"alpha.mp4", "delta", "Tool.app", "beta.txt", "Gamma", "Zed.zip", "echo"};
        QTest::newRow("sizeAsc") << SortOption::sizeAsc
                                 << QStringList{"Zed.zip",  "echo",  "beta.txt", "Gamma",
                                                "Tool.app", "delta", "alpha.mp4"};
        QTest::newRow("typeSizeDesc: folders, app, video, archive, document, other")
            << SortOption::typeSizeDesc
            << QStringList{"delta", "Gamma", "Tool.app", "alpha.mp4", "Zed.zip", "beta.txt", "echo"};
        QTest::newRow("typeSizeAsc") << SortOption::typeSizeAsc
                                     << QStringList{"Gamma",   "delta",    "Tool.app", "alpha.mp4",
                                                    "Zed.zip", "beta.txt", "echo"};
        QTest::newRow("nameAsc ignores case")
            << SortOption::nameAsc
            << QStringList{"alpha.mp4", "beta.txt", "delta", "echo", "Gamma", "Tool.app", "Zed.zip"};
        QTest::newRow("modifiedDesc")
            << SortOption::modifiedDesc
            << QStringList{"Tool.app", "Zed.zip", "beta.txt", "alpha.mp4", "delta", "echo", "Gamma"};
    }

    void orders()
    {
        QFETCH(SortOption, option);
        const QList<DirectoryEntry> once = sorted(mixedListing(), option);
        QTEST(namesOf(once), "names");
        // Sorting the sorted list again changes nothing.
        QCOMPARE(sorted(once, option), once);
    }

    void typeOrderBreaksSizeTiesByName()
    {
        const QList<DirectoryEntry> listing{folderEntry(kDir + "/b", 5), folderEntry(kDir + "/C", 5),
                                            folderEntry(kDir + "/a", 5), folderEntry(kDir + "/B", 5)};
        // "b" and "B" compare equal and keep their listing order.
        QCOMPARE(namesOf(sorted(listing, SortOption::typeSizeDesc)), QStringList({"a", "b", "B", "C"}));
        QCOMPARE(namesOf(sorted(listing, SortOption::nameAsc)), QStringList({"a", "b", "B", "C"}));
    }

    void typeOrderFollowsTheTypeTable()
    {
        const QList<DirectoryEntry> listing{
            fileEntry(kDir + "/x.dmg", 1), fileEntry(kDir + "/x.swift", 1), fileEntry(kDir + "/x.pdf", 1),
            fileEntry(kDir + "/x.7z", 1),  fileEntry(kDir + "/x.wav", 1),   fileEntry(kDir + "/x.mkv", 1),
            fileEntry(kDir + "/x.png", 1), fileEntry(kDir + "/x.app", 1),   folderEntry(kDir + "/small", 1),
            fileEntry(kDir + "/x.bin", 1), folderEntry(kDir + "/big", 2)};
        QCOMPARE(namesOf(sorted(listing, SortOption::typeSizeDesc)),
                 QStringList({"big", "small", "x.app", "x.png", "x.mkv", "x.wav", "x.7z", "x.pdf", "x.swift",
                              "x.dmg", "x.bin"}));
    }

    void candidatesGoFirstInEveryOrder_data()
    {
        QTest::addColumn<SortOption>("option");
        for (SortOption option : allSortOptions)
            QTest::newRow(qPrintable(toText(option))) << option;
    }

    void candidatesGoFirstInEveryOrder()
    {
        QFETCH(SortOption, option);
        QList<DirectoryEntry> listing = mixedListing();
        listing.append(modified(folderEntry(kDir + "/Movies", 200), 5));
        listing.append(modified(folderEntry(kDir + "/Caches", 250), 80));
        listing.append(modified(folderEntry(kDir + "/tiny", 1), 90));
        const SmartMigrationCriteria on{true, SmartMigrationProfile::other, {}};
        const QSet<QString> candidates{"Movies", "Caches"};
        const auto firstTwo = [](const QList<DirectoryEntry>& entries) {
            const QStringList names = namesOf(entries.mid(0, 2));
            return QSet<QString>(names.cbegin(), names.cend());
        };
        const QList<DirectoryEntry> withSmart = sorted(listing, option, on);
        QCOMPARE(firstTwo(withSmart), candidates);
        // Candidates among themselves follow the chosen order, as do the others.
        const QList<DirectoryEntry> front = withSmart.mid(0, 2);
        QCOMPARE(front, sorted(front, option));
        const QList<DirectoryEntry> rest = withSmart.mid(2);
        QCOMPARE(rest, sorted(rest, option));
        // Off, the same listing sorts purely by the order, which puts other entries first.
        const QList<DirectoryEntry> withoutSmart =
            sorted(listing, option, {false, SmartMigrationProfile::other, {}});
        QVERIFY(firstTwo(withoutSmart) != candidates);
        QCOMPARE(withoutSmart, sorted(listing, option));
    }

    void filters_data()
    {
        QTest::addColumn<FileTypeFilter>("type");
        QTest::addColumn<VisibilityFilter>("visibility");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("all") << FileTypeFilter::all << VisibilityFilter::all
                             << QStringList{".cache", "a.png", ".b.png", "docs", "t.app", "x.iso", "run.sh"};
        QTest::newRow("folders (apps are not folders)")
            << FileTypeFilter::folder << VisibilityFilter::all << QStringList{".cache", "docs"};
        QTest::newRow("apps") << FileTypeFilter::app << VisibilityFilter::all << QStringList{"t.app"};
        QTest::newRow("images") << FileTypeFilter::image << VisibilityFilter::all
                                << QStringList{"a.png", ".b.png"};
        QTest::newRow("disk images") << FileTypeFilter::diskImage << VisibilityFilter::all
                                     << QStringList{"x.iso"};
        QTest::newRow("code") << FileTypeFilter::code << VisibilityFilter::all << QStringList{"run.sh"};
        QTest::newRow("videos: none") << FileTypeFilter::video << VisibilityFilter::all << QStringList{};
        QTest::newRow("visible only") << FileTypeFilter::all << VisibilityFilter::visibleOnly
                                      << QStringList{"a.png", "docs", "t.app", "x.iso", "run.sh"};
        QTest::newRow("hidden only") << FileTypeFilter::all << VisibilityFilter::hiddenOnly
                                     << QStringList{".cache", ".b.png"};
        QTest::newRow("hidden images")
            << FileTypeFilter::image << VisibilityFilter::hiddenOnly << QStringList{".b.png"};
    }

    void filters()
    {
        QFETCH(FileTypeFilter, type);
        QFETCH(VisibilityFilter, visibility);
        const QList<DirectoryEntry> listing{
            folderEntry(kDir + "/.cache", 70, true), fileEntry(kDir + "/a.png", 60),
            fileEntry(kDir + "/.b.png", 50, true),   folderEntry(kDir + "/docs", 40),
            folderEntry(kDir + "/t.app", 30),        fileEntry(kDir + "/x.iso", 20),
            fileEntry(kDir + "/run.sh", 10)};
        ListingFilters filters;
        filters.fileTypeFilter = type;
        filters.visibilityFilter = visibility;
        QTEST(namesOf(computeSortedEntries(listing, filters, {})), "names");
    }

    void searchThenSmartSetOfTheFilteredList()
    {
        // The candidate set is taken from the filtered list: a candidate that the search hides does
        // not pull anything to the front.
        const QList<DirectoryEntry> listing{folderEntry(kDir + "/small", 1),
                                            folderEntry(kDir + "/Downloads", 2),
                                            folderEntry(kDir + "/smaller", 0)};
        ListingFilters filters;
        filters.sortOption = SortOption::sizeAsc;
        filters.searchQuery = QStringLiteral("downloads");
        const SmartMigrationCriteria on{true, SmartMigrationProfile::other, {}};
        QCOMPARE(namesOf(computeSortedEntries(listing, filters, on)), QStringList({"Downloads"}));
        filters.searchQuery = QStringLiteral("sm");
        QCOMPARE(namesOf(computeSortedEntries(listing, filters, on)), QStringList({"smaller", "small"}));
        filters.searchQuery.clear();
        QCOMPARE(namesOf(computeSortedEntries(listing, filters, on)),
                 QStringList({"Downloads", "smaller", "small"}));
    }

    void priorityDecision()
    {
        const DirectoryEntry a = folderEntry("/x/a");
        const DirectoryEntry b = folderEntry("/x/b");
        const QSet<QString> onlyA{"/x/a"};
        QCOMPARE(prioritizedSuggestionDecision(a, b, onlyA), std::optional<bool>(true));
        QCOMPARE(prioritizedSuggestionDecision(b, a, onlyA), std::optional<bool>(false));
        QCOMPARE(prioritizedSuggestionDecision(a, a, onlyA), std::nullopt);
        QCOMPARE(prioritizedSuggestionDecision(a, b, {}), std::nullopt);
        // Paths are compared in standard form.
        QCOMPARE(prioritizedSuggestionDecision(folderEntry("/x/./a/"), b, onlyA), std::optional<bool>(true));
    }
};

QTEST_GUILESS_MAIN(EntryOrderingTest)
#include "tst_entryordering.moc"
