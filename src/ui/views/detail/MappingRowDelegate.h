#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>

namespace orvalink {
class MainViewModel;
class Presentation;
struct LinkMapping;
} // namespace orvalink

namespace orvalink::ui {

// Which part of a mapping row a point falls on: the path lines carry the path menu. `record` is the
// row as a whole, as the keyboard asks for its menu.
enum class MappingRowPart { none, header, sourcePath, targetPath, record };

// Paints one link mapping of a MappingListModel: the mark, the source folder's name and the later of
// its two dates, then the source path and "Target: " with the target path (both masked under
// presentation privacy), on a rounded fill that is stronger when the row is marked. A row drawn cut
// short gives its whole lines as its tool tip, as plain text.
class MappingRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    MappingRowDelegate(MainViewModel& viewModel, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The row's two path lines as it shows them: the source, then "Target: " and the target.
    static QStringList pathLines(const Presentation& texts, const LinkMapping& mapping);
    // The height of every row, for fonts derived from `base`.
    static int rowHeight(const QFont& base);
    static MappingRowPart partAt(const QRect& rowRect, const QFont& base, const QPoint& point);

private:
    // A row's lines whole (name, source, target), and as drawn in `option.rect`.
    struct Lines {
        QStringList whole;
        QStringList drawn;
        QString date;   // at the header's right
        QRect nameArea; // the header left of the date
    };
    Lines linesOf(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    MainViewModel& m_viewModel;
};

} // namespace orvalink::ui
