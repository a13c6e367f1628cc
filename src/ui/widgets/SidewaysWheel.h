#pragma once

class QAbstractScrollArea;

namespace orvalink::ui {

// Lets the vertical mouse wheel scroll `area` sideways, for a row that scrolls only horizontally
// (its scroll bars hidden): an ordinary mouse has no sideways wheel. At either end, and when the row
// fits, the wheel goes on to the scroll area around it as before. The filter lives as long as the
// area.
void scrollSidewaysWithWheel(QAbstractScrollArea* area);

} // namespace orvalink::ui
