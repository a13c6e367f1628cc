#pragma once

#include "model/LinkMapping.h"
#include "ui/models/KeyedListModel.h"

#include <QList>
#include <QSet>
#include <QUuid>

namespace orvalink::ui {

// The rows of a history list (migrated items, undo candidates): link mappings in the order the
// state object keeps them, and which of them are marked. Lists of many thousand rows after a year
// of use: a new list inserts and removes only the rows that came and went, a new selection repaints
// only the rows whose mark changed.
class MappingListModel : public KeyedListModel {
    Q_OBJECT

public:
    enum Role { SelectedRole = Qt::UserRole + 1, IdRole, SourcePathRole, TargetPathRole };

    explicit MappingListModel(QObject* parent = nullptr);

    void setMappings(const QList<LinkMapping>& mappings);
    void setSelection(const QSet<QUuid>& selection);

    const QList<LinkMapping>& mappings() const { return m_mappings; }
    const LinkMapping& mappingAt(int row) const { return m_mappings.at(row); }
    bool isSelected(int row) const { return m_selection.contains(m_mappings.at(row).id); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the last component of the source path as stored; the roles above for the rest.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<LinkMapping> m_mappings;
    QSet<QUuid> m_selection;
};

} // namespace orvalink::ui
