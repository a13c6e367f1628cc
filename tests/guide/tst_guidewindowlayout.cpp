#include "guide/GuideDemoData.h"
#include "guide/GuideWindowRenderer.h"
#include "ui/models/MappingListModel.h"
#include "ui/views/MainDashboardView.h"
#include "ui/views/StorageOverview.h"
#include "viewmodel/DiskWorkflows.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/ViewModelFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace orvalink;

namespace {

QString describe(const QWidget* widget)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

// The widgets of `card` that show something, in the card's coordinates.
QList<QWidget*> shownParts(const QWidget* card)
{
    QList<QWidget*> parts;
    for (QWidget* child : card->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(card) || child->objectName().isEmpty())
            continue;
        const auto* label = qobject_cast<QLabel*>(child);
        if (child->objectName() == QStringLiteral("gauge") || (label && !label->text().isEmpty()))
            parts.append(child);
    }
    return parts;
}

QRect rectIn(const QWidget* widget, const QWidget* ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

} // namespace

class GuideWindowLayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ViewModelFixture> m_world;

private Q_SLOTS:
    void initTestCase() { guide::prepareGuideRendering(); }
    void init() { m_world = std::make_unique<test::ViewModelFixture>(); }
    void cleanup() { m_world.reset(); }

    // At the sizes of the pictures (the tour's is lower than the least window) the detail column is
    // taller than its viewport: it keeps its height and scrolls instead of being squeezed.
    void dashboardIsNeverSqueezed_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("migratedPanel");
        // The stills are as wide as the window opens; the tour is about as narrow as it can be.
        QTest::addColumn<bool>("detailFitsWidth");
        QTest::newRow("still") << QSize(1504, 924) << false << true;
        QTest::newRow("still with migrated items") << QSize(1504, 924) << true << true;
        QTest::newRow("tour") << QSize(1224, 748) << false << false;
        QTest::newRow("tour with migrated items") << QSize(1224, 748) << true << false;
    }
    void dashboardIsNeverSqueezed()
    {
        QFETCH(QSize, size);
        QFETCH(bool, migratedPanel);
        QFETCH(bool, detailFitsWidth);
        const std::unique_ptr<MainViewModel> model =
            guide::makeDemoViewModel([this] { return m_world->makeViewModel(); });
        const std::unique_ptr<ui::MainDashboardView> window =
            guide::makeGuideDashboard(*model, migratedPanel);
        const QImage image = guide::renderWidgetOffscreen(*window, size);
        QCOMPARE(image.size(), size);

        for (const QWidget* widget : window->findChildren<QWidget*>()) {
            if (!widget->isVisibleTo(window.get()) ||
                widget->sizePolicy().verticalPolicy() == QSizePolicy::Ignored)
                continue;
            // The least height its layout may give it: the hint within the widget's own bounds.
            const int least = std::max(widget->minimumHeight(),
                                       std::min(widget->minimumSizeHint().height(), widget->maximumHeight()));
            QVERIFY2(widget->height() >= least, qPrintable(QStringLiteral("%1 is %2 high, needs %3")
                                                               .arg(describe(widget))
                                                               .arg(widget->height())
                                                               .arg(least)));
        }

        const QList<ui::StorageCard*> cards = window->findChildren<ui::StorageCard*>();
        QCOMPARE(cards.size(), 4);
        for (const ui::StorageCard* card : cards) {
            const QList<QWidget*> parts = shownParts(card);
            QVERIFY2(parts.size() >= 4, qPrintable(card->objectName()));
            for (qsizetype i = 0; i < parts.size(); ++i) {
                for (qsizetype j = i + 1; j < parts.size(); ++j) {
                    QVERIFY2(!rectIn(parts.at(i), card).intersects(rectIn(parts.at(j), card)),
                             qPrintable(QStringLiteral("%1: %2 overlaps %3")
                                            .arg(card->objectName(), parts.at(i)->objectName(),
                                                 parts.at(j)->objectName())));
                }
            }
        }

        // The detail column is taller than these windows: it scrolls, like the real window's.
        const auto* detail = window->findChild<QScrollArea*>(QStringLiteral("detailScroll"));
        QVERIFY(detail);
        QVERIFY(detail->widget()->height() > detail->viewport()->height());
        QVERIFY(detail->verticalScrollBar()->isVisibleTo(window.get()));
        QVERIFY(detail->verticalScrollBar()->maximum() > 0);
        if (detailFitsWidth)
            QCOMPARE(detail->horizontalScrollBar()->maximum(), 0);
    }

    // The history picture is about the migrated items, all three selected: the detail column is
    // scrolled so that their panel is in view.
    void historyPictureShowsTheSelectedMigratedItems()
    {
        const std::unique_ptr<MainViewModel> model =
            guide::makeDemoViewModel([this] { return m_world->makeViewModel(); });
        model->workflows().selectAllMigratedMappings();
        const std::unique_ptr<ui::MainDashboardView> window = guide::makeGuideDashboard(*model, true);
        guide::renderWidgetOffscreen(*window, QSize(1504, 924), guide::revealMigratedItems);

        const auto* detail = window->findChild<QScrollArea*>(QStringLiteral("detailScroll"));
        const auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("migratedItemsList"));
        QVERIFY(detail && list);
        QCOMPARE(list->model()->rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            QVERIFY(list->model()->index(row, 0).data(ui::MappingListModel::SelectedRole).toBool());
        const QRect shown = detail->viewport()->rect();
        const QRect rows(list->viewport()->mapTo(detail->viewport(), QPoint(0, 0)), list->viewport()->size());
        QVERIFY2(
            shown.contains(rows.topLeft()) && rows.top() < shown.bottom() - 40,
            qPrintable(
                QStringLiteral("the migrated items start at %1 of %2").arg(rows.top()).arg(shown.height())));
        QVERIFY(detail->verticalScrollBar()->value() > 0);
    }

    // A text set after the first show, deep in a scrolled column, still makes the column as tall
    // as the text needs before the picture is taken.
    void lateChangeDeepInsideReachesTheScrollArea()
    {
        QScrollArea area;
        area.setWidgetResizable(true);
        auto* column = new QWidget;
        QWidget* level = column;
        for (int depth = 0; depth < 12; ++depth) {
            auto* layout = new QVBoxLayout(level);
            auto* inner = new QWidget(level);
            layout->addWidget(inner);
            level = inner;
        }
        auto* label = new QLabel(level);
        (new QVBoxLayout(level))->addWidget(label);
        area.setWidget(column);
        QTimer::singleShot(0, label, [label] {
            QStringList lines;
            for (int line = 0; line < 40; ++line)
                lines.append(QStringLiteral("line %1").arg(line));
            label->setText(lines.join(QLatin1Char('\n')));
        });
        guide::renderWidgetOffscreen(area, QSize(300, 200));
        QVERIFY(label->height() >= label->minimumSizeHint().height());
        QVERIFY(column->height() >= column->minimumSizeHint().height());
        QVERIFY(area.verticalScrollBar()->maximum() > 0);
    }
};

QTEST_MAIN(GuideWindowLayoutTest)
#include "tst_guidewindowlayout.moc"
