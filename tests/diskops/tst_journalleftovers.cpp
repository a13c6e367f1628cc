// What processes killed while they began or wrote an operation record leave in the operations
// folder goes at the next start; records, their locks and everything a live process holds stay.
#include "diskops/OperationJournal.h"
#include "model/JsonFields.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileIO.h"
#include "platform/FileLock.h"
#include "support/PausedChild.h"
#include "support/TestHome.h"
#include "support/TestTree.h"

#include <QDir>
#include <QTest>
#include <memory>

using namespace orvalink;
using namespace orvalink::test;

namespace {

JournalRecord newRecord()
{
    JournalRecord record;
    record.id = QUuid::createUuid();
    record.startedAt = QDateTime::currentDateTimeUtc();
    return record;
}

QString pathOf(const QUuid& id, const char* suffix)
{
    return OperationJournal::directory() + QLatin1Char('/') + json::uuidText(id) + QLatin1String(suffix);
}

QStringList folderNames()
{
    return QDir(OperationJournal::directory())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The names of the folder apart from the temporary files of records.
QStringList namesBut(const QStringList& names, const QString& prefix)
{
    QStringList kept;
    for (const QString& name : names) {
        if (!name.startsWith(prefix))
            kept.append(name);
    }
    return kept;
}

} // namespace

class JournalLeftoversTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Killed while the first record was flushed: the lock file and the record's temporary file
    // stay behind, and no record; both go.
    void aRecordKilledAtItsFirstFlushLeavesNothing()
    {
        TestHome home;
        platform::createDirectories(OperationJournal::directory());
        const JournalRecord record = newRecord();
        PausedChild operation([record]() -> PausedChild::Rest {
            auto lock =
                std::make_shared<platform::UniqueFd>(platform::lockFile(pathOf(record.id, ".lock"), true));
            auto writer = std::make_shared<platform::AtomicFileWriter>(pathOf(record.id, ".json"), 0600);
            writer->write(json::compact(record.toJson()));
            writer->seal();
            return [lock, writer] {
                writer->commit();
            };
        });
        QVERIFY(operation.isPaused());
        operation.kill();
        QCOMPARE(folderNames().size(), 2);

        const platform::RemovedFiles removed = OperationJournal::removeLeftovers();

        QCOMPARE(removed.count, 2);
        QCOMPARE(folderNames(), QStringList());
        QVERIFY(OperationJournal::recordPaths().isEmpty());
    }

    // A live operation in another process, with a step being written, keeps all of it. Once it is
    // killed, only the step's temporary file goes: the record and its lock wait for the recovery,
    // which can still claim it.
    void aRecordStaysForTheRecovery()
    {
        TestHome home;
        const JournalRecord record = newRecord();
        PausedChild operation([record]() -> PausedChild::Rest {
            auto journal = std::make_shared<OperationJournal>(record);
            auto step = std::make_shared<platform::AtomicFileWriter>(journal->path(), 0600);
            step->write(json::compact(record.toJson()));
            return [journal, step] {
                step->commit();
            };
        });
        QVERIFY(operation.isPaused());
        const QStringList during = folderNames();
        QCOMPARE(during.size(), 3);

        QCOMPARE(OperationJournal::removeLeftovers().count, 0);
        QCOMPARE(folderNames(), during);

        operation.kill();
        QCOMPARE(OperationJournal::removeLeftovers().count, 1);
        const QString recordName = json::uuidText(record.id) + QStringLiteral(".json");
        QCOMPARE(folderNames(), namesBut(during, recordName + QLatin1Char('.')));
        std::optional<OperationJournal> claimed = OperationJournal::claim(pathOf(record.id, ".json"));
        QVERIFY(claimed);
        QCOMPARE(claimed->record().id, record.id);
    }

    // A lock file goes only when no entry of any kind stands at its record's name; names of
    // other forms stay whatever they are.
    void onlyLonelyLocksGo()
    {
        TestHome home;
        TestTree folder(OperationJournal::directory());
        const QUuid lonely = QUuid::createUuid();
        const QUuid beside = QUuid::createUuid();
        const QUuid besideLink = QUuid::createUuid();
        const QUuid setAside = QUuid::createUuid();
        folder.file(json::uuidText(lonely) + ".lock");
        const QStringList staying{
            folder.file(json::uuidText(beside) + ".lock"),
            folder.fifo(json::uuidText(beside) + ".json"),
            folder.file(json::uuidText(besideLink) + ".lock"),
            folder.symlink(json::uuidText(besideLink) + ".json", QStringLiteral("/nowhere")),
            folder.file(json::uuidText(setAside) + ".json.set-aside", "{}"),
            folder.file(QStringLiteral("notes.lock")),
            folder.file(QStringLiteral("notes.json.0000000000000")),
        };

        QCOMPARE(OperationJournal::removeLeftovers().count, 1);

        QVERIFY(!platform::entryExists(pathOf(lonely, ".lock")));
        for (const QString& path : staying)
            QVERIFY2(platform::entryExists(path), qPrintable(path));
    }
};

QTEST_GUILESS_MAIN(JournalLeftoversTest)
#include "tst_journalleftovers.moc"
