// Folders reached one component at a time without links, and removals held to the entry they
// checked: a path renamed, linked or exchanged meanwhile never hands them somebody else's data.
#include "platform/EntryLocation.h"
#include "platform/PlatformError.h"
#include "platform/TreeRemoval.h"
#include "platform/VerifiedDirectory.h"
#include "support/ErrorOf.h"
#include "support/PathExchanger.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "support/TreeSnapshot.h"

#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalink;
using namespace orvalink::platform;
using namespace orvalink::test;

namespace {

EntryIdentity identityOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return EntryIdentity{0, 0};
    return EntryIdentity::of(info);
}

// Where the entry `identity` stands now, of the two paths; empty when at neither.
QString whereIs(const EntryIdentity& identity, const QString& first, const QString& second)
{
    if (identityOf(first) == identity)
        return first;
    return identityOf(second) == identity ? second : QString();
}

} // namespace

class VerifiedDirectoryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusesWhatALinkLeadsTo_data()
    {
        QTest::addColumn<QString>("path"); // below the start, "a/b/c" real, "link" a link to "a"
        QTest::addColumn<bool>("deepest"); // openDeepest instead of open
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reached"); // openDeepest: the folder it ends at
        QTest::newRow("real folders") << "a/b/c" << false << 0 << "a/b/c";
        QTest::newRow("link first") << "link/b/c" << false << ELOOP << "";
        QTest::newRow("link last") << "a/b/up" << false << ELOOP << "";
        QTest::newRow("link to / in the middle") << "a/root/tmp" << false << ELOOP << "";
        QTest::newRow("missing folder") << "a/gone/c" << false << ENOENT << "";
        QTest::newRow("file on the way") << "a/file/c" << false << ENOTDIR << "";
        QTest::newRow("deepest stops at a missing folder") << "a/b/gone/deeper" << true << 0 << "a/b";
        QTest::newRow("deepest stops at a file") << "a/file/c" << true << 0 << "a";
        QTest::newRow("deepest still refuses a link") << "a/root/gone" << true << ELOOP << "";
        QTest::newRow("NUL in a name")
            << QStringLiteral("a/b") + QChar(0) + QStringLiteral("/c") << false << EINVAL << "";
        QTest::newRow("climbing out") << "a/../../elsewhere" << false << EINVAL << "";
    }
    void refusesWhatALinkLeadsTo()
    {
        QFETCH(QString, path);
        QFETCH(bool, deepest);
        QFETCH(int, error);
        QFETCH(QString, reached);
        TestHome home;
        TestTree tree(home.path("start"));
        tree.dir("a/b/c");
        tree.file("a/file", "data");
        tree.symlink("link", tree.path("a"));
        tree.symlink("a/b/up", tree.path("a"));
        tree.symlink("a/root", QStringLiteral("/"));
        const QString full = tree.root() + QLatin1Char('/') + path;

        std::optional<VerifiedDirectory> opened;
        QCOMPARE(errorOf([&] {
                     opened.emplace(deepest ? VerifiedDirectory::openDeepest(tree.root(), full)
                                            : VerifiedDirectory::open(tree.root(), full));
                 }),
                 error);
        if (error != 0)
            return;
        QCOMPARE(opened->path(), tree.path(reached));
        QCOMPARE(opened->identity(), identityOf(tree.path(reached)));
        // The steps are the folders passed, from the start on.
        QCOMPARE(opened->steps().constFirst().path, tree.root());
        QCOMPARE(opened->steps().size(), reached.count(QLatin1Char('/')) + 2);
        for (const VerifiedDirectory::Step& step : opened->steps())
            QCOMPARE(step.identity, identityOf(step.path));
    }

    // Links of the user's own (or root's) are followed, each hop resolved under the same rule;
    // anyone else's is refused wherever it stands on the way.
    void followsOnlyOwnLinks_data()
    {
        QTest::addColumn<QString>("path"); // below the start; "docs" links to "../elsewhere/Documents"
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reached"); // below the test home
        QTest::newRow("an own relative link") << "docs/Projects" << 0 << "elsewhere/Documents/Projects";
        QTest::newRow("a chain of own links") << "chain/Projects" << 0 << "elsewhere/Documents/Projects";
        QTest::newRow("an own link to a missing folder") << "dangling/x" << ENOENT << "";
        QTest::newRow("a loop of links") << "loop/x" << ELOOP << "";
        QTest::newRow("another user's link") << "foreign/Projects" << ELOOP << "";
        QTest::newRow("an own link through another user's") << "viaForeign/Projects" << ELOOP << "";
    }
    void followsOnlyOwnLinks()
    {
        QFETCH(QString, path);
        QFETCH(int, error);
        QFETCH(QString, reached);
        TestHome home;
        TestTree outside(home.path("elsewhere"));
        outside.dir("Documents/Projects");
        TestTree tree(home.path("start"));
        tree.symlink("docs", "../elsewhere/Documents");
        tree.symlink("chain", "docs");
        tree.symlink("dangling", "../elsewhere/gone");
        tree.symlink("loop", "loop");
        tree.symlink("foreign", outside.path("Documents"));
        tree.symlink("viaForeign", "foreign");
        // Only root can give a link away; as anyone else the link stays one's own.
        const bool given = ::lchown(QFile::encodeName(tree.path("foreign")).constData(), 65534, 65534) == 0;
        if (path.startsWith("foreign") || path.startsWith("viaForeign")) {
            if (!given)
                QSKIP("a link of another user can only be made by root");
        }

        std::optional<VerifiedDirectory> opened;
        QCOMPARE(errorOf([&] {
                     opened.emplace(VerifiedDirectory::open(tree.root(), tree.path(path),
                                                            VerifiedDirectory::Links::ownFollowed));
                 }),
                 error);
        if (error != 0)
            return;
        QCOMPARE(opened->identity(), identityOf(home.path(reached)));
        QCOMPARE(opened->path(), tree.path(path)); // named as the walk spelled it
        // Without the rule the same way is refused.
        QCOMPARE(errorOf([&] { VerifiedDirectory::open(tree.root(), tree.path(path)); }), ELOOP);
    }

    // The descriptor keeps the folder it checked: renaming the path and putting a link in its place
    // afterwards changes nothing that is reached through it.
    void staysWithTheFolderItChecked()
    {
        TestHome home;
        TestTree tree(home.path("start"));
        tree.file("a/b/mine.txt", "mine");
        tree.file("other/b/theirs.txt", "theirs");
        const VerifiedDirectory folder = VerifiedDirectory::open(tree.root(), tree.path("a/b"));
        QVERIFY(QDir().rename(tree.path("a"), tree.path("moved")));
        tree.symlink("a", tree.path("other"));

        const std::optional<VerifiedDirectory::Step> entry = folder.entry(QStringLiteral("mine.txt"));
        QVERIFY(entry);
        QCOMPARE(entry->identity, identityOf(tree.path("moved/b/mine.txt")));
        QVERIFY(!folder.entry(QStringLiteral("theirs.txt")));
        QCOMPARE(errorOf([&] { VerifiedDirectory::open(tree.root(), tree.path("a/b")); }), ELOOP);
    }

    void lineageClimbsToTheRoot()
    {
        TestHome home;
        TestTree tree(home.path("start"));
        tree.dir("a/b");
        const VerifiedDirectory folder = VerifiedDirectory::open(tree.root(), tree.path("a/b"));
        const QList<EntryIdentity> lineage = folder.lineage();
        QCOMPARE(lineage.value(0), identityOf(tree.path("a/b")));
        QCOMPARE(lineage.value(1), identityOf(tree.path("a")));
        QCOMPARE(lineage.value(2), identityOf(tree.root()));
        QCOMPARE(lineage.constLast(), identityOf(QStringLiteral("/")));
        QVERIFY(!lineage.contains(identityOf(home.path("elsewhere"))));
    }

    // A removal held to one entry takes nothing of another that stands at its path: one found there
    // before it begins stays whole.
    void removalRefusesAnotherEntry()
    {
        TestHome home;
        TestTree tree(home.path("start"));
        tree.file("target/a.txt", "a");
        tree.file("victim/keep.txt", "keep");
        const EntryIdentity target = identityOf(tree.path("target"));
        QVERIFY(QDir().rename(tree.path("target"), tree.path("away")));
        QVERIFY(QDir().rename(tree.path("victim"), tree.path("target")));
        const QStringList victim = snapshotTree(tree.path("target"));
        const VerifiedDirectory folder = VerifiedDirectory::open(tree.root(), tree.root());

        QCOMPARE(errorOf([&] { removeTree(folder.locate(QStringLiteral("target")), target); }), EBUSY);

        QCOMPARE(snapshotTree(tree.path("target")), victim);
        QCOMPARE(tree.read("away/a.txt"), QByteArray("a"));
    }

    // A process exchanges the path being removed with another folder, over and over, while the
    // removal runs: the other folder is never touched, wherever the exchanges leave it.
    void removalRacedByExchangeSparesTheOtherFolder()
    {
        TestHome home;
        TestTree tree(home.path("start"));
        const VerifiedDirectory folder = VerifiedDirectory::open(tree.root(), tree.root());
        tree.file("victim/keep.txt", "keep");
        tree.file("victim/deep/er.txt", "er");
        const QStringList victim = snapshotContents(tree.path("victim"));
        const EntryIdentity victimIdentity = identityOf(tree.path("victim"));
        int refused = 0;
        for (int round = 0; round < 200; ++round) {
            for (int file = 0; file < 3; ++file)
                tree.file(QStringLiteral("target/sub%1/f.txt").arg(file), "f");
            const EntryIdentity target = identityOf(tree.path("target"));
            int error = 0;
            {
                const PathExchanger exchanger(tree.path("target"), tree.path("victim"));
                exchanger.waitForExchanges(1 + round % 3);
                error = errorOf([&] { removeTree(folder.locate(QStringLiteral("target")), target); });
            }
            refused += error != 0 ? 1 : 0;

            const QString victimNow = whereIs(victimIdentity, tree.path("target"), tree.path("victim"));
            QVERIFY2(!victimNow.isEmpty(), qPrintable(QStringLiteral("round %1").arg(round)));
            QCOMPARE(snapshotContents(victimNow), victim);
            // Back to the start: the victim at its name, whatever is left of the target cleared.
            if (victimNow != tree.path("victim")) {
                QDir(tree.path("victim")).removeRecursively();
                QVERIFY(QDir().rename(tree.path("target"), tree.path("victim")));
            }
            QDir(tree.path("target")).removeRecursively();
        }
        qInfo() << "removals that met the other folder and stopped:" << refused;
    }
};

QTEST_GUILESS_MAIN(VerifiedDirectoryTest)
#include "tst_verifieddirectory.moc"
