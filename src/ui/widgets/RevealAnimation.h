#pragma once

#include <QObject>
#include <QPointer>

class QVariantAnimation;
class QWidget;

namespace orvalink::ui {

// Opens or closes a widget by animating its maximum height between 0 and its preferred height,
// with an ease-in-out curve; the widget is hidden once it is closed. Asked for the state it is
// already in (or heading to), it does nothing, so a view may call it on every refresh.
class RevealAnimation : public QObject {
    Q_OBJECT

public:
    RevealAnimation(QWidget* body, int durationMs, QObject* parent = nullptr);

    // Animates only when `animate` is true, animations are on (Motion.h) and the body's window is
    // visible; otherwise the body takes the state at once.
    void setShown(bool shown, bool animate);
    bool isShown() const { return m_shown; }
    bool isRunning() const;

private:
    QPointer<QWidget> m_body;
    QVariantAnimation* m_animation = nullptr;
    bool m_shown = false;
};

} // namespace orvalink::ui
