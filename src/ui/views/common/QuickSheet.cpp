#include "ui/views/common/QuickSheet.h"

namespace orvalink::ui {

QString rawValue(QuickSheet sheet)
{
    switch (sheet) {
    case QuickSheet::account:
        return QStringLiteral("account");
    case QuickSheet::feedback:
        return QStringLiteral("feedback");
    case QuickSheet::settings:
        return QStringLiteral("settings");
    }
    return {};
}

std::optional<QuickSheet> quickSheetFromRawValue(const QString& text)
{
    for (const QuickSheet sheet : {QuickSheet::account, QuickSheet::feedback, QuickSheet::settings}) {
        if (rawValue(sheet) == text)
            return sheet;
    }
    return std::nullopt;
}

} // namespace orvalink::ui
