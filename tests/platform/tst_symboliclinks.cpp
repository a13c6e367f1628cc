// Reading and replacing links, and what lstat says about an entry.
#include "platform/EntryStatus.h"
#include "platform/FileIO.h"
#include "platform/PlatformError.h"
#include "platform/SymbolicLinks.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QFileInfo>
#include <QTest>
#include <cerrno>

using namespace orvalink;
using namespace orvalink::platform;

class SymbolicLinksTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entryKindNeverFollowsLinks()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("dir");
        tree.file("file", "12345");
        tree.symlink("toDir", tree.path("dir"));
        tree.symlink("dangling", tree.path("nothing"));
        tree.fifo("pipe");
        QCOMPARE(entryStatus(tree.path("dir")).kind, EntryKind::directory);
        QCOMPARE(entryStatus(tree.path("toDir")).kind, EntryKind::symbolicLink);
        QCOMPARE(entryStatus(tree.path("dangling")).kind, EntryKind::symbolicLink);
        QCOMPARE(entryStatus(tree.path("pipe")).kind, EntryKind::other);
        QCOMPARE(entryStatus(tree.path("nothing")).kind, EntryKind::none);
        QCOMPARE(entryStatus(tree.path("file/below")).kind, EntryKind::none);
        // Only the directory itself is a real one; a link to it never is.
        QVERIFY(isRealDirectory(tree.path("dir")));
        QVERIFY(!isRealDirectory(tree.path("toDir")));
        QVERIFY(!isRealDirectory(tree.path("file")));
        QVERIFY(!isRealDirectory(tree.path("nothing")));
        const EntryStatus file = entryStatus(tree.path("file"));
        QCOMPARE(file.kind, EntryKind::regularFile);
        QCOMPARE(file.length, 5);
    }

    void linkTextIsReadUnresolved()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.symlink("relative", "../up/there");
        tree.file("plain");
        QCOMPARE(readSymbolicLink(tree.path("relative")), QStringLiteral("../up/there"));
        QCOMPARE(readSymbolicLink(tree.path("plain")), std::nullopt);
        QCOMPARE(readSymbolicLink(tree.path("missing")), std::nullopt);
    }

    // The destination a link names, in standard form, without resolving anything on the way.
    void linkDestinationIsTakenFromItsFolder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("destination");
        QTest::newRow("relative, climbing") << "../up/./there/"
                                            << "@root/up/there";
        QTest::newRow("relative, a sibling") << "sibling"
                                             << "@root/dir/sibling";
        QTest::newRow("absolute") << "/a/./b/../c/"
                                  << "/a/c";
        QTest::newRow("absolute, climbing past the root") << "/../x"
                                                          << "/x";
    }
    void linkDestinationIsTakenFromItsFolder()
    {
        QFETCH(QString, text);
        QFETCH(QString, destination);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("dir/resolved-not");
        const QString link = tree.symlink("dir/link", text);
        QCOMPARE(symbolicLinkDestination(link), destination.replace("@root", home.root()));
        QCOMPARE(symbolicLinkDestination(tree.path("dir/resolved-not")), std::nullopt);
        QCOMPARE(symbolicLinkDestination(tree.path("dir/missing")), std::nullopt);
    }

    // Where a write through a link lands, as the kernel resolves the texts: a dangling link leads to
    // a file that does not exist yet; what cannot be a file is refused.
    void linkedFileIsLocatedAsTheKernelFindsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("located"); // empty: refused
        QTest::addColumn<int>("expectedErrno");
        QTest::newRow("through a linked folder, climbing") << "linked/../file"
                                                           << "@root/real/deeper/file" << 0;
        QTest::newRow("dangling, in an existing folder") << "real/new"
                                                         << "@root/real/deeper/new" << 0;
        QTest::newRow("a folder") << "linked/.." << QString() << EISDIR;
        QTest::newRow("a folder, trailing slash") << "real/" << QString() << EISDIR;
        QTest::newRow("into a missing folder") << "missing/file" << QString() << ENOENT;
        QTest::newRow("a loop") << "loop" << QString() << ELOOP;
    }
    void linkedFileIsLocatedAsTheKernelFindsIt()
    {
        QFETCH(QString, text);
        QFETCH(QString, located);
        QFETCH(int, expectedErrno);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file("real/file");
        tree.dir("real/deeper/inner");
        tree.symlink("dir/linked", tree.path("real/deeper/inner"));
        tree.symlink("dir/loop", "loop");
        tree.symlink("dir/real", "../real/deeper");
        const QString link = tree.symlink("dir/store", text);
        try {
            const EntryLocation location = locateLinkedFile(link);
            QCOMPARE(location.path, located.replace("@root", QFileInfo(home.root()).canonicalFilePath()));
            QCOMPARE(expectedErrno, 0);
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), expectedErrno);
        }
    }

    // A link's text that leads to the same place from any folder.
    void anchoredTextLeadsToTheSamePlace()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file("real/shared.jsonl", "data");
        tree.dir("real/deep");
        tree.symlink("linked", tree.path("real/deep"));
        tree.symlink("real/deep/store", "../shared.jsonl");
        tree.symlink("absolute", "/x/y");
        const std::optional<QString> anchored = anchoredLinkText(tree.path("linked/store"));
        QCOMPARE(anchored, QFileInfo(tree.path("real/deep")).canonicalFilePath() + "/../shared.jsonl");
        tree.symlink("elsewhere/moved", *anchored);
        QCOMPARE(readWholeFile(tree.path("elsewhere/moved")), QByteArray("data"));
        QCOMPARE(anchoredLinkText(tree.path("absolute")), QStringLiteral("/x/y"));
        QCOMPARE(anchoredLinkText(tree.path("real/shared.jsonl")), std::nullopt);
    }

    void brokenLinkIsReplacedInOneStep()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.dir("new");
        const QString link = tree.symlink("Music", "/old/mount/Music");
        replaceSymbolicLink(link, tree.path("new"), tree.path(".Music.tmp"));
        QCOMPARE(readSymbolicLink(link), tree.path("new"));
        QVERIFY(!entryExists(tree.path(".Music.tmp")));
    }

    // Only a link is ever replaced: a real item at the path stays, and the new link is discarded.
    void onlyALinkIsReplaced_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("directory") << true;
        QTest::newRow("file") << false;
    }
    void onlyALinkIsReplaced()
    {
        QFETCH(bool, directory);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString path = directory ? tree.dir("Music") : tree.file("Music", "data");
        try {
            replaceSymbolicLink(path, tree.path("new"), tree.path(".Music.tmp"));
            QFAIL("replaced a real item");
        } catch (const PlatformError& error) {
            QCOMPARE(error.errorNumber(), EEXIST);
        }
        QCOMPARE(entryStatus(path).kind, directory ? EntryKind::directory : EntryKind::regularFile);
        QVERIFY(!entryExists(tree.path(".Music.tmp")));
    }
};

QTEST_GUILESS_MAIN(SymbolicLinksTest)
#include "tst_symboliclinks.moc"
