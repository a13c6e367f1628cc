#include "ui/widgets/SidewaysWheel.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

namespace orvalink::ui {

namespace {

class SidewaysWheelFilter : public QObject {
public:
    explicit SidewaysWheelFilter(QAbstractScrollArea* area) : QObject(area), m_area(area) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return QObject::eventFilter(watched, event);
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint delta = wheel->angleDelta();
        // A sideways wheel or a touchpad's sideways swipe already scrolls the row.
        if (delta.y() == 0 || std::abs(delta.x()) > std::abs(delta.y()))
            return false;
        QScrollBar* bar = m_area->horizontalScrollBar();
        // One notch (120) moves as far as a notch moves a list: the lines the platform sets.
        const int step = delta.y() * QApplication::wheelScrollLines() * bar->singleStep() / 120;
        const int value = std::clamp(bar->value() - step, bar->minimum(), bar->maximum());
        if (value == bar->value())
            return false;
        bar->setValue(value);
        return true;
    }

private:
    QAbstractScrollArea* m_area;
};

} // namespace

void scrollSidewaysWithWheel(QAbstractScrollArea* area)
{
    area->viewport()->installEventFilter(new SidewaysWheelFilter(area));
}

} // namespace orvalink::ui
