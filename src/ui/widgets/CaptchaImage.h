#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace orvalink::ui {

class ImageDecodeJob;

// The captcha picture of the sign-in form: 180 × 56, clipped to a rounded rectangle. An empty URL
// shows a faint box with the owner's placeholder text; any other URL is decoded as an image data
// URL in the decoder process (ImageDecodeJob), stretched to the box, into a bitmap that every
// paint reuses (decoded again only when the screen's pixel ratio changes). The box stays empty
// while the picture is on its way, and for good when it is no usable image or does not arrive in
// time. Nothing of the decoding runs on the window's thread.
class CaptchaImage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 180;
    static constexpr int kHeight = 56;

    explicit CaptchaImage(QWidget* parent = nullptr);
    ~CaptchaImage() override;

    QString dataUrl() const { return m_url; }
    // Decodes the URL again on every call, even when it did not change; a decoding still under way
    // is abandoned.
    void setDataUrl(const QString& url);

    void setPlaceholderText(const QString& text);
    QString placeholderText() const { return m_placeholder; }

    bool showsPlaceholder() const { return m_url.isEmpty(); }
    bool hasImage() const { return !m_bitmap.isNull(); }
    bool isDecoding() const { return !m_job.isNull(); }

Q_SIGNALS:
    // A decoding ended: with the picture (hasImage()) or without.
    void decodingFinished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void decode();
    void abandonDecoding();

    QString m_url;
    QString m_placeholder;
    QImage m_bitmap;
    // The pixel ratio the current or last decoding was started for.
    qreal m_ratio = 0;
    QPointer<ImageDecodeJob> m_job;
};

} // namespace orvalink::ui
