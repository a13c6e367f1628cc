#include "ui/views/AccountSheetView.h"

namespace orvalink::ui {

AccountSheetView::AccountSheetView(MainViewModel& /*viewModel*/, std::optional<InitialFocus> /*initialFocus*/,
                                   QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("accountSheet"));
}

} // namespace orvalink::ui
