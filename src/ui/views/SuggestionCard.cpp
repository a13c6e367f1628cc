#include "ui/views/SuggestionCard.h"

#include "ui/widgets/FocusRing.h"
#include "ui/widgets/TextStyles.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>

namespace orvalink::ui {

namespace {

QLabel* addLine(QVBoxLayout* column, QWidget* parent, const QFont& font, const QString& text, bool secondary)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // names and paths may look like markup
    label->setFont(font);
    label->setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, SuggestionCard::labelWidth));
    if (secondary)
        applySecondaryTextColor(label);
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
    addLine(column, this, title, suggestion.title, false)->setObjectName(QStringLiteral("suggestionTitle"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(11);
    addLine(column, this, mono, shownPath, true)->setObjectName(QStringLiteral("suggestionPath"));
    // At most two lines of note: wrapped, then cut at the second line's height.
    auto* note = new QLabel(suggestion.note, this);
    note->setObjectName(QStringLiteral("suggestionNote"));
    note->setTextFormat(Qt::PlainText);
    note->setFont(styledFont(TextStyle::Caption, font()));
    note->setWordWrap(true);
    note->setFixedWidth(labelWidth);
    const QFontMetrics metrics(note->font());
    const int wrapped =
        metrics.boundingRect(QRect(0, 0, labelWidth, 10000), Qt::TextWordWrap, suggestion.note).height();
    const int noteHeight = std::min(wrapped, 2 * metrics.lineSpacing());
    note->setFixedHeight(noteHeight);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    applySecondaryTextColor(note);
    column->addWidget(note);
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
