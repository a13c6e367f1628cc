#include "store/HistoryOrder.h"
#include "store/NewestRecords.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>
#include <algorithm>

using namespace orvalink;

namespace {

struct Item {
    qint64 key = 0;
    int order = 0; // place in the stream

    bool operator==(const Item&) const = default;
};

struct KeyOfItem {
    qint64 operator()(const Item& item) const { return item.key; }
};

using NewestItems = NewestRecords<Item, KeyOfItem>;

// What a stable sort of everything, newest first, begins with.
QList<Item> reference(QList<Item> items, qsizetype limit)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& lhs, const Item& rhs) { return lhs.key > rhs.key; });
    return items.mid(0, std::max<qsizetype>(limit, 0));
}

QList<Item> stream(int count, int distinctKeys, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<Item> items;
    for (int index = 0; index < count; ++index)
        items.append({qint64(random.bounded(distinctKeys)) - distinctKeys / 2, index});
    return items;
}

QDateTime at(int hour)
{
    return QDateTime(QDate(2025, 1, 1), QTime(hour, 0), QTimeZone::utc());
}

} // namespace

// The bounded selection behind every history list: the newest N, ties in stream order.
class NewestRecordsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsWhatAStableSortBeginsWith_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("distinctKeys");
        QTest::addColumn<int>("limit");
        QTest::newRow("nothing offered") << 0 << 1 << 3;
        QTest::newRow("limit 0") << 50 << 5 << 0;
        QTest::newRow("limit 1, many ties") << 500 << 3 << 1;
        QTest::newRow("fewer than the limit") << 20 << 4 << 300;
        QTest::newRow("exactly the limit") << 300 << 40 << 300;
        QTest::newRow("one more than the limit") << 301 << 40 << 300;
        QTest::newRow("all keys equal") << 1000 << 1 << 300;
        QTest::newRow("mostly distinct") << 5000 << 100000 << 300;
        QTest::newRow("heavy ties") << 5000 << 10 << 300;
    }
    void keepsWhatAStableSortBeginsWith()
    {
        QFETCH(int, count);
        QFETCH(int, distinctKeys);
        QFETCH(int, limit);
        const QList<Item> items = stream(count, distinctKeys, quint32(count * 31 + distinctKeys));
        NewestItems newest(limit);
        for (const Item& item : items)
            newest.offer(item);
        QCOMPARE(newest.newestFirst(), reference(items, limit));
        QCOMPARE(newest.offered(), qint64(count));
    }

    // A stream in chronological order (as a history file is appended) and one in reverse.
    void sortedStreamsEitherWay()
    {
        QList<Item> rising;
        for (int index = 0; index < 1000; ++index)
            rising.append({index / 3, index});
        QList<Item> falling(rising.crbegin(), rising.crend());
        for (const QList<Item>& items : {rising, falling}) {
            NewestItems newest(10);
            for (const Item& item : items)
                newest.offer(item);
            QCOMPARE(newest.newestFirst(), reference(items, 10));
        }
    }

    // Offering more later (lines appended to a file read before) gives what offering all at once does.
    void offeringInPartsEqualsOfferingAtOnce()
    {
        const QList<Item> items = stream(3000, 50, 5);
        NewestItems inParts(100);
        for (qsizetype index = 0; index < items.size(); ++index) {
            inParts.offer(items.at(index));
            if (index == 999 || index == 2000)
                QCOMPARE(inParts.newestFirst(), reference(items.mid(0, index + 1), 100));
        }
        QCOMPARE(inParts.newestFirst(), reference(items, 100));
        inParts.clear();
        QVERIFY(inParts.newestFirst().isEmpty());
        QCOMPARE(inParts.offered(), 0);
    }

    // The history keys: a mapping by the later of its two dates; a task by its start, one without a
    // start after every dated one.
    void historyKeys()
    {
        LinkMapping updatedLater;
        updatedLater.createdAt = at(9);
        updatedLater.updatedAt = at(12);
        LinkMapping createdLater;
        createdLater.createdAt = at(11);
        createdLater.updatedAt = at(11);
        NewestMappings mappings(2);
        mappings.offer(createdLater);
        mappings.offer(updatedLater);
        QCOMPARE(mappings.newestFirst(), (QList<LinkMapping>{updatedLater, createdLater}));

        MigrationTask ten;
        ten.startedAt = at(10);
        MigrationTask none;
        none.sourcePath = QStringLiteral("/none");
        MigrationTask eleven;
        eleven.startedAt = at(11);
        MigrationTask alsoNone;
        alsoNone.sourcePath = QStringLiteral("/also-none");
        NewestTasks tasks(4);
        for (const MigrationTask& task : {ten, none, eleven, alsoNone})
            tasks.offer(task);
        QCOMPARE(tasks.newestFirst(), (QList<MigrationTask>{eleven, ten, none, alsoNone}));
    }
};

QTEST_GUILESS_MAIN(NewestRecordsTest)
#include "tst_newestrecords.moc"
