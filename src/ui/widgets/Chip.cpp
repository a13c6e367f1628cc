#include "ui/widgets/Chip.h"

#include "ui/widgets/FocusRing.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace orvalink::ui {

namespace {
constexpr int kSymbolSpacing = 4;
}

void paintCapsule(QPainter* painter, const QRectF& rect, const QColor& tint, qreal alpha)
{
    QPainterPath path;
    const qreal radius = rect.height() / 2;
    path.addRoundedRect(rect, radius, radius);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(path, withAlpha(tint, alpha));
    painter->restore();
}

Chip::Chip(const QString& text, QWidget* parent) : QWidget(parent), m_text(text)
{
    QFont chipFont = styledFont(TextStyle::Caption, font());
    chipFont.setWeight(QFont::Medium);
    setFont(chipFont);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Chip::setText(const QString& text)
{
    // Refreshes hand the same text again and again; only a new one asks for a new layout.
    if (text == m_text)
        return;
    m_text = text;
    relayout();
}

void Chip::setTint(const QColor& tint, qreal alpha)
{
    if (tint == m_tint && qFuzzyCompare(alpha + 1.0, m_alpha + 1.0))
        return;
    m_tint = tint;
    m_alpha = alpha;
    update();
}

void Chip::setForeground(const QColor& foreground)
{
    m_foreground = foreground;
    update();
}

void Chip::setSymbol(const QString& name)
{
    m_symbol = name;
    relayout();
}

void Chip::setPadding(int horizontal, int vertical)
{
    m_paddingH = horizontal;
    m_paddingV = vertical;
    relayout();
}

void Chip::setMaximumTextWidth(int width)
{
    // A row that arranges its chips sets this at every pass: only a change asks for a new layout.
    if (width == m_maxTextWidth)
        return;
    m_maxTextWidth = width;
    relayout();
}

void Chip::relayout()
{
    updateGeometry();
    update();
}

int Chip::symbolSize() const
{
    return m_symbol.isEmpty() ? 0 : fontMetrics().height();
}

QString Chip::shownText() const
{
    if (m_maxTextWidth <= 0)
        return m_text;
    return fontMetrics().elidedText(m_text, Qt::ElideMiddle, m_maxTextWidth);
}

QSize Chip::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int width = metrics.horizontalAdvance(shownText());
    if (!m_symbol.isEmpty())
        width += symbolSize() + (m_text.isEmpty() ? 0 : kSymbolSpacing);
    return QSize(width + 2 * m_paddingH, metrics.height() + 2 * m_paddingV);
}

void Chip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}

void Chip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor tint = m_tint.isValid() ? m_tint : palette().color(QPalette::Highlight);
    const QColor foreground = m_foreground.isValid() ? m_foreground : palette().color(QPalette::WindowText);
    paintCapsule(&painter, QRectF(rect()), tint, m_alpha);

    QRect content = rect().adjusted(m_paddingH, 0, -m_paddingH, 0);
    if (!m_symbol.isEmpty()) {
        const int size = symbolSize();
        const QRect symbolRect(content.left(), (height() - size) / 2, size, size);
        Symbols::icon(m_symbol, foreground).paint(&painter, symbolRect);
        content.setLeft(symbolRect.right() + 1 + kSymbolSpacing);
    }
    painter.setPen(foreground);
    painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter, shownText());
    paintFocusRing(&painter, this, QRectF(rect()), height() / 2.0);
}

} // namespace orvalink::ui
