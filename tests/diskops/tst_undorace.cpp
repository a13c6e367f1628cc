// While an undo runs, another user's folder of the same name is exchanged into the place of the
// migrated folder on the volume and out again, over and over: whatever the undo meets at each of its
// looks, nothing of theirs is brought home, and the user's data ends whole at home, or on the volume
// with its record kept; and once the race is over, an undo it stopped goes through.
#include "EngineFixture.h"
#include "diskops/UndoService.h"
#include "model/OrvalinkError.h"
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "store/JSONLStore.h"
#include "support/PathExchanger.h"
#include "support/SkipWithout.h"

#include <QDirIterator>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalink;
using test::EngineFixture;

namespace {

constexpr uid_t kAnotherUser = 65534;
constexpr int kRounds = 60;
// Of the rounds whose undo the race stopped, how many are undone again once it is over.
constexpr int kRetries = 5;
// Yields of the exchanging thread after each exchange: long enough for the undo to look at the
// target twice and act on what it saw while the same folder stands there.
constexpr int kPause = 400;

bool hasFile(const QString& folder, const QString& name, const QByteArray& content)
{
    QFile file(folder + QLatin1Char('/') + name);
    return platform::entryStatus(folder).kind == platform::EntryKind::directory &&
           file.open(QIODevice::ReadOnly) && file.readAll() == content;
}

uid_t ownerOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_uid : uid_t(-1);
}

// Every file below `root` that holds `content`.
QStringList filesHolding(const QString& root, const QByteArray& content)
{
    QStringList found;
    QDirIterator files(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll() == content)
            found.append(file.fileName());
    }
    return found;
}

} // namespace

Q_DECLARE_METATYPE(EngineFixture::Volume)

class UndoRaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void anotherUsersFolderNeverComesHome_data()
    {
        QTest::addColumn<EngineFixture::Volume>("volume");
        QTest::newRow("copied back across file systems") << EngineFixture::Volume::tmpfs;
        QTest::newRow("renamed back on one file system") << EngineFixture::Volume::sameFileSystem;
    }
    void anotherUsersFolderNeverComesHome()
    {
        QFETCH(EngineFixture::Volume, volume);
        if (::geteuid() != 0)
            QSKIP("a folder of another user can only be made as root (chown)");
        EngineFixture fx(volume);
        SKIP_WITHOUT(fx);
        fx.setVolumeUUID(fx.volumePath(), "RACED");
        const UndoService undo(fx.mappingStore, fx.taskStore, fx.log, fx.privileged, fx.pathMapping,
                               fx.volumes, fx.processes);
        int undone = 0;
        int retried = 0;
        for (int round = 0; round < kRounds; ++round) {
            const QString name = QStringLiteral("Round%1").arg(round);
            const QByteArray own = "the user's own data of " + name.toUtf8();
            const QByteArray foreign = "another user's data of " + name.toUtf8();
            // What a migration leaves: the folder on the volume, the link to it, the record.
            const QString source = fx.tree.path(name);
            const QString target = fx.targetOf(source);
            test::TestTree(target).file("own.txt", own);
            QVERIFY(QFile::link(target, source));
            const QDateTime now = QDateTime::currentDateTimeUtc();
            const LinkMapping mapping{QUuid::createUuid(), source, target, "user", "RACED", now, now};
            JSONLStore::append(mapping, fx.mappingStore.filePath());
            const QString theirs = fx.volumePath() + "/Theirs/" + name;
            test::TestTree(theirs).file("theirs.txt", foreign);
            QCOMPARE(
                ::lchown(QFile::encodeName(theirs + "/theirs.txt").constData(), kAnotherUser, kAnotherUser),
                0);
            QCOMPARE(::lchown(QFile::encodeName(theirs).constData(), kAnotherUser, kAnotherUser), 0);

            bool succeeded = false;
            {
                const test::PathExchanger exchanger(target, theirs, kPause);
                exchanger.waitForExchanges(1);
                try {
                    // Home, but with something left at the target (the exchanged folder), the record
                    // stays: no undo either.
                    succeeded = !undo.undoMigration(mapping.id, "user").leftBehind();
                } catch (const std::exception&) {
                    // Refused or failed: what counts is where everything is now.
                }
            }

            const QString where = QStringLiteral("round %1").arg(round);
            QVERIFY2(filesHolding(fx.tree.root(), foreign).isEmpty(), qPrintable(where));
            const QStringList theirsNow = filesHolding(fx.volumePath(), foreign);
            QVERIFY2(theirsNow.size() == 1, qPrintable(where));
            QCOMPARE(ownerOf(theirsNow.constFirst().section('/', 0, -2)), kAnotherUser);
            const QList<LinkMapping> recorded = fx.mappings();
            const bool recordKept =
                std::any_of(recorded.cbegin(), recorded.cend(),
                            [&](const LinkMapping& each) { return each.id == mapping.id; });
            if (hasFile(source, "own.txt", own)) {
                QCOMPARE(ownerOf(source), ::geteuid());
                undone += succeeded ? 1 : 0;
            } else {
                QVERIFY2(recordKept, qPrintable(where + ": the data is on the volume, its record gone"));
                QVERIFY2(hasFile(target, "own.txt", own) || hasFile(theirs, "own.txt", own),
                         qPrintable(where + ": the user's data is at none of its places"));
                QCOMPARE(platform::entryStatus(source).kind, platform::EntryKind::symbolicLink);
            }
            QCOMPARE(recordKept, !succeeded);
            // A few such rounds prove the point; each costs a whole undo.
            if (hasFile(source, "own.txt", own) || retried >= kRetries)
                continue;

            // A refusal was the race's doing, not the undo's: with the folders back where they belong
            // and nobody exchanging them, the same undo goes through and brings the user's data home.
            if (hasFile(theirs, "own.txt", own))
                QCOMPARE(::renameat2(AT_FDCWD, QFile::encodeName(target).constData(), AT_FDCWD,
                                     QFile::encodeName(theirs).constData(), RENAME_EXCHANGE),
                         0);
            if (hasFile(target, "own.txt", own)) {
                try {
                    undo.undoMigration(mapping.id, "user");
                } catch (const std::exception& error) {
                    QFAIL(qPrintable(where + ": the undo was refused without a race: " + error.what()));
                }
                QVERIFY2(hasFile(source, "own.txt", own), qPrintable(where));
                QVERIFY2(hasFile(theirs, "theirs.txt", foreign), qPrintable(where));
                ++retried;
            }
        }
        // How many go through at once depends on the timing alone; said for whoever reads the output.
        qInfo("%d of %d undos went through during the race, %d after it", undone, kRounds, retried);
        QVERIFY2(undone + retried > 0, "no undo went through, with or without the race");
    }
};

QTEST_GUILESS_MAIN(UndoRaceTest)
#include "tst_undorace.moc"
