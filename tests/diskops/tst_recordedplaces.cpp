// Records whose paths read well but lead elsewhere on disk: through a symbolic link or a bind mount
// the target side meets the source (is it, lies inside it or above it), a path holds a NUL, or a
// path is exchanged while recovery removes the target. With identities copied from the real
// objects, each would have had recovery remove or move the user's data; each is set aside or left
// alone, and the user's data stays as it was.
#include "JournalScenes.h"
#include "diskops/CreatedFolders.h"
#include "diskops/JournalCheck.h"
#include "diskops/ReservedPaths.h"
#include "model/JsonFields.h"
#include "platform/StandardPath.h"
#include "support/PathExchanger.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <memory>

using namespace orvalink;
using namespace orvalink::test;
using Outcome = RecoveredOperation::Outcome;

namespace {

// Builds on disk what leads the record's paths elsewhere and points the record at it. Answers the
// mount it made, if any.
using Place = std::function<std::unique_ptr<BindMount>(EngineFixture&, JournalRecord&)>;
// What the record says was going on: it decides which removal recovery would have run.
enum class State { migrationMoving, migrationSettled, undoSettled };

void setTargetRoot(JournalRecord& record, const QString& root)
{
    record.targetRoot = root;
    record.targetPath = root + record.sourcePath;
}

// The identities an attacker copies from the objects the paths lead to now.
void copyIdentities(JournalRecord& record, State state)
{
    record.createdDirectories = missingFolders(platform::parentPath(record.targetPath));
    record.itemIdentity =
        entryIdentityText(state == State::undoSettled ? record.targetPath : record.sourcePath);
    if (state != State::undoSettled)
        record.targetIdentity = entryIdentityText(record.targetPath);
    record.targetRootIdentity = entryIdentityText(targetAnchorPath(record));
    record.moving = true;
    record.arrived = record.settled = state != State::migrationMoving;
}

QString inserted(QString path, const QString& text)
{
    return path.insert(path.lastIndexOf(QLatin1Char('/')) + 1, text);
}

using Spoil = std::function<void(JournalRecord&, const QString&)>;

} // namespace

Q_DECLARE_METATYPE(Place)
Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Spoil)
Q_DECLARE_METATYPE(JournalKind)

class RecordedPlacesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void targetSideLeadingElsewhereChangesNothing_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("why");
        const QString link = QStringLiteral("a symbolic link stands on the way");
        const QString meets = QStringLiteral("the target side leads to the source or a folder above it");
        const QList<std::tuple<const char*, Place, QString>> places{
            {"link to / as the target root",
             [](EngineFixture& fx, JournalRecord& r) {
                 TestTree(fx.volumePath()).symlink("Root", QStringLiteral("/"));
                 setTargetRoot(r, fx.volumePath() + QStringLiteral("/Root"));
                 return nullptr;
             },
             link},
            {"link to the home on the way to the target",
             [](EngineFixture& fx, JournalRecord&) {
                 TestTree(fx.targetRoot()).symlink(fx.home.home().mid(1), fx.home.home());
                 return nullptr;
             },
             link},
            {"link on the way to the source",
             [](EngineFixture& fx, JournalRecord& r) {
                 fx.tree.symlink("Via", fx.home.home());
                 r.sourcePath = fx.tree.path("Via/Music");
                 if (r.kind == JournalKind::migration)
                     r.stagingPath = makeReservedPath(r.sourcePath, ReservedSuffix::staging);
                 setTargetRoot(r, fx.targetRoot());
                 TestTree(r.targetPath).file("song.txt", "la");
                 return nullptr;
             },
             link},
            {"bind mount of / as the target root",
             [](EngineFixture& fx, JournalRecord& r) {
                 setTargetRoot(r, fx.volumePath() + QStringLiteral("/Root"));
                 return std::make_unique<BindMount>(QStringLiteral("/"), r.targetRoot, true);
             },
             meets},
            {"bind mount of the home on the way to the target",
             [](EngineFixture& fx, JournalRecord&) {
                 return std::make_unique<BindMount>(fx.home.home(), fx.targetOf(fx.home.home()));
             },
             meets},
            {"target is the source",
             [](EngineFixture&, JournalRecord& r) {
                 return std::make_unique<BindMount>(r.sourcePath, r.targetPath);
             },
             meets},
            {"target inside the source",
             [](EngineFixture& fx, JournalRecord& r) {
                 TestTree(r.sourcePath + r.sourcePath).file("inner.txt", "inner");
                 setTargetRoot(r, fx.volumePath() + QStringLiteral("/Inner"));
                 return std::make_unique<BindMount>(r.sourcePath, r.targetRoot);
             },
             meets},
            {"bind mount of another folder of the user's below the target root",
             [](EngineFixture& fx, JournalRecord& r) {
                 fx.tree.file("Documents/Music/mine.txt", "mine");
                 return std::make_unique<BindMount>(fx.tree.path("Documents"),
                                                    platform::parentPath(r.targetPath));
             },
             QStringLiteral("the target path leaves the file system of its root")},
            {"target above the source",
             [](EngineFixture& fx, JournalRecord& r) {
                 return std::make_unique<BindMount>(fx.home.root(), r.targetPath);
             },
             meets},
            // Which may hide the operation's own copy: looked at again once it went.
            {"bind mount of another folder of the user's on the target path itself",
             [](EngineFixture& fx, JournalRecord& r) {
                 fx.tree.file("Documents/Music/mine.txt", "mine");
                 return std::make_unique<BindMount>(fx.tree.path("Documents/Music"), r.targetPath);
             },
             QStringLiteral("left as found (a file system is mounted on the target path itself")},
        };
        const QList<std::pair<const char*, State>> states{{"moving", State::migrationMoving},
                                                          {"settled", State::migrationSettled},
                                                          {"undo settled", State::undoSettled}};
        for (const auto& [name, place, why] : places) {
            for (const auto& [stateName, state] : states)
                QTest::addRow("%s, %s", name, stateName) << place << state << why;
        }
    }
    void targetSideLeadingElsewhereChangesNothing()
    {
        QFETCH(Place, place);
        QFETCH(State, state);
        QFETCH(QString, why);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/song.txt", "la");
        fx.tree.fileOfSize("Music/album/track.bin", 48 * 1024);
        fx.tree.file("Documents/letter.txt", "dear");
        const QString music = fx.tree.path("Music");
        JournalRecord record = journalRecordFor(
            fx, state == State::undoSettled ? JournalKind::undo : JournalKind::migration, music);
        const std::unique_ptr<BindMount> mount = place(fx, record);
        if (mount)
            SKIP_WITHOUT(*mount);
        copyIdentities(record, state);
        leaveRecord(record);
        const QStringList home = snapshotTree(fx.home.home());

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(snapshotTree(fx.home.home()), home);
        QCOMPARE(recovered.size(), 1);
        const bool kept = why.startsWith("left as found");
        QCOMPARE(recovered.constFirst().outcome, kept ? Outcome::leftAsFound : Outcome::setAside);
        QVERIFY(fx.tasks().isEmpty());
        QCOMPARE(operationsFolderNames(),
                 QStringList{json::uuidText(record.id) + (kept ? ".json" : ".json.set-aside")});
        const QString logged = fx.logEntries().constLast().message;
        QVERIFY2((kept ||
                  logged.startsWith("Record of an interrupted operation set aside, nothing was changed (")) &&
                     logged.contains(why),
                 qPrintable(logged));
    }

    void pathsThatCannotStandOnDiskAreSetAside_data()
    {
        QTest::addColumn<JournalKind>("kind");
        QTest::addColumn<Spoil>("spoil");
        const QList<std::pair<const char*, std::function<QString&(JournalRecord&)>>> fields{
            {"home",
             [](JournalRecord& r) -> QString& {
                 return r.homeDirectory;
             }},
            {"source",
             [](JournalRecord& r) -> QString& {
                 return r.sourcePath;
             }},
            {"target",
             [](JournalRecord& r) -> QString& {
                 return r.targetPath;
             }},
            {"target root",
             [](JournalRecord& r) -> QString& {
                 return r.targetRoot;
             }},
            {"staging",
             [](JournalRecord& r) -> QString& {
                 return r.stagingPath;
             }},
            {"restore",
             [](JournalRecord& r) -> QString& {
                 return r.restorePath;
             }},
            {"created folder",
             [](JournalRecord& r) -> QString& {
                 return r.createdDirectories.first();
             }},
            {"mappings file",
             [](JournalRecord& r) -> QString& {
                 return r.mappingsFile;
             }},
            {"tasks file",
             [](JournalRecord& r) -> QString& {
                 return r.tasksFile;
             }},
        };
        for (const JournalKind kind : {JournalKind::migration, JournalKind::undo}) {
            const char* kindName = kind == JournalKind::migration ? "migration" : "undo";
            for (const auto& [name, field] : fields) {
                QTest::addRow("NUL in the %s of a %s", name, kindName)
                    << kind << Spoil([field](JournalRecord& r, const QString& text) {
                           field(r) = inserted(field(r), text);
                       });
            }
        }
    }
    void pathsThatCannotStandOnDiskAreSetAside()
    {
        QFETCH(JournalKind, kind);
        QFETCH(Spoil, spoil);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file(".ssh/id_ed25519", "secret");
        fx.tree.file("ssh/readme.txt", "not the keys");
        const QString docs = fx.tree.path("Docs");
        migrateFolder(fx, docs);
        JournalRecord record =
            journalRecordFor(fx, kind, kind == JournalKind::undo ? docs : fx.tree.path(".ssh"));
        record.stagingPath = makeReservedPath(record.sourcePath, ReservedSuffix::staging);
        record.restorePath = makeReservedPath(record.sourcePath, ReservedSuffix::restoring);
        record.createdDirectories = {platform::parentPath(record.targetPath)};
        record.moving = record.arrived = true;
        spoil(record, QString(QChar(0)));
        leaveRecord(record);
        const QStringList home = snapshotTree(fx.home.home());
        const QStringList volume = snapshotTree(fx.volumePath());

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::setAside);
        QCOMPARE(snapshotTree(fx.home.home()), home);
        QCOMPARE(snapshotTree(fx.volumePath()), volume);
        const QString logged = fx.logEntries().constLast().message;
        QVERIFY2(logged.contains("a path cannot stand on disk"), qPrintable(logged));
    }

    // Text the file system's bytes cannot carry: the path the system would be handed is another.
    void unpairedSurrogateCannotStandOnDisk()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, fx.tree.dir("Music"));
        QCOMPARE(journalProblem(record), std::nullopt);
        record.sourcePath += QChar(0xD800);
        const std::optional<QString> problem = journalProblem(record);
        QVERIFY(problem && problem->startsWith(QStringLiteral("a path cannot stand on disk")));
    }

    // Where volumes are mounted may not exist yet at a start (/run/media/$USER before the first
    // volume): there is nothing to look at on the target side, and the record waits for its volume.
    void missingVolumesFolderWaitsForTheVolume()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/song.txt", "la");
        const QString music = fx.tree.path("Music");
        const QStringList home = snapshotTree(fx.home.home());
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, music);
        const QString volumes = fx.home.path("media/user");
        setTargetRoot(record, volumes + QStringLiteral("/Backup/Store"));
        record.createdDirectories.clear();
        record.moving = true;
        leaveRecord(record);
        qputenv("ORVALINK_VOLUMES_DIR", QFile::encodeName(volumes));

        const QList<RecoveredOperation> recovered = recoverOperations(fx);
        qputenv("ORVALINK_VOLUMES_DIR", QFile::encodeName(fx.home.volumes()));

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::migrationRolledBack);
        QCOMPARE(recovered.constFirst().waitingForVolume, std::optional<QString>(record.targetRoot));
        QCOMPARE(snapshotTree(fx.home.home()), home);
        QCOMPARE(operationsFolderNames(), QStringList{json::uuidText(record.id) + ".json"});
    }

    // Another folder on the volume is exchanged with the target path, over and over, while the
    // start-up clears a copy cut short: whatever the recovery concludes, it never removes that
    // folder, and the source stays whole.
    void recoveryRacedByExchangeSparesTheOtherFolder()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/song.txt", "la");
        fx.tree.file("Music/album/track.txt", "track");
        const QString music = fx.tree.path("Music");
        const QStringList source = snapshotTree(music);
        const QString target = fx.targetOf(music);
        const QString other = fx.targetRoot() + QStringLiteral("/Other");
        TestTree(other).file("kept.txt", "kept");
        TestTree(other).file("deep/er.txt", "er");
        const QStringList otherWhole = snapshotContents(other);
        const QString otherIdentity = entryIdentityText(other);
        for (int round = 0; round < 100; ++round) {
            TestTree copy(target);
            copy.file("song.txt", "la");
            copy.file("album/track.txt", "tr");
            JournalRecord record = journalRecordFor(fx, JournalKind::migration, music);
            record.createdDirectories.clear();
            record.moving = true;
            record.targetIdentity = entryIdentityText(target);
            leaveRecord(record);
            {
                const PathExchanger exchanger(target, other);
                exchanger.waitForExchanges(1 + round % 3);
                recoverOperations(fx);
            }

            const QString otherNow = entryIdentityText(other) == otherIdentity ? other : target;
            QVERIFY2(entryIdentityText(otherNow) == otherIdentity,
                     qPrintable(QStringLiteral("round %1").arg(round)));
            QCOMPARE(snapshotContents(otherNow), otherWhole);
            QCOMPARE(snapshotTree(music), source);
            if (otherNow != other) {
                QDir(other).removeRecursively();
                QVERIFY(QDir().rename(target, other));
            }
            QDir(target).removeRecursively();
            QDir(OperationJournal::directory()).removeRecursively();
        }
    }
};

QTEST_GUILESS_MAIN(RecordedPlacesTest)
#include "tst_recordedplaces.moc"
