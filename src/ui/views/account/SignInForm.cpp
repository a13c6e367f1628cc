#include "ui/views/account/SignInForm.h"

#include "ui/views/account/CaptchaSection.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QButtonGroup>
#include <QCoro/QCoroTask>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

QPushButton* makeSegment(const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setCheckable(true);
    return button;
}

} // namespace

SignInForm::SignInForm(MainViewModel& viewModel, QWidget* parent) : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("signInForm"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(14);

    auto* modeRow = new QHBoxLayout;
    m_modeTitle = new QLabel(this);
    m_modeGroup = new QButtonGroup(this);
    m_signInMode = makeSegment(QStringLiteral("signInModeButton"), this);
    m_signUpMode = makeSegment(QStringLiteral("signUpModeButton"), this);
    m_modeGroup->addButton(m_signInMode, int(AuthMode::signIn));
    m_modeGroup->addButton(m_signUpMode, int(AuthMode::signUp));
    m_signInMode->setChecked(true);
    modeRow->addWidget(m_modeTitle);
    modeRow->addWidget(m_signInMode);
    modeRow->addWidget(m_signUpMode);
    modeRow->addStretch(1);
    layout->addLayout(modeRow);

    auto* fields = new QVBoxLayout;
    fields->setSpacing(10);
    m_email = new QLineEdit(this);
    m_email->setObjectName(QStringLiteral("emailField"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordField"));
    m_password->setEchoMode(QLineEdit::Password);
    m_nickName = new QLineEdit(this);
    m_nickName->setObjectName(QStringLiteral("nickNameField"));
    fields->addWidget(m_email);
    fields->addWidget(m_password);
    fields->addWidget(m_nickName);
    layout->addLayout(fields);

    m_captcha = new CaptchaSection(viewModel, this);
    layout->addWidget(m_captcha);

    auto* submitRow = new QHBoxLayout;
    m_submit = new QPushButton(this);
    m_submit->setObjectName(QStringLiteral("submitAuthButton"));
    submitRow->addWidget(m_submit);
    submitRow->addStretch(1);
    layout->addLayout(submitRow);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&viewModel.accountState(), &AccountState::authSettingsChanged,
                     &AccountState::authCaptchaChallengeChanged, &AccountState::isSubmittingAuthChanged);
    for (QLineEdit* field : {m_email, m_password, m_nickName})
        scheduler->watch(field, &QLineEdit::textChanged);
    scheduler->watch(m_captcha, &CaptchaSection::codeChanged);
    connect(m_modeGroup, &QButtonGroup::idClicked, this, [this, scheduler](int id) {
        setAuthMode(AuthMode(id));
        scheduler->schedule();
    });
    connect(m_submit, &QPushButton::clicked, this, &SignInForm::submitAuth);
    // Enter in a field submits, as the button would (and not while it is disabled).
    for (QLineEdit* field : {m_email, m_password, m_nickName})
        connect(field, &QLineEdit::returnPressed, this, &SignInForm::submitAuth);
    scheduler->refreshNow();
}

bool SignInForm::isCaptchaRequired() const
{
    const auto& settings = m_viewModel.accountState().authSettings();
    return settings && settings->captchaEnabled;
}

bool SignInForm::isAuthActionDisabled() const
{
    if (m_email->text().trimmed().isEmpty() || m_password->text().isEmpty())
        return true;
    if (m_mode == AuthMode::signUp && m_nickName->text().trimmed().isEmpty())
        return true;
    if (isCaptchaRequired()) {
        const auto& challenge = m_viewModel.accountState().authCaptchaChallenge();
        if (m_captcha->code().trimmed().isEmpty() || !challenge || !challenge->captchaId)
            return true;
    }
    return m_viewModel.accountState().isSubmittingAuth();
}

void SignInForm::setAuthMode(AuthMode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    m_captcha->clearCode();
}

void SignInForm::setEmail(const QString& email)
{
    m_email->setText(email);
}

void SignInForm::clearPassword()
{
    m_password->clear();
}

void SignInForm::clearCaptchaCode()
{
    m_captcha->clearCode();
}

void SignInForm::submitAuth()
{
    if (isAuthActionDisabled())
        return;
    const QString email = m_email->text().trimmed();
    const QString password = m_password->text();
    const QString nickName = m_nickName->text().trimmed();
    std::optional<QString> captchaId;
    std::optional<QString> captchaCode;
    if (isCaptchaRequired()) {
        const auto& challenge = m_viewModel.accountState().authCaptchaChallenge();
        captchaId = challenge ? challenge->captchaId : std::nullopt;
        captchaCode = m_captcha->code().trimmed();
    }
    AuthWorkflows& auth = m_viewModel.account().auth();
    auto action = m_mode == AuthMode::signUp
                      ? auth.registerAndSignIn(email, password, nickName, captchaId, captchaCode)
                      : auth.signIn(email, password, captchaId, captchaCode);
    QCoro::connect(std::move(action), this, [this] {
        m_captcha->clearCode();
        if (!m_viewModel.accountState().backendSession())
            return;
        m_password->clear();
        Q_EMIT signedIn();
    });
}

void SignInForm::refresh()
{
    const bool signUp = m_mode == AuthMode::signUp;
    m_modeTitle->setText(m_viewModel.presentation().localized({"模式", "Mode"}));
    m_signInMode->setText(m_viewModel.presentation().localized({"登录", "Sign In"}));
    m_signUpMode->setText(m_viewModel.presentation().localized({"注册", "Sign Up"}));
    m_signInMode->setChecked(!signUp);
    m_signUpMode->setChecked(signUp);
    m_email->setPlaceholderText(m_viewModel.presentation().localized({"邮箱", "Email"}));
    m_password->setPlaceholderText(m_viewModel.presentation().localized({"密码", "Password"}));
    m_nickName->setPlaceholderText(m_viewModel.presentation().localized({"昵称", "Nickname"}));
    m_nickName->setVisible(signUp);
    m_captcha->setVisible(isCaptchaRequired());
    m_submit->setText(signUp ? m_viewModel.presentation().localized(
                                   {QStringLiteral("注册并登录"), QStringLiteral("Create Account")})
                             : m_viewModel.presentation().localized({"登录", "Sign In"}));
    m_submit->setEnabled(!isAuthActionDisabled());
}

} // namespace orvalink::ui
