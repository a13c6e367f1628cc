#include "ui/views/sidebar/SuggestionCard.h"

#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FocusRing.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

// A line of the card: the card has a fixed width, so what does not fit ends in "…" (a path loses its
// middle) and the whole text is the line's tool tip.
ElidedLabel* addLine(QVBoxLayout* column, ElidedLabel* label)
{
    label->setFixedWidth(SuggestionCard::labelWidth);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(label);
    return label;
}

} // namespace

QColor SuggestionCard::toneColor(SmartMigrationSuggestion::Tone tone)
{
    switch (tone) {
    case SmartMigrationSuggestion::Tone::recommended:
        return QColor(0x28, 0xa7, 0x45);
    case SmartMigrationSuggestion::Tone::entrypoint:
        return QColor(0x1e, 0x78, 0xe6);
    case SmartMigrationSuggestion::Tone::caution:
        break;
    }
    return QColor(0xf0, 0x8a, 0x00);
}

SuggestionCard::SuggestionCard(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("suggestionCard"));
    setFixedWidth(labelWidth + 24);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(6);
    m_title = addLine(column, elidedLabel(this, QStringLiteral("suggestionTitle"), TextStyle::Subheadline,
                                          Qt::ElideRight, LabelOption::Semibold));
    m_shownPath = elidedLabel(this, QStringLiteral("suggestionPath"), TextStyle::Caption, Qt::ElideMiddle,
                              LabelOption::Secondary);
    m_shownPath->setFont(monoFont(11));
    addLine(column, m_shownPath);
    // At most two lines of note, the second ending in "…" when the note is longer.
    m_note = addLine(column, elidedLabel(this, QStringLiteral("suggestionNote"), TextStyle::Caption,
                                         Qt::ElideRight, LabelOption::Secondary, 2));
}

void SuggestionCard::setSuggestion(const SmartMigrationSuggestion& suggestion, const QString& shownPath)
{
    m_path = suggestion.path;
    setProperty("path", suggestion.path);
    m_title->setText(suggestion.title);
    m_shownPath->setText(shownPath);
    m_note->setText(suggestion.note);
    const int noteHeight = m_note->heightForWidth(labelWidth);
    m_note->setFixedHeight(noteHeight);
    // Fixed, so the row of cards knows its height before it is laid out.
    setFixedHeight(12 + QFontMetrics(m_title->font()).height() + 6 +
                   QFontMetrics(m_shownPath->font()).height() + 6 + noteHeight + 12);
    const QColor tone = toneColor(suggestion.tone);
    if (tone != m_tone) {
        m_tone = tone;
        update();
    }
}

void SuggestionCard::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter.fillPath(shape, withAlpha(m_tone, 0.12));
    painter.setPen(QPen(withAlpha(m_tone, 0.25), 1));
    painter.drawPath(shape);
    paintFocusRing(&painter, this, QRectF(rect()), 12);
}

} // namespace orvalink::ui
