// Link repair: links pointed at a volume that came back under another mount name, what counts as
// fixed or failed, the batch limit, and the lookups behind it.
#include "EngineFixture.h"
#include "diskops/DistinctMappings.h"
#include "diskops/LinkRepairService.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "store/JSONLStore.h"
#include "store/JsonLinesReader.h"
#include "support/ImmutableFlag.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <sys/mount.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

LinkRepairService repairServiceOf(EngineFixture& fx)
{
    return LinkRepairService(fx.mappingStore, fx.volumes, fx.log, fx.pathMapping);
}

LinkMapping mapping(const QString& source, const QString& target, const QString& uuid, qint64 age = 0)
{
    const QDateTime date = QDateTime::fromSecsSinceEpoch(1700000000 - age, Qt::UTC);
    return {QUuid::createUuid(), source, target, "user", uuid, date, date};
}

using test::MovedMount;

} // namespace

class LinkRepairTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linksFollowTheVolumeToItsNewName()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "REPAIR-ME-1");
        // A second volume that sorts first must not be taken for ours.
        test::TmpfsMount another(fx.home.volumes() + "/Another", 1024 * 1024);
        QVERIFY(another.isValid());
        fx.setVolumeUUID(another.mountPoint(), "SOMEONE-ELSE");
        fx.tree.file("Docs/a.txt", "docs");
        fx.tree.file("Music/b.mp3", "music");
        const QStringList docs = test::snapshotTree(fx.tree.path("Docs"));
        QCOMPARE(fx.migrate(fx.tree.path("Docs")).task.volumeUUID, QStringLiteral("REPAIR-ME-1"));
        QCOMPARE(fx.migrate(fx.tree.path("Music")).task.status, TaskStatus::completed);
        const QList<LinkMapping> recorded = fx.mappings();

        const QString renamed = fx.home.volumes() + "/Renamed";
        const MovedMount moved(fx.volumePath(), renamed);
        QVERIFY(moved.isValid());
        QVERIFY(!platform::fileExists(fx.tree.path("Docs"))); // dangling now

        const LinkRepairService repair = repairServiceOf(fx);
        const RepairSummary summary = repair.repairBrokenLinks();
        QCOMPARE(test::countsOf(summary), (RepairSummary{2, 0, 2, 2, {}}));

        const QString newTarget = renamed + "/Store" + fx.tree.path("Docs");
        // Each link as it leads now.
        QCOMPARE(summary.links.size(), 2);
        QVERIFY(summary.links.contains(RepairedLink{recorded[0].id, fx.tree.path("Docs"), newTarget, true}));
        QVERIFY(summary.links.contains(RepairedLink{recorded[1].id, fx.tree.path("Music"),
                                                    renamed + "/Store" + fx.tree.path("Music"), true}));
        QCOMPARE(platform::readSymbolicLink(fx.tree.path("Docs")), newTarget);
        QCOMPARE(test::snapshotTree(newTarget), docs);
        QCOMPARE(fx.tree.read("Music/b.mp3"), QByteArray("music"));
        QCOMPARE(fx.mappings(), recorded); // the history is never rewritten
        QCOMPARE(fx.logEntries().constLast().message,
                 QStringLiteral("Repair broken links finished. Scanned: 2/2, fixed: 2, failed: 0"));
        QVERIFY(fx.reservedSiblings(fx.tree.path("Docs"), "repaired-link").isEmpty());

        // Healthy links are examined but neither fixed nor failed.
        QCOMPARE(test::countsOf(repair.repairBrokenLinks()), (RepairSummary{0, 0, 2, 2, {}}));
    }

    // Each mapping below counts as shown; none of them changes anything on disk, and the log says
    // why each failed one was not repaired. A link that leads anywhere but to the data on the
    // recorded volume is not healthy; without a recorded UUID, any link that leads somewhere is.
    void whatCountsAsFailed()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "KNOWN");
        fx.tree.dir("existing");
        fx.tree.symlink("Healthy", "existing");                 // relative and resolving, no UUID
        fx.tree.dir("RealDirectory");                           // no link: left alone
        fx.tree.symlink("UnknownVolume", "/old/mount/Unknown"); // volume not mounted now
        fx.tree.symlink("MissingTarget", "/old/mount/Missing"); // mounted, but nothing there
        fx.tree.symlink("Unsafe", "/old/mount/Unsafe");         // a record that must not be acted on
        fx.tree.symlink("HealthyUnsafe", "existing");           // no UUID, resolving: not judged
        fx.tree.symlink("Elsewhere", "existing");               // resolving, but not into the volume
        const QStringList before = test::snapshotTree(fx.tree.root());
        const QString old = fx.home.volumes() + "/Old";
        const qsizetype logLines = fx.logEntries().size();
        JSONLStore::writeAll(
            QList<LinkMapping>{
                mapping(fx.tree.path("Healthy"), old + "/Store/Healthy", "unknown"),
                mapping(fx.tree.path("RealDirectory"), old + "/Store/Real", "KNOWN"),
                mapping(fx.tree.path("Nothing"), old + "/Store/Nothing", "KNOWN"),
                mapping(fx.tree.path("UnknownVolume"), old + "/Store/Unknown", "NOT-MOUNTED"),
                mapping(fx.tree.path("MissingTarget"), old + "/Store" + fx.tree.path("MissingTarget"),
                        "KNOWN"),
                mapping(fx.tree.path("Unsafe"), fx.tree.path("Unsafe/inside"), "KNOWN"),
                mapping(fx.tree.path("HealthyUnsafe"), fx.tree.path("HealthyUnsafe/inside"), ""),
                mapping(fx.tree.path("Elsewhere"), old + "/Store" + fx.tree.path("Elsewhere"), "KNOWN"),
            },
            fx.mappingStore.filePath());

        const RepairSummary summary = repairServiceOf(fx).repairBrokenLinks();
        QCOMPARE(test::countsOf(summary), (RepairSummary{0, 5, 8, 8, {}}));
        QCOMPARE(test::snapshotTree(fx.tree.root()), before);
        QStringList notRepaired;
        for (const LogEntry& entry : fx.logEntries().mid(logLines)) {
            if (entry.message.startsWith("Link not repaired: "))
                notRepaired.append(entry.message.section(' ', 3, 3).section('/', -1));
        }
        notRepaired.sort();
        QCOMPARE(notRepaired,
                 (QStringList{"Elsewhere", "MissingTarget", "Nothing", "UnknownVolume", "Unsafe"}));
        // The same links are listed, each with the target its record names.
        QStringList listed;
        const QList<LinkMapping> records = fx.mappings();
        for (const RepairedLink& link : summary.links) {
            QVERIFY(!link.repaired);
            const auto recorded =
                std::find_if(records.cbegin(), records.cend(),
                             [&](const LinkMapping& each) { return each.id == link.mappingID; });
            QVERIFY(recorded != records.cend());
            QCOMPARE(link.sourcePath, recorded->sourcePath);
            QCOMPARE(link.targetPath, recorded->targetPath);
            listed.append(link.sourcePath.section('/', -1));
        }
        listed.sort();
        QCOMPARE(listed, notRepaired);
    }

    // Records the app itself writes are repaired: one that names its paths with trailing slashes,
    // and one whose source is a protected location (migrated with strict mode off) while its link
    // still points at the recorded target. A protected source whose link points elsewhere is not
    // the record's to change.
    void recordsTheAppWroteAreRepaired_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("repaired");
        QTest::newRow("trailing slashes") << "slashes" << true;
        QTest::newRow("protected source, its own link") << "protected" << true;
        QTest::newRow("protected source, a link to elsewhere") << "protected, elsewhere" << false;
    }
    void recordsTheAppWroteAreRepaired()
    {
        QFETCH(QString, record);
        QFETCH(bool, repaired);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "REPAIR-ME");
        fx.tree.file("Docs/a.txt", "docs");
        const QString source = fx.tree.path("Docs");
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        LinkMapping recorded = fx.mappings().constFirst();
        if (record == "slashes") {
            recorded.sourcePath += "/";
            recorded.targetPath += "/";
            JSONLStore::writeAll(QList<LinkMapping>{recorded}, fx.mappingStore.filePath());
        }
        if (record == "protected, elsewhere") {
            QVERIFY(QFile::remove(source));
            fx.tree.symlink("Docs", fx.home.volumes() + "/Gone/Docs");
        }
        const PathMappingService protecting(PathMappingService::systemProtectedPaths() << source);
        const LinkRepairService repair(fx.mappingStore, fx.volumes, fx.log,
                                       record.startsWith("protected") ? protecting : fx.pathMapping);
        const QString renamed = fx.home.volumes() + "/Renamed";
        const MovedMount moved(fx.volumePath(), renamed);
        QVERIFY(moved.isValid());
        const std::optional<QString> before = platform::readSymbolicLink(source);

        QCOMPARE(test::countsOf(repair.repairBrokenLinks()),
                 (RepairSummary{repaired ? 1 : 0, repaired ? 0 : 1, 1, 1, {}}));

        if (repaired) {
            QCOMPARE(platform::readSymbolicLink(source), renamed + "/Store" + source);
            QCOMPARE(test::TestTree(source).read("a.txt"), QByteArray("docs"));
            // Repaired, it leads to the data: healthy from now on, whatever its record says.
            QCOMPARE(test::countsOf(repair.repairBrokenLinks()), (RepairSummary{0, 0, 1, 1, {}}));
        } else {
            QCOMPARE(platform::readSymbolicLink(source), before);
        }
    }

    // The new link replaces the old in one step; when it cannot be made, the old link stays.
    void aFailedReplacementKeepsTheOldLink()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "KNOWN");
        test::TestTree(fx.volumePath()).file("Store/Docs/a.txt");
        const QString link = fx.tree.symlink("Docs", fx.home.volumes() + "/Old/Store/Docs");
        JSONLStore::writeAll(
            QList<LinkMapping>{mapping(link, fx.home.volumes() + "/Old/Store/Docs", "KNOWN")},
            fx.mappingStore.filePath());
        test::ImmutableFlag frozen(fx.tree.root());
        if (!frozen.isSet())
            QSKIP(qPrintable(frozen.skipReason()));

        QCOMPARE(test::countsOf(repairServiceOf(fx).repairBrokenLinks()), (RepairSummary{0, 1, 1, 1, {}}));
        frozen.clear();
        QCOMPARE(platform::readSymbolicLink(link), fx.home.volumes() + "/Old/Store/Docs");
    }

    void oneBatchPerCall_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("scanned");
        QTest::newRow("1000 mappings") << 1000 << 600ll;
        QTest::newRow("exactly 600") << 600 << 600ll;
    }
    void oneBatchPerCall()
    {
        QFETCH(int, count);
        QFETCH(qint64, scanned);
        EngineFixture fx;
        QList<LinkMapping> mappings;
        for (int i = 0; i < count; ++i)
            mappings.append(mapping(fx.tree.path(QStringLiteral("gone%1").arg(i)), "/Volumes/Old/x", "U", i));
        JSONLStore::writeAll(mappings, fx.mappingStore.filePath());
        const LinkRepairService repair = repairServiceOf(fx);
        const RepairSummary expected{0, scanned, scanned, count, {}};
        QCOMPARE(test::countsOf(repair.repairBrokenLinks()), expected);
        QCOMPARE(test::countsOf(repair.repairBrokenLinks()), expected);
    }

    void chosenMappingsOnly()
    {
        EngineFixture fx;
        const QList<LinkMapping> mappings{mapping(fx.tree.path("a"), "/Volumes/Old/a", "U"),
                                          mapping(fx.tree.path("b"), "/Volumes/Old/b", "U"),
                                          mapping(fx.tree.path("a"), "/Volumes/Old/a", "U")};
        JSONLStore::writeAll(mappings, fx.mappingStore.filePath());
        const LinkRepairService repair = repairServiceOf(fx);
        const qsizetype logLines = fx.logEntries().size();
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(QSet<QUuid>{})), RepairSummary{});
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(QSet<QUuid>{QUuid::createUuid()})), RepairSummary{});
        QCOMPARE(fx.logEntries().size(), logLines);
        // No de-duplication for a chosen set.
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(QSet<QUuid>{mappings[0].id, mappings[2].id})),
                 (RepairSummary{0, 2, 2, 2, {}}));
    }

    void duplicatesKeepTheMostRecent()
    {
        const LinkMapping older = mapping("/home/u/Docs/", "/t/1", "U", 100);
        const LinkMapping newer = mapping("/home/u/Docs", "/t/2", "U", 0);
        const LinkMapping tie = mapping("/home/u/./Docs", "/t/3", "U", 0);
        const LinkMapping other = mapping("/home/u/Music", "/t/4", "U", 50);
        QCOMPARE(LinkRepairService::deduplicatedMappings({older, newer, tie, other}),
                 QList<LinkMapping>({newer, other}));
        QCOMPARE(LinkRepairService::deduplicatedMappings({tie, newer}), QList<LinkMapping>{tie});
    }

    // The selection without the mappings held gives what the rule says, on streams with many
    // spellings of few paths and many equal times: the first mapping of a path is kept unless a
    // later one is strictly more recent; most recent first, the path seen first first on a tie.
    void distinctMappingsFollowTheRule()
    {
        QRandomGenerator random(17);
        const QStringList spellings{"/home/u/P%1", "/home/u/P%1/", "/home/u/./P%1", "/home/u/x/../P%1"};
        QList<LinkMapping> stream;
        for (int i = 0; i < 3000; ++i) {
            const QString source = spellings.at(random.bounded(spellings.size())).arg(random.bounded(400));
            stream.append(mapping(source, "/t", "U", random.bounded(30)));
        }
        QList<LinkMapping> kept;
        QHash<QString, qsizetype> slot;
        for (const LinkMapping& each : stream) {
            const QString key = platform::standardizedPath(each.sourcePath);
            if (!slot.contains(key)) {
                slot.insert(key, kept.size());
                kept.append(each);
            } else if (each.recency() > kept.at(slot.value(key)).recency()) {
                kept[slot.value(key)] = each;
            }
        }
        std::stable_sort(kept.begin(), kept.end(), [](const LinkMapping& lhs, const LinkMapping& rhs) {
            return lhs.recency() > rhs.recency();
        });

        DistinctMappings distinct;
        for (qsizetype index = 0; index < stream.size(); ++index)
            distinct.add(stream.at(index), index);
        QCOMPARE(distinct.size(), kept.size());
        for (const qsizetype start :
             {qsizetype(0), qsizetype(1), qsizetype(150), kept.size() - 5, kept.size()}) {
            QList<LinkMapping> batch;
            for (const qint64 position : distinct.positions(start, 20))
                batch.append(stream.at(position));
            QCOMPARE(batch, kept.mid(start, 20));
        }
        QCOMPARE(LinkRepairService::deduplicatedMappings(stream), kept);
    }

    // Read from the file line by line: lines that are not mappings, even one too long to read,
    // count for nothing, and batches from growing offsets cover every distinct mapping once.
    void batchesFromTheFileCoverTheDistinctMappings()
    {
        EngineFixture fx;
        QByteArray content;
        for (int i = 0; i < 50; ++i) {
            const LinkMapping each =
                mapping(fx.tree.path(QStringLiteral("gone%1").arg(i % 35)), "/Volumes/Old/x", "U", i);
            content += JSONLStore::encodeLine(each.toJson()) + "\r\n";
            if (i == 10)
                content += QByteArray(JsonLinesReader::kMaximumLineLength + 1, '{') + "\n{not json}\n\xff\n";
        }
        test::TestTree(fx.home.root())
            .file(fx.mappingStore.filePath().mid(fx.home.root().size() + 1), content);
        const LinkRepairService repair = repairServiceOf(fx);
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(0, 15)), (RepairSummary{0, 15, 15, 35, {}}));
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(15, 15)), (RepairSummary{0, 15, 30, 35, {}}));
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(30, 15)), (RepairSummary{0, 5, 35, 35, {}}));
        QCOMPARE(test::countsOf(repair.repairBrokenLinks(35, 15)), (RepairSummary{0, 15, 15, 35, {}}));
    }

    void targetsKeepTheirPlaceOnTheNewMount()
    {
        test::TestHome home;
        const QString volumes = home.volumes();
        QCOMPARE(remapTargetPath(volumes + "/Old/Moved/Music", volumes + "/New"),
                 volumes + "/New/Moved/Music");
        QCOMPARE(remapTargetPath(volumes + "/Old/Moved/../Music/", volumes + "/New/"),
                 volumes + "/New/Music");
        QCOMPARE(remapTargetPath(volumes + "/Old", volumes + "/New"), volumes + "/Old");
        QCOMPARE(remapTargetPath("/elsewhere/Old/Music", volumes + "/New"),
                 QStringLiteral("/elsewhere/Old/Music"));
    }
};

QTEST_GUILESS_MAIN(LinkRepairTest)
#include "tst_linkrepair.moc"
