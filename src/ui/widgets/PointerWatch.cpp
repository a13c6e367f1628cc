#include "ui/widgets/PointerWatch.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace orvalink::ui {

PointerWatch::PointerWatch(QWidget* owner) : QObject(owner), m_owner(owner)
{
    owner->installEventFilter(this);
}

bool PointerWatch::isOver(const QWidget* widget) const
{
    if (!m_position || !widget || !widget->isVisible() || widget->window() != m_owner->window())
        return false;
    return widget->rect().contains(widget->mapFromGlobal(*m_position));
}

bool PointerWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_owner) {
        // The window is there once the owner shows; a filter installed twice is kept once.
        if (event->type() == QEvent::Show) {
            if (QWindow* handle = m_owner->window()->windowHandle())
                handle->installEventFilter(this);
        }
    } else if (event->type() == QEvent::MouseMove) {
        m_position = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    } else if (event->type() == QEvent::Leave) {
        m_position.reset();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orvalink::ui
