// The list models of the detail column (finished migrations, restored paths, failures, mappings):
// a new list tells the views which rows came, went or changed, never a reset; marks and the
// recovery switch repaint only the rows they touch.
#include "ui/models/FailedRecordModel.h"
#include "ui/models/MappingListModel.h"
#include "ui/models/RecordListModel.h"
#include "ui/models/RestoredPathModel.h"
#include "viewmodel/disk/FailureRemedy.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

// A row named by a token: its letter is its identity, each trailing "'" another value under it.
QUuid idOf(const QString& token)
{
    return QUuid::createUuidV5(QUuid(), token.left(1));
}

QString sourceOf(const QString& token)
{
    return QStringLiteral("/home/u/") + token.left(1);
}

QString targetOf(const QString& token)
{
    return QStringLiteral("/mnt/v/") + token;
}

QStringList tokens(const QString& list)
{
    return list.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QList<MigrationPathRecord> migrated(const QString& list)
{
    QList<MigrationPathRecord> records;
    for (const QString& token : tokens(list))
        records.append({idOf(token), sourceOf(token), targetOf(token), QDateTime::fromSecsSinceEpoch(1000)});
    return records;
}

QList<FailedMigrationRecord> failed(const QString& list)
{
    QList<FailedMigrationRecord> records;
    for (const QString& token : tokens(list))
        records.append({idOf(token), sourceOf(token), targetOf(token), QDateTime::fromSecsSinceEpoch(1000),
                        TaskStatus::failed, QStringLiteral("E004"), QStringLiteral("occupied")});
    return records;
}

QList<LinkMapping> mappings(const QString& list)
{
    QList<LinkMapping> rows;
    for (const QString& token : tokens(list)) {
        LinkMapping mapping;
        mapping.id = idOf(token);
        mapping.sourcePath = sourceOf(token);
        mapping.targetPath = targetOf(token);
        rows.append(mapping);
    }
    return rows;
}

// Restored paths are their own identity: a changed token is another path.
QStringList restored(const QString& list)
{
    QStringList paths;
    for (const QString& token : tokens(list))
        paths.append(targetOf(token));
    return paths;
}

// What a model told its views, each range as "first-last".
struct Announcements {
    explicit Announcements(QAbstractItemModel* model)
        : inserted(model, &QAbstractItemModel::rowsInserted),
          removed(model, &QAbstractItemModel::rowsRemoved), moved(model, &QAbstractItemModel::rowsMoved),
          changed(model, &QAbstractItemModel::dataChanged), resets(model, &QAbstractItemModel::modelReset)
    {}

    // Each move as "first-last>destination".
    static QStringList moves(const QSignalSpy& spy)
    {
        QStringList result;
        for (const QList<QVariant>& arguments : spy)
            result.append(QStringLiteral("%1-%2>%3")
                              .arg(arguments.at(1).toInt())
                              .arg(arguments.at(2).toInt())
                              .arg(arguments.at(4).toInt()));
        return result;
    }

    static QStringList ranges(const QSignalSpy& spy)
    {
        QStringList result;
        for (const QList<QVariant>& arguments : spy)
            result.append(QStringLiteral("%1-%2").arg(arguments.at(1).toInt()).arg(arguments.at(2).toInt()));
        return result;
    }

    QSignalSpy inserted;
    QSignalSpy removed;
    QSignalSpy moved;
    QSignalSpy changed;
    QSignalSpy resets;
};

QStringList changedRanges(const QSignalSpy& spy)
{
    QStringList result;
    for (const QList<QVariant>& arguments : spy)
        result.append(QStringLiteral("%1-%2")
                          .arg(arguments.at(0).toModelIndex().row())
                          .arg(arguments.at(1).toModelIndex().row()));
    return result;
}

} // namespace

class RecordModelsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newListAnnouncesItsRows_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("inserted");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("moved");
        QTest::addColumn<QStringList>("changed");
        const QStringList none;
        QTest::newRow("same list") << "C B A"
                                   << "C B A" << none << none << none << none;
        QTest::newRow("newest first") << "C B A"
                                      << "D C B A" << QStringList{"0-0"} << none << none << none;
        QTest::newRow("appended") << "A B"
                                  << "A B C" << QStringList{"2-2"} << none << none << none;
        QTest::newRow("from empty") << ""
                                    << "B A" << QStringList{"0-1"} << none << none << none;
        QTest::newRow("middle removed") << "C B A"
                                        << "C A" << none << QStringList{"1-1"} << none << none;
        QTest::newRow("cleared") << "C B A"
                                 << "" << none << QStringList{"0-2"} << none << none;
        QTest::newRow("all replaced") << "B A"
                                      << "D C" << QStringList{"0-1"} << QStringList{"0-1"} << none << none;
        QTest::newRow("updated in place") << "C B A"
                                          << "C B' A" << none << none << none << QStringList{"1-1"};
        QTest::newRow("one moved first, updated")
            << "D C B A"
            << "B' D C A" << none << none << QStringList{"2-2>0"} << QStringList{"0-0"};
        QTest::newRow("one moved last") << "D C B A"
                                        << "C B A D" << none << none << QStringList{"0-0>4"} << none;
        QTest::newRow("reversed") << "C B A"
                                  << "A B C" << QStringList{"0-2"} << QStringList{"0-2"} << none << none;
        QTest::newRow("two new, two updated")
            << "C B A"
            << "E D C' B A'" << QStringList{"0-1"} << none << none << QStringList{"2-4"};
    }

    // Every model keeps its rows by their identity: the same transitions, the same announcements.
    void newListAnnouncesItsRows()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QStringList, inserted);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, moved);
        QFETCH(QStringList, changed);
        const auto check = [&](QAbstractItemModel& model, const auto& set, const auto& rows, auto makeRows,
                               bool valuesUnderKey) {
            QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
            set(makeRows(before));
            Announcements told(&model);
            set(makeRows(after));
            QCOMPARE(rows(), makeRows(after));
            QCOMPARE(told.resets.size(), 0);
            // A restored path is its own key: a changed path is a removed and an inserted row.
            if (valuesUnderKey) {
                QCOMPARE(Announcements::ranges(told.inserted), inserted);
                QCOMPARE(Announcements::ranges(told.removed), removed);
                QCOMPARE(Announcements::moves(told.moved), moved);
                QCOMPARE(changedRanges(told.changed), changed);
            } else {
                QCOMPARE(told.changed.size(), 0);
            }
        };
        MigrationRecordModel migratedModel;
        check(
            migratedModel, [&](const auto& rows) { migratedModel.setRecords(rows); },
            [&] { return migratedModel.records(); }, migrated, true);
        FailedRecordModel failedModel;
        check(
            failedModel, [&](const auto& rows) { failedModel.setRecords(rows); },
            [&] { return failedModel.records(); }, failed, true);
        MappingListModel mappingModel;
        check(
            mappingModel, [&](const auto& rows) { mappingModel.setMappings(rows); },
            [&] { return mappingModel.mappings(); }, mappings, true);
        RestoredPathModel restoredModel;
        check(
            restoredModel, [&](const auto& rows) { restoredModel.setPaths(rows); },
            [&] { return restoredModel.paths(); }, restored, false);
    }

    void rolesOfARecord()
    {
        MigrationRecordModel migratedModel;
        migratedModel.setRecords(migrated("B A"));
        const QModelIndex oldest = migratedModel.index(1);
        QCOMPARE(oldest.data().toString(), "A");
        QCOMPARE(oldest.data(MigrationRecordModel::SourcePathRole).toString(), "/home/u/A");
        QCOMPARE(oldest.data(MigrationRecordModel::TargetPathRole).toString(), "/mnt/v/A");
        QCOMPARE(oldest.data(MigrationRecordModel::DateRole).toDateTime(),
                 QDateTime::fromSecsSinceEpoch(1000));

        RestoredPathModel restoredModel;
        restoredModel.setPaths({"/home/u/<b>x</b>"});
        QCOMPARE(restoredModel.index(0).data().toString(), "/home/u/<b>x</b>");

        FailedRecordModel failedModel;
        QList<FailedMigrationRecord> records = failed("C B A");
        records[1].errorCode = QStringLiteral("E007");
        records[2].errorCode.reset();
        records[2].status = TaskStatus::rolledBack;
        failedModel.setRecords(records);
        const auto remedy = [&failedModel](int row) {
            return FailureRemedy(failedModel.index(row).data(FailedRecordModel::RemedyRole).toInt());
        };
        QCOMPARE(remedy(0), FailureRemedy::forceMigration);
        QCOMPARE(remedy(1), FailureRemedy::terminateHoldersAndRetry);
        QCOMPARE(remedy(2), FailureRemedy::none);
        QCOMPARE(TaskStatus(failedModel.index(2).data(FailedRecordModel::StatusRole).toInt()),
                 TaskStatus::rolledBack);
        QCOMPARE(failedModel.index(0).data(FailedRecordModel::ReasonRole).toString(), "occupied");
    }

    // Switching the remedies off while disk work runs repaints the rows that offer one.
    void recoverySwitchRepaintsRowsWithARemedy_data()
    {
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("none offers one") << QStringList{"E001", "", "E099"} << QStringList();
        QTest::newRow("the middle one") << QStringList{"E001", "E007", "E099"} << QStringList{"1-1"};
        QTest::newRow("first and last") << QStringList{"E004", "E001", "E018"} << QStringList{"0-2"};
    }

    void recoverySwitchRepaintsRowsWithARemedy()
    {
        QFETCH(QStringList, codes);
        QFETCH(QStringList, changed);
        FailedRecordModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QList<FailedMigrationRecord> records = failed("C B A");
        for (int row = 0; row < 3; ++row) {
            if (codes.at(row).isEmpty())
                records[row].errorCode.reset();
            else
                records[row].errorCode = codes.at(row);
        }
        model.setRecords(records);
        QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
        model.setRecoveryEnabled(true);
        QCOMPARE(spy.size(), 0);
        model.setRecoveryEnabled(false);
        QCOMPARE(changedRanges(spy), changed);
        QVERIFY(!model.index(0).data(FailedRecordModel::RecoveryEnabledRole).toBool());
        model.setRecoveryEnabled(false);
        QCOMPARE(changedRanges(spy), changed);
    }

    void newMarksRepaintTheirRows_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("changed");
        QTest::newRow("same marks") << "B"
                                    << "B" << QStringList();
        QTest::newRow("one marked") << ""
                                    << "C" << QStringList{"2-2"};
        QTest::newRow("two apart") << ""
                                   << "B D" << QStringList{"1-3"};
        QTest::newRow("one of two unmarked") << "B D"
                                             << "B" << QStringList{"3-3"};
        QTest::newRow("a gone id") << "X"
                                   << "" << QStringList();
        QTest::newRow("all cleared") << "A B C D"
                                     << "" << QStringList{"0-3"};
    }

    void newMarksRepaintTheirRows()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QStringList, changed);
        const auto marks = [](const QString& list) {
            QSet<QUuid> ids;
            for (const QString& token : tokens(list))
                ids.insert(idOf(token));
            return ids;
        };
        MappingListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setMappings(mappings("A B C D"));
        model.setSelection(marks(before));
        QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
        model.setSelection(marks(after));
        QCOMPARE(changedRanges(spy), changed);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(model.index(row).data(MappingListModel::SelectedRole).toBool(),
                     marks(after).contains(model.mappingAt(row).id));
    }

    // A language or privacy change repaints every row in one signal, and nothing on an empty list.
    void repaintAllCoversEveryRow()
    {
        MigrationRecordModel model;
        QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
        model.repaintAll();
        QCOMPARE(spy.size(), 0);
        model.setRecords(migrated("C B A"));
        model.repaintAll();
        QCOMPARE(changedRanges(spy), QStringList{"0-2"});
    }
};

QTEST_GUILESS_MAIN(RecordModelsTest)
#include "tst_recordmodels.moc"
