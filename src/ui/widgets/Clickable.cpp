#include "ui/widgets/Clickable.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QWidget>
#include <algorithm>

namespace orvalink::ui {

namespace {

// The focusable widgets beside `widget` under its parent, left to right.
QList<QWidget*> rowOf(QWidget* widget)
{
    QList<QWidget*> row;
    if (!widget->parentWidget())
        return row;
    for (QWidget* sibling : widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (sibling->isVisible() && sibling->isEnabled() && (sibling->focusPolicy() & Qt::TabFocus))
            row.append(sibling);
    }
    std::stable_sort(row.begin(), row.end(),
                     [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    return row;
}

class ClickFilter : public QObject {
public:
    ClickFilter(QWidget* widget, std::function<void()> onClick)
        : QObject(widget), m_onClick(std::move(onClick))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = static_cast<QWidget*>(watched);
        switch (event->type()) {
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !widget->isEnabled() ||
                !widget->rect().contains(mouse->position().toPoint()))
                return false;
            m_onClick();
            return true;
        }
        case QEvent::KeyPress:
            return keyPressed(widget, static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            // A row that scrolls (the suggestion cards, the breadcrumbs) follows the keyboard.
            for (QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
                if (auto* area = qobject_cast<QScrollArea*>(parent)) {
                    area->ensureWidgetVisible(widget, 0, 0);
                    break;
                }
            }
            return false;
        default:
            return false;
        }
    }

private:
    bool keyPressed(QWidget* widget, const QKeyEvent* key)
    {
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        switch (key->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!key->isAutoRepeat() && widget->isEnabled())
                m_onClick();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const QList<QWidget*> row = rowOf(widget);
            const qsizetype next = row.indexOf(widget) + (key->key() == Qt::Key_Left ? -1 : 1);
            if (next >= 0 && next < row.size())
                row.at(next)->setFocus(Qt::TabFocusReason);
            return true;
        }
        default:
            return false;
        }
    }

    std::function<void()> m_onClick;
};

} // namespace

void makeClickable(QWidget* widget, std::function<void()> onClick)
{
    widget->setCursor(Qt::PointingHandCursor);
    widget->setFocusPolicy(Qt::StrongFocus);
    widget->installEventFilter(new ClickFilter(widget, std::move(onClick)));
}

} // namespace orvalink::ui
