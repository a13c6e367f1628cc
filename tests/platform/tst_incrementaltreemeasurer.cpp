#include "platform/IncrementalTreeMeasurer.h"
#include "platform/TreeMeasurer.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QRandomGenerator>
#include <QTest>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

qint64 fullWalk(const QString& root)
{
    return measureTrees({root}, {}).front().value_or(-1);
}

void append(const QString& path, qint64 bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write(QByteArray(bytes, 'x')), bytes);
}

} // namespace

class TstIncrementalTreeMeasurer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A tree filled and changed the way a copy does it, measured after every round both ways. With no
    // settling time the caches are used as soon as the file system's clock has moved on.
    void agreesWithFullWalkAfterEveryRound_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("settleSeconds");
        QTest::newRow("seed 1, caches trusted at once") << 1u << 0;
        QTest::newRow("seed 2, caches trusted at once") << 2u << 0;
        QTest::newRow("seed 3, caches trusted at once") << 3u << 0;
        QTest::newRow("seed 4, two seconds to settle") << 4u << 2;
    }
    void agreesWithFullWalkAfterEveryRound()
    {
        QFETCH(quint32, seed);
        QFETCH(int, settleSeconds);
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("target")));
        tree.dir(QString());
        QRandomGenerator random(seed);
        QStringList directories{QString()};
        QStringList files;
        QStringList frontier; // files made in this round or the one before: the ones a copy still writes
        IncrementalTreeMeasurer measurer(tree.root(), settleSeconds);
        int serial = 0;
        qint64 listed = 0;
        qint64 visited = 0;
        for (int round = 0; round < 40; ++round) {
            QStringList made;
            const int operations = random.bounded(1, 12);
            for (int i = 0; i < operations; ++i) {
                const QString parent = directories.at(random.bounded(directories.size()));
                const QString prefix = parent.isEmpty() ? QString() : parent + QLatin1Char('/');
                switch (random.bounded(4)) {
                case 0:
                    directories << prefix + QStringLiteral("d%1").arg(++serial);
                    tree.dir(directories.last());
                    break;
                case 1:
                    files << prefix + QStringLiteral("f%1").arg(++serial);
                    tree.fileOfSize(files.last(), random.bounded(0, 20000));
                    made << files.last();
                    break;
                case 2:
                    if (!frontier.isEmpty())
                        append(tree.path(frontier.at(random.bounded(frontier.size()))),
                               random.bounded(1, 9000));
                    break;
                default:
                    if (!files.isEmpty()) {
                        const QString gone = files.takeAt(random.bounded(files.size()));
                        frontier.removeAll(gone);
                        made.removeAll(gone);
                        QVERIFY(QFile::remove(tree.path(gone)));
                    }
                }
            }
            for (const QString& file : made)
                if (random.bounded(2) == 0)
                    append(tree.path(file), random.bounded(1, 5000));
            tree.settle();
            QCOMPARE(measurer.measure().value_or(-2), fullWalk(tree.root()));
            listed += measurer.lastWork().directoriesListed;
            visited += directories.size();
            frontier = made;
        }
        QCOMPARE(measurer.measure().value_or(-2), fullWalk(tree.root()));
        if (settleSeconds == 0)
            QVERIFY2(listed < visited, "unchanged listings must be reused");
    }

    // A directory removed, and one replaced by another with the same name, drop their old totals.
    void replacedDirectoriesCountAfresh()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("target")));
        tree.fileOfSize(QStringLiteral("a/b/one"), 8192);
        tree.fileOfSize(QStringLiteral("c/two"), 4096);
        tree.settle();
        IncrementalTreeMeasurer measurer(tree.root(), 0);
        QCOMPARE(measurer.measure().value_or(-1), fullWalk(tree.root()));
        QVERIFY(QDir(tree.path(QStringLiteral("a"))).removeRecursively());
        QVERIFY(QDir(tree.path(QStringLiteral("c"))).removeRecursively());
        tree.fileOfSize(QStringLiteral("c/three"), 1000);
        tree.settle();
        QCOMPARE(measurer.measure().value_or(-1), fullWalk(tree.root()));
    }

    void rootThatIsNoDirectoryGivesNone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << QStringLiteral("missing");
        QTest::newRow("link to a directory") << QStringLiteral("link");
        QTest::newRow("file") << QStringLiteral("file");
    }
    void rootThatIsNoDirectoryGivesNone()
    {
        QFETCH(QString, kind);
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("t")));
        tree.fileOfSize(QStringLiteral("real/data"), 5000);
        if (kind == QLatin1String("link"))
            tree.symlink(QStringLiteral("root"), tree.path(QStringLiteral("real")));
        else if (kind == QLatin1String("file"))
            tree.fileOfSize(QStringLiteral("root"), 5000);
        IncrementalTreeMeasurer measurer(tree.path(QStringLiteral("root")));
        QVERIFY(!measurer.measure().has_value());
    }

    // A cancelled measurement leaves no half-built totals behind.
    void cancellationThrowsAndTheNextMeasurementIsWhole()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("t")));
        for (int i = 0; i < 20; ++i)
            tree.fileOfSize(QStringLiteral("d%1/f").arg(i), 4096);
        IncrementalTreeMeasurer measurer(tree.root(), 0);
        const auto token = CancellationToken::create();
        token.cancel();
        QVERIFY_THROWS_EXCEPTION(WalkCancelled, measurer.measure(token));
        QCOMPARE(measurer.measure().value_or(-1), fullWalk(tree.root()));
    }
};

QTEST_GUILESS_MAIN(TstIncrementalTreeMeasurer)
#include "tst_incrementaltreemeasurer.moc"
