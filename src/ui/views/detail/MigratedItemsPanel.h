#pragma once

#include "model/AppConfig.h"

#include <QWidget>
#include <utility>

class QLabel;
class QPushButton;

namespace orvalink {
class MainViewModel;
struct LinkMapping;
} // namespace orvalink

namespace orvalink::ui {

class MappingListView;
class RefreshScheduler;
enum class MappingRowPart;

// Every mapping of the history scope, newest first, where links are repaired: all broken ones,
// the marked rows, or one row from its menu. The list scrolls inside at most 220 pixels. Refreshes
// itself when the mappings, their marks, the running disk work or the texts change.
class MigratedItemsPanel : public QWidget {
    Q_OBJECT

public:
    explicit MigratedItemsPanel(MainViewModel& viewModel, QWidget* parent = nullptr);

    // Shows the state now (a refresh is otherwise scheduled by the changes it shows).
    void refresh();
    MappingListView* list() const { return m_list; }

private:
    void showState();
    void showContextMenu(const LinkMapping& mapping, MappingRowPart part, const QPoint& globalPos);

    MainViewModel& m_viewModel;
    RefreshScheduler* m_refresh = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_selection = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_repairAll = nullptr;
    QPushButton* m_repairSelected = nullptr;
    QLabel* m_empty = nullptr;
    MappingListView* m_list = nullptr;
};

} // namespace orvalink::ui
