#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

namespace orvalink::ui {

// Fills `rect` as a capsule (corner radius half its height) in `tint` at `alpha`. Delegates that
// paint badges in list rows share it with Chip.
void paintCapsule(QPainter* painter, const QRectF& rect, const QColor& tint, qreal alpha);

// A capsule label: optional symbol and a single line of text, padded, on the tint at a given
// opacity. Text longer than the maximum text width is elided in the middle.
class Chip : public QWidget {
    Q_OBJECT

public:
    explicit Chip(const QString& text = QString(), QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // The capsule is `tint` at `alpha`; the text and symbol are `foreground` (invalid: the
    // palette's text colour).
    void setTint(const QColor& tint, qreal alpha);
    QColor tint() const { return m_tint; }
    qreal tintAlpha() const { return m_alpha; }
    void setForeground(const QColor& foreground);

    // A symbol name of Symbols before the text; empty shows none.
    void setSymbol(const QString& name);

    void setPadding(int horizontal, int vertical);
    // Longest text drawn before it is elided in the middle; 0 for no limit.
    void setMaximumTextWidth(int width);

    // The text as drawn (elided when it does not fit the maximum width).
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int symbolSize() const;
    void relayout();

    QString m_text;
    QString m_symbol;
    QColor m_tint;
    QColor m_foreground;
    qreal m_alpha = 0.12;
    int m_paddingH = 10;
    int m_paddingV = 6;
    int m_maxTextWidth = 0;
};

} // namespace orvalink::ui
