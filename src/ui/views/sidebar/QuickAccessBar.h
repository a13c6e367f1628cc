#pragma once

#include <QWidget>

class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class Chip;
class DashboardViewState;

// The sidebar's top row: the account, feedback and settings buttons, the signed-in account's badge
// and a spinner while the account service is asked. Every button only opens its quick sheet.
class QuickAccessBar : public QWidget {
    Q_OBJECT

public:
    QuickAccessBar(MainViewModel& viewModel, DashboardViewState& state, QWidget* parent = nullptr);

    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    QPushButton* m_account = nullptr;
    QPushButton* m_feedback = nullptr;
    QPushButton* m_settings = nullptr;
    Chip* m_badge = nullptr;
    BusyIndicator* m_busy = nullptr;
};

} // namespace orvalink::ui
