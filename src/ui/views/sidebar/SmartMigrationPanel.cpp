#include "ui/views/sidebar/SmartMigrationPanel.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/sidebar/SuggestionCard.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/Clickable.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/SidewaysWheel.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/Navigator.h"
#include "viewmodel/smart/SmartMigration.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace orvalink::ui {

SmartMigrationPanel::SmartMigrationPanel(MainViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("smartMigrationPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_title = textLabel(this, QStringLiteral("smartMigrationTitle"), TextStyle::Headline);
    header->addWidget(m_title);
    m_profileBadge = new Chip(QString(), this);
    m_profileBadge->setObjectName(QStringLiteral("smartMigrationProfileBadge"));
    m_profileBadge->setFont(styledFont(TextStyle::Caption, font()));
    m_profileBadge->setPadding(8, 3);
    m_profileBadge->setTint(palette().color(QPalette::Highlight), 0.14);
    header->addWidget(m_profileBadge);
    header->addStretch(1);
    column->addLayout(header);

    // Two lines at most: the summaries are one sentence, a longer one ends in "…".
    m_summary = elidedLabel(this, QStringLiteral("smartMigrationSummary"), TextStyle::Caption, Qt::ElideRight,
                            LabelOption::Secondary, 2);
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(m_summary);

    m_cardScroll = new QScrollArea(this);
    m_cardScroll->setObjectName(QStringLiteral("suggestionScroll"));
    m_cardScroll->setFrameShape(QFrame::NoFrame);
    m_cardScroll->setWidgetResizable(false);
    m_cardScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_cardScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_cardScroll->viewport()->setAutoFillBackground(false);
    // The row hides its scroll bars: the wheel and the keyboard scroll it. Tab and the arrow keys go
    // from card to card (the row follows the focus), so the row itself is no stop of its own.
    scrollSidewaysWithWheel(m_cardScroll);
    m_cardScroll->setFocusPolicy(Qt::NoFocus);
    m_cards = new QWidget(m_cardScroll);
    m_cards->setObjectName(QStringLiteral("suggestionCards"));
    m_cardLayout = new QHBoxLayout(m_cards);
    m_cardLayout->setContentsMargins(0, 2, 0, 2);
    m_cardLayout->setSpacing(10);
    m_cardLayout->addStretch(1);
    m_cardScroll->setWidget(m_cards);
    column->addWidget(m_cardScroll);

    // The suggestions look at the whole listing: worked out again only when what they are built
    // from changed, not at every keystroke or focus move of a large folder.
    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(
        &m_viewModel.browsing(), &BrowsingState::entriesChanged, &BrowsingState::currentDirectoryPathChanged,
        &BrowsingState::smartMigrationEnabledChanged, &BrowsingState::smartMigrationProfileChanged);
    refresh();
}

void SmartMigrationPanel::rebuildCards(const QList<SmartMigrationSuggestion>& suggestions)
{
    const Presentation& texts = m_viewModel.presentation();
    QStringList shownPaths;
    for (const SmartMigrationSuggestion& suggestion : suggestions)
        shownPaths.append(texts.displayPath(suggestion.path));
    if (suggestions == m_shownSuggestions && shownPaths == m_shownPaths)
        return;
    m_shownSuggestions = suggestions;
    m_shownPaths = shownPaths;
    // The card clicked may be the one asking for this rebuild: delete later, never under its feet.
    while (m_cardLayout->count() > 1) {
        QLayoutItem* item = m_cardLayout->takeAt(0);
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    int height = 0;
    for (qsizetype i = 0; i < suggestions.size(); ++i) {
        auto* card = new SuggestionCard(suggestions.at(i), shownPaths.at(i), m_cards);
        const QString path = suggestions.at(i).path;
        makeClickable(card, [this, path] { m_viewModel.navigation().navigate(path, true); });
        m_cardLayout->insertWidget(int(i), card);
        // Shown now, so the row measures it below (a layout shows new children only later).
        card->show();
        height = std::max(height, card->height());
    }
    m_cards->adjustSize();
    m_cardScroll->setFixedHeight(std::max(height + 4, m_cards->height()));
    // The cards may arrive while the group is hidden, when no layout hears of the new height: make
    // every enclosing layout measure again.
    for (QWidget* widget = this; widget; widget = widget->parentWidget()) {
        if (QLayout* layout = widget->layout())
            layout->invalidate();
    }
}

void SmartMigrationPanel::refresh()
{
    // Shown only while Smart Migration is on; switching it on refreshes.
    if (!m_viewModel.browsing().smartMigrationEnabled())
        return;
    const Presentation& texts = m_viewModel.presentation();
    const SmartMigration& smart = m_viewModel.smartMigration();
    m_title->setText(texts.localized(QStringLiteral("智能迁移"), QStringLiteral("Smart Migration")));
    m_profileBadge->setText(m_viewModel.browsing().smartMigrationProfile() == SmartMigrationProfile::wechat
                                ? texts.localized(QStringLiteral("微信列表"), QStringLiteral("WeChat List"))
                                : texts.localized(QStringLiteral("其他列表"), QStringLiteral("Other List")));
    m_summary->setText(smart.smartMigrationSummary());
    rebuildCards(smart.smartMigrationSuggestions());
}

} // namespace orvalink::ui
