#include "platform/FileIO.h"
#include "store/JSONLStore.h"
#include "store/JsonLinesReader.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QRandomGenerator>
#include <QTest>
#include <functional>

using namespace orvalink;

namespace {

struct ReadLine {
    QByteArray text;
    bool overlong = false;
    bool finished = true;

    bool operator==(const ReadLine&) const = default;
};

QList<ReadLine> readAll(JsonLinesReader& reader)
{
    QList<ReadLine> lines;
    JsonLinesReader::Line line;
    while (reader.next(line))
        lines.append({line.text, line.overlong, line.finished});
    return lines;
}

QList<ReadLine> readAll(const QString& path, qsizetype limit = JsonLinesReader::kMaximumLineLength)
{
    auto reader = JsonLinesReader::open(path, 0, limit);
    return reader ? readAll(*reader) : QList<ReadLine>{};
}

// Lines of varied length, so that chunk boundaries fall anywhere inside them.
QByteArray manyLines(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray content;
    for (int index = 0; index < count; ++index) {
        content += "{\"n\":" + QByteArray::number(index) + ",\"pad\":\"" +
                   QByteArray(random.bounded(1, 400), 'a' + char(index % 26)) + "\"}\n";
    }
    return content;
}

QList<ReadLine> finishedLines(const QByteArray& content)
{
    QList<ReadLine> lines;
    for (const QByteArray& piece : content.split('\n')) {
        if (!piece.trimmed().isEmpty())
            lines.append({piece.trimmed(), false, true});
    }
    return lines;
}

// Opens the file, reads one line, lets `meanwhile` change the file, then reads on to the end.
struct ReadAcross {
    QList<ReadLine> lines;
    qint64 committed = 0;
    platform::FileIdentity identity;
};
ReadAcross readAcross(const QString& file, const std::function<void()>& meanwhile)
{
    auto reader = JsonLinesReader::open(file);
    if (!reader)
        return {};
    JsonLinesReader::Line first;
    if (!reader->next(first))
        return {};
    meanwhile();
    ReadAcross read{{{first.text}}, 0, reader->identity()};
    read.lines.append(readAll(*reader));
    read.committed = reader->committed();
    return read;
}

} // namespace

Q_DECLARE_METATYPE(QList<ReadLine>)

