#include "ui/views/account/MigrationDeviceCard.h"

#include "ui/views/account/MigrationCardTexts.h"
#include "ui/views/common/ViewText.h"
#include "ui/widgets/AccentDot.h"
#include "ui/widgets/CardColumn.h"
#include "ui/widgets/MetaChipRow.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/account/AccountWorkflows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace orvalink::ui {

MigrationDeviceCard::MigrationDeviceCard(MainViewModel& viewModel, QWidget* parent)
    : PlainCard(QStringLiteral("deviceCard"), parent), m_viewModel(viewModel)
{
    QVBoxLayout* column = cardColumn(this, 8);
    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    m_dot = new AccentDot(this);
    header->addWidget(m_dot, 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(6);
    m_title = textLabel(this, QStringLiteral("cardTitle"), TextStyle::Subheadline,
                        LabelOption::Wrap | LabelOption::Semibold);
    titles->addWidget(m_title);
    m_fingerprint = textLabel(this, QStringLiteral("deviceFingerprint"), TextStyle::Subheadline,
                              LabelOption::Monospace | LabelOption::Secondary);
    titles->addWidget(m_fingerprint);
    header->addLayout(titles, 1);
    column->addLayout(header);
    m_chips = new MetaChipRow({}, this);
    column->addWidget(m_chips);
    m_subtitle = textLabel(this, QStringLiteral("cardSubtitle"), TextStyle::Caption,
                           LabelOption::Secondary | LabelOption::Wrap);
    column->addWidget(m_subtitle);
}

void MigrationDeviceCard::setFacts(const DeviceCardFacts& facts)
{
    m_dot->setAccent(facts.accent);
    setTextIfChanged(m_title, facts.title);
    setTextIfChanged(m_fingerprint, m_viewModel.account().texts().maskedDeviceFingerprint(facts.fingerprint));
    QStringList chips = recordCountChips(m_viewModel, facts.mappingCount, facts.taskCount);
    if (facts.latestActivityAt) {
        chips.append(datedText(m_viewModel, {"最近活动", "Latest Activity"}, *facts.latestActivityAt));
    }
    m_chips->setTexts(chips);
    setTextIfChanged(m_subtitle, facts.subtitle);
}

} // namespace orvalink::ui
