#include "ui/views/detail/RecordRowDelegate.h"

#include "ui/widgets/Chip.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/TextStyles.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QToolTip>

namespace orvalink::ui {

namespace {

constexpr qreal kFrameRadius = 10;
constexpr qreal kChipAlpha = 0.16;
constexpr int kChipPaddingH = 6;

RecordRowMetrics metricsOf(const QStyleOptionViewItem& option)
{
    return RecordRowMetrics(option.font, option.palette, option.widget);
}

// A path line draws a text that fits as a line edit does (its line centred by the taller of the
// text's ink and the font's height), and an elided one centred in its text area.
void paintPath(QPainter* painter, const RecordRowPart& part)
{
    const QString shown = part.shownText();
    const QRect area = part.textRect();
    const QFontMetrics fits(part.font);
    if (part.elide == Qt::ElideNone && fits.horizontalAdvance(shown) > area.width()) {
        // A path laid out to wrap takes the lines its part was given.
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere, shown);
    } else if (shown == part.text) {
        // On the baseline a line edit uses: its font's ascent below the top of the centred line.
        const QFontMetrics metrics(part.font);
        const int ink = std::max(metrics.boundingRect(shown).height(), metrics.height());
        const int top = area.top() + (area.height() - ink + 1) / 2;
        painter->drawText(QPoint(area.left(), top + metrics.ascent()), shown);
    } else {
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
}

void paintButton(QPainter* painter, const QStyleOptionViewItem& option, const RecordRowPart& part,
                 bool hovered, bool pressed)
{
    QStyleOptionButton button;
    const bool enabled = part.enabled && (option.state & QStyle::State_Enabled);
    button.state = option.state & (QStyle::State_Active | QStyle::State_Window);
    button.state |= enabled ? QStyle::State_Enabled : QStyle::State_None;
    button.state |= pressed && enabled ? QStyle::State_Sunken : QStyle::State_Raised;
    if (hovered && enabled)
        button.state |= QStyle::State_MouseOver;
    button.direction = option.direction;
    button.rect = part.rect;
    button.palette = option.palette;
    if (!enabled)
        button.palette.setCurrentColorGroup(QPalette::Disabled);
    button.fontMetrics = QFontMetrics(part.font);
    button.text = part.text;
    painter->setFont(part.font);
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter);
}

} // namespace

RecordRowDelegate::RecordRowDelegate(Layout layout, QObject* parent)
    : QStyledItemDelegate(parent), m_layout(std::move(layout))
{}

RecordRow RecordRowDelegate::keptRow(const QModelIndex& index, const QRect& bounds,
                                     const QStyleOptionViewItem& option, bool forPaint) const
{
    const QPalette::ColorGroup colors = option.palette.currentColorGroup();
    auto kept = m_rows.find(index.row());
    if (kept == m_rows.end() || kept->width != bounds.width() || (forPaint && kept->colors != colors)) {
        // A row is laid out from the top-left of its bounds, so one laid out at the origin serves
        // wherever the list shows it.
        kept =
            m_rows.insert(index.row(), {bounds.width(), colors,
                                        m_layout(index, QRect(0, 0, bounds.width(), 0), metricsOf(option))});
    }
    RecordRow row = kept->row;
    row.frame.translate(bounds.topLeft());
    for (RecordRowPart& part : row.parts)
        part.rect.translate(bounds.topLeft());
    return row;
}

RecordRow RecordRowDelegate::layoutRow(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    return keptRow(index, option.rect, option, false);
}

void RecordRowDelegate::forgetLayouts()
{
    m_rows.clear();
}

QSize RecordRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // As wide as the list shows the rows (one pixel asks for no more); the height follows.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int width = view ? view->viewport()->width() : option.rect.width();
    if (!index.isValid())
        return {};
    const RecordRow row = keptRow(index, QRect(0, 0, width, 0), option, false);
    return QSize(1, row.frame.height() + rowGap);
}

void RecordRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    if (!index.isValid())
        return;
    const RecordRow row = keptRow(index, option.rect, option, true);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(row.frame), kFrameRadius, kFrameRadius);
    painter->fillPath(frame, withAlpha(row.tint, row.alpha));
    const bool active = index == m_activeIndex;
    for (const RecordRowPart& part : row.parts) {
        painter->setFont(part.font);
        painter->setPen(part.color);
        switch (part.kind) {
        case RecordRowPart::Kind::text:
            painter->drawText(part.textRect(), Qt::AlignLeft | Qt::AlignVCenter, part.shownText());
            break;
        case RecordRowPart::Kind::path:
            paintPath(painter, part);
            break;
        case RecordRowPart::Kind::wrapped:
            painter->drawText(part.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, part.text);
            break;
        case RecordRowPart::Kind::chip:
            paintCapsule(painter, QRectF(part.rect), part.color, kChipAlpha);
            painter->drawText(part.rect.adjusted(kChipPaddingH, 0, -kChipPaddingH, 0),
                              Qt::AlignLeft | Qt::AlignVCenter, part.text);
            break;
        case RecordRowPart::Kind::button:
            paintButton(painter, option, part, active && part.name == m_hovered,
                        active && part.name == m_pressed);
            break;
        }
    }
    painter->restore();
}

bool RecordRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const RecordRow row = layoutRow(option, index);
    const RecordRowPart* part = row.partAt(event->pos());
    const bool cut = part &&
                     (part->kind == RecordRowPart::Kind::text || part->kind == RecordRowPart::Kind::path) &&
                     part->isElided();
    if (cut)
        QToolTip::showText(event->globalPos(), plainToolTip(part->text), view->viewport(), part->rect);
    else
        QToolTip::hideText();
    return true;
}

void RecordRowDelegate::setActiveButtons(const QModelIndex& index, const QString& hovered,
                                         const QString& pressed)
{
    m_activeIndex = index;
    m_hovered = hovered;
    m_pressed = pressed;
}

} // namespace orvalink::ui
