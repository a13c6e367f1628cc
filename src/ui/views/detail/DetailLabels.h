#pragma once

#include "ui/views/common/ViewText.h"
#include "ui/widgets/TextStyles.h"

#include <QFont>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class ElidedLabel;

// The small labels of the detail column: one text style, an optional weight, secondary text or
// a colour, and a stable object name for the tests.
QLabel* styledLabel(QWidget* parent, const QString& objectName, TextStyle style,
                    QFont::Weight weight = QFont::Normal);
QLabel* secondaryLabel(QWidget* parent, const QString& objectName, TextStyle style);

// A one-line label of `style` that elides what does not fit (`mode`: the end for prose, the middle
// for paths) and then carries the whole text in its tool tip.
ElidedLabel* elidedLabel(QWidget* parent, const QString& objectName, TextStyle style,
                         Qt::TextElideMode mode = Qt::ElideRight, QFont::Weight weight = QFont::Normal);

// A push button of the small control size (caption-sized text), named for the tests.
QPushButton* smallButton(QWidget* parent, const QString& objectName);

// The accent colour of the window.
QColor accentColor(const QWidget* widget);

} // namespace orvalink::ui
