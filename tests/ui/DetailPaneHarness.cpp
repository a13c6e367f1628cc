#include "DetailPaneHarness.h"

#include "UiTestSupport.h"
#include "ui/views/detail/MappingListView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

namespace orvalink::test {

DetailPaneHarness::DetailPaneHarness(MainViewModel& viewModel, bool showProgressPanel)
{
    state.setShowProgressPanel(showProgressPanel);
    pane = std::make_unique<ui::DetailPaneView>(viewModel, state);
    pane->setAutoFillBackground(true);
    renderOffscreen(pane.get(), QSize(760, 1100));
}

void DetailPaneHarness::settle()
{
    QApplication::processEvents();
    pane->flushRefresh();
    QApplication::processEvents();
}

void DetailPaneHarness::save(const QString& name)
{
    settle();
    // As high as the column needs at its width, as the window's scroll area makes it: a window of
    // its own would only follow the minimum heights, which leave out the wrapped card grid.
    const int needed = std::max(pane->height(), pane->heightForWidth(pane->width()));
    saveScreen(renderOffscreen(pane.get(), QSize(pane->width(), needed)), name);
}

QString DetailPaneHarness::text(const QString& labelName) const
{
    const auto* label = find<QLabel>(labelName);
    return label ? label->text() : QStringLiteral("<no %1>").arg(labelName);
}

QList<QWidget*> DetailPaneHarness::shown(const QString& name) const
{
    QList<QWidget*> result;
    for (QWidget* widget : pane->findChildren<QWidget*>(name)) {
        if (widget->isVisibleTo(pane.get()))
            result.append(widget);
    }
    return result;
}

void DetailPaneHarness::clickRow(const QString& listName, int row)
{
    auto* list = find<ui::MappingListView>(listName);
    QVERIFY(list);
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.center().x(), rect.top() + 10));
}

int DetailPaneHarness::shownRecords(const QString& listName) const
{
    const auto* list = find<QAbstractItemView>(listName);
    return list && list->isVisibleTo(pane.get()) ? list->model()->rowCount() : 0;
}

} // namespace orvalink::test
