// Undo while programs use the migrated folder: programs that hold files inside it stop the undo
// before anything moves (named, and ended only on request, and only our own user's), and what a
// program writes through the link while the data is copied home, or holds when the volume's copy is
// to be removed, is never lost nor passed over: it stays on the volume, the undo says so and where,
// and the record stays so that a forced restore brings it home. That holds where the times cannot
// tell such a write either: on volumes that keep whole seconds, and after a program put the time back.
#include "JournalScenes.h"
#include "diskops/UndoService.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/ProcessTable.h"
#include "platform/SymbolicLinks.h"
#include "support/FileOpenGate.h"
#include "support/FolderHold.h"
#include "support/ForkedHolder.h"
#include "support/HoldingProcess.h"
#include "support/ImmutableFlag.h"
#include "support/LoopMount.h"
#include "support/PausedChild.h"
#include "support/ReadOnlyRemount.h"
#include "support/SkipWithout.h"
#include "support/TreeSnapshot.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::test;

namespace {

constexpr int kFileCount = 400;

platform::EntryIdentity identityOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return platform::EntryIdentity::of(info);
}

// A folder of many small files, migrated: the copy home takes long enough to be caught midway.
// Nothing is migrated where the fixture cannot run (see EngineFixture::skipReason).
struct ManyFilesMigrated {
    ManyFilesMigrated()
    {
        if (fx.skipReason())
            return;
        for (int index = 0; index < kFileCount; ++index)
            fx.tree.fileOfSize(QStringLiteral("Project/%1.bin").arg(index, 3, 10, QLatin1Char('0')),
                               32 * 1024);
        if (fx.migrate(source).task.status != TaskStatus::completed)
            qFatal("the migration failed");
        mapping = fx.mappings().constFirst();
    }

    EngineFixture fx;
    const QString source = fx.tree.path(QStringLiteral("Project"));
    const QString target = fx.targetOf(source);
    LinkMapping mapping;
    const UndoService undo = fx.undoService();
};

// Runs `action` once, on a thread of its own, as soon as the copy home has begun and before it has
// ended (the restore sibling holds some of the files, not all), and tells whether it ran then and
// whether the copy was still midway once it had run.
class DuringTheCopy {
public:
    DuringTheCopy(EngineFixture& fx, QString source, std::function<bool()> action)
        : m_fx(fx), m_source(std::move(source)), m_action(std::move(action))
    {
        m_thread = std::thread([this] { run(); });
    }
    ~DuringTheCopy() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The action ran while the copy was midway, and answered true.
    bool acted() const { return m_acted; }
    // ... and the copy had not ended yet when it was done.
    bool stillMidwayAfter() const { return m_stillMidway; }

private:
    // How many files the copy has made so far; none before it began.
    std::optional<qsizetype> copiedSoFar() const
    {
        const QStringList siblings = m_fx.reservedSiblings(m_source, QStringLiteral("restoring"));
        if (siblings.isEmpty())
            return std::nullopt;
        return QDir(siblings.constFirst()).entryList(QDir::Files).size();
    }
    void run()
    {
        while (!m_stop) {
            if (const auto copied = copiedSoFar()) {
                if (*copied >= 1 && *copied < kFileCount) {
                    m_acted = m_action();
                    const auto after = copiedSoFar();
                    m_stillMidway = after && *after < kFileCount;
                    return;
                }
                if (*copied >= kFileCount)
                    return; // too late for this round
            }
            std::this_thread::yield();
        }
    }

    EngineFixture& m_fx;
    QString m_source;
    std::function<bool()> m_action;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_acted{false};
    std::atomic<bool> m_stillMidway{false};
};

// Undoes `mapping` while `watch` looks on.
UndoResult undoWatched(const UndoService& undo, const LinkMapping& mapping, DuringTheCopy& watch)
{
    const UndoResult result = undo.undoMigration(mapping.id, QStringLiteral("user"));
    watch.stop();
    return result;
}

// The error `attempt` was refused with; none when it went through, or ended another way (said in
// the test's output).
std::optional<OrvalinkError> refusalOf(const std::function<void()>& attempt)
{
    try {
        attempt();
    } catch (const OrvalinkError& error) {
        return error;
    } catch (const std::exception& other) {
        qWarning("%s", other.what());
    }
    return std::nullopt;
}

