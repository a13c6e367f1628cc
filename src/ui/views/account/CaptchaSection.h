#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class CaptchaImage;

// The captcha block of the sign-in form: the picture, the code field, Refresh Captcha with the
// validity of the current challenge, and the notice that the administrator turned the captcha on.
// Refreshes itself on the challenge, a running captcha refresh and the texts.
class CaptchaSection : public QWidget {
    Q_OBJECT

public:
    explicit CaptchaSection(MainViewModel& viewModel, QWidget* parent = nullptr);

    QString code() const;
    void clearCode();

Q_SIGNALS:
    // The code in the field changed (typed or cleared).
    void codeChanged();

private:
    void refresh();
    void refreshCaptcha();

    MainViewModel& m_viewModel;
    CaptchaImage* m_image = nullptr;
    QLineEdit* m_code = nullptr;
    QPushButton* m_refresh = nullptr;
    QLabel* m_validity = nullptr;
    QLabel* m_notice = nullptr;
};

} // namespace orvalink::ui
