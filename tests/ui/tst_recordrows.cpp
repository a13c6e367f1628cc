// The painted record rows of the activity workspace: measured as the widgets they stand for, their
// parts inside the frame at the column's widths, and in a list their buttons, path menus and tips
// acting as push buttons, path lines and elided labels do.
#include "UiTestSupport.h"
#include "ui/models/FailedRecordModel.h"
#include "ui/models/RecordListModel.h"
#include "ui/views/detail/RecordListView.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/SmallButton.h"

#include <QHelpEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

using namespace orvalink;
using namespace orvalink::ui;

Q_DECLARE_METATYPE(orvalink::FailureRemedy)

namespace {

const QString kLongPath = QStringLiteral(
    "/home/someone/Projects/a folder whose name is far longer than any column could show/data");

FailedMigrationRecord failure(const QString& code, const QString& target = QStringLiteral("/mnt/v/Alpha"))
{
    return {QUuid::createUuid(),
            QStringLiteral("/home/someone/Alpha"),
            target,
            QDateTime::fromSecsSinceEpoch(1000),
            TaskStatus::failed,
            code,
            QStringLiteral("The target path already exists.")};
}

// What the window would show in both languages, without a state object.
FailedRecordTexts textsOf(const FailedMigrationRecord& record, bool recoveryEnabled)
{
    FailedRecordTexts texts;
    texts.name = record.sourcePath.section(QLatin1Char('/'), -1);
    texts.badge = QStringLiteral("失败 Failed");
    texts.date = QStringLiteral("1 Jan 1970, 00:16:40");
    texts.source = record.sourcePath;
    texts.sourcePath = record.sourcePath;
    if (!record.targetPath.isEmpty())
        texts.plannedTarget = QStringLiteral("计划目标 Planned Target: ") + record.targetPath;
    texts.targetPath = record.targetPath;
    texts.reason = QStringLiteral("失败原因 Reason: ") + record.errorMessage;
    texts.remedy = failureRemedy(record);
    texts.remedyText = texts.remedy == FailureRemedy::forceMigration
                           ? QStringLiteral("强制迁移 Force Migrate")
                           : QStringLiteral("终止占用程序并重试 Terminate Holders and Retry");
    texts.remedyEnabled = recoveryEnabled;
    texts.openSource = QStringLiteral("进入该目录 Open in Sidebar");
    if (!record.targetPath.isEmpty())
        texts.openTarget = QStringLiteral("查看目标 Open Target");
    return texts;
}

RestoredRecordTexts restoredTexts(const QString& path)
{
    return {path, path, QStringLiteral("复制路径 Copy Path"), QStringLiteral("进入该目录 Open in Sidebar"),
            QStringLiteral("在文件管理器中显示 Show in File Manager")};
}

MigratedRecordTexts migratedTexts(const MigrationPathRecord& record)
{
    return {record.sourcePath.section(QLatin1Char('/'), -1),
            QStringLiteral("1 Jan 1970, 00:16:40"),
            QStringLiteral("目标目录 Target: ") + record.targetPath,
            record.targetPath,
            QStringLiteral("反悔将返回到 Undo returns to: ") + record.sourcePath,
            record.sourcePath};
}

QStringList partNames(const RecordRow& row)
{
    QStringList names;
    for (const RecordRowPart& part : row.parts)
        names.append(part.name);
    return names;
}

// A failure list shown off screen in a column `width` wide.
struct FailureList {
    explicit FailureList(const QList<FailedMigrationRecord>& records, int width = 600)
    {
        model.setRecords(records);
        FailedRecordModel* rows = &model;
        list = new RecordListView(
            &model,
            [this, rows](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
                ++layouts;
                return layoutFailedRecord(textsOf(rows->recordAt(index.row()), rows->isRecoveryEnabled()),
                                          bounds, metrics);
            },
            false, QStringLiteral("failures"), &host);
        list->setMaximumContentHeight(140);
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(list);
        layout->addStretch(1);
        test::renderOffscreen(&host, QSize(width, 400));
    }

    RecordRowPart part(const QString& name, int row = 0) const
    {
        return test::recordPart(host, QString(), row, name);
    }

    QWidget host;
    FailedRecordModel model;
    RecordListView* list = nullptr;
    int layouts = 0; // rows laid out so far
};

} // namespace

class RecordRowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::prepareWidgetTests(); }

    void measuredAsTheirWidgets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("english") << "Force Migrate";
        QTest::newRow("chinese") << "终止占用程序并重试";
        QTest::newRow("bilingual") << "在文件管理器中显示 Show in File Manager";
        QTest::newRow("short") << "OK";
    }

    // A painted button, chip and path line take the room the widget would.
    void measuredAsTheirWidgets()
    {
        QFETCH(QString, text);
        QWidget host;
        const RecordRowMetrics metrics(host.font(), host.palette(), &host);
        QPushButton* button = smallButton(&host, QStringLiteral("button"));
        button->setText(text);
        QCOMPARE(metrics.buttonSize(text), button->sizeHint());
        Chip chip(text);
        chip.setPadding(6, 2);
        QCOMPARE(metrics.chipSize(text), chip.sizeHint());
        for (int pixels : {10, 11}) {
            SelectablePathField field;
            QFont mono = field.font();
            mono.setPixelSize(pixels);
            field.setFont(mono);
            field.setText(text);
            QCOMPARE(metrics.lineEditHeight(metrics.mono(pixels)), field.sizeHint().height());
        }
    }

    void pathLinesElideAsTheFieldDoes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("fits") << "Target: /mnt/v/Alpha" << 600;
        QTest::newRow("long, wide") << kLongPath << 600;
        QTest::newRow("long, narrow") << kLongPath << 200;
        QTest::newRow("chinese, narrow")
            << QStringLiteral("目标目录 Target: /home/someone/文档/照片/二〇二四") << 120;
    }

    void pathLinesElideAsTheFieldDoes()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QWidget host;
        const RecordRowMetrics metrics(host.font(), host.palette(), &host);
        SelectablePathField field;
        field.setFont(metrics.mono(10));
        field.setText(text);
        field.resize(width, metrics.lineEditHeight(metrics.mono(10)));
        RecordRowPart part;
        part.kind = RecordRowPart::Kind::path;
        part.rect = QRect(QPoint(), field.size());
        part.font = metrics.mono(10);
        part.elide = Qt::ElideMiddle;
        part.text = text;
        QCOMPARE(part.shownText(), field.shownText());
        QCOMPARE(part.isElided(), field.shownText() != text);
    }

    // The recovery button follows the remedy; a record without a target has no planned target and
    // no Open Target.
    void failedRowParts_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("names");
        const QStringList head{"recordName", "failedStatusBadge", "recordDate", "failedSource"};
        QTest::newRow("occupied target")
            << "E004"
            << "/mnt/v/Alpha"
            << head + QStringList{"failedPlannedTarget", "failedReason", "forceMigrateButton",
                                  "openSourceButton", "openTargetButton"};
        QTest::newRow("source in use, no target")
            << "E007"
            << "" << head + QStringList{"failedReason", "terminateRetryButton", "openSourceButton"};
        QTest::newRow("other failure") << "E009"
                                       << "/mnt/v/Alpha"
                                       << head + QStringList{"failedPlannedTarget", "failedReason",
                                                             "openSourceButton", "openTargetButton"};
    }

    void failedRowParts()
    {
        QFETCH(QString, code);
        QFETCH(QString, target);
        QWidget host;
        const RecordRowMetrics metrics(host.font(), host.palette(), &host);
        const RecordRow row =
            layoutFailedRecord(textsOf(failure(code, target), true), QRect(0, 0, 600, 0), metrics);
        QTEST(partNames(row), "names");
    }

    void partsStayInsideTheFrame_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("width");
        for (const char* kind : {"migrated", "restored", "failed", "link", "leftBehind", "copies"}) {
            for (int width : {760, 520, 440})
                QTest::addRow("%s-%d", kind, width) << QString::fromLatin1(kind) << width;
        }
    }

    // At the widths of the detail column, in both languages, nothing reaches past the padding or
    // covers another part; buttons keep their size and wrap onto another line instead.
    void partsStayInsideTheFrame()
    {
        QFETCH(QString, kind);
        QFETCH(int, width);
        QWidget host;
        const RecordRowMetrics metrics(host.font(), host.palette(), &host);
        const auto layout = [&](int at) {
            const QRect bounds(0, 0, at, 0);
            if (kind == "migrated")
                return layoutMigratedRecord(
                    migratedTexts({QUuid::createUuid(), kLongPath, "/mnt/v" + kLongPath, QDateTime()}),
                    bounds, metrics);
            if (kind == "restored")
                return layoutRestoredRecord(restoredTexts(kLongPath), bounds, metrics);
            // Copies that stayed have nothing to bring home: no Append Restore.
            if (kind == "leftBehind" || kind == "copies")
                return layoutLeftBehindRecord(
                    {kLongPath.section(QLatin1Char('/'), -1), QStringLiteral("未完成 Incomplete"),
                     QStringLiteral("1 Jan 1970, 00:16:40"),
                     QStringLiteral("数据已移回 Back at: ") + kLongPath, kLongPath,
                     QStringLiteral("仍留在 Stayed in: /mnt/v") + kLongPath, "/mnt/v" + kLongPath,
                     QStringLiteral("有 3 项内容仍留在外置磁盘上。 3 item(s) stayed on the external disk."),
                     kind == "copies" ? QString() : QStringLiteral("追加恢复 Append Restore"), true,
                     QStringLiteral("进入该目录 Open in Sidebar"), QStringLiteral("查看目标 Open Target")},
                    bounds, metrics);
            if (kind == "link")
                return layoutLinkRecord(
                    {kLongPath.section(QLatin1Char('/'), -1), QStringLiteral("未修复 Not Repaired"), false,
                     QStringLiteral("1 Jan 1970, 00:16:40"), QStringLiteral("链接 Link: ") + kLongPath,
                     kLongPath, QStringLiteral("记录的目标 Recorded Target: /mnt/v") + kLongPath,
                     "/mnt/v" + kLongPath},
                    bounds, metrics);
            return layoutFailedRecord(textsOf(failure("E007"), true), bounds, metrics);
        };
        const RecordRow row = layout(width);
        QCOMPARE(row.part(QStringLiteral("appendRestoreButton")) != nullptr, kind == "leftBehind");
        const QRect inner = row.frame.adjusted(8, 8, -8, -8);
        for (const RecordRowPart& part : row.parts) {
            QVERIFY2(inner.contains(part.rect), qPrintable(part.name));
            if (part.kind == RecordRowPart::Kind::button)
                QCOMPARE(part.rect.size(), metrics.buttonSize(part.text));
            for (const RecordRowPart& other : row.parts) {
                if (&other != &part)
                    QVERIFY2(!part.rect.intersects(other.rect), qPrintable(part.name + " " + other.name));
            }
        }
        // Narrower rows only grow.
        QVERIFY(layout(width - 60).frame.height() >= row.frame.height());
    }

    void buttonsActLikePushButtons()
    {
        FailureList failures({failure("E004")});
        QSignalSpy clicked(failures.list, &RecordListView::buttonClicked);
        QVERIFY(test::clickRecordPart(failures.host, QString(), 0, "forceMigrateButton"));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.first(), (QList<QVariant>{0, QStringLiteral("forceMigrateButton")}));
        // Only the buttons click.
        QVERIFY(test::clickRecordPart(failures.host, QString(), 0, "recordName"));
        QVERIFY(test::clickRecordPart(failures.host, QString(), 0, "failedReason"));
        QCOMPARE(clicked.size(), 1);
        // A press that ends outside the button is no click.
        QWidget* viewport = failures.list->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, failures.part("forceMigrateButton").rect.center());
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, failures.part("openSourceButton").rect.center());
        QCOMPARE(clicked.size(), 1);

        // While other disk work runs the remedy is off; the folder buttons stay on.
        failures.model.setRecoveryEnabled(false);
        QVERIFY(!failures.part("forceMigrateButton").enabled);
        QVERIFY(test::clickRecordPart(failures.host, QString(), 0, "forceMigrateButton"));
        QCOMPARE(clicked.size(), 1);
        QVERIFY(test::clickRecordPart(failures.host, QString(), 0, "openTargetButton"));
        QCOMPARE(clicked.size(), 2);
        QCOMPARE(clicked.last(), (QList<QVariant>{0, QStringLiteral("openTargetButton")}));
    }

    void pathLinesCarryThePathMenu_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("path");
        QTest::newRow("source") << "failedSource"
                                << "/home/someone/Alpha";
        QTest::newRow("planned target") << "failedPlannedTarget"
                                        << "/mnt/v/Alpha";
        QTest::newRow("name") << "recordName"
                              << "";
        QTest::newRow("reason") << "failedReason"
                                << "";
        QTest::newRow("button") << "openSourceButton"
                                << "";
    }

    void pathLinesCarryThePathMenu()
    {
        QFETCH(QString, part);
        QFETCH(QString, path);
        FailureList failures({failure("E004")});
        QSignalSpy requested(failures.list, &RecordListView::pathMenuRequested);
        QWidget* viewport = failures.list->viewport();
        const QPoint at = failures.part(part).rect.center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QCOMPARE(requested.size(), path.isEmpty() ? 0 : 1);
        if (!path.isEmpty())
            QCOMPARE(requested.first().first().toString(), path);
    }

    // A row is laid out once while it stays as it is: paints, tips and pointer moves over its parts
    // reuse the layout; a change of its data or of the list's width lays it out anew.
    void rowsAreLaidOutOnce()
    {
        FailureList failures({failure("E004"), failure("E007")}, 420);
        QWidget* viewport = failures.list->viewport();
        const QRect force = failures.part("forceMigrateButton").rect;
        const QRect source = failures.part("failedSource").rect;
        QVERIFY(failures.layouts > 0);
        const int laidOut = failures.layouts;
        const auto moveTo = [viewport](const QPoint& at) {
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, {}, {});
            QApplication::sendEvent(viewport, &move);
        };
        for (int step = 0; step <= 20; ++step) {
            moveTo(force.topLeft() + (force.bottomRight() - force.topLeft()) * step / 20);
            moveTo(QPoint(source.left() + source.width() * step / 20, source.center().y()));
        }
        QHelpEvent tip(QEvent::ToolTip, source.center(), viewport->mapToGlobal(source.center()));
        QApplication::sendEvent(viewport, &tip);
        failures.host.grab();
        QVERIFY(failures.list->contentHeight() > 0);
        QCOMPARE(failures.layouts, laidOut);
        // The kept layout still hits the buttons.
        QSignalSpy clicked(failures.list, &RecordListView::buttonClicked);
        QVERIFY(test::clickRecordPart(failures.host, QString(), 0, "forceMigrateButton"));
        QCOMPARE(clicked.size(), 1);

        // New data: the remedy turns off at once.
        failures.model.setRecoveryEnabled(false);
        QVERIFY(!failures.part("forceMigrateButton").enabled);
        QVERIFY(failures.layouts > laidOut);
        // Another width: the rows follow it.
        const int height = failures.part("failedReason").rect.height();
        test::renderOffscreen(&failures.host, QSize(800, 400));
        QCOMPARE(failures.part("failedReason").rect.width(), viewport->width() - 16);
        QVERIFY(viewport->width() > 420);
        QVERIFY(failures.part("failedReason").rect.height() <= height);
        // A removed row is no longer shown.
        failures.model.setRecords({failure("E007")});
        QVERIFY(failures.part("forceMigrateButton").name.isEmpty());
        QVERIFY(!failures.part("terminateRetryButton").name.isEmpty());
    }

    // A name or path cut short shows whole in its tip, as plain text; a whole one has no tip.
    void cutTextsShowWholeInPlainTips()
    {
        const QString name = QStringLiteral("<img src=x> ") + QString(80, QLatin1Char('x'));
        FailedMigrationRecord record = failure("E004");
        record.sourcePath = QStringLiteral("/home/someone/") + name;
        FailureList failures({record}, 420);
        QWidget* viewport = failures.list->viewport();
        const auto tipAt = [viewport](const QPoint& at) {
            QHelpEvent event(QEvent::ToolTip, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &event);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QVERIFY(failures.part("recordName").isElided());
        QCOMPARE(tipAt(failures.part("recordName").rect.center()), plainToolTip(name));
        QVERIFY(failures.part("failedSource").isElided());
        QCOMPARE(tipAt(failures.part("failedSource").rect.center()), plainToolTip(record.sourcePath));
        QVERIFY(!failures.part("recordDate").isElided());
        tipAt(failures.part("recordDate").rect.center());
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // The list is as high as its rows up to 140 pixels; beyond, the rows scroll and the last one
    // ends at the list's bottom edge.
    void listIsAsHighAsItsRows()
    {
        MigrationRecordModel model;
        const auto record = [](int number) {
            return MigrationPathRecord{QUuid::createUuid(), QStringLiteral("/home/someone/F%1").arg(number),
                                       QStringLiteral("/mnt/v/F%1").arg(number), QDateTime()};
        };
        model.setRecords({record(1)});
        QWidget host;
        MigrationRecordModel* rows = &model;
        auto* list = new RecordListView(
            &model,
            [rows](const QModelIndex& index, const QRect& bounds, const RecordRowMetrics& metrics) {
                return layoutMigratedRecord(migratedTexts(rows->recordAt(index.row())), bounds, metrics);
            },
            true, QStringLiteral("migrated"), &host);
        list->setMaximumContentHeight(140);
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(list);
        layout->addStretch(1);
        test::renderOffscreen(&host, QSize(600, 400));
        const int rowHeight = list->rowLayout(0).frame.height();
        QCOMPARE(list->height(), rowHeight);
        QVERIFY(!list->verticalScrollBar()->isVisible());

        model.setRecords({record(3), record(2), record(1)});
        test::renderOffscreen(&host, QSize(600, 400));
        QCOMPARE(list->height(), 140);
        QTRY_VERIFY(list->verticalScrollBar()->isVisible());
        QCOMPARE(list->verticalScrollBar()->pageStep(), 140);
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QCOMPARE(list->rowLayout(2).frame.bottom() + 1, 140);
        // The rows are the model's: the newest came first, nothing was rebuilt.
        QCOMPARE(test::recordPart(host, QString(), 0, "recordName").text, "F3");
    }
};

QTEST_MAIN(RecordRowsTest)
#include "tst_recordrows.moc"