const QByteArray kLateContent = "written while the data was moved home";
const QString kLateName = QStringLiteral("late.txt");

// Writes one new file through the link at `source`.
bool writeThroughTheLink(const QString& source)
{
    QFile file(source + QLatin1Char('/') + kLateName);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
           file.write(kLateContent) == kLateContent.size() && file.flush();
}

// A program that keeps making and removing one file in a folder, from construction until it dies:
// the folder is empty at one moment and not at the next.
class FolderFiller {
public:
    explicit FolderFiller(const QString& folder)
        : m_path(QFile::encodeName(folder + QLatin1Char('/') + name()))
    {
        m_thread = std::thread([this] {
            while (!m_stop) {
                const int fd = ::open(m_path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
                if (fd >= 0)
                    ::close(fd);
                ::unlink(m_path.constData());
            }
        });
    }
    ~FolderFiller()
    {
        m_stop = true;
        m_thread.join();
    }
    FolderFiller(const FolderFiller&) = delete;
    FolderFiller& operator=(const FolderFiller&) = delete;
    static QString name() { return QStringLiteral("filler.tmp"); }

private:
    QByteArray m_path;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

EngineFixture::Volume volumeOf(LoopMount::Kind kind)
{
    return kind == LoopMount::Kind::vfat ? EngineFixture::Volume::vfat
                                         : EngineFixture::Volume::wholeSecondsExt4;
}

void addCoarseVolumeRows()
{
    QTest::addColumn<LoopMount::Kind>("kind");
    for (const LoopMount::Kind kind : {LoopMount::Kind::wholeSecondsExt4, LoopMount::Kind::vfat})
        QTest::newRow(loopKindName(kind)) << kind;
}

timespec modifiedAt(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mtim;
}

bool operator==(const timespec& first, const timespec& second)
{
    return first.tv_sec == second.tv_sec && first.tv_nsec == second.tv_nsec;
}

// Gives the files of a migrated folder on the volume the time of a write a moment ago, as for files
// a program keeps writing: no time of theirs lies before the undo's copy.
void touchedJustNow(const QString& folder, const QStringList& names)
{
    const struct timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    for (const QString& name : names)
        ::utimensat(AT_FDCWD, QFile::encodeName(folder + QLatin1Char('/') + name).constData(), now, 0);
}

bool setModified(const QString& path, const timespec& modified)
{
    const struct timespec times[2] = {modified, modified};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Gives the files of a migrated folder on the volume a time an hour ago, as for files last written
// long before the undo.
void writtenLongAgo(const QString& folder, const QStringList& names)
{
    const timespec hourAgo{::time(nullptr) - 3600, 0};
    for (const QString& name : names)
        setModified(folder + QLatin1Char('/') + name, hourAgo);
}

constexpr qsizetype kStateBytes = 4096;

// Rewrites the file in place (same size, no new file), as a database does.
bool rewriteInPlace(const QString& path, const QByteArray& content)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    const bool written =
        fd >= 0 && ::pwrite(fd, content.constData(), size_t(content.size()), 0) == content.size();
    return fd >= 0 && ::close(fd) == 0 && written;
}

} // namespace

// How a program writes while the undo compares a file: into the file, holding it open, or through a
// shared mapping.
enum class ComparisonWriter { writes, opens, mapsShared };

Q_DECLARE_METATYPE(FolderHold::How)
Q_DECLARE_METATYPE(EngineFixture::Volume)
Q_DECLARE_METATYPE(ComparisonWriter)

class UndoWritersTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A program that sits in the migrated folder stops the undo, named, with nothing changed; asked
    // to, the undo ends it first. One that will not end is named again, and still nothing moved. Run
    // as root, another user's program is never ended: it is named with its owner, nothing moved, and
    // ours is not ended either, as the undo could not go on.
    void holdersStopTheUndo_data()
    {
        QTest::addColumn<bool>("ignoresTermination");
        QTest::addColumn<bool>("anotherUser");
        QTest::newRow("ends when asked") << false << false;
        QTest::newRow("will not end") << true << false;
        QTest::newRow("another user's beside ours") << false << true;
    }

