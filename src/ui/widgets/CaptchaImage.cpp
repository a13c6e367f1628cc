#include "ui/widgets/CaptchaImage.h"

#include "ui/widgets/ImageDecodeJob.h"
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

CaptchaImage::~CaptchaImage()
{
    abandonDecoding();
}

void CaptchaImage::setDataUrl(const QString& url)
{
    m_url = url;
    m_bitmap = QImage();
    decode();
    update();
}

void CaptchaImage::decode()
{
    abandonDecoding();
    m_ratio = devicePixelRatioF();
    if (m_url.isEmpty())
        return;
    const QSize pixels = (QSizeF(kWidth, kHeight) * m_ratio).toSize();
    m_job = ImageDecodeJob::start(m_url, pixels);
    connect(m_job, &ImageDecodeJob::finished, this,
            [this, ratio = m_ratio](const QImage& bitmap, ImageDecodeJob::Outcome) {
                m_job = nullptr;
                m_bitmap = bitmap;
                if (!m_bitmap.isNull())
                    m_bitmap.setDevicePixelRatio(ratio);
                update();
                Q_EMIT decodingFinished();
            });
}

void CaptchaImage::abandonDecoding()
{
    if (m_job)
        m_job->abandon();
    m_job = nullptr;
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
    // On another screen the picture is decoded afresh at its ratio; until then the one at hand is
    // stretched.
    if (!qFuzzyCompare(m_ratio, devicePixelRatioF()))
        QMetaObject::invokeMethod(this, &CaptchaImage::decode, Qt::QueuedConnection);
    m_ratio = devicePixelRatioF();
    painter.drawImage(box, m_bitmap);
}

} // namespace orvalink::ui
