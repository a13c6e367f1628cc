#include "model/DirectoryEntry.h"
#include "store/ScanCacheStore.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace orvalink;

namespace {

DirectoryEntry entry(const QString& path, qint64 size)
{
    return DirectoryEntry{QUuid::createUuid(),
                          path.section(QLatin1Char('/'), -1),
                          path,
                          EntryKind::directory,
                          size,
                          QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC),
                          3,
                          false,
                          false,
                          true};
}

QStringList storedKeys(const QString& file)
{
    QFile in(file);
    in.open(QIODevice::ReadOnly);
    QStringList keys;
    for (const QJsonValue& scan : QJsonDocument::fromJson(in.readAll()).object().value("scans").toArray())
        keys.append(scan.toObject().value("cacheKey").toString());
    return keys;
}

} // namespace

class ScanCacheStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keysUseStandardPaths_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("trailing slash") << "/a/b/"
                                        << "/a/b";
        QTest::newRow("dot") << "/a/b"
                             << "/a/./b";
        QTest::newRow("dot dot") << "/a/b"
                                 << "/a/c/../b";
        QTest::newRow("repeated slash") << "/a//b"
                                        << "/a/b/";
    }
    void keysUseStandardPaths()
    {
        QFETCH(QString, saved);
        QFETCH(QString, loaded);
        test::TestHome home;
        ScanCacheStore cache(home.appSupport() + QStringLiteral("/scan_cache.json"));
        const QList<DirectoryEntry> listing{entry("/a/b/x", 1)};
        cache.saveEntries(listing, saved, true);
        QCOMPARE(cache.loadEntries(loaded, true), std::optional(listing));
        QVERIFY(!cache.loadEntries(loaded, false));
        QCOMPARE(storedKeys(cache.filePath()), QStringList{QStringLiteral("/a/b|1")});
    }

    void emptyListingIsNotAMiss()
    {
        test::TestHome home;
        ScanCacheStore cache(home.appSupport() + QStringLiteral("/scan_cache.json"));
        cache.saveEntries({}, QStringLiteral("/e"), false);
        const auto loaded = cache.loadEntries(QStringLiteral("/e"), false);
        QVERIFY(loaded.has_value());
        QVERIFY(loaded->isEmpty());
    }

    void newestScanFirstAndOnePerKey()
    {
        test::TestHome home;
        ScanCacheStore cache(home.appSupport() + QStringLiteral("/scan_cache.json"));
        cache.saveEntries({entry("/a/1", 1)}, QStringLiteral("/a"), true);
        cache.saveEntries({entry("/b/1", 1)}, QStringLiteral("/b"), true);
        QCOMPARE(storedKeys(cache.filePath()), (QStringList{"/b|1", "/a|1"}));
        const QList<DirectoryEntry> later{entry("/a/2", 2)};
        cache.saveEntries(later, QStringLiteral("/a"), true);
        QCOMPARE(storedKeys(cache.filePath()), (QStringList{"/a|1", "/b|1"}));
        QCOMPARE(cache.loadEntries(QStringLiteral("/a"), true), std::optional(later));
    }

    void unreadableCacheIsAMissThenReplaced()
    {
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        const QString file = tree.file(QStringLiteral("scan_cache.json"), "not json");
        ScanCacheStore cache(file);
        QVERIFY(!cache.loadEntries(QStringLiteral("/a"), true));
        cache.saveEntries({entry("/c/1", 1)}, QStringLiteral("/c"), true);
        QCOMPARE(storedKeys(file), QStringList{QStringLiteral("/c|1")});
    }

    void oneBadEntryMissesTheWholeFile()
    {
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        const QString file = tree.file(QStringLiteral("scan_cache.json"), R"({"scans":[{"cacheKey":"/a|1",
            "directoryPath":"/a","includeHiddenFiles":true,"updatedAt":"2024-01-01T00:00:00Z",
            "entries":[{"id":"0f8fad5b-d9cb-469f-a165-70867728950e","name":"x","path":"/a/x","kind":"file",
            "sizeBytes":1,"modifiedAt":"2024-01-01T00:00:00Z"}]},{"cacheKey":"/b|1","directoryPath":"/b",
            "includeHiddenFiles":true,"updatedAt":"2024-01-01T00:00:00Z","entries":[{"kind":"folder"}]}]})");
        QVERIFY(!ScanCacheStore(file).loadEntries(QStringLiteral("/a"), true));
    }

    void entriesKeepIdsAndDefaultFlags()
    {
        test::TestHome home;
        test::TestTree tree(home.appSupport());
        const QString file = tree.file(QStringLiteral("scan_cache.json"), R"({"scans":[{"cacheKey":"/a|0",
            "directoryPath":"/a","includeHiddenFiles":false,"updatedAt":"2024-01-01T00:00:00Z",
            "entries":[{"id":"0f8fad5b-d9cb-469f-a165-70867728950e","name":"x","path":"/a/x","kind":"file",
            "sizeBytes":1,"modifiedAt":"2024-01-01T00:00:00Z"}]}]})");
        const auto loaded = ScanCacheStore(file).loadEntries(QStringLiteral("/a"), false);
        QVERIFY(loaded && loaded->size() == 1);
        const DirectoryEntry& first = loaded->first();
        QCOMPARE(first.id, QUuid::fromString(QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E")));
        QVERIFY(!first.isHidden && !first.isAliasFile && !first.isSymbolicLink);
    }
};

QTEST_GUILESS_MAIN(ScanCacheStoreTest)
#include "tst_scancachestore.moc"
