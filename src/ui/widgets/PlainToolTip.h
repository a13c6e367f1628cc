#pragma once

#include <QString>

class QWidget;

namespace orvalink::ui {

// Qt renders a tool tip as rich text whenever it looks like markup, so a folder named
// "<img src=/some/file>" would make the tip load that file. Every tip that can carry a name, a path,
// an e-mail address or a server's text goes through here: the text is shown exactly as it is.
QString plainToolTip(const QString& text);

// Sets `text` as the widget's tool tip, shown as plain text; an empty text removes the tip.
void setPlainToolTip(QWidget* widget, const QString& text);

} // namespace orvalink::ui
