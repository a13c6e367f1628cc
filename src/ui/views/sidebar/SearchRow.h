#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

// The search field over the current directory's listing, its clear button and the match count.
// Every keystroke writes the state object's search text; the listing follows from it.
class SearchRow : public QWidget {
    Q_OBJECT

public:
    explicit SearchRow(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    QLabel* m_icon = nullptr;
    QLineEdit* m_field = nullptr;
    QToolButton* m_clear = nullptr;
    QLabel* m_matchCount = nullptr;
};

} // namespace orvalink::ui
