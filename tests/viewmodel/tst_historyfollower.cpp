#include "model/LinkMapping.h"
#include "store/JSONLStore.h"
#include "support/TestHome.h"
#include "viewmodel/history/HistoryFileFollower.h"

#include <QFile>
#include <QtTest>

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

} // namespace

// The follower must always give what reading the whole file gives.
class HistoryFollowerTest : public QObject {
    Q_OBJECT

private:
    void expectSameAsWholeRead(HistoryFileFollower<LinkMapping>& follower)
    {
        QCOMPARE(follower.loadAll(m_path), JSONLStore::loadAll<LinkMapping>(m_path));
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
        HistoryFileFollower<LinkMapping> follower;
        QVERIFY(follower.loadAll(m_path).isEmpty());
        JSONLStore::append(mapping(1), m_path);
        JSONLStore::append(mapping(2), m_path);
        expectSameAsWholeRead(follower);
        appendRaw(m_path, "not json\n\n");
        JSONLStore::append(mapping(3), m_path);
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.loadAll(m_path).size(), 3);
    }

    void aRewriteOfTheSameLengthIsSeen()
    {
        // A repair that changes one time keeps every line's length: only the file's identity shows
        // that it was replaced.
        QList<LinkMapping> mappings{mapping(1), mapping(2), mapping(3)};
        JSONLStore::writeAll(mappings, m_path);
        HistoryFileFollower<LinkMapping> follower;
        expectSameAsWholeRead(follower);
        mappings[0].updatedAt = mappings[0].updatedAt.addSecs(3600);
        JSONLStore::writeAll(mappings, m_path);
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.loadAll(m_path).first().updatedAt, mappings[0].updatedAt);
    }

    void aShorterFileStartsOver()
    {
        JSONLStore::writeAll(QList<LinkMapping>{mapping(1), mapping(2)}, m_path);
        HistoryFileFollower<LinkMapping> follower;
        expectSameAsWholeRead(follower);
        const LinkMapping kept = mapping(3);
        JSONLStore::removeWhere<LinkMapping>(m_path, [](const LinkMapping&) { return true; });
        JSONLStore::append(kept, m_path);
        QCOMPARE(follower.loadAll(m_path), QList<LinkMapping>{kept});
    }

    void anUnfinishedLastLineIsReadAgainWhenCompleted()
    {
        HistoryFileFollower<LinkMapping> follower;
        JSONLStore::append(mapping(1), m_path);
        const QByteArray line = json::compact(mapping(2).toJson());
        appendRaw(m_path, line.left(line.size() / 2));
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.loadAll(m_path).size(), 1);
        appendRaw(m_path, line.mid(line.size() / 2) + '\n');
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.loadAll(m_path).size(), 2);
        // A complete record without its line feed counts, as in a whole read.
        appendRaw(m_path, json::compact(mapping(3).toJson()));
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.loadAll(m_path).size(), 3);
    }

    void anotherFileOrAMissingOneStartsOver()
    {
        const QString other = m_home->path(QStringLiteral("history/other/mappings.jsonl"));
        JSONLStore::append(mapping(1), m_path);
        JSONLStore::append(mapping(2), other);
        HistoryFileFollower<LinkMapping> follower;
        expectSameAsWholeRead(follower);
        QCOMPARE(follower.loadAll(other), JSONLStore::loadAll<LinkMapping>(other));
        QVERIFY(QFile::remove(m_path));
        QVERIFY(follower.loadAll(m_path).isEmpty());
        JSONLStore::append(mapping(4), m_path);
        expectSameAsWholeRead(follower);
    }
};

QTEST_GUILESS_MAIN(HistoryFollowerTest)
#include "tst_historyfollower.moc"
