#pragma once

class QVBoxLayout;
class QWidget;

namespace orvalink::ui {

// Sets `card`'s layout to the column its content stands in: 12 px in from every edge, `spacing`
// between the items. Returns the column.
QVBoxLayout* cardColumn(QWidget* card, int spacing);

} // namespace orvalink::ui
