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
    m_title = textLabel(this, QStringLiteral("disclaimerTitle"), TextStyle::Subheadline,
                        LabelOption::Wrap | LabelOption::Semibold);
    m_body = textLabel(this, QStringLiteral("disclaimerBody"), TextStyle::Caption,
                       LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_title);
    column->addWidget(m_body);
    setTexts(title, body);
}

void DisclaimerCard::setTexts(const QString& title, const QString& body)
{
    if (m_title->text() != title)
        m_title->setText(title);
    if (m_body->text() != body)
        m_body->setText(body);
}

} // namespace orvalink::ui
