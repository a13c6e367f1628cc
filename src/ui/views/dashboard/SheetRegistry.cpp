#include "ui/views/common/SheetRegistry.h"

#include "ui/views/account/AccountSheetView.h"
#include "ui/views/settings/SettingsSheetView.h"

#include <cstddef>
#include <iterator>

namespace orvalink::ui {

namespace {

const SheetEntry kSheets[] = {
    {QuickSheet::account, u"account", BilingualText("账户中心", "Account Center"),
     [](MainViewModel& viewModel, QWidget* parent) -> QWidget* {
         return new AccountSheetView(viewModel, std::nullopt, parent);
     },
     SheetButton{u"quickAccountButton", SheetButtonPlace::leading,
                 SheetButtonFace{BilingualText("账户", "Account"), u"person.crop.circle.fill"},
                 SheetButtonFace{BilingualText("登录", "Sign In"), u"person.badge.key.fill"}, true}},
    {QuickSheet::feedback, u"feedback", BilingualText("账户中心", "Account Center"),
     [](MainViewModel& viewModel, QWidget* parent) -> QWidget* {
         return new AccountSheetView(viewModel, AccountSheetView::InitialFocus::feedback, parent);
     },
     SheetButton{u"quickFeedbackButton", SheetButtonPlace::leading,
                 SheetButtonFace{BilingualText("意见", "Feedback"),
                                 u"bubble.left.and.exclamationmark.bubble.right.fill"},
                 std::nullopt}},
    {QuickSheet::settings, u"settings", BilingualText("设置", "Settings"),
     [](MainViewModel& viewModel, QWidget* parent) -> QWidget* {
         return new SettingsSheetView(viewModel, parent);
     },
     SheetButton{u"quickSettingsButton", SheetButtonPlace::trailing,
                 SheetButtonFace{BilingualText("设置", "Settings"), u"slider.horizontal.3"}, std::nullopt}},
};

// Every kind up to QuickSheet::count has one entry: a kind added to the enum without its entry fails
// the build. That entry i is kind i, and complete, the registry's test checks.
static_assert(std::size(kSheets) == std::size_t(QuickSheet::count),
              "every quick sheet has one registry entry");

} // namespace

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
