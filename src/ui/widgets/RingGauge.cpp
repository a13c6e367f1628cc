#include "ui/widgets/RingGauge.h"

#include "ui/widgets/Motion.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"

#include <QConicalGradient>
#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace orvalink::ui {

namespace {

constexpr qreal kLineWidth = 10;
constexpr qreal kDiscDiameter = 52;
constexpr int kSymbolPixels = 22;
constexpr int kSweepMs = 280;
// The gradient's seam sits this far before 12 o'clock, so the round cap at the start of the arc
// is drawn in the start colour instead of the end colour.
constexpr qreal kSeamDegrees = 10;

double clampedFill(double ratio)
{
    if (std::isnan(ratio))
        return 0;
    return std::clamp(ratio, 0.0, 1.0);
}

} // namespace

RingGauge::RingGauge(QWidget* parent) : QWidget(parent)
{
    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(kSweepMs);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_shownRatio = value.toDouble();
        update();
    });
}

void RingGauge::setRatio(double ratio)
{
    const double target = clampedFill(ratio);
    if (target == m_ratio)
        return;
    m_ratio = target;
    m_animation->stop();
    if (!animationsEnabled() || !isVisible()) {
        m_shownRatio = m_ratio;
        update();
        return;
    }
    m_animation->setStartValue(m_shownRatio);
    m_animation->setEndValue(m_ratio);
    m_animation->start();
}

void RingGauge::setTint(const QColor& tint)
{
    m_tint = tint;
    update();
}

void RingGauge::setSymbol(const QString& name)
{
    m_symbol = name;
    update();
}

void RingGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const QPointF centre = QRectF(rect()).center();
    const qreal radius = (side - kLineWidth) / 2;
    if (radius <= 0)
        return;
    const QRectF ring(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);

    painter.setPen(QPen(withAlpha(m_tint, 0.14), kLineWidth));
    painter.drawEllipse(ring);

    if (m_shownRatio > 0) {
        // Qt's conical gradient runs counter-clockwise from its angle; the arc runs clockwise, so
        // the gradient goes from the full tint (position 0) back to the faint tint (position 1).
        QConicalGradient gradient(centre, 90 + kSeamDegrees);
        gradient.setColorAt(0, m_tint);
        gradient.setColorAt(1, withAlpha(m_tint, 0.35));
        const int span = -int(std::lround(m_shownRatio * 360 * 16));
        QPen shadowPen(withAlpha(m_tint, 0.2), kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(shadowPen);
        painter.drawArc(ring.translated(0, 2), 90 * 16, span);
        painter.setPen(QPen(QBrush(gradient), kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawArc(ring, 90 * 16, span);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(m_tint, 0.12));
    painter.drawEllipse(centre, kDiscDiameter / 2, kDiscDiameter / 2);

    if (!m_symbol.isEmpty()) {
        const QRect symbolRect(int(centre.x() - kSymbolPixels / 2.0), int(centre.y() - kSymbolPixels / 2.0),
                               kSymbolPixels, kSymbolPixels);
        Symbols::icon(m_symbol, m_tint).paint(&painter, symbolRect);
    }
}

} // namespace orvalink::ui
