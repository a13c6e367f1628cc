#include "platform/DirectoryListing.h"
#include "platform/TreeMeasurer.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::platform;

namespace {

// What the file system says one file occupies, the definition the walker must sum.
qint64 occupied(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return std::max<qint64>(info.st_size, qint64(info.st_blocks) * 512);
}

// An independent sum over the tree with Qt's iterator (no links followed).
qint64 referenceTotal(const QString& root, bool includeHidden)
{
    QDir::Filters filters = QDir::Files | QDir::NoSymLinks | QDir::System;
    if (includeHidden)
        filters |= QDir::Hidden;
    QDir::Filters dirFilters = QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks;
    if (includeHidden)
        dirFilters |= QDir::Hidden;
    qint64 total = 0;
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QDir dir(pending.takeLast());
        for (const QFileInfo& file : dir.entryInfoList(filters))
            total += file.isFile() ? occupied(file.filePath()) : 0;
        for (const QFileInfo& sub : dir.entryInfoList(dirFilters))
            pending.append(sub.filePath());
    }
    return total;
}

qint64 measure(const QString& root, bool includeHidden = true, int threads = 1)
{
    return measureTrees({root}, {includeHidden, threads, {}}).front().value_or(-1);
}

// A few hundred directories of uneven depth and width with files of assorted sizes.
void buildRandomTree(test::TestTree& tree, const QString& base, quint32 seed)
{
    QRandomGenerator random(seed);
    QStringList dirs{base};
    for (int i = 0; i < 120; ++i) {
        const QString parent = dirs[random.bounded(int(dirs.size()))];
        const QString name = QStringLiteral("%1/%2d%3").arg(parent, i % 13 == 5 ? "." : "").arg(i);
        dirs.append(tree.dir(name).mid(tree.root().size() + 1));
    }
    for (int i = 0; i < 600; ++i) {
        const QString parent = dirs[random.bounded(int(dirs.size()))];
        const QString name = QStringLiteral("%1/%2f%3").arg(parent, i % 17 == 0 ? "." : "").arg(i);
        if (i % 23 == 0)
            tree.sparseFile(name, qint64(random.bounded(1 << 20)) * 1024);
        else
            tree.fileOfSize(name, random.bounded(9000));
    }
}

} // namespace

class TreeMeasurerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestHome> m_home;
    std::unique_ptr<test::TestTree> m_randomTree;

private Q_SLOTS:
    void initTestCase()
    {
        m_home = std::make_unique<test::TestHome>();
        m_randomTree = std::make_unique<test::TestTree>(m_home->path("random"));
        buildRandomTree(*m_randomTree, "a", 7);
        buildRandomTree(*m_randomTree, "b", 11);
        m_randomTree->dir("empty");
        m_randomTree->settle();
    }

    void hiddenNamesAreSkippedWithTheirContents()
    {
        test::TestHome home;
        test::TestTree tree(home.path("t"));
        tree.fileOfSize(".root-is-hidden/visible", 5000);
        tree.fileOfSize(".root-is-hidden/.dotfile", 7000);
        tree.fileOfSize(".root-is-hidden/.cache/inside", 9000);
        tree.settle();
        const QString root = tree.path(".root-is-hidden");
        QCOMPARE(measure(root, false), occupied(tree.path(".root-is-hidden/visible")));
        QCOMPARE(measure(root, true), referenceTotal(root, true));
    }

    void totalsDoNotDependOnThreads_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<bool>("includeHidden");
        QTest::addColumn<int>("openDirectoryBudget");
        for (int threads : {1, 2, 3, 8, 40}) {
            QTest::addRow("%d threads", threads) << threads << true << 256;
            QTest::addRow("%d threads, no hidden", threads) << threads << false << 256;
        }
        // With no descriptors to spare, directories are opened by their full paths.
        QTest::addRow("1 thread, no open parents") << 1 << true << 0;
        QTest::addRow("4 threads, few open parents") << 4 << false << 2;
    }
    void totalsDoNotDependOnThreads()
    {
        QFETCH(int, threads);
        QFETCH(bool, includeHidden);
        QFETCH(int, openDirectoryBudget);
        const test::TestTree& tree = *m_randomTree;
        const QStringList roots{tree.path("a"), tree.path("b"), tree.path("empty"), tree.path("a/d0")};
        // The tree has hidden files and directories, so the two modes really differ.
        QVERIFY(referenceTotal(roots[0], false) < referenceTotal(roots[0], true));
        const auto results = measureTrees(roots, {includeHidden, threads, {}, openDirectoryBudget});
        QCOMPARE(results.size(), size_t(4));
        for (int i = 0; i < roots.size(); ++i)
            QCOMPARE(results[size_t(i)].value_or(-1), referenceTotal(roots[i], includeHidden));
    }

    void cancelledWalkThrows()
    {
        const test::TestTree& tree = *m_randomTree;
        const CancellationToken token = CancellationToken::create();
        const CancellationToken callerCopy = token;
        callerCopy.cancel();
        QVERIFY(token.isCancelled());
        QVERIFY_THROWS_EXCEPTION(WalkCancelled, measureTrees({tree.path("a")}, {true, 4, token}));
        QVERIFY_THROWS_EXCEPTION(WalkCancelled, listDirectory(tree.path("a"), true, token));
        QVERIFY(!CancellationToken().isCancelled());
    }
};

QTEST_GUILESS_MAIN(TreeMeasurerTest)
#include "tst_treemeasurer.moc"
