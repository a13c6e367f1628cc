#pragma once

#include <QList>
#include <QStringList>

class QComboBox;

namespace orvalink::ui {

// The options of a menu button (a combo box) whose order is fixed and whose texts follow the
// language.

// Relabels the options and shows option `current`, without signalling a choice.
void relabelCombo(QComboBox* combo, const QStringList& texts, int current);

// Gives menu buttons that stand in one row widths that no choice of an option changes, so choosing
// moves nothing beside them: each the width its widest option needs, or, where `room` (0 or less
// for no limit) is less than they need together, as much as lets them share it, the widest giving
// way first, none narrower than its first option (the one a setting starts at) needs; where even
// that is too much, the row wraps instead. A button given less than an option needs shows it cut
// short (an ElidingComboBox); the open menu shows every option whole.
void fitCombosToOptions(const QList<QComboBox*>& combos, int room = 0);

} // namespace orvalink::ui
