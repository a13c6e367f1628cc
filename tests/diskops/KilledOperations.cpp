#include "KilledOperations.h"

#include "diskops/OperationRecovery.h"
#include "model/JsonFields.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "platform/TreeRemoval.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <unistd.h>

namespace orvalink::test {

namespace {

QString parentOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

// Kill moments spread evenly over a run, each nudged within its slot so rounds differ.
int gradedDelay(int round, int rounds, qint64 runMs)
{
    const double slot = double(runMs) / rounds;
    return int(slot * round + QRandomGenerator::global()->bounded(qMax(1.0, slot)));
}

} // namespace

bool journalShows(const Moment& moment)
{
    for (const QString& path : OperationJournal::recordPaths()) {
        try {
            if (moment(JournalRecord::fromJson(json::parseObject(platform::readWholeFile(path)))))
                return true;
        } catch (const std::exception&) {
            // gone or replaced between the listing and the read
        }
    }
    return false;
}

Run runOperation(const QStringList& arguments, std::optional<int> killAfterMs,
                 const std::function<bool()>& killWhen)
{
    QProcess helper;
    helper.start(QStringLiteral(ORVALINK_DISK_OPERATION), arguments);
    if (!helper.waitForReadyRead(20000))
        qFatal("the operation helper did not start");
    QElapsedTimer timer;
    timer.start();
    Run run;
    if (killWhen) {
        while (!(run.finished = helper.waitForFinished(1)) && !killWhen() && timer.elapsed() < 120000) {
        }
    } else {
        run.finished = helper.waitForFinished(killAfterMs.value_or(120000));
    }
    run.elapsedMs = timer.elapsed();
    if (!run.finished) {
        helper.kill();
        helper.waitForFinished();
    }
    return run;
}

Run runUntilStep(const QStringList& arguments, const Moment& step)
{
    return runOperation(arguments, std::nullopt, [&step] { return journalShows(step); });
}

int entryCount(const QString& root)
{
    if (!platform::entryExists(root))
        return -1;
    int count = 0;
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++count;
    return count;
}

Scene::Scene(Place place)
    : golden(fx.tree.path("golden/Projects")),
      source(fx.tree.path(place == Place::inHome ? "Projects" : "Documents/Projects")),
      target(fx.targetOf(source))
{
    if (place == Place::belowALinkedFolder) {
        QDir().mkpath(fx.home.path("other-disk/Documents"));
        fx.tree.symlink("Documents", fx.home.path("other-disk/Documents"));
    }
    for (int d = 0; d < 12; ++d) {
        for (int f = 0; f < 40; ++f)
            golden.fileOfSize(QStringLiteral("dir%1/file%2.bin").arg(d).arg(f), 4 * 1024 + d * 700 + f * 13);
    }
    golden.fileOfSize("large/one.bin", 3 * 1024 * 1024 / 2);
    golden.fileOfSize("large/two.bin", 1024 * 1024 + 17);
    golden.symlink("dir0/up", "../large/one.bin");
    whole = snapshotTree(golden.root());
}

void Scene::reset()
{
    if (platform::entryStatus(source).kind == platform::EntryKind::symbolicLink)
        ::unlink(QFile::encodeName(source).constData());
    if (platform::entryExists(fx.targetRoot()))
        platform::removeTree(fx.targetRoot());
    if (platform::entryStatus(source).kind == platform::EntryKind::none || snapshotTree(source) != whole) {
        if (platform::entryExists(source))
            platform::removeTree(source);
        QCOMPARE(QProcess::execute("cp", {"-a", "--", golden.root(), source}), 0);
    }
    QFile::remove(fx.mappingStore.filePath());
    QFile::remove(fx.taskStore.filePath());
}

QString Scene::wholeCopyPlace() const
{
    QStringList places = fx.reservedSiblings(source, "staging");
    if (platform::entryStatus(source).kind == platform::EntryKind::directory)
        places.prepend(source);
    places.append(target);
    for (const QString& place : places) {
        if (snapshotTree(place) == whole)
            return place;
    }
    return {};
}

QList<RecoveredOperation> Scene::recover()
{
    return OperationRecovery(fx.log, fx.volumes).recoverInterruptedOperations();
}

std::optional<End> Scene::migrationEnd(QString& why) const
{
    const auto fail = [&why](const QString& text) {
        why = text;
        return std::optional<End>();
    };
    if (!OperationJournal::recordPaths().isEmpty())
        return fail("an operation record is left");
    if (!fx.reservedSiblings(source, "staging").isEmpty() ||
        !fx.reservedSiblings(source, "restoring").isEmpty())
        return fail("a reserved sibling is left");
    const QList<LinkMapping> mappings = fx.mappings();
    const platform::EntryKind kind = platform::entryStatus(source).kind;
    if (kind == platform::EntryKind::directory) {
        if (snapshotTree(source) != whole)
            return fail("the tree at the source is not whole");
        if (platform::entryExists(target) || platform::entryExists(parentOf(target)))
            return fail("something of the migration is left on the volume");
        if (!mappings.isEmpty())
            return fail("a mapping is left");
        return End::atSource;
    }
    if (kind != platform::EntryKind::symbolicLink || platform::readSymbolicLink(source) != target)
        return fail("the source path holds neither the tree nor the link");
    if (snapshotTree(target) != whole)
        return fail("the target is not whole");
    if (mappings.size() != 1 || mappings.constFirst().sourcePath != source ||
        mappings.constFirst().targetPath != target)
        return fail(QStringLiteral("%1 mappings").arg(mappings.size()));
    return End::migrated;
}

KillTally killRepeatedly(const QStringList& arguments, qint64 fullRunMs, const QList<Moment>& moments,
                         const std::function<void()>& prepare,
                         const std::function<void(const QString& when)>& check, int kills)
{
    KillTally tally;
    tally.typicalMs = fullRunMs;
    for (int round = 0; tally.kills < kills && round < 3 * kills && !QTest::currentTestFailed(); ++round) {
        prepare();
        // Most kills come after a delay; every fourth as soon as the journal shows one of its steps,
        // so the short late steps are hit however the timing falls.
        Run run;
        QString when;
        if (round % 4 == 3) {
            const int step = (round / 4) % int(moments.size());
            run = runUntilStep(arguments, moments.at(step));
            when = QStringLiteral("at journal step %1").arg(step);
        } else {
            const int delay = gradedDelay(tally.kills, kills, tally.typicalMs);
            run = runOperation(arguments, delay);
            when = QStringLiteral("at %1 ms").arg(delay);
        }
        if (run.finished) {
            ++tally.finishedFirst;
            tally.typicalMs = (tally.typicalMs + run.elapsedMs) / 2;
        } else {
            ++tally.kills;
        }
        if (!QTest::currentTestFailed())
            check(when);
    }
    return tally;
}

} // namespace orvalink::test
