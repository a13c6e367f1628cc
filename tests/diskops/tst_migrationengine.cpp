// The migration of one source path: the checks and their order, placeholders at the target, the
// holders of the source, and the records of a completed migration.
#include "EngineFixture.h"
#include "JournalScenes.h"
#include "diskops/OperationJournal.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/Placeholder.h"
#include "platform/ProcessTable.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "store/LogService.h"
#include "support/BindMount.h"
#include "support/FileOpenGate.h"
#include "support/FolderHold.h"
#include "support/ForkedHolder.h"
#include "support/HoldingProcess.h"
#include "support/ImmutableFlag.h"
#include "support/InPlaceRewrite.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

qint64 freeBytes(const QString& path)
{
    struct statvfs info {};
    ::statvfs(QFile::encodeName(path).constData(), &info);
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

bool isLinkTo(const QString& path, const QString& target)
{
    return platform::readSymbolicLink(path) == target;
}

platform::EntryIdentity identityOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return platform::EntryIdentity::of(info);
}

std::unique_ptr<test::HoldingProcess> holdIn(const QString& directory, bool ignoreTermination)
{
    return std::make_unique<test::HoldingProcess>(
        test::HoldingProcess::Options{directory, {}, QStringLiteral("sleep"), ignoreTermination});
}

// Gives `root` and every entry below it but links `mode`.
void giveEveryEntry(const QString& root, mode_t mode)
{
    QDirIterator all(root,
                     QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                     QDirIterator::Subdirectories);
    while (all.hasNext())
        ::chmod(QFile::encodeName(all.next()).constData(), mode);
    ::chmod(QFile::encodeName(root).constData(), mode);
}

// A folder "Notes" in the home, with a small report and a larger archive, and where it migrates to.
struct Notes {
    QString source;
    QString target;
};
Notes makeNotes(EngineFixture& fx, const QByteArray& report, qint64 archiveBytes = 256 * 1024)
{
    fx.tree.file("Notes/report.txt", report);
    fx.tree.fileOfSize("Notes/archive.bin", archiveBytes);
    const QString source = fx.tree.path("Notes");
    return {source, fx.targetOf(source)};
}

// What a taken-back migration's stored answer adds when newer versions replaced the ones at `older`.
QString olderVersionsSentence(const QStringList& older)
{
    if (older.isEmpty())
        return QString();
    return " What changed while it was copied took its place; the versions it replaced were kept at: " +
           older.join(", ") + ".";
}

QStringList withoutTimes(QStringList snapshot)
{
    static const QRegularExpression times(QStringLiteral(" mtime=[0-9.]+"));
    for (QString& line : snapshot)
        line.remove(times);
    return snapshot;
}

} // namespace

Q_DECLARE_METATYPE(test::FolderHold::How)
Q_DECLARE_METATYPE(test::ForkedHolder::Hold)
Q_DECLARE_METATYPE(EngineFixture::Volume)

class MigrationEngineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void completedMigrationLeavesLinkAndRecords_data()
    {
        QTest::addColumn<bool>("acrossFileSystems");
        QTest::newRow("tmpfs volume") << true;
        QTest::newRow("same file system") << false;
    }
    void completedMigrationLeavesLinkAndRecords()
    {
        QFETCH(bool, acrossFileSystems);
        EngineFixture fx(acrossFileSystems ? EngineFixture::Volume::tmpfs
                                           : EngineFixture::Volume::sameFileSystem);
        SKIP_WITHOUT(fx);
        fx.tree.file("Projects/a.txt", "alpha");
        fx.tree.file("Projects/deep/b.bin", QByteArray(100000, 'b'));
        fx.tree.symlink("Projects/deep/up", "../a.txt");
        const QString source = fx.tree.path("Projects");
        const QStringList before = test::snapshotTree(source);

        const MigrationExecutionResult result = fx.migrate(source);

        QCOMPARE(result.task.status, TaskStatus::completed);
        const QString target = fx.targetOf(source);
        QVERIFY(isLinkTo(source, target));
        QCOMPARE(test::snapshotTree(target), before);
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        QVERIFY(!result.forceMigrationSummary);
        QVERIFY(result.terminatedProcesses.isEmpty());
        QVERIFY(fx.runner->commands.isEmpty());

        QCOMPARE(result.task.sourcePath, source);
        QCOMPARE(result.task.targetPath, target);
        QVERIFY(!result.task.errorCode && !result.task.errorMessage);
        QCOMPARE(fx.tasks(), QList<MigrationTask>{result.task});
        const QList<LinkMapping> mappings = fx.mappings();
        QCOMPARE(mappings.size(), 1);
        QCOMPARE(mappings[0].sourcePath, source);
        QCOMPARE(mappings[0].targetPath, target);
        QCOMPARE(mappings[0].anchorUser, fx.config().anchorUser);
        QCOMPARE(mappings[0].volumeUUID, result.task.volumeUUID);
        QCOMPARE(mappings[0].createdAt, mappings[0].updatedAt);
        QCOMPARE(fx.logEntries().constLast().message,
                 QStringLiteral("Migration completed: ") + source + " -> " + target);
    }

    void singleFileMigrates()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.file("notes.txt", "plain file");
        const auto result = fx.migrate(source);
        QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        QVERIFY(isLinkTo(source, fx.targetOf(source)));
        QCOMPARE(fx.tree.read("notes.txt"), QByteArray("plain file"));
    }

    void linkSourceIsRefusedBeforeAnythingMoves()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.dir("Real");
        const QString source = fx.tree.symlink("Alias", fx.tree.path("Real"));
        const auto result = fx.migrate(source);
        QCOMPARE(result.task.status, TaskStatus::failed);
        QCOMPARE(result.task.errorCode, QStringLiteral("E012"));
        QCOMPARE(result.task.targetPath, QString());
        QVERIFY(isLinkTo(source, fx.tree.path("Real")));
        QCOMPARE(fx.tasks().size(), 1);
        QVERIFY(fx.mappings().isEmpty());
        QCOMPARE(fx.logEntries().constLast().message,
                 QStringLiteral("[E012] Disallowed path: ") + source + QLatin1Char('.'));
    }

    // The volume is checked before the source: an unplugged disk explains everything else.
    void unmountedVolumeComesBeforeMissingSource_data()
    {
        QTest::addColumn<QString>("root");
        QTest::newRow("folder where nothing is mounted") << "Volumes/Plain/Store";
        QTest::newRow("root outside the volumes directory") << "elsewhere/Store";
    }
    void unmountedVolumeComesBeforeMissingSource()
    {
        QFETCH(QString, root);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        QDir().mkpath(fx.home.path(root));
        AppConfig config = fx.config();
        config.defaultTargetRoot = fx.home.path(root);
        const auto result = fx.engine().migrate(fx.tree.path("Missing"), config, std::nullopt, false);
        QCOMPARE(result.task.errorCode, QStringLiteral("E001"));
        QCOMPARE(result.task.status, TaskStatus::failed);
        QCOMPARE(result.task.volumeUUID, QStringLiteral("unknown"));

        const auto missing = fx.migrate(fx.tree.path("Missing"));
        QCOMPARE(missing.task.errorCode, QStringLiteral("E005"));
        QCOMPARE(*missing.task.errorMessage,
                 QStringLiteral("Source path not found: ") + fx.tree.path("Missing") + QLatin1Char('.'));
    }

    // Sparse files count by their length, so the required bytes can be set to the byte.
    void spaceRuleAtEquality_data()
    {
        QTest::addColumn<qint64>("extra");
        QTest::newRow("required equals available") << qint64(0);
        QTest::newRow("one byte more") << qint64(1);
    }
    void spaceRuleAtEquality()
    {
        QFETCH(qint64, extra);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const qint64 available = freeBytes(fx.volumePath());
        fx.tree.sparseFile("Sparse/hole.img", available + extra);
        const auto result = fx.migrate(fx.tree.path("Sparse"));
        if (extra == 0) {
            QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        } else {
            QCOMPARE(result.task.errorCode, QStringLiteral("E002"));
            QCOMPARE(*result.task.errorMessage,
                     QStringLiteral("Insufficient space. Required: %1, available: %2.")
                         .arg(available + 1)
                         .arg(available));
            QVERIFY(QFileInfo(fx.tree.path("Sparse")).isDir());
        }
    }

    // A placeholder at the target (lstat: a dangling link counts) is removed after the staging move.
    void placeholderTargetIsReplaced_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty directory") << "empty";
        QTest::newRow("link to a directory") << "link";
        QTest::newRow("dangling link") << "dangling";
    }
    void placeholderTargetIsReplaced()
    {
        QFETCH(QString, kind);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/song.mp3", "la la");
        const QString source = fx.tree.path("Music");
        const QString target = fx.targetOf(source);
        QDir().mkpath(target.section('/', 0, -2));
        fx.tree.dir("Elsewhere");
        if (kind == "empty")
            QVERIFY(QDir().mkdir(target));
        else
            platform::createSymbolicLink(target,
                                         kind == "link" ? fx.tree.path("Elsewhere") : "/nowhere/at/all");

        const auto result = fx.migrate(source);

        QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
        QVERIFY(result.forceMigrationSummary);
        const ForceMigrationSummary& summary = *result.forceMigrationSummary;
        QCOMPARE(summary.requestedMode, ForcedMigrationMode::append);
        QCOMPARE(summary.removedPlaceholderPaths, QStringList{target});
        QVERIFY(!summary.didAppendMerge && summary.preservedPaths.isEmpty());
        QCOMPARE(QFile(target + "/song.mp3").size(), 5);
        QVERIFY(QFileInfo(fx.tree.path("Elsewhere")).isDir());
    }

    void occupiedTargetWithoutForceMovesNothing()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Music/song.mp3", "la la");
        const QString source = fx.tree.path("Music");
        test::TestTree(fx.targetOf(source)).file("old.mp3", "old");
        const auto result = fx.migrate(source);
        QCOMPARE(result.task.errorCode, QStringLiteral("E004"));
        QCOMPARE(result.task.status, TaskStatus::failed);
        QCOMPARE(fx.tree.read("Music/song.mp3"), QByteArray("la la"));
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
    }

    void holdersOfTheSource_data()
    {
        QTest::addColumn<bool>("terminate");
        QTest::addColumn<bool>("ignoresTermination");
        QTest::addColumn<QString>("expectedCode");
        QTest::addColumn<QStringList>("expectedTerminated");
        QTest::newRow("not terminated") << false << false << "E007" << QStringList();
        QTest::newRow("terminated") << true << false << "" << QStringList{"sleep"};
        QTest::newRow("refuses to end") << true << true << "E007" << QStringList();
    }
    void holdersOfTheSource()
    {
        QFETCH(bool, terminate);
        QFETCH(bool, ignoresTermination);
        QFETCH(QString, expectedCode);
        QFETCH(QStringList, expectedTerminated);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Busy/file.txt", "x");
        const QString source = fx.tree.path("Busy");
        const auto holder = holdIn(source, ignoresTermination);

        const auto result = fx.engine().migrate(source, fx.config(), std::nullopt, terminate);

        QCOMPARE(result.task.errorCode.value_or(QString()), expectedCode);
        QCOMPARE(result.terminatedProcesses, expectedTerminated);
        if (expectedCode.isEmpty()) {
            QVERIFY(isLinkTo(source, fx.targetOf(source)));
        } else {
            QCOMPARE(result.task.status, TaskStatus::failed);
            QVERIFY(result.task.errorMessage->contains("Cannot migrate " + source +
                                                       " because it is currently in use by: sleep"));
            QCOMPARE(fx.tree.read("Busy/file.txt"), QByteArray("x"));
        }
    }

    // What no path in a program's own folder of /proc shows holds the source all the same: a disk
    // image attached to a loop device and a swap file (the kernel's; ending the holders leaves them),
    // a log a program appends to by a name that a rotation removed, a thread of a program that sits
    // in the folder or holds the log in a descriptor table of its own, and a log registered with a
    // program's io_uring. The migration is refused, naming the holder, and the folder stays whole
    // where it was.
    void hiddenHoldersOfTheSource_data()
    {
        using How = test::FolderHold::How;
        QTest::addColumn<How>("how");
        QTest::addColumn<bool>("terminate");
        for (const auto how : {How::loopDevice, How::swap, How::removedName, How::threadWorkingDirectory,
                               How::threadDescriptor, How::ring}) {
            QTest::addRow("%s", test::folderHoldName(how)) << how << false;
            if (test::FolderHold::isKernelHold(how))
                QTest::addRow("%s, ending the holders", test::folderHoldName(how)) << how << true;
        }
    }
    void hiddenHoldersOfTheSource()
    {
        QFETCH(test::FolderHold::How, how);
        QFETCH(bool, terminate);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path("Disks");
        test::FolderHold::fill(source, how);
        test::FolderHold hold(source, how);
        SKIP_WITHOUT(hold);
        const QStringList before = test::snapshotTree(source);

        const auto result = fx.engine().migrate(source, fx.config(), std::nullopt, terminate);

        QCOMPARE(result.task.errorCode, QStringLiteral("E007"));
        QVERIFY2(result.task.errorMessage->contains(
                     " because it is currently in use by: " + hold.holderName() + "."),
                 qPrintable(*result.task.errorMessage));
        QVERIFY(result.terminatedProcesses.isEmpty());
        QCOMPARE(test::snapshotTree(source), before);
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
    }

    // A program that comes after the first check and still holds a file of the folder when the
    // copy on the volume is complete would go on writing into a file about to go: it opens notes.log
    // before the folder is staged, or at the staging path while the folder is copied, or maps it
    // there and closes its descriptor. The migration is rolled back, the folder whole where it was
    // with the very file the program holds, the copy gone from the volume, and the answer and the
    // log name the program; nobody is ended, even where the user let the first check end programs.
    void aProgramThatComesAfterTheFirstCheck_data()
    {
        QTest::addColumn<bool>("beforeStaging");
        QTest::addColumn<test::ForkedHolder::Hold>("hold");
        QTest::addColumn<bool>("terminate");
        QTest::newRow("opens a file before it is staged") << true << test::ForkedHolder::Hold::open << false;
        QTest::newRow("opens a staged file, programs may be ended")
            << false << test::ForkedHolder::Hold::open << true;
        QTest::newRow("maps a staged file") << false << test::ForkedHolder::Hold::mapped << false;
        QTest::newRow("a thread opens a staged file in a table of its own")
            << false << test::ForkedHolder::Hold::threadDescriptor << false;
        QTest::newRow("registers a staged file with an io_uring")
            << false << test::ForkedHolder::Hold::registeredWithRing << false;
    }
    void aProgramThatComesAfterTheFirstCheck()
    {
        QFETCH(bool, beforeStaging);
        QFETCH(test::ForkedHolder::Hold, hold);
        QFETCH(bool, terminate);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Notes/notes.log", "first line\n");
        fx.tree.fileOfSize("Notes/archive.bin", 256 * 1024);
        const QString source = fx.tree.path("Notes");
        const QStringList before = test::snapshotTree(source);

        std::unique_ptr<test::ForkedHolder> holder;
        const auto holdAt = [&](const QString& folder) {
            if (!holder)
                holder = std::make_unique<test::ForkedHolder>(folder + "/notes.log", hold);
        };
        // The record is written after the first check, right before the folder is staged.
        QDir().mkpath(OperationJournal::directory());
        MigrationExecutionResult result;
        {
            std::optional<test::FileOpenGate> recordWritten;
            if (beforeStaging) {
                recordWritten.emplace(OperationJournal::directory(), [&] { holdAt(source); });
                SKIP_WITHOUT(*recordWritten);
            }
            result = fx.engine([&](const QString&, const QString& staging) {
                           if (!beforeStaging)
                               holdAt(staging);
                       }).migrate(source, fx.config(), std::nullopt, terminate);
        }
        QVERIFY(holder);
        if (holder->skipReason())
            QSKIP(qPrintable(*holder->skipReason()));
        QVERIFY(holder->isHolding());

        QCOMPARE(result.task.errorCode, QStringLiteral("E007"));
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QVERIFY2(result.task.errorMessage->startsWith("Cannot migrate " + source +
                                                      " because it is currently in use by: holder."),
                 qPrintable(*result.task.errorMessage));
        QVERIFY(result.task.errorMessage->contains("Original data was restored"));
        QVERIFY(result.terminatedProcesses.isEmpty());
        QCOMPARE(::kill(holder->pid(), 0), 0);
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(test::snapshotTree(source), before);
        QVERIFY(platform::entriesInUse(source).contains(identityOf(source + "/notes.log")));
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        QVERIFY(fx.mappings().isEmpty());
        QVERIFY(fx.logEntries().constLast().message.contains("in use by: holder"));
    }

    void aWriterDuringTheCopy_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("onceWhole");      // the program starts once every look found the copy whole
        QTest::addColumn<QByteArray>("expected"); // what the user's path holds afterwards
        QTest::addColumn<bool>("completes");
        const QByteArray second("second version\n");
        QTest::newRow("rewrites the file and closes it") << "rewrite" << false << second << true;
        QTest::newRow("appends and closes")
            << "append" << false << QByteArray("first version\nmore\n") << true;
        QTest::newRow("saves through a rename") << "rename" << false << QByteArray("saved version\n") << true;
        QTest::newRow("rewrites it right before the staged files go") << "rewrite" << true << second << true;
        QTest::newRow("keeps writing it") << "keep writing" << false << QByteArray() << false;
        QTest::newRow("keeps writing it while the staged files go")
            << "keep writing" << true << QByteArray() << false;
    }
    // A program that opened a file of the folder after the first look for holders writes it while it
    // is copied (or while the staged files go) and closes it before the last look: the copy takes
    // what it wrote before the link is made, and nothing stays in the hidden staging folder. One that
    // keeps writing it stops the migration: the folder comes home with the newest data, and the
    // answer names the file.
    void aWriterDuringTheCopy()
    {
        QFETCH(QString, how);
        QFETCH(bool, onceWhole);
        QFETCH(QByteArray, expected);
        QFETCH(bool, completes);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const auto [source, target] = makeNotes(fx, "first version\n");

        // Nothing here may throw: it runs on a gate's thread while the migration waits.
        QString staged;
        int program = -1; // opened once the folder is staged
        int writes = 0;
        QByteArray last;
        std::atomic<bool> armed = false;
        const auto copyTookIt = [&] {
            QFile copy(target + "/report.txt");
            return copy.open(QIODevice::ReadOnly) && copy.readAll() == "first version\n";
        };
        const auto write = [&] {
            const QByteArray file = QFile::encodeName(staged + "/report.txt");
            if (how == "keep writing") {
                if (writes < 100) {
                    last = "version " + QByteArray::number(++writes) + '\n';
                    test::TestTree(staged).file("report.txt", last);
                }
            } else if (program >= 0) {
                if (how == "rewrite")
                    ::pwrite(program, "second version\n", 15, 0);
                else if (how == "append")
                    ::pwrite(program, "more\n", 5, 14);
                else if (test::TestTree(staged).file(".report.txt.swp", "saved version\n").size() > 0)
                    ::rename(QFile::encodeName(staged + "/.report.txt.swp").constData(), file.constData());
                ::close(std::exchange(program, -1));
            }
        };
        // Something reads the file after the copy took it (its comparison, a look for what changed,
        // the removal's comparison): the program writes.
        std::optional<test::FileOpenGate> reads;
        const auto onStaging = [&](const QString&, const QString& staging) {
            staged = staging;
            program = ::open(QFile::encodeName(staging + "/report.txt").constData(), O_RDWR | O_CLOEXEC);
            reads.emplace(
                staging + "/report.txt",
                [&] {
                    if (armed || (!onceWhole && copyTookIt())) {
                        armed = true;
                        write();
                    }
                },
                test::FileOpenGate::Openings::reads);
        };
        // The record says the copy is whole once no look finds anything more changed.
        QDir().mkpath(OperationJournal::directory());
        std::optional<test::FileOpenGate> recorded;
        if (onceWhole) {
            recorded.emplace(OperationJournal::directory(), [&] {
                if (!staged.isEmpty() && !armed && copyTookIt()) {
                    armed = true;
                    write();
                }
            });
            SKIP_WITHOUT(*recorded);
        }

        const auto result = fx.engine(onStaging).migrate(source, fx.config(), std::nullopt, false);
        recorded.reset();
        if (program >= 0)
            ::close(program);
        if (reads && reads->skipReason())
            QSKIP(qPrintable(*reads->skipReason()));
        reads.reset();

        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        if (completes) {
            QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
            QCOMPARE(platform::readWholeFile(source + "/report.txt"), expected);
            QCOMPARE(platform::readWholeFile(target + "/report.txt"), expected);
            QVERIFY(!platform::entryExists(target + "/.report.txt.swp"));
            for (const LogEntry& entry : fx.logEntries())
                QVERIFY2(entry.level == LogLevel::info, qPrintable(entry.message));
            return;
        }
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        // Written while the staged files went, the newest version took the place of the one that came
        // home from the volume, which stays beside it, named.
        const QStringList older = fx.reservedSiblings(source + "/report.txt", "append-preserved");
        QCOMPARE(older.size(), onceWhole ? 1 : 0);
        const QString kept = olderVersionsSentence(older);
        const QString why = onceWhole ? " was written while the original was being removed"
                                      : " kept changing while it was copied";
        QCOMPARE(*result.task.errorMessage,
                 "Failed to move " + source + " to " + target + ": " + source + "/report.txt" + why +
                     ". Original data was restored to its previous location." + kept);
        if (!older.isEmpty()) {
            QVERIFY(platform::readWholeFile(older.constFirst()).startsWith("version "));
            const QList<LogEntry> log = fx.logEntries();
            QVERIFY(std::any_of(log.cbegin(), log.cend(), [&](const LogEntry& entry) {
                return entry.level == LogLevel::warning && entry.message.contains(older.constFirst());
            }));
        }
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(platform::readWholeFile(source + "/report.txt"), last);
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.mappings().isEmpty());
    }

    void aProgramAtWorkWhileTheStagedFilesGo_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("makes a new file once") << "new file";
        QTest::newRow("makes a file the removal took anew, as echo >> does") << "made anew";
        QTest::newRow("holds a file it changed once") << "holds";
        QTest::newRow("writes more than the volume has room for") << "fills";
    }
    // A program writes in the staged folder while its files go (the copy was whole when they began
    // to go). What it makes is brought along by another round; a file the removal took already and
    // that it makes anew is no later version of the copy's, so both stay (the migration is taken
    // back, the newest at the user's path, the other beside it and named); a file it still holds at
    // the end is answered as in use, naming it; a volume that fills up is answered as full.
    void aProgramAtWorkWhileTheStagedFilesGo()
    {
        QFETCH(QString, how);
        EngineFixture fx(EngineFixture::Volume::tmpfs, (how == "fills" ? 3 : 64) * 1024 * 1024);
        SKIP_WITHOUT(fx);
        const auto [source, target] = makeNotes(fx, "first version\n", 1024 * 1024);
        fx.tree.file("Notes/log.txt", "first line\n");
        const QByteArray rewritten =
            how == "fills" ? QByteArray(2560 * 1024, 'x') : QByteArray("second version\n");

        // Nothing here may throw: it runs on a gate's thread while the migration waits.
        QString staged;
        std::atomic<bool> arrived = false;
        std::atomic<bool> acted = false;
        std::unique_ptr<test::ForkedHolder> holder;
        // Once the copy is whole and right before the staged files go, report.txt is written, so that
        // it stays and the removal goes another round, which reads it.
        const auto onArrival = [&] {
            QFile copy(target + "/report.txt");
            if (staged.isEmpty() || arrived || !copy.open(QIODevice::ReadOnly) ||
                copy.readAll() != "first version\n")
                return;
            arrived = true;
            test::TestTree(staged).file("report.txt", rewritten);
            if (how == "new file")
                test::TestTree(staged).file("new.txt", "made while the staged files went");
        };
        const auto inTheRound = [&] {
            if (!arrived || acted.exchange(true))
                return;
            if (how == "made anew") {
                QFile log(staged + "/log.txt"); // gone with the first removal
                if (log.open(QIODevice::Append))
                    log.write("second line\n");
            } else if (how == "holds") {
                holder = std::make_unique<test::ForkedHolder>(staged + "/report.txt",
                                                              test::ForkedHolder::Hold::open);
            }
        };
        std::optional<test::FileOpenGate> reads;
        const auto onStaging = [&](const QString&, const QString& staging) {
            staged = staging;
            reads.emplace(staging + "/report.txt", inTheRound, test::FileOpenGate::Openings::reads);
        };
        QDir().mkpath(OperationJournal::directory());
        std::optional<test::FileOpenGate> recorded(std::in_place, OperationJournal::directory(), onArrival);
        SKIP_WITHOUT(*recorded);

        const auto result = fx.engine(onStaging).migrate(source, fx.config(), std::nullopt, false);
        recorded.reset();
        if (reads && reads->skipReason())
            QSKIP(qPrintable(*reads->skipReason()));
        reads.reset();
        QVERIFY(arrived && (how == "new file" || acted));

        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        if (how == "new file") {
            QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
            QCOMPARE(platform::readWholeFile(source + "/new.txt"),
                     QByteArray("made while the staged files went"));
            QCOMPARE(platform::readWholeFile(target + "/report.txt"), rewritten);
            return;
        }
        QVERIFY2(result.task.status == TaskStatus::rolledBack, qPrintable(test::describe(result)));
        QVERIFY(platform::isRealDirectory(source));
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.mappings().isEmpty());
        const QString message = *result.task.errorMessage;
        if (how == "holds") {
            QVERIFY(holder && holder->isHolding());
            QCOMPARE(result.task.errorCode, QStringLiteral("E007"));
            QVERIFY2(message.startsWith("Cannot migrate " + source +
                                        " because it is currently in use by: holder."),
                     qPrintable(message));
            QCOMPARE(platform::readWholeFile(source + "/report.txt"), rewritten);
            return;
        }
        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        const QString file = how == "made anew" ? "log.txt" : "report.txt";
        const QStringList older = fx.reservedSiblings(source + "/" + file, "append-preserved");
        QCOMPARE(older.size(), 1);
        QVERIFY2(message.endsWith(olderVersionsSentence(older)), qPrintable(message));
        if (how == "fills") {
            QVERIFY2(message.startsWith("Failed to move " + source + " to " + target +
                                        ": No space left on device"),
                     qPrintable(message));
            QCOMPARE(platform::readWholeFile(source + "/report.txt"), rewritten);
            QCOMPARE(platform::readWholeFile(older.constFirst()), QByteArray("first version\n"));
            return;
        }
        // Written once, after its copy was made: the answer says when.
        QVERIFY(result.failure && result.failure->shortfall());
        QCOMPARE(*result.failure->shortfall(), CopyShortfall::writtenInRemoval(source + "/log.txt"));
        // The newest at the user's path, the version the copy took beside it: no line is lost.
        QCOMPARE(platform::readWholeFile(source + "/log.txt"), QByteArray("second line\n"));
        QCOMPARE(platform::readWholeFile(older.constFirst()), QByteArray("first line\n"));
    }

    // A single file saved through a rename while it is copied is another file than the one staged:
    // the migration goes back, and the answer names the file by the user's path.
    void aSingleFileSavedThroughARenameWhileItIsCopied()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.fileOfSize("notes.bin", 512 * 1024);
        QString staged;
        std::atomic<bool> saved = false;
        std::optional<test::FileOpenGate> reads;
        const auto onStaging = [&](const QString&, const QString& staging) {
            staged = staging;
            reads.emplace(
                staging,
                [&] {
                    if (saved.exchange(true))
                        return;
                    const QString swap = platform::parentPath(staged) + "/.notes.bin.swp";
                    test::TestTree(platform::parentPath(swap)).file(".notes.bin.swp", "saved version");
                    ::rename(QFile::encodeName(swap).constData(), QFile::encodeName(staged).constData());
                },
                test::FileOpenGate::Openings::reads);
        };

        const auto result = fx.engine(onStaging).migrate(source, fx.config(), std::nullopt, false);
        if (reads && reads->skipReason())
            QSKIP(qPrintable(*reads->skipReason()));
        reads.reset();

        QVERIFY(saved);
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QCOMPARE(*result.task.errorMessage,
                 "Failed to move " + source + " to " + fx.targetOf(source) + ": " + source +
                     " kept changing while it was copied. Original data was restored "
                     "to its previous location.");
        QCOMPARE(platform::readWholeFile(source), QByteArray("saved version"));
        QVERIFY(!platform::entryExists(fx.targetOf(source)));
    }

    void aCopyThatLeavesTheVolume_data()
    {
        QTest::addColumn<QString>("change"); // done to the copy once it is whole, before the source goes
        QTest::addColumn<QString>("named");  // below the source
        QTest::newRow("a file of the copy removed") << "removed"
                                                    << "/archive.bin";
        QTest::newRow("a file of the copy written to") << "written"
                                                       << "/archive.bin";
        QTest::newRow("a file of the copy rewritten in place") << "rewritten"
                                                               << "/archive.bin";
        QTest::newRow("a file of the copy rewritten in place, its times put back")
            << "rewritten, times put back"
            << "/archive.bin";
        QTest::newRow("a single file's copy rewritten in place, its times put back")
            << "single file rewritten, times put back"
            << "";
        QTest::newRow("the whole copy moved aside") << "moved"
                                                    << "";
    }
    // A program tidying the volume removes or changes the copy (or moves it aside) while the source
    // goes: nothing goes from the source whose copy does not stand as it was made, the migration is
    // taken back, naming it, and the folder comes home whole. A copy a program changed comes home
    // too, beside the original.
    void aCopyThatLeavesTheVolume()
    {
        QFETCH(QString, change);
        QFETCH(QString, named);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const bool single = change.startsWith("single file");
        const auto [folder, folderTarget] = makeNotes(fx, "report");
        const QString source = single ? fx.tree.fileOfSize("notes.bin", 256 * 1024) : folder;
        const QString target = single ? fx.targetOf(source) : folderTarget;
        const QString changed = single ? source : source + "/archive.bin";
        const QString copied = single ? target : target + "/archive.bin";
        const QStringList before = test::snapshotContents(source);
        std::atomic<bool> done = false;
        // Runs on the gate's thread when the record says the copy is whole.
        const auto tidy = [&] {
            QFile copy(copied);
            if (done || copy.size() != 256 * 1024 ||
                (!single && !platform::entryExists(target + "/report.txt")))
                return;
            done = true;
            if (change == "removed")
                copy.remove();
            else if (change == "written" && copy.open(QIODevice::Append))
                copy.write("tidied");
            else if (change.endsWith("rewritten") || change.endsWith("times put back"))
                test::rewriteInPlace(copied, change.endsWith("times put back"));
            else if (change == "moved")
                QDir().rename(target, target + "-aside");
        };
        QDir().mkpath(OperationJournal::directory());
        std::optional<test::FileOpenGate> recorded(std::in_place, OperationJournal::directory(), tidy);
        SKIP_WITHOUT(*recorded);

        const auto result = fx.migrate(source);
        recorded.reset();

        QVERIFY(done);
        QCOMPARE(result.task.status, TaskStatus::rolledBack);
        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QVERIFY(result.failure && result.failure->shortfall());
        QCOMPARE(result.failure->shortfall()->entry, source + named);
        const QStringList older = fx.reservedSiblings(changed, "append-preserved");
        const QString kept = olderVersionsSentence(older);
        QCOMPARE(*result.task.errorMessage,
                 "Failed to move " + source + " to " + target + ": the copy of " + source + named +
                     " on the external disk was removed or changed before the original "
                     "went. Original data was restored to its previous location." +
                     kept);
        // The copy a program changed came home too, beside the original.
        QCOMPARE(older.size(), change == "removed" || change == "moved" ? 0 : 1);
        for (const QString& each : older) {
            QCOMPARE(QFileInfo(each).size(), 256 * 1024 + (change == "written" ? 6 : 0));
            QVERIFY(platform::readWholeFile(each) != platform::readWholeFile(changed));
            QVERIFY(QFile::remove(each));
        }
        QCOMPARE(test::snapshotContents(source), before);
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.mappings().isEmpty());
    }

    void aFileSystemMountedAtTheTargetRoot_data()
    {
        QTest::addColumn<bool>("afterRemoval"); // or before it, once the copy is whole
        QTest::addColumn<bool>("rootMade");     // by the migration, or there before it
        QTest::addColumn<QString>("mountedOn"); // "root", or the copy itself: "folder", "file"
        QTest::newRow("before the removal, a target root the migration made") << false << true << "root";
        QTest::newRow("before the removal, a target root there before") << false << false << "root";
        QTest::newRow("after the removal, a target root the migration made") << true << true << "root";
        QTest::newRow("after the removal, a target root there before") << true << false << "root";
        QTest::newRow("after the removal, on the copied folder itself") << true << false << "folder";
        QTest::newRow("after the removal, on the copied file itself") << true << false << "file";
    }
    // A file system mounted at the target root, or on the copy itself, while the item moves hides
    // the copy from its path, not from what the copy holds open. Before the staged files go, none of
    // them goes: the copy is discarded and the folder comes home, the answer naming the mount. After
    // they went, nothing can come back by the path: the answer names where the data is and what to
    // do, and the record stays, for a start that touches nothing while the mount stays and finishes
    // the migration once it went.
    void aFileSystemMountedAtTheTargetRoot()
    {
        QFETCH(bool, afterRemoval);
        QFETCH(bool, rootMade);
        QFETCH(QString, mountedOn);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        auto [source, target] = makeNotes(fx, "report");
        if (mountedOn == "file") {
            source = fx.tree.file("notes.txt", "a single file");
            target = fx.targetOf(source);
        }
        const QString mountPoint = mountedOn == "root" ? fx.targetRoot() : target;
        const QStringList before = test::snapshotContents(source);
        if (!rootMade)
            QVERIFY(QDir().mkpath(fx.targetRoot()));
        // A tmpfs over a folder; over a file, another file bound onto it.
        const QString cover = fx.tree.file("cover.txt", "cover");
        std::optional<test::TmpfsMount> overFolder;
        std::optional<test::BindMount> overFile;
        const auto mountOver = [&] {
            if (mountedOn == "file" && !overFile)
                overFile.emplace(cover, mountPoint);
            else if (mountedOn != "file" && !overFolder)
                overFolder.emplace(mountPoint, 1024 * 1024);
        };
        const auto unmount = [&] {
            overFolder.reset();
            overFile.reset();
        };
        // Before the removal: on the gate's thread, once the record says the copy is whole.
        const auto whole = [&] {
            if (QFileInfo(target + "/archive.bin").size() == 256 * 1024 &&
                platform::entryExists(target + "/report.txt"))
                mountOver();
        };
        std::optional<test::FileOpenGate> recorded;
        if (!afterRemoval) {
            QDir().mkpath(OperationJournal::directory());
            recorded.emplace(OperationJournal::directory(), whole);
            SKIP_WITHOUT(*recorded);
        }
        const auto arrived = [&](const QString&, const QString&, const QString&) {
            if (afterRemoval)
                mountOver();
        };

        const auto result = fx.engine({}, arrived).migrate(source, fx.config(), std::nullopt, false);
        recorded.reset();

        QVERIFY(overFolder || overFile);
        if (overFolder && !overFolder->isValid())
            QSKIP(qPrintable(overFolder->skipReason()));
        if (overFile && !overFile->isValid())
            QSKIP(qPrintable(overFile->skipReason().value_or(QString())));
        QVERIFY2(result.failure && result.failure->shortfall(), qPrintable(test::describe(result)));
        const CopyShortfall shortfall = *result.failure->shortfall();
        QCOMPARE(shortfall.mountPoint, mountPoint);
        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        QVERIFY(fx.mappings().isEmpty());
        if (!afterRemoval) {
            QCOMPARE(shortfall.reason, CopyShortfall::Reason::copyHidden);
            QCOMPARE(result.task.status, TaskStatus::rolledBack);
            QCOMPARE(*result.task.errorMessage,
                     "Failed to move " + source + " to " + target + ": the copy of " + source +
                         " on the external disk was hidden by a file system mounted at " + fx.targetRoot() +
                         " before the original went. Original data was restored to its previous location.");
            QCOMPARE(test::snapshotContents(source), before);
            unmount();
            QVERIFY(!platform::entryExists(target)); // discarded where the mount hid it
            QVERIFY(recoverOperations(fx).isEmpty());
            return;
        }
        // Whole in one place, which the answer names.
        QCOMPARE(shortfall.reason, CopyShortfall::Reason::copyHiddenAfterRemoval);
        QCOMPARE(shortfall.entry, target);
        QCOMPARE(result.task.status, TaskStatus::failed);
        QCOMPARE(*result.task.errorMessage,
                 "Failed to move " + source + " to " + target +
                     ": the original went, and its copy is whole at " + target +
                     ", hidden under the file system mounted at " + mountPoint +
                     ". Unmount that file system: the next start finishes the migration.");
        QVERIFY(!platform::entryExists(source));
        QVERIFY(fx.tasks().isEmpty()); // written by the start that finishes it

        // Every start while the mount stays leaves the record as it is, naming the mount.
        for (int start = 0; start < 2; ++start) {
            const QList<RecoveredOperation> waiting = recoverOperations(fx);
            QCOMPARE(waiting.size(), 1);
            QCOMPARE(waiting.constFirst().outcome, RecoveredOperation::Outcome::leftAsFound);
            QCOMPARE(waiting.constFirst().foundPaths, QStringList{target});
            const QString logged = fx.logEntries().constLast().message;
            QVERIFY2(
                logged.contains("left as found") &&
                    (mountedOn == "root" || logged.contains("mounted on the target path itself: " + target)),
                qPrintable(logged));
            QVERIFY(!platform::entryExists(source));
        }
        unmount();
        QCOMPARE(test::snapshotContents(target), before);

        const QList<RecoveredOperation> finished = recoverOperations(fx);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.constFirst().outcome, RecoveredOperation::Outcome::migrationCompleted);
        QVERIFY(isLinkTo(source, target));
        QCOMPARE(test::snapshotContents(target), before);
        QCOMPARE(fx.mappings().size(), 1);
        QCOMPARE(fx.tasks().size(), 1);
        QCOMPARE(fx.tasks().constFirst().status, TaskStatus::completed);
    }

    void aVolumeThatCannotKeepTheFolder_data()
    {
        QTest::addColumn<EngineFixture::Volume>("volume");
        QTest::addColumn<QString>("entry"); // what the folder holds besides its files
        QTest::addColumn<QString>("unkept");
        QTest::addColumn<QStringList>("first"); // the entry the answer may name
        const auto exfat = EngineFixture::Volume::exfatFuse;
        const auto fat = EngineFixture::Volume::fatFuse;
        QTest::newRow("exFAT, a private file") << exfat << "private"
                                               << "file permissions" << QStringList{"private.txt"};
        QTest::newRow("exFAT, a link") << exfat << "link"
                                       << "symbolic links" << QStringList{"shortcut"};
        QTest::newRow("exFAT, a name with : and ?")
            << exfat << "name"
            << "the characters of some names" << QStringList{"a:b?.txt"};
        QTest::newRow("exFAT, names that differ only in case")
            << exfat << "case"
            << "names that differ only in case" << QStringList{"Readme", "README"};
        QTest::newRow("exFAT, two names of one file")
            << exfat << "hard link"
            << "hard links" << QStringList{"notes.txt", "notes-2.txt"};
        QTest::newRow("exFAT, modes as it gives them") << exfat << ""
                                                       << "" << QStringList();
        QTest::newRow("FAT, files as people have them") << fat << "private"
                                                        << "file permissions" << QStringList{"private.txt"};
        QTest::newRow("FAT, modes as it gives them") << fat << ""
                                                     << "" << QStringList();
    }
    // A volume that cannot keep what the folder holds takes nothing of it: the answer names the file
    // system, what it cannot keep and the first entry concerned. A folder it can keep as it is
    // moves, and comes home with the modes it left with.
    void aVolumeThatCannotKeepTheFolder()
    {
        QFETCH(EngineFixture::Volume, volume);
        QFETCH(QString, entry);
        QFETCH(QString, unkept);
        QFETCH(QStringList, first);
        EngineFixture fx(volume);
        SKIP_WITHOUT(fx);
        // What the volume gives every file and folder: exFAT's driver 0777, FAT's 0700.
        const mode_t given = volume == EngineFixture::Volume::exfatFuse ? 0777 : 0700;
        test::TestTree tree(fx.tree.path("Docs"));
        tree.file("notes.txt", "notes");
        tree.file("sub/deep.txt", "deep");
        if (entry == "private")
            tree.file("private.txt", "private");
        else if (entry == "link")
            tree.symlink("shortcut", "notes.txt");
        else if (entry == "name")
            tree.file("a:b?.txt", "odd");
        else if (entry == "case") {
            tree.file("Readme", "one");
            tree.file("README", "two");
        } else if (entry == "hard link")
            tree.hardLink("notes-2.txt", "notes.txt");
        giveEveryEntry(tree.root(), given);
        if (entry == "private")
            ::chmod(QFile::encodeName(tree.path("private.txt")).constData(), 0600);
        const QStringList before = test::snapshotContents(tree.root());
        const QStringList onVolume = test::snapshotTree(fx.volumePath());

        const auto result = fx.migrate(tree.root());

        const QString target = fx.targetOf(tree.root());
        if (unkept.isEmpty()) {
            QVERIFY2(result.task.status == TaskStatus::completed, qPrintable(test::describe(result)));
            fx.undoNewest("user");
            // The volume keeps times to its own step: all else comes home as it left.
            QCOMPARE(withoutTimes(test::snapshotContents(tree.root())), withoutTimes(before));
            return;
        }
        const QString fileSystem = volume == EngineFixture::Volume::exfatFuse ? "exFAT" : "FAT";
        QCOMPARE(result.task.status, TaskStatus::failed);
        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QVERIFY(result.failure && result.failure->shortfall());
        const CopyShortfall& shortfall = *result.failure->shortfall();
        QVERIFY2(first.contains(shortfall.entry.mid(tree.root().size() + 1)), qPrintable(shortfall.entry));
        QCOMPARE(shortfall.fileSystem, fileSystem);
        QCOMPARE(*result.task.errorMessage, "Failed to move " + tree.root() + " to " + target +
                                                ": the external disk's file system (" + fileSystem +
                                                ") cannot keep " + unkept + ", first: " + shortfall.entry +
                                                ". Nothing was moved.");
        QCOMPARE(test::snapshotContents(tree.root()), before);
        QCOMPARE(test::snapshotTree(fx.volumePath()), onVolume);
        QVERIFY(fx.reservedSiblings(tree.root(), "staging").isEmpty());
        QVERIFY(fx.mappings().isEmpty());
    }

    // A mount point cannot be renamed (EBUSY): that is reported as in use, not as a failed move.
    void busyStagingMoveIsReportedAsInUse()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Mounted/file.txt", "x");
        const QString source = fx.tree.path("Mounted");
        const test::BindMount onItself(source, source);
        QVERIFY(onItself.isValid());

        const auto result = fx.migrate(source);

        QCOMPARE(result.task.errorCode, QStringLiteral("E007"));
        QCOMPARE(result.task.status, TaskStatus::failed);
        QVERIFY(result.task.errorMessage->contains("currently in use"));
        QVERIFY(fx.reservedSiblings(source, "staging").isEmpty());
        QCOMPARE(fx.tree.read("Mounted/file.txt"), QByteArray("x"));
        QVERIFY(fx.runner->commands.isEmpty());
    }

    void failedTargetParentLeavesSourceAlone_data()
    {
        QTest::addColumn<bool>("refusedPermission");
        QTest::newRow("a file where a folder must go") << false;
        QTest::newRow("the volume refuses new folders") << true;
    }
    // Creating the target's folders never asks for the administrator, not even after a permission
    // error: folders made as root would stay on the volume and ask again on every later move.
    void failedTargetParentLeavesSourceAlone()
    {
        QFETCH(bool, refusedPermission);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        fx.tree.file("Docs/a.txt", "a");
        std::optional<test::ImmutableFlag> frozen;
        if (refusedPermission) {
            frozen.emplace(fx.volumePath());
            if (!frozen->isSet())
                QSKIP(qPrintable(frozen->skipReason()));
        } else {
            test::TestTree(fx.volumePath()).file("Store", "a file where a folder must go");
        }
        const QStringList volume = test::snapshotTree(fx.volumePath());
        const QString source = fx.tree.path("Docs");

        const auto result = fx.migrate(source);

        QCOMPARE(result.task.errorCode, QStringLiteral("E008"));
        QCOMPARE(result.task.status, TaskStatus::failed);
        QVERIFY(result.task.errorMessage->startsWith(QStringLiteral("Failed to move ") + source + " to " +
                                                     fx.targetOf(source) + ": "));
        QCOMPARE(fx.tree.read("Docs/a.txt"), QByteArray("a"));
        QVERIFY(fx.runner->commands.isEmpty());
        QCOMPARE(test::snapshotTree(fx.volumePath()), volume);
    }
};

QTEST_GUILESS_MAIN(MigrationEngineTest)
#include "tst_migrationengine.moc"
