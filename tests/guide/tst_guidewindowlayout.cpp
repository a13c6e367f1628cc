#include "UiTestSupport.h"
#include "guide/ColumnFraming.h"
#include "guide/GuideDemoData.h"
#include "guide/GuideSnapshotExporter.h"
#include "guide/GuideWindowRenderer.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/models/MappingListModel.h"
#include "ui/views/dashboard/MainDashboardView.h"
#include "ui/views/detail/StorageOverview.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/ViewModelFixture.h"
#include "viewmodel/disk/DiskWorkflows.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEngine>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace orvalink;
using orvalink::test::infoLine;

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

// What a scroll area shows of `widget`, in the coordinates of `ancestor`: empty when it is out of
// view or hidden.
QRect shownRectIn(const QWidget* widget, const QScrollArea* column, const QWidget* ancestor)
{
    if (!widget->isVisibleTo(ancestor))
        return {};
    // Beside the column's scroll area (always in view) or inside it (in view where it scrolled to).
    if (!column->isAncestorOf(widget))
        return rectIn(widget, ancestor);
    return rectIn(widget, ancestor) & rectIn(column->viewport(), ancestor);
}

// The number of distinct colours in `rect` of `image`: a row with a name, a size and a tick drawn
// in it has dozens, an empty stretch of list one or two.
int colorsIn(const QImage& image, const QRect& rect)
{
    QSet<QRgb> colors;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            colors.insert(image.pixel(x, y));
    }
    return int(colors.size());
}

// Every text a widget tree draws, as its painter hands it on: labels, buttons, fields and what
// the list delegates paint.
class TextRecorder : public QPaintDevice {
public:
    explicit TextRecorder(QSize size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QStringList texts() const { return m_engine.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmWidthMM:
            return m_size.width() * 254 / 960;
        case PdmHeightMM:
            return m_size.height() * 254 / 960;
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        // The base class draws polygons of either kind through the other.
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts.append(item.text()); }
        Type type() const override { return QPaintEngine::User; }
        QStringList texts;
    };
    QSize m_size;
    mutable Engine m_engine;
};

QStringList drawnTexts(QWidget& widget)
{
    TextRecorder recorder(widget.size());
    widget.render(&recorder);
    return recorder.texts();
}

// What a picture shows that it should not: scroll bars (a picture does not scroll), an edge of a
// scrolled area cutting through something it could have shown whole, anything wider than its area.
QStringList pictureFaults(QWidget& root)
{
    QStringList faults;
    for (const QScrollBar* bar : root.findChildren<QScrollBar*>()) {
        if (bar->isVisibleTo(&root))
            faults.append(
                QStringLiteral("a scroll bar of %1").arg(describe(bar->parentWidget()->parentWidget())));
    }
    for (const char* name : {"sidebarScroll", "detailScroll", "accountSheetScroll"}) {
        const auto* area = root.findChild<QScrollArea*>(QString::fromLatin1(name));
        if (!area)
            continue;
        const int top = area->verticalScrollBar()->value();
        const int bottom = top + area->viewport()->height();
        for (const int edge : {top, bottom}) {
            if (guide::edgeCut(*area, edge) > 1)
                faults.append(QStringLiteral("%1 cut at %2").arg(QLatin1String(name)).arg(edge));
        }
        if (area->widget()->width() > area->viewport()->width() || area->horizontalScrollBar()->value() != 0)
            faults.append(QStringLiteral("%1 cut at its side").arg(QLatin1String(name)));
    }
    return faults;
}
} // namespace

Q_DECLARE_METATYPE(guide::SelectionStep)

class GuideWindowLayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ViewModelFixture> m_world;

    std::unique_ptr<MainViewModel> demoModel()
    {
        return guide::makeDemoViewModel([this] { return m_world->makeViewModel(); });
    }

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
        const std::unique_ptr<MainViewModel> model = demoModel();
        const std::unique_ptr<ui::MainDashboardView> window =
            guide::makeGuideDashboard(*model, migratedPanel);
        const QImage image = guide::renderGuideDashboard(*window, size);
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

        // The detail column is taller than these windows: it scrolls, like the real window's, but
        // shows no scroll bar in a picture.
        const auto* detail = window->findChild<QScrollArea*>(QStringLiteral("detailScroll"));
        QVERIFY(detail);
        QVERIFY(detail->widget()->height() > detail->viewport()->height());
        QVERIFY(!detail->verticalScrollBar()->isVisibleTo(window.get()));
        QVERIFY(detail->verticalScrollBar()->maximum() > 0);
        if (detailFitsWidth)
            QCOMPARE(detail->horizontalScrollBar()->maximum(), 0);
    }

    // Each frame of the selection tour shows the directory list with the demo folders the step
    // leaves, their ticks and focus, and the controls the step changes, all within the picture.
    void selectionFramesShowTheDemoFolders_data()
    {
        QTest::addColumn<guide::SelectionStep>("step");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("minSize");
        const QStringList all{QStringLiteral(".kilo"), QStringLiteral("bazel"),
                              QStringLiteral("ArchiveFootage"), QStringLiteral("OldDesignExports")};
        QTest::newRow("start") << guide::SelectionStep::start << all << QStringList{}
                               << QStringLiteral(".kilo") << QString() << QStringLiteral("500");
        QTest::newRow("filtered") << guide::SelectionStep::filtered << QStringList{QStringLiteral("bazel")}
                                  << QStringList{QStringLiteral("bazel")} << QStringLiteral("bazel")
                                  << QStringLiteral("bazel") << QStringLiteral("1024");
        QTest::newRow("ready") << guide::SelectionStep::ready << all << all.mid(0, 3)
                               << QStringLiteral("ArchiveFootage") << QString() << QStringLiteral("500");
    }
    void selectionFramesShowTheDemoFolders()
    {
        QFETCH(guide::SelectionStep, step);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, ticked);
        QFETCH(QString, focused);
        QFETCH(QString, search);
        QFETCH(QString, minSize);
        const std::unique_ptr<MainViewModel> model = demoModel();
        guide::applySelectionStep(*model, step);
        const std::unique_ptr<ui::MainDashboardView> window = guide::makeGuideDashboard(*model, false);
        const QImage image = guide::renderGuideDashboard(*window, guide::kTourWindowSize);
        const QRect picture(QPoint(0, 0), guide::kTourWindowSize);

        const auto* sidebar = window->findChild<QScrollArea*>(QStringLiteral("sidebarScroll"));
        const auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("directoryList"));
        QVERIFY(sidebar && list);
        const QRect listShown = shownRectIn(list->viewport(), sidebar, window.get()) & picture;
        QStringList names;
        QStringList tickedNames;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            const QString name = index.data(Qt::DisplayRole).toString();
            names.append(name);
            if (index.data(ui::DirectoryListModel::IsSelectedRole).toBool())
                tickedNames.append(name);
            QCOMPARE(index.data(ui::DirectoryListModel::IsFocusedRole).toBool(), name == focused);
            const QRect rowRect(list->viewport()->mapTo(window.get(), list->visualRect(index).topLeft()),
                                list->visualRect(index).size());
            QVERIFY2(listShown.contains(rowRect),
                     qPrintable(QStringLiteral("row %1 at %2,%3 %4x%5 lies outside what the picture shows")
                                    .arg(name)
                                    .arg(rowRect.x())
                                    .arg(rowRect.y())
                                    .arg(rowRect.width())
                                    .arg(rowRect.height())));
            QVERIFY2(colorsIn(image, rowRect) > 8, qPrintable(name));
        }
        QCOMPARE(names, rows);
        QCOMPARE(tickedNames, ticked);
        // Four rows fit: the list itself does not scroll.
        QVERIFY(!list->verticalScrollBar()->isVisible());

        // The search row and the step's note are in the picture; the minimum size field holds the
        // step's value (it shows when the column has room for it: with "show all files" on it
        // filters nothing).
        const auto* searchField = window->findChild<QLineEdit*>(QStringLiteral("searchField"));
        const auto* minSizeField = window->findChild<QLineEdit*>(QStringLiteral("minSizeField"));
        const auto* info = window->findChild<QLabel*>(QStringLiteral("infoText"));
        QVERIFY(searchField && minSizeField && info);
        QCOMPARE(searchField->text(), search);
        QCOMPARE(minSizeField->text(), minSize);
        QCOMPARE(info->text(), infoLine(*model).value_or(QString()));
        for (const QWidget* shown :
             {static_cast<const QWidget*>(searchField), static_cast<const QWidget*>(info)}) {
            const QRect whole = rectIn(shown, window.get());
            QVERIFY2((shownRectIn(shown, sidebar, window.get()) & picture) == whole,
                     qPrintable(describe(shown)));
        }
        // So is the gauge of the selected size, in the detail column.
        const auto* detail = window->findChild<QScrollArea*>(QStringLiteral("detailScroll"));
        const auto* selection = window->findChild<QWidget*>(QStringLiteral("selectionSizeCard"));
        QVERIFY(detail && selection);
        QCOMPARE(shownRectIn(selection, detail, window.get()) & picture, rectIn(selection, window.get()));
    }

    // The history picture is about the migrated items, all three selected: the detail column is
    // scrolled so that their panel is in view.
    void historyPictureShowsTheSelectedMigratedItems()
    {
        const std::unique_ptr<MainViewModel> model = demoModel();
        model->workflows().selectAllMigratedMappings();
        const std::unique_ptr<ui::MainDashboardView> window = guide::makeGuideDashboard(*model, true);
        guide::renderGuideDashboard(*window, guide::kStillWindowSize);

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

    // Every picture of the export: no scroll bar, nothing cut at an edge, the information line
    // whole at the bottom of the sidebar, and with privacy on no path or name showing the demo user.
    void picturesShowNoScrollBarAndCutNothing_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("migratedPanel");
        QTest::addColumn<int>("step"); // a selection step, or -1
        const QSize still = guide::kStillWindowSize;
        const QSize tour = guide::kTourWindowSize;
        QTest::newRow("overview") << still << false << -1;
        QTest::newRow("history") << still << true << -1;
        QTest::newRow("tour overview") << tour << false << -1;
        QTest::newRow("tour history") << tour << true << -1;
        QTest::newRow("selection start") << tour << false << int(guide::SelectionStep::start);
        QTest::newRow("selection filtered") << tour << false << int(guide::SelectionStep::filtered);
        QTest::newRow("selection ready") << tour << false << int(guide::SelectionStep::ready);
    }
    void picturesShowNoScrollBarAndCutNothing()
    {
        // Whether a line fits depends on the fonts it is drawn in.
        if (const auto missing = test::missingPinnedFonts())
            QSKIP(qPrintable(*missing));
        QFETCH(QSize, size);
        QFETCH(bool, migratedPanel);
        QFETCH(int, step);
        const std::unique_ptr<MainViewModel> model = demoModel();
        if (step >= 0)
            guide::applySelectionStep(*model, guide::SelectionStep(step));
        if (migratedPanel)
            model->workflows().selectAllMigratedMappings();
        const std::unique_ptr<ui::MainDashboardView> window =
            guide::makeGuideDashboard(*model, migratedPanel);
        guide::renderGuideDashboard(*window, size);

        const QStringList faults = pictureFaults(*window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));

        const auto* sidebar = window->findChild<QScrollArea*>(QStringLiteral("sidebarScroll"));
        const auto* info = window->findChild<QLabel*>(QStringLiteral("infoText"));
        QVERIFY(sidebar && info);
        QVERIFY(!info->text().isEmpty());
        const QRect whole = rectIn(info, window.get());
        QCOMPARE(shownRectIn(info, sidebar, window.get()) & QRect(QPoint(0, 0), size), whole);

        window->show();
        const QStringList texts = drawnTexts(*window);
        window->hide();
        QVERIFY2(texts.filter(QStringLiteral("tovra")).isEmpty(),
                 qPrintable(texts.filter(QStringLiteral("tovra")).join(QStringLiteral(" | "))));
        // The rows' paths are drawn, masked: "~" for the home, "/home/demo" inside a target.
        if (migratedPanel)
            QVERIFY2(!texts.filter(QStringLiteral("/home/demo/.kilo")).isEmpty(),
                     qPrintable(texts.join(u'|')));
    }

    // The account sheet floats within every picture and is drawn like the window: no scroll bar,
    // nothing cut at its bottom, the demo address masked.
    void sheetShowsNoScrollBarAndCutsNothing_data()
    {
        QTest::addColumn<QSize>("canvas");
        QTest::newRow("still") << guide::kStillCanvasSize;
        QTest::newRow("tour") << guide::kTourCanvasSize;
    }
    void sheetShowsNoScrollBarAndCutsNothing()
    {
        QFETCH(QSize, canvas);
        const std::unique_ptr<MainViewModel> model = demoModel();
        const QSize size = guide::guideSheetSize(canvas);
        QVERIFY(size.height() <= canvas.height() - 56 && size.width() <= canvas.width() - 56);
        const std::unique_ptr<QWidget> sheet =
            guide::makeGuideSheet(guide::GuideOverlayKind::account, *model);
        // Below the sheet's title bar.
        guide::renderGuideSheet(*sheet, QSize(size.width(), size.height() - 44));
        const QStringList faults = pictureFaults(*sheet);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
        sheet->show();
        const QStringList texts = drawnTexts(*sheet);
        sheet->hide();
        QVERIFY(!texts.filter(QStringLiteral("to***@e***.com")).isEmpty());
        QVERIFY2(texts.filter(QStringLiteral("tovra")).isEmpty(),
                 qPrintable(texts.filter(QStringLiteral("tovra")).join(QStringLiteral(" | "))));
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
