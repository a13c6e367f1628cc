#pragma once

#include "ui/models/DirectoryListSource.h"

#include <QAbstractListModel>
#include <QTimer>
#include <chrono>

namespace orvalink::ui {

class DirectoryIconCache;

// One row per shown entry of a DirectoryListSource. Nothing is computed ahead: a reset only takes the
// row count, and data() asks the source for the inputs of the rows being painted, so a search
// keystroke over a large folder costs the source's filtering and the visible rows, not the folder.
//
// Qt::DisplayRole and Qt::ToolTipRole are the entry's name as shown (plain text); the delegate shows
// the tip only where it draws the name cut short.
//
// The owner tells the model what changed: resetListing() for other rows or another order,
// syncFocus() for a focus move (two rows repaint), refreshRowInputs() for selection, link mode,
// language or hints (one signal for all rows), noteSizesChanged() for sizes measured in place
// (merged into one signal per interval).
class DirectoryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PathRole = Qt::UserRole + 1,
        IsDirectoryRole,
        IsMigratedRole, // a symbolic link or an alias file
        SizeBytesRole,
        SizeTextRole,
        IsFocusedRole,
        IsSelectedRole,
        RecommendationTextRole, // a QString, or an invalid QVariant when there is none
        RecommendationIsAliasRole,
        HintTextRole, // a QString, or an invalid QVariant when there is none
        MigratedTextRole,
        OpenTextRole,
    };

    // The source and the icon cache (which may be null: no icons) must outlive the model.
    explicit DirectoryListModel(DirectoryListSource& source, DirectoryIconCache* icons = nullptr,
                                QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    DirectoryListSource& source() const { return m_source; }

    // Notifications from the owner.
    void resetListing();
    // Repaints the rows that lost and gained the focus, if it moved; returns the focused row or -1.
    int syncFocus();
    void refreshRowInputs();
    void noteSizesChanged();
    void setSizeUpdateInterval(std::chrono::milliseconds interval);

    // Row actions, forwarded to the source with a copy of the row's entry.
    void focusRow(int row);
    void setRowSelected(int row, bool selected);
    void openRow(int row);
    void openContainingDirectory(int row);
    void revealRow(int row);

private:
    const DirectoryEntry* entryAt(int row) const;
    int findRow(const QString& path, int hint) const;
    void emitRowChanged(int row, const QList<int>& roles);
    void flushSizes();

    DirectoryListSource& m_source;
    DirectoryIconCache* m_icons;
    int m_rowCount = 0;
    // The path painted as focused and its row, which is looked up lazily after a reset.
    QString m_focusedPath;
    int m_focusedRow = -1;
    bool m_focusedRowKnown = false;
    QTimer m_sizeTimer;
};

} // namespace orvalink::ui
