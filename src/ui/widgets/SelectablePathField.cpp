#include "ui/widgets/SelectablePathField.h"

#include "ui/widgets/PlainToolTip.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

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

QRect SelectablePathField::textArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    // QLineEdit keeps two pixels of its own on either side of the text.
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    return contents.marginsRemoved(textMargins()).adjusted(2, 0, -2, 0);
}

QString SelectablePathField::shownText() const
{
    if (hasFocus())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textArea().width());
}

void SelectablePathField::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    const QString tip = shown == text() ? QString() : plainToolTip(text());
    if (toolTip() != tip)
        setToolTip(tip);
    if (shown == text()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(textArea(), int(Qt::AlignVCenter | (alignment() & Qt::AlignHorizontal_Mask)), shown);
}

void SelectablePathField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    update();
}

void SelectablePathField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    update();
}

void SelectablePathField::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createPathMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace orvalink::ui
