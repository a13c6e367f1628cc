#include "ui/models/MappingListModel.h"

#include <QFileInfo>

namespace orvalink::ui {

MappingListModel::MappingListModel(QObject* parent) : QAbstractListModel(parent) {}

void MappingListModel::setMappings(const QList<LinkMapping>& mappings)
{
    if (mappings == m_mappings)
        return;
    beginResetModel();
    m_mappings = mappings;
    endResetModel();
}

void MappingListModel::setSelection(const QSet<QUuid>& selection)
{
    if (selection == m_selection)
        return;
    m_selection = selection;
    repaintAll();
}

void MappingListModel::textsChanged()
{
    repaintAll();
}

void MappingListModel::repaintAll()
{
    if (!m_mappings.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_mappings.size()) - 1));
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
