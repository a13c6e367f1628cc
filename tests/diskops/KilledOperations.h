#pragma once

#include "EngineFixture.h"
#include "diskops/OperationJournal.h"
#include "diskops/RecoveredOperation.h"
#include "support/TestTree.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>
#include <functional>
#include <optional>

// Disk operations run in a process of their own (orvalink-test-disk-operation) and killed with
// SIGKILL at moments spread across their run, and the scene they work on: what the tests of
// interrupted operations share.
namespace orvalink::test {

// How many runs a test of one kind of operation kills.
constexpr int kKills = 44;

// The two ends a migration may reach.
enum class End { atSource, migrated };

// A step of the operation, as its journal tells it.
using Moment = std::function<bool(const JournalRecord&)>;

// True when a record in the operations folder shows `moment`.
bool journalShows(const Moment& moment);

// One operation in its own process, killed after `killAfterMs`, or as soon as `killWhen` holds
// (neither: let it finish). Answers whether it finished by itself, and how long it ran from "ready".
struct Run {
    bool finished = false;
    qint64 elapsedMs = 0;
};
Run runOperation(const QStringList& arguments, std::optional<int> killAfterMs,
                 const std::function<bool()>& killWhen = {});
// The same, killed as soon as its journal shows `step`.
Run runUntilStep(const QStringList& arguments, const Moment& step);

// How many entries the tree at `root` holds; -1 when nothing is there.
int entryCount(const QString& root);

// Where the migrated folder lies in the home.
enum class Place {
    inHome,
    // Below ~/Documents, a link to a folder outside the home (as many set their folders up).
    belowALinkedFolder,
};

// A tree in the home, its golden copy elsewhere, a volume on another file system.
class Scene {
public:
    explicit Scene(Place place = Place::inHome);

    // The tree whole at the source and nothing else of ours anywhere.
    void reset();
    // Where the whole tree stands right after a kill, before any recovery: the source, a staging
    // sibling or the target; empty when nowhere.
    QString wholeCopyPlace() const;
    // The start-up's recovery on the scene's log and volumes.
    QList<RecoveredOperation> recover();
    // Whatever the last kill left, after recovery: exactly one of the two ends of a migration; none
    // with `why` set otherwise.
    std::optional<End> migrationEnd(QString& why) const;

    EngineFixture fx;
    TestTree golden;
    QString source;
    QString target;
    QStringList whole;
};

// Runs the operation again and again, each time after `prepare`, killing it at moments spread over
// its run until `kills` runs were killed; `check` judges each end. Most kills come after a delay;
// every fourth as soon as the journal shows one of `moments`, so the short late steps are hit
// however the timing falls. The length of a run follows the runs that finish before their kill (the
// first run of all is often slower).
struct KillTally {
    int kills = 0;
    int finishedFirst = 0;
    qint64 typicalMs = 0;
};
KillTally killRepeatedly(const QStringList& arguments, qint64 fullRunMs, const QList<Moment>& moments,
                         const std::function<void()>& prepare,
                         const std::function<void(const QString& when)>& check, int kills);

} // namespace orvalink::test

#define VERIFY_END(scene, end, context)                                                                      \
    do {                                                                                                     \
        QString why;                                                                                         \
        end = (scene).migrationEnd(why);                                                                     \
        QVERIFY2(end.has_value(), qPrintable(QStringLiteral("%1: %2").arg(context, why)));                   \
    } while (false)
