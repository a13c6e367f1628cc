#include "ui/views/sidebar/DirectoryRowLayout.h"

#include "ui/models/DirectoryListModel.h"
#include "ui/views/sidebar/TabularText.h"

#include <QFontMetrics>

namespace orvalink::ui {

namespace {

constexpr int kRowSpacing = 8;
constexpr int edgePadding = 8;
constexpr int iconTitleSpacing = 6;
constexpr int badgePaddingH = 6;
constexpr int badgePaddingV = 2;
// Below this the name would be a bare ellipsis: badges give way first.
constexpr int minimumNameWidth = 48;

QRect centred(int x, int width, int height, const QRect& row)
{
    return QRect(x, row.top() + (row.height() - height) / 2, width, height);
}

} // namespace

QColor DirectoryRowBadge::color() const
{
    switch (kind) {
    case Kind::migrated:
        return QColor(255, 149, 0);
    case Kind::aliasRecommendation:
        return QColor(0, 122, 255);
    case Kind::recommendation:
        return QColor(52, 199, 89);
    case Kind::hint:
        return QColor(48, 176, 199);
    }
    return {};
}

qreal DirectoryRowBadge::backgroundAlpha() const
{
    return kind == Kind::migrated ? 0.18 : 0.16;
}

QFont DirectoryRowLayout::bodyFont(const QFont& base)
{
    QFont font(base);
    font.setPixelSize(13);
    return font;
}

QFont DirectoryRowLayout::badgeFont(const QFont& base)
{
    QFont font(base);
    font.setPixelSize(10);
    return font;
}

QList<DirectoryRowBadge> DirectoryRowLayout::badgesOf(const QModelIndex& index)
{
    using Kind = DirectoryRowBadge::Kind;
    if (index.data(DirectoryListModel::IsMigratedRole).toBool())
        return {{Kind::migrated, index.data(DirectoryListModel::MigratedTextRole).toString(), {}}};
    QList<DirectoryRowBadge> badges;
    if (const QVariant text = index.data(DirectoryListModel::RecommendationTextRole); text.isValid()) {
        const bool alias = index.data(DirectoryListModel::RecommendationIsAliasRole).toBool();
        badges.append({alias ? Kind::aliasRecommendation : Kind::recommendation, text.toString(), {}});
    }
    if (const QVariant text = index.data(DirectoryListModel::HintTextRole); text.isValid())
        badges.append({Kind::hint, text.toString(), {}});
    return badges;
}

DirectoryRowLayout DirectoryRowLayout::compute(const QRect& row, const QModelIndex& index, const QFont& base)
{
    DirectoryRowLayout layout;
    const QFontMetrics body(bodyFont(base));
    const QFontMetrics caption(badgeFont(base));
    const int textHeight = body.height();

    int x = row.left() + edgePadding;
    layout.checkbox = centred(x, iconSize, iconSize, row);
    x += iconSize + kRowSpacing;
    layout.icon = centred(x, iconSize, iconSize, row);
    x += iconSize + iconTitleSpacing;

    // The trailing items keep their natural width; the name and badges share what is left.
    int trailing = row.right() + 1 - edgePadding;
    if (index.data(DirectoryListModel::IsDirectoryRole).toBool()) {
        layout.openText = index.data(DirectoryListModel::OpenTextRole).toString();
        const int width = body.horizontalAdvance(layout.openText);
        layout.open = centred(trailing - width, width, textHeight, row);
        trailing -= width + kRowSpacing;
    }
    layout.sizeText = index.data(DirectoryListModel::SizeTextRole).toString();
    const int sizeWidth = TabularText::width(body, layout.sizeText);
    layout.size = centred(trailing - sizeWidth, sizeWidth, textHeight, row);
    trailing -= sizeWidth + kRowSpacing;

    layout.badges = badgesOf(index);
    int badgesWidth = 0;
    for (DirectoryRowBadge& badge : layout.badges) {
        const int width = caption.horizontalAdvance(badge.text) + 2 * badgePaddingH;
        badge.rect = centred(0, width, caption.height() + 2 * badgePaddingV, row);
        badgesWidth += kRowSpacing + width;
    }

    const QString name = index.data(Qt::DisplayRole).toString();
    const int natural = body.horizontalAdvance(name) + 1;
    const int room = std::max(0, trailing - x);
    const int nameWidth = std::min({natural, room, std::max(room - badgesWidth, minimumNameWidth)});
    // elidedText measures in fractions: a name given exactly its rounded width may still be cut.
    layout.elidedName = nameWidth >= natural ? name : body.elidedText(name, Qt::ElideRight, nameWidth);
    layout.name = centred(x, nameWidth, textHeight, row);
    x += nameWidth;

    QList<DirectoryRowBadge> shown;
    for (DirectoryRowBadge& badge : layout.badges) {
        x += kRowSpacing;
        if (x + badge.rect.width() > trailing)
            break;
        badge.rect.moveLeft(x);
        x += badge.rect.width();
        shown.append(badge);
    }
    layout.badges = shown;
    return layout;
}

} // namespace orvalink::ui
