#pragma once

#include <QList>

class QWidget;

namespace orvalink::ui {

// Widgets created after their window was built join the keyboard's Tab order at its end, far from
// where they show. This puts `widgets`, in this order, where `place` stands in the Tab order: right
// after the last focusable widget before `place` that is not inside it. Nothing changes when no
// such widget exists (`place` is the first stop of its window).
void placeInTabOrder(QWidget* place, const QList<QWidget*>& widgets);

} // namespace orvalink::ui
