#pragma once

#include <QString>

class QLabel;
class QLineEdit;

namespace orvalink::ui {

// Sets a label's text only when it changed: a refresh runs on every progress step, and setting the
// same text again would disturb a selection or start a relayout.
void setTextIfChanged(QLabel* label, const QString& text);
// The same for a line edit, whose cursor and selection a refresh keeps.
void setTextIfChanged(QLineEdit* edit, const QString& text);

} // namespace orvalink::ui
