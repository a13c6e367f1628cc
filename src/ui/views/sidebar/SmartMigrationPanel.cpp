#include "ui/views/sidebar/SmartMigrationPanel.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/sidebar/SuggestionCard.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/Clickable.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/SidewaysScrollArea.h"
#include "ui/widgets/SidewaysWheel.h"
#include "ui/widgets/SmallButton.h"
#include "ui/widgets/TabOrder.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/smart/SmartMigration.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace orvalink::ui {

SmartMigrationPanel::SmartMigrationPanel(MainViewModel& viewModel, QWidget* parent)
    : GroupPanel(QString(), QStringLiteral("wand.and.stars"), parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("migrationListGroup"));
    setCompact();

    // Folded, the group is its title row alone: every line it takes is taken from the directory
    // list, which must keep its rows on a short screen. The title, the profile's name, the summary
    // and the button that unfolds the cards stand on that row.
    m_title = textLabel(this, QStringLiteral("smartMigrationTitle"), TextStyle::Headline);
    addHeaderWidget(m_title);
    m_profileBadge = new Chip(QString(), this);
    m_profileBadge->setObjectName(QStringLiteral("smartMigrationProfileBadge"));
    m_profileBadge->setFont(styledFont(TextStyle::Caption, font()));
    m_profileBadge->setPadding(8, 3);
    m_profileBadge->setTint(palette().color(QPalette::Highlight), 0.14);
    addHeaderWidget(m_profileBadge);
    // The summary takes the room the others leave: what does not fit ends in "…", whole in the tip.
    m_summary = elidedLabel(this, QStringLiteral("smartMigrationSummary"), TextStyle::Caption, Qt::ElideRight,
                            LabelOption::Secondary);
    m_summary->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addHeaderWidget(m_summary, 1);
    m_toggle = smallButton(this, QStringLiteral("smartMigrationToggle"));
    connect(m_toggle, &QPushButton::clicked, this, [this] { setExpanded(!m_expanded); });
    addHeaderWidget(m_toggle);

    // The row shows its scroll bar while the cards are wider than the column, so it is plain that
    // it scrolls; the wheel and the keyboard scroll it too. Tab and the arrow keys go from card to
    // card (the row follows the focus), so the row itself is no stop of its own.
    m_cardScroll = new SidewaysScrollArea(this);
    m_cardScroll->setObjectName(QStringLiteral("suggestionScroll"));
    m_cardScroll->setFocusPolicy(Qt::NoFocus);
    scrollSidewaysWithWheel(m_cardScroll);
    m_cards = new QWidget(m_cardScroll);
    m_cards->setObjectName(QStringLiteral("suggestionCards"));
    auto* cardLayout = new QHBoxLayout(m_cards);
    cardLayout->setContentsMargins(0, 2, 0, 2);
    cardLayout->setSpacing(10);
    cardLayout->addStretch(1);
    m_cardList.attach(cardLayout);
    m_cardScroll->setContent(m_cards);
    m_description = textLabel(this, QStringLiteral("smartMigrationDescription"), TextStyle::Caption,
                              LabelOption::Secondary | LabelOption::Wrap);
    contentLayout()->addWidget(m_description);
    contentLayout()->addWidget(m_cardScroll);
    setContentVisible(m_expanded);

    // The suggestions look at the whole listing: worked out again only when what they are built
    // from changed, not at every keystroke or focus move of a large folder.
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(
        &m_viewModel.browsing(), &BrowsingState::entriesChanged, &BrowsingState::currentDirectoryPathChanged,
        &BrowsingState::smartMigrationEnabledChanged, &BrowsingState::smartMigrationProfileChanged);
    refresh();
}

void SmartMigrationPanel::setExpanded(bool expanded)
{
    m_expanded = expanded;
    setContentVisible(expanded);
    // Unfolded, the summary reads whole above the cards instead of cut short on the title row.
    m_summary->setVisible(!expanded);
    updateToggleText();
}

void SmartMigrationPanel::updateToggleText()
{
    m_toggle->setText(m_expanded ? m_viewModel.presentation().localized({"收起", "Collapse"})
                                 : m_viewModel.presentation().localized({"展开", "Expand"}));
}

void SmartMigrationPanel::updateCards(const QList<SmartMigrationSuggestion>& suggestions)
{
    const Presentation& texts = m_viewModel.presentation();
    const bool changed = m_cardList.sync(
        suggestions, [](const SmartMigrationSuggestion& suggestion) { return suggestion.path; },
        [this](const SmartMigrationSuggestion&) {
            auto* card = new SuggestionCard(m_cards);
            makeClickable(card, [this, card] { m_viewModel.navigation().navigate(card->path(), true); });
            return card;
        },
        [&texts](SuggestionCard* card, const SmartMigrationSuggestion& suggestion) {
            card->setSuggestion(suggestion, texts.displayPath(suggestion.path));
        });
    // The cards stand in the Tab order right after the button that unfolds them.
    if (changed)
        placeInTabOrder(m_cards, QList<QWidget*>(m_cardList.widgets().begin(), m_cardList.widgets().end()));
}

void SmartMigrationPanel::refresh()
{
    // Shown only while Smart Migration is on; switching it on refreshes.
    if (!m_viewModel.browsing().smartMigrationEnabled())
        return;
    const Presentation& texts = m_viewModel.presentation();
    const SmartMigration& smart = m_viewModel.smartMigration();
    setTitle(texts.localized({"迁移列表", "Migration List"}));
    m_title->setText(texts.localized({"智能迁移", "Smart Migration"}));
    m_profileBadge->setText(m_viewModel.browsing().smartMigrationProfile() == SmartMigrationProfile::wechat
                                ? texts.localized({"微信列表", "WeChat List"})
                                : texts.localized({"其他列表", "Other List"}));
    m_summary->setText(smart.smartMigrationSummary());
    setTextIfChanged(m_description, smart.smartMigrationSummary());
    updateToggleText();
    updateCards(smart.smartMigrationSuggestions());
}

} // namespace orvalink::ui
