#include "model/LinkMapping.h"
#include "store/HistoryOrder.h"
#include "store/JSONLStore.h"
#include "support/TestHome.h"
#include "viewmodel/history/HistoryFileFollower.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>
#include <algorithm>

using namespace orvalink;

namespace {

LinkMapping mapping(int number,
                    const QDateTime& updated = QDateTime(QDate(2025, 1, 1), QTime(9, 0), QTimeZone::utc()))
{
    LinkMapping result;
    result.id = QUuid::createUuid();
    result.sourcePath = QStringLiteral("/home/u/source%1").arg(number);
    result.targetPath = QStringLiteral("/media/u/Disk/source%1").arg(number);
    result.anchorUser = QStringLiteral("u");
    result.volumeUUID = QStringLiteral("unknown");
    result.createdAt = QDateTime(QDate(2025, 1, 1), QTime(8, 0), QTimeZone::utc());
    result.updatedAt = updated;
    return result;
}

void appendRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(bytes);
}

// Keeps the newest three, so that most tests see records drop out of the list.
constexpr qsizetype kLimit = 3;

using Follower = HistoryFileFollower<LinkMapping, MappingRecency>;

QList<LinkMapping> newestOf(const QList<LinkMapping>& all)
{
    QList<LinkMapping> sorted = all;
    std::stable_sort(sorted.begin(), sorted.end(), [](const LinkMapping& lhs, const LinkMapping& rhs) {
        return lhs.recency() > rhs.recency();
    });
    return sorted.mid(0, kLimit);
}

} // namespace

// The follower must always give what reading the whole file, sorting it newest first and keeping
// the first few gives.
class HistoryFollowerTest : public QObject {
    Q_OBJECT

private:
    void expectSameAsWholeRead(Follower& follower)
    {
        const QList<LinkMapping> all = JSONLStore::loadAll<LinkMapping>(m_path);
        const Follower::Newest newest = follower.read(m_path);
        QCOMPARE(newest.records, newestOf(all));
        QCOMPARE(newest.count, all.size());
    }

    test::TestHome* m_home = nullptr;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_home = new test::TestHome;
        m_path = m_home->path(QStringLiteral("history/mappings.jsonl"));
    }
    void cleanup() { delete m_home; }

    void appendsAreAddedToWhatWasRead()
    {
        Follower follower(kLimit);
        QVERIFY(follower.read(m_path).records.isEmpty());
        JSONLStore::append(mapping(1), m_path);
        JSONLStore::append(mapping(2), m_path);
        expectSameAsWholeRead(follower);
        appendRaw(m_path, "not json\n\n");
        JSONLStore::append(mapping(3), m_path);
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.read(m_path).count, 3);
    }

    // Rounds of appends with times older and newer than those kept, and ties among them: every
    // read equals the whole read.
    void roundsOfAppendsKeepTheOrderRules()
    {
        Follower follower(kLimit);
        QRandomGenerator random(3);
        for (int round = 0; round < 6; ++round) {
            for (int i = 0; i < 7; ++i) {
                const QTime time(8 + int(random.bounded(4)), 0);
                JSONLStore::append(
                    mapping(round * 10 + i, QDateTime(QDate(2025, 1, 1), time, QTimeZone::utc())), m_path);
            }
            expectSameAsWholeRead(follower);
        }
    }

    void aRewriteOfTheSameLengthIsSeen()
    {
        // A repair that changes one time keeps every line's length: only the file's identity shows
        // that it was replaced.
        QList<LinkMapping> mappings{mapping(1), mapping(2), mapping(3)};
        JSONLStore::writeAll(mappings, m_path);
        Follower follower(kLimit);
        expectSameAsWholeRead(follower);
        mappings[0].updatedAt = mappings[0].updatedAt.addSecs(3600);
        JSONLStore::writeAll(mappings, m_path);
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.read(m_path).records.first(), mappings[0]);
    }

    void aShorterFileStartsOver()
    {
        JSONLStore::writeAll(QList<LinkMapping>{mapping(1), mapping(2)}, m_path);
        Follower follower(kLimit);
        expectSameAsWholeRead(follower);
        const LinkMapping kept = mapping(3);
        JSONLStore::removeWhere<LinkMapping>(m_path, [](const LinkMapping&) { return true; });
        JSONLStore::append(kept, m_path);
        QCOMPARE(follower.read(m_path).records, QList<LinkMapping>{kept});
    }

    void anUnfinishedLastLineIsReadAgainWhenCompleted()
    {
        Follower follower(kLimit);
        JSONLStore::append(mapping(1), m_path);
        const QByteArray line = json::compact(mapping(2).toJson());
        appendRaw(m_path, line.left(line.size() / 2));
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.read(m_path).count, 1);
        appendRaw(m_path, line.mid(line.size() / 2) + '\n');
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.read(m_path).count, 2);
        // A complete record without its line feed counts, as in a whole read.
        appendRaw(m_path, json::compact(mapping(3).toJson()));
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.read(m_path).count, 3);
    }

    void anotherFileOrAMissingOneStartsOver()
    {
        const QString other = m_home->path(QStringLiteral("history/other/mappings.jsonl"));
        JSONLStore::append(mapping(1), m_path);
        JSONLStore::append(mapping(2), other);
        Follower follower(kLimit);
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.read(other).records, newestOf(JSONLStore::loadAll<LinkMapping>(other)));
        QVERIFY(QFile::remove(m_path));
        QVERIFY(follower.read(m_path).records.isEmpty());
        JSONLStore::append(mapping(4), m_path);
        expectSameAsWholeRead(follower);
    }
};

QTEST_GUILESS_MAIN(HistoryFollowerTest)
#include "tst_historyfollower.moc"
