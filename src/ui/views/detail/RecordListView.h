#pragma once

#include "ui/views/detail/RecordRowDelegate.h"

#include <QListView>
#include <QPersistentModelIndex>

namespace orvalink::ui {

// A list of record rows painted by a RecordRowDelegate. A painted button acts like a push button
// (drawn hovered and sunken; a press and a release on the same enabled button is a click, reported
// with the row and the button's name); a right click on a path line asks for that path's menu.
// The list is as high as its rows, up to a maximum beyond which they scroll inside.
class RecordListView : public QListView {
    Q_OBJECT

public:
    // `uniformRows`: every row has the same height, so the list measures one.
    RecordListView(QAbstractItemModel* model, RecordRowDelegate::Layout layout, bool uniformRows,
                   const QString& objectName, QWidget* parent = nullptr);

    // The list is as tall as its rows, up to `maximum` (then it scrolls), but never shorter than its
    // first row.
    void setMaximumContentHeight(int maximum);
    // The rows' height (the gap below the last one not counted), up to the maximum.
    int contentHeight() const;
    // The row laid out where the list shows it now.
    RecordRow rowLayout(int row) const;

Q_SIGNALS:
    void buttonClicked(int row, const QString& name);
    void pathMenuRequested(const QString& path, const QPoint& globalPos);

protected:
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void updateGeometries() override;

private:
    struct ButtonHit {
        QPersistentModelIndex index;
        QString name;

        bool operator==(const ButtonHit&) const = default;
    };

    // The enabled button under `point`, if any.
    ButtonHit buttonAt(const QPoint& point) const;
    void setActiveButtons(const ButtonHit& hovered, const ButtonHit& pressed);
    void fitHeight();

    RecordRowDelegate* m_delegate = nullptr;
    int m_maximumHeight = 0;
    int m_laidOutWidth = -1;
    ButtonHit m_hovered;
    ButtonHit m_pressed;
};

} // namespace orvalink::ui
