#pragma once

#include "ui/views/common/QuickSheet.h"
#include "viewmodel/state/BilingualText.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <span>

class QWidget;

namespace orvalink {
class MainViewModel;
} // namespace orvalink

namespace orvalink::ui {

// Where a sheet's button sits in the quick-access bar: before the account badge, or after it at the
// bar's end.
enum class SheetButtonPlace { leading, trailing };

struct SheetButtonFace {
    BilingualText label;
    QStringView symbol;
};

// The button in the quick-access bar that opens the sheet.
struct SheetButton {
    QStringView objectName;
    SheetButtonPlace place;
    SheetButtonFace face;
    // Shown instead while no account is signed in.
    std::optional<SheetButtonFace> signedOutFace;
    // Filled with the accent colour: the bar's primary action.
    bool prominent = false;
};

// Builds the sheet's view as a child of `parent` (the hosting dialog).
using SheetFactory = QWidget* (*)(MainViewModel& viewModel, QWidget* parent);

struct SheetEntry {
    QuickSheet kind;
    // The name automation runs use for the sheet: "account".
    QStringView rawName;
    // The hosting dialog's title.
    BilingualText title;
    SheetFactory build;
    SheetButton button;
};

// The one list of quick sheets: what the sheet host builds and titles, the buttons of the
// quick-access bar and the sheets the UI smoke run opens. Declared here for every column; the table
// itself is defined in views/dashboard, above the sheets whose views it builds. One entry per kind, in the
// order of the QuickSheet enumerators; the registry checks that at compile time.
std::span<const SheetEntry> sheetRegistry();
const SheetEntry& sheetEntry(QuickSheet kind);

// "account", "feedback", "settings".
QString rawValue(QuickSheet sheet);
// The sheet of a raw text; any other text (case and spaces included) gives none.
std::optional<QuickSheet> quickSheetFromRawValue(const QString& text);

} // namespace orvalink::ui
