#pragma once

#include <QColor>
#include <QWidget>

class QVariantAnimation;

namespace orvalink::ui {

// A ring that fills clockwise from 12 o'clock by a ratio: a faint track, an arc with round caps
// whose colour deepens along its sweep, an inner disc and a symbol in the middle, all in one tint.
// A new ratio sweeps to its place in 0.28 s unless animations are off (Motion.h).
class RingGauge : public QWidget {
    Q_OBJECT

public:
    explicit RingGauge(QWidget* parent = nullptr);

    // The ratio to show, clamped to 0..1; not-a-number counts as 0.
    double ratio() const { return m_ratio; }
    void setRatio(double ratio);
    // The ratio drawn now (behind ratio() while the sweep runs).
    double shownRatio() const { return m_shownRatio; }

    QColor tint() const { return m_tint; }
    void setTint(const QColor& tint);
    void setSymbol(const QString& name);

    QSize sizeHint() const override { return QSize(84, 84); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_ratio = 0;
    double m_shownRatio = 0;
    QColor m_tint = QColor(0, 122, 255);
    QString m_symbol;
    QVariantAnimation* m_animation = nullptr;
};

} // namespace orvalink::ui
