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
class RefreshScheduler;

// The captcha block of the sign-in form: the picture, the code field, Refresh Captcha with the
// validity of the current challenge, and the notice that the administrator turned the captcha on.
class CaptchaSection : public QWidget {
    Q_OBJECT

public:
    CaptchaSection(MainViewModel& viewModel, RefreshScheduler& scheduler, QWidget* parent = nullptr);

    void refresh();

    QString code() const;
    void clearCode();

private:
    void refreshCaptcha();

    MainViewModel& m_viewModel;
    CaptchaImage* m_image = nullptr;
    QLineEdit* m_code = nullptr;
    QPushButton* m_refresh = nullptr;
    QLabel* m_validity = nullptr;
    QLabel* m_notice = nullptr;
};

} // namespace orvalink::ui
