#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace orvalink::ui {

// A push button of the small control size (subheadline-sized text), named for the tests.
QPushButton* smallButton(QWidget* parent, const QString& objectName);
// The same for a button whose run disables it and that keeps the keyboard focus then (RunButton).
QPushButton* smallRunButton(QWidget* parent, const QString& objectName);

} // namespace orvalink::ui
