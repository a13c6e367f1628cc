#pragma once

#include "ui/widgets/DataUrlImage.h"

#include <QWidget>

namespace orvalink::ui {

// The captcha picture of the sign-in form: 180 × 56, clipped to a rounded rectangle. An empty URL
// shows a faint box with the owner's placeholder text; any other URL is decoded as an image data
// URL (DataUrlImage) and stretched to the box, and one that is not a usable image leaves the box
// empty.
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
    bool hasImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_url;
    QString m_placeholder;
    DataUrlImage m_image;
};

} // namespace orvalink::ui
