#pragma once

namespace orvalink::ui {

// The quick sheets of the main window; each is described once, in the sheet registry. The raw texts the
// automation runs name them by are there too (rawValue). `count` is no sheet: it closes the list, so the
// registry can check while compiling that every kind has its entry.
enum class QuickSheet { account, feedback, settings, count };

} // namespace orvalink::ui
