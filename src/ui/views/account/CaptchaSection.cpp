#include "ui/views/account/CaptchaSection.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

CaptchaSection::CaptchaSection(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("captchaSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    m_image = new CaptchaImage(this);
    m_image->setObjectName(QStringLiteral("captchaImage"));
    row->addWidget(m_image, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    m_code = new QLineEdit(this);
    m_code->setObjectName(QStringLiteral("captchaCodeField"));
    column->addWidget(m_code);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(10);
    m_refresh = smallButton(this, QStringLiteral("refreshCaptchaButton"));
    actions->addWidget(m_refresh);
    m_validity =
        textLabel(this, QStringLiteral("captchaValidity"), TextStyle::Caption, LabelOption::Secondary);
    actions->addWidget(m_validity);
    actions->addStretch(1);
    column->addLayout(actions);
    row->addLayout(column, 1);
    layout->addLayout(row);

    m_notice = textLabel(this, QStringLiteral("captchaNotice"), TextStyle::Caption,
                         LabelOption::Secondary | LabelOption::Wrap);
    layout->addWidget(m_notice);

    connect(m_code, &QLineEdit::textChanged, this, &CaptchaSection::codeChanged);
    connect(m_refresh, &QPushButton::clicked, this, &CaptchaSection::refreshCaptcha);
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&viewModel.accountState(), &AccountState::authCaptchaChallengeChanged,
                     &AccountState::isRefreshingAuthCaptchaChanged);
    scheduler->refreshNow();
}

QString CaptchaSection::code() const
{
    return m_code->text();
}

void CaptchaSection::clearCode()
{
    m_code->clear();
}

void CaptchaSection::refreshCaptcha()
{
    startDetached(m_viewModel.account().requirements().refreshAuthCaptcha(true));
}

void CaptchaSection::refresh()
{
    const AccountState& account = m_viewModel.accountState();
    const auto& challenge = account.authCaptchaChallenge();
    const QString url = challenge && challenge->imageDataURL ? *challenge->imageDataURL : QString();
    if (url != m_image->dataUrl())
        m_image->setDataUrl(url);
    m_image->setPlaceholderText(m_viewModel.presentation().localized(
        {QStringLiteral("验证码加载中"), QStringLiteral("Loading Captcha")}));
    m_code->setPlaceholderText(m_viewModel.presentation().localized(
        {QStringLiteral("输入验证码"), QStringLiteral("Enter Captcha")}));
    m_refresh->setText(m_viewModel.presentation().localized(
        {QStringLiteral("刷新验证码"), QStringLiteral("Refresh Captcha")}));
    m_refresh->setEnabled(!account.isRefreshingAuthCaptcha());

    const bool hasExpiry = challenge && challenge->expiresAt;
    m_validity->setVisible(hasExpiry);
    if (hasExpiry) {
        setTextIfChanged(m_validity, m_viewModel.presentation().localized({"有效至", "Valid until"}) +
                                         QLatin1Char(' ') +
                                         m_viewModel.presentation().formatDate(*challenge->expiresAt));
    }
    setTextIfChanged(
        m_notice,
        m_viewModel.presentation().localized(
            {QStringLiteral("后台安全开关已开启验证码后，登录和注册都需要先输入验证码。默认关闭；"
                            "如果你看到这里，说明管理员当前已经打开了这项保护。"),
             QStringLiteral("Once the admin-side security toggle enables captcha, both sign-in and "
                            "sign-up require the code first. It is off by default; seeing this block "
                            "means the administrator has enabled the protection.")}));
}

} // namespace orvalink::ui
