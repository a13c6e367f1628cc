#pragma once

#include "model/AppConfig.h"

#include <QList>
#include <QStringList>

class QListView;
class QWidget;

namespace orvalink::test {

// Everything below `root` (root included) that does not fit the width it was given, one line per
// fault naming the widget: a horizontal scroll bar on show; a widget reaching past its parent's
// left or right edge (cut off there); a one-line label, a button or a menu button whose text needs
// more width than the widget has. Scroll areas named in `sideways` scroll sideways by design: their
// bar and the content inside them are not faults. Only what is visible counts.
QStringList widthFaults(const QWidget& root, const QStringList& sideways = {});

// The languages and privacy settings the fit checks run in, each with a tag for its test row and
// its screenshots: "zh", "zh-privacy", "en", ..., "both-privacy".
struct FitSetting {
    UILanguage language;
    bool privacy;
    QString tag;
};
QList<FitSetting> fitSettings();

// How many whole rows of `list` show in its window: what its scroll areas and the window's edges
// leave of it.
int wholeRowsInView(const QListView& list);

// The controls of `window` (buttons, menus, fields) that show in part where `cover` stands: cut by
// the edge of the view they scroll in, the rest out of sight under `cover`. One line per control;
// those inside `cover` are its own.
QStringList controlsUnder(const QWidget& window, const QWidget& cover);

} // namespace orvalink::test
