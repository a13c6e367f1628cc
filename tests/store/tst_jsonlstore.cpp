#include "model/LinkMapping.h"
#include "model/MigrationTask.h"
#include "store/HistoryStores.h"
#include "store/JSONLStore.h"
#include "store/JsonLinesReader.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QTest>
#include <thread>

using namespace orvalink;

namespace {

LinkMapping mapping(const QString& source)
{
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    return LinkMapping{
        QUuid::createUuid(), source, source + QStringLiteral("-target"), "u", "unknown", now, now};
}

QByteArray line(const LinkMapping& record)
{
    return JSONLStore::encodeLine(record.toJson()) + '\n';
}

} // namespace

class JSONLStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingFileReadsEmptyAndCreatesNothing()
    {
        test::TestHome home;
        const QString file = home.path(QStringLiteral("none/mappings.jsonl"));
        QVERIFY(JSONLStore::loadAll<LinkMapping>(file).isEmpty());
        QVERIFY(!QFileInfo::exists(home.path(QStringLiteral("none"))));
    }

    void badLinesCostOnlyThemselves()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const LinkMapping a = mapping("/a");
        const LinkMapping b = mapping("/b");
        const LinkMapping c = mapping("/c");
        const QByteArray content = line(a) + "\n   \n{not json}\n" + "{\"x\":1}{\"y\":2}\n" +
                                   "{\"sourcePath\":\"\xff\xfe\"}\n" + line(b) + json::compact(c.toJson());
        const QString file = tree.file(QStringLiteral("m.jsonl"), content);
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(file), (QList<LinkMapping>{a, b, c}));
    }

    void invalidUtf8LineDoesNotEmptyTheHistory()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const LinkMapping a = mapping("/a");
        // A whole record whose path bytes are not UTF-8.
        QByteArray broken = line(mapping("/a-b"));
        broken.replace("a-b", "a\xc3"
                              "b");
        const QString file = tree.file(QStringLiteral("m.jsonl"), line(a) + "/\xc3\x28 bad\n" + broken);
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(file), QList<LinkMapping>{a});
    }

    void appendCreatesScopeFolderAndKeepsOrder()
    {
        test::TestHome home;
        const QString file = home.path(QStringLiteral("history/acct/mappings.jsonl"));
        const LinkMapping a = mapping("/a");
        const LinkMapping b = mapping("/b");
        JSONLStore::append(a, file);
        QCOMPARE(test::TestTree(home.root()).read(QStringLiteral("history/acct/mappings.jsonl")).count('\n'),
                 1);
        JSONLStore::append(b, file);
        const QByteArray content =
            test::TestTree(home.root()).read(QStringLiteral("history/acct/mappings.jsonl"));
        QVERIFY(content.endsWith('\n'));
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(file), (QList<LinkMapping>{a, b}));
    }

    // Every "/" in a string is written as "\/", by append and by writeAll alike, also after a
    // backslash of the text itself; readers take the escaped and the plain form.
    void slashesAreWrittenEscaped()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString file = home.path(QStringLiteral("history/guest/mappings.jsonl"));
        const LinkMapping a = mapping("/home/alice/Movies");
        const LinkMapping b = mapping("/odd\\/name");
        JSONLStore::append(a, file);
        const QByteArray appended = tree.read(QStringLiteral("history/guest/mappings.jsonl"));
        QVERIFY(appended.contains(R"("sourcePath":"\/home\/alice\/Movies")"));
        QVERIFY(appended.contains(R"("targetPath":"\/home\/alice\/Movies-target")"));
        QCOMPARE(appended.count('/'), appended.count("\\/"));

        JSONLStore::writeAll(QList<LinkMapping>{a, b}, file);
        const QByteArray rewritten = tree.read(QStringLiteral("history/guest/mappings.jsonl"));
        QVERIFY(rewritten.startsWith(appended));
        QVERIFY(rewritten.contains(R"("sourcePath":"\/odd\\\/name")"));
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(file), (QList<LinkMapping>{a, b}));

        QByteArray plain = rewritten;
        plain.replace("\\/", "/");
        QVERIFY(plain.contains(R"("sourcePath":"/home/alice/Movies")"));
        const QString plainFile = tree.file(QStringLiteral("plain.jsonl"), plain);
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(plainFile), (QList<LinkMapping>{a, b}));
    }

    void appendAfterCutLineKeepsNewRecord()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const LinkMapping a = mapping("/a");
        const QByteArray whole = line(a);
        const QString file = tree.file(QStringLiteral("m.jsonl"), whole + whole.left(20));
        const LinkMapping b = mapping("/b");
        JSONLStore::append(b, file);
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(file), (QList<LinkMapping>{a, b}));
    }

    void writeAllOfEmptyListLeavesEmptyFile()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QString file = tree.file(QStringLiteral("m.jsonl"), line(mapping("/a")));
        JSONLStore::writeAll(QList<LinkMapping>{}, file);
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(QFileInfo(file).size(), 0);
        QVERIFY(JSONLStore::loadAll<LinkMapping>(file).isEmpty());
    }

    void removeWhereKeepsUndecodableLines()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const LinkMapping a = mapping("/a");
        const LinkMapping b = mapping("/b");
        const QByteArray future = R"({"id":"X","kind":"from a newer version"})";
        const QString file = tree.file(QStringLiteral("m.jsonl"), line(a) + future + "\n" + line(b));
        const qsizetype removed =
            JSONLStore::removeWhere<LinkMapping>(file, [&](const LinkMapping& m) { return m.id == a.id; });
        QCOMPARE(removed, qsizetype(1));
        QCOMPARE(tree.read(QStringLiteral("m.jsonl")), future + "\n" + line(b));
    }

    // The rewrite goes line by line into a new file: a line too long to read is copied through as
    // it stands, CRLF lines come out as plain lines, and a last line without its feed gets one.
    void removeWhereCopiesWhatItCannotRead()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const LinkMapping a = mapping("/a");
        const LinkMapping b = mapping("/b");
        const LinkMapping c = mapping("/c");
        const QByteArray huge = " " + QByteArray(JsonLinesReader::kMaximumLineLength + 10, 'h') + "\r";
        QByteArray crlf = line(b);
        crlf.insert(crlf.size() - 1, '\r');
        const QString file = tree.file(QStringLiteral("m.jsonl"),
                                       line(a) + huge + "\n" + crlf + JSONLStore::encodeLine(c.toJson()));
        QCOMPARE(
            JSONLStore::removeWhere<LinkMapping>(file, [&](const LinkMapping& m) { return m.id == a.id; }),
            qsizetype(1));
        QCOMPARE(tree.read(QStringLiteral("m.jsonl")), huge + "\n" + line(b) + line(c));
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(file), (QList<LinkMapping>{b, c}));
    }

    // Nothing to remove: the file is not replaced. A failure halfway leaves the old file and no
    // temporary file beside it.
    void aRewriteThatRemovesNothingOrFailsLeavesTheFile()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        QByteArray content;
        for (int i = 0; i < 20000; ++i)
            content += line(mapping(QStringLiteral("/m/%1").arg(i)));
        const QString file = tree.file(QStringLiteral("h/m.jsonl"), content);
        const auto before = JsonLinesReader::open(file)->identity();
        QCOMPARE(JSONLStore::removeWhere<LinkMapping>(file, [](const LinkMapping&) { return false; }), 0);
        QCOMPARE(JsonLinesReader::open(file)->identity(), before);

        int seen = 0;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, JSONLStore::rewriteWithout(file, [&](const QByteArray&) {
                                     if (++seen == 15000)
                                         throw std::runtime_error("stopped halfway");
                                     return seen % 2 == 0;
                                 }));
        QCOMPARE(tree.read(QStringLiteral("h/m.jsonl")), content);
        QCOMPARE(QDir(tree.path(QStringLiteral("h"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("m.jsonl")});
    }

    void concurrentAppendsAndRewritesLoseNothing()
    {
        test::TestHome home;
        const QString file = home.path(QStringLiteral("history/guest/mappings.jsonl"));
        const int appends = 200;
        QList<LinkMapping> doomed;
        for (int i = 0; i < 50; ++i) {
            doomed.append(mapping(QStringLiteral("/doomed/%1").arg(i)));
            JSONLStore::append(doomed.last(), file);
        }
        std::thread appender([&] {
            for (int i = 0; i < appends; ++i)
                JSONLStore::append(mapping(QStringLiteral("/kept/%1").arg(i)), file);
        });
        std::thread rewriter([&] {
            for (const LinkMapping& victim : doomed)
                JSONLStore::removeWhere<LinkMapping>(file,
                                                     [&](const LinkMapping& m) { return m.id == victim.id; });
        });
        appender.join();
        rewriter.join();
        const QList<LinkMapping> left = JSONLStore::loadAll<LinkMapping>(file);
        QCOMPARE(left.size(), appends);
        for (int i = 0; i < appends; ++i)
            QCOMPARE(left.at(i).sourcePath, QStringLiteral("/kept/%1").arg(i));
    }

    void scopeHoldersNameTheFolders()
    {
        test::TestHome home;
        TaskStore tasks;
        MappingStore mappings;
        QCOMPARE(tasks.filePath(), home.appSupport() + QStringLiteral("/history/guest/tasks.jsonl"));
        QCOMPARE(mappings.filePath(), home.appSupport() + QStringLiteral("/history/guest/mappings.jsonl"));
        JSONLStore::append(mapping("/guest-only"), mappings.filePath());
        mappings.setScope(LocalHistoryScope::account(QStringLiteral("me@x.io")));
        QCOMPARE(mappings.filePath(), home.appSupport() + QStringLiteral("/history/me_x_io/mappings.jsonl"));
        QVERIFY(JSONLStore::loadAll<LinkMapping>(mappings.filePath()).isEmpty());
        QCOMPARE(JSONLStore::loadAll<LinkMapping>(mappings.filePath(LocalHistoryScope::guest())).size(), 1);
    }
};

QTEST_GUILESS_MAIN(JSONLStoreTest)
#include "tst_jsonlstore.moc"
