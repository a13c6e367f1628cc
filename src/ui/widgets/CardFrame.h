#pragma once

#include "ui/widgets/ShadowPixmap.h"

#include <QFrame>
#include <QPointF>

namespace orvalink::ui {

// A rounded card: a translucent fill of the window colour (the "material"), a faint inner stroke
// and a soft shadow below. The frame keeps room for the shadow in its contents margins, so a
// layout set on it lies inside the card; padding is the layout's own margins.
class CardFrame : public QFrame {
    Q_OBJECT

public:
    explicit CardFrame(QWidget* parent = nullptr);

    qreal cornerRadius() const { return m_shadow.cornerRadius; }
    void setCornerRadius(qreal radius);

    // The shadow's colour (with its alpha) and blur, and how far it falls from the card.
    void setShadow(const QColor& color, qreal blurRadius, QPointF offset);

    // Alpha of the window colour the card is filled with (0..1).
    qreal materialOpacity() const { return m_materialOpacity; }
    void setMaterialOpacity(qreal opacity);

    // The card's rounded rectangle in widget coordinates; outside it only the shadow is painted.
    QRectF cardRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateShadowMargins();

    ShadowLook m_shadow;
    QPointF m_shadowOffset{0, 4};
    qreal m_materialOpacity = 0.86;
};

} // namespace orvalink::ui
