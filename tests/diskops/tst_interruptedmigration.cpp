// Migrations killed with SIGKILL at random moments: after every kill the whole tree still exists,
// byte for byte, at the source, the staging path or the target. A partial copy may stand beside a
// whole one, never instead of it.
#include "EngineFixture.h"
#include "platform/EntryStatus.h"
#include "platform/TreeRemoval.h"
#include "support/TmpfsMount.h"
#include "support/TreeSnapshot.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

constexpr int kWantedKills = 60;
constexpr qint64 kTimeBudgetMs = 40000;

// Everything that may hold the tree after a kill.
QStringList placesOf(const EngineFixture& fx, const QString& source)
{
    QStringList places = fx.reservedSiblings(source, "staging");
    if (platform::entryStatus(source).kind == platform::EntryKind::directory)
        places.prepend(source);
    places.append(fx.targetOf(source));
    return places;
}

void clearPlaces(const EngineFixture& fx, const QString& source)
{
    if (platform::entryStatus(source).kind == platform::EntryKind::symbolicLink)
        ::unlink(QFile::encodeName(source).constData());
    for (const QString& place : placesOf(fx, source)) {
        if (platform::entryStatus(place).kind != platform::EntryKind::none)
            platform::removeTree(place);
    }
}

} // namespace

class InterruptedMigrationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedMigrationsLeaveOneWholeCopy()
    {
        EngineFixture fx;
        if (const auto reason = fx.skipReason())
            QSKIP(qPrintable(*reason));
        // Source and copies live on a tmpfs of their own, so that setting up each round is cheap.
        test::TmpfsMount work(fx.tree.path("work"), 64 * 1024 * 1024);
        QVERIFY2(work.isValid(), qPrintable(work.skipReason()));
        test::TestTree golden(fx.tree.path("work/golden/Projects"));
        for (int d = 0; d < 4; ++d) {
            for (int f = 0; f < 40; ++f)
                golden.fileOfSize(QStringLiteral("dir%1/file%2.bin").arg(d).arg(f), 8 * 1024 + d * 100 + f);
        }
        golden.fileOfSize("large/one.bin", 3 * 1024 * 1024);
        golden.fileOfSize("large/two.bin", 2 * 1024 * 1024 + 17);
        golden.symlink("dir0/up", "../large/one.bin");
        const QStringList whole = test::snapshotTree(golden.root());
        const QString source = fx.tree.path("work/Projects");

        const auto reset = [&] {
            clearPlaces(fx, source);
            QCOMPARE(QProcess::execute("cp", {"-a", "--", golden.root(), source}), 0);
        };
        // One migration run from "ready" to the end; false when it was killed first.
        const auto runOnce = [&](std::optional<int> killAfterMs, qint64* took) {
            QProcess helper;
            helper.start(QStringLiteral(ORVALINK_DISK_OPERATION), {"migrate", source, fx.targetRoot()});
            if (!helper.waitForReadyRead(10000))
                qFatal("the migration helper did not start");
            QElapsedTimer timer;
            timer.start();
            const bool finished = helper.waitForFinished(killAfterMs.value_or(30000));
            if (!finished) {
                helper.kill();
                helper.waitForFinished();
            }
            if (took)
                *took = timer.elapsed();
            return finished;
        };

        reset();
        QCOMPARE(test::snapshotTree(source), whole);
        qint64 fullRunMs = 0;
        QVERIFY(runOnce(std::nullopt, &fullRunMs));
        QCOMPARE(test::snapshotTree(fx.targetOf(source)), whole);

        QElapsedTimer budget;
        budget.start();
        int kills = 0;
        int finishedFirst = 0;
        QMap<QString, int> foundAt; // where the whole tree stood after each kill
        // Kill moments are drawn from the length of a run, which follows the runs that finish.
        qint64 typicalRunMs = fullRunMs;
        while (kills < kWantedKills && budget.elapsed() < kTimeBudgetMs) {
            reset();
            const int delay = QRandomGenerator::global()->bounded(int(typicalRunMs) + 1);
            qint64 took = 0;
            if (runOnce(delay, &took)) {
                ++finishedFirst;
                typicalRunMs = (typicalRunMs + took) / 2;
            } else {
                ++kills;
            }
            QStringList wholePlaces;
            for (const QString& place : placesOf(fx, source)) {
                if (test::snapshotTree(place) == whole)
                    wholePlaces.append(place);
            }
            QVERIFY2(!wholePlaces.isEmpty(),
                     qPrintable(QStringLiteral("no whole copy after a kill at %1 ms; places: %2")
                                    .arg(delay)
                                    .arg(placesOf(fx, source).join(", "))));
            const QString& place = wholePlaces.constFirst();
            ++foundAt[place == source                ? QStringLiteral("source")
                      : place == fx.targetOf(source) ? QStringLiteral("target")
                                                     : QStringLiteral("staging")];
        }
        qInfo("killed %d migrations at random moments (%d finished before their kill; a full run takes %lld "
              "ms); whole tree found at the source %d, staging %d, target %d times",
              kills, finishedFirst, fullRunMs, foundAt.value("source"), foundAt.value("staging"),
              foundAt.value("target"));
        QVERIFY2(kills >= 50, qPrintable(QStringLiteral("only %1 kills within the time budget").arg(kills)));
        clearPlaces(fx, source);
    }
};

QTEST_GUILESS_MAIN(InterruptedMigrationTest)
#include "tst_interruptedmigration.moc"
