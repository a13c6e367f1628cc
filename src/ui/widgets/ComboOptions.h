#pragma once

#include <QStringList>

class QComboBox;

namespace orvalink::ui {

// The options of a menu button (a combo box) whose order is fixed and whose texts follow the
// language.

// Relabels the options and shows option `current`, without signalling a choice.
void relabelCombo(QComboBox* combo, const QStringList& texts, int current);

// Makes the button as wide as its current option needs (the open menu still shows every option
// whole), so a row of menus takes no more room than what they show.
void fitComboToCurrentText(QComboBox* combo);

} // namespace orvalink::ui
