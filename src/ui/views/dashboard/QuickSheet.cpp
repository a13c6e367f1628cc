#include "ui/views/dashboard/QuickSheet.h"

#include "ui/views/dashboard/SheetRegistry.h"

namespace orvalink::ui {

QString rawValue(QuickSheet sheet)
{
    return sheetEntry(sheet).rawName.toString();
}

std::optional<QuickSheet> quickSheetFromRawValue(const QString& text)
{
    for (const SheetEntry& entry : sheetRegistry()) {
        if (entry.rawName == text)
            return entry.kind;
    }
    return std::nullopt;
}

} // namespace orvalink::ui
