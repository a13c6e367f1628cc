// What a start does with what stayed of a migration's staged original: newer than the data (written
// or made after the copy), it takes its place at the target or at the source the data came home to,
// each older version beside it and named, however many there are and wherever an earlier start was
// cut short; what a program still holds stays where it is until a later start.
#include "JournalScenes.h"
#include "diskops/NewerLeftovers.h"
#include "diskops/ReservedPaths.h"
#include "diskops/UndoWaitsForMigration.h"
#include "model/JsonFields.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "support/ForkedHolder.h"
#include "support/ReadOnlyRemount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QTest>
#include <memory>
#include <optional>

using namespace orvalink;
using namespace orvalink::test;
using Outcome = RecoveredOperation::Outcome;

namespace {

// The record of a migration of `source` killed once its whole copy stood at the target: the
// original staged, the copy at the target. Not yet left for the start.
JournalRecord wholeCopyOf(EngineFixture& fx, const QString& source)
{
    JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
    platform::renameNoReplace(source, record.stagingPath);
    platform::createDirectories(platform::parentPath(record.targetPath));
    copyTree(record.stagingPath, record.targetPath);
    record.targetIdentity = entryIdentityText(record.targetPath);
    record.moving = record.arrived = true;
    return record;
}

// The record of a migration of `source` that was taken back after its copy was whole: the data came
// home (a copy at the source, through the restore sibling; the target is gone), the original staged.
// Not yet left for the start.
JournalRecord cameHome(EngineFixture& fx, const QString& source)
{
    JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
    platform::renameNoReplace(source, record.stagingPath);
    copyTree(record.stagingPath, source);
    record.moving = record.arrived = true;
    record.restorePath = makeReservedPath(source, ReservedSuffix::restoring);
    record.restoreIdentity = entryIdentityText(source);
    return record;
}

// A folder Docs (app.log, b.txt) whose migration was killed as `killed` leaves it (wholeCopyOf or
// cameHome), with a newer app.log in the staged folder, as a program wrote it after the copy; the
// record is left for the start.
struct NewerLog {
    QString source;
    JournalRecord record;
    QString log; // the newer app.log, in the staged folder
};
NewerLog leaveNewerLog(EngineFixture& fx, JournalRecord (*killed)(EngineFixture&, const QString&))
{
    TestTree docs(fx.tree.path("Docs"));
    docs.file("app.log", "line 1\n");
    docs.file("b.txt", "beta");
    NewerLog scene{docs.root(), killed(fx, docs.root()), QString()};
    scene.log = TestTree(scene.record.stagingPath).file("app.log", "line 1\nline 2\n");
    leaveRecord(scene.record);
    return scene;
}

// Keeps the newer versions a start would put in place where they are, until release(): a program
// that holds `log`, or with `readOnly` the volume mounted read-only.
class Keeper {
public:
    Keeper(EngineFixture& fx, bool readOnly, const QString& log)
    {
        if (readOnly)
            m_readOnly.emplace(fx.volumePath());
        else
            m_logger = std::make_unique<ForkedHolder>(log, ForkedHolder::Hold::open);
    }
    std::optional<QString> skipReason() const
    {
        if (m_readOnly && !m_readOnly->isValid())
            return QStringLiteral("cannot make the volume read-only here");
        return std::nullopt;
    }
    bool keeps() const { return m_readOnly ? m_readOnly->isValid() : m_logger && m_logger->isHolding(); }
    void release()
    {
        m_logger.reset();
        m_readOnly.reset();
    }

private:
    std::unique_ptr<ForkedHolder> m_logger;
    std::optional<ReadOnlyRemount> m_readOnly;
};

// The reserved siblings with `suffix` anywhere in the tree at `root` and beside it, sorted.
QStringList siblingsIn(const QString& root, const QString& suffix)
{
    const QString marker = QStringLiteral(".orvalink-") + suffix + QLatin1Char('-');
    QStringList found;
    for (const QFileInfo& beside :
         QDir(platform::parentPath(root)).entryInfoList(QDir::AllEntries | QDir::Hidden)) {
        if (beside.fileName().startsWith('.' + QFileInfo(root).fileName()) &&
            beside.fileName().contains(marker))
            found.append(beside.filePath());
    }
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        if (it.fileName().contains(marker))
            found.append(path);
    }
    found.sort();
    return found;
}

} // namespace

class LeftoverRecoveryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aFinishedMigrationPutsWhatChangedInPlace_data()
    {
        QTest::addColumn<QString>("state"); // what the kill left of putting the newer version in place
        QTest::newRow("written and made after the copy") << "changed";
        QTest::newRow("an earlier start cut short while copying it") << "arriving";
        QTest::newRow("an earlier start cut short once it stood in place") << "placed";
        QTest::newRow("a single file appended to") << "single file";
        QTest::newRow("a single file's start cut short once its copy was recorded") << "single recorded";
        QTest::newRow("a single file's start cut short between its two renames") << "single between";
        QTest::newRow("a single file's start cut short once it stood in place") << "single placed";
    }
    // The copy was whole at the target when the migration was killed, and the staged original was
    // written to since: the migration is finished as it would have gone on, the newest version of
    // every file at the user's path, the version it replaced beside it and named; a start cut short
    // at any step of it is finished by the next.
    void aFinishedMigrationPutsWhatChangedInPlace()
    {
        QFETCH(QString, state);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const bool single = state.startsWith("single");
        TestTree docs(fx.tree.path("Docs"));
        const QString source = single ? fx.tree.file("notes.txt", "beta") : docs.root();
        if (!single) {
            docs.file("a.txt", "alpha");
            docs.file("sub/b.txt", "beta");
            docs.symlink("sub/link", "../a.txt");
        }
        JournalRecord record = wholeCopyOf(fx, source);
        const QString changed = single ? QString() : QStringLiteral("/sub/b.txt");
        TestTree(platform::parentPath(record.stagingPath))
            .file(QFileInfo(record.stagingPath).fileName() + changed, "beta, longer now");
        if (state == "changed")
            TestTree(record.stagingPath).file("new.txt", "written after the copy");
        const QString place = record.targetPath + changed;
        if (state == "arriving" || state == "placed") {
            // As a start named them before they were named for their migration.
            record.newerLeftovers = {changed.mid(1)};
            platform::renameNoReplace(place, makeReservedPath(place, ReservedSuffix::appendPreserved));
            if (state == "arriving") // a copy cut short
                TestTree(platform::parentPath(place))
                    .file(QFileInfo(makeReservedPath(place, ReservedSuffix::arriving)).fileName(), "bet");
            else // the whole copy, as it took the place
                copyTree(record.stagingPath + changed, place);
        } else if (state != "single file" && single) {
            // The newer version's whole copy on its way, recorded; then the older one moves aside,
            // then the newer one takes its place.
            record.newerLeftovers = {QString()};
            const QString arriving = makeReservedPath(place, ReservedSuffix::arriving, record.id);
            copyTree(record.stagingPath, arriving);
            record.arrivingIdentity = entryIdentityText(arriving);
            if (state != "single recorded")
                platform::renameNoReplace(
                    place, makeReservedPath(place, ReservedSuffix::appendPreserved, record.id));
            if (state == "single placed")
                platform::renameNoReplace(arriving, place);
        }
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        const RecoveredOperation& done = recovered.constFirst();
        QCOMPARE(done.outcome, Outcome::migrationCompleted);
        QVERIFY2(done.keptPaths.isEmpty(), qPrintable(done.keptPaths.join(", ")));
        QCOMPARE(platform::readWholeFile(place), QByteArray("beta, longer now"));
        const QStringList older = fx.reservedSiblings(place, "append-preserved");
        QCOMPARE(older.size(), 1);
        QCOMPARE(done.olderVersions, older);
        QCOMPARE(platform::readWholeFile(older.constFirst()), QByteArray("beta"));
        QVERIFY(fx.reservedSiblings(place, "arriving").isEmpty());
        if (state == "changed")
            QCOMPARE(platform::readWholeFile(record.targetPath + "/new.txt"),
                     QByteArray("written after the copy"));
        if (!single)
            QCOMPARE(platform::readSymbolicLink(record.targetPath + "/sub/link"), QString("../a.txt"));
        QVERIFY(!platform::entryExists(record.stagingPath));
        QCOMPARE(platform::readSymbolicLink(source), record.targetPath);
        QCOMPARE(fx.mappings().size(), 1);
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(fx.logEntries().constLast().message.contains(older.constFirst()));
    }

    void nothingTheOperationDidNotMakeIsFollowedOrMoved_data()
    {
        QTest::addColumn<QString>("change"); // made on the volume after the kill
        QTest::newRow("a folder of the copy swapped for a link to another folder") << "link";
        QTest::newRow("the record's arriving copy is another file") << "other arriving";
        // After a take-back whose merge waited on a held file: a new migration of it, or a file.
        QTest::newRow("the folder that came home swapped for a link") << "home link";
        QTest::newRow("the folder that came home swapped for a file") << "home file";
    }
    // What stands on the volume, or at the user's path, is not what the operation made: a start never
    // follows a link into another folder while it puts a newer version in place, never merges into
    // what took the place of the folder that came home, and never takes a file the record does not
    // name for the copy it made. Whatever stands outside stays as it was, and the data stays whole
    // and named.
    void nothingTheOperationDidNotMakeIsFollowedOrMoved()
    {
        QFETCH(QString, change);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const bool link = change == "link";
        const bool home = change.startsWith("home");
        TestTree outside(fx.volumePath() + "/Outside");
        outside.file("b.txt", "not the operation's");
        const QStringList before = test::snapshotTree(outside.root());
        TestTree docs(fx.tree.path("Docs"));
        const QString source =
            link || home ? docs.file("sub/b.txt", "beta") : fx.tree.file("notes.txt", "beta");
        JournalRecord record =
            home ? cameHome(fx, docs.root()) : wholeCopyOf(fx, link ? docs.root() : source);
        if (home) {
            TestTree(record.stagingPath).file("sub/b.txt", "beta, longer now");
            record.settled = true; // as a start leaves it whose merge waited on a held file
            QVERIFY(QDir(docs.root()).removeRecursively());
            if (change == "home link")
                QVERIFY(QFile::link(outside.root(), docs.root()));
            else
                fx.tree.file("Docs", "a file now");
        } else if (link) {
            TestTree(record.stagingPath).file("sub/b.txt", "beta, longer now");
            QVERIFY(QDir(record.targetPath + "/sub").removeRecursively());
            TestTree(record.targetPath).symlink("sub", outside.root());
        } else {
            // The copy moved aside as a start does, and another file in its arriving sibling's place.
            TestTree(platform::parentPath(source))
                .file(QFileInfo(record.stagingPath).fileName(), "beta, newer");
            record.newerLeftovers = {QString()};
            record.arrivingIdentity = entryIdentityText(outside.path("b.txt"));
            platform::renameNoReplace(
                record.targetPath,
                makeReservedPath(record.targetPath, ReservedSuffix::appendPreserved, record.id));
            TestTree(platform::parentPath(record.targetPath))
                .file(QFileInfo(makeReservedPath(record.targetPath, ReservedSuffix::arriving, record.id))
                          .fileName(),
                      "somebody's");
        }
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(test::snapshotTree(outside.root()), before);
        if (home) {
            QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
            QVERIFY(recovered.constFirst().foundPaths.contains(record.stagingPath));
            QCOMPARE(platform::readWholeFile(record.stagingPath + "/sub/b.txt"),
                     QByteArray("beta, longer now"));
            QCOMPARE(platform::readSymbolicLink(docs.root()),
                     change == "home link" ? std::optional(outside.root()) : std::nullopt);
            QCOMPARE(OperationJournal::recordPaths().size(), 1);
            QVERIFY(fx.logEntries().constLast().message.contains(
                "what stands at the source path is not the folder that came home"));
            return;
        }
        if (link) {
            // The link moved aside, named; the newest version stands in a folder of the copy's own.
            QCOMPARE(recovered.constFirst().outcome, Outcome::migrationCompleted);
            QVERIFY(platform::isRealDirectory(record.targetPath + "/sub"));
            QCOMPARE(platform::readWholeFile(record.targetPath + "/sub/b.txt"),
                     QByteArray("beta, longer now"));
            const QStringList older = fx.reservedSiblings(record.targetPath + "/sub", "append-preserved");
            QCOMPARE(recovered.constFirst().olderVersions, older);
            QCOMPARE(platform::readSymbolicLink(older.value(0)), outside.root());
            return;
        }
        // Nothing the record names stands at the target: nothing moves, and every version is named.
        QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
        QCOMPARE(platform::readWholeFile(record.stagingPath), QByteArray("beta, newer"));
        QVERIFY(!platform::entryExists(record.targetPath));
        QCOMPARE(fx.reservedSiblings(record.targetPath, "arriving").size(), 1);
        QVERIFY(recovered.constFirst().foundPaths.contains(record.stagingPath));
        for (const QString& older : fx.reservedSiblings(record.targetPath, "append-preserved"))
            QVERIFY(recovered.constFirst().foundPaths.contains(older));
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
    }

    void aTakenBackMigrationPutsWhatChangedInPlace_data()
    {
        QTest::addColumn<bool>("single"); // a single file, cut short between the merge's two renames
        QTest::newRow("a folder, one file put in place before the kill") << false;
        QTest::newRow("a single file, cut short between its two renames") << true;
    }
    // Killed while what a program wrote during the removal took its place in the folder that came
    // home from the target: the next start finishes that, and names the versions it replaced.
    void aTakenBackMigrationPutsWhatChangedInPlace()
    {
        QFETCH(bool, single);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        TestTree docs(fx.tree.path("Docs"));
        docs.file("a.txt", "alpha");
        docs.file("b.txt", "beta");
        const QString source = single ? docs.path("a.txt") : docs.root();
        JournalRecord record = cameHome(fx, source);
        QStringList older;
        if (single) {
            // The version that came home moved aside; the newer one was about to take its place.
            TestTree(platform::parentPath(source))
                .file(QFileInfo(record.stagingPath).fileName(), "alpha, longer now");
            record.newerLeftovers = {QString()};
            platform::renameNoReplace(source,
                                      makeReservedPath(source, ReservedSuffix::appendPreserved, record.id));
        } else {
            // Written while the staged files went; a.txt was put in place before the kill.
            TestTree staging(record.stagingPath);
            staging.file("a.txt", "alpha, longer now");
            staging.file("b.txt", "beta, longer now");
            record.newerLeftovers = {"a.txt", "b.txt"};
            platform::renameNoReplace(docs.path("a.txt"),
                                      makeReservedPath(docs.path("a.txt"), ReservedSuffix::appendPreserved));
            platform::renameNoReplace(staging.path("a.txt"), docs.path("a.txt"));
        }
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        const RecoveredOperation& done = recovered.constFirst();
        QCOMPARE(done.outcome, Outcome::migrationRolledBack);
        QCOMPARE(docs.read("a.txt"), QByteArray("alpha, longer now"));
        older = fx.reservedSiblings(docs.path("a.txt"), "append-preserved");
        if (!single) {
            QCOMPARE(docs.read("b.txt"), QByteArray("beta, longer now"));
            older += fx.reservedSiblings(docs.path("b.txt"), "append-preserved");
        }
        QCOMPARE(older.size(), single ? 1 : 2);
        QCOMPARE(done.olderVersions, older);
        QCOMPARE(platform::readWholeFile(older.at(0)), QByteArray("alpha"));
        if (!single)
            QCOMPARE(platform::readWholeFile(older.at(1)), QByteArray("beta"));
        QVERIFY(!platform::entryExists(record.stagingPath));
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(fx.logEntries().constLast().message.contains(older.constLast()));
    }

    void everyOlderVersionIsNamedHoweverMany_data()
    {
        QTest::addColumn<bool>("forward"); // the copy stood whole: the migration is finished
        QTest::newRow("taken back, killed in the merge into the folder that came home") << false;
        QTest::newRow("finished, an earlier start killed once the last older version moved aside") << true;
    }
    // 1,500 files were made and 18 rewritten in the staged folder while it was removed, and a process
    // was killed halfway through putting them in place: more than a record names. Every older version
    // the killed process kept is named, the newest version of every file stands at its place, and no
    // copy on its way stays behind.
    void everyOlderVersionIsNamedHoweverMany()
    {
        QFETCH(bool, forward);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        TestTree docs(fx.tree.path("Docs"));
        constexpr int kRewritten = 18;
        constexpr int kMade = 1500;
        for (int i = 0; i < kRewritten; ++i)
            docs.file(QStringLiteral("kept/r%1.txt").arg(i), "first");
        const QString source = docs.root();
        JournalRecord record = forward ? wholeCopyOf(fx, source) : cameHome(fx, source);
        const QString place = forward ? record.targetPath : source; // where the newer versions go
        TestTree staging(record.stagingPath);
        QStringList made;
        for (int i = 0; i < kMade; ++i)
            made.append(staging.file(QStringLiteral("new/n%1.txt").arg(i), "made"));
        for (int i = 0; i < kRewritten; ++i)
            staging.file(QStringLiteral("kept/r%1.txt").arg(i), "second");
        // What a record can name: the first of the new files, none of the rewritten ones.
        for (int i = 0; i < kMaxWaitingLeftovers; ++i)
            record.newerLeftovers.append(QStringLiteral("new/n%1.txt").arg(i));
        // The killed process had moved every older version aside, and put all but the last newer
        // version in place; of the last, its copy was on its way.
        platform::createDirectories(place + "/new");
        for (int i = 0; i < kRewritten; ++i) {
            const QString at = place + QStringLiteral("/kept/r%1.txt").arg(i);
            platform::renameNoReplace(at, makeReservedPath(at, ReservedSuffix::appendPreserved, record.id));
            if (i + 1 < kRewritten && !forward)
                platform::renameNoReplace(staging.path(QStringLiteral("kept/r%1.txt").arg(i)), at);
            else if (i + 1 < kRewritten)
                copyTree(staging.path(QStringLiteral("kept/r%1.txt").arg(i)), at);
            else if (forward)
                TestTree(platform::parentPath(at))
                    .file(QFileInfo(makeReservedPath(at, ReservedSuffix::arriving, record.id)).fileName(),
                          "sec");
        }
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        const RecoveredOperation& done = recovered.constFirst();
        QCOMPARE(done.outcome, forward ? Outcome::migrationCompleted : Outcome::migrationRolledBack);
        const QStringList older = siblingsIn(place, "append-preserved");
        QCOMPARE(older.size(), kRewritten);
        QCOMPARE(done.olderVersions, older);
        for (const QString& each : older)
            QCOMPARE(platform::readWholeFile(each), QByteArray("first"));
        QCOMPARE(siblingsIn(place, "arriving"), QStringList());
        for (int i = 0; i < kRewritten; ++i)
            QCOMPARE(platform::readWholeFile(place + QStringLiteral("/kept/r%1.txt").arg(i)),
                     QByteArray("second"));
        QCOMPARE(QDir(place + "/new").count() - 2, uint(kMade));
        QVERIFY(!platform::entryExists(record.stagingPath));
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(fx.logEntries().constLast().message.contains(older.constLast()));
    }

    void whatCannotBeFinishedWaitsForALaterStart_data()
    {
        QTest::addColumn<bool>("forward"); // the copy stood whole: the migration is finished
        QTest::addColumn<QString>("why");  // what keeps part of it where it is
        QTest::newRow("finished, a program holds a staged file") << true << "held";
        QTest::newRow("taken back, a program holds a staged file") << false << "held";
        QTest::newRow("finished, the volume refuses the newer versions") << true << "read-only";
        QTest::newRow("taken back, a program holds a file of the copy") << false << "copy held";
    }
    // A program working in the folder opened app.log by its name while the staged files went, so in
    // the staged folder, and keeps writing it; then the window was killed. The start removes, moves
    // and copies nothing a program holds (of the staged original or of a copy no longer needed), and
    // nothing ends under "completed" while a newer version is not at the user's path (held, or refused
    // by a read-only volume): what stays is named and the record stays. Once the program let go or
    // the volume takes it, the next start finishes, the version it replaces beside it.
    void whatCannotBeFinishedWaitsForALaterStart()
    {
        QFETCH(bool, forward);
        QFETCH(QString, why);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        TestTree docs(fx.tree.path("Docs"));
        docs.file("app.log", "line 1\n");
        docs.file("b.txt", "beta");
        docs.file("c.txt", "gamma");
        const QString source = docs.root();
        JournalRecord record = forward ? wholeCopyOf(fx, source) : cameHome(fx, source);
        const QString place = forward ? record.targetPath : source;
        const bool copyHeld = why == "copy held";
        if (copyHeld) { // the copy stands whole on the volume, as it was when it was linked
            platform::createDirectories(platform::parentPath(record.targetPath));
            copyTree(source, record.targetPath);
            record.targetIdentity = entryIdentityText(record.targetPath);
        }
        TestTree staging(record.stagingPath);
        const QString log =
            copyHeld ? record.targetPath + "/app.log" : staging.file("app.log", "line 1\nline 2\n");
        // A version an earlier operation kept beside app.log: neither start's to name or touch.
        const QString earlier =
            makeReservedPath(place + "/app.log", ReservedSuffix::appendPreserved, QUuid::createUuid());
        if (!copyHeld) {
            staging.file("b.txt", "beta, longer now");
            TestTree(place).file(QFileInfo(earlier).fileName(), "an earlier run's");
        }
        leaveRecord(record);
        const bool readOnly = why == "read-only";
        Keeper keeper(fx, readOnly, log);
        if (const std::optional<QString> skip = keeper.skipReason())
            QSKIP(qPrintable(*skip));
        QVERIFY(keeper.keeps());

        const QList<RecoveredOperation> first = recoverOperations(fx);

        QCOMPARE(first.size(), 1);
        const RecoveredOperation& waits = first.constFirst();
        // Not complete while its newest version is not at the user's path.
        QCOMPARE(waits.outcome, forward ? Outcome::migrationUnfinished : Outcome::migrationRolledBack);
        QCOMPARE(fx.tasks().size(), forward ? 0 : 1);
        const QStringList refused{staging.path("app.log"), staging.path("b.txt")};
        QStringList waiting = waits.waitingPaths;
        waiting.sort();
        QCOMPARE(waiting, readOnly ? refused : QStringList());
        QCOMPARE(waits.heldPaths, readOnly ? QStringList() : QStringList{log});
        QCOMPARE(waits.holders, readOnly ? QStringList() : QStringList{"holder"});
        QCOMPARE(platform::readWholeFile(log),
                 copyHeld ? QByteArray("line 1\n") : QByteArray("line 1\nline 2\n"));
        if (!copyHeld) {
            QCOMPARE(platform::readWholeFile(place + "/app.log"), QByteArray("line 1\n"));
            // What nobody holds is finished where the data is; taken back, the merge waits as a whole.
            QCOMPARE(platform::readWholeFile(place + "/b.txt"),
                     forward && !readOnly ? QByteArray("beta, longer now") : QByteArray("beta"));
            QCOMPARE(platform::entryExists(staging.path("b.txt")), !forward || readOnly);
            QVERIFY(!platform::entryExists(staging.path("c.txt"))); // the same as the copy: gone
        }
        if (forward)
            QCOMPARE(platform::readSymbolicLink(source), record.targetPath);
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
        QVERIFY(fx.logEntries().constLast().message.contains(readOnly ? refused.constFirst() : log));

        keeper.release();
        const QList<RecoveredOperation> later = recoverOperations(fx);

        QCOMPARE(later.size(), 1);
        const RecoveredOperation& done = later.constFirst();
        QVERIFY(done.heldPaths.isEmpty() && done.waitingPaths.isEmpty());
        QVERIFY(operationsFolderNames().isEmpty());
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(fx.mappings().size(), forward ? 1 : 0);
        if (copyHeld) {
            QCOMPARE(done.outcome, Outcome::leftoversCleared);
            QVERIFY(!platform::entryExists(record.targetPath));
            return;
        }
        QCOMPARE(done.outcome, forward ? Outcome::migrationCompleted : Outcome::migrationRolledBack);
        QCOMPARE(platform::readWholeFile(place + "/app.log"), QByteArray("line 1\nline 2\n"));
        QCOMPARE(platform::readWholeFile(place + "/b.txt"), QByteArray("beta, longer now"));
        QStringList older = fx.reservedSiblings(place + "/app.log", "append-preserved");
        QCOMPARE(older.size(), 2);
        QVERIFY(older.removeOne(earlier));
        QCOMPARE(platform::readWholeFile(earlier), QByteArray("an earlier run's"));
        QCOMPARE(platform::readWholeFile(older.constFirst()), QByteArray("line 1\n"));
        // Each version once: what the first start named is not named again.
        if (!forward || why == "read-only")
            older += fx.reservedSiblings(place + "/b.txt", "append-preserved");
        else
            QCOMPARE(first.constFirst().olderVersions,
                     fx.reservedSiblings(place + "/b.txt", "append-preserved"));
        older.sort();
        QCOMPARE(done.olderVersions, older);
        QVERIFY(!platform::entryExists(record.stagingPath));
    }

    void aWaitingMigrationIsFinishedBeforeAnotherStep_data()
    {
        QTest::addColumn<bool>(
            "undo"); // of the linked folder; else a new migration of the one that came home
        QTest::addColumn<QString>("why"); // what keeps the newer app.log in the staged folder
        QTest::newRow("undo, a program holds it, closed first") << true << "held";
        QTest::newRow("undo, a program holds it, ended on request") << true << "ended";
        QTest::newRow("undo, the volume refuses it, then takes it") << true << "read-only";
        QTest::newRow("new migration, a program holds it, closed first") << false << "held";
        QTest::newRow("new migration, a program holds it, ended on request") << false << "ended";
    }
    // A start left the newer app.log in the staged folder: it linked the folder (held, or refused by
    // the volume), or it took the migration back and the merge into the folder that came home waits
    // on the program. An undo of the first, or a new migration of the second, moves nothing while it
    // waits, and says why: the program and the file, or that the migration is not finished. Once it
    // can (the program closed, or ended on request), it finishes the waiting migration first, then
    // does its own work, the newest app.log at the folder's place and the older one beside it.
    void aWaitingMigrationIsFinishedBeforeAnotherStep()
    {
        QFETCH(bool, undo);
        QFETCH(QString, why);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto [source, record, log] = leaveNewerLog(fx, undo ? wholeCopyOf : cameHome);
        Keeper keeper(fx, why == "read-only", log);
        if (const std::optional<QString> skip = keeper.skipReason())
            QSKIP(qPrintable(*skip));
        QVERIFY(keeper.keeps());
        QCOMPARE(recoverOperations(fx).constFirst().outcome,
                 undo ? Outcome::migrationUnfinished : Outcome::migrationRolledBack);
        const QStringList home = snapshotContents(fx.home.home());
        const QStringList copy = snapshotContents(record.targetPath);
        QStringList ended;
        // What refused the step: its error's code, path and programs, or the undo's wait; empty once done.
        const auto step = [&](bool endPrograms) -> QString {
            try {
                if (undo) {
                    ended = fx.undoNewest("user", UndoAnswers{std::nullopt, endPrograms}).terminatedProcesses;
                    return QString();
                }
                const MigrationExecutionResult moved =
                    fx.engine().migrate(source, fx.config(), std::nullopt, endPrograms);
                if (moved.failure)
                    throw *moved.failure;
                ended = moved.terminatedProcesses;
                return QString();
            } catch (const OrvalinkError& error) {
                return error.code() + " " + error.path() + ": " + error.processes().join(", ");
            } catch (const UndoWaitsForMigration& error) {
                return "waits: " + error.sourcePath();
            }
        };

        if (why != "ended") {
            QCOMPARE(step(false), why == "held" ? "E007 " + log + ": holder" : "waits: " + source);
            // Nothing changed: the folder or its link, the copy, the newer version, history, record.
            QCOMPARE(snapshotContents(fx.home.home()), home);
            QCOMPARE(snapshotContents(record.targetPath), copy);
            QCOMPARE(platform::readWholeFile(log), QByteArray("line 1\nline 2\n"));
            QCOMPARE(fx.mappings().size(), undo ? 1 : 0);
            QCOMPARE(OperationJournal::recordPaths().size(), 1);
            keeper.release();
        }

        QCOMPARE(step(why == "ended"), QString());

        QCOMPARE(ended, why == "ended" ? QStringList{"holder"} : QStringList());
        const QString place = undo ? source : fx.targetOf(source);
        if (undo)
            QVERIFY(platform::isRealDirectory(source));
        else
            QCOMPARE(platform::readSymbolicLink(source), place);
        QCOMPARE(platform::readWholeFile(place + "/app.log"), QByteArray("line 1\nline 2\n"));
        QCOMPARE(platform::readWholeFile(place + "/b.txt"), QByteArray("beta"));
        const QStringList older = fx.reservedSiblings(place + "/app.log", "append-preserved");
        QCOMPARE(older.size(), 1);
        QCOMPARE(platform::readWholeFile(older.constFirst()), QByteArray("line 1\n"));
        QVERIFY(!platform::entryExists(record.stagingPath));
        QCOMPARE(fx.mappings().size(), undo ? 0 : 1);
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(recoverOperations(fx).isEmpty());
    }

    // A record of the mapping's migration that cannot be trusted (its staging path lies outside the
    // home) is set aside untouched, as a start would, and the undo goes on as if none waited.
    void anUndoGoesOnOnceAnUntrustedRecordIsSetAside()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList whole = migrateFolder(fx, source);
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, source);
        record.mappingID = fx.mappings().constFirst().id;
        record.stagingPath = fx.home.root() + "/elsewhere/.Docs.orvalink-staging-X";
        leaveRecord(record);

        const UndoResult undone = fx.undoNewest("user");

        QVERIFY(!undone.leftBehind());
        QCOMPARE(snapshotTree(source), whole);
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(operationsFolderNames(), QStringList{json::uuidText(record.id) + ".json.set-aside"});
    }
};

QTEST_GUILESS_MAIN(LeftoverRecoveryTest)
#include "tst_leftoverrecovery.moc"
