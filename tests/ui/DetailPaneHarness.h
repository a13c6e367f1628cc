#pragma once

#include "ui/views/common/DashboardViewState.h"
#include "ui/views/detail/DetailPaneView.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <memory>

namespace orvalink {
class MainViewModel;
}

namespace orvalink::test {

// The detail column over a real state object, shown off screen at a window's size.
class DetailPaneHarness {
public:
    explicit DetailPaneHarness(MainViewModel& viewModel, bool showProgressPanel = false);

    // Lets queued signals arrive, then runs the pane's pending refresh.
    void settle();
    // Renders the column and saves it under <build>/screens/<name>.png.
    void save(const QString& name);

    template <typename T = QWidget> T* find(const QString& name) const { return pane->findChild<T*>(name); }
    QString text(const QString& labelName) const;
    QPushButton* button(const QString& name) const { return find<QPushButton>(name); }
    // The widgets named `name` that are shown now.
    QList<QWidget*> shown(const QString& name) const;
    // Clicks the list's row `row` in the middle of its header line.
    void clickRow(const QString& listName, int row);
    // The rows of the record list `listName` that are shown now (none while the list is hidden).
    int shownRecords(const QString& listName) const;

    ui::DashboardViewState state;
    std::unique_ptr<ui::DetailPaneView> pane;
};

} // namespace orvalink::test