// The reader every history read goes through: lines one at a time with bounded memory.
class JsonLinesReaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linesAreTrimmedAndBlankOnesLeftOut_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<ReadLine>>("expected");
        QTest::newRow("empty file") << QByteArray() << QList<ReadLine>{};
        QTest::newRow("line feeds") << QByteArray("{a}\n{b}\n") << QList<ReadLine>{{"{a}"}, {"{b}"}};
        QTest::newRow("CRLF") << QByteArray("{a}\r\n{b}\r\n") << QList<ReadLine>{{"{a}"}, {"{b}"}};
        QTest::newRow("blank and white lines")
            << QByteArray("\n\n{a}\n   \n\t\r\n{b}\n\n") << QList<ReadLine>{{"{a}"}, {"{b}"}};
        QTest::newRow("padded") << QByteArray("  {a}\t\n") << QList<ReadLine>{{"{a}"}};
        QTest::newRow("last line without its feed")
            << QByteArray("{a}\n{b") << QList<ReadLine>{{"{a}"}, {"{b", false, false}};
        QTest::newRow("only white after the last feed")
            << QByteArray("{a}\n  \r") << QList<ReadLine>{{"{a}"}};
        QTest::newRow("CR at the very end") << QByteArray("{a}\r") << QList<ReadLine>{{"{a}", false, false}};
    }
    void linesAreTrimmedAndBlankOnesLeftOut()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<ReadLine>, expected);
        test::TestHome home;
        const QString file = test::TestTree(home.root()).file(QStringLiteral("h.jsonl"), content);
        QCOMPARE(readAll(file), expected);
    }

    void aMissingFileHasNoReaderAndAFifoIsRefusedAtOnce()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        QVERIFY(!JsonLinesReader::open(tree.path(QStringLiteral("none.jsonl"))));
        const QString fifo = tree.fifo(QStringLiteral("fifo.jsonl"));
        QVERIFY_THROWS_EXCEPTION(platform::UnsuitableFileError, JsonLinesReader::open(fifo));
    }

    // A line over the limit is reported without its text, wherever it stands and however the
    // chunks cut it; the lines around it are whole.
    void overlongLinesArePassedOver()
    {
        test::TestHome home;
        test::TestTree tree(home.root());
        const QByteArray big(50, 'x');
        const QString file = tree.file(QStringLiteral("h.jsonl"), "{short}\n" + big + "\r\n{after}\n" +
                                                                      QByteArray(16, 'y') + "\n" + big);
        QCOMPARE(readAll(file, 16),
                 (QList<ReadLine>{
                     {"{short}"}, {"", true, true}, {"{after}"}, {QByteArray(16, 'y')}, {"", true, false}}));

        // Two chunks' worth of one line with the default limit.
        const QString huge =
            tree.file(QStringLiteral("huge.jsonl"),
                      "{a}\n" + QByteArray(JsonLinesReader::kMaximumLineLength + 1, 'z') + "\n{b}\n");
        auto reader = JsonLinesReader::open(huge);
        QVERIFY(reader);
        JsonLinesReader::Line line;
        QVERIFY(reader->next(line));
        QVERIFY(reader->next(line));
        QVERIFY(line.overlong);
        QCOMPARE(line.offset, 4);
        QCOMPARE(line.end, 4 + JsonLinesReader::kMaximumLineLength + 2);
        QVERIFY(!reader->lineAt(line.offset));
        QVERIFY(reader->next(line));
        QCOMPARE(line.text, QByteArray("{b}"));
        QCOMPARE(*reader->lineAt(line.offset), QByteArray("{b}"));
    }

    void linesAcrossChunksAreWholeAndFoundAgainByOffset()
    {
        test::TestHome home;
        const QByteArray content = manyLines(4000, 7) + "{last}";
        const QString file = test::TestTree(home.root()).file(QStringLiteral("h.jsonl"), content);
        QVERIFY(content.size() > 4 * 128 * 1024);
        auto reader = JsonLinesReader::open(file);
        QVERIFY(reader);
        QList<ReadLine> lines;
        JsonLinesReader::Line line;
        while (reader->next(line)) {
            lines.append({line.text, line.overlong, line.finished});
            QCOMPARE(content.mid(line.offset, line.end - line.offset).trimmed(), line.text);
            QCOMPARE(*reader->lineAt(line.offset), line.text);
        }
        QList<ReadLine> expected = finishedLines(content.left(content.lastIndexOf('\n') + 1));
        expected.append({"{last}", false, false});
        QCOMPARE(lines, expected);
        QCOMPARE(reader->committed(), content.lastIndexOf('\n') + 1);
        QCOMPARE(reader->end(), content.size());
    }

    // What is appended after the reader opened is left for the next read, which starts where this
    // one committed; a line being appended is never taken half.
    void aFileThatGrowsWhileReadEndsWhereItWasOpened()
    {
        test::TestHome home;
        const QByteArray first = manyLines(2000, 11);
        const QString file = test::TestTree(home.root()).file(QStringLiteral("h.jsonl"), first);
        const ReadAcross read = readAcross(file, [&] {
            JSONLStore::appendLine(file, "{\"appended\":1}");
            platform::appendLine(file, "{\"half");
        });
        QCOMPARE(read.lines, finishedLines(first));
        QCOMPARE(read.committed, first.size());

        auto later = JsonLinesReader::open(file, read.committed);
        QVERIFY(later);
        QCOMPARE(readAll(*later), (QList<ReadLine>{{"{\"appended\":1}"}, {"{\"half", false, false}}));
    }

    // A rewrite renames a new file over the path: the reader goes on with the file it opened, to
    // its end, so it gives the old content whole and nothing of the new.
    void aFileRewrittenWhileReadIsReadWholeAsItWas()
    {
        test::TestHome home;
        const QByteArray old = manyLines(3000, 13);
        const QString file = test::TestTree(home.root()).file(QStringLiteral("h.jsonl"), old);
        const ReadAcross read = readAcross(file, [&] {
            JSONLStore::writeLines(file, {"{\"new\":1}", "{\"new\":2}"});
        });
        QCOMPARE(read.lines, finishedLines(old));
        QCOMPARE(readAll(file), (QList<ReadLine>{{"{\"new\":1}"}, {"{\"new\":2}"}}));
        QVERIFY(JsonLinesReader::open(file)->identity() != read.identity);
    }
};

QTEST_GUILESS_MAIN(JsonLinesReaderTest)
#include "tst_jsonlinesreader.moc"
