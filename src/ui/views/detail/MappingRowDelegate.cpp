#include "ui/views/detail/MappingRowDelegate.h"

#include "ui/models/MappingListModel.h"
#include "ui/widgets/PlainToolTip.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace orvalink::ui {

namespace {

constexpr int kPadding = 6;
constexpr int kLineSpacing = 3;
constexpr int kMarkSize = 12;

struct RowFonts {
    QFont caption;
    QFont mono;
};

RowFonts rowFonts(const QFont& base)
{
    return {styledFont(TextStyle::Caption, base), monoFont(10)};
}

// The three lines of a row inside its padding.
struct RowLines {
    QRect header;
    QRect source;
    QRect target;
};

RowLines rowLines(const QRect& rect, const QFont& base)
{
    const RowFonts fonts = rowFonts(base);
    const int headerHeight = std::max(QFontMetrics(fonts.caption).height(), kMarkSize);
    const int monoHeight = QFontMetrics(fonts.mono).height();
    const QRect inner = rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    RowLines lines;
    lines.header = QRect(inner.left(), inner.top(), inner.width(), headerHeight);
    lines.source = QRect(inner.left(), lines.header.bottom() + 1 + kLineSpacing, inner.width(), monoHeight);
    lines.target = QRect(inner.left(), lines.source.bottom() + 1 + kLineSpacing, inner.width(), monoHeight);
    return lines;
}

// Where the name stands: after the mark, before the date.
QRect nameRect(const QRect& header, const QFont& caption, const QString& date)
{
    return header.adjusted(kMarkSize + 6, 0, -(QFontMetrics(caption).horizontalAdvance(date) + 8), 0);
}

} // namespace

MappingRowDelegate::MappingRowDelegate(MainViewModel& viewModel, QObject* parent)
    : QStyledItemDelegate(parent), m_viewModel(viewModel)
{}

int MappingRowDelegate::rowHeight(const QFont& base)
{
    const RowLines lines = rowLines(QRect(0, 0, 100, 1000), base);
    return lines.target.bottom() + 1 + kPadding;
}

QStringList MappingRowDelegate::pathLines(const Presentation& texts, const LinkMapping& mapping)
{
    return {texts.displayPath(mapping.sourcePath), texts.localized({"目标目录", "Target"}) +
                                                       QStringLiteral(": ") +
                                                       texts.displayPath(mapping.targetPath)};
}

MappingRowPart MappingRowDelegate::partAt(const QRect& rowRect, const QFont& base, const QPoint& point)
{
    if (!rowRect.contains(point))
        return MappingRowPart::none;
    const RowLines lines = rowLines(rowRect, base);
    if (point.y() >= lines.source.top() - 1 && point.y() <= lines.source.bottom() + 1)
        return MappingRowPart::sourcePath;
    if (point.y() >= lines.target.top() - 1 && point.y() <= lines.target.bottom() + 1)
        return MappingRowPart::targetPath;
    return MappingRowPart::header;
}

MappingRowDelegate::Lines MappingRowDelegate::linesOf(const QStyleOptionViewItem& option,
                                                      const QModelIndex& index) const
{
    const auto* model = qobject_cast<const MappingListModel*>(index.model());
    const LinkMapping& mapping = model->mappingAt(index.row());
    const Presentation& texts = m_viewModel.presentation();
    const RowFonts fonts = rowFonts(option.font);
    const RowLines lines = rowLines(option.rect, option.font);
    Lines result;
    result.whole = QStringList{index.data().toString()} + pathLines(texts, mapping);
    result.date = texts.formatDate(mapping.recency());
    result.nameArea = nameRect(lines.header, fonts.caption, result.date);
    const QFontMetrics caption(fonts.caption);
    const QFontMetrics mono(fonts.mono);
    // Long names of one folder's siblings differ at their ends, paths at theirs: the middle goes.
    result.drawn = {caption.elidedText(result.whole.at(0), Qt::ElideMiddle, result.nameArea.width()),
                    mono.elidedText(result.whole.at(1), Qt::ElideMiddle, lines.source.width()),
                    mono.elidedText(result.whole.at(2), Qt::ElideMiddle, lines.target.width())};
    return result;
}

bool MappingRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                   const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !view || !index.isValid() ||
        !qobject_cast<const MappingListModel*>(index.model()))
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const Lines shown = linesOf(option, index);
    if (shown.drawn == shown.whole)
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), plainToolTip(shown.whole.join(QLatin1Char('\n'))),
                           view->viewport(), option.rect);
    return true;
}

QSize MappingRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 300, rowHeight(option.font));
}

void MappingRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    const auto* model = qobject_cast<const MappingListModel*>(index.model());
    if (!model)
        return;
    const bool selected = model->isSelected(index.row());
    const QPalette& palette = option.palette;
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor secondary = secondaryTextColor(palette);
    const RowFonts fonts = rowFonts(option.font);
    const RowLines lines = rowLines(option.rect, option.font);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(option.rect), 8, 8);
    painter->fillPath(background, selected ? withAlpha(accent, 0.18)
                                           : withAlpha(palette.color(QPalette::WindowText), 0.08));
    // The row the keyboard acts on.
    if (option.state & QStyle::State_HasFocus) {
        QPainterPath ring;
        ring.addRoundedRect(QRectF(option.rect).adjusted(1, 1, -1, -1), 7, 7);
        painter->strokePath(ring, QPen(accent, 2));
    }

    const QRect mark(lines.header.left(), lines.header.center().y() - kMarkSize / 2, kMarkSize, kMarkSize);
    Symbols::icon(selected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                  selected ? accent : secondary)
        .paint(painter, mark);

    const Lines shown = linesOf(option, index);
    painter->setFont(fonts.caption);
    painter->setPen(secondary);
    painter->drawText(lines.header, Qt::AlignRight | Qt::AlignVCenter, shown.date);
    painter->setPen(palette.color(QPalette::WindowText));
    painter->drawText(shown.nameArea, Qt::AlignLeft | Qt::AlignVCenter, shown.drawn.at(0));
    painter->setFont(fonts.mono);
    painter->setPen(secondary);
    painter->drawText(lines.source, Qt::AlignLeft | Qt::AlignVCenter, shown.drawn.at(1));
    painter->drawText(lines.target, Qt::AlignLeft | Qt::AlignVCenter, shown.drawn.at(2));
    painter->restore();
}

} // namespace orvalink::ui
