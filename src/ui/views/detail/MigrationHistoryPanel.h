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

class BusyIndicator;
class MappingListView;
class RefreshScheduler;
enum class MappingRowPart;

// The undo candidates, newest first, where the user marks the migrations to undo. Outside undo
// mode it shows only a hint; the marks stay for when undo mode comes back. Takes the height the
// other sections of the column leave. Refreshes itself when the candidates, their marks, undo mode
// or the texts change.
class MigrationHistoryPanel : public QWidget {
    Q_OBJECT

public:
    explicit MigrationHistoryPanel(MainViewModel& viewModel, QWidget* parent = nullptr);

    // Shows the state now (a refresh is otherwise scheduled by the changes it shows).
    void refresh();
    MappingListView* list() const { return m_list; }

private:
    void showState();
    void showContextMenu(const LinkMapping& mapping, MappingRowPart part, const QPoint& globalPos);

    MainViewModel& m_viewModel;
    RefreshScheduler* m_refresh = nullptr;
    QLabel* m_hint = nullptr;
    QWidget* m_header = nullptr;
    QLabel* m_selection = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_clear = nullptr;
    QLabel* m_empty = nullptr;
    MappingListView* m_list = nullptr;
};

// The last line of the column: how many entries are selected in the sidebar, and a spinner while
// an undo runs.
class SelectionFooter : public QWidget {
    Q_OBJECT

public:
    explicit SelectionFooter(MainViewModel& viewModel, QWidget* parent = nullptr);

    void refresh();

private:
    MainViewModel& m_viewModel;
    QLabel* m_count = nullptr;
    BusyIndicator* m_spinner = nullptr;
};

} // namespace orvalink::ui
