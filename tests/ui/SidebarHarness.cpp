#include "SidebarHarness.h"

#include "UiTestSupport.h"
#include "ViewModelFixture.h"
#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/DirectoryListView.h"
#include "ui/widgets/Chip.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

namespace orvalink::test {

SidebarHarness::SidebarHarness(MainViewModel& model, QSize size)
    : viewModel(model), window(std::make_unique<QWidget>())
{
    window->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    sidebar = new ui::SidebarColumnView(viewModel, state, window.get());
    layout->addWidget(sidebar);
    window->resize(size);
    window->show();
    window->activateWindow();
    active = QTest::qWaitForWindowActive(window.get());
}

bool SidebarHarness::reload()
{
    viewModel.loader().startLoad(true);
    const bool idle = waitUntilIdle(viewModel);
    settle();
    return idle;
}

void SidebarHarness::settle()
{
    sidebar->flushRefresh();
    // The refresh may have asked the layouts to run again.
    QCoreApplication::processEvents();
    sidebar->flushRefresh();
}

QStringList SidebarHarness::visibleTexts() const
{
    QStringList texts;
    const auto visible = [this](const QWidget* widget) {
        return widget->isVisibleTo(window.get());
    };
    for (const QLabel* label : window->findChildren<QLabel*>())
        if (visible(label))
            texts.append(label->text());
    for (const QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (visible(edit))
            texts.append(edit->text());
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (visible(button))
            texts.append(button->text());
    for (const ui::Chip* chip : window->findChildren<ui::Chip*>())
        if (visible(chip))
            texts << chip->text() << chip->toolTip();
    for (const QComboBox* combo : window->findChildren<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i)
            texts.append(combo->itemText(i));
    const QAbstractItemModel* rows = sidebar->listModel();
    for (int row = 0; row < rows->rowCount(); ++row)
        texts.append(rows->index(row, 0).data().toString());
    return texts;
}

QImage SidebarHarness::screenshot(const QString& name)
{
    settle();
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(window->palette().color(QPalette::Window));
    window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    saveScreen(image, name);
    return image;
}

} // namespace orvalink::test
