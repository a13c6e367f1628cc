#include "ui/views/common/PathContextMenu.h"

#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/texts/Presentation.h"

#include <QMenu>

namespace orvalink::ui {

QMenu* createPathContextMenu(MainViewModel& viewModel, const QString& path, QWidget* parent)
{
    Presentation& texts = viewModel.presentation();
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("pathContextMenu"));
    // The view model outlives every window widget; the path is captured by value.
    MainViewModel* vm = &viewModel;
    QAction* copy = menu->addAction(copyPathText(viewModel));
    copy->setObjectName(QStringLiteral("copyPathAction"));
    QObject::connect(copy, &QAction::triggered, menu,
                     [vm, path] { vm->presentation().copyPathToClipboard(path); });
    QAction* open = menu->addAction(texts.localized({"进入该目录", "Open in Sidebar"}));
    open->setObjectName(QStringLiteral("openInSidebarAction"));
    QObject::connect(open, &QAction::triggered, menu,
                     [vm, path] { vm->navigation().goToDirectoryContext(path); });
    QAction* reveal = menu->addAction(texts.localized({"在文件管理器中显示", "Show in File Manager"}));
    reveal->setObjectName(QStringLiteral("revealPathAction"));
    QObject::connect(reveal, &QAction::triggered, menu,
                     [vm, path] { vm->presentation().revealInFileManager(path); });
    return menu;
}

QString copyPathText(MainViewModel& viewModel)
{
    return viewModel.presentation().localized({"复制路径", "Copy Path"});
}

} // namespace orvalink::ui
