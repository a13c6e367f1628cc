#pragma once

#include "model/LinkMapping.h"
#include "ui/views/detail/MappingRowDelegate.h"

#include <QListView>

namespace orvalink {
class MainViewModel;
}

class QMenu;

namespace orvalink::ui {

class MappingListModel;

// The path menu of the line `part` of `mapping`'s row, acting on the raw path; null for a part that
// is no path line. The caller owns the menu.
QMenu* createMappingPathMenu(MainViewModel& viewModel, const LinkMapping& mapping, MappingRowPart part,
                             QWidget* parent);

// The menu of `mapping`'s row as a whole, as the keyboard opens it: one entry per path line,
// reading as the line reads, each opening that line's path menu. The caller owns the menu.
QMenu* createMappingRecordMenu(MainViewModel& viewModel, const LinkMapping& mapping, QWidget* parent);

// A list of mapping rows (the shared mapping row): a click anywhere on a row toggles its mark, a
// right click reports the row and the part under the pointer so the owner can show the path menu
// or its row menu. Only the visible rows are painted, however long the history.
//
// From the keyboard: the list is a Tab stop whose current row shows a focus ring; the arrows move
// it, Space toggles its mark, and the menu key (or Shift+F10) asks for the menu of the current
// record as a whole (MappingRowPart::record).
class MappingListView : public QListView {
    Q_OBJECT

public:
    MappingListView(MainViewModel& viewModel, const QString& objectName, QWidget* parent = nullptr);

    MappingListModel* mappingModel() const { return m_model; }
    // The height the rows need, limited to `maximum` (0 for no limit).
    int contentHeight(int maximum) const;

Q_SIGNALS:
    void rowToggled(const QUuid& id);
    void contextMenuRequested(const LinkMapping& mapping, MappingRowPart part, const QPoint& globalPos);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The current row whole in view, in the list and in the column around it.
    void showCurrentRow();
    // Asks for the menu of the current record, at its middle.
    void requestRecordMenu();

    MappingListModel* m_model = nullptr;
};

} // namespace orvalink::ui
