#include "ui/views/common/SheetRegistry.h"

#include "ui/views/account/AccountSheetView.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/settings/SettingsSheetView.h"
#include "viewmodel/texts/Presentation.h"

#include <cstddef>
#include <iterator>

namespace orvalink::ui {

namespace {

constexpr SheetEntry kSheets[] = {
    {QuickSheet::account, u"account", SheetText(u"账户中心", u"Account Center"),
     [](MainViewModel& viewModel, QWidget* parent) -> QWidget* {
         return new AccountSheetView(viewModel, std::nullopt, parent);
     },
     SheetButton{u"quickAccountButton", SheetButtonPlace::leading,
                 SheetButtonFace{SheetText(u"账户", u"Account"), u"person.crop.circle.fill"},
                 SheetButtonFace{SheetText(u"登录", u"Sign In"), u"person.badge.key.fill"}, true}},
    {QuickSheet::feedback, u"feedback", SheetText(u"账户中心", u"Account Center"),
     [](MainViewModel& viewModel, QWidget* parent) -> QWidget* {
         return new AccountSheetView(viewModel, AccountSheetView::InitialFocus::feedback, parent);
     },
     SheetButton{u"quickFeedbackButton", SheetButtonPlace::leading,
                 SheetButtonFace{SheetText(u"意见", u"Feedback"),
                                 u"bubble.left.and.exclamationmark.bubble.right.fill"},
                 std::nullopt}},
    {QuickSheet::settings, u"settings", SheetText(u"设置", u"Settings"),
     [](MainViewModel& viewModel, QWidget* parent) -> QWidget* {
         return new SettingsSheetView(viewModel, parent);
     },
     SheetButton{u"quickSettingsButton", SheetButtonPlace::trailing,
                 SheetButtonFace{SheetText(u"设置", u"Settings"), u"slider.horizontal.3"}, std::nullopt}},
};

// Entry i is kind i, and every kind up to QuickSheet::count has one: a kind added to the enum
// without its entry, or an entry out of place, fails the build.
constexpr bool coversEveryKindInOrder()
{
    if (std::size(kSheets) != std::size_t(QuickSheet::count))
        return false;
    for (std::size_t i = 0; i < std::size(kSheets); ++i) {
        const SheetEntry& entry = kSheets[i];
        if (entry.kind != QuickSheet(i) || entry.rawName.isEmpty() || !entry.build ||
            entry.button.objectName.isEmpty() || entry.button.face.symbol.isEmpty())
            return false;
    }
    return true;
}
static_assert(coversEveryKindInOrder(), "every quick sheet has one complete registry entry, in enum order");

} // namespace

QString SheetText::in(const Presentation& presentation) const
{
    return localizedText(presentation, m_zh.toString(), m_en.toString());
}

std::span<const SheetEntry> sheetRegistry()
{
    return kSheets;
}

const SheetEntry& sheetEntry(QuickSheet kind)
{
    Q_ASSERT(std::size_t(kind) < std::size(kSheets));
    return kSheets[std::size_t(kind)];
}

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
