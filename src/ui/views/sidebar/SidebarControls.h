#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace orvalink::ui {

// Small pieces the sidebar's groups share.

// Sets the text of a line edit only when it differs, so a refresh keeps the cursor and selection.
void setTextKeepingCursor(QLineEdit* edit, const QString& text);

// Relabels a menu's options (their order is fixed) and shows option `current`.
void relabelCombo(QComboBox* combo, const QStringList& texts, int current);

// Makes a menu button as wide as its current option needs (the open menu still shows every option
// whole), so a row of menus takes no more room than what they show.
void fitComboToCurrentText(QComboBox* combo);

} // namespace orvalink::ui

namespace orvalink::ui {

// Makes a painted widget that is no button (a chip, a card) act as one: `onClick` is called when it
// is clicked with the left button, or when it has the keyboard focus and Space or Return is
// pressed. It takes the focus by Tab and by click; Left and Right move the focus to its neighbours
// under the same parent, and a row that scrolls brings the focused one into view. The widget paints
// its own focus indication (paintFocusRing). The filter lives as long as the widget.
void makeClickable(QWidget* widget, std::function<void()> onClick);

} // namespace orvalink::ui
