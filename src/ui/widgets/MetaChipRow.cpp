#include "ui/widgets/MetaChipRow.h"

#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/MetaChip.h"

namespace orvalink::ui {

MetaChipRow::MetaChipRow(const QStringList& texts, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chipRow"));
    auto* flow = new FlowLayout(this, 8, 8);
    flow->setContentsMargins(0, 0, 0, 0);
    setTexts(texts);
}

void MetaChipRow::setTexts(const QStringList& texts)
{
    for (qsizetype index = 0; index < texts.size(); ++index) {
        if (index < m_chips.size()) {
            m_chips.at(index)->setText(texts.at(index));
            continue;
        }
        auto* chip = new MetaChip(texts.at(index), this);
        layout()->addWidget(chip);
        m_chips.append(chip);
    }
    while (m_chips.size() > texts.size())
        delete m_chips.takeLast();
}

QStringList MetaChipRow::texts() const
{
    QStringList texts;
    for (const MetaChip* chip : m_chips)
        texts.append(chip->text());
    return texts;
}

} // namespace orvalink::ui
