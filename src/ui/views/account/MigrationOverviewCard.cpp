#include "ui/views/account/MigrationOverviewCard.h"

#include "ui/views/common/ViewText.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/MetaChipRow.h"
#include "ui/widgets/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

MigrationOverviewCard::MigrationOverviewCard(const QString& objectName, QWidget* parent)
    : PlainCard(objectName, parent)
{
    QVBoxLayout* column = cardColumn(this, 8);
    m_title = textLabel(this, QStringLiteral("cardTitle"), TextStyle::Subheadline,
                        LabelOption::Wrap | LabelOption::Semibold);
    column->addWidget(m_title);
    m_subtitle = textLabel(this, QStringLiteral("cardSubtitle"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_subtitle);
    m_chips = new MetaChipRow({}, this);
    column->addWidget(m_chips);
    m_note = textLabel(this, QStringLiteral("cardNote"), TextStyle::Caption,
                       LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_note);
}

void MigrationOverviewCard::setContent(const QString& title, const QString& subtitle, const QString& note,
                                       const QStringList& chips)
{
    setTextIfChanged(m_title, title);
    setTextIfChanged(m_subtitle, subtitle);
    m_chips->setTexts(chips);
    m_chips->setVisible(!chips.isEmpty());
    setTextIfChanged(m_note, note);
}

} // namespace orvalink::ui
