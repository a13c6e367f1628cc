#include "ui/views/detail/MappingRowDelegate.h"

#include "ui/models/MappingListModel.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextStyles.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QPainter>
#include <QPainterPath>

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

} // namespace

MappingRowDelegate::MappingRowDelegate(MainViewModel& viewModel, QObject* parent)
    : QStyledItemDelegate(parent), m_viewModel(viewModel)
{}

int MappingRowDelegate::rowHeight(const QFont& base)
{
    const RowLines lines = rowLines(QRect(0, 0, 100, 1000), base);
    return lines.target.bottom() + 1 + kPadding;
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
    const LinkMapping& mapping = model->mappingAt(index.row());
    const bool selected = model->isSelected(index.row());
    const Presentation& texts = m_viewModel.presentation();
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

    const QRect mark(lines.header.left(), lines.header.center().y() - kMarkSize / 2, kMarkSize, kMarkSize);
    Symbols::icon(selected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                  selected ? accent : secondary)
        .paint(painter, mark);

    painter->setFont(fonts.caption);
    const QFontMetrics captionMetrics(fonts.caption);
    const QString date = texts.formatDate(mapping.recency());
    const int dateWidth = captionMetrics.horizontalAdvance(date);
    painter->setPen(secondary);
    painter->drawText(lines.header, Qt::AlignRight | Qt::AlignVCenter, date);
    QRect nameRect = lines.header.adjusted(kMarkSize + 6, 0, -(dateWidth + 8), 0);
    painter->setPen(palette.color(QPalette::WindowText));
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(index.data().toString(), Qt::ElideRight, nameRect.width()));

    painter->setFont(fonts.mono);
    painter->setPen(secondary);
    const QFontMetrics monoMetrics(fonts.mono);
    const QString source = texts.displayPath(mapping.sourcePath);
    const QString target = texts.localized({"目标目录", "Target"}) + QStringLiteral(": ") +
                           texts.displayPath(mapping.targetPath);
    painter->drawText(lines.source, Qt::AlignLeft | Qt::AlignVCenter,
                      monoMetrics.elidedText(source, Qt::ElideMiddle, lines.source.width()));
    painter->drawText(lines.target, Qt::AlignLeft | Qt::AlignVCenter,
                      monoMetrics.elidedText(target, Qt::ElideMiddle, lines.target.width()));
    painter->restore();
}

} // namespace orvalink::ui
