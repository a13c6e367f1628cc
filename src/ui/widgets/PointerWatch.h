#pragma once

#include <QObject>
#include <QPoint>
#include <optional>

class QWidget;

namespace orvalink::ui {

// Where the pointer is over the window of `owner`, as that window was last told by the window
// system: a move of the pointer over the window, or its leaving. It starts following once the
// owner is shown (its window exists only then).
class PointerWatch : public QObject {
    Q_OBJECT

public:
    explicit PointerWatch(QWidget* owner);

    // The pointer's place on the screen; none while it is outside the window.
    std::optional<QPoint> position() const { return m_position; }
    // Whether the pointer rests on `widget` (shown, and not covered by another window).
    bool isOver(const QWidget* widget) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_owner;
    std::optional<QPoint> m_position;
};

} // namespace orvalink::ui
