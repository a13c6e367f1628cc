// Reserved sibling paths and the placeholder test.
#include "diskops/PlaceholderTest.h"
#include "diskops/ReservedPaths.h"
#include "platform/FileMove.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QRegularExpression>
#include <QTest>
#include <QUuid>

using namespace orvalink;

class ReservedPathsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reservedPathIsAHiddenSibling()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString file = tree.file("docs/report.pdf", "x");
        const QString reserved = makeReservedPath(file, ReservedSuffix::staging);
        const QRegularExpression pattern(
            QLatin1Char('^') + QRegularExpression::escape(tree.path("docs/.report.pdf.orvalink-staging-")) +
            QStringLiteral("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
        QVERIFY2(pattern.match(reserved).hasMatch(), qPrintable(reserved));
        QVERIFY(!QFileInfo::exists(reserved));
        // Two migrations of equally named sources never share a staging path.
        QVERIFY(makeReservedPath(file, ReservedSuffix::staging) != reserved);
        QVERIFY(makeReservedPath(file + "/", ReservedSuffix::rollbackConflict)
                    .startsWith(tree.path("docs/.report.pdf.orvalink-rollback-conflict-")));
    }

    // A long name would exceed the file system's limit of 255 bytes once the reserved part is added:
    // the copied name is shortened, never inside a character, and only when needed.
    void longNamesAreShortenedAtACharacterBoundary_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("shortened");
        QTest::newRow("short") << QStringLiteral("Projects") << false;
        QTest::newRow("just fits") << QString(255 - 65, QLatin1Char('a')) << false;
        QTest::newRow("ascii, longest allowed") << QString(255, QLatin1Char('a')) << true;
        QTest::newRow("two-byte letters") << QString(127, QChar(0x00E9)) << true;
        QTest::newRow("three-byte letters") << QString(85, QChar(0x6587)) << true;
        QTest::newRow("four-byte letters")
            << QString::fromUcs4(std::u32string(63, U'\U0001F600').c_str()) << true;
    }
    void longNamesAreShortenedAtACharacterBoundary()
    {
        QFETCH(QString, name);
        QFETCH(bool, shortened);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString item = tree.file(name, "data");
        QVERIFY(QFileInfo::exists(item));

        const QString reserved = makeReservedPath(item, ReservedSuffix::rollbackConflict);
        const QString reservedName = QFileInfo(reserved).fileName();
        const QByteArray bytes = QFile::encodeName(reservedName);
        QVERIFY(bytes.size() <= 255);
        QCOMPARE(QFile::decodeName(bytes), reservedName); // whole characters only
        const QString kept = reservedName.mid(1, reservedName.indexOf(".orvalink-") - 1);
        QVERIFY(name.startsWith(kept));
        QCOMPARE(kept != name, shortened);
        platform::moveItem(item, reserved);
        QCOMPARE(tree.read(reservedName), QByteArray("data"));
    }

    // The names a reserved path may have are recognised by the same rule that makes them, long
    // names shortened included, and nothing else passes for one.
    void reservedPathsAreRecognised_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("short") << QStringLiteral("Projects");
        QTest::newRow("250 bytes") << QString(125, QChar(0x00E9));
    }
    void reservedPathsAreRecognised()
    {
        QFETCH(QString, name);
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString item = tree.dir(name);
        const QString other = tree.dir(QStringLiteral("Other"));
        const QString staging = makeReservedPath(item, ReservedSuffix::staging);
        const QString conflict = makeReservedPath(item, ReservedSuffix::rollbackConflict);

        QVERIFY(isReservedPathOf(item, staging, ReservedSuffix::staging));
        QVERIFY(isReservedPathOf(item + "/", staging, ReservedSuffix::staging));
        QVERIFY(!isReservedPathOf(item, staging, ReservedSuffix::restoring));
        QVERIFY(!isReservedPathOf(other, staging, ReservedSuffix::staging));
        QVERIFY(!isReservedPathOf(item, staging.toLower(), ReservedSuffix::staging));
        QVERIFY(!isReservedPathOf(item, staging.chopped(1), ReservedSuffix::staging));
        QVERIFY(!isReservedPathOf(item, staging + "/inner", ReservedSuffix::staging));
        QVERIFY(!isReservedPathOf(item, tree.path("elsewhere/") + QFileInfo(staging).fileName(),
                                  ReservedSuffix::staging));
        QVERIFY(!isReservedPathOf(item, item, ReservedSuffix::staging));

        tree.file(QFileInfo(staging).fileName() + "/data");
        tree.file(QFileInfo(conflict).fileName());
        tree.dir(QStringLiteral(".Other.orvalink-staging-") +
                 QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        tree.dir("." + name.left(20) + ".orvalink-staging-not-a-uuid");
        QStringList expected{staging, conflict};
        expected.sort();
        QCOMPARE(existingReservedPaths(item), expected);
    }

    void placeholderTest_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("placeholder");
        QTest::newRow("empty directory") << "empty" << true;
        QTest::newRow("link to a directory") << "link" << true;
        QTest::newRow("dangling link") << "dangling" << true;
        QTest::newRow("directory holding a hidden file") << "hidden" << false;
        QTest::newRow("regular file, even empty") << "file" << false;
        QTest::newRow("fifo") << "fifo" << false;
        QTest::newRow("nothing") << "nothing" << false;
    }
    void placeholderTest()
    {
        QFETCH(QString, kind);
        QFETCH(bool, placeholder);
        test::TestHome home;
        test::TestTree tree(home.root());
        tree.file("full/data", "x");
        const QString path = tree.path("item");
        if (kind == "empty")
            tree.dir("item");
        else if (kind == "link")
            tree.symlink("item", tree.path("full"));
        else if (kind == "dangling")
            tree.symlink("item", tree.path("gone"));
        else if (kind == "hidden")
            tree.file("item/.hidden");
        else if (kind == "file")
            tree.file("item");
        else if (kind == "fifo")
            tree.fifo("item");
        QCOMPARE(isPlaceholder(path), placeholder);
    }
};

QTEST_GUILESS_MAIN(ReservedPathsTest)
#include "tst_reservedpaths.moc"
