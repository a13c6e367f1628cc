#pragma once

#include <QColor>
#include <QWidget>

namespace orvalink::ui {

// A plain rounded rectangle filled with a tint at an opacity, behind whatever layout the owner sets.
// The record rows, tiles and cards of the detail column are built on it.
class TintedBox : public QWidget {
    Q_OBJECT

public:
    TintedBox(const QColor& tint, qreal alpha, qreal radius, QWidget* parent = nullptr);

    // An invalid tint paints with the palette's text colour (the "secondary" fills).
    void setTint(const QColor& tint, qreal alpha);
    QColor tint() const { return m_tint; }
    qreal tintAlpha() const { return m_alpha; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
    qreal m_alpha;
    qreal m_radius;
};

} // namespace orvalink::ui
