// Operation records the start-up must not act on, and the record file itself: a record that fails
// its check or cannot be read is set aside once with nothing it names touched and no password asked
// for; no lock file stays behind; a step whose record cannot be written leaves the record as it was.
#include "JournalScenes.h"
#include "diskops/JournalCheck.h"
#include "diskops/NamedVersions.h"
#include "diskops/ReservedPaths.h"
#include "model/AppPaths.h"
#include "model/JsonFields.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "platform/UserLocations.h"
#include "support/ChildProcess.h"
#include "support/ImmutableFlag.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"
#include "support/Unprivileged.h"

#include <QTest>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::test;
using Outcome = RecoveredOperation::Outcome;

namespace {

// How a test spoils a record that would otherwise be put right. `docs` is a migrated folder (its
// link, its target and its mapping), `music` a folder at its place, `decoy` the user's Documents
// with files, `notes` a file of the user's.
struct Scene {
    QString docs;
    QString music;
    QString decoy;
    QString notes;
};
using Spoil = std::function<void(JournalRecord&, const Scene&, const EngineFixture&)>;

} // namespace

Q_DECLARE_METATYPE(Spoil)
Q_DECLARE_METATYPE(JournalKind)

class JournalCheckTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void craftedRecordsAreSetAside_data()
    {
        QTest::addColumn<JournalKind>("kind");
        QTest::addColumn<Spoil>("spoil");
        QTest::addColumn<QString>("why"); // what the log gives as the reason
        // Each would have removed, moved or written to something of the user's.
        QTest::newRow("undo finished onto a target in the home")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture& fx) {
                   r.targetRoot = fx.home.home();
                   r.targetPath = s.decoy;
                   r.itemIdentity = entryIdentityText(s.decoy);
                   r.restorePath = makeReservedPath(r.sourcePath, ReservedSuffix::restoring);
                   r.restoreIdentity = entryIdentityText(r.sourcePath);
               })
            << QStringLiteral("the target root holds the home folder");
        QTest::newRow("copy arrived, staging is another folder")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) {
                   r.sourcePath = s.docs;
                   r.targetPath = r.targetRoot + s.docs;
                   r.stagingPath = s.decoy;
                   r.itemIdentity = entryIdentityText(s.decoy);
                   r.targetIdentity = entryIdentityText(r.targetPath);
                   r.moving = r.arrived = true;
               })
            << QStringLiteral("the staging path is not a reserved name");
        QTest::newRow("staging path of another source")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) {
                   r.stagingPath = makeReservedPath(s.decoy, ReservedSuffix::staging);
               })
            << QStringLiteral("the staging path is not a reserved name");
        QTest::newRow("restore path that is no reserved name")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) {
                   r.restorePath = s.decoy;
                   r.restoreIdentity = entryIdentityText(s.decoy);
               })
            << QStringLiteral("the restore path is not a reserved name");
        // A forced restore would have merged the folder named as its occupant into the restored data.
        QTest::newRow("occupant that is another folder")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) {
                   r.forced = r.occupantMerge = true;
                   r.occupantPath = s.decoy;
                   r.occupantIdentity = entryIdentityText(s.decoy);
               })
            << QStringLiteral("what stood at the source is not a forced restore's reserved name");
        QTest::newRow("occupant of a restore that was not forced")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.occupantPath = makeReservedPath(r.sourcePath, ReservedSuffix::overwritePreserved);
                   r.occupantIdentity = QStringLiteral("1:2");
               })
            << QStringLiteral("what stood at the source is not a forced restore's reserved name");
        QTest::newRow("task file of the user's")
            << JournalKind::migration
            << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) { r.tasksFile = s.notes; })
            << QStringLiteral("the history files are not the application's own");
        QTest::newRow("mapping file of the user's")
            << JournalKind::undo
            << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) { r.mappingsFile = s.notes; })
            << QStringLiteral("the history files are not the application's own");
        QTest::newRow("history files of two scopes")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.tasksFile = AppPaths::historyDirectory() + QStringLiteral("/someone/tasks.jsonl");
               })
            << QStringLiteral("the history files are not the application's own");
        QTest::newRow("target root in a system folder")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.targetRoot = QStringLiteral("/usr/share/orvalink-test");
                   r.targetPath = r.targetRoot + r.sourcePath;
                   r.createdDirectories.clear();
                   r.targetRootIdentity = entryIdentityText(QStringLiteral("/usr/share"));
               })
            << QStringLiteral("the target root is not on a volume");
        QTest::newRow("target outside its root")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) {
                   r.targetPath = r.targetRoot + s.decoy;
               })
            << QStringLiteral("the target is not the source's place");
        QTest::newRow("relative path")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.targetPath = r.targetPath.mid(1);
               })
            << QStringLiteral("a path is not absolute");
        QTest::newRow("path with dot-dot")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene& s, const EngineFixture&) {
                   r.targetPath = r.targetRoot + QStringLiteral("/..") + s.decoy;
               })
            << QStringLiteral("a path is not absolute");
        QTest::newRow("source outside the home")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene&, const EngineFixture& fx) {
                   r.sourcePath = fx.home.path("outside");
                   r.targetPath = r.targetRoot + r.sourcePath;
                   r.stagingPath = makeReservedPath(r.sourcePath, ReservedSuffix::staging);
               })
            << QStringLiteral("the source lies outside the home");
        QTest::newRow("written for another home")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.homeDirectory = QStringLiteral("/home/someone-else");
               })
            << QStringLiteral("another home folder");
        QTest::newRow("created folder at the home")
            << JournalKind::migration << Spoil([](JournalRecord& r, const Scene&, const EngineFixture& fx) {
                   r.createdDirectories.append(fx.home.home());
               })
            << QStringLiteral("a created folder is not one above the target");
        QTest::newRow("record without identities")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.itemIdentity.clear();
                   r.targetRootIdentity.clear();
                   r.restorePath = makeReservedPath(r.sourcePath, ReservedSuffix::restoring);
               })
            << QStringLiteral("identities of the moved item and the target root are missing");
        // Newer leftovers name places below the staging path, which the start puts over the data.
        const QString below = QStringLiteral("a newer leftover is no place below the staging path");
        const QList<std::pair<const char*, QStringList>> leftovers{
            {"newer leftover climbing out of the staging path", {"../Documents/letter.txt"}},
            {"newer leftover at an absolute path", {"/etc/passwd"}},
            {"newer leftover with an empty step", {"sub//a.txt"}},
            {"the staged item itself among others", {"", "a.txt"}},
        };
        for (const auto& [name, relatives] : leftovers) {
            QTest::newRow(name) << JournalKind::migration
                                << Spoil([relatives = relatives](JournalRecord& r, const Scene&,
                                                                 const EngineFixture&) {
                                       r.newerLeftovers = relatives;
                                   })
                                << below;
        }
        QTest::newRow("newer leftovers of an undo")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.newerLeftovers = {"a.txt"};
               })
            << QStringLiteral("newer leftovers are named by a record that cannot have them");
        QTest::newRow("an arriving copy named by an undo")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.arrivingIdentity = r.itemIdentity;
               })
            << QStringLiteral("newer leftovers are named by a record that cannot have them");
        QTest::newRow("versions known to an undo")
            << JournalKind::undo << Spoil([](JournalRecord& r, const Scene&, const EngineFixture&) {
                   r.knownVersions = {r.sourcePath + "/.a.txt.orvalink-append-preserved-X"};
               })
            << QStringLiteral("newer leftovers are named by a record that cannot have them");
    }
    void craftedRecordsAreSetAside()
    {
        QFETCH(JournalKind, kind);
        QFETCH(Spoil, spoil);
        QFETCH(QString, why);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        Scene scene{fx.tree.path("Docs"), fx.tree.path("Music"), fx.tree.path("Documents"),
                    fx.tree.path("notes.txt")};
        migrateFolder(fx, scene.docs);
        fx.tree.file("Music/song.txt", "la");
        fx.tree.file("Documents/letter.txt", "dear");
        fx.tree.fileOfSize("Documents/scan.pdf", 32 * 1024);
        fx.tree.file("notes.txt", "mine\n");
        fx.tree.file("outside/kept.txt", "kept");
        JournalRecord record =
            journalRecordFor(fx, kind, kind == JournalKind::undo ? scene.docs : scene.music);
        spoil(record, scene, fx);
        leaveRecord(record);
        const QStringList home = test::snapshotTree(fx.home.home());
        const QStringList volume = test::snapshotTree(fx.volumePath());
        const QList<LinkMapping> mappings = fx.mappings();

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::setAside);
        QCOMPARE(test::snapshotTree(fx.home.home()), home);
        QCOMPARE(test::snapshotTree(fx.volumePath()), volume);
        QCOMPARE(fx.mappings(), mappings);
        QVERIFY(fx.tasks().isEmpty());
        QVERIFY(fx.runner->commands.isEmpty());
        const QString setAside = json::uuidText(record.id) + QStringLiteral(".json.set-aside");
        QCOMPARE(operationsFolderNames(), QStringList{setAside});
        QCOMPARE(recovered.constFirst().recordPath, OperationJournal::directory() + '/' + setAside);
        const QString logged = fx.logEntries().constLast().message;
        QVERIFY2(logged.startsWith("Record of an interrupted operation set aside, nothing was changed (") &&
                     logged.contains(why),
                 qPrintable(logged));

        // Reported once: the next start does not see it again.
        QVERIFY(recoverOperations(fx).isEmpty());
    }

    // The operations the earlier versions of these files described are still put right.
    void soundRecordsPass()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString docs = fx.tree.path("Docs");
        migrateFolder(fx, docs);
        fx.tree.file("Music/song.txt", "la");
        leaveRecord(journalRecordFor(fx, JournalKind::migration, fx.tree.path("Music")));
        leaveRecord(journalRecordFor(fx, JournalKind::undo, docs));
        QList<Outcome> outcomes;
        for (const RecoveredOperation& each : recoverOperations(fx))
            outcomes.append(each.outcome);
        std::sort(outcomes.begin(), outcomes.end());
        QCOMPARE(outcomes, (QList<Outcome>{Outcome::migrationRolledBack, Outcome::undoStopped}));
        QVERIFY(operationsFolderNames().isEmpty());
    }

    void unreadableRecordIsSetAsideOnce()
    {
        EngineFixture fx;
        const QString path = OperationJournal::directory() + QStringLiteral("/broken.json");
        platform::createDirectories(OperationJournal::directory());
        platform::writeFileAtomically(path, "{\"kind\": \"migration\"");

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::setAside);
        QCOMPARE(recovered.constFirst().recordPath, path + QStringLiteral(".set-aside"));
        QCOMPARE(operationsFolderNames(), QStringList{"broken.json.set-aside"});
        QCOMPARE(fx.logEntries().constLast().level, LogLevel::error);
        QVERIFY(recoverOperations(fx).isEmpty());
        QCOMPARE(operationsFolderNames(), QStringList{"broken.json.set-aside"});
    }

    // A record set aside touches nothing, but says where the data may wait: a staging folder
    // beside the source is hidden from the user.
    void setAsideRecordNamesWhereTheDataIs()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/song.txt", "la");
        const QString music = fx.tree.path("Music");
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, music);
        record.homeDirectory = QStringLiteral("/home/someone-else");
        QVERIFY(QDir().rename(music, record.stagingPath));
        leaveRecord(record);

        const QList<RecoveredOperation> recovered = recoverOperations(fx);

        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::setAside);
        QVERIFY(recovered.constFirst().foundPaths.contains(record.stagingPath));
        QCOMPARE(platform::readWholeFile(record.stagingPath + QStringLiteral("/song.txt")), QByteArray("la"));
        QVERIFY(!QFileInfo::exists(music));
    }

    // Where volumes are mounted can differ at the next start (/run/media/$USER is gone after a
    // restart until the first volume is mounted, /media then answers): a record whose root lies
    // under any of those places is kept for its volume, not set aside.
    void rootUnderAnyVolumesFolderCounts_data()
    {
        QTest::addColumn<QString>("volumes");
        QTest::addColumn<bool>("onAVolume");
        const QString user = platform::userName();
        QTest::newRow("/media/$USER") << QStringLiteral("/media/") + user << true;
        QTest::newRow("/run/media/$USER") << QStringLiteral("/run/media/") + user << true;
        QTest::newRow("/media") << QStringLiteral("/media") << true;
        QTest::newRow("/mnt") << QStringLiteral("/mnt") << false;
    }

    void rootUnderAnyVolumesFolderCounts()
    {
        QFETCH(QString, volumes);
        QFETCH(bool, onAVolume);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        JournalRecord record =
            journalRecordFor(fx, JournalKind::migration, fx.tree.file("Docs/a.txt", "a").section('/', 0, -2));
        record.targetRoot = volumes + QStringLiteral("/Backup/OrvalinkRoot");
        record.targetPath = record.targetRoot + record.sourcePath;
        record.createdDirectories.clear();
        const QByteArray overridden = qgetenv("ORVALINK_VOLUMES_DIR");
        qunsetenv("ORVALINK_VOLUMES_DIR");
        const std::optional<QString> problem = journalProblem(record);
        qputenv("ORVALINK_VOLUMES_DIR", overridden);
        if (onAVolume)
            QCOMPARE(problem, std::nullopt);
        else
            QVERIFY(problem && problem->startsWith(QStringLiteral("the target root is not on a volume")));
    }

    // A record that cannot be read now (here: a file its reader may not open, as after EIO) may be
    // readable at the next start: it stays where it is, and no lock file is left.
    void recordThatCannotBeReadNowIsKept()
    {
        EngineFixture fx;
        const QString path = TestTree(OperationJournal::directory()).file("unreadable.json", "{}");
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0), 0);
        const bool asRoot = ::geteuid() == 0;
        if (asRoot) {
            // Permission checks only apply to the unprivileged child, which must reach the folder.
            Unprivileged::openUp(fx.home.root());
            QCOMPARE(::chmod(QFile::encodeName(OperationJournal::directory()).constData(), 0777), 0);
        }

        const ChildOutcome claimed = runInChild(
            [&](QByteArray& output) {
                try {
                    OperationJournal::claim(path);
                } catch (const platform::UnsuitableFileError&) {
                    output = "set aside";
                } catch (const platform::PlatformError& error) {
                    output = error.isPermissionError() ? "kept" : error.what();
                }
                return 0;
            },
            asRoot);
        QCOMPARE(claimed.exitCode, 0);
        QCOMPARE(claimed.output, QByteArray("kept"));
        QCOMPARE(operationsFolderNames(), QStringList{"unreadable.json"});
    }

    // A record that is kept for the next start leaves no lock file behind, however often it is seen.
    void keptRecordLeavesNoLockFile()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "alpha");
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, fx.tree.path("Docs"));
        record.itemIdentity = QStringLiteral("1:1"); // the data is at none of its places
        leaveRecord(record);
        const QString name = json::uuidText(record.id) + QStringLiteral(".json");
        QCOMPARE(operationsFolderNames(), QStringList{name});
        for (int start = 0; start < 3; ++start) {
            QCOMPARE(recoverOperations(fx).constFirst().outcome, Outcome::leftAsFound);
            QCOMPARE(operationsFolderNames(), QStringList{name});
        }
    }

    // However many versions a start names for a record that stays (a whole tree changed after its
    // copy, one file held), the record stays one a later start reads and takes up.
    void manyNamedVersionsKeepTheRecordReadable()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "alpha");
        JournalRecord record = journalRecordFor(fx, JournalKind::migration, fx.tree.path("Docs"));
        QStringList versions;
        for (int i = 0; i < 20000; ++i)
            versions.append(record.sourcePath +
                            QStringLiteral("/folder-%1/.a-long-file-name.txt.orvalink-append-"
                                           "preserved-5C0A71E2-0B4D-4A55-9E3C-%2")
                                .arg(i)
                                .arg(i, 12, 10, QLatin1Char('0')));
        {
            OperationJournal journal(record);
            noteNamed(journal, versions);
            noteNamed(journal, versions); // nothing twice
            QVERIFY(!journal.record().knownVersions.isEmpty());
            QCOMPARE(notNamedYet(journal.record(), versions.mid(0, 10)), QStringList());
            QVERIFY(QFileInfo(journal.path()).size() < OperationJournal::kMaxRecordBytes);
        }
        const QList<RecoveredOperation> recovered = recoverOperations(fx);
        QCOMPARE(recovered.size(), 1);
        QCOMPARE(recovered.constFirst().outcome, Outcome::migrationRolledBack); // read and taken up
    }

    // Each step is recorded one way: a copy of the record is written, and only a written one
    // becomes the record.
    void failedUpdateLeavesTheRecordAsItWas()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "alpha");
        OperationJournal journal(journalRecordFor(fx, JournalKind::migration, fx.tree.path("Docs")));
        journal.update([](JournalRecord& record) { record.moving = true; });
        const QByteArray written = platform::readWholeFile(journal.path());
        ImmutableFlag locked(OperationJournal::directory());
        if (!locked.isSet())
            QSKIP(qPrintable(locked.skipReason()));

        bool failed = false;
        try {
            journal.update([](JournalRecord& record) { record.arrived = true; });
        } catch (const platform::PlatformError&) {
            failed = true;
        }
        QVERIFY(failed);

        QVERIFY(journal.record().moving);
        QVERIFY(!journal.record().arrived);
        QCOMPARE(platform::readWholeFile(journal.path()), written);
        locked.clear();
        journal.finish();
        QVERIFY(operationsFolderNames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(JournalCheckTest)
#include "tst_journalcheck.moc"
