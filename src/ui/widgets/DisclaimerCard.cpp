#include "ui/widgets/DisclaimerCard.h"

#include "ui/widgets/CardColumn.h"
#include "ui/widgets/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

DisclaimerCard::DisclaimerCard(const QString& title, const QString& body, QWidget* parent)
    : PlainCard(QStringLiteral("disclaimerCard"), parent)
{
    QVBoxLayout* column = cardColumn(this, 6);
    QLabel* titleLabel = textLabel(this, QStringLiteral("disclaimerTitle"), TextStyle::Subheadline,
                                   LabelOption::Wrap | LabelOption::Semibold);
    titleLabel->setText(title);
    QLabel* bodyLabel = textLabel(this, QStringLiteral("disclaimerBody"), TextStyle::Caption,
                                  LabelOption::Secondary | LabelOption::Wrap);
    bodyLabel->setText(body);
    column->addWidget(titleLabel);
    column->addWidget(bodyLabel);
}

} // namespace orvalink::ui
