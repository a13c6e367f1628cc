#include "ui/models/MappingListModel.h"

#include <QFileInfo>
#include <utility>

namespace orvalink::ui {

MappingListModel::MappingListModel(QObject* parent) : KeyedListModel(parent) {}

void MappingListModel::setMappings(const QList<LinkMapping>& mappings)
{
    replaceRows(m_mappings, mappings, [](const LinkMapping& mapping) { return mapping.id; });
}

void MappingListModel::setSelection(const QSet<QUuid>& selection)
{
    if (selection == m_selection)
        return;
    const QSet<QUuid> before = std::exchange(m_selection, selection);
    int first = -1;
    int last = -1;
    for (int row = 0; row < int(m_mappings.size()); ++row) {
        const QUuid& id = m_mappings.at(row).id;
        if (before.contains(id) == m_selection.contains(id))
            continue;
        first = first < 0 ? row : first;
        last = row;
    }
    if (first >= 0)
        Q_EMIT dataChanged(index(first), index(last), {SelectedRole});
}

int MappingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_mappings.size());
}

QVariant MappingListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const LinkMapping& mapping = m_mappings.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QFileInfo(mapping.sourcePath).fileName();
    case SelectedRole:
        return m_selection.contains(mapping.id);
    case IdRole:
        return mapping.id;
    case SourcePathRole:
        return mapping.sourcePath;
    case TargetPathRole:
        return mapping.targetPath;
    default:
        return {};
    }
}

} // namespace orvalink::ui
