// The texts a user needs read whole, in every language setting and on a small laptop's screen as on
// a desktop's: the Activity Dock's summary, the Smart Migration summary, a failure line with its
// reason, a long folder name in the history, where a failed migration meant to put the data, and
// the dock after a link repair and after an undo that left entries on the volume.
#include "FitWindow.h"
#include "LayoutCheck.h"
#include "LongAnswers.h"
#include "UiTestSupport.h"
#include "diskops/UndoNotDone.h"
#include "model/AppPaths.h"
#include "platform/PlatformError.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/PlainToolTip.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/context/ViewModelContext.h"
#include "viewmodel/disk/AdministratorAuthorization.h"
#include "viewmodel/disk/RestoreQuestions.h"
#include "viewmodel/disk/UndoTriage.h"
#include "viewmodel/texts/MigrationFailureText.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace orvalink;
using namespace orvalink::test;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

QString longName()
{
    QString name = QStringLiteral("照片 Holiday photos and the videos of the whole summer ");
    while (name.size() < 146)
        name += QStringLiteral("and more ");
    return name.left(146) + QStringLiteral(" end");
}

// The prompt box on show in `window`, once it is laid out, when it fits the screen with its buttons
// inside it; null otherwise (said as a warning).
QMessageBox* shownBoxFits(QWidget& window)
{
    QMessageBox* box = nullptr;
    if (!QTest::qWaitFor([&] {
            box = window.findChild<QMessageBox*>(QStringLiteral("promptBox"));
            return box && box->isVisible();
        }))
        return nullptr;
    settleWindow(*box);
    const QRect screen = window.screen()->availableGeometry();
    const QRect frame = box->frameGeometry();
    bool buttonsInside = true;
    for (const QAbstractButton* button : box->buttons())
        buttonsInside = buttonsInside && box->rect().contains(button->geometry());
    if (frame.height() <= screen.height() && frame.width() <= screen.width() && buttonsInside)
        return box;
    qWarning("the box is %dx%d on a screen of %dx%d", frame.width(), frame.height(), screen.width(),
             screen.height());
    return nullptr;
}

// Saves the dock held open as `picture` plus the test's tag, then closes it as the user does: it
// stays closed, with no collapse timed, and says that something waits there, whole: `waits`, which
// Expand shows, no longer that it stays open.
void closeTheHeldDock(FitWindow& fit, const QString& picture, const BilingualText& waits)
{
    QWidget& window = *fit.w->window;
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(fit.saveAs(picture + tag));
    window.findChild<QPushButton*>(QStringLiteral("activityToggle"))->click();
    settleWindow(window);
    QVERIFY(!fit.w->viewState().showProgressPanel());
    QVERIFY(!fit.w->dashboard().isActivityAutoCollapsePending());
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("activityBadge"))->text(),
             fit.vm->presentation().localized({"需处理", "Needs Review"}));
    auto* summary = window.findChild<ui::ElidedLabel*>(QStringLiteral("activitySummary"));
    QCOMPARE(summary->text(), fit.vm->presentation().localized(waits));
    QVERIFY2(!summary->isElided(), qPrintable(summary->shownText()));
    QVERIFY(fit.saveAs(picture + QStringLiteral("closed-") + tag));
}

} // namespace

class WholeTextsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        prepareWidgetTests();
        if (const auto missing = missingPinnedFonts())
            QSKIP(qPrintable(*missing));
    }

    void readWhole_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QSize>("size");
        const QList<std::pair<const char*, UILanguage>> languages{
            {"zh", UILanguage::chinese}, {"en", UILanguage::english}, {"both", UILanguage::bilingual}};
        for (const auto& [name, language] : languages) {
            for (const QSize size : {QSize(1366, 698), QSize(1366, 768), QSize(1920, 1080)})
                QTest::addRow("%s-%dx%d", name, size.width(), size.height()) << language << size;
        }
    }

    void readWhole()
    {
        QFETCH(UILanguage, language);
        QFETCH(QSize, size);
        FitWindow fit(size, [language](AppConfig& config) {
            config.uiLanguage = language;
            config.smartMigrationEnabled = true;
            config.smartMigrationProfile = SmartMigrationProfile::other;
        });
        QVERIFY(fit.start());
        ViewModelContext& context = ViewModelInternals::context(*fit.vm);
        const QString alpha = fit.fx.tree.path(QStringLiteral("Alpha"));
        FailedMigrationRecord failed = failedRecord(alpha);
        failed.targetPath =
            fit.fx.home.volumes() + QStringLiteral("/Backup Disk of the Family 2026/Store") + alpha;
        failed.errorCode = QStringLiteral("E004");
        // The engine may word its description otherwise: the reason comes from the code.
        failed.errorMessage = QStringLiteral("Something already stands at ") + failed.targetPath;
        // Taken back with what a program wrote during the move in place: the reason says where the
        // versions it replaced were kept.
        const QString notes = fit.fx.tree.path(QStringLiteral("Notes"));
        FailedMigrationRecord changing = failedRecord(notes);
        changing.status = TaskStatus::rolledBack;
        changing.errorCode = QStringLiteral("E008");
        changing.shortfall = CopyShortfall::keptChanging(notes + QStringLiteral("/log.txt"));
        changing.olderVersions = {notes + QStringLiteral("/.log.txt.orvalink-append-preserved-5C0A71E2")};
        context.history().setRecentFailedMigrations({changing, failed});
        context.history().setUndoHistory({mappingRecord(fit.fx.tree.path(longName())),
                                          mappingRecord(fit.fx.tree.path(QStringLiteral("Folder 01")))});
        fit.vm->workflows().setUndoMode(true);
        const BilingualText summary =
            BilingualText("迁移完成。成功：%1，失败：%2。首个失败原因：%3",
                          "Migration done. Success: %1, failed: %2. First failure: %3")
                .arg(QStringLiteral("0"), QStringLiteral("1"),
                     failureCaseText(OrvalinkError::Case::sourceInUse, {QStringLiteral("python3")}));
        context.activity().setInfoMessage(summary);
        QWidget& window = *fit.w->window;
        window.findChild<QPushButton*>(QStringLiteral("smartMigrationToggle"))->click();
        settleWindow(window);

        // The dock's summary: whole, on the lines it may take.
        auto* dock = window.findChild<ui::ElidedLabel*>(QStringLiteral("activitySummary"));
        QVERIFY(dock && dock->isVisible());
        QVERIFY2(!dock->isElided(), qPrintable(dock->shownText()));
        // The Smart Migration summary reads whole above the cards.
        auto* description = window.findChild<QLabel*>(QStringLiteral("smartMigrationDescription"));
        QVERIFY(description && description->isVisible());
        QCOMPARE(description->text(), fit.vm->smartMigration().smartMigrationSummary());
        QVERIFY(description->height() >= description->heightForWidth(description->width()));
        // The failure line: each reason once, whole on the lines it takes.
        auto* info = window.findChild<ui::ElidedLabel*>(QStringLiteral("infoText"));
        const QString line = fit.vm->presentation().localized(summary);
        QCOMPARE(info->text(), line);
        QCOMPARE(line.count(QStringLiteral("python3")), language == UILanguage::bilingual ? 2 : 1);
        QVERIFY2(!info->isElided(), qPrintable(info->shownText()));
        // Where the failed migration meant to put the data, the volume's name included.
        const ui::RecordRowPart planned =
            recordPart(window, QString(), 1, QStringLiteral("failedPlannedTarget"));
        QVERIFY(planned.text.contains(QStringLiteral("Backup Disk of the Family 2026")));
        QVERIFY(!planned.isElided());
        const QRect needed = QFontMetrics(planned.font)
                                 .boundingRect(QRect(0, 0, planned.textRect().width(), 2000),
                                               Qt::AlignLeft | Qt::TextWrapAnywhere, planned.text);
        QVERIFY2(needed.height() <= planned.rect.height(),
                 qPrintable(QStringLiteral("%1 > %2").arg(needed.height()).arg(planned.rect.height())));
        // The failed item's reason, from its code.
        const QString reason = recordPart(window, QString(), 1, QStringLiteral("failedReason")).text;
        QVERIFY2(reason.startsWith(language == UILanguage::english
                                       ? QStringLiteral("Reason: The target path already exists.")
                                       : QStringLiteral("失败原因: 目标位置已存在同名目录或文件。")),
                 qPrintable(reason));
        QCOMPARE(reason.contains(QStringLiteral("Reason: The target path already exists.")),
                 language != UILanguage::chinese);
        const ui::RecordRowPart older = recordPart(window, QString(), 0, QStringLiteral("failedReason"));
        QVERIFY2(older.text.contains(changing.olderVersions.constFirst()), qPrintable(older.text));
        QVERIFY2(!older.isElided(), qPrintable(older.text));
        // The long name in the history: its end, where such names differ, shows.
        auto* history = window.findChild<QListView*>(QStringLiteral("migrationHistoryList"));
        QVERIFY(history && history->isVisible());

        const char* names[] = {"zh", "en", "both"};
        QVERIFY(fit.saveAs(QStringLiteral("whole-%1-%2x%3")
                               .arg(QString::fromLatin1(names[int(language)]))
                               .arg(size.width())
                               .arg(size.height())));
    }

    // A repair after a migration, one of its links not repaired: the dock speaks of the repair, not
    // of the migration, reads whole, shows the link it could not repair at the top of its card, and
    // stays open, never timing its collapse, until the user closes it.
    void theDockTellsOfTheRepair_data() { addSizeAndLanguageRows(); }
    void theDockTellsOfTheRepair()
    {
        QFETCH(UILanguage, language);
        QFETCH(QSize, size);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        ViewModelContext& context = ViewModelInternals::context(*fit.vm);
        const QStringList paths{fit.fx.tree.path(QStringLiteral("Projects")),
                                fit.fx.tree.path(QStringLiteral("Music")),
                                fit.fx.tree.path(QStringLiteral("Videos"))};
        context.history().setRecentMigrations({successRecord(paths.at(0)), successRecord(paths.at(1))});
        settleWindow(window);
        QVERIFY(fit.w->dashboard().isActivityAutoCollapsePending());

        // What the repair publishes, from its start to its end.
        context.activity().setDiskWork(DiskWork::linkRepair);
        context.history().setRecentMigrations({});
        settleWindow(window);
        context.history().setLastLinkRepair(LinkRepairReport{
            BilingualText("修复完成。已扫描：3，修复：2，失败：1。 每条链接未能修复的原因见日志。",
                          "Repair finished. Scanned: 3, fixed: 2, failed: 1. The log says why each link "
                          "could not be repaired."),
            {linkRepairRecord(paths.at(2), false), linkRepairRecord(paths.at(0), true),
             linkRepairRecord(paths.at(1), true)}});
        context.activity().setDiskWork(DiskWork::none);
        settleWindow(window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(!fit.w->dashboard().isActivityAutoCollapsePending());
        QVERIFY(!window.findChild<QWidget*>(QStringLiteral("migratedRecordsSection"))->isVisible());

        auto* summary = window.findChild<ui::ElidedLabel*>(QStringLiteral("activitySummary"));
        QVERIFY2(!summary->isElided(), qPrintable(summary->shownText()));
        QVERIFY(summary->text().contains(QStringLiteral("stays open until you close it")) ||
                summary->text().contains(QStringLiteral("活动台将保持展开直到你手动关闭")));
        auto* note = window.findChild<QLabel*>(QStringLiteral("linkRepairSectionNote"));
        QVERIFY(note && note->isVisible());
        QVERIFY(note->height() >= note->heightForWidth(note->width()));
        // The link not repaired is the row in view.
        auto* links = window.findChild<QAbstractItemView*>(QStringLiteral("linkRepairSectionScroll"));
        QVERIFY(links && links->isVisible());
        QCOMPARE(links->model()->rowCount(), 3);
        const ui::RecordRowPart badge = recordPart(window, QStringLiteral("linkRepairSectionScroll"), 0,
                                                   QStringLiteral("linkStatusBadge"));
        QCOMPARE(badge.text, fit.vm->presentation().localized({"未修复", "Not Repaired"}));
        QVERIFY(links->viewport()->visibleRegion().contains(badge.rect));
        QCOMPARE(
            recordPart(window, QStringLiteral("linkRepairSectionScroll"), 0, QStringLiteral("recordLink"))
                .path,
            paths.at(2));
        closeTheHeldDock(
            fit, QStringLiteral("dock-repair-"),
            {"有链接未能修复，展开即可查看。", "Some links could not be repaired. Expand shows them."});
    }

    // An undo that came home but left entries on the volume: the dock does not call the operation
    // finished, shows what stayed with the append restore that brings it home, in view and whole,
    // and stays open, never timing its collapse, until the user closes it. So does the next undo,
    // done but for copies the volume kept: its card says where and how many, with nothing to restore.
    void whatStayedBehindStaysInView_data() { addSizeAndLanguageRows(); }
    void whatStayedBehindStaysInView()
    {
        QFETCH(UILanguage, language);
        QFETCH(QSize, size);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        ViewModelContext& context = ViewModelInternals::context(*fit.vm);
        const QString source = fit.fx.tree.path(QStringLiteral("Projects"));

        // What the undo publishes, from its start to its end.
        context.activity().setCurrentOperationTitle({"反悔上次迁移", "Undo Last Move"});
        context.activity().setMigrationTotalItems(1);
        context.activity().setDiskWork(DiskWork::undo);
        settleWindow(window);
        context.activity().setMigrationProcessedItems(1);
        context.activity().setMigrationFailedItems(1);
        context.history().setUndoLeftovers({leftBehindRecord(source, 3)});
        context.activity().setDiskWork(DiskWork::none);
        settleWindow(window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(!fit.w->dashboard().isActivityAutoCollapsePending());

        auto* summary = window.findChild<ui::ElidedLabel*>(QStringLiteral("activitySummary"));
        QVERIFY2(!summary->isElided(), qPrintable(summary->shownText()));
        QCOMPARE(
            summary->text(),
            fit.vm->presentation().localized(
                {"部分内容仍留在外置磁盘上，活动台将保持展开直到你手动关闭。",
                 "Some items stayed on the external disk, so the activity workspace stays open until you "
                 "close it."}));
        auto* records =
            window.findChild<QAbstractItemView*>(QStringLiteral("leftBehindRecordsSectionScroll"));
        QVERIFY(records && records->isVisible());
        const auto part = [&](const char* name) {
            return recordPart(window, QStringLiteral("leftBehindRecordsSectionScroll"), 0,
                              QString::fromLatin1(name));
        };
        // The whole record is in view, its remedy and where the rest stayed included.
        for (const char* name : {"leftBehindTarget", "leftBehindAdvice", "appendRestoreButton"})
            QVERIFY2(records->viewport()->visibleRegion().contains(part(name).rect), name);
        QCOMPARE(part("appendRestoreButton").text,
                 fit.vm->presentation().localized({"追加恢复", "Append Restore"}));
        QVERIFY(part("leftBehindAdvice").text.contains(QStringLiteral("3")));
        QVERIFY(part("leftBehindTarget").text.endsWith(QStringLiteral("/Volumes/External") + source));
        const BilingualText stayed("部分内容仍留在外置磁盘上，展开即可查看。",
                                   "Some items stayed on the external disk. Expand shows them.");
        closeTheHeldDock(fit, QStringLiteral("dock-left-behind-"), stayed);

        context.activity().setDiskWork(DiskWork::undo);
        context.history().setUndoLeftovers({});
        settleWindow(window);
        const LeftBehindRecord copies = leftBehindRecord(source, 2, true);
        context.history().setLastRestoredPaths({source});
        context.history().setUndoLeftovers({copies});
        const BilingualText said = leftBehindMessage(fit.vm->workflows().context(), copies);
        context.activity().setInfoMessage(said);
        context.activity().setDiskWork(DiskWork::none);
        settleWindow(window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(!fit.w->dashboard().isActivityAutoCollapsePending());
        // The status line says it too: cut short, it is whole in its tip.
        auto* info = window.findChild<ui::ElidedLabel*>(QStringLiteral("infoText"));
        QVERIFY(!info->isElided() ||
                info->toolTip() == ui::plainToolTip(fit.vm->presentation().localized(said)));
        QCOMPARE(part("leftBehindBadge").text,
                 fit.vm->presentation().localized({"副本未删除", "Copies Stayed"}));
        QVERIFY(part("appendRestoreButton").name.isEmpty());
        for (const char* name : {"leftBehindTarget", "leftBehindAdvice", "openTargetButton"})
            QVERIFY2(records->viewport()->visibleRegion().contains(part(name).rect), name);
        QVERIFY(part("leftBehindAdvice").text.contains(QStringLiteral("2")));
        closeTheHeldDock(fit, QStringLiteral("dock-copies-"), stayed);
    }

    // The long steps that follow a copy speak in the dock while they run: a migration taken back
    // (the folder coming home) and the start-up finishing an interrupted migration, each with its
    // folder and how far it has got, whole, covering no control; the start-up's folder list is not
    // idle meanwhile. Their answers that name a kept version stay in view, whole, until the user
    // closes the dock.
    void theDockTellsOfTheStepsAfterACopy_data()
    {
        addSizeAndLanguageRows();
        QTest::addRow("1366x698-zh") << QSize(1366, 698) << UILanguage::chinese;
        QTest::addRow("1366x698-en") << QSize(1366, 698) << UILanguage::english;
        QTest::addRow("1366x698-both") << QSize(1366, 698) << UILanguage::bilingual;
        QTest::addRow("1480x940-both") << QSize(1480, 940) << UILanguage::bilingual;
    }
    void theDockTellsOfTheStepsAfterACopy()
    {
        QFETCH(UILanguage, language);
        QFETCH(QSize, size);
        FitWindow fit(size, language);
        QVERIFY(fit.start());
        QWidget& window = *fit.w->window;
        ViewModelContext& context = ViewModelInternals::context(*fit.vm);
        const Presentation& texts = fit.vm->presentation();
        const QString source = fit.fx.tree.path(QStringLiteral("Notes"));
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const auto readsWhole = [&window](const char* name) {
            auto* label = window.findChild<ui::ElidedLabel*>(QString::fromLatin1(name));
            return label && label->isVisible() && !label->isElided();
        };
        const auto coversNothing = [&window] {
            return controlsUnder(window, *window.findChild<QWidget*>(QStringLiteral("activityWorkspace")));
        };
        // The running step's title, how far it has got and its folder, whole, covering no control:
        // empty, or what is not so.
        const auto stepFault = [&](const BilingualText& title, const QString& percent,
                                   const BilingualText& current) -> QString {
            const auto text = [&window](const char* name) {
                return window.findChild<QLabel*>(QString::fromLatin1(name))->text();
            };
            const QString shownTitle = texts.localized(title);
            const QString shownCurrent = texts.localized(current.arg(QStringLiteral("Notes")));
            if (text("activitySummary") != shownTitle + percent || text("progressTitle") != shownTitle ||
                text("currentItem") != shownCurrent)
                return text("activitySummary") + " | " + text("progressTitle") + " | " + text("currentItem");
            for (const char* name : {"activitySummary", "progressTitle", "progressStatus", "currentItem"}) {
                if (!readsWhole(name))
                    return QString::fromLatin1(name) + " is cut";
            }
            return coversNothing().join(QLatin1Char('\n'));
        };

        beginTakeBack(context, source);
        settleWindow(window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(fit.saveAs(QStringLiteral("dock-coming-home-") + tag));
        QString fault =
            stepFault({"迁移已撤回，文件夹正在搬回原处", "Migration taken back: the folder is coming home"},
                      " · 33%", {"正在搬回：%1", "Coming home: %1"});
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        endTakeBack(context, source);
        settleWindow(window);
        QVERIFY(fit.saveAs(QStringLiteral("dock-taken-back-kept-") + tag));
        const ui::RecordRowPart reason = recordPart(window, QStringLiteral("failedRecordsSectionScroll"), 0,
                                                    QStringLiteral("failedReason"));
        QVERIFY2(reason.text.contains(keptVersionOf(source)), qPrintable(reason.text));
        QVERIFY2(!reason.isElided(), qPrintable(reason.text));
        QCOMPARE(coversNothing(), QStringList());

        context.history().setRecentFailedMigrations({});
        beginStartRecovery(context, source);
        settleWindow(window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("scanIndicator"))->isVisible());
        QVERIFY(fit.saveAs(QStringLiteral("dock-start-finishing-") + tag));
        fault = stepFault({"正在完成上次中断的迁移", "Finishing a migration interrupted last time"}, " · 40%",
                          {"正在处理：%1", "Putting right: %1"});
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        endStartRecovery(context, source);
        settleWindow(window);
        QVERIFY(fit.w->viewState().showProgressPanel());
        QVERIFY(!window.findChild<QWidget*>(QStringLiteral("migrationProgressCard"))->isVisible());
        auto* kept = window.findChild<QAbstractItemView*>(QStringLiteral("keptVersionsSectionScroll"));
        QVERIFY(kept && kept->isVisible());
        const auto part = [&](const char* name) {
            return recordPart(window, QStringLiteral("keptVersionsSectionScroll"), 0,
                              QString::fromLatin1(name));
        };
        for (const char* name : {"leftBehindTarget", "leftBehindAdvice", "openTargetButton"})
            QVERIFY2(kept->viewport()->visibleRegion().contains(part(name).rect), name);
        QVERIFY(part("leftBehindAdvice").text.contains(keptVersionOf(source)));
        QVERIFY2(!part("leftBehindAdvice").isElided(), qPrintable(part("leftBehindAdvice").text));
        QCOMPARE(coversNothing(), QStringList());
        closeTheHeldDock(fit, QStringLiteral("dock-start-kept-"),
                         {"启动时处理了中断的操作，展开即可查看。",
                          "The start put interrupted operations right. Expand shows what it did."});
    }

    void leftBehindAnswerFits_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::newRow("zh") << UILanguage::chinese;
        QTest::newRow("en") << UILanguage::english;
        QTest::newRow("both") << UILanguage::bilingual;
    }

    // An undo during which a program wrote 2,540 files through the link: its answer is a message
    // box that fits the laptop's screen, its OK button on the screen, in every language. So is the
    // question about 40 programs holding a folder.
    void leftBehindAnswerFits()
    {
        QFETCH(UILanguage, language);
        ViewModelFixture fx;
        auto vm =
            fx.makeViewModelWithSettings([language](AppConfig& config) { config.uiLanguage = language; });
        ui::MainWindow window(*vm, withoutStartup());
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.resize(1366, 698);
        window.show();
        QTRY_VERIFY(window.dashboard().hasFinishedStartup());
        const QString source = fx.tree.path(QStringLiteral("Movies"));
        const LinkMapping mapping{QUuid::createUuid(),
                                  source,
                                  fx.home.volumes() + "/Disk/Store" + source,
                                  QStringLiteral("u"),
                                  {},
                                  QDateTime::currentDateTimeUtc(),
                                  QDateTime::currentDateTimeUtc()};
        QStringList written;
        for (int i = 0; i < 2540; ++i)
            written.append(mapping.targetPath + QStringLiteral("/Library/cache/frame-%1.tmp").arg(i));
        const LeftBehindRecord leftBehind{mapping.id,         mapping,        mapping.sourcePath,
                                          mapping.targetPath, written.size(), QDateTime::currentDateTime()};
        ViewModelInternals::context(*vm).activity().setErrorMessage(
            leftBehindMessage(vm->workflows().context(), leftBehind));

        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        QMessageBox* box = shownBoxFits(window);
        QVERIFY(box);
        QCOMPARE(box->buttons().size(), 1);
        QVERIFY(!saveScreen(box->grab().toImage(), QStringLiteral("left-behind-") + tag).isEmpty());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!vm->activity().errorMessage());

        // A question naming the programs that hold the folder, however many: a few, then a count.
        QStringList programs;
        for (int i = 0; i < 40; ++i)
            programs.append(QStringLiteral("worker-%1").arg(i));
        ActivityState& activity = ViewModelInternals::context(*vm).activity();
        QVERIFY(publishRestoreQuestion(activity, vm->presentation(),
                                       std::make_exception_ptr(OrvalinkError::sourceInUse(source, programs)),
                                       mapping, {}));
        QVERIFY((box = shownBoxFits(window)));
        QCOMPARE(box->buttons().size(), 2);
        const QString message = box->informativeText();
        QVERIFY2(message.contains(QStringLiteral("worker-4")) &&
                     !message.contains(QStringLiteral("worker-5")),
                 qPrintable(message));
        QVERIFY(message.contains(language == UILanguage::chinese ? QStringLiteral("以及另外 35 个")
                                                                 : QStringLiteral("and 35 more")));
        QVERIFY(!saveScreen(box->grab().toImage(), QStringLiteral("programs-question-") + tag).isEmpty());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!activity.undoConflictPrompt());

        // An undo stopped by a file deep in the folder that could not be read: nothing changed, and
        // the answer names the file whole.
        const QString unreadable = mapping.targetPath + QStringLiteral("/Library/cache/frame-0001.tmp");
        const platform::PlatformError failure = platform::PlatformError::fromErrno(EACCES, unreadable);
        const UndoNotDone notDone(
            source, mapping.targetPath,
            OrvalinkError::Underlying{failure.message(), EACCES, true, std::make_exception_ptr(failure)});
        activity.setErrorMessage(
            undoFailureMessage(vm->workflows().context(), std::make_exception_ptr(notDone), mapping));
        QVERIFY((box = shownBoxFits(window)));
        QVERIFY2(box->informativeText().contains(unreadable) || box->text().contains(unreadable),
                 qPrintable(box->text() + box->informativeText()));
        QVERIFY(!saveScreen(box->grab().toImage(), QStringLiteral("undo-not-done-") + tag).isEmpty());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!vm->activity().errorMessage());

        // The question for administrator rights names that file whole.
        QVERIFY(handleAdministratorAuthorizationRequirementIfNeeded(
            activity, vm->presentation(), std::make_exception_ptr(notDone), QStringLiteral("反悔迁移"),
            QStringLiteral("undo migrations"), unreadable));
        QVERIFY((box = shownBoxFits(window)));
        QCOMPARE(box->buttons().size(), 2);
        QVERIFY2(box->informativeText().contains(unreadable) || box->text().contains(unreadable),
                 qPrintable(box->text() + box->informativeText()));
        QVERIFY(!saveScreen(box->grab().toImage(), QStringLiteral("rights-question-") + tag).isEmpty());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!activity.accessRequirementPrompt());
    }
};

int main(int argc, char** argv)
{
    useLaptopScreen(ORVALINK_LAPTOP_SCREEN);
    QApplication app(argc, argv);
    WholeTextsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_wholetexts.moc"
