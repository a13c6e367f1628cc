#include "ui/views/account/AccountSheetView.h"

#include "ui/views/account/AccountHeroIcon.h"
#include "ui/views/account/AccountNotes.h"
#include "ui/views/account/FeedbackSection.h"
#include "ui/views/account/MigrationSyncSection.h"
#include "ui/views/account/PasswordSection.h"
#include "ui/views/account/SignInForm.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/FocusRing.h"
#include "ui/widgets/GroupPanel.h"
#include "ui/widgets/SteadyScrollArea.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TintedBox.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDialog>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

// The status line is a faint wash of its tint: blue for news, red for failures.
constexpr qreal kStatusTintAlpha = 0.08;

} // namespace

AccountSheetView::AccountSheetView(MainViewModel& viewModel, std::optional<InitialFocus> initialFocus,
                                   QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel), m_initialFocus(initialFocus)
{
    setObjectName(QStringLiteral("accountSheet"));
    setMinimumSize(580, 620);
    m_scheduler = new RefreshScheduler([this] { refresh(); }, this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // A status line that appears above the form (a failed sign-in) leaves the button under the
    // pointer where it is.
    m_scroll = new SteadyScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("accountSheetScroll"));
    outer->addWidget(m_scroll);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("accountSheetContent"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(18);
    buildHeader(content);
    buildStatus(content);

    m_signedOutPanel = new GroupPanel(QString(), QStringLiteral("person.badge.key.fill"), content);
    m_signedOutPanel->setObjectName(QStringLiteral("signedOutPanel"));
    m_guestNote = textLabel(m_signedOutPanel, QStringLiteral("guestNote"), TextStyle::Caption,
                            LabelOption::Secondary | LabelOption::Wrap);
    m_signedOutPanel->contentLayout()->addWidget(m_guestNote);
    m_signInForm = new SignInForm(viewModel, m_signedOutPanel);
    m_signedOutPanel->contentLayout()->addWidget(m_signInForm);
    layout->addWidget(m_signedOutPanel);

    buildSignedIn(content);
    m_password = new PasswordSection(viewModel, content);
    m_sync = new MigrationSyncSection(viewModel, content);
    m_feedback = new FeedbackSection(viewModel, content);
    m_notes = new AccountNotesSection(viewModel, content);
    for (QWidget* section : {static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_sync),
                             static_cast<QWidget*>(m_feedback), static_cast<QWidget*>(m_notes)})
        layout->addWidget(section);
    layout->addStretch(1);
    m_scroll->setContent(content);

    connect(m_signInForm, &SignInForm::signedIn, this, &AccountSheetView::dismiss);
    connect(m_password, &PasswordSection::sessionEndedAfterChange, m_signInForm, &SignInForm::clearPassword);

    // The sections watch what they show themselves; the sheet's own parts show the session, the
    // busy state and the status line.
    m_scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    m_scheduler->watch(&viewModel.accountState(), &AccountState::backendSessionChanged,
                       &AccountState::isSubmittingAuthChanged, &AccountState::isBackendBusyChanged,
                       &AccountState::backendStatusMessageChanged);
    m_scheduler->watch(&viewModel.activity(), &ActivityState::errorMessageChanged);
    connect(&viewModel.accountState(), &AccountState::backendSessionChanged, this,
            &AccountSheetView::handleSessionChange);

    const auto& session = viewModel.accountState().backendSession();
    m_sessionEmail = session ? std::optional<QString>(session->email) : std::nullopt;
    disableReturnButtons(this);
    m_scheduler->refreshNow();
}

AccountSheetView::~AccountSheetView() = default;

void AccountSheetView::buildHeader(QWidget* content)
{
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(6);
    m_title = textLabel(content, QStringLiteral("accountSheetTitle"), TextStyle::Title3, LabelOption::Bold);
    m_accountSummary = textLabel(content, QStringLiteral("accountSummary"), TextStyle::Caption,
                                 LabelOption::Secondary | LabelOption::Wrap);
    titles->addWidget(m_title);
    titles->addWidget(m_accountSummary);
    header->addLayout(titles);
    header->addStretch(1);
    m_busy = new BusyIndicator(QStringLiteral("accountBusyIndicator"), BusyIndicator::Standard, content);
    header->addWidget(m_busy, 0, Qt::AlignTop);
    m_close = new QPushButton(content);
    m_close->setObjectName(QStringLiteral("closeButton"));
    m_close->setFlat(true);
    showFocusRing(m_close, 6);
    header->addWidget(m_close, 0, Qt::AlignTop);
    static_cast<QVBoxLayout*>(content->layout())->addLayout(header);
    connect(m_close, &QPushButton::clicked, this, &AccountSheetView::dismiss);
}

