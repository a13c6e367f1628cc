#pragma once

#include "ui/views/ViewText.h"
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

// The small labels of the detail column: one text style, an optional weight, secondary text or
// a colour, and a stable object name for the tests.
QLabel* styledLabel(QWidget* parent, const QString& objectName, TextStyle style,
                    QFont::Weight weight = QFont::Normal);
QLabel* secondaryLabel(QWidget* parent, const QString& objectName, TextStyle style);

// A push button of the small control size (caption-sized text), named for the tests.
QPushButton* smallButton(QWidget* parent, const QString& objectName);

// The accent colour of the window.
QColor accentColor(const QWidget* widget);

} // namespace orvalink::ui
