#pragma once

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

// A Chinese/English text pair in the window's language (UTF-8 literals or texts).
QString localizedText(MainViewModel& viewModel, const char* zh, const char* en);
QString localizedText(MainViewModel& viewModel, const QString& zh, const QString& en);

// The small labels of the detail column: one text style, an optional weight, secondary text or
// a colour, and a stable object name for the tests.
QLabel* styledLabel(QWidget* parent, const QString& objectName, TextStyle style,
                    QFont::Weight weight = QFont::Normal);
QLabel* secondaryLabel(QWidget* parent, const QString& objectName, TextStyle style);

// A push button of the small control size (caption-sized text), named for the tests.
QPushButton* smallButton(QWidget* parent, const QString& objectName);

// Sets a label's text only when it changed (a refresh runs on every progress step).
void setTextIfChanged(QLabel* label, const QString& text);

// The accent colour of the window.
QColor accentColor(const QWidget* widget);

} // namespace orvalink::ui
