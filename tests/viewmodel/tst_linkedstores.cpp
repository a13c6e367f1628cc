// History files that the user keeps elsewhere through symbolic links: every rewrite replaces the
// very file the readers read, and a backup of a history file is a copy of its old content.
#include "diskops/EngineFixture.h"
#include "diskops/JournalScenes.h"
#include "diskops/UndoService.h"
#include "model/AppPaths.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "store/JSONLStore.h"
#include "support/FileOpenGate.h"
#include "support/SkipWithout.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TreeSnapshot.h"
#include "viewmodel/history/FileSetReplacement.h"
#include "viewmodel/history/HistoryInstall.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <cstdio>

using namespace orvalink;
using namespace orvalink::test;

namespace {

// The guest history folder made a link into ~/Sync/orvalink/guest, where "mappings.jsonl" is a
// link "../../mappings-shared.jsonl": the history lives in ~/Sync/mappings-shared.jsonl. Answers
// that file's path.
QString linkHistoryIntoSync(const TestHome& home, const QString& mappingsPath)
{
    TestTree tree(home.home());
    const QString synced = tree.dir(QStringLiteral("Sync/orvalink/guest"));
    const QString scope = platform::parentPath(mappingsPath);
    if (platform::entryExists(scope) && !QDir(scope).removeRecursively())
        qFatal("cannot replace %s", qPrintable(scope));
    platform::createDirectories(platform::parentPath(scope));
    if (!QFile::link(synced, scope))
        qFatal("cannot link %s", qPrintable(scope));
    tree.symlink(QStringLiteral("Sync/orvalink/guest/mappings.jsonl"),
                 QStringLiteral("../../mappings-shared.jsonl"));
    return tree.path(QStringLiteral("Sync/mappings-shared.jsonl"));
}

HistoryFiles guestHistory()
{
    return {AppPaths::historyDirectory() + QStringLiteral("/guest/mappings.jsonl"),
            AppPaths::historyDirectory() + QStringLiteral("/guest/tasks.jsonl")};
}

QStringList filesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

LinkMapping mappingNamed(const QString& name)
{
    const QDateTime at = QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC);
    return LinkMapping{QUuid::createUuid(),
                       QStringLiteral("/home/u/") + name,
                       QStringLiteral("/v/") + name,
                       QStringLiteral("u"),
                       QStringLiteral("unknown"),
                       at,
                       at};
}

// A history file of one record.
QByteArray historyLine(const QString& name)
{
    return JSONLStore::encodeLine(mappingNamed(name).toJson()) + '\n';
}

} // namespace

class LinkedStoresTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The undo removes the mapping from the history it reads, not from a file of the same name
    // that the link's text would name when taken from the path as written.
    void undoRemovesTheMappingFromTheLinkedHistory()
    {
        EngineFixture fx;
        SKIP_WITHOUT(fx);
        const QString shared = linkHistoryIntoSync(fx.home, fx.mappingStore.filePath());
        const QString source = fx.tree.path(QStringLiteral("Project"));
        fx.tree.file(QStringLiteral("Project/notes.txt"), "notes");
        const QStringList before = migrateFolder(fx, source);
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(shared).size(), 1);
        const QStringList supportBefore = filesOf(fx.home.appSupport());

        fx.undoNewest(QStringLiteral("someone"));

        QCOMPARE(snapshotTree(source), before);
        QVERIFY(fx.mappings().isEmpty());
        QVERIFY(JSONLStore::loadAll<LinkMapping>(shared).isEmpty());
        QCOMPARE(platform::readSymbolicLink(fx.mappingStore.filePath()),
                 QStringLiteral("../../mappings-shared.jsonl"));
        QCOMPARE(filesOf(fx.home.appSupport()), supportBefore);
        QCOMPARE(filesOf(fx.home.home() + QStringLiteral("/Sync")), QStringList{"mappings-shared.jsonl"});
    }

    // The install through a linked history: the new history is where the link leads, and the
    // backup beside the link is a file of its own with what the history held before. A backup an
    // older version left as a link to the history itself is replaced, not written through.
    void installKeepsTheOldHistoryOfALinkedFile_data()
    {
        QTest::addColumn<bool>("backupLeftAsALink");
        QTest::newRow("first backup") << false;
        QTest::newRow("backup left as a link") << true;
    }
    void installKeepsTheOldHistoryOfALinkedFile()
    {
        QFETCH(bool, backupLeftAsALink);
        TestHome home;
        const HistoryFiles files = guestHistory();
        const QString shared = linkHistoryIntoSync(home, files.mappingsPath);
        const LinkMapping local = mappingNamed(QStringLiteral("Local"));
        JSONLStore::append(local, files.mappingsPath);
        const QByteArray old = platform::readWholeFile(shared);
        const QString backup = files.mappingsPath + QStringLiteral(".bak");
        if (backupLeftAsALink)
            QVERIFY(QFile::link(QStringLiteral("../../mappings-shared.jsonl"), backup));
        const LinkMapping incoming = mappingNamed(QStringLiteral("Cloud"));

        QVERIFY(installHistory(files, {{local, incoming}, {}}, HistoryInstallMode::keepingLocalChanges));

        QVERIFY(!QFileInfo(backup).isSymLink());
        QCOMPARE(platform::readWholeFile(backup), old);
        QVERIFY(QFileInfo(files.mappingsPath).isSymLink());
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(shared), (QList<LinkMapping>{local, incoming}));
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(files.mappingsPath), (QList<LinkMapping>{local, incoming}));

        // A second install keeps the history the first one wrote, and the backup stays a file.
        QVERIFY(installHistory(files, {{incoming}, {}}, HistoryInstallMode::keepingLocalChanges));
        QVERIFY(!QFileInfo(backup).isSymLink());
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(backup), (QList<LinkMapping>{local, incoming}));
    }

    // A sync program puts its own copy of the shared history in place right after the install
    // put the new one there, and then the rename of the next file fails: the rollback leaves the
    // sync program's file as it is, whether the history had an old content to go back to or not.
    void rollbackKeepsAFileAnotherProgramPutInPlace_data()
    {
        QTest::addColumn<bool>("hadContent");
        QTest::newRow("old content to go back to") << true;
        QTest::newRow("no file before") << false;
    }
    void rollbackKeepsAFileAnotherProgramPutInPlace()
    {
        QFETCH(bool, hadContent);
        TestHome home;
        const HistoryFiles files = guestHistory();
        const QString shared = linkHistoryIntoSync(home, files.mappingsPath);
        const QByteArray old = historyLine(QStringLiteral("Old"));
        const QByteArray installed = historyLine(QStringLiteral("New"));
        const QByteArray synced = historyLine(QStringLiteral("Sync"));
        if (hadContent)
            platform::writeFileAtomically(shared, old);
        // Written beforehand: the gate holds the sync program's own openings as well.
        const QString incoming = home.path(QStringLiteral("incoming.jsonl"));
        platform::writeFileAtomically(incoming, synced);
        const QString tasksThere =
            platform::parentPath(shared) + QStringLiteral("/orvalink/guest/tasks.jsonl");

        std::atomic<bool> replaced{false};
        std::optional<platform::PlatformError> failure;
        {
            // The new history is in place once its folder is flushed, which opens that folder.
            FileOpenGate gate(
                home.home(),
                [&] {
                    if (replaced || !QFileInfo::exists(shared) ||
                        platform::readWholeFile(shared) != installed)
                        return;
                    replaced = std::rename(QFile::encodeName(incoming).constData(),
                                           QFile::encodeName(shared).constData()) == 0 &&
                               QDir().mkdir(tasksThere);
                },
                FileOpenGate::Openings::filesAndFolders);
            SKIP_WITHOUT(gate);
            try {
                replaceFilesTogether(
                    {{files.mappingsPath, installed}, {files.tasksPath, QByteArray("{}\n")}});
            } catch (const platform::PlatformError& error) {
                failure = error;
            }
        }
        QVERIFY(replaced);
        QVERIFY(failure);
        QCOMPARE(failure->errorNumber(), EISDIR);
        QVERIFY(QFileInfo::exists(shared));
        QCOMPARE(platform::readWholeFile(shared), synced);
        QVERIFY(QFileInfo(files.mappingsPath).isSymLink());
        if (hadContent)
            QCOMPARE(platform::readWholeFile(files.mappingsPath + QStringLiteral(".bak")), old);
    }
};

QTEST_GUILESS_MAIN(LinkedStoresTest)
#include "tst_linkedstores.moc"
