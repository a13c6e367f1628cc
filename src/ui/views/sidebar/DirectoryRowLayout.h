#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QModelIndex>
#include <QRect>
#include <QString>

namespace orvalink::ui {

// One painted capsule of a row.
struct DirectoryRowBadge {
    enum class Kind { migrated, recommendation, aliasRecommendation, hint };
    Kind kind = Kind::migrated;
    QString text;
    QRect rect;

    QColor color() const;
    qreal backgroundAlpha() const;
};

// Where each part of a directory row goes, computed the same way for painting and for hit tests:
// checkbox, icon, name, badges, then a flexible gap, the size and (directories only) the Open link.
struct DirectoryRowLayout {
    static constexpr int rowHeight = 28;
    static constexpr int iconSize = 18;

    QRect checkbox;
    QRect icon;
    QRect name;
    QString elidedName;
    QList<DirectoryRowBadge> badges;
    QRect size;
    QString sizeText;
    QRect open; // empty for a file
    QString openText;

    // The row's fonts, derived from the view's font: body 13 px, badges in caption 2 (10 px).
    static QFont bodyFont(const QFont& base);
    static QFont badgeFont(const QFont& base);

    // The badges of a row: a migrated entry shows only its migrated badge, whatever other texts
    // the row has; otherwise the recommendation and then the hint, each when present.
    static QList<DirectoryRowBadge> badgesOf(const QModelIndex& index);

    static DirectoryRowLayout compute(const QRect& row, const QModelIndex& index, const QFont& base);
};

} // namespace orvalink::ui
