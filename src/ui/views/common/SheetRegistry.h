#pragma once

#include "ui/views/common/QuickSheet.h"

#include <QString>
#include <QStringView>
#include <cstddef>
#include <optional>
#include <span>

class QWidget;

namespace orvalink {
class MainViewModel;
class Presentation;
} // namespace orvalink

namespace orvalink::ui {

// A text of the registry in both languages. Built only from two non-empty literals, checked while
// compiling: an entry without its Chinese or English text does not build.
class SheetText {
public:
    template <std::size_t ZhSize, std::size_t EnSize>
    consteval SheetText(const char16_t (&zh)[ZhSize], const char16_t (&en)[EnSize])
        : m_zh(zh, qsizetype(ZhSize) - 1), m_en(en, qsizetype(EnSize) - 1)
    {
        if (m_zh.isEmpty() || m_en.isEmpty())
            throw "a sheet text needs both languages";
    }

    constexpr QStringView zh() const { return m_zh; }
    constexpr QStringView en() const { return m_en; }
    // In the language the presentation is set to.
    QString in(const Presentation& presentation) const;

private:
    QStringView m_zh;
    QStringView m_en;
};

// Where a sheet's button sits in the quick-access bar: before the account badge, or after it at the
// bar's end.
enum class SheetButtonPlace { leading, trailing };

struct SheetButtonFace {
    SheetText label;
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
    SheetText title;
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
