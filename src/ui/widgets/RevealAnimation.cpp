#include "ui/widgets/RevealAnimation.h"

#include "ui/widgets/Motion.h"

#include <QVariantAnimation>
#include <QWidget>

namespace orvalink::ui {

RevealAnimation::RevealAnimation(QWidget* body, int durationMs, QObject* parent)
    : QObject(parent), m_body(body), m_shown(body->isVisibleTo(body->parentWidget()))
{
    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(durationMs);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (m_body)
            m_body->setMaximumHeight(value.toInt());
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        if (!m_body)
            return;
        m_body->setMaximumHeight(QWIDGETSIZE_MAX);
        m_body->setVisible(m_shown);
    });
}

bool RevealAnimation::isRunning() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void RevealAnimation::setShown(bool shown, bool animate)
{
    if (!m_body)
        return;
    const bool settled = !isRunning() && m_body->isVisibleTo(m_body->parentWidget()) == shown;
    if (shown == m_shown && (settled || isRunning()))
        return;
    m_shown = shown;
    m_animation->stop();
    if (!animate || !animationsEnabled() || !m_body->window()->isVisible()) {
        m_body->setMaximumHeight(QWIDGETSIZE_MAX);
        m_body->setVisible(shown);
        return;
    }
    const int from = m_body->isVisible() ? m_body->height() : 0;
    m_body->setMaximumHeight(from);
    m_body->show();
    m_animation->setStartValue(from);
    m_animation->setEndValue(shown ? m_body->sizeHint().height() : 0);
    m_animation->start();
}

} // namespace orvalink::ui