void AccountSheetView::buildStatus(QWidget* content)
{
    auto* panel = new TintedBox(QColor(Qt::blue), kStatusTintAlpha, 12, content);
    panel->setObjectName(QStringLiteral("statusLine"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    m_statusIcon = new QLabel(panel);
    m_statusIcon->setFixedSize(16, 16);
    m_statusText = textLabel(panel, QStringLiteral("statusText"), TextStyle::Caption, LabelOption::Wrap);
    row->addWidget(m_statusIcon, 0, Qt::AlignTop);
    row->addWidget(m_statusText, 1);
    m_status = panel;
    content->layout()->addWidget(panel);
}

void AccountSheetView::buildSignedIn(QWidget* content)
{
    m_signedInPanel = new GroupPanel(QString(), QStringLiteral("person.crop.circle.fill"), content);
    m_signedInPanel->setObjectName(QStringLiteral("signedInPanel"));
    auto* block = new QWidget(m_signedInPanel);
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(14);
    auto* identity = new QHBoxLayout;
    identity->setSpacing(12);
    identity->addWidget(new AccountHeroIcon(block), 0, Qt::AlignTop);
    m_email = textLabel(block, QStringLiteral("accountEmail"), TextStyle::Headline,
                        LabelOption::Wrap | LabelOption::Selectable);
    identity->addWidget(m_email, 1, Qt::AlignTop);
    layout->addLayout(identity);
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    m_signOut = new QPushButton(block);
    m_signOut->setObjectName(QStringLiteral("signOutButton"));
    actions->addWidget(m_signOut);
    layout->addLayout(actions);
    m_signedInPanel->contentLayout()->addWidget(block);
    content->layout()->addWidget(m_signedInPanel);
    connect(m_signOut, &QPushButton::clicked, this, &AccountSheetView::signOut);
}

void AccountSheetView::flushRefresh()
{
    RefreshScheduler::flushAll(this);
}

void AccountSheetView::dismiss()
{
    Q_EMIT dismissRequested();
    if (window() == this)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window()))
        dialog->reject();
}

void AccountSheetView::signOut()
{
    QCoro::connect(m_viewModel.account().auth().signOutFromBackend(), this, [this] { dismiss(); });
}

void AccountSheetView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    synchronizeLocalState();
    if (m_appearHooksEnabled)
        startDetached(m_viewModel.account().requirements().refreshAuthRequirements(false));
    if (m_feedback->isExpanded())
        QTimer::singleShot(0, this, &AccountSheetView::scrollToFeedback);
}

void AccountSheetView::synchronizeLocalState()
{
    const auto& session = m_viewModel.accountState().backendSession();
    if (session)
        m_signInForm->setEmail(session->email);
    m_signInForm->clearCaptchaCode();
    m_password->clearFields();
    if (m_initialFocus == InitialFocus::feedback)
        m_feedback->setExpanded(session.has_value());
}

void AccountSheetView::handleSessionChange()
{
    const auto& session = m_viewModel.accountState().backendSession();
    const std::optional<QString> email = session ? std::optional<QString>(session->email) : std::nullopt;
    if (email == m_sessionEmail)
        return;
    const bool wasSignedIn = m_sessionEmail.has_value();
    m_sessionEmail = email;
    synchronizeLocalState();
    if (wasSignedIn == session.has_value())
        return;
    if (!session) {
        if (m_appearHooksEnabled)
            startDetached(m_viewModel.account().requirements().refreshAuthRequirements(false));
    } else if (m_initialFocus == InitialFocus::feedback) {
        m_feedback->setExpanded(true);
        QTimer::singleShot(0, this, &AccountSheetView::scrollToFeedback);
    }
}

void AccountSheetView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // The sheet closes: the window would otherwise tell the same failure again in an alert.
    if (!event->spontaneous() && m_toldError && m_viewModel.activity().errorMessage() == m_told)
        m_viewModel.prompts().dismissError();
}

