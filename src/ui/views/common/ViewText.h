#pragma once

#include <QString>

class QLabel;
class QLineEdit;

namespace orvalink {
class MainViewModel;
class Presentation;
} // namespace orvalink

namespace orvalink::ui {

// A Chinese/English text pair in the window's language (UTF-8 literals or texts). Views write
// every bilingual text through these, whether they hold the view model or only its texts.
QString localizedText(const Presentation& texts, const char* zh, const char* en);
QString localizedText(const Presentation& texts, const QString& zh, const QString& en);
QString localizedText(MainViewModel& viewModel, const char* zh, const char* en);
QString localizedText(MainViewModel& viewModel, const QString& zh, const QString& en);

// Sets a label's text only when it changed: a refresh runs on every progress step, and setting the
// same text again would disturb a selection or start a relayout.
void setTextIfChanged(QLabel* label, const QString& text);
// The same for a line edit, whose cursor and selection a refresh keeps.
void setTextIfChanged(QLineEdit* edit, const QString& text);

} // namespace orvalink::ui
