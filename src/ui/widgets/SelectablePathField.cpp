#include "ui/widgets/SelectablePathField.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>

namespace orvalink::ui {

SelectablePathField::SelectablePathField(QWidget* parent)
    : QLineEdit(parent), m_copyText(QStringLiteral("Copy"))
{
    setReadOnly(true);
    setFrame(false);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(font().pixelSize() > 0 ? font().pixelSize() : 12);
    setFont(mono);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

QMenu* SelectablePathField::createPathMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* copy = menu->addAction(m_copyText);
    copy->setObjectName(QStringLiteral("copyPathAction"));
    copy->setEnabled(!copiedText().isEmpty());
    connect(copy, &QAction::triggered, this, &SelectablePathField::copyPath);
    return menu;
}

QString SelectablePathField::copiedText() const
{
    if (m_copiedPath)
        return *m_copiedPath;
    return hasSelectedText() ? selectedText() : text();
}

void SelectablePathField::copyPath()
{
    const QString copied = copiedText();
    if (!copied.isEmpty())
        QGuiApplication::clipboard()->setText(copied);
}

void SelectablePathField::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createPathMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace orvalink::ui