    void holdersStopTheUndo()
    {
        QFETCH(bool, ignoresTermination);
        QFETCH(bool, anotherUser);
        if (const auto reason = Unprivileged::skipReason(); anotherUser && reason)
            QSKIP(qPrintable(*reason));
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        const QStringList before = migrateFolder(fx, source);
        const LinkMapping mapping = fx.mappings().constFirst();
        HoldingProcess::Options options;
        options.workingDirectory = source + QStringLiteral("/sub"); // through the link, as a shell would
        options.ignoreTermination = ignoresTermination;
        HoldingProcess holder(options);
        options.asNobody = true;
        std::optional<HoldingProcess> theirs;
        if (anotherUser)
            theirs.emplace(options);
        const QString sleep = QStringLiteral("sleep");
        const QString theirName = QStringLiteral("sleep (user nobody)");
        const UndoService undo = fx.undoService();

        const auto unchanged = [&] {
            QCOMPARE(platform::readSymbolicLink(source), std::optional(fx.targetOf(source)));
            QCOMPARE(snapshotTree(fx.targetOf(source)), before);
            QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
            QVERIFY(fx.reservedSiblings(source, QStringLiteral("restoring")).isEmpty());
            QVERIFY(operationsFolderNames().isEmpty());
        };
        const auto refusedWith = [&](const OrvalinkError& error, const QStringList& names) {
            QCOMPARE(error.errorCase(), OrvalinkError::Case::sourceInUse);
            QCOMPARE(error.operation(), OrvalinkError::Operation::undo);
            QCOMPARE(error.path(), source);
            QCOMPARE(error.processes(), names);
            QVERIFY2(
                error.errorDescription().startsWith(QStringLiteral("Cannot undo the migration of ") + source +
                                                    QStringLiteral(" because it is currently in use by: ")),
                error.what());
        };
        try {
            undo.undoMigration(mapping.id, QStringLiteral("user"));
            QFAIL("the undo ran while a program sat in the folder");
        } catch (const OrvalinkError& error) {
            refusedWith(error, anotherUser ? QStringList{sleep, theirName} : QStringList{sleep});
        }
        unchanged();
        QCOMPARE(holder.process().state(), QProcess::Running);

        if (ignoresTermination || anotherUser) {
            try {
                undo.undoMigration(mapping.id, QStringLiteral("user"), UndoAnswers{std::nullopt, true});
                QFAIL("the undo ran while a program that would not end sat in the folder");
            } catch (const OrvalinkError& error) {
                refusedWith(error, anotherUser ? QStringList{sleep, theirName} : QStringList{sleep});
            }
            unchanged();
            if (anotherUser) {
                // Theirs refuses the undo in any case: ours is not ended for nothing.
                QVERIFY(!holder.process().waitForFinished(300));
                QVERIFY(!theirs->process().waitForFinished(10));
            }
            return;
        }
        const UndoResult result =
            undo.undoMigration(mapping.id, QStringLiteral("user"), UndoAnswers{std::nullopt, true});
        QCOMPARE(result.terminatedProcesses, QStringList{sleep});
        QVERIFY(holder.process().waitForFinished(5000));
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(snapshotTree(source), before);
        QVERIFY(fx.mappings().isEmpty());
    }

    // What no path in a program's own folder of /proc shows holds the migrated folder on the volume
    // all the same: a disk image there attached to a loop device, a swap file there (the kernel's;
    // ending the holders leaves them), a log there a program appends to by a name that a rotation
    // removed, a thread of a program that sits in the folder or holds the log in a descriptor table
    // of its own, and the log registered with a program's io_uring. The undo is refused, naming the
    // holder, with nothing moved; once the hold is gone, it runs.
    void hiddenHoldersStopTheUndo_data()
    {
        QTest::addColumn<FolderHold::How>("how");
        QTest::addColumn<EngineFixture::Volume>("volume");
        // tmpfs takes no swap file.
        QTest::newRow(folderHoldName(FolderHold::How::loopDevice))
            << FolderHold::How::loopDevice << EngineFixture::Volume::tmpfs;
        QTest::newRow(folderHoldName(FolderHold::How::swap))
            << FolderHold::How::swap << EngineFixture::Volume::sameFileSystem;
        for (const auto how : {FolderHold::How::removedName, FolderHold::How::threadWorkingDirectory,
                               FolderHold::How::threadDescriptor, FolderHold::How::ring})
            QTest::newRow(folderHoldName(how)) << how << EngineFixture::Volume::tmpfs;
    }
    void hiddenHoldersStopTheUndo()
    {
        QFETCH(FolderHold::How, how);
        QFETCH(EngineFixture::Volume, volume);
        EngineFixture fx(volume);
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("Disks"));
        const QString target = fx.targetOf(source);
        FolderHold::fill(source, how);
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        const LinkMapping mapping = fx.mappings().constFirst();
        FolderHold hold(target, how);
        SKIP_WITHOUT(hold);
        const QStringList before = snapshotTree(target);
        const UndoService undo = fx.undoService();

