#include "ui/views/sidebar/SearchRow.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/ViewText.h"
#include "ui/views/sidebar/TabularText.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/browsing/ShownListing.h"
#include "viewmodel/texts/Presentation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace orvalink::ui {

namespace {

// The count whose digits the match count keeps room for (the digits are all equally wide).
constexpr qsizetype kWidestReservedCount = 999999;

} // namespace

SearchRow::SearchRow(MainViewModel& viewModel, QWidget* parent) : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("searchRow"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    const QColor secondary = secondaryTextColor(palette());

    m_icon = new QLabel(this);
    m_icon->setPixmap(Symbols::icon(QStringLiteral("magnifyingglass"), secondary).pixmap(14, 14));
    row->addWidget(m_icon);

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("searchField"));
    connect(m_field, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_viewModel.listing().setSearchQuery(text); });
    row->addWidget(m_field, 1);

    m_clear = new QToolButton(this);
    m_clear->setObjectName(QStringLiteral("clearSearchButton"));
    m_clear->setAutoRaise(true);
    m_clear->setIcon(Symbols::icon(QStringLiteral("xmark.circle.fill"), secondary));
    // Its place stays while it is hidden: the field keeps its width as the user starts typing.
    QSizePolicy keepsPlace = m_clear->sizePolicy();
    keepsPlace.setRetainSizeWhenHidden(true);
    m_clear->setSizePolicy(keepsPlace);
    connect(m_clear, &QToolButton::clicked, this,
            [this] { m_viewModel.listing().setSearchQuery(QString()); });
    row->addWidget(m_clear);

    m_matchCount = textLabel(this, QStringLiteral("matchCount"), TextStyle::Caption, LabelOption::Secondary);
    m_matchCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_matchCount);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&m_viewModel.presentation(), &Presentation::textsChanged);
    scheduler->watch(&m_viewModel.browsing(), &BrowsingState::searchQueryChanged);
    scheduler->watch(&m_viewModel.listing(), &ShownListing::sortedEntriesChanged);
    refresh();
}

void SearchRow::refresh()
{
    const Presentation& texts = m_viewModel.presentation();
    const QString& query = m_viewModel.browsing().searchQuery();
    m_field->setPlaceholderText(texts.localized(
        {QStringLiteral("搜索当前目录（模糊）"), QStringLiteral("Search current directory (fuzzy)")}));
    setTextIfChanged(m_field, query);
    m_clear->setVisible(!query.isEmpty());
    // Each word on its own, so the number stands once between them in both languages.
    const auto countText = [&texts](qsizetype count) {
        return texts.localized({"匹配", "Match"}) + QLatin1Char(' ') + QString::number(count) +
               QLatin1Char(' ') + texts.localized({"项", "items"});
    };
    const qsizetype matches = m_viewModel.listing().sortedEntries().size();
    m_matchCount->setText(countText(matches));
    // As wide as a count of six digits needs, whatever the count now: neither typing nor a
    // listing read again changes the width of the field beside it. Only a folder of a million
    // entries or more widens it.
    const qsizetype widest = std::max(matches, kWidestReservedCount);
    m_matchCount->setMinimumWidth(TabularText::width(m_matchCount->fontMetrics(), countText(widest)));
}

} // namespace orvalink::ui
