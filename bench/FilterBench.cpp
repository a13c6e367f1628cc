// Measures the shown listing of a large folder: a search keystroke (fold, match, order), a change
// of order, a read with nothing changed, and the direct computation that every read would cost
// without the cache. Usage: orvalink-bench-filter [entry count] [rounds]
// The last line is the median keystroke time, the figure to compare against one frame (16 ms).

#include "BenchSupport.h"
#include "viewmodel/browsing/EntryOrdering.h"
#include "viewmodel/browsing/SortedEntriesCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

using namespace orvalink;

namespace {

void report(const char* what, const std::vector<double>& samples)
{
    std::printf("%-58s median %9.3f ms   max %9.3f ms\n", what, bench::median(samples),
                *std::max_element(samples.cbegin(), samples.cend()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    const int rounds = arguments.size() > 2 ? arguments.at(2).toInt() : 9;
    const QList<DirectoryEntry> listing = bench::syntheticListing(count);
    const SmartMigrationCriteria smart{true, SmartMigrationProfile::other, {}};
    std::printf("entries %d, rounds %d, hardware threads %u (the work runs on one thread)\n", count, rounds,
                std::thread::hardware_concurrency());

    // Typing "project" letter by letter, then a query only the in-order rule matches, two words
    // split between name and path, and a query that matches nothing.
    const QStringList keystrokes{"p",      "pr",      "pro",   "proj",          "proje",
                                 "projec", "project", "prjct", "final holiday", "zqxj"};

    std::vector<double> prepare, firstSizeRead, firstRead, warmRead, keystrokeIndices, keystrokeEntries,
        sortChange, direct;
    for (int round = 0; round < rounds; ++round) {
        SortedEntriesCache cache;
        prepare.push_back(bench::milliseconds([&] { cache.setEntries(listing); }));
        cache.setSmartMigrationCriteria(smart);
        firstSizeRead.push_back(bench::milliseconds([&] { cache.sortedEntries(); }));
        cache.setSortOption(SortOption::nameAsc);
        firstRead.push_back(bench::milliseconds([&] { cache.sortedEntries(); }));
        warmRead.push_back(bench::milliseconds([&] {
                               for (int i = 0; i < 1000; ++i)
                                   cache.sortedEntries();
                           }) /
                           1000.0);
        for (const QString& query : keystrokes) {
            keystrokeIndices.push_back(bench::milliseconds([&] {
                cache.setSearchQuery(query);
                cache.sortedIndices();
            }));
            cache.setSearchQuery(QString());
            cache.sortedIndices();
            keystrokeEntries.push_back(bench::milliseconds([&] {
                cache.setSearchQuery(query);
                cache.sortedEntries();
            }));
        }
        cache.setSearchQuery(QString());
        cache.setSortOption(SortOption::sizeDesc);
        cache.sortedIndices();
        sortChange.push_back(bench::milliseconds([&] {
            cache.setSortOption(SortOption::nameAsc); // order built before, filtered set kept
            cache.sortedEntries();
        }));
        ListingFilters filters;
        filters.sortOption = SortOption::nameAsc;
        filters.searchQuery = QStringLiteral("proj");
        direct.push_back(bench::milliseconds([&] { computeSortedEntries(listing, filters, smart); }));
    }

    report("new listing: fold, classify (once per listing)", prepare);
    report("first read: size order, smart set, whole list", firstSizeRead);
    report("first read of the name order (collation keys)", firstRead);
    std::printf("%-58s median %9.1f ns\n", "warm read, nothing changed", bench::median(warmRead) * 1e6);
    report("order change back to a built order, whole list", sortChange);
    report("direct computation without cache, query \"proj\"", direct);
    report("keystroke: shown positions (fold, match, order)", keystrokeIndices);
    report("keystroke: shown entries copied out", keystrokeEntries);
    std::printf("median %.1f ms\n", bench::median(keystrokeEntries));
    return 0;
}
