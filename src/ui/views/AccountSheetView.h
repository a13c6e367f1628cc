#pragma once

#include <QWidget>
#include <optional>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The account sheet's content: a plain widget the sheet host shows in a window-modal dialog and the
// guide export renders off screen.
class AccountSheetView : public QWidget {
    Q_OBJECT

public:
    // `feedback`: the feedback section opens expanded once the user is signed in.
    enum class InitialFocus { feedback };

    AccountSheetView(MainViewModel& viewModel, std::optional<InitialFocus> initialFocus = std::nullopt,
                     QWidget* parent = nullptr);
};

} // namespace orvalink::ui
