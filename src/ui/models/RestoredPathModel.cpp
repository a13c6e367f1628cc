#include "ui/models/RestoredPathModel.h"

namespace orvalink::ui {

void RestoredPathModel::setPaths(const QStringList& paths)
{
    replaceRows(m_paths, paths, [](const QString& path) -> const QString& { return path; });
}

int RestoredPathModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_paths.size());
}

QVariant RestoredPathModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return role == Qt::DisplayRole ? QVariant(m_paths.at(index.row())) : QVariant();
}

} // namespace orvalink::ui
