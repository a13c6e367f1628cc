#include "ui/widgets/CaptchaImage.h"

#include "ui/widgets/TextStyles.h"

#include <QPainter>
#include <QPainterPath>

namespace orvalink::ui {

namespace {
constexpr qreal kCornerRadius = 12;
}

CaptchaImage::CaptchaImage(QWidget* parent) : QWidget(parent)
{
    setFixedSize(kWidth, kHeight);
    setFont(styledFont(TextStyle::Caption, font()));
}

void CaptchaImage::setDataUrl(const QString& url)
{
    m_url = url;
    m_bitmap = renderBitmap();
    update();
}

QImage CaptchaImage::renderBitmap() const
{
    if (m_url.isEmpty())
        return QImage();
    return DataUrlImage::render(m_url, QSize(kWidth, kHeight), devicePixelRatioF());
}

void CaptchaImage::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    update();
}

void CaptchaImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, kWidth, kHeight);
    QPainterPath clip;
    clip.addRoundedRect(box, kCornerRadius, kCornerRadius);
    painter.setClipPath(clip);

    if (showsPlaceholder()) {
        const QColor secondary = secondaryTextColor(palette());
        painter.fillPath(clip, withAlpha(secondary, secondary.alphaF() * 0.08));
        painter.setPen(secondary);
        painter.drawText(box, Qt::AlignCenter, m_placeholder);
        return;
    }
    if (!m_bitmap.isNull() && !qFuzzyCompare(m_bitmap.devicePixelRatio(), devicePixelRatioF()))
        m_bitmap = renderBitmap();
    painter.drawImage(box, m_bitmap);
}

} // namespace orvalink::ui
