// The start-up recovery of undos that a crash cut short where the earlier recovery could not help:
// a forced restore at each of its steps (the user's folder at the source set aside, the data on its
// way home, the folder merged in, a merge that keeps failing, one that cannot be put back), an undo
// of data found on a volume that came back under another name, one where a file on the volume changed
// without a new time, and one whose volume has a clone. Each ends with the user's folder or the
// restored data at the source path, nothing hidden that the answer does not name, nothing lost, and no
// record left (a merge split in two keeps it until a start can finish the merge); a record that names
// a link or a file to merge as what stood at the source is set aside with nothing moved.
#include "JournalScenes.h"
#include "SplitMerge.h"
#include "diskops/ReservedPaths.h"
#include "diskops/UndoService.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/SymbolicLinks.h"
#include "support/ImmutableFlag.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::test;
using Outcome = RecoveredOperation::Outcome;

namespace {

// How far a forced restore got before the crash.
enum class Stage {
    recorded,    // where the folder at the source goes is recorded; it has not moved
    setAside,    // the folder is at its reserved path; nothing of the data has come yet
    partialCopy, // and part of the data stands beside the source
    wholeCopy,   // and the whole data stands beside the source
    placed,      // the data stands at the source; the folder is still aside
    halfMerged,  // an append had moved part of the folder into the data
};

// How far an undo's copy home got: cut short, or whole and recorded so.
void copyToRestoreSibling(JournalRecord& record, bool wholeCopy)
{
    record.restorePath = makeReservedPath(record.sourcePath, ReservedSuffix::restoring);
    if (wholeCopy)
        copyTree(record.targetPath, record.restorePath);
    else
        TestTree(record.restorePath).file("a.txt", "alpha");
    record.restoreSiblingIdentity = entryIdentityText(record.restorePath);
    if (wholeCopy)
        record.restoreIdentity = record.restoreSiblingIdentity;
}

// What the user made at the source path after the migration: a folder of their own, one of its
// names also in the migrated data.
QStringList makeOccupant(const QString& source)
{
    TestTree occupant(source);
    occupant.file("mine.txt", "the user's new file");
    occupant.file("notes/n.txt", "a note");
    occupant.file("a.txt", "the user's own a.txt");
    return snapshotTree(source);
}

// Every file below `root` with its content, wherever a merge put it.
QMultiMap<QByteArray, QString> contentsBelow(const QString& root)
{
    QMultiMap<QByteArray, QString> found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        found.insert(platform::readWholeFile(path), path.mid(root.size() + 1));
    }
    return found;
}

// The record of a forced restore of `source` that sets what stands there aside (to be merged into
// the data afterwards, or kept), as it begins.
JournalRecord forcedRestoreRecord(const EngineFixture& fx, const QString& source, bool merge)
{
    JournalRecord record = journalRecordFor(fx, JournalKind::undo, source);
    record.forced = true;
    record.occupantMerge = merge;
    record.occupantPath = makeReservedPath(source, merge ? ReservedSuffix::appendPreserved
                                                         : ReservedSuffix::overwritePreserved);
    record.occupantIdentity = entryIdentityText(source);
    return record;
}

// The data copied home whole beside the source and put in its place, as the record says.
void placeWholeCopy(JournalRecord& record)
{
    copyToRestoreSibling(record, true);
    platform::renameNoReplace(record.restorePath, record.sourcePath);
}

// How far the copy home had come when the undo stopped.
void addCopyRows()
{
    QTest::addColumn<bool>("wholeCopy");
    QTest::newRow("copy cut short") << false;
    QTest::newRow("copy whole") << true;
}

} // namespace

Q_DECLARE_METATYPE(Stage)

class UndoRecoveryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void forcedRestoreEndsWhole_data()
    {
        QTest::addColumn<ForcedUndoRestoreMode>("mode");
        QTest::addColumn<Stage>("stage");
        const QList<std::pair<const char*, Stage>> stages{{"recorded", Stage::recorded},
                                                          {"set aside", Stage::setAside},
                                                          {"partial copy", Stage::partialCopy},
                                                          {"whole copy", Stage::wholeCopy},
                                                          {"placed", Stage::placed}};
        for (const auto& [name, stage] : stages) {
            QTest::addRow("append, %s", name) << ForcedUndoRestoreMode::append << stage;
            QTest::addRow("overwrite, %s", name) << ForcedUndoRestoreMode::overwrite << stage;
        }
        QTest::addRow("append, half merged") << ForcedUndoRestoreMode::append << Stage::halfMerged;
    }

    void forcedRestoreEndsWhole()
    {
        QFETCH(ForcedUndoRestoreMode, mode);
        QFETCH(Stage, stage);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        const QStringList migrated = migrateFolder(fx, source);
        QVERIFY(QFile::remove(source)); // the link; the user makes the folder anew
        const QStringList occupant = makeOccupant(source);
        const QMultiMap<QByteArray, QString> occupantFiles = contentsBelow(source);

        const bool merge = mode == ForcedUndoRestoreMode::append;
        JournalRecord record = forcedRestoreRecord(fx, source, merge);
        if (stage != Stage::recorded)
            platform::renameNoReplace(source, record.occupantPath);
        if (stage >= Stage::partialCopy)
            copyToRestoreSibling(record, stage >= Stage::wholeCopy);
        if (stage >= Stage::placed)
            platform::renameNoReplace(record.restorePath, source);
        if (stage == Stage::halfMerged) {
            platform::renameNoReplace(record.occupantPath + "/mine.txt", source + "/mine.txt");
            platform::renameNoReplace(record.occupantPath + "/notes", source + "/notes");
        }
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(fx.reservedSiblings(source, "restoring").isEmpty());
        QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::directory);
        if (stage <= Stage::partialCopy) {
            // The data never came whole: it stays on the volume with its record, and the user's
            // folder is back where they made it.
            QCOMPARE(recovered.constFirst().outcome, Outcome::forcedUndoStopped);
            QCOMPARE(snapshotTree(source), occupant);
            QVERIFY(!platform::entryExists(record.occupantPath));
            QCOMPARE(snapshotTree(record.targetPath), migrated);
            QCOMPARE(fx.mappings().size(), 1);
            return;
        }
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
        QVERIFY(!platform::entryExists(record.targetPath));
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(platform::readWholeFile(source + "/a.txt"), QByteArray("alpha"));
        QCOMPARE(platform::readWholeFile(source + "/sub/b.bin").size(), 96 * 1024);
        if (merge) {
            // Every file of the user's folder is inside the restored one; their a.txt under a
            // reserved name beside the migrated one.
            QVERIFY(!platform::entryExists(record.occupantPath));
            const QMultiMap<QByteArray, QString> restored = contentsBelow(source);
            for (auto it = occupantFiles.cbegin(); it != occupantFiles.cend(); ++it)
                QVERIFY2(restored.contains(it.key()), qPrintable(it.value()));
            QCOMPARE(restored.value("the user's own a.txt")
                         .section('/', -1)
                         .startsWith(".a.txt.orvalink-append-preserved-"),
                     true);
        } else {
            // An overwrite keeps the user's folder whole where it was set aside, and says where.
            QCOMPARE(snapshotTree(source), migrated);
            QCOMPARE(snapshotTree(record.occupantPath), occupant);
            QVERIFY(recovered.constFirst().foundPaths.contains(record.occupantPath));
        }
    }

    // An append restore cut short after the data came home, whose merge of the user's folder fails
    // at every start (a file of it cannot be moved): the merge is put back, the folder stays whole
    // where it was set aside and the answer names it, and the undo is completed all the same.
    void aMergeThatKeepsFailingIsPutBack()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        migrateFolder(fx, source);
        const QStringList migrated = snapshotContents(fx.targetOf(source));
        QVERIFY(QFile::remove(source));
        makeOccupant(source);
        const QStringList occupant = snapshotContents(source);
        JournalRecord record = forcedRestoreRecord(fx, source, true);
        platform::renameNoReplace(source, record.occupantPath);
        placeWholeCopy(record);
        ImmutableFlag stuck(record.occupantPath + "/a.txt");
        if (!stuck.isSet())
            QSKIP(qPrintable(stuck.skipReason()));
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
        QVERIFY(recovered.constFirst().foundPaths.contains(record.occupantPath));
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(snapshotContents(record.occupantPath), occupant);
        QCOMPARE(snapshotContents(source), migrated);
        const QList<LogEntry> log = fx.logEntries();
        QVERIFY(std::any_of(log.cbegin(), log.cend(), [&](const LogEntry& entry) {
            return entry.message.contains("could not be merged") &&
                   entry.message.contains(record.occupantPath);
        }));
        QVERIFY(recoverOperations(fx).isEmpty());
    }

    // An append restore whose merge of the user's folder fails halfway and cannot be put back (the
    // disk refuses changes from then on), at the start after a crash or in the undo itself: the
    // folder is partly inside the restored data and partly where it was set aside, the log says
    // so, and the record stays; the next start finishes the merge and records the undo once.
    void aMergeThatCannotBePutBackGoesOnAtTheNextStart_data()
    {
        QTest::addColumn<bool>("inTheUndo");
        QTest::newRow("at the start") << false;
        QTest::newRow("in the undo") << true;
    }

    void aMergeThatCannotBePutBackGoesOnAtTheNextStart()
    {
        QFETCH(bool, inTheUndo);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        fx.tree.file("Docs/notes/kept.txt", "migrated notes");
        migrateFolder(fx, source);
        const QStringList migrated = snapshotContents(fx.targetOf(source));
        const QList<LinkMapping> mappings = fx.mappings();
        QVERIFY(QFile::remove(source));
        makeOccupant(source);
        SplitMerge split(source, source);
        SKIP_WITHOUT(split);
        const QMultiMap<QByteArray, QString> occupantFiles = contentsBelow(source);

        if (inTheUndo) {
            const UndoService undo(fx.mappingStore, fx.taskStore, fx.log, fx.privileged, fx.pathMapping,
                                   fx.volumes, fx.processes);
            const UndoResult result = undo.undoMigration(mappings.constFirst().id, "user",
                                                         UndoAnswers{ForcedUndoRestoreMode::append, false});
            // Answered as a restore that kept the folder aside: the data is home.
            QVERIFY(result.forceRestoreSummary && !result.forceRestoreSummary->didAppendMerge);
            QCOMPARE(result.forceRestoreSummary->preservedPath,
                     std::optional(fx.reservedSiblings(source, "append-preserved").value(0)));
            QVERIFY(fx.mappings().isEmpty());
        } else {
            JournalRecord record = forcedRestoreRecord(fx, source, true);
            platform::renameNoReplace(source, record.occupantPath);
            placeWholeCopy(record);
            leaveRecord(record);
            const QList<RecoveredOperation> recovered = recoverOperations(fx);
            QCOMPARE(recovered.size(), 1);
            QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
            QVERIFY(recovered.constFirst().foundPaths.contains(record.occupantPath));
            QCOMPARE(fx.mappings(), mappings);
        }
        QVERIFY(split.split());
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
        const QStringList aside = fx.reservedSiblings(source, "append-preserved");
        QCOMPARE(aside.size(), 1);
        const QMultiMap<QByteArray, QString> home = contentsBelow(source);
        const QMultiMap<QByteArray, QString> setAside = contentsBelow(aside.constFirst());
        for (auto it = occupantFiles.cbegin(); it != occupantFiles.cend(); ++it)
            QVERIFY2(home.contains(it.key()) != setAside.contains(it.key()), qPrintable(it.value()));
        const QList<LogEntry> log = fx.logEntries();
        QVERIFY(std::any_of(log.cbegin(), log.cend(), [&](const LogEntry& entry) {
            return entry.message.contains("partly at " + aside.constFirst() + " and partly inside " + source);
        }));

        split.thaw();
        const QList<RecoveredOperation> resumed = recoverOperations(fx);

        QCOMPARE(resumed.size(), 1);
        QCOMPARE(resumed.constFirst().outcome, Outcome::undoCompleted);
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(fx.reservedSiblings(source, "append-preserved").isEmpty());
        const QMultiMap<QByteArray, QString> merged = contentsBelow(source);
        for (auto it = occupantFiles.cbegin(); it != occupantFiles.cend(); ++it)
            QVERIFY2(merged.contains(it.key()), qPrintable(it.value()));
        QCOMPARE(platform::readWholeFile(source + "/notes/kept.txt"), QByteArray("migrated notes"));
        QCOMPARE(platform::readWholeFile(source + "/sub/b.bin").size(), 96 * 1024);
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(fx.tasks().size(), 1);
    }

    // A record whose occupant is a link planted at its reserved name (or at the source) is nobody's
    // undo: following it would merge the folder it leads to into the restored data. Nor is one that
    // would merge a file as a folder. It is set aside and nothing moves.
    void anOccupantOfTheWrongKindIsSetAside_data()
    {
        QTest::addColumn<bool>("setAside");
        QTest::addColumn<bool>("aLink");
        QTest::newRow("the link at the reserved name, the data home") << true << true;
        QTest::newRow("the link at the source") << false << true;
        QTest::newRow("a file to merge at the source") << false << false;
    }

    void anOccupantOfTheWrongKindIsSetAside()
    {
        QFETCH(bool, setAside);
        QFETCH(bool, aLink);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        migrateFolder(fx, source);
        QVERIFY(QFile::remove(source));
        TestTree secret(fx.tree.path("Secret"));
        secret.file("id_rsa", "a private key");
        const QStringList secretBefore = snapshotTree(secret.root());
        JournalRecord record = forcedRestoreRecord(fx, source, true);
        const QString occupant = setAside ? record.occupantPath : source;
        if (aLink)
            QVERIFY(QFile::link(secret.root(), occupant));
        else
            fx.tree.file("Docs", "a file of the user's");
        record.occupantIdentity = entryIdentityText(occupant);
        if (setAside)
            placeWholeCopy(record);
        const QStringList sourceBefore = snapshotTree(source);
        const QList<LinkMapping> mappings = fx.mappings();
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::setAside);
        QCOMPARE(snapshotTree(secret.root()), secretBefore);
        QCOMPARE(snapshotTree(source), sourceBefore);
        QCOMPARE(fx.mappings(), mappings);
        const QString why = aLink ? "is a symbolic link: " : "is to be merged but is no folder: ";
        QVERIFY(fx.logEntries().constLast().message.contains(why + occupant));
    }

    // The volume came back under another name; the undo found the data there by its UUID while the
    // link at home still names the old place. Killed with the copy cut short, the link stays as it
    // was; with the copy whole, the undo is completed.
    void undoAfterARemountEndsWhole_data() { addCopyRows(); }

    void undoAfterARemountEndsWhole()
    {
        QFETCH(bool, wholeCopy);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), QStringLiteral("AAAA-1111"));
        const QString source = fx.tree.path("Docs");
        const QStringList migrated = migrateFolder(fx, source);
        const QString oldTarget = fx.targetOf(source);
        const QString renamed = fx.home.volumes() + "/External 1";
        MovedMount remounted(fx.volumePath(), renamed);
        QVERIFY(remounted.isValid());

        JournalRecord record;
        record.kind = JournalKind::undo;
        record.id = QUuid::createUuid();
        record.homeDirectory = fx.home.home();
        record.sourcePath = source;
        record.targetRoot = renamed + "/Store";
        record.targetPath = record.targetRoot + source;
        record.mappingID = fx.mappings().constFirst().id;
        record.anchorUser = "user";
        record.volumeUUID = "AAAA-1111";
        record.startedAt = QDateTime::currentDateTimeUtc();
        record.mappingsFile = fx.mappingStore.filePath();
        record.tasksFile = fx.taskStore.filePath();
        record.itemIdentity = entryIdentityText(record.targetPath);
        record.targetRootIdentity = entryIdentityText(record.targetRoot);
        record.sourceLinkText = oldTarget;
        copyToRestoreSibling(record, wholeCopy);
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(!platform::entryExists(record.restorePath));
        if (wholeCopy) {
            QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
            QCOMPARE(snapshotTree(source), migrated);
            QVERIFY(!platform::entryExists(record.targetPath));
            QVERIFY(fx.mappings().isEmpty());
        } else {
            QCOMPARE(recovered.constFirst().outcome, Outcome::undoStopped);
            QCOMPARE(platform::readSymbolicLink(source), std::optional(oldTarget));
            QCOMPARE(snapshotTree(record.targetPath), migrated);
            QCOMPARE(fx.mappings().size(), 1);
        }
    }

    // An undo cut short, and at the next start a clone of the volume is mounted beside it, with the
    // same UUID and, copied block by block, the same identities: the recovery cannot tell which one
    // the record names, so it acts on neither. Data still only on the volume stays there with the
    // record; data whole at home is completed there, and the volume keeps its copy until a start
    // can tell the volumes apart.
    void undoWithAClonedVolumeActsOnNeither_data() { addCopyRows(); }

    void undoWithAClonedVolumeActsOnNeither()
    {
        QFETCH(bool, wholeCopy);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), QStringLiteral("AAAA-1111"));
        const QString source = fx.tree.path("Docs");
        const QStringList migrated = migrateFolder(fx, source);
        JournalRecord record = journalRecordFor(fx, JournalKind::undo, source);
        record.sourceLinkText = record.targetPath;
        copyToRestoreSibling(record, wholeCopy);
        leaveRecord(record);
        const QString beside = fx.home.volumes() + "/External 1";
        const auto clone = fx.mountClone(fx.volumePath(), beside, QStringLiteral("AAAA-1111"));
        QVERIFY(clone->isValid());
        const QStringList volumeBefore = snapshotTree(fx.volumePath());
        const QStringList cloneBefore = snapshotTree(beside);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(snapshotTree(fx.volumePath()), volumeBefore);
        QCOMPARE(snapshotTree(beside), cloneBefore);
        QCOMPARE(OperationJournal::recordPaths().size(), 1);
        QVERIFY(recovered.constFirst().foundPaths.contains(record.targetPath));
        const QString why = fx.logEntries().constLast().message;
        QVERIFY2(why.contains(fx.volumePath() + " and " + beside + " carry the same UUID AAAA-1111"),
                 qPrintable(why));
        if (wholeCopy) {
            QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
            QCOMPARE(snapshotTree(source), migrated);
            QVERIFY(fx.mappings().isEmpty());
        } else {
            QCOMPARE(recovered.constFirst().outcome, Outcome::leftAsFound);
            QCOMPARE(platform::readSymbolicLink(source), std::optional(record.targetPath));
            QVERIFY(platform::entryExists(record.restorePath));
            QCOMPARE(fx.mappings().size(), 1);
        }
    }

    // The undo stopped once the data stood at home, before the volume's copy went; a program rewrote
    // a file there in place and left it the time it had, written an hour before the undo began: on a
    // volume that keeps whole seconds by writing within the second, on any volume by putting the time
    // back. The next start removes from the volume only what the content proves the same as at home:
    // the rewritten file stays and is named.
    void volumeKeepsWhatDiffersFromHome_data()
    {
        QTest::addColumn<EngineFixture::Volume>("volume");
        QTest::newRow("whole seconds") << EngineFixture::Volume::wholeSecondsExt4;
        QTest::newRow("fine times") << EngineFixture::Volume::tmpfs;
    }

    void volumeKeepsWhatDiffersFromHome()
    {
        QFETCH(EngineFixture::Volume, volume);
        EngineFixture fx(volume);
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Docs");
        migrateFolder(fx, source);
        JournalRecord record = journalRecordFor(fx, JournalKind::undo, source);
        const QString rewritten = record.targetPath + "/a.txt";
        const struct timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(rewritten).constData(), hourAgo, 0), 0);
        QVERIFY(QFile::remove(source));
        copyTree(record.targetPath, source);
        record.restoreIdentity = entryIdentityText(source);
        leaveRecord(record);
        TestTree(record.targetPath).file("a.txt", "ALPHA");
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(rewritten).constData(), hourAgo, 0), 0);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::undoCompleted);
        QCOMPARE(recovered.constFirst().keptPaths, QStringList{rewritten});
        QCOMPARE(platform::readWholeFile(rewritten), QByteArray("ALPHA"));
        QCOMPARE(platform::readWholeFile(source + "/a.txt"), QByteArray("alpha"));
        QVERIFY(!platform::entryExists(record.targetPath + "/sub/b.bin"));
        QVERIFY(fx.mappings().isEmpty());
    }
};

QTEST_GUILESS_MAIN(UndoRecoveryTest)
#include "tst_undorecovery.moc"
