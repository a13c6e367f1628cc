#pragma once

#include "ui/widgets/TextStyles.h"

#include <QFlags>
#include <QString>

class QLabel;
class QWidget;

namespace orvalink::ui {

class ElidedLabel;

// What a label adds to its text style.
enum class LabelOption {
    Secondary = 0x01, // the secondary text colour
    Wrap = 0x02,      // wraps at word boundaries instead of asking for one line's width
    Semibold = 0x04,
    Bold = 0x08,
    Selectable = 0x10, // the user may select (and copy) the text with the mouse
    Monospace =
        0x20, // the system's monospace font in the style's size and weight, for fingerprints and paths
};
Q_DECLARE_FLAGS(LabelOptions, LabelOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LabelOptions)

// A plain-text label in `style`, named `objectName` for the tests. Plain text because names,
// paths and messages hold file names, which may look like markup.
QLabel* textLabel(QWidget* parent, const QString& objectName, TextStyle style, LabelOptions options = {});

// A label in `style` of at most `maximumLines` lines that elides what does not fit (`mode`: the end
// for prose, the middle for paths) and then carries the whole text in its tool tip. It wraps by
// itself; Wrap and Selectable do not apply.
ElidedLabel* elidedLabel(QWidget* parent, const QString& objectName, TextStyle style,
                         Qt::TextElideMode mode = Qt::ElideRight, LabelOptions options = {},
                         int maximumLines = 1);

} // namespace orvalink::ui
