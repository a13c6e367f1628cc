#include "ui/views/account/FeedbackSection.h"

#include "ui/views/account/FeedbackItemCard.h"
#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/BusyIndicator.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/MetaChipRow.h"
#include "ui/widgets/PlainCard.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"
#include "viewmodel/flow/DetachedFlow.h"
#include "viewmodel/texts/Presentation.h"

#include <QComboBox>
#include <QCoro/QCoroTask>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

constexpr FeedbackCategory kOffered[] = {FeedbackCategory::suggestion, FeedbackCategory::bug,
                                         FeedbackCategory::migration, FeedbackCategory::other};
constexpr int kShownItems = 4;

} // namespace

FeedbackSection::FeedbackSection(MainViewModel& viewModel, QWidget* parent)
    : CollapsibleSection(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("feedbackSection"));
    setSymbol(QStringLiteral("bubble.left.and.exclamationmark.bubble.right.fill"));

    const SectionSummary summary =
        makeSectionSummary(this, QStringLiteral("feedbackQuotaTitle"), QStringLiteral("feedbackQuotaNote"));
    m_quotaTitle = summary.title;
    m_quotaNote = summary.note;

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* categoryRow = new QHBoxLayout;
    m_categoryLabel = new QLabel(body);
    m_category = new QComboBox(body);
    m_category->setObjectName(QStringLiteral("feedbackCategoryPicker"));
    for (FeedbackCategory category : kOffered)
        m_category->addItem(QString(), int(category));
    categoryRow->addWidget(m_categoryLabel);
    categoryRow->addWidget(m_category);
    categoryRow->addStretch(1);
    layout->addLayout(categoryRow);
    m_subject = new QLineEdit(body);
    m_subject->setObjectName(QStringLiteral("feedbackSubjectField"));
    layout->addWidget(m_subject);
    m_content = new QPlainTextEdit(body);
    m_content->setObjectName(QStringLiteral("feedbackContentEditor"));
    m_content->setMinimumHeight(140);
    m_content->setTabChangesFocus(true);
    layout->addWidget(m_content);

    auto* buttons = new QHBoxLayout;
    m_send = new QPushButton(body);
    m_send->setObjectName(QStringLiteral("sendFeedbackButton"));
    m_refresh = new QPushButton(body);
    m_refresh->setObjectName(QStringLiteral("refreshFeedbackButton"));
    m_busy = new BusyIndicator(QStringLiteral("feedbackBusyIndicator"), BusyIndicator::Standard, body);
    buttons->addWidget(m_send);
    buttons->addWidget(m_refresh);
    buttons->addStretch(1);
    buttons->addWidget(m_busy);
    layout->addLayout(buttons);
    buildDashboard(body);
    setBody(body);

    // The form follows every keystroke; the report list only the dashboard, the texts and opening.
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&viewModel.accountState(), &AccountState::feedbackDashboardChanged,
                     &AccountState::isRefreshingFeedbackDashboardChanged,
                     &AccountState::isSubmittingFeedbackChanged);
    scheduler->watch(m_subject, &QLineEdit::textChanged);
    scheduler->watch(m_content, &QPlainTextEdit::textChanged);
    auto* dashboard = new RefreshScheduler([this] { refreshDashboard(); }, this);
    dashboard->setObjectName(QStringLiteral("feedbackDashboardRefresh"));
    dashboard->watch(&viewModel.presentation(), &Presentation::textsChanged);
    dashboard->watch(&viewModel.accountState(), &AccountState::feedbackDashboardChanged);
    dashboard->watch(this, &CollapsibleSection::expandedChanged);
    connect(m_send, &QPushButton::clicked, this, &FeedbackSection::submitFeedback);
    connect(m_refresh, &QPushButton::clicked, this,
            [this] { startDetached(m_viewModel.account().feedback().refreshFeedbackDashboard(true)); });
    connect(&viewModel.accountState(), &AccountState::feedbackDashboardChanged, this, [this] {
        if (m_sending && m_viewModel.accountState().isSubmittingFeedback())
            m_sendAnswered = true;
    });
    scheduler->refreshNow();
    dashboard->refreshNow();
}

void FeedbackSection::buildDashboard(QWidget* body)
{
    m_dashboard = new QWidget(body);
    m_dashboard->setObjectName(QStringLiteral("feedbackDashboard"));
    m_dashboard->setVisible(false);
    auto* layout = new QVBoxLayout(m_dashboard);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_quotaChips = new MetaChipRow({}, m_dashboard);
    layout->addWidget(m_quotaChips);
    auto* empty = new PlainCard(QStringLiteral("noFeedbackCard"), m_dashboard);
    QVBoxLayout* emptyLayout = cardColumn(empty, 0);
    m_emptyText = textLabel(empty, QStringLiteral("noFeedbackText"), TextStyle::Caption,
                            LabelOption::Secondary | LabelOption::Wrap);
    emptyLayout->addWidget(m_emptyText);
    layout->addWidget(empty);
    m_emptyCard = empty;
    // The report cards stand after the chips and the empty card.
    m_itemCards.attach(layout, layout->count());
    static_cast<QVBoxLayout*>(body->layout())->addWidget(m_dashboard);
}

bool FeedbackSection::isFeedbackSubmitDisabled() const
{
    if (m_subject->text().trimmed().isEmpty() || m_content->toPlainText().trimmed().isEmpty())
        return true;
    return m_viewModel.accountState().isSubmittingFeedback();
}

