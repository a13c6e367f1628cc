#include "ui/views/account/PasswordSection.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/texts/Presentation.h"

#include <QCoro/QCoroTask>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

QLineEdit* makeSecureField(const QString& objectName, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setEchoMode(QLineEdit::Password);
    return field;
}

} // namespace

PasswordSection::PasswordSection(MainViewModel& viewModel, QWidget* parent)
    : CollapsibleSection(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("passwordSection"));
    setSymbol(QStringLiteral("lock.rotation"));

    const SectionSummary summary = makeSectionSummary(this, QStringLiteral("passwordSummaryTitle"),
                                                      QStringLiteral("passwordSummaryNote"));
    m_summaryTitle = summary.title;
    m_summaryNote = summary.note;

    auto* body = new QWidget;
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(12);
    m_rule = textLabel(body, QStringLiteral("passwordRule"), TextStyle::Caption,
                       LabelOption::Secondary | LabelOption::Wrap);
    bodyLayout->addWidget(m_rule);
    auto* fields = new QVBoxLayout;
    fields->setSpacing(10);
    m_current = makeSecureField(QStringLiteral("currentPasswordField"), body);
    m_new = makeSecureField(QStringLiteral("newPasswordField"), body);
    m_confirm = makeSecureField(QStringLiteral("confirmPasswordField"), body);
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    for (QLineEdit* field : {m_current, m_new, m_confirm}) {
        fields->addWidget(field);
        scheduler->watch(field, &QLineEdit::textChanged);
    }
    bodyLayout->addLayout(fields);
    auto* buttonRow = new QHBoxLayout;
    m_change = new QPushButton(body);
    m_change->setObjectName(QStringLiteral("changePasswordButton"));
    buttonRow->addWidget(m_change);
    buttonRow->addStretch(1);
    bodyLayout->addLayout(buttonRow);
    setBody(body);

    connect(m_change, &QPushButton::clicked, this, &PasswordSection::submitPasswordChange);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&viewModel.accountState(), &AccountState::isChangingPasswordChanged);
    scheduler->refreshNow();
}

bool PasswordSection::newPasswordsMatch() const
{
    return m_new->text().normalized(QString::NormalizationForm_C) ==
           m_confirm->text().normalized(QString::NormalizationForm_C);
}

bool PasswordSection::isPasswordChangeDisabled() const
{
    if (m_current->text().isEmpty() || m_new->text().isEmpty() || m_confirm->text().isEmpty())
        return true;
    if (!newPasswordsMatch())
        return true;
    return m_viewModel.accountState().isChangingPassword();
}

void PasswordSection::clearFields()
{
    m_current->clear();
    m_new->clear();
    m_confirm->clear();
}

void PasswordSection::submitPasswordChange()
{
    if (!newPasswordsMatch()) {
        m_viewModel.account().auth().reportMismatchedNewPasswords();
        return;
    }
    auto action = m_viewModel.account().auth().changeBackendPassword(m_current->text(), m_new->text());
    QCoro::connect(std::move(action), this, [this] {
        if (m_viewModel.accountState().backendSession())
            return;
        clearFields();
        Q_EMIT sessionEndedAfterChange();
    });
}

void PasswordSection::refresh()
{
    setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("密码安全"), QStringLiteral("Password Security")}));
    setToggleTexts(m_viewModel.presentation().localized({"展开", "Expand"}),
                   m_viewModel.presentation().localized({"收起", "Collapse"}));
    setTextIfChanged(m_summaryTitle,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("修改登录密码"), QStringLiteral("Change Sign-In Password")}));
    setTextIfChanged(m_summaryNote,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("默认收起，避免账户页过长。"),
                          QStringLiteral("Collapsed by default to keep the account page compact.")}));
    setTextIfChanged(m_rule,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("修改密码后，当前会话会退出。新密码需要 8 到 64 "
                                         "位，并同时包含大写字母、小写字母、数字和特殊字符。"),
                          QStringLiteral("Changing the password signs the current session out. The new "
                                         "password must be 8 to 64 characters and include uppercase, "
                                         "lowercase, numeric, and special characters.")}));
    m_current->setPlaceholderText(m_viewModel.presentation().localized(
        {QStringLiteral("当前密码"), QStringLiteral("Current Password")}));
    m_new->setPlaceholderText(m_viewModel.presentation().localized({"新密码", "New Password"}));
    m_confirm->setPlaceholderText(m_viewModel.presentation().localized(
        {QStringLiteral("确认新密码"), QStringLiteral("Confirm New Password")}));
    m_change->setText(m_viewModel.presentation().localized(
        {QStringLiteral("修改密码"), QStringLiteral("Change Password")}));
    m_change->setEnabled(!isPasswordChangeDisabled());
}

} // namespace orvalink::ui
