#pragma once

#include "ui/views/common/QuickSheet.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <optional>

class QWidget;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class DashboardViewState;

// Opens the quick sheet the window's view state names: a window-modal dialog over `window`, shown
// with open() so the flows keep running, holding the account sheet (opened on its feedback section
// for `feedback`) or the settings sheet over the window's one state object. Closing the dialog
// clears the view state; a new value replaces the open sheet; no value closes it.
class SheetHost : public QObject {
    Q_OBJECT

public:
    SheetHost(MainViewModel& viewModel, DashboardViewState& state, QWidget* window,
              QObject* parent = nullptr);
    ~SheetHost() override;

    // The dialog on show, if any, and the sheet it holds.
    QDialog* dialog() const { return m_dialog; }
    std::optional<QuickSheet> shownSheet() const { return m_shown; }

private:
    void follow();
    void closeDialog();
    void openDialog(QuickSheet sheet);
    void retitle();

    MainViewModel& m_viewModel;
    DashboardViewState& m_state;
    QPointer<QWidget> m_window;
    QPointer<QDialog> m_dialog;
    std::optional<QuickSheet> m_shown;
};

} // namespace orvalink::ui
