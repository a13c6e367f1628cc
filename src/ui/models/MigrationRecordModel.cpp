#include "ui/models/MigrationRecordModel.h"

#include <QFileInfo>

namespace orvalink::ui {

void MigrationRecordModel::setRecords(const QList<MigrationPathRecord>& records)
{
    replaceRows(m_records, records, [](const MigrationPathRecord& record) { return record.id; });
}

int MigrationRecordModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

QVariant MigrationRecordModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MigrationPathRecord& record = m_records.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QFileInfo(record.sourcePath).fileName();
    case SourcePathRole:
        return record.sourcePath;
    case TargetPathRole:
        return record.targetPath;
    case DateRole:
        return record.migratedAt;
    default:
        return {};
    }
}

} // namespace orvalink::ui
