#include "ui/views/PathContextMenu.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/Navigator.h"
#include "viewmodel/Presentation.h"

#include <QMenu>
#include <QWidget>

namespace orvalink::ui {

QMenu* createPathContextMenu(MainViewModel& viewModel, const QString& path, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("pathContextMenu"));
    Presentation& texts = viewModel.presentation();
    // The state object outlives the window's widgets, so the entries may refer to it.
    QAction* copy = menu->addAction(texts.localized(QStringLiteral("复制路径"), QStringLiteral("Copy Path")));
    copy->setObjectName(QStringLiteral("copyPathAction"));
    QObject::connect(copy, &QAction::triggered, menu,
                     [&viewModel, path] { viewModel.presentation().copyPathToClipboard(path); });
    QAction* open =
        menu->addAction(texts.localized(QStringLiteral("进入该目录"), QStringLiteral("Open in Sidebar")));
    open->setObjectName(QStringLiteral("openInSidebarAction"));
    QObject::connect(open, &QAction::triggered, menu,
                     [&viewModel, path] { viewModel.navigation().goToDirectoryContext(path); });
    QAction* reveal = menu->addAction(
        texts.localized(QStringLiteral("在文件管理器中显示"), QStringLiteral("Show in File Manager")));
    reveal->setObjectName(QStringLiteral("revealPathAction"));
    QObject::connect(reveal, &QAction::triggered, menu,
                     [&viewModel, path] { viewModel.presentation().revealInFileManager(path); });
    return menu;
}

void attachPathContextMenu(QWidget* widget, MainViewModel& viewModel, std::function<QString()> path)
{
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(widget, &QWidget::customContextMenuRequested, widget,
                     [widget, &viewModel, path = std::move(path)](const QPoint& position) {
                         QMenu* menu = createPathContextMenu(viewModel, path(), widget);
                         menu->setAttribute(Qt::WA_DeleteOnClose);
                         menu->popup(widget->mapToGlobal(position));
                     });
}

} // namespace orvalink::ui
