#include "ui/views/sidebar/SuggestionCard.h"

#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/FocusRing.h"
#include "ui/widgets/TextStyles.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace orvalink::ui {

namespace {

// A line of the card: the card has a fixed width, so what does not fit ends in "…" (a path loses its
// middle) and the whole text is the line's tool tip.
ElidedLabel* addLine(QVBoxLayout* column, QWidget* parent, const QFont& font, const QString& text,
                     Qt::TextElideMode mode, int lines)
{
    auto* label = new ElidedLabel(parent, mode, lines);
    label->setFont(font);
    label->setText(text);
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

SuggestionCard::SuggestionCard(const SmartMigrationSuggestion& suggestion, const QString& shownPath,
                               QWidget* parent)
    : QWidget(parent), m_tone(toneColor(suggestion.tone))
{
    setObjectName(QStringLiteral("suggestionCard"));
    setProperty("path", suggestion.path);
    setFixedWidth(labelWidth + 24);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(6);
    QFont title = styledFont(TextStyle::Subheadline, font());
    title.setWeight(QFont::DemiBold);
    addLine(column, this, title, suggestion.title, Qt::ElideRight, 1)
        ->setObjectName(QStringLiteral("suggestionTitle"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(11);
    auto* path = addLine(column, this, mono, shownPath, Qt::ElideMiddle, 1);
    path->setObjectName(QStringLiteral("suggestionPath"));
    applySecondaryTextColor(path);
    // At most two lines of note, the second ending in "…" when the note is longer.
    ElidedLabel* note =
        addLine(column, this, styledFont(TextStyle::Caption, font()), suggestion.note, Qt::ElideRight, 2);
    note->setObjectName(QStringLiteral("suggestionNote"));
    applySecondaryTextColor(note);
    const int noteHeight = note->heightForWidth(labelWidth);
    note->setFixedHeight(noteHeight);
    // Fixed, so the row of cards knows its height before it is laid out.
    setFixedHeight(12 + QFontMetrics(title).height() + 6 + QFontMetrics(mono).height() + 6 + noteHeight + 12);
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