void AccountSheetView::showAnswer()
{
    // The line stands right below the title and Close. The area would keep the control under the
    // pointer in place instead, scrolling the line (or, where everything fits, the title and Close)
    // out of view.
    if (isVisible())
        m_scroll->keepInView(m_scroll->widget());
}

void AccountSheetView::scrollToFeedback()
{
    // The section shows once the refreshes have caught up with the new session.
    flushRefresh();
    if (!m_feedback->isVisibleTo(this))
        return;
    // Let the pending layouts settle so the content has its new height before scrolling.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    m_scroll->scrollToValue(m_feedback->y() - 20);
}

bool AccountSheetView::refreshStatus()
{
    const auto& error = m_viewModel.activity().errorMessage();
    const auto& status = m_viewModel.accountState().backendStatusMessage();
    QString text;
    QColor tint;
    QString symbol;
    std::optional<BilingualText> told;
    m_toldError = error && !error->isEmpty();
    if (m_toldError) {
        told = *error;
        text = m_viewModel.presentation().localized(*error);
        tint = QColor(Qt::red);
        symbol = QStringLiteral("xmark.octagon.fill");
    } else if (status && !status->isEmpty()) {
        // A status that reports a failure (the service out of reach) never stands by a check mark.
        const bool failure = m_viewModel.accountState().backendStatusIsFailure();
        told = *status;
        text = m_viewModel.presentation().localized(*status);
        tint = failure ? QColor(Qt::red) : QColor(Qt::blue);
        symbol = failure ? QStringLiteral("xmark.octagon.fill") : QStringLiteral("checkmark.circle.fill");
    }
    // A sign-in clears the line when it starts and gives its answer there: the line keeps its room
    // while the request is pending, so the form below does not move up and back.
    QSizePolicy room = m_status->sizePolicy();
    const bool hadRoom = !m_status->isHidden() || room.retainSizeWhenHidden();
    room.setRetainSizeWhenHidden(text.isEmpty() && hadRoom && m_viewModel.accountState().isSubmittingAuth());
    m_status->setSizePolicy(room);
    m_status->setVisible(!text.isEmpty());
    const bool answered = told && told != m_told;
    m_told = told;
    if (text.isEmpty())
        return false;
    setTextIfChanged(m_statusText, m_viewModel.presentation().sanitizedForPresentation(text));
    m_status->setTint(tint, kStatusTintAlpha);
    m_statusIcon->setPixmap(Symbols::icon(symbol, tint).pixmap(16, 16));
    return answered;
}

void AccountSheetView::refresh()
{
    const AccountState& account = m_viewModel.accountState();
    const auto& session = account.backendSession();
    const QString title = m_viewModel.presentation().localized({"账户中心", "Account Center"});
    setWindowTitle(title);
    setTextIfChanged(m_title, title);
    m_accountSummary->setVisible(session.has_value());
    if (session)
        setTextIfChanged(m_accountSummary, m_viewModel.account().texts().backendAccountSummary());
    m_busy->setVisible(account.isBackendBusy());
    m_close->setText(m_viewModel.presentation().localized({"关闭", "Close"}));
    const bool answered = refreshStatus();

    m_signedOutPanel->setVisible(!session);
    m_signedOutPanel->setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("登录与注册"), QStringLiteral("Sign In & Register")}));
    setTextIfChanged(m_guestNote,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("不登录也能使用全部迁移、反悔和修复功能；登录只增加迁移记录备份、"
                                         "多设备总览和反馈。"),
                          QStringLiteral("Everything else works without an account; signing in only adds "
                                         "history backup, the multi-device overview and feedback.")}));

    m_signedInPanel->setVisible(session.has_value());
    m_signedInPanel->setTitle(m_viewModel.presentation().localized(
        {QStringLiteral("当前账户"), QStringLiteral("Current Account")}));
    if (session)
        setTextIfChanged(m_email, m_viewModel.presentation().displayEmail(session->email));
    m_signOut->setText(m_viewModel.presentation().localized({"退出登录", "Sign Out"}));
    m_signOut->setEnabled(!account.isSubmittingAuth());
    for (QWidget* section : {static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_sync),
                             static_cast<QWidget*>(m_feedback)})
        section->setVisible(session.has_value());
    if (answered)
        showAnswer();
}

} // namespace orvalink::ui
