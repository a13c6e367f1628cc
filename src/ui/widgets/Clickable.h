#pragma once

#include <functional>

class QWidget;

namespace orvalink::ui {

// Makes a painted widget that is no button (a chip, a card) act as one: `onClick` is called when it
// is clicked with the left button, or when it has the keyboard focus and Space or Return is
// pressed. It takes the focus by Tab and by click; Left and Right move the focus to its neighbours
// under the same parent, and a row that scrolls brings the focused one into view. The widget paints
// its own focus indication (paintFocusRing). The filter lives as long as the widget.
void makeClickable(QWidget* widget, std::function<void()> onClick);

} // namespace orvalink::ui