void FeedbackSection::submitFeedback()
{
    if (isFeedbackSubmitDisabled())
        return;
    const QString subject = m_subject->text().trimmed();
    const QString content = m_content->toPlainText().trimmed();
    const auto category = FeedbackCategory(m_category->currentData().toInt());
    m_sending = true;
    m_sendAnswered = false;
    auto action = m_viewModel.account().feedback().submitFeedback(category, subject, content);
    QCoro::connect(std::move(action), this, [this, subject] { finishSend(subject); });
}

void FeedbackSection::finishSend(const QString& sentSubject)
{
    m_sending = false;
    // Only this send's own answer may empty the form: a failed send keeps what the user wrote,
    // even when an earlier report with the same subject is listed first.
    const bool succeeded = m_sendAnswered && !m_viewModel.activity().errorMessage().has_value();
    m_sendAnswered = false;
    const auto& dashboard = m_viewModel.accountState().feedbackDashboard();
    if (!succeeded || !dashboard || dashboard->items.isEmpty() ||
        dashboard->items.first().subject != sentSubject)
        return;
    m_subject->clear();
    m_content->clear();
    m_category->setCurrentIndex(0);
}

void FeedbackSection::refresh()
{
    const AccountState& account = m_viewModel.accountState();
    const auto& dashboard = account.feedbackDashboard();
    setTitle(m_viewModel.presentation().localized({"意见反馈", "Feedback"}));
    setToggleTexts(m_viewModel.presentation().localized({"展开", "Expand"}),
                   m_viewModel.presentation().localized({"收起", "Collapse"}));
    if (dashboard) {
        const QString sent = QString::number(dashboard->submittedToday);
        const QString left = QString::number(dashboard->remainingToday);
        setTextIfChanged(
            m_quotaTitle,
            m_viewModel.presentation().localized(
                {QStringLiteral("今天已提交 ") + sent + QStringLiteral(" 条，还可再发 ") + left +
                     QStringLiteral(" 条。"),
                 QStringLiteral("You sent ") + sent + QStringLiteral(" today and can still send ") + left +
                     QStringLiteral(" more.")}));
    } else {
        setTextIfChanged(m_quotaTitle, m_viewModel.presentation().localized(
                                           {QStringLiteral("登录后可反馈，默认每天最多 5 条。"),
                                            QStringLiteral("Sign in to send feedback. The daily default "
                                                           "limit is 5.")}));
    }
    setTextIfChanged(
        m_quotaNote,
        m_viewModel.presentation().localized(
            {QStringLiteral("意见会绑定当前登录账号，只有管理员能看到。每个账号每天最多提交 5 条。"),
             QStringLiteral("Feedback is tied to the signed-in account and is visible only to "
                            "administrators. Each account can submit up to 5 items per day.")}));
    m_categoryLabel->setText(m_viewModel.presentation().localized({"反馈类型", "Category"}));
    for (int index = 0; index < m_category->count(); ++index)
        m_category->setItemText(
            index, feedbackCategoryTitle(m_viewModel, FeedbackCategory(m_category->itemData(index).toInt())));
    m_subject->setPlaceholderText(m_viewModel.presentation().localized({"标题", "Subject"}));
    m_content->setPlaceholderText(m_viewModel.presentation().localized(
        {QStringLiteral("详细写下你的建议、问题现象、复现步骤，或者希望优化的地方。"),
         QStringLiteral("Describe your suggestion, issue, reproduction steps, or what you want improved.")}));
    m_send->setText(m_viewModel.presentation().localized({"提交反馈", "Send Feedback"}));
    m_send->setEnabled(!isFeedbackSubmitDisabled());
    m_refresh->setText(m_viewModel.presentation().localized(
        {QStringLiteral("刷新反馈"), QStringLiteral("Refresh Feedback")}));
    m_refresh->setEnabled(!account.isRefreshingFeedbackDashboard());
    m_busy->setVisible(account.isSubmittingFeedback() || account.isRefreshingFeedbackDashboard());
}

void FeedbackSection::refreshDashboard()
{
    // The dashboard is kept up to date only while it can be seen; opening the section refreshes it.
    const auto& dashboard = m_viewModel.accountState().feedbackDashboard();
    const bool shown = dashboard && isExpanded();
    m_dashboard->setVisible(shown);
    if (!shown)
        return;
    const QString sent = QString::number(dashboard->submittedToday);
    const QString limit = QString::number(dashboard->dailyLimit);
    const QString left = QString::number(dashboard->remainingToday);
    m_quotaChips->setTexts(
        {m_viewModel.presentation().localized({QStringLiteral("今日 ") + sent + QLatin1Char('/') + limit,
                                               QStringLiteral("Today ") + sent + QLatin1Char('/') + limit}),
         m_viewModel.presentation().localized(
             {QStringLiteral("剩余 ") + left + QStringLiteral(" 条"), left + QStringLiteral(" left")})});
    m_emptyCard->setVisible(dashboard->items.isEmpty());
    setTextIfChanged(m_emptyText,
                     m_viewModel.presentation().localized(
                         {QStringLiteral("还没有提交过反馈。第一条会直接进入管理员后台。"),
                          QStringLiteral("No feedback has been submitted yet. Your first one will "
                                         "appear directly in the admin console.")}));
    m_itemCards.sync(
        dashboard->items.mid(0, kShownItems), [](const BackendFeedbackItem& item) { return item.id; },
        [this](const BackendFeedbackItem&) { return new FeedbackItemCard(m_viewModel, m_dashboard); },
        [](FeedbackItemCard* card, const BackendFeedbackItem& item) { card->setItem(item); });
}

} // namespace orvalink::ui
