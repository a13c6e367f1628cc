#include "ui/views/account/FeedbackItemCard.h"

#include "ui/views/account/MigrationCardTexts.h"
#include "ui/views/common/ViewText.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/MetaChip.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

QString feedbackCategoryTitle(MainViewModel& viewModel, FeedbackCategory category)
{
    switch (category) {
    case FeedbackCategory::suggestion:
        return viewModel.presentation().localized({"建议", "Suggestion"});
    case FeedbackCategory::bug:
        return viewModel.presentation().localized({"问题", "Bug"});
    case FeedbackCategory::migration:
        return viewModel.presentation().localized({"迁移", "Migration"});
    case FeedbackCategory::payment:
    case FeedbackCategory::other:
        break;
    }
    return viewModel.presentation().localized({"其他", "Other"});
}

QString feedbackStatusTitle(MainViewModel& viewModel, const QString& status)
{
    const QString key = status.trimmed().toLower();
    if (key == QLatin1String("open"))
        return viewModel.presentation().localized({"待处理", "Open"});
    if (key == QLatin1String("reviewing"))
        return viewModel.presentation().localized({"处理中", "Reviewing"});
    if (key == QLatin1String("resolved"))
        return viewModel.presentation().localized({"已解决", "Resolved"});
    if (key == QLatin1String("closed"))
        return viewModel.presentation().localized({"已关闭", "Closed"});
    return status.toUpper();
}

FeedbackItemCard::FeedbackItemCard(MainViewModel& viewModel, QWidget* parent)
    : PlainCard(QStringLiteral("feedbackItemCard"), parent), m_viewModel(viewModel)
{
    QVBoxLayout* layout = cardColumn(this, 8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    m_subject = textLabel(this, QStringLiteral("feedbackItemSubject"), TextStyle::Subheadline,
                          LabelOption::Wrap | LabelOption::Semibold);
    m_category = textLabel(this, QStringLiteral("feedbackItemCategory"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    titles->addWidget(m_subject);
    titles->addWidget(m_category);
    header->addLayout(titles, 1);
    m_status = new MetaChip(QString(), this);
    m_status->setObjectName(QStringLiteral("feedbackItemStatus"));
    header->addWidget(m_status, 0, Qt::AlignTop);
    layout->addLayout(header);

    // At most four lines of the report, from its top; the fourth ends in "…" when there is more,
    // and the whole report is the tool tip.
    m_content = elidedLabel(this, QStringLiteral("feedbackItemContent"), TextStyle::Caption, Qt::ElideRight,
                            LabelOption::Secondary, 4);
    m_content->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_content);
    m_meta = textLabel(this, QStringLiteral("feedbackItemMeta"), TextStyle::Caption,
                       LabelOption::Secondary | LabelOption::Wrap);
    layout->addWidget(m_meta);
    m_adminNote =
        textLabel(this, QStringLiteral("feedbackItemAdminNote"), TextStyle::Caption, LabelOption::Wrap);
    m_adminNote->setVisible(false);
    layout->addWidget(m_adminNote);
}

void FeedbackItemCard::setItem(const BackendFeedbackItem& item)
{
    const Presentation& presentation = m_viewModel.presentation();
    setTextIfChanged(m_subject, presentation.sanitizedForPresentation(item.subject));
    const FeedbackCategory category =
        feedbackCategoryFromText(item.category.trimmed().toLower()).value_or(FeedbackCategory::other);
    setTextIfChanged(m_category, feedbackCategoryTitle(m_viewModel, category));
    m_status->setText(feedbackStatusTitle(m_viewModel, item.status));
    setTextIfChanged(m_content, presentation.sanitizedForPresentation(item.content));

    QStringList meta;
    if (item.createdAt) {
        meta.append(datedText(m_viewModel, {"提交于", "Submitted"}, *item.createdAt));
    }
    if (item.appVersion && !item.appVersion->isEmpty())
        meta.append(QStringLiteral("App ") + *item.appVersion);
    setTextIfChanged(m_meta, meta.join(QStringLiteral("    ")));

    const bool hasNote = item.adminNote && !item.adminNote->isEmpty();
    m_adminNote->setVisible(hasNote);
    if (hasNote) {
        setTextIfChanged(m_adminNote, m_viewModel.presentation().localized(
                                          {QStringLiteral("管理员备注："), QStringLiteral("Admin note: ")}) +
                                          presentation.sanitizedForPresentation(*item.adminNote));
    }
}

} // namespace orvalink::ui
