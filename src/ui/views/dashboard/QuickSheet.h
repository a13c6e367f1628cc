#pragma once

#include <QString>
#include <optional>

namespace orvalink::ui {

// The quick sheets of the main window; each is described once, in the sheet registry. The raw texts
// are what the automation runs name them by. `count` is no sheet: it closes the list, so the
// registry can check while compiling that every kind has its entry.
enum class QuickSheet { account, feedback, settings, count };

// "account", "feedback", "settings".
QString rawValue(QuickSheet sheet);
// The sheet of a raw text; any other text (case and spaces included) gives none.
std::optional<QuickSheet> quickSheetFromRawValue(const QString& text);

} // namespace orvalink::ui
