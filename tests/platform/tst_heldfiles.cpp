// What a writer killed midway leaves beside a store goes; what a live writer fills, and everything
// that is not a writer's own leftover, stays.
#include "platform/FileIO.h"
#include "platform/HeldFiles.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/PausedChild.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;
using orvalink::test::PausedChild;

namespace {

constexpr qsizetype kWrittenBytes = 200 * 1024;

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool isHistoryName(const QString& name)
{
    return name == QLatin1String("mappings.jsonl") || name == QLatin1String("tasks.jsonl");
}

} // namespace

class HeldFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void temporaryNamesAreTold_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("finalName");
        QTest::newRow("a writer's") << "mappings.jsonl.0a1b2c3d4e5f6"
                                    << "mappings.jsonl";
        QTest::newRow("a record's") << "1B4E28BA-2FA1-11D2-883F-0016D3CCA427.json.zzzzzzzzzzzzz"
                                    << "1B4E28BA-2FA1-11D2-883F-0016D3CCA427.json";
        QTest::newRow("one character short") << "mappings.jsonl.0a1b2c3d4e5f" << QString();
        QTest::newRow("capitals") << "mappings.jsonl.0A1B2C3D4E5F6" << QString();
        QTest::newRow("no final name") << ".0a1b2c3d4e5f6" << QString();
        QTest::newRow("a set-aside record") << "x.json.set-aside" << QString();
        QTest::newRow("a backup") << "mappings.jsonl.bak" << QString();
    }
    void temporaryNamesAreTold()
    {
        QFETCH(QString, name);
        QFETCH(QString, finalName);
        QCOMPARE(finalNameOfTemporaryFile(name), finalName);
    }

    // A rewrite killed after a piece of the new content reached the disk leaves its temporary file;
    // the sweep removes it and tells its size, and the store keeps its old content.
    void aKilledWritersTemporaryFileGoes()
    {
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("history")));
        const QString store = tree.file(QStringLiteral("mappings.jsonl"), "old\n");
        auto writer = test::pausedRewrite(store, kWrittenBytes, false);
        QVERIFY(writer->isPaused());
        writer->kill();
        QCOMPARE(namesIn(tree.root()).size(), 2);

        const RemovedFiles removed = removeAbandonedTemporaryFiles(tree.root(), isHistoryName);

        QCOMPARE(removed.count, 1);
        QCOMPARE(removed.bytes, kWrittenBytes);
        QCOMPARE(namesIn(tree.root()), QStringList{"mappings.jsonl"});
        QCOMPARE(tree.read(QStringLiteral("mappings.jsonl")), QByteArray("old\n"));
    }

    // A writer in another process that is still filling its temporary file, or has closed it and
    // waits to put it in place, keeps it, and puts it in place once it goes on.
    void aLiveWritersTemporaryFileStays_data()
    {
        QTest::addColumn<bool>("sealed");
        QTest::newRow("being written") << false;
        QTest::newRow("closed, waiting for its rename") << true;
    }
    void aLiveWritersTemporaryFileStays()
    {
        QFETCH(bool, sealed);
        test::TestHome home;
        test::TestTree tree(home.path(QStringLiteral("history")));
        const QString store = tree.file(QStringLiteral("tasks.jsonl"), "old\n");
        auto writer = test::pausedRewrite(store, kWrittenBytes, sealed);
        QVERIFY(writer->isPaused());
        const QStringList during = namesIn(tree.root());
        QCOMPARE(during.size(), 2);

        const RemovedFiles removed = removeAbandonedTemporaryFiles(tree.root(), isHistoryName);

        QCOMPARE(removed.count, 0);
        QCOMPARE(namesIn(tree.root()), during);
        QVERIFY(writer->resume());
        QCOMPARE(namesIn(tree.root()), QStringList{"tasks.jsonl"});
        QCOMPARE(tree.read(QStringLiteral("tasks.jsonl")), QByteArray(kWrittenBytes, 'x'));
    }

    // Only an unheld regular file of this user, named as a writer names its temporary file for a
    // store the caller names, goes; a link is neither removed nor followed, nor is a folder that
    // is a link entered.
    void nothingButTheWritersOwnLeftoversGoes()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString folder = tree.dir(QStringLiteral("history"));
        tree.file(QStringLiteral("history/mappings.jsonl.0000000000000"), "left");
        const QStringList staying{
            tree.file(QStringLiteral("history/mappings.jsonl"), "store"),
            tree.file(QStringLiteral("history/mappings.jsonl.000000000000"), "short"),
            tree.file(QStringLiteral("history/mappings.jsonl.000000000000A"), "capital"),
            tree.file(QStringLiteral("history/notes.txt.0000000000000"), "another name"),
            tree.symlink(QStringLiteral("history/tasks.jsonl.0000000000001"),
                         tree.path(QStringLiteral("target"))),
            tree.dir(QStringLiteral("history/tasks.jsonl.0000000000002")),
            tree.fifo(QStringLiteral("history/tasks.jsonl.0000000000003")),
            tree.file(QStringLiteral("history/tasks.jsonl.0000000000004"), "held here"),
        };
        tree.file(QStringLiteral("target"), "the link's target");
        tree.file(QStringLiteral("elsewhere/tasks.jsonl.0000000000005"), "behind a linked folder");
        const QString linkedFolder =
            tree.symlink(QStringLiteral("linked"), tree.path(QStringLiteral("elsewhere")));
        const UniqueFd holder(::open(QFile::encodeName(staying.last()).constData(), O_RDONLY | O_CLOEXEC));
        QCOMPARE(::flock(holder.get(), LOCK_EX), 0);

        const RemovedFiles removed = removeAbandonedTemporaryFiles(folder, isHistoryName);
        const RemovedFiles throughLink = removeAbandonedTemporaryFiles(linkedFolder, isHistoryName);

        QCOMPARE(removed.count, 1);
        QCOMPARE(removed.bytes, 4);
        QCOMPARE(throughLink.count, 0);
        QVERIFY(!QFileInfo::exists(tree.path(QStringLiteral("history/mappings.jsonl.0000000000000"))));
        for (const QString& path : staying)
            QVERIFY2(entryExists(path), qPrintable(path));
        QCOMPARE(tree.read(QStringLiteral("target")), QByteArray("the link's target"));
        QVERIFY(entryExists(tree.path(QStringLiteral("elsewhere/tasks.jsonl.0000000000005"))));
    }

    // Run as root, a file of the pattern that belongs to another user is not ours to remove.
    void anotherUsersFileStays()
    {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString other = tree.file(QStringLiteral("history/tasks.jsonl.0000000000000"), "theirs");
        QCOMPARE(
            ::chown(QFile::encodeName(other).constData(), test::unprivilegedUid(), test::unprivilegedGid()),
            0);

        QCOMPARE(removeAbandonedTemporaryFiles(tree.path(QStringLiteral("history")), isHistoryName).count, 0);
        QVERIFY(entryExists(other));
    }
};

QTEST_GUILESS_MAIN(HeldFilesTest)
#include "tst_heldfiles.moc"
