// The detail column over a real state object: the activity workspace through real migrations,
// failures and undos, the storage cards against the real volumes, the history lists and their
// selection, in every language and under presentation privacy.
#include "DetailPaneHarness.h"
#include "UiTestSupport.h"
#include "WorkflowFixture.h"
#include "model/Formatters.h"
#include "platform/StandardPath.h"
#include "platform/SymbolicLinks.h"
#include "support/HoldingProcess.h"
#include "support/MovedMount.h"
#include "support/SkipWithout.h"
#include "ui/models/MappingListModel.h"
#include "ui/views/common/PathLine.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/detail/MappingListView.h"
#include "ui/views/detail/PercentText.h"
#include "ui/views/detail/RecordListView.h"
#include "ui/widgets/RingGauge.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTest>
#include <cmath>
#include <limits>

using namespace orvalink;
using test::DetailPaneHarness;
using test::finish;
using test::shown;
using test::WorkflowFixture;

namespace {

void migrate(MainViewModel& vm, const QStringList& paths)
{
    ViewModelInternals::context(vm).browsing().setSelectedPaths(QSet<QString>(paths.cbegin(), paths.cend()));
    finish(vm.workflows().migrateSelectedItems());
}

QStringList makeFolders(WorkflowFixture& w, const QStringList& names)
{
    QStringList sources;
    for (const QString& name : names)
        sources.append(w.tree.fileOfSize(name + "/data.bin", 20000).section('/', 0, -2));
    return sources;
}

bool isRealDirectory(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

// Every shown text of the column: labels, path lines and the parts of the painted record rows.
QStringList shownTexts(QWidget* root)
{
    QStringList texts;
    for (auto* label : root->findChildren<QLabel*>())
        texts.append(label->text());
    for (auto* line : root->findChildren<QLineEdit*>())
        texts.append(line->text());
    for (const ui::RecordRowPart& part : test::recordParts(*root))
        texts.append(part.text);
    return texts;
}

const QString kMigratedRecords = QStringLiteral("migratedRecordsSectionScroll");
const QString kRestoredRecords = QStringLiteral("restoredRecordsSectionScroll");
const QString kFailedRecords = QStringLiteral("failedRecordsSectionScroll");
const QString kLeftBehindRecords = QStringLiteral("leftBehindRecordsSectionScroll");

} // namespace

class DetailPaneTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::prepareWidgetTests(); }

    void percentText_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("clamped");
        QTest::newRow("below half a percent") << 0.004 << "0%" << 0.004;
        QTest::newRow("just below half") << 0.0049 << "0%" << 0.0049;
        QTest::newRow("half rounds away from zero") << 0.005 << "1%" << 0.005;
        QTest::newRow("quarter") << 0.25 << "25%" << 0.25;
        QTest::newRow("rounds up") << 0.4567 << "46%" << 0.4567;
        QTest::newRow("exact half") << 0.875 << "88%" << 0.875;
        QTest::newRow("above one") << 1.7 << "100%" << 1.0;
        QTest::newRow("negative") << -0.2 << "0%" << 0.0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0%" << 0.0;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "100%" << 1.0;
    }

    void percentText()
    {
        QFETCH(double, ratio);
        QTEST(ui::percentText(ratio), "text");
        QTEST(ui::clampedRatio(ratio), "clamped");
    }

    // The card follows bytes when the batch knows them, else items; an item count that overshoots
    // its total fills the bar without passing its end.
    void progressCard_data()
    {
        QTest::addColumn<qint64>("processedItems");
        QTest::addColumn<qint64>("totalItems");
        QTest::addColumn<qint64>("processedBytes");
        QTest::addColumn<qint64>("totalBytes");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<int>("bar");
        QTest::addColumn<bool>("dataTile");
        QTest::addColumn<QString>("subtitle");
        QTest::newRow("items") << qint64(1) << qint64(3) << qint64(0) << qint64(0) << "33%" << 333 << false
                               << "Items 1/3";
        QTest::newRow("items overshoot")
            << qint64(5) << qint64(4) << qint64(0) << qint64(0) << "100%" << 1000 << false << "Items 5/4";
        QTest::newRow("bytes") << qint64(1) << qint64(4) << qint64(250) << qint64(1000) << "25%" << 250
                               << true
                               << "Items 1/4 · Data " + Formatters::sizeString(250) + " / " +
                                      Formatters::sizeString(1000);
        // The data of the one item is all there, its last steps still run: not done yet.
        QTest::newRow("bytes arrived, item unsettled")
            << qint64(0) << qint64(1) << qint64(1000) << qint64(1000) << "99%" << 990 << true
            << "Items 0/1 · Data " + Formatters::sizeString(1000) + " / " + Formatters::sizeString(1000);
    }

    void progressCard()
    {
        QFETCH(qint64, processedItems);
        QFETCH(qint64, totalItems);
        QFETCH(qint64, processedBytes);
        QFETCH(qint64, totalBytes);
        test::ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        activity.setDiskWork(DiskWork::migration);
        activity.setMigrationTotalItems(totalItems);
        activity.setMigrationProcessedItems(processedItems);
        activity.setMigrationSucceededItems(processedItems);
        activity.setMigrationTotalBytes(totalBytes);
        activity.setMigrationProcessedBytes(processedBytes);
        activity.setMigrationCurrentPath(fx.tree.dir("Alpha"));
        DetailPaneHarness h(*vm);
        h.settle();

        // Collapsed: the badge carries the percentage, the summary the fallback title.
        QTEST(h.text("activityBadge"), "percent");
        QFETCH(QString, percent);
        QCOMPARE(h.text("activitySummary"), "Migration in Progress · " + percent);
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(), "arrow.right.circle.fill");
        QVERIFY(h.shown("migrationProgressCard").isEmpty());

        h.button("activityToggle")->click();
        h.settle();
        QVERIFY(h.state.showProgressPanel());
        QVERIFY(h.find<QLabel>("activityBadge")->isHidden());
        QCOMPARE(h.shown("migrationProgressCard").size(), 1);
        QCOMPARE(h.text("progressTitle"), "Migration Progress");
        QCOMPARE(h.text("progressPercent"), percent);
        QTEST(h.find<QProgressBar>("overallProgressBar")->value(), "bar");
        QTEST(!h.find<QWidget>("dataPill")->isHidden(), "dataTile");
        QTEST(h.text("overallSubtitle"), "subtitle");
        QCOMPARE(h.text("currentItem"), "Current: Alpha");
        QCOMPARE(h.find<ui::PathLine>("currentItemPath")->rawPath(), fx.tree.path("Alpha"));

        activity.setDiskWork(DiskWork::undo);
        activity.setCurrentOperationTitle(BilingualText::same("Undo Last Move"));
        h.settle();
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(),
                 "arrow.uturn.backward.circle.fill");
        QCOMPARE(h.text("activitySummary"), "Undo Last Move · " + percent);
        h.save(QStringLiteral("detail-progress-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
    }

    // A long step beyond an item's copy (a migration taken back, the start-up putting right what an
    // earlier run left unfinished) speaks for the dock while it runs: its title, how far it has got
    // (running without a figure while its size is not known) and the folder it works on.
    void dockDuringALongStep_data()
    {
        QTest::addColumn<DiskWork>("work");
        QTest::addColumn<DiskWorkStep>("step");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("barMaximum");
        QTest::addColumn<bool>("dataTile");
        const QString home = QStringLiteral("Migration taken back: the folder is coming home");
        const QString uturn = QStringLiteral("arrow.uturn.backward.circle.fill");
        const QString again = QStringLiteral("arrow.triangle.2.circlepath");
        QTest::newRow("coming home") << DiskWork::migration
                                     << DiskWorkStep{DiskWorkStep::Kind::comingHome, {}, 400, 1000} << home
                                     << "40%"
                                     << "40%" << uturn << "Coming home: Alpha"
                                     << "Success 0 · Failed 1" << 1000 << true;
        // All its bytes are home, its last moves still run.
        QTest::newRow("coming home, all bytes there")
            << DiskWork::migration << DiskWorkStep{DiskWorkStep::Kind::comingHome, {}, 1000, 1000} << home
            << "99%"
            << "99%" << uturn << "Coming home: Alpha"
            << "Success 0 · Failed 1" << 1000 << true;
        QTest::newRow("coming home, size not known")
            << DiskWork::migration << DiskWorkStep{DiskWorkStep::Kind::comingHome, {}, 0, 0} << home << ""
            << "Running" << uturn << "Coming home: Alpha"
            << "Success 0 · Failed 1" << 0 << false;
        QTest::newRow("finishing a migration")
            << DiskWork::recovery << DiskWorkStep{DiskWorkStep::Kind::finishingMigration, {}, 250, 1000}
            << "Finishing a migration interrupted last time"
            << "25%"
            << "25%" << again << "Putting right: Alpha"
            << "1 of 2 put right" << 1000 << true;
        QTest::newRow("finishing an undo, size not known")
            << DiskWork::recovery << DiskWorkStep{DiskWorkStep::Kind::finishingUndo, {}, 0, 0}
            << "Finishing an undo interrupted last time"
            << ""
            << "Running" << again << "Putting right: Alpha"
            << "1 of 2 put right" << 0 << false;
    }

    void dockDuringALongStep()
    {
        QFETCH(DiskWork, work);
        QFETCH(DiskWorkStep, step);
        QFETCH(QString, title);
        QFETCH(QString, percent);
        test::ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        const bool recovery = work == DiskWork::recovery;
        activity.setDiskWork(work);
        activity.setCurrentOperationTitle({"迁移", "Migration"});
        activity.setMigrationTotalItems(2);
        activity.setMigrationProcessedItems(1);
        activity.setMigrationFailedItems(recovery ? 0 : 1);
        activity.setMigrationTotalBytes(recovery ? 0 : 2000);
        activity.setMigrationProcessedBytes(recovery ? 0 : 1990);
        activity.setMigrationCurrentPath(fx.tree.dir("Beta"));
        step.path = fx.tree.dir("Alpha");
        activity.setDiskWorkStep(step);
        DetailPaneHarness h(*vm);
        h.settle();

        QTEST(h.text("activityBadge"), "badge");
        QCOMPARE(h.text("activitySummary"), percent.isEmpty() ? title : title + " · " + percent);
        QTEST(h.find<QLabel>("activityIcon")->property("symbol").toString(), "icon");
        h.button("activityToggle")->click();
        h.settle();
        QCOMPARE(h.text("progressTitle"), title);
        QCOMPARE(h.text("progressPercent"), percent);
        QCOMPARE(h.text("overallTitle"), "Step Progress");
        QTEST(h.text("progressStatus"), "status");
        QTEST(h.find<QProgressBar>("overallProgressBar")->maximum(), "barMaximum");
        QTEST(!h.find<QWidget>("dataPill")->isHidden(), "dataTile");
        if (step.totalBytes > 0)
            QCOMPARE(h.text("dataPillValue"), Formatters::sizeString(step.doneBytes) + " / " +
                                                  Formatters::sizeString(step.totalBytes));
        QCOMPARE(h.find<QWidget>("resultPill")->isHidden(), recovery);
        QTEST(h.text("currentItem"), "current");
        QCOMPARE(h.find<ui::PathLine>("currentItemPath")->rawPath(), step.path);
        h.save(QStringLiteral("detail-step-%1").arg(QTest::currentDataTag()).replace(' ', '-').remove(','));

        // The step over, the run's own progress speaks again.
        activity.setDiskWorkStep(std::nullopt);
        h.settle();
        QCOMPARE(h.text("progressTitle"), "Migration");
        QCOMPARE(h.text("overallTitle"), "Overall Progress");
        QCOMPARE(h.find<QProgressBar>("overallProgressBar")->maximum(), 1000);
        QCOMPARE(h.text("currentItem"), "Current: Beta");
    }

    void dockKeepsWhatTheStartKept_data()
    {
        QTest::addColumn<QString>("kind"); // what the start did: "kept", "held", "completed", "kept, held"
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("said"); // the workspace's line, up to the words on staying open
        QTest::addColumn<QString>("badge");
        QTest::newRow("an older version kept") << "kept"
                                               << "Versions Kept at Start"
                                               << "The start kept some versions aside"
                                               << "Versions Kept";
        QTest::newRow("a file a program held") << "held"
                                               << "Files Programs Still Hold"
                                               << "Programs still hold files of a migration"
                                               << "Still Held";
        QTest::newRow("completed instead of taken back")
            << "completed"
            << "Migrations Completed at Start"
            << "The start completed a migration that was being taken back"
            << "Completed Instead";
        QTest::newRow("a version kept, another held") << "kept, held"
                                                      << "What the Start Did"
                                                      << "The start put interrupted operations right"
                                                      << "Versions Kept";
    }
    // What the start-up did while it put an interrupted migration right holds the dock open with its
    // record, headed by what it is: the folder, where the version was kept (or the data is now) and
    // the start-up's own words; the status line's next answer (a deep scan's) leaves it there, and
    // its button opens the folder that holds the kept version (or the data).
    void dockKeepsWhatTheStartKept()
    {
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QString, said);
        QFETCH(QString, badge);
        const bool held = kind.contains("held");
        const bool completed = kind == "completed";
        test::ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        const QString notes = fx.tree.dir("Notes");
        const QString target = fx.tree.dir("Volume/Store/Notes");
        const QString newer = fx.tree.file(".Notes.orvalink-staging-5C0A71E2/log.txt", "newer");
        const QString older = fx.tree.file("Notes/.log.txt.orvalink-append-preserved-5C0A71E2", "old");
        const QString kept = completed ? target : kind.startsWith("kept") ? older : newer;
        KeptVersionsRecord record{
            QUuid::createUuid(), notes, kept, {}, {}, QDateTime::currentDateTimeUtc(), {}, {}, completed};
        if (held) {
            record.heldPaths = {newer};
            record.holders = {"logger"};
        }
        if (kind.startsWith("kept"))
            record.olderVersions = {older};
        ViewModelInternals::context(*vm).history().setKeptVersions({record});
        DetailPaneHarness h(*vm, true);
        h.settle();
        QCOMPARE(h.text("activitySummary"),
                 said + ", so the activity workspace stays open until you close it.");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(),
                 "exclamationmark.triangle.fill");
        QCOMPARE(h.text("keptVersionsSectionTitle"), title);
        QCOMPARE(h.shownRecords("keptVersionsSectionScroll"), 1);
        const auto part = [&h](const char* name) {
            return test::recordPart(*h.pane, "keptVersionsSectionScroll", 0, name);
        };
        QCOMPARE(part("recordName").text, "Notes");
        QCOMPARE(part("leftBehindBadge").text, badge);
        QCOMPARE(part("leftBehindSource").text, "Folder: " + notes);
        QCOMPARE(part("leftBehindTarget").text, (completed ? "Now at: " : "Kept at: ") + kept);
        QCOMPARE(part("leftBehindTarget").path, kept);
        QStringList advice;
        if (completed)
            advice.append("The migration of " + notes +
                          " was being taken back when the application stopped; its copy on the external disk "
                          "was whole, so the migration was completed instead: " +
                          notes + " -> " + target + ".");
        if (kind.startsWith("kept"))
            advice.append(
                "What changed after it was copied took its place; the versions it replaced were kept "
                "at: " +
                older + ".");
        if (held)
            advice.append("Files of " + notes +
                          " were left where they are because a program still has them open (logger): " +
                          newer + ". Once nothing holds them any more, the next start finishes with them.");
        QCOMPARE(part("leftBehindAdvice").text, advice.join(" "));
        QCOMPARE(part("openTargetButton").text, completed ? "Open Target" : "Open Kept Place");
        QVERIFY(part("appendRestoreButton").name.isEmpty());
        h.save("detail-start-" + QString(kind).replace(", ", "-"));

        ViewModelInternals::context(*vm).activity().setInfoMessage(
            BilingualText::same("Scanned 1 items from " + fx.home.home()));
        h.settle();
        QCOMPARE(h.shownRecords("keptVersionsSectionScroll"), 1);
        QVERIFY(test::clickRecordPart(*h.pane, "keptVersionsSectionScroll", 0, "openTargetButton"));
        QCOMPARE(vm->browsing().currentDirectoryPath(), completed ? kept : platform::parentPath(kept));
        h.button("activityToggle")->click();
        h.settle();
        QCOMPARE(h.text("activityBadge"), "Needs Review");
        QVERIFY2(h.text("activitySummary").startsWith(said + ". Expand shows "),
                 qPrintable(h.text("activitySummary")));
    }

    // A batch run in both languages (the first setting), then the language changed: the header
    // says the operation finished, and no collapse is timed here (the window times it), so it speaks
    // of none; the progress card's title follows the language.
    void dockAfterABatch_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("badge");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("title");
        const QString zhSummary = QStringLiteral("最近操作已完成。");
        const QString enSummary = QStringLiteral("The latest operation finished.");
        QTest::newRow("chinese") << UILanguage::chinese << "已完成" << zhSummary << "迁移";
        QTest::newRow("english") << UILanguage::english << "Finished" << enSummary << "Migration";
        QTest::newRow("bilingual") << UILanguage::bilingual << "已完成 Finished"
                                   << zhSummary + " " + enSummary << "迁移 Migration";
    }

    void dockAfterABatch()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, title);
        WorkflowFixture w(UILanguage::bilingual);
        SKIP_WITHOUT(w);
        MainViewModel& vm = w.vm();
        migrate(vm, makeFolders(w, {"One", "Two"}));
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), "迁移 Migration");
        vm.settings().setLanguage(language);
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), title);
        DetailPaneHarness h(vm);
        h.settle();
        QTEST(h.text("activityBadge"), "badge");
        QTEST(h.text("activitySummary"), "summary");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(), "bolt.circle.fill");

        h.button("activityToggle")->click();
        h.settle();
        QCOMPARE(h.shown("migrationProgressCard").size(), 1);
        QCOMPARE(h.text("progressTitle"), title);
        QCOMPARE(h.text("progressPercent"), "100%");
        h.save(QStringLiteral("detail-after-batch-%1").arg(QTest::currentDataTag()));

        // A title given as one text reads the same in every language.
        ViewModelInternals::context(vm).activity().setCurrentOperationTitle(BilingualText::same("Custom"));
        vm.settings().setLanguage(language == UILanguage::english ? UILanguage::chinese
                                                                  : UILanguage::english);
        QCOMPARE(shown(vm, vm.activity().currentOperationTitle()), "Custom");
    }

    // A migration with a failed item, then a batch undo of the two that moved: the dock speaks of the
    // undo alone. No card of the migration stays, its failure no longer holds the dock open, and the
    // status line no longer gives the migration's summary.
    void dockAfterAnUndoSpeaksOfTheUndo()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "a").section('/', 0, -2);
        test::TestTree(w.targetOf(alpha)).file("old.txt", "old");
        const QStringList moved = makeFolders(w, {"Downloads", "Movies"});
        MainViewModel& vm = w.vm();
        migrate(vm, QStringList{alpha} + moved);
        DetailPaneHarness h(vm, true);
        h.settle();
        QCOMPARE(h.text("activitySummary"),
                 "Failed items are present, so the activity workspace stays open until you close it.");
        QCOMPARE(h.shownRecords(kMigratedRecords), 2);
        QCOMPARE(h.shownRecords(kFailedRecords), 1);

        vm.workflows().selectAllUndoMappings();
        h.settle();
        QVERIFY(h.button("undoSelectedButton")->isEnabled());
        h.button("undoSelectedButton")->click();
        // The undo's answer comes after the history and the listing are read again, and ends it.
        QTRY_COMPARE(test::infoLine(vm), std::optional<QString>("Restored 2 records."));
        QVERIFY(!vm.activity().isUndoing());
        QVERIFY(vm.history().undoHistory().isEmpty());
        h.settle();
        QCOMPARE(h.text("progressTitle"), "Undo Selected Records");
        QCOMPARE(h.text("progressStatus"), "Success 2 · Failed 0");
        QCOMPARE(h.text("progressPercent"), "100%");
        QCOMPARE(h.text("activitySummary"), "The latest operation finished.");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(), "bolt.circle.fill");
        QCOMPARE(h.shownRecords(kMigratedRecords), 0);
        QCOMPARE(h.shownRecords(kFailedRecords), 0);
        QCOMPARE(h.shownRecords(kRestoredRecords), 2);
        QVERIFY(h.shown("migratedRecordsSection").isEmpty() && h.shown("failedRecordsSection").isEmpty());
        h.save("detail-after-undo-following-migration");
    }

    // An undo from "Undo Last Move" while a program writes into the folder: the data comes home but
    // the new file stays on the volume. The dock says so instead of telling of a finished operation,
    // lists no restored path but what stayed, where and how many, and offers the append restore,
    // which brings it home: then the dock tells of that restore.
    void dockAfterAnUndoThatLeftItemsBehind()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QString notes = w.tree.file("Notes/a.txt", "a").section('/', 0, -2);
        MainViewModel& vm = w.vm();
        migrate(vm, {notes});
        DetailPaneHarness h(vm, true);
        h.settle();
        test::WriterDuringUndo writer(w, notes, "late.txt");
        SKIP_WITHOUT(writer);
        h.button("undoLastButton")->click();
        QTRY_VERIFY(!vm.history().undoLeftovers().isEmpty());
        QTRY_VERIFY(!vm.activity().isUndoing());
        h.settle();
        QVERIFY(writer.hasWritten());
        QCOMPARE(h.text("activitySummary"),
                 "Some items stayed on the external disk, so the activity workspace stays open until you "
                 "close it.");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(),
                 "exclamationmark.triangle.fill");
        QCOMPARE(h.shownRecords(kRestoredRecords), 0);
        QCOMPARE(h.text("leftBehindRecordsSectionTitle"), "Left on the External Disk");
        QCOMPARE(h.shownRecords(kLeftBehindRecords), 1);
        const auto part = [&h](const char* name) {
            return test::recordPart(*h.pane, kLeftBehindRecords, 0, name);
        };
        QCOMPARE(part("recordName").text, "Notes");
        QCOMPARE(part("leftBehindBadge").text, "Incomplete");
        QCOMPARE(part("leftBehindSource").text, "Back at: " + notes);
        QCOMPARE(part("leftBehindSource").path, notes);
        QCOMPARE(part("leftBehindTarget").text, "Stayed in: " + w.targetOf(notes));
        QCOMPARE(part("leftBehindTarget").path, w.targetOf(notes));
        QVERIFY(part("leftBehindAdvice").text.startsWith("1 item(s) stayed on the external disk"));
        QCOMPARE(part("appendRestoreButton").text, "Append Restore");
        QVERIFY(part("appendRestoreButton").enabled);
        QCOMPARE(part("openTargetButton").text, "Open Target");
        h.save("detail-after-undo-left-behind");

        QVERIFY(test::clickRecordPart(*h.pane, kLeftBehindRecords, 0, "appendRestoreButton"));
        QTRY_COMPARE(vm.history().lastRestoredPaths(), QStringList{notes});
        QTRY_VERIFY(!vm.activity().isUndoing());
        h.settle();
        QCOMPARE(w.tree.read("Notes/late.txt"), QByteArray("late"));
        QVERIFY(!QFileInfo::exists(w.targetOf(notes)));
        QVERIFY(vm.history().undoHistory().isEmpty());
        QVERIFY(h.shown("leftBehindRecordsSection").isEmpty());
        QCOMPARE(h.shownRecords(kRestoredRecords), 1);
        QCOMPARE(h.text("activitySummary"), "The latest operation finished.");
    }

    // "Repair All Broken Links" after a migration, its volume back under another name and the data
    // of one item gone from it: the dock speaks of the repair alone. The migration's cards (its
    // progress and its targets) go, the repair's card lists the two links it repaired and the one it could
    // not, which holds the dock open for review, and the status line says the same counts.
    void dockAfterARepairSpeaksOfTheRepair()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        w.setVolumeUUID(w.volumePath(), "REPAIR-VOLUME");
        const QStringList sources = makeFolders(w, {"Projects", "Music", "Videos"});
        MainViewModel& vm = w.vm();
        migrate(vm, sources);
        DetailPaneHarness h(vm, true);
        h.settle();
        QCOMPARE(h.shownRecords(kMigratedRecords), 3);
        const test::MovedMount moved(w.volumePath(), w.fx.home.volumes() + "/Renamed");
        QVERIFY(moved.isValid());
        const QString renamed = w.fx.home.volumes() + "/Renamed/Store";
        QVERIFY(QDir(renamed + sources.at(2)).removeRecursively());

        h.button("migratedItemsToggle")->click();
        h.settle();
        QVERIFY(h.button("repairAllLinks")->isEnabled());
        h.button("repairAllLinks")->click();
        QTRY_VERIFY(vm.history().lastLinkRepair());
        QTRY_VERIFY(!vm.activity().isRepairingLinks());
        h.settle();
        QCOMPARE(test::infoLine(vm),
                 std::optional<QString>("Repair finished. Scanned: 3, fixed: 2, failed: 1."));
        QVERIFY(h.shown("migratedRecordsSection").isEmpty());
        QCOMPARE(h.shownRecords(kMigratedRecords), 0);
        QVERIFY(h.shown("migrationProgressCard").isEmpty());
        QCOMPARE(h.text("linkRepairSectionTitle"), "Link Repair");
        QCOMPARE(h.text("linkRepairSectionNote"),
                 "Repair finished. Scanned: 3, fixed: 2, failed: 1. The log says why each link could not be "
                 "repaired.");
        QCOMPARE(h.shownRecords("linkRepairSectionScroll"), 3);
        QCOMPARE(
            h.text("activitySummary"),
            "Some links could not be repaired, so the activity workspace stays open until you close it.");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(),
                 "exclamationmark.triangle.fill");
        for (int row = 0; row < 3; ++row) {
            const auto part = [&](const char* name) {
                return test::recordPart(*h.pane, "linkRepairSectionScroll", row, name);
            };
            const QString source = part("recordLink").path;
            QVERIFY2(sources.contains(source), qPrintable(source));
            const bool gone = source == sources.at(2);
            QCOMPARE(part("linkStatusBadge").text, gone ? "Not Repaired" : "Repaired");
            QCOMPARE(part("recordLinkTarget").path, (gone ? w.targetRoot() : renamed) + source);
            QCOMPARE(part("recordLinkTarget").text,
                     (gone ? "Recorded Target: " : "Points to: ") + part("recordLinkTarget").path);
        }
        h.save("detail-after-repair");

        h.button("activityToggle")->click();
        h.settle();
        QCOMPARE(h.text("activityBadge"), "Needs Review");
        QCOMPARE(h.text("activitySummary"), "Some links could not be repaired. Expand shows them.");
    }

    // Undo mode decides the undo buttons, the history list and the migrated items; the user's
    // wish to see the migrated items outlives undo mode.
    void sectionPresence()
    {
        test::ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        DetailPaneHarness h(*vm);
        h.settle();
        QCOMPARE(h.text("activitySummary"), "No active operation right now.");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(), "bolt.circle.fill");
        QVERIFY(h.find<QLabel>("activityBadge")->isHidden());
        QCOMPARE(h.button("activityToggle")->text(), "Expand");
        QVERIFY(h.shown("migratedItemsBox").isEmpty());
        QCOMPARE(h.text("historySelection"), "No record selected");
        QCOMPARE(h.text("historyEmpty"), "No migration history");
        QVERIFY(!h.button("historySelectAll")->isEnabled());
        QVERIFY(!h.button("undoLastButton")->isEnabled());
        QVERIFY(!h.button("undoSelectedButton")->isEnabled());

        h.button("migratedItemsToggle")->click();
        h.settle();
        QCOMPARE(h.shown("migratedItemsBox").size(), 1);
        QCOMPARE(h.button("migratedItemsToggle")->text(), "Hide Migrated Items");
        QCOMPARE(h.text("migratedTotal"), "Total: 0");
        QCOMPARE(h.text("migratedSelection"), "No item selected");
        QCOMPARE(h.text("migratedEmpty"), "No migrated items");
        QVERIFY(!h.button("migratedSelectAll")->isEnabled());
        QVERIFY(!h.button("repairSelectedLinks")->isEnabled());
        QVERIFY(h.button("repairAllLinks")->isEnabled());

        h.find<QCheckBox>("undoModeToggle")->click();
        h.settle();
        QVERIFY(!vm->browsing().undoModeActive());
        QVERIFY(h.shown("migratedItemsBox").isEmpty());
        QVERIFY(h.shown("undoLastButton").isEmpty());
        QCOMPARE(h.shown("historyHint").size(), 1);
        QVERIFY(h.shown("historySelection").isEmpty());
        QVERIFY(h.state.showMigratedItemsPanel());
        h.find<QCheckBox>("undoModeToggle")->click();
        h.settle();
        QCOMPARE(h.shown("migratedItemsBox").size(), 1);

        h.button("storageToggle")->click();
        h.settle();
        QVERIFY(!h.state.showStorageOverviewExpanded());
        QVERIFY(h.shown("storageCards").isEmpty());
        QCOMPARE(h.button("storageToggle")->text(), "Expand");
    }

    // A finished batch: the records of the workspace, the history newest first, the footer.
    void migrationRecordsAndHistory()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QStringList sources = makeFolders(w, {"One", "Two", "Three"});
        MainViewModel& vm = w.vm();
        DetailPaneHarness h(vm);
        migrate(vm, sources);
        h.settle();
        // Nothing runs any more: the header says the work finished, not the counters the finished
        // batch keeps.
        QCOMPARE(h.text("activityBadge"), "Finished");
        QCOMPARE(h.text("activitySummary"), "The latest operation finished.");
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(), "bolt.circle.fill");

        QSignalSpy toggled(h.pane.get(), &ui::DetailPaneView::activityPanelToggledByUser);
        h.button("activityToggle")->click();
        QCOMPARE(toggled.size(), 1);
        h.settle();
        QCOMPARE(h.text("migratedRecordsSectionTitle"), "Migration Targets");
        QCOMPARE(h.shownRecords(kMigratedRecords), 3);
        // Three rows need more than the section's 140 pixels: they scroll inside it.
        const auto* rows = h.find<ui::RecordListView>(kMigratedRecords);
        QCOMPARE(rows->height(), 140);
        QVERIFY(rows->rowLayout(0).frame.height() > 40);
        QVERIFY(h.shown("failedRecordsSection").isEmpty());
        const ui::RecordRowPart target = test::recordPart(*h.pane, kMigratedRecords, 0, "recordTarget");
        QVERIFY(target.text.startsWith("Target: " + w.targetRoot()));
        QCOMPARE(target.path, vm.history().recentMigrations().first().targetPath);

        const auto* history = h.find<ui::MappingListView>("migrationHistoryList")->mappingModel();
        QCOMPARE(history->mappings(), vm.history().undoHistory());
        QCOMPARE(history->rowCount(), 3);
        for (int row = 1; row < history->rowCount(); ++row)
            QVERIFY(history->mappingAt(row - 1).recency() >= history->mappingAt(row).recency());
        QCOMPARE(h.text("selectionCount"), "Selected (files/folders): 0");
        ViewModelInternals::context(vm).browsing().setSelectedPaths({sources.first(), sources.last()});
        h.settle();
        QCOMPARE(h.text("selectionCount"), "Selected (files/folders): 2");
        QVERIFY(h.find<QWidget>("undoSpinner")->isHidden());
        h.save("detail-after-migration");
    }

    void undoFromTheControls()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QStringList sources = makeFolders(w, {"One", "Two", "Three"});
        MainViewModel& vm = w.vm();
        migrate(vm, sources);
        DetailPaneHarness h(vm, true);
        h.settle();
        const LinkMapping newest = vm.history().undoHistory().first();
        QVERIFY(h.button("undoLastButton")->isEnabled());
        h.button("undoLastButton")->click();
        QTRY_COMPARE(vm.history().lastRestoredPaths(), QStringList{newest.sourcePath});
        QTRY_VERIFY(!vm.activity().isUndoing());
        QVERIFY(isRealDirectory(newest.sourcePath));
        h.settle();
        QCOMPARE(h.shownRecords(kRestoredRecords), 1);
        QCOMPARE(test::recordPart(*h.pane, kRestoredRecords, 0, "restoredPath").path, newest.sourcePath);

        h.clickRow("migrationHistoryList", 0);
        h.clickRow("migrationHistoryList", 1);
        h.settle();
        QCOMPARE(vm.history().selectedUndoMappingIDs().size(), 2);
        QCOMPARE(h.text("historySelection"), "2 record(s) selected");
        QCOMPARE(h.button("undoSelectedButton")->text(), "Undo 2 Selected");
        QVERIFY(h.button("historyClear")->isEnabled());
        h.save("detail-history-marked");
        h.clickRow("migrationHistoryList", 1);
        h.settle();
        QCOMPARE(h.button("undoSelectedButton")->text(), "Undo Selected");
        h.clickRow("migrationHistoryList", 1);
        h.settle();
        h.button("undoSelectedButton")->click();
        QTRY_VERIFY(vm.history().undoHistory().isEmpty());
        QTRY_VERIFY(!vm.activity().isUndoing());
        for (const QString& source : sources)
            QVERIFY(isRealDirectory(source) && QFileInfo(source + "/data.bin").size() == 20000);
        h.settle();
        QCOMPARE(h.text("historyEmpty"), "No migration history");
        QVERIFY(!h.button("undoSelectedButton")->isEnabled());
    }

    // An occupied target fails with E004: the triangle, the review badge and Force Migrate, which
    // publishes the choice of a force mode. Privacy masks every path, the reason included.
    void failedRecordOffersForceMigration()
    {
        WorkflowFixture w(UILanguage::bilingual);
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "new").section('/', 0, -2);
        test::TestTree(w.targetOf(alpha)).file("old.txt", "old");
        MainViewModel& vm = w.vm();
        vm.settings().setPresentationPrivacyEnabled(true);
        DetailPaneHarness h(vm);
        migrate(vm, {alpha});
        QCOMPARE(vm.history().recentFailedMigrations().size(), 1);
        const FailedMigrationRecord record = vm.history().recentFailedMigrations().first();
        QCOMPARE(record.errorCode, std::optional<QString>("E004"));
        QVERIFY(record.errorMessage.contains(w.fx.home.home()));
        h.settle();
        // Failures come first for the icon and the summary; the ended batch runs no more, so the
        // failure is the badge too. Collapsed, the summary says where they are; open, that it
        // stays so.
        QCOMPARE(h.find<QLabel>("activityIcon")->property("symbol").toString(),
                 "exclamationmark.triangle.fill");
        QCOMPARE(h.text("activitySummary"),
                 "存在失败项目，展开即可查看。 Failed items are present. Expand shows them.");
        QCOMPARE(h.text("activityBadge"), "需处理 Needs Review");

        h.button("activityToggle")->click();
        h.settle();
        QCOMPARE(h.text("activitySummary"),
                 "存在失败项目，活动台将保持展开直到你手动关闭。 Failed items are present, so "
                 "the activity workspace stays open until you close it.");
        QCOMPARE(h.shownRecords(kFailedRecords), 1);
        const auto part = [&h](const char* name) {
            return test::recordPart(*h.pane, kFailedRecords, 0, name);
        };
        QCOMPARE(part("forceMigrateButton").text, "强制迁移 Force Migrate");
        QVERIFY(part("terminateRetryButton").name.isEmpty());
        QCOMPARE(part("openTargetButton").text, "查看目标 Open Target");
        // The reason is said once in each half, each in its own language.
        const QString reason = part("failedReason").text;
        QVERIFY2(reason.startsWith("失败原因: 目标位置已存在") && reason.count("失败原因") == 1 &&
                     reason.count("Reason: The target path already exists") == 1 &&
                     !reason.contains("Reason: 目标"),
                 qPrintable(reason));
        // Paths are shown as the state object masks them; the engine's reason names the paths in
        // full and is masked the same way.
        const QString home = w.fx.home.home();
        const ui::RecordRowPart plannedTarget = part("failedPlannedTarget");
        QCOMPARE(plannedTarget.text,
                 "计划目标 Planned Target: " + vm.presentation().displayPath(record.targetPath));
        QCOMPARE(plannedTarget.path, record.targetPath);
        for (const QString& text : shownTexts(h.pane.get())) {
            if (text != plannedTarget.text)
                QVERIFY2(!text.contains(home) && !text.contains(w.volumePath()), qPrintable(text));
        }
        QCOMPARE(part("failedSource").path, alpha);
        h.save("detail-failed-e004-bilingual-private");

        QVERIFY(test::clickRecordPart(*h.pane, kFailedRecords, 0, "forceMigrateButton"));
        QVERIFY(vm.activity().migrationConflictPrompt());
        QCOMPARE(vm.activity().migrationConflictPrompt()->record, record);
    }

    void failedRecordOffersToEndHolders()
    {
        WorkflowFixture w(UILanguage::bilingual);
        SKIP_WITHOUT(w);
        const QString alpha = w.tree.file("Alpha/a.txt", "a").section('/', 0, -2);
        test::HoldingProcess::Options holding;
        holding.workingDirectory = alpha;
        test::HoldingProcess holder(holding);
        MainViewModel& vm = w.vm();
        DetailPaneHarness h(vm, true);
        migrate(vm, {alpha});
        QCOMPARE(vm.history().recentFailedMigrations().value(0).errorCode, std::optional<QString>("E007"));
        h.settle();
        const auto part = [&h](const char* name) {
            return test::recordPart(*h.pane, kFailedRecords, 0, name);
        };
        QVERIFY(part("forceMigrateButton").name.isEmpty());
        QCOMPARE(part("terminateRetryButton").text, "终止占用程序并重试 Terminate Holders and Retry");
        QVERIFY(part("terminateRetryButton").enabled);
        QVERIFY(!part("openTargetButton").name.isEmpty());
        h.save("detail-failed-e007");
        // The rows follow the language.
        vm.settings().setLanguage(UILanguage::english);
        h.settle();
        QCOMPARE(part("terminateRetryButton").text, "Terminate Holders and Retry");
        QCOMPARE(part("openSourceButton").text, "Open in Sidebar");
        QVERIFY(test::clickRecordPart(*h.pane, kFailedRecords, 0, "terminateRetryButton"));
        QTRY_VERIFY_WITH_TIMEOUT(vm.history().recentFailedMigrations().isEmpty(), 20000);
        QTRY_VERIFY(!vm.activity().isMigrating());
        QCOMPARE(platform::readSymbolicLink(alpha), std::optional<QString>(w.targetOf(alpha)));
        h.settle();
        QCOMPARE(h.shownRecords(kFailedRecords), 0);
    }

    // The migrated items, newest first; marking rows renames the repair button, in each language.
    void migratedItemsSelection()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QStringList sources = makeFolders(w, {"One", "Two", "Three"});
        MainViewModel& vm = w.vm();
        migrate(vm, sources);
        DetailPaneHarness h(vm);
        h.button("migratedItemsToggle")->click();
        h.settle();
        auto* list = h.find<ui::MappingListView>("migratedItemsList");
        QCOMPARE(list->mappingModel()->mappings(), vm.history().migratedMappings());
        QCOMPARE(h.text("migratedTotal"), "Total: 3");
        for (int row = 0; row < 3; ++row)
            h.clickRow("migratedItemsList", row);
        h.settle();
        QCOMPARE(h.text("migratedSelection"), "3 item(s) selected");
        QCOMPARE(h.button("repairSelectedLinks")->text(), "Repair 3 Selected Links");
        vm.settings().setLanguage(UILanguage::chinese);
        h.settle();
        QCOMPARE(h.button("repairSelectedLinks")->text(), "修复所选 3 条链接");
        QCOMPARE(h.text("migratedSelection"), "已选择 3 项");
        h.save("detail-migrated-items-chinese");
        h.clickRow("migratedItemsList", 2);
        h.clickRow("migratedItemsList", 1);
        h.settle();
        QCOMPARE(h.button("repairSelectedLinks")->text(), "修复所选链接");
        h.button("repairSelectedLinks")->click();
        QTRY_VERIFY(!vm.activity().isRepairingLinks());
        for (const LinkMapping& mapping : vm.history().migratedMappings())
            QCOMPARE(platform::readSymbolicLink(mapping.sourcePath),
                     std::optional<QString>(mapping.targetPath));
        h.button("migratedClear")->click();
        h.settle();
        QVERIFY(vm.history().selectedMigratedMappingIDs().isEmpty());
        QVERIFY(!h.button("migratedClear")->isEnabled());
    }

    // Under presentation privacy the menus still act on the real paths: a record's path line, a
    // history row's path line, and the whole-row menu of a migrated item.
    void menusActOnRealPaths()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QStringList sources = makeFolders(w, {"One"});
        MainViewModel& vm = w.vm();
        migrate(vm, sources);
        vm.settings().setPresentationPrivacyEnabled(true);
        DetailPaneHarness h(vm, true);
        h.button("migratedItemsToggle")->click();
        h.settle();
        const LinkMapping mapping = vm.history().undoHistory().first();

        QVERIFY(!test::recordPart(*h.pane, kMigratedRecords, 0, "recordUndoReturn")
                     .text.contains(w.fx.home.home()));
        QMenu* menu = test::recordPartMenu(*h.pane, kMigratedRecords, 0, "recordUndoReturn");
        QVERIFY(menu);
        QCOMPARE(menu->objectName(), "pathContextMenu");
        menu->findChild<QAction*>("copyPathAction")->trigger();
        QCOMPARE(w.fx.clipboard->texts.last(), mapping.sourcePath);
        menu->close();

        const auto rowMenu = [&h](const QString& listName, int yOffset) -> QMenu* {
            auto* list = h.find<ui::MappingListView>(listName);
            const QRect rect = list->visualRect(list->model()->index(0, 0));
            const QPoint at(rect.left() + 20, rect.top() + yOffset);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &event);
            QMenu* shown = nullptr;
            for (QMenu* candidate : h.pane->findChildren<QMenu*>()) {
                if (candidate->isVisible())
                    shown = candidate;
            }
            return shown;
        };
        const int rowHeight = ui::MappingRowDelegate::rowHeight(h.pane->font());
        // The target line is the row's last line.
        QMenu* targetMenu = rowMenu("migrationHistoryList", rowHeight - 10);
        QVERIFY(targetMenu);
        QCOMPARE(targetMenu->objectName(), "pathContextMenu");
        targetMenu->findChild<QAction*>("copyPathAction")->trigger();
        QCOMPARE(w.fx.clipboard->texts.last(), mapping.targetPath);
        targetMenu->close();
        QVERIFY(!rowMenu("migrationHistoryList", 8));

        QMenu* itemMenu = rowMenu("migratedItemsList", 8);
        QVERIFY(itemMenu);
        QCOMPARE(itemMenu->objectName(), "migratedRowMenu");
        QCOMPARE(itemMenu->actions().size(), 5);
        itemMenu->actions().at(4)->trigger();
        QCOMPARE(w.fx.revealer->revealed.last(), mapping.targetPath);
        itemMenu->close();
    }

    // A batch inserts one row per finished item into the records list: nothing is reset, no row
    // is removed or repainted, and the section builds no widget for a record.
    void aBatchInsertsItsRows()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QStringList names{"One", "Two", "Three", "Four", "Five", "Six"};
        const QStringList sources = makeFolders(w, names);
        MainViewModel& vm = w.vm();
        DetailPaneHarness h(vm, true);
        h.settle();
        QAbstractItemModel* rows = h.find<ui::RecordListView>(kMigratedRecords)->model();
        auto* section = h.find<QWidget>("migratedRecordsSection");
        const qsizetype widgets = section->findChildren<QWidget*>().size();
        QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(rows, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(rows, &QAbstractItemModel::dataChanged);
        QSignalSpy resets(rows, &QAbstractItemModel::modelReset);
        migrate(vm, sources);
        h.settle();

        QCOMPARE(rows->rowCount(), names.size());
        int insertedRows = 0;
        for (const QList<QVariant>& arguments : inserted) {
            QCOMPARE(arguments.at(1).toInt(), 0); // newest first
            insertedRows += arguments.at(2).toInt() - arguments.at(1).toInt() + 1;
        }
        QCOMPARE(insertedRows, names.size());
        QVERIFY(inserted.size() > 1);
        QCOMPARE(removed.size(), 0);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(section->findChildren<QWidget*>().size(), widgets);
    }

    // The rows keep their layouts while they show; a change of language or privacy still shows
    // the new texts.
    void recordRowsFollowTheTexts()
    {
        test::ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([](AppConfig& config) { config.uiLanguage = UILanguage::english; });
        const QString alpha = fx.tree.dir("Alpha");
        ViewModelInternals::context(*vm).history().setRecentMigrations(
            {{QUuid::createUuid(), alpha, "/mnt/v/Alpha", QDateTime::currentDateTime()}});
        DetailPaneHarness h(*vm);
        h.settle();
        const auto part = [&h](const char* name) {
            return test::recordPart(*h.pane, kMigratedRecords, 0, name).text;
        };
        QCOMPARE(part("recordTarget"), "Target: /mnt/v/Alpha");
        h.pane->grab();
        vm->settings().setLanguage(UILanguage::chinese);
        h.settle();
        QCOMPARE(part("recordTarget"), "目标目录: /mnt/v/Alpha");
        QCOMPARE(part("recordUndoReturn"), "反悔将返回到: " + vm->presentation().displayPath(alpha));
        h.pane->grab();
        vm->settings().setPresentationPrivacyEnabled(true);
        h.settle();
        QVERIFY(!part("recordUndoReturn").contains(alpha));
        QCOMPARE(part("recordUndoReturn"), "反悔将返回到: " + vm->presentation().displayPath(alpha));
    }

    // Each panel of the lists refreshes on what it shows: not on progress, a search keystroke or
    // the sidebar's selection.
    void panelsWatchWhatTheyShow_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("scheduled");
        const QString records = QStringLiteral("activityRecords");
        const QString migrated = QStringLiteral("migratedItemsPanel");
        const QString history = QStringLiteral("migrationHistoryPanel");
        QTest::newRow("progress sample") << "progress" << QStringList();
        QTest::newRow("search keystroke") << "search" << QStringList();
        QTest::newRow("sidebar selection") << "selection" << QStringList();
        QTest::newRow("records") << "records" << QStringList{records};
        QTest::newRow("undo marks") << "undoMarks" << QStringList{history};
        QTest::newRow("migrated marks") << "migratedMarks" << QStringList{migrated};
        QTest::newRow("undo mode") << "undoMode" << QStringList{history};
        QTest::newRow("disk work") << "diskWork" << QStringList{records, migrated};
        QTest::newRow("language") << "language" << QStringList{records, migrated, history};
        QTest::newRow("privacy") << "privacy" << QStringList{records, migrated, history};
    }

    void panelsWatchWhatTheyShow()
    {
        QFETCH(QString, change);
        test::ViewModelFixture fx;
        auto vm = fx.makeViewModelWithSettings();
        DetailPaneHarness h(*vm);
        h.settle();
        const auto scheduled = [&h] {
            QStringList names;
            for (const char* name : {"activityRecords", "migratedItemsPanel", "migrationHistoryPanel"}) {
                const auto* scheduler = h.find<QWidget>(name)->findChild<ui::RefreshScheduler*>(
                    QString(), Qt::FindDirectChildrenOnly);
                if (scheduler && scheduler->isPending())
                    names.append(QString::fromLatin1(name));
            }
            return names;
        };
        QCOMPARE(scheduled(), QStringList());
        ViewModelContext& context = ViewModelInternals::context(*vm);
        if (change == "progress") {
            context.activity().setMigrationProcessedBytes(4096);
            context.activity().setMigrationProcessedItems(1);
        } else if (change == "search") {
            context.browsing().setSearchQuery("a");
        } else if (change == "selection") {
            context.browsing().setSelectedPaths({fx.tree.dir("Alpha")});
        } else if (change == "records") {
            context.history().setRecentMigrations(
                {{QUuid::createUuid(), fx.tree.dir("Alpha"), "/mnt/v/Alpha", QDateTime::currentDateTime()}});
        } else if (change == "undoMarks") {
            context.history().setSelectedUndoMappingIDs({QUuid::createUuid()});
        } else if (change == "migratedMarks") {
            context.history().setSelectedMigratedMappingIDs({QUuid::createUuid()});
        } else if (change == "undoMode") {
            context.browsing().setUndoModeActive(false);
        } else if (change == "diskWork") {
            context.activity().setDiskWork(DiskWork::undo);
        } else if (change == "language") {
            vm->settings().setLanguage(UILanguage::chinese);
        } else {
            vm->settings().setPresentationPrivacyEnabled(true);
        }
        QTEST(scheduled(), "scheduled");
    }

    void storageCardsShowTheRealVolumes()
    {
        WorkflowFixture w;
        SKIP_WITHOUT(w);
        const QStringList sources = makeFolders(w, {"One"});
        MainViewModel& vm = w.vm();
        migrate(vm, sources);
        DetailPaneHarness h(vm);
        h.settle();
        const QStorageInfo volume(w.volumePath());
        const BrowsingState& browsing = vm.browsing();
        QCOMPARE(browsing.targetVolumeTotalBytes(), volume.bytesTotal());
        const auto card = [&h](const char* name) {
            return h.find<QWidget>(name);
        };
        const auto cardText = [&](const char* name, const char* label) {
            return card(name)->findChild<QLabel*>(label)->text();
        };
        QCOMPARE(cardText("targetVolumeCard", "cardTotal"),
                 "Total: " + Formatters::sizeString(volume.bytesTotal()));
        QCOMPARE(cardText("targetVolumeCard", "cardFree"),
                 "Free: " + Formatters::sizeString(browsing.targetVolumeFreeBytes()));
        QCOMPARE(cardText("targetVolumeCard", "cardRatio"),
                 ui::percentText(vm.figures().targetVolumeUsageRatio()));
        QCOMPARE(card("targetVolumeCard")->findChild<ui::RingGauge*>()->ratio(),
                 vm.figures().targetVolumeUsageRatio());
        QVERIFY(browsing.systemVolumeTotalBytes() > 0);
        QCOMPARE(cardText("systemVolumeCard", "cardTotal"),
                 "Total: " + Formatters::sizeString(browsing.systemVolumeTotalBytes()));
        QCOMPARE(cardText("systemVolumeCard", "cardTitle"), "Internal Disk");
        QCOMPARE(cardText("directorySizeCard", "cardValue"),
                 Formatters::sizeString(browsing.currentDirectorySizeBytes()));
        QCOMPARE(cardText("selectionSizeCard", "cardValue"),
                 Formatters::sizeString(browsing.selectedSizeBytes()));
        h.save("detail-storage");
    }

    void languages_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("storage");
        QTest::addColumn<QString>("undoMode");
        QTest::addColumn<QString>("footer");
        QTest::newRow("chinese") << UILanguage::chinese << "存储概览"
                                 << "我要反悔"
                                 << "已选(文件/目录): 0";
        QTest::newRow("english") << UILanguage::english << "Storage Overview"
                                 << "I Want Undo"
                                 << "Selected (files/folders): 0";
        QTest::newRow("bilingual") << UILanguage::bilingual << "存储概览 Storage Overview"
                                   << "我要反悔 I Want Undo"
                                   << "已选(文件/目录) Selected (files/folders): 0";
    }

    void languages()
    {
        QFETCH(UILanguage, language);
        test::ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        DetailPaneHarness h(*vm);
        h.settle();
        QTEST(h.text("storageTitle"), "storage");
        QTEST(h.find<QCheckBox>("undoModeToggle")->text(), "undoMode");
        QTEST(h.text("selectionCount"), "footer");
        h.save(QStringLiteral("detail-idle-%1").arg(QTest::currentDataTag()));
    }
};

QTEST_MAIN(DetailPaneTest)
#include "tst_detailpane.moc"
