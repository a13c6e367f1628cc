#pragma once

#include <QString>
#include <optional>

namespace orvalink::ui {

// The quick sheets of the main window. The raw texts are what the automation runs name them by.
enum class QuickSheet { account, feedback, settings };

// "account", "feedback", "settings".
QString rawValue(QuickSheet sheet);
// The sheet of a raw text; any other text (case and spaces included) gives none.
std::optional<QuickSheet> quickSheetFromRawValue(const QString& text);

} // namespace orvalink::ui
