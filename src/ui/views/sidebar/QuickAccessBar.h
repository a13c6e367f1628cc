#pragma once

#include "ui/views/common/SheetRegistry.h"

#include <QList>
#include <QWidget>

class QHBoxLayout;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class BusyIndicator;
class Chip;
class DashboardViewState;

// The sidebar's top row: a button for each quick sheet of the registry (account, feedback,
// settings), the signed-in account's badge and a spinner while the account service is asked. Every
// button only opens its quick sheet.
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
    struct ShownButton {
        const SheetEntry* sheet;
        QPushButton* button;
        // The symbol on the button: a new icon relays the bar out, so it is set only on a change.
        QString symbol;
    };

    void addSheetButtons(QHBoxLayout* layout, SheetButtonPlace place);

    QList<ShownButton> m_sheetButtons;
    Chip* m_badge = nullptr;
    BusyIndicator* m_busy = nullptr;
};

} // namespace orvalink::ui
