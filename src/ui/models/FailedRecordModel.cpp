#include "ui/models/FailedRecordModel.h"

#include "viewmodel/disk/FailureRemedy.h"

#include <QFileInfo>

namespace orvalink::ui {

void FailedRecordModel::setRecords(const QList<FailedMigrationRecord>& records)
{
    replaceRows(m_records, records, [](const FailedMigrationRecord& record) { return record.id; });
}

void FailedRecordModel::setRecoveryEnabled(bool enabled)
{
    if (enabled == m_recoveryEnabled)
        return;
    m_recoveryEnabled = enabled;
    int first = -1;
    int last = -1;
    for (int row = 0; row < int(m_records.size()); ++row) {
        if (failureRemedy(m_records.at(row)) == FailureRemedy::none)
            continue;
        first = first < 0 ? row : first;
        last = row;
    }
    if (first >= 0)
        Q_EMIT dataChanged(index(first), index(last), {RecoveryEnabledRole});
}

int FailedRecordModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

QVariant FailedRecordModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FailedMigrationRecord& record = m_records.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QFileInfo(record.sourcePath).fileName();
    case SourcePathRole:
        return record.sourcePath;
    case TargetPathRole:
        return record.targetPath;
    case DateRole:
        return record.failedAt;
    case StatusRole:
        return int(record.status);
    case RemedyRole:
        return int(failureRemedy(record));
    case ReasonRole:
        return record.errorMessage;
    case RecoveryEnabledRole:
        return m_recoveryEnabled;
    default:
        return {};
    }
}

} // namespace orvalink::ui