        std::vector<std::function<void()>> attempts{[&] {
            undo.undoMigration(mapping.id, QStringLiteral("user"));
        }};
        if (FolderHold::isKernelHold(how))
            attempts.push_back([&] {
                undo.undoMigration(mapping.id, QStringLiteral("user"), UndoAnswers{std::nullopt, true});
            });
        for (const auto& attempt : attempts) {
            const std::optional<OrvalinkError> refusal = refusalOf(attempt);
            QVERIFY2(refusal, "the undo was not refused while the folder was held");
            QCOMPARE(refusal->errorCase(), OrvalinkError::Case::sourceInUse);
            QCOMPARE(refusal->operation(), OrvalinkError::Operation::undo);
            QCOMPARE(refusal->processes(), QStringList{hold.holderName()});
            QCOMPARE(platform::readSymbolicLink(source), std::optional(target));
            QCOMPARE(snapshotTree(target), before);
            QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
            QVERIFY(operationsFolderNames().isEmpty());
        }

        QVERIFY(hold.release());
        undo.undoMigration(mapping.id, QStringLiteral("user"));
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(snapshotTree(source), before);
        QVERIFY(fx.mappings().isEmpty());
    }

    // A program that opens a file of the folder after the look for holders, and still holds it when
    // the volume's copy is to be removed: that file stays on the volume, where the answer says, the
    // record stays, and nothing is lost; the rest of the data is home and gone from the volume.
    void programThatComesInDuringTheUndo()
    {
        const QString name = QStringLiteral("000.bin");
        bool caught = false;
        for (int round = 0; round < 10 && !caught; ++round) {
            ManyFilesMigrated migrated;
            SKIP_WITHOUT(migrated.fx);
            auto& [fx, source, target, mapping, undo] = migrated;
            const QString held = target + QLatin1Char('/') + name;
            const QByteArray content = platform::readWholeFile(held);

            std::unique_ptr<ForkedHolder> holder;
            DuringTheCopy opener(fx, source, [&] {
                // Through the user's path, which leads to the volume until the copy takes its place.
                holder = std::make_unique<ForkedHolder>(source + QLatin1Char('/') + name,
                                                        ForkedHolder::Hold::open);
                return holder->isHolding();
            });
            const UndoResult result = undoWatched(undo, mapping, opener);
            QVERIFY(platform::isRealDirectory(source));
            QCOMPARE(QDir(source).entryList({QStringLiteral("*.bin")}, QDir::Files).size(), kFileCount);
            QCOMPARE(platform::readWholeFile(source + QLatin1Char('/') + name), content);
            // Only a program that held the file before the copy ended was surely there before the
            // second look; the first one was over before the copy began.
            if (!opener.acted() || !opener.stillMidwayAfter())
                continue;
            caught = true;
            QVERIFY2(result.leftBehind(),
                     "the undo reported success while a program held a file on the volume");
            QCOMPARE(result.leftBehindPaths, QStringList{held});
            QCOMPARE(result.targetPath, target);
            QVERIFY(!result.revertedAt.isValid());
            QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
            QVERIFY(operationsFolderNames().isEmpty());
            // The very file the program holds, whole, and nothing else of the folder.
            QCOMPARE(platform::readWholeFile(held), content);
            QVERIFY(platform::entriesInUse(target).contains(identityOf(held)));
            QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{name});
        }
        QVERIFY2(caught, "no round caught the copy midway");
    }

    // Asked to end the programs, an undo that is refused anyway (the user made the folder anew at
    // the source, and no forced mode was chosen) refuses before it ends anything.
    void aRefusalComesBeforeAnyProgramEnds()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        const QStringList before = migrateFolder(fx, source);
        const LinkMapping mapping = fx.mappings().constFirst();
        HoldingProcess::Options options;
        options.workingDirectory = fx.targetOf(source) + QStringLiteral("/sub");
        HoldingProcess holder(options);
        QVERIFY(QFile::remove(source));
        fx.tree.file(QStringLiteral("Docs/mine.txt"), "made after the migration");
        const QStringList occupant = snapshotTree(source);

        try {
            fx.undoService().undoMigration(mapping.id, QStringLiteral("user"),
                                           UndoAnswers{std::nullopt, true});
            QFAIL("an occupied source was overwritten without a forced mode");
        } catch (const OrvalinkError& error) {
            QCOMPARE(error.errorCase(), OrvalinkError::Case::undoSourceOccupied);
        }
        QVERIFY2(!holder.process().waitForFinished(500), "the program was ended before the refusal");
        QCOMPARE(snapshotTree(source), occupant);
        QCOMPARE(snapshotTree(fx.targetOf(source)), before);
        QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
    }

    // A program fills and empties a folder at the source while undos without a forced mode run: the
    // undo judges what stands there once, so it is either removed as empty or refused as occupied,
    // and never set aside by a forced restore nobody chose.
    void theSourceIsJudgedOnce()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const UndoService undo = fx.undoService();
        for (int round = 0; round < 40; ++round) {
            const QString source = fx.tree.path(QStringLiteral("Round%1").arg(round));
            migrateFolder(fx, source);
            const QStringList contents = snapshotContents(fx.targetOf(source));
            const LinkMapping mapping = fx.mappings().constLast();
            QVERIFY(QFile::remove(source));
            QVERIFY(QDir().mkdir(source));
            std::optional<UndoResult> result;
            {
                const FolderFiller filler(source);
                try {
                    result = undo.undoMigration(mapping.id, QStringLiteral("user"));
                } catch (const std::exception&) {
                    // Refused, or the folder filled before it could go: what counts is where things are.
                }
            }
            const QString where = QStringLiteral("round %1").arg(round);
            QVERIFY2(!result || !result->forceRestoreSummary, qPrintable(where));
            for (const char* suffix : {"append-preserved", "overwrite-preserved", "restoring"})
                QVERIFY2(fx.reservedSiblings(source, QLatin1String(suffix)).isEmpty(), qPrintable(where));
            QFile::remove(source + QLatin1Char('/') + FolderFiller::name());
            QCOMPARE(snapshotContents(result ? source : fx.targetOf(source)), contents);
        }
    }

    // A volume mounted read-only, or a file on it made immutable: the data comes home whole and the
    // undo is done; what could not be removed from the volume is only a copy, no reason to keep the
    // record, but the answer says that it stayed, where and how many, as the log does.
    void volumeKeepsOnlyACopy_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only volume") << true;
        QTest::newRow("immutable file") << false;
    }

    void volumeKeepsOnlyACopy()
    {
        QFETCH(bool, readOnly);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        const QStringList before = migrateFolder(fx, source);
        const LinkMapping mapping = fx.mappings().constFirst();
        const QString target = fx.targetOf(source);
        const QString kept = target + QStringLiteral("/a.txt");
        UndoResult result;
        {
            std::optional<ReadOnlyRemount> readOnlyVolume;
            std::optional<ImmutableFlag> immutable;
            if (readOnly) {
                readOnlyVolume.emplace(fx.volumePath());
                QVERIFY(readOnlyVolume->isValid());
            } else {
                immutable.emplace(kept);
                if (!immutable->isSet())
                    QSKIP(qPrintable(immutable->skipReason()));
            }
            result = fx.undoService().undoMigration(mapping.id, QStringLiteral("user"));
        }
        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(snapshotTree(source), before);
        QVERIFY(fx.mappings().isEmpty());
        QVERIFY(operationsFolderNames().isEmpty());
        QVERIFY(!result.leftBehind());
        QVERIFY(result.revertedAt.isValid());
        QCOMPARE(result.targetPath, target);
        // The removal names what stayed from the top: the file, or a folder that holds it.
        QVERIFY2(
            std::any_of(result.leftCopyPaths.cbegin(), result.leftCopyPaths.cend(),
                        [&](const QString& path) { return kept == path || kept.startsWith(path + '/'); }),
            qPrintable(result.leftCopyPaths.join(' ')));
        for (const QString& path : result.leftCopyPaths)
            QVERIFY2(platform::entryExists(path), qPrintable(path));
        if (readOnly)
            QCOMPARE(snapshotTree(target), before);
        else
            QCOMPARE(platform::readWholeFile(kept),
                     platform::readWholeFile(source + QStringLiteral("/a.txt")));
        const auto logged = fx.logEntries();
        QVERIFY(std::any_of(logged.begin(), logged.end(), [&](const auto& entry) {
            return entry.message.startsWith(QStringLiteral("Copies of what is back at ") + source) &&
                   entry.message.contains(kept);
        }));
    }

    // While the undo compares a file of the volume with its copy at home, held at its second block:
    // a program writes 20 bytes into the block already compared, or opens the file (and would write
    // once the undo ended), or writes them through a shared mapping it made after the undo's look for
    // holders and wrote into before the copy took the file: the kernel marks no new time for the
    // second write into a written page, and the program unmaps the file and ends before the last
    // look. Either way the file stays on the volume, named, the record stays, and the copy at home is
    // the one the undo took.
    void writerDuringTheComparison_data()
    {
        QTest::addColumn<ComparisonWriter>("how");
        QTest::newRow("writes into a compared block") << ComparisonWriter::writes;
        QTest::newRow("opens the file") << ComparisonWriter::opens;
        QTest::newRow("writes twice through a shared mapping") << ComparisonWriter::mapsShared;
    }

    void writerDuringTheComparison()
    {
        QFETCH(ComparisonWriter, how);
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("Disk"));
        const QByteArray original(8 * 1024 * 1024, 'o');
        fx.tree.file(QStringLiteral("Disk/image.raw"), original);
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        const LinkMapping mapping = fx.mappings().constFirst();
        const QString onVolume = fx.targetOf(source) + QStringLiteral("/image.raw");
        const QByteArray written(20, 'w');
        // Opened by the test, which no look counts as a holder, for the program to map once the
        // undo made the folder its copy goes to.
        const int fd = ::open(QFile::encodeName(onVolume).constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(fd >= 0);
        std::unique_ptr<PausedChild> mapper;
        QDir().mkpath(OperationJournal::directory());
        const auto mapOnce = [&] {
            if (how != ComparisonWriter::mapsShared || mapper ||
                fx.reservedSiblings(source, QStringLiteral("restoring")).isEmpty())
                return;
            // The first write leaves the bytes as they were, but the page written.
            mapper = pausedMappedWrite(fd, 4096, original.left(16), 100, written);
        };

        // The comparison reads once the copy stands in the link's place; the copy's own reads come
        // before that.
        int comparedBlocks = 0;
        std::unique_ptr<ForkedHolder> holder;
        bool writtenAgain = false;
        UndoResult result;
        {
            FileOpenGate folderMade(OperationJournal::directory(), mapOnce);
            SKIP_WITHOUT(folderMade);
            FileOpenGate gate(
                onVolume,
                [&] {
                    if (!platform::isRealDirectory(source) || ++comparedBlocks != 2)
                        return;
                    switch (how) {
                    case ComparisonWriter::opens:
                        holder = std::make_unique<ForkedHolder>(onVolume, ForkedHolder::Hold::open);
                        break;
                    case ComparisonWriter::mapsShared:
                        writtenAgain = mapper && mapper->resume();
                        break;
                    case ComparisonWriter::writes:
                        const int writer =
                            ::open(QFile::encodeName(onVolume).constData(), O_WRONLY | O_CLOEXEC);
                        if (writer >= 0 &&
                            ::pwrite(writer, written.constData(), size_t(written.size()), 100) > 0)
                            ::fsync(writer);
                        if (writer >= 0)
                            ::close(writer);
                        writtenAgain = writer >= 0;
                        break;
                    }
                },
                FileOpenGate::Openings::reads);
            SKIP_WITHOUT(gate);
            result = fx.undoService().undoMigration(mapping.id, QStringLiteral("user"));
        }
        ::close(fd);
        QVERIFY2(comparedBlocks >= 2, "the comparison was never held at its second block");
        QVERIFY(how == ComparisonWriter::opens ? holder && holder->isHolding() : writtenAgain);

        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(platform::readWholeFile(source + QStringLiteral("/image.raw")), original);
        QVERIFY2(result.leftBehind(), "the undo called itself done while the file changed or was held");
        QCOMPARE(result.leftBehindPaths, QStringList{onVolume});
        QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
        const QByteArray onVolumeNow = platform::readWholeFile(onVolume);
        QCOMPARE(onVolumeNow.size(), original.size());
        QCOMPARE(onVolumeNow.mid(100, written.size()),
                 how == ComparisonWriter::opens ? original.mid(100, written.size()) : written);
        // One line of the log tells it, in the user's paths: the hidden folder the copy came home
        // through means nothing to them.
        const QList<LogEntry> logged = fx.logEntries();
        QCOMPARE(std::count_if(logged.begin(), logged.end(),
                               [&](const LogEntry& entry) { return entry.message.contains(onVolume); }),
                 1);
        QVERIFY(std::none_of(logged.begin(), logged.end(),
                             [](const LogEntry& entry) { return entry.message.contains(".orvalink-"); }));
    }

    // A program writes a new file through the link while the undo copies the data home: the file is
    // not lost, the undo does not call itself done, it names where the file is, the record stays, and
    // an append restore of that record brings the file home.
    void writerDuringTheUndo()
    {
        bool caught = false;
        for (int round = 0; round < 10 && !caught; ++round) {
            ManyFilesMigrated migrated;
            SKIP_WITHOUT(migrated.fx);
            auto& [fx, source, target, mapping, undo] = migrated;
            const QString late = target + QLatin1Char('/') + kLateName;

            DuringTheCopy writer(fx, source, [&source] { return writeThroughTheLink(source); });
            const UndoResult result = undoWatched(undo, mapping, writer);
            QVERIFY(platform::isRealDirectory(source));
            QCOMPARE(QDir(source).entryList({QStringLiteral("*.bin")}, QDir::Files).size(), kFileCount);
            if (!writer.acted()) {
                // The round missed the copy: an ordinary undo, with nothing on the volume.
                QVERIFY(!result.leftBehind());
                QVERIFY(!platform::entryExists(target));
                continue;
            }
            caught = true;
            // The new file is somewhere the answer names: still on the volume, or home.
            if (platform::entryExists(late)) {
                QVERIFY2(result.leftBehind(), "the undo reported success while a file stayed on the volume");
                QVERIFY2(result.leftBehindPaths.contains(late), qPrintable(result.leftBehindPaths.join(' ')));
                QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
                QVERIFY(fx.logEntries().constLast().message.contains(late));
                QVERIFY(operationsFolderNames().isEmpty());

                // The forced restore of the kept record brings it home; nothing of either side is lost.
                const UndoResult restored = undo.undoMigration(
                    mapping.id, QStringLiteral("user"), UndoAnswers{ForcedUndoRestoreMode::append, false});
                QVERIFY(restored.forceRestoreSummary);
                QCOMPARE(QDir(source).entryList({QStringLiteral("*.bin")}, QDir::Files).size(), kFileCount);
                QVERIFY(fx.mappings().isEmpty());
                QVERIFY(!platform::entryExists(target));
            } else {
                QVERIFY2(!result.leftBehind(),
                         "nothing stayed on the volume, yet the undo was called incomplete");
                QVERIFY(fx.mappings().isEmpty());
            }
            QCOMPARE(platform::readWholeFile(source + QLatin1Char('/') + kLateName), kLateContent);
        }
        QVERIFY2(caught, "no round caught the copy midway");
    }

    // A program rewrites state.db in place through the link right after the undo copied it home and
    // leaves it the time the copy took: on a volume that keeps whole seconds by writing in the second
    // of its last write, on any volume by putting back the time it found (as cp -p, touch -r or
    // rsync --inplace -t do), however long ago that lies. The newer content is not lost: it stays on
    // the volume, named, the record stays, and only what is proven the same as its copy at home goes.
    void rewriteKeepingTheTime_data()
    {
        QTest::addColumn<EngineFixture::Volume>("volume");
        QTest::addColumn<bool>("putsTimeBack");
        for (const LoopMount::Kind kind : {LoopMount::Kind::wholeSecondsExt4, LoopMount::Kind::vfat})
            QTest::addRow("%s, the same second", loopKindName(kind)) << volumeOf(kind) << false;
        QTest::newRow("fine times, written long ago, time put back") << EngineFixture::Volume::tmpfs << true;
    }

    void rewriteKeepingTheTime()
    {
        QFETCH(EngineFixture::Volume, volume);
        QFETCH(bool, putsTimeBack);
        const QByteArray older(kStateBytes, 'o');
        const QByteArray newer(kStateBytes, 'n');
        EngineFixture fx(volume);
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("App"));
        fx.tree.file(QStringLiteral("App/state.db"), older);
        fx.tree.file(QStringLiteral("App/notes.txt"), "kept as it was");
        QCOMPARE(fx.migrate(source).task.status, TaskStatus::completed);
        const LinkMapping mapping = fx.mappings().constFirst();
        const QString target = fx.targetOf(source);
        const QString onVolume = target + QStringLiteral("/state.db");
        const QStringList names{QStringLiteral("state.db"), QStringLiteral("notes.txt")};
        if (putsTimeBack)
            writtenLongAgo(target, names);
        else
            touchedJustNow(target, names);
        const timespec before = modifiedAt(onVolume);

        // The undo updates its record once the copy is complete, before the link gives way to it:
        // the program writes then, and its write leaves the time the file had (one within the same
        // second does so by itself; here the time is put back, whatever the clock did meanwhile).
        QDir().mkpath(OperationJournal::directory());
        std::atomic<bool> rewritten{false};
        UndoResult result;
        {
            FileOpenGate gate(OperationJournal::directory(), [&] {
                const QStringList siblings = fx.reservedSiblings(source, QStringLiteral("restoring"));
                if (rewritten || siblings.isEmpty() ||
                    QFileInfo(siblings.constFirst() + QStringLiteral("/state.db")).size() != kStateBytes)
                    return;
                rewritten = rewriteInPlace(source + QStringLiteral("/state.db"), newer) &&
                            setModified(onVolume, before);
            });
            SKIP_WITHOUT(gate);
            result = fx.undoService().undoMigration(mapping.id, QStringLiteral("user"));
        }
        QVERIFY(rewritten);
        QVERIFY(modifiedAt(onVolume) == before);

        QVERIFY(platform::isRealDirectory(source));
        QCOMPARE(platform::readWholeFile(source + QStringLiteral("/state.db")), older);
        QVERIFY2(result.leftBehind(), "the undo reported success while the newer state.db was on the volume");
        QCOMPARE(result.leftBehindPaths, QStringList{onVolume});
        QCOMPARE(platform::readWholeFile(onVolume), newer);
        QVERIFY(!platform::entryExists(target + QStringLiteral("/notes.txt")));
        QCOMPARE(fx.mappings(), QList<LinkMapping>{mapping});
    }

    // Nothing changed during the undo on a volume whose times prove nothing: the content proves it,
    // and the undo completes and leaves nothing on the volume.
    void unchangedDataLeavesTheCoarseVolume_data() { addCoarseVolumeRows(); }

    void unchangedDataLeavesTheCoarseVolume()
    {
        QFETCH(LoopMount::Kind, kind);
        EngineFixture fx(volumeOf(kind));
        SKIP_WITHOUT(fx);
        const QString source = fx.tree.path(QStringLiteral("Docs"));
        migrateFolder(fx, source);
        const LinkMapping mapping = fx.mappings().constFirst();
        const QString target = fx.targetOf(source);
        const QStringList names{QStringLiteral("a.txt"), QStringLiteral("sub/b.bin")};
        touchedJustNow(target, names);
        QList<QByteArray> contents;
        for (const QString& name : names)
            contents.append(platform::readWholeFile(target + QLatin1Char('/') + name));

        fx.undoService().undoMigration(mapping.id, QStringLiteral("user"));
        QVERIFY(platform::isRealDirectory(source));
        for (qsizetype index = 0; index < names.size(); ++index)
            QCOMPARE(platform::readWholeFile(source + QLatin1Char('/') + names[index]), contents[index]);
        QVERIFY(!platform::entryExists(target));
        QVERIFY(fx.mappings().isEmpty());
        QVERIFY(operationsFolderNames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(UndoWritersTest)
#include "tst_undowriters.moc"
