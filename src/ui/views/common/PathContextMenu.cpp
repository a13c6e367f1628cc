#include "ui/views/common/PathContextMenu.h"

#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/texts/Presentation.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>

namespace orvalink::ui {

QMenu* createPathContextMenu(MainViewModel& viewModel, const QString& path, QWidget* parent)
{
    Presentation& texts = viewModel.presentation();
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("pathContextMenu"));
    // The view model outlives every window widget; the path is captured by value.
    MainViewModel* vm = &viewModel;
    QAction* copy = menu->addAction(texts.localized(QStringLiteral("复制路径"), QStringLiteral("Copy Path")));
    copy->setObjectName(QStringLiteral("copyPathAction"));
    QObject::connect(copy, &QAction::triggered, menu,
                     [vm, path] { vm->presentation().copyPathToClipboard(path); });
    QAction* open =
        menu->addAction(texts.localized(QStringLiteral("进入该目录"), QStringLiteral("Open in Sidebar")));
    open->setObjectName(QStringLiteral("openInSidebarAction"));
    QObject::connect(open, &QAction::triggered, menu,
                     [vm, path] { vm->navigation().goToDirectoryContext(path); });
    QAction* reveal = menu->addAction(
        texts.localized(QStringLiteral("在文件管理器中显示"), QStringLiteral("Show in File Manager")));
    reveal->setObjectName(QStringLiteral("revealPathAction"));
    QObject::connect(reveal, &QAction::triggered, menu,
                     [vm, path] { vm->presentation().revealInFileManager(path); });
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

PathLine::PathLine(MainViewModel& viewModel, int pixelSize, QWidget* parent)
    : SelectablePathField(parent), m_viewModel(viewModel)
{
    QFont mono = font();
    mono.setPixelSize(pixelSize);
    setFont(mono);
    applySecondaryTextColor(this);
}

void PathLine::setPath(const QString& rawPath, const QString& shownText)
{
    m_rawPath = rawPath;
    if (text() != shownText) {
        setText(shownText);
        setCursorPosition(0);
    }
}

void PathLine::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createPathContextMenu(m_viewModel, m_rawPath, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace orvalink::ui
