#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The line where the user types a directory to open. Under presentation privacy the real field is
// replaced by the masked path and a notice, and nothing can be submitted.
class PathInputRow : public QWidget {
    Q_OBJECT

public:
    explicit PathInputRow(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    QLineEdit* m_field = nullptr;
    QWidget* m_masked = nullptr;
    QLabel* m_maskedPath = nullptr;
    QLabel* m_privacyNotice = nullptr;
    QPushButton* m_open = nullptr;
};

} // namespace orvalink::ui
