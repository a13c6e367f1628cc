#include "ui/views/account/FeedbackItemCard.h"

#include "ui/views/common/ViewText.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/MetaChip.h"
#include "ui/widgets/PlainCard.h"
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
        return localizedText(viewModel, QStringLiteral("建议"), QStringLiteral("Suggestion"));
    case FeedbackCategory::bug:
        return localizedText(viewModel, QStringLiteral("问题"), QStringLiteral("Bug"));
    case FeedbackCategory::migration:
        return localizedText(viewModel, QStringLiteral("迁移"), QStringLiteral("Migration"));
    case FeedbackCategory::payment:
    case FeedbackCategory::other:
        break;
    }
    return localizedText(viewModel, QStringLiteral("其他"), QStringLiteral("Other"));
}

QString feedbackStatusTitle(MainViewModel& viewModel, const QString& status)
{
    const QString key = status.trimmed().toLower();
    if (key == QLatin1String("open"))
        return localizedText(viewModel, QStringLiteral("待处理"), QStringLiteral("Open"));
    if (key == QLatin1String("reviewing"))
        return localizedText(viewModel, QStringLiteral("处理中"), QStringLiteral("Reviewing"));
    if (key == QLatin1String("resolved"))
        return localizedText(viewModel, QStringLiteral("已解决"), QStringLiteral("Resolved"));
    if (key == QLatin1String("closed"))
        return localizedText(viewModel, QStringLiteral("已关闭"), QStringLiteral("Closed"));
    return status.toUpper();
}

QWidget* feedbackItemCard(MainViewModel& viewModel, const BackendFeedbackItem& item, QWidget* parent)
{
    auto* card = new PlainCard(QStringLiteral("feedbackItemCard"), parent);
    QVBoxLayout* layout = cardColumn(card, 8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    QLabel* subject = textLabel(card, QStringLiteral("feedbackItemSubject"), TextStyle::Subheadline,
                                LabelOption::Wrap | LabelOption::Semibold);
    subject->setText(item.subject);
    const FeedbackCategory category =
        feedbackCategoryFromText(item.category.trimmed().toLower()).value_or(FeedbackCategory::other);
    QLabel* categoryLabel = textLabel(card, QStringLiteral("feedbackItemCategory"), TextStyle::Caption,
                                      LabelOption::Secondary | LabelOption::Wrap);
    categoryLabel->setText(feedbackCategoryTitle(viewModel, category));
    titles->addWidget(subject);
    titles->addWidget(categoryLabel);
    header->addLayout(titles, 1);
    auto* status = new MetaChip(feedbackStatusTitle(viewModel, item.status), card);
    status->setObjectName(QStringLiteral("feedbackItemStatus"));
    header->addWidget(status, 0, Qt::AlignTop);
    layout->addLayout(header);

    // At most four lines of the report, from its top; the fourth ends in "…" when there is more,
    // and the whole report is the tool tip.
    ElidedLabel* content = elidedLabel(card, QStringLiteral("feedbackItemContent"), TextStyle::Caption,
                                       Qt::ElideRight, LabelOption::Secondary, 4);
    content->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    content->setText(item.content);
    layout->addWidget(content);

    QStringList meta;
    if (item.createdAt) {
        meta.append(localizedText(viewModel, QStringLiteral("提交于"), QStringLiteral("Submitted")) +
                    QLatin1Char(' ') + viewModel.presentation().formatDate(*item.createdAt));
    }
    if (item.appVersion && !item.appVersion->isEmpty())
        meta.append(QStringLiteral("App ") + *item.appVersion);
    QLabel* metaLine = textLabel(card, QStringLiteral("feedbackItemMeta"), TextStyle::Caption,
                                 LabelOption::Secondary | LabelOption::Wrap);
    metaLine->setText(meta.join(QStringLiteral("    ")));
    layout->addWidget(metaLine);

    if (item.adminNote && !item.adminNote->isEmpty()) {
        QLabel* note =
            textLabel(card, QStringLiteral("feedbackItemAdminNote"), TextStyle::Caption, LabelOption::Wrap);
        note->setText(
            localizedText(viewModel, QStringLiteral("管理员备注："), QStringLiteral("Admin note: ")) +
            *item.adminNote);
        layout->addWidget(note);
    }
    return card;
}

} // namespace orvalink::ui
