#pragma once

#include "ui/widgets/DataUrlImage.h"

#include <QWidget>

namespace orvalink::ui {

// The captcha picture of the sign-in form: 180 × 56, clipped to a rounded rectangle. An empty URL
// shows a faint box with the owner's placeholder text; any other URL is decoded as an image data
// URL (DataUrlImage) and drawn once, stretched to the box, into a bitmap that every paint reuses
// (drawn again only when the screen's pixel ratio changes); one that is not a usable image leaves
// the box empty.
class CaptchaImage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 180;
    static constexpr int kHeight = 56;

    explicit CaptchaImage(QWidget* parent = nullptr);

    QString dataUrl() const { return m_url; }
    // Decodes the URL again on every call, even when it did not change.
    void setDataUrl(const QString& url);

    void setPlaceholderText(const QString& text);
    QString placeholderText() const { return m_placeholder; }

    bool showsPlaceholder() const { return m_url.isEmpty(); }
    bool hasImage() const { return !m_bitmap.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage renderBitmap() const;

    QString m_url;
    QString m_placeholder;
    QImage m_bitmap;
};

} // namespace orvalink::ui
