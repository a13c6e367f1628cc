#pragma once

#include <QWidget>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class CaptchaSection;

// The sign-in and sign-up form shown while nobody is signed in. The e-mail, nickname and captcha
// code are sent trimmed, the password exactly as typed. Refreshes itself on the sign-in settings,
// the challenge, a running submission, the texts and its own fields.
class SignInForm : public QWidget {
    Q_OBJECT

public:
    enum class AuthMode { signIn, signUp };

    explicit SignInForm(MainViewModel& viewModel, QWidget* parent = nullptr);

    AuthMode authMode() const { return m_mode; }
    bool isAuthActionDisabled() const;

    void setEmail(const QString& email);
    void clearPassword();
    void clearCaptchaCode();

Q_SIGNALS:
    // A submission ended with a session.
    void signedIn();

private:
    void refresh();
    bool isCaptchaRequired() const;
    void setAuthMode(AuthMode mode);
    void submitAuth();

    MainViewModel& m_viewModel;
    AuthMode m_mode = AuthMode::signIn;
    QLabel* m_modeTitle = nullptr;
    QButtonGroup* m_modeGroup = nullptr;
    QPushButton* m_signInMode = nullptr;
    QPushButton* m_signUpMode = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_nickName = nullptr;
    CaptchaSection* m_captcha = nullptr;
    QPushButton* m_submit = nullptr;
};

} // namespace orvalink::ui
